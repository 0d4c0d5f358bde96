#pragma once
// The folder tree as one walk sees it: the children of every folder, indexed from the node list
// in one pass, and the folders whose chain of parents comes round to themselves (damage: no
// walk from the top level reaches them). Walks keep their own stack and visit every node once,
// so neither a cycle nor a chain as deep as a file makes it can loop or exhaust the stack.
// Built for one walk and dropped after it; nothing here follows later changes to the document.
#include <cstddef>
#include <span>
#include <vector>

#include "core/node_id.h"

namespace ks {

class WalletDocument;

enum class ChildOrder {
    List,  // the node list's order
    Tree,  // the tree's: cards before folders, each by name without regard to case (the first
           // 64 characters), My Forms last
};

// What the tree needs to know of a node.
struct NodeLink {
    NodeId id;
    NodeId parent;
    NodeKind kind = NodeKind::None;
    bool deleted = false;
};

class FolderTree {
  public:
    // Node i of the tree is links[i]: a live node stands under its parent when that is a live
    // folder or My Forms, at the top level when it has no parent, and nowhere else. Children
    // keep the order of the links.
    explicit FolderTree(std::span<const NodeLink> links);
    // The document's node list, children in `order`.
    FolderTree(const WalletDocument& document, ChildOrder order);

    // The children of `index`, or of the top level for kNoIndex; none for an unknown index.
    std::span<const int> children(int index) const;
    // Folders that sit in a cycle of parents, in list order.
    const std::vector<int>& cycle_folders() const { return cycle_folders_; }
    bool in_cycle(int index) const;
    // Whether a walk from `root` (kNoIndex: the top level) runs into a cycle: from the top level
    // when any folder sits in one (it is left out), from a folder when that folder sits in one.
    bool walk_meets_cycle(int root) const;

    struct Step {
        int index;
        size_t depth;  // 0 for a child of the root
    };
    // Every node below `root` once, depth first, each before its children, children in this
    // tree's order. In a cycle the walk stops where it comes back to a node it has passed.
    std::vector<Step> below(int root) const;

  private:
    void build(std::span<const NodeLink> links);
    void index_children(std::span<const int> parents);
    void find_cycles(std::span<const int> parents);
    size_t slot(int index) const { return static_cast<size_t>(index + 1); }

    // The children of slot s (0: the top level, i + 1: node i) are children_[first_[s],
    // first_[s + 1]).
    std::vector<size_t> first_;
    std::vector<int> children_;
    std::vector<bool> in_cycle_;
    std::vector<int> cycle_folders_;
};

}  // namespace ks
