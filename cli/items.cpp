#include "cli/items.h"

#include <algorithm>

#include "platform/text.h"

namespace ks::cli {
namespace {

constexpr size_t kSortedNameUnits = 64;

bool is_container(const TreeNode& n) {
    return n.kind() == NodeKind::Folder || n.kind() == NodeKind::MyForms;
}

int sort_rank(const TreeNode& n) {
    if (n.kind() == NodeKind::MyForms) return 2;
    return n.kind() == NodeKind::Card ? 0 : 1;
}

std::string list_ids(const WalletDocument& document, const std::vector<int>& indexes) {
    std::string ids;
    for (int i : indexes) ids += (ids.empty() ? "" : ", ") + document.node(i)->id().to_string();
    return ids;
}

}  // namespace

std::vector<std::u16string> split_item_path(std::string_view path) {
    std::vector<std::u16string> parts;
    std::string current;
    for (size_t i = 0; i < path.size(); ++i) {
        if (path[i] == '\\' && i + 1 < path.size() && (path[i + 1] == '/' || path[i + 1] == '\\')) {
            current += path[i + 1];
            ++i;
        } else if (path[i] == '/') {
            if (!current.empty()) parts.push_back(from_utf8(current));
            current.clear();
        } else {
            current += path[i];
        }
    }
    if (!current.empty()) parts.push_back(from_utf8(current));
    return parts;
}

std::string escape_name(std::u16string_view name) {
    std::string out;
    for (char c : to_utf8(name)) {
        if (c == '/' || c == '\\') out += '\\';
        out += c;
    }
    return out;
}

std::string item_path(const WalletDocument& document, int index) {
    std::vector<std::string> parts;
    for (size_t guard = 0; index != kNoIndex && guard <= document.nodes().size(); ++guard) {
        parts.push_back(escape_name(document.node(index)->name()));
        index = document.parent_folder_index_of(index);
    }
    std::string path;
    for (auto it = parts.rbegin(); it != parts.rend(); ++it)
        path += (path.empty() ? "" : "/") + *it;
    return path;
}

std::vector<int> sorted_children(const WalletDocument& document, int parent) {
    std::vector<int> children = document.children_of(parent);
    auto key = [&](int i) {
        const TreeNode& n = *document.node(i);
        std::u16string name = to_lower(n.name());
        if (name.size() > kSortedNameUnits) name.resize(kSortedNameUnits);
        return std::pair(sort_rank(n), name);
    };
    std::stable_sort(children.begin(), children.end(),
                     [&](int a, int b) { return key(a) < key(b); });
    return children;
}

Status resolve_item(const WalletDocument& document, std::string_view text, int& index) {
    if (text.starts_with('{')) {
        auto id = NodeId::parse(text);
        if (!id) return fail(Exit::Usage, "\"" + std::string(text) + "\" is not an item id.");
        index = document.list_index_of(*id);
        if (index == kNoIndex || document.node(index)->deleted())
            return fail(Exit::NotFound, "No item has the id " + std::string(text) + ".");
        return Status::fine();
    }
    const std::vector<std::u16string> parts = split_item_path(text);
    if (parts.empty()) return fail(Exit::Usage, "An item path is needed.");
    // Follow every branch that fits, so that equal names are found, not guessed.
    std::vector<int> level = {kNoIndex};
    for (const std::u16string& part : parts) {
        std::vector<int> next;
        for (int parent : level) {
            if (parent != kNoIndex && !is_container(*document.node(parent))) continue;
            for (int child : document.children_of(parent))
                if (document.node(child)->name() == part) next.push_back(child);
        }
        level = std::move(next);
    }
    if (level.empty())
        return fail(Exit::NotFound, "No item is named \"" + std::string(text) + "\".");
    if (level.size() > 1)
        return fail(Exit::Usage, "Several items are named \"" + std::string(text) +
                                     "\"; name one by its id: " + list_ids(document, level) + ".");
    index = level.front();
    return Status::fine();
}

Status resolve_folder(const WalletDocument& document, std::string_view text, int& index) {
    if (split_item_path(text).empty() && !text.starts_with('{')) {
        index = kNoIndex;
        return Status::fine();
    }
    Status s = resolve_item(document, text, index);
    if (!s.ok()) return s;
    if (!is_container(*document.node(index)))
        return fail(Exit::Refused, "\"" + std::string(text) + "\" is a card, not a folder.");
    return s;
}

bool is_my_forms(const WalletDocument& document, int folder) {
    return folder != kNoIndex && document.kind_of(folder) == static_cast<int>(NodeKind::MyForms);
}

Status resolve_new_item(const WalletDocument& document, std::string_view text, int& parent,
                        std::u16string& name) {
    std::vector<std::u16string> parts = split_item_path(text);
    if (parts.empty()) return fail(Exit::Usage, "A name for the new item is needed.");
    name = parts.back();
    parts.pop_back();
    std::string folder;
    for (const auto& p : parts) folder += (folder.empty() ? "" : "/") + escape_name(p);
    return resolve_folder(document, folder, parent);
}

}  // namespace ks::cli
