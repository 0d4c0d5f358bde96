#include "shell/tree_rules.h"

#include "core/folder_tree.h"
#include "core/wallet_document.h"
#include "platform/text_ids.h"

namespace ks {

ItemKind item_kind(const WalletDocument& document, int index) {
    switch (document.kind_of(index)) {
        case 1:
            return ItemKind::Card;
        case 2:
            return ItemKind::Folder;
        case 3:
            return ItemKind::MyForms;
        case kFavouritesKind:
            return ItemKind::Favorites;
        case kSearchResultsKind:
            return ItemKind::SearchResults;
        case kThirdEntryKind:
            return ItemKind::Reserved;
        default:
            return ItemKind::None;
    }
}

bool is_special(ItemKind kind) {
    return kind == ItemKind::Favorites || kind == ItemKind::SearchResults ||
           kind == ItemKind::Reserved;
}

uint32_t item_caps(ItemKind node, ItemKind parent, ItemKind clipboard) {
    const bool card_pending = clipboard == ItemKind::Card;
    const bool item_pending = card_pending || clipboard == ItemKind::Folder;
    switch (node) {
        case ItemKind::None:
            return 0x82;
        case ItemKind::Card:
            switch (parent) {
                case ItemKind::Folder:
                    return item_pending ? 0x12FF : 0x12DF;
                case ItemKind::MyForms:
                    return card_pending ? 0x10F3 : 0x10D3;
                case ItemKind::Favorites:
                    return card_pending ? 0xAB2 : 0xA92;
                case ItemKind::SearchResults:
                case ItemKind::Reserved:
                    return 0xA86;
                default:
                    return 0x286;
            }
        case ItemKind::Folder:
            return item_pending ? 0x10EB : 0x10CB;
        case ItemKind::MyForms:
            return card_pending ? 0xA3 : 0x83;
        case ItemKind::Favorites:
            return card_pending ? 0x1A2 : 0x182;
        case ItemKind::SearchResults:
        case ItemKind::Reserved:
            return 0x182;
    }
    return 0x82;
}

int context_menu_for(ItemKind node, ItemKind parent) {
    using namespace menu_id_tree;
    if (node == ItemKind::None) return kNothing;
    if (node == ItemKind::Favorites) return kFavorites;
    if (parent == ItemKind::Favorites) return kFavoritesChild;
    if (node == ItemKind::SearchResults) return kSearchResults;
    if (parent == ItemKind::SearchResults) return kSearchResultsChild;
    if (node == ItemKind::Card) return parent == ItemKind::MyForms ? kMyFormsCard : kCard;
    if (node == ItemKind::MyForms) return kMyForms;
    return kFolder;
}

DeleteLabel delete_label(uint32_t item_caps) {
    if (item_caps & caps::kRemove) return {text_id::kRemoveItem, true};
    if (item_caps & caps::kClear) return {text_id::kClearItems, true};
    return {text_id::kDeleteItem, (item_caps & caps::kDelete) != 0};
}

NewItemsAllowed new_items_allowed(ItemKind node, uint32_t item_caps) {
    if (node == ItemKind::None) return {false, true};
    if (node == ItemKind::MyForms) return {true, false};
    if (is_special(node)) return {false, true};
    return {(item_caps & caps::kNewCard) != 0, (item_caps & caps::kNewFolder) != 0};
}

int drag_scroll_step(int y, int top, int bottom, unsigned tick) {
    int d = 0;
    int direction = 0;
    if (y < top + 10) {
        d = top + 10 - y;
        direction = -1;
    } else if (y > bottom - 10) {
        d = y - (bottom - 10);
        direction = 1;
    } else {
        return 0;
    }
    const int k = d / 20 >= 6 ? 1 : 6 - d / 20;
    return tick % static_cast<unsigned>(k) == 0 ? direction : 0;
}

FolderContents folder_contents(const WalletDocument& document, int folder) {
    FolderContents contents;
    if (document.kind_of(folder) != 2) return contents;
    contents.folders = 1;
    const FolderTree tree(document, ChildOrder::List);
    for (const FolderTree::Step& step : tree.below(folder)) {
        const int kind = document.kind_of(step.index);
        if (kind == 1)
            ++contents.cards;
        else if (kind == 2)
            ++contents.folders;
    }
    return contents;
}

std::u16string search_results_caption(std::u16string_view caption, std::u16string_view text) {
    std::u16string result(caption);
    if (!text.empty()) {
        result += u" - '";
        result += text;
        result += u"'";
    }
    return result;
}

}  // namespace ks
