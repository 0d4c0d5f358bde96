#include "core/folder_tree.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>

#include "core/wallet_document.h"
#include "platform/text.h"

namespace ks {
namespace {

constexpr size_t kSortedNameUnits = 64;

// Stands for a node the tree does not show.
constexpr int kNotInTree = -2;

bool is_container(NodeKind kind) {
    return kind == NodeKind::Folder || kind == NodeKind::MyForms;
}

// The index of every node's parent: kNoIndex for the top level, kNotInTree for a deleted node
// and one under anything but a live folder.
std::vector<int> parent_indexes(std::span<const NodeLink> links) {
    std::unordered_map<NodeId, int, NodeIdHash> index_of;
    index_of.reserve(links.size());
    for (size_t i = 0; i < links.size(); ++i) index_of.emplace(links[i].id, static_cast<int>(i));
    std::vector<int> parents(links.size(), kNotInTree);
    for (size_t i = 0; i < links.size(); ++i) {
        if (links[i].deleted) continue;
        if (links[i].parent.is_none()) {
            parents[i] = kNoIndex;
            continue;
        }
        const auto it = index_of.find(links[i].parent);
        if (it == index_of.end()) continue;
        const NodeLink& parent = links[static_cast<size_t>(it->second)];
        if (!parent.deleted && is_container(parent.kind)) parents[i] = it->second;
    }
    return parents;
}

std::vector<NodeLink> document_links(const WalletDocument& document) {
    std::vector<NodeLink> links;
    links.reserve(document.nodes().size());
    for (const TreeNode& n : document.nodes())
        links.push_back({n.id(), n.parent(), n.kind(), n.deleted()});
    return links;
}

// The tree's sort key of every node, each name deciphered once.
std::vector<std::pair<int, std::u16string>> tree_keys(const WalletDocument& document) {
    std::vector<std::pair<int, std::u16string>> keys;
    keys.reserve(document.nodes().size());
    for (const TreeNode& n : document.nodes()) {
        const int rank = n.kind() == NodeKind::MyForms ? 2 : n.kind() == NodeKind::Card ? 0 : 1;
        std::u16string name = n.deleted() ? std::u16string() : to_lower(n.name());
        if (name.size() > kSortedNameUnits) name.resize(kSortedNameUnits);
        keys.emplace_back(rank, std::move(name));
    }
    return keys;
}

}  // namespace

FolderTree::FolderTree(std::span<const NodeLink> links) {
    build(links);
}

FolderTree::FolderTree(const WalletDocument& document, ChildOrder order) {
    build(document_links(document));
    if (order != ChildOrder::Tree) return;
    const auto keys = tree_keys(document);
    for (size_t s = 0; s + 1 < first_.size(); ++s) {
        auto begin = children_.begin() + static_cast<ptrdiff_t>(first_[s]);
        auto end = children_.begin() + static_cast<ptrdiff_t>(first_[s + 1]);
        std::stable_sort(begin, end, [&](int a, int b) {
            return keys[static_cast<size_t>(a)] < keys[static_cast<size_t>(b)];
        });
    }
}

void FolderTree::build(std::span<const NodeLink> links) {
    const std::vector<int> parents = parent_indexes(links);
    index_children(parents);
    find_cycles(parents);
}

void FolderTree::index_children(std::span<const int> parents) {
    const size_t n = parents.size();
    auto parent_slot = [&](size_t i) -> std::optional<size_t> {
        const int p = parents[i];
        if (p == kNoIndex || (p >= 0 && static_cast<size_t>(p) < n)) return slot(p);
        return std::nullopt;
    };
    first_.assign(n + 2, 0);
    for (size_t i = 0; i < n; ++i)
        if (auto s = parent_slot(i)) ++first_[*s + 1];
    for (size_t s = 1; s < first_.size(); ++s) first_[s] += first_[s - 1];
    children_.assign(first_.back(), kNotInTree);
    std::vector<size_t> next(first_.begin(), first_.end() - 1);
    for (size_t i = 0; i < n; ++i)
        if (auto s = parent_slot(i)) children_[next[*s]++] = static_cast<int>(i);
}

void FolderTree::find_cycles(std::span<const int> parents) {
    const size_t n = parents.size();
    in_cycle_.assign(n, false);
    // Everything the top level reaches is outside any cycle.
    std::vector<bool> reached(n, false);
    std::vector<int> pending(children(kNoIndex).begin(), children(kNoIndex).end());
    while (!pending.empty()) {
        const int index = pending.back();
        pending.pop_back();
        reached[static_cast<size_t>(index)] = true;
        for (int child : children(index)) pending.push_back(child);
    }
    // Every node has one parent, so following parents from a node not reached either ends
    // outside the tree or comes round to a node of the chain: there the cycle starts.
    enum : uint8_t { kUnseen, kOnChain, kDone };
    std::vector<uint8_t> state(n, kUnseen);
    std::vector<int> chain;
    for (size_t start = 0; start < n; ++start) {
        if (reached[start] || state[start] != kUnseen) continue;
        chain.clear();
        int at = static_cast<int>(start);
        while (at >= 0 && static_cast<size_t>(at) < n &&
               state[static_cast<size_t>(at)] == kUnseen) {
            state[static_cast<size_t>(at)] = kOnChain;
            chain.push_back(at);
            at = parents[static_cast<size_t>(at)];
        }
        if (at >= 0 && static_cast<size_t>(at) < n && state[static_cast<size_t>(at)] == kOnChain)
            for (auto it = std::find(chain.begin(), chain.end(), at); it != chain.end(); ++it)
                in_cycle_[static_cast<size_t>(*it)] = true;
        for (int i : chain) state[static_cast<size_t>(i)] = kDone;
    }
    for (size_t i = 0; i < n; ++i)
        if (in_cycle_[i]) cycle_folders_.push_back(static_cast<int>(i));
}

std::span<const int> FolderTree::children(int index) const {
    if (index < kNoIndex || slot(index) + 1 >= first_.size()) return {};
    const size_t s = slot(index);
    return std::span(children_).subspan(first_[s], first_[s + 1] - first_[s]);
}

bool FolderTree::in_cycle(int index) const {
    return index >= 0 && static_cast<size_t>(index) < in_cycle_.size() &&
           in_cycle_[static_cast<size_t>(index)];
}

bool FolderTree::walk_meets_cycle(int root) const {
    return root == kNoIndex ? !cycle_folders_.empty() : in_cycle(root);
}

std::vector<FolderTree::Step> FolderTree::below(int root) const {
    std::vector<Step> steps;
    std::vector<bool> visited(in_cycle_.size(), false);
    if (root >= 0 && static_cast<size_t>(root) < visited.size())
        visited[static_cast<size_t>(root)] = true;
    std::vector<Step> pending;
    auto push_children = [&](int index, size_t depth) {
        const auto kids = children(index);
        for (auto it = kids.rbegin(); it != kids.rend(); ++it) pending.push_back({*it, depth});
    };
    push_children(root, 0);
    while (!pending.empty()) {
        const Step step = pending.back();
        pending.pop_back();
        if (visited[static_cast<size_t>(step.index)]) continue;
        visited[static_cast<size_t>(step.index)] = true;
        steps.push_back(step);
        push_children(step.index, step.depth + 1);
    }
    return steps;
}

}  // namespace ks
