#pragma once
// The wallet tree's decisions that need no window: what each kind of node allows (its caps),
// which context menu it gets, how Delete is labelled, how fast a drag scrolls, what a folder's
// deletion counts, and the name of an exported form file.
#include <cstdint>
#include <string>
#include <string_view>

namespace ks {

class WalletDocument;

enum class ItemKind : int {
    None = 0,
    Card = 1,
    Folder = 2,
    MyForms = 3,
    Favorites = 100,
    SearchResults = 200,
    Reserved = 300,
};

// What a node's document index or special entry is; None for kNoIndex or an unknown index.
ItemKind item_kind(const WalletDocument& document, int index);
bool is_special(ItemKind kind);

namespace caps {
constexpr uint32_t kNewCard = 0x1;
constexpr uint32_t kNewFolder = 0x2;
constexpr uint32_t kAddToFavorites = 0x4;
constexpr uint32_t kCut = 0x8;
constexpr uint32_t kCopy = 0x10;
constexpr uint32_t kPaste = 0x20;
constexpr uint32_t kDelete = 0x40;
constexpr uint32_t kExport = 0x80;
constexpr uint32_t kClear = 0x100;
constexpr uint32_t kSaveToMyForms = 0x200;
constexpr uint32_t kRemove = 0x800;
constexpr uint32_t kDrag = 0x1000;
}  // namespace caps

// The caps of a node of `node` kind under a `parent` kind node (None at the top level), with
// `clipboard` the kind of the node a pending cut or copy holds (None when nothing is pending).
// With nothing selected, `node` is None.
uint32_t item_caps(ItemKind node, ItemKind parent, ItemKind clipboard);

namespace menu_id_tree {
constexpr int kNothing = 959;
constexpr int kCard = 957;
constexpr int kFolder = 960;
constexpr int kMyForms = 971;
constexpr int kMyFormsCard = 972;
constexpr int kFavoritesChild = 976;
constexpr int kFavorites = 975;
constexpr int kSearchResults = 974;
constexpr int kSearchResultsChild = 973;
}  // namespace menu_id_tree

// The context menu template for a node (None: no node was hit), by the first rule that holds.
int context_menu_for(ItemKind node, ItemKind parent);

// How the Delete item reads and whether it is enabled.
struct DeleteLabel {
    uint32_t text_id;  // 20725 Delete, 20726 Clear, 20727 Remove
    bool enabled;
};
DeleteLabel delete_label(uint32_t item_caps);

// New Card and New Folder as the menus offer them for the selected node.
struct NewItemsAllowed {
    bool card = false;
    bool folder = false;
};
NewItemsAllowed new_items_allowed(ItemKind node, uint32_t item_caps);

// Drag scrolling: on tick `tick` (counted from 1) with the pointer at `y` over a tree running
// from `top` to `bottom`: -1 scrolls a line up, +1 a line down, 0 nothing. Within 10 pixels of an
// edge, or beyond it, the tree scrolls every k-th tick, k = 6 - d / 20 (at least 1), d how far
// the pointer is past the line 10 pixels inside the edge.
int drag_scroll_step(int y, int top, int bottom, unsigned tick);

// What deleting a folder takes with it: the folder and its folders, and its cards, walked
// without recursion.
struct FolderContents {
    size_t folders = 0;  // the folder itself included
    size_t cards = 0;
};
FolderContents folder_contents(const WalletDocument& document, int folder);

// The Search Results folder's caption: the entry's caption, then " - '" text "'" when a search
// text is kept.
std::u16string search_results_caption(std::u16string_view caption, std::u16string_view text);

}  // namespace ks
