#include <gtest/gtest.h>

#include "core/wallet_document.h"
#include "shell/tree_rules.h"
#include "support/test_support.h"

namespace ks {
namespace {

using K = ItemKind;

TEST(TreeRulesTest, CapsFollowTheTableRowByRow) {
    struct Row {
        K node, parent, clipboard;
        uint32_t caps;
    };
    const Row rows[] = {
        {K::Card, K::Folder, K::None, 0x12DF},       {K::Card, K::Folder, K::Card, 0x12FF},
        {K::Card, K::Folder, K::Folder, 0x12FF},     {K::Card, K::MyForms, K::None, 0x10D3},
        {K::Card, K::MyForms, K::Folder, 0x10D3},    {K::Card, K::MyForms, K::Card, 0x10F3},
        {K::Card, K::Favorites, K::Folder, 0xA92},   {K::Card, K::Favorites, K::Card, 0xAB2},
        {K::Card, K::SearchResults, K::Card, 0xA86}, {K::Card, K::Reserved, K::None, 0xA86},
        {K::Card, K::None, K::Card, 0x286},          {K::Folder, K::None, K::None, 0x10CB},
        {K::Folder, K::Folder, K::Card, 0x10EB},     {K::Folder, K::Folder, K::Folder, 0x10EB},
        {K::MyForms, K::None, K::Folder, 0x83},      {K::MyForms, K::None, K::Card, 0xA3},
        {K::Favorites, K::None, K::Card, 0x1A2},     {K::Favorites, K::None, K::Folder, 0x182},
        {K::SearchResults, K::None, K::Card, 0x182}, {K::Reserved, K::None, K::None, 0x182},
        {K::None, K::None, K::Card, 0x82},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(item_caps(r.node, r.parent, r.clipboard), r.caps)
            << int(r.node) << " under " << int(r.parent) << " with " << int(r.clipboard);
    }
}

TEST(TreeRulesTest, TheFirstContextMenuRuleThatHoldsWins) {
    using namespace menu_id_tree;
    EXPECT_EQ(context_menu_for(K::None, K::None), kNothing);
    EXPECT_EQ(context_menu_for(K::Favorites, K::None), kFavorites);
    EXPECT_EQ(context_menu_for(K::Card, K::Favorites), kFavoritesChild);
    EXPECT_EQ(context_menu_for(K::SearchResults, K::None), kSearchResults);
    EXPECT_EQ(context_menu_for(K::Card, K::SearchResults), kSearchResultsChild);
    EXPECT_EQ(context_menu_for(K::Card, K::MyForms), kMyFormsCard);
    EXPECT_EQ(context_menu_for(K::Card, K::Folder), kCard);
    EXPECT_EQ(context_menu_for(K::MyForms, K::None), kMyForms);
    EXPECT_EQ(context_menu_for(K::Folder, K::Folder), kFolder);
}

TEST(TreeRulesTest, DeleteReadsRemoveThenClearThenDelete) {
    EXPECT_EQ(delete_label(0xA92).text_id, 20727u);
    EXPECT_TRUE(delete_label(0xA92).enabled);
    EXPECT_EQ(delete_label(0x182).text_id, 20726u);
    EXPECT_EQ(delete_label(0x12DF).text_id, 20725u);
    EXPECT_TRUE(delete_label(0x12DF).enabled);
    EXPECT_FALSE(delete_label(0x83).enabled);
    EXPECT_FALSE(delete_label(0x286).enabled);
}

TEST(TreeRulesTest, NewItemsByKind) {
    EXPECT_TRUE(new_items_allowed(K::None, 0x82).folder);
    EXPECT_FALSE(new_items_allowed(K::None, 0x82).card);
    EXPECT_TRUE(new_items_allowed(K::MyForms, 0x83).card);
    EXPECT_FALSE(new_items_allowed(K::MyForms, 0x83).folder);
    EXPECT_FALSE(new_items_allowed(K::Favorites, 0x182).card);
    EXPECT_FALSE(new_items_allowed(K::Card, 0xA86).card);
    EXPECT_TRUE(new_items_allowed(K::Card, 0x12DF).card);
}

// How many of 60 ticks scroll, with the pointer at `y` over a tree from 100 to 500.
int scrolls_in_60_ticks(int y) {
    int n = 0;
    for (unsigned tick = 1; tick <= 60; ++tick) n += drag_scroll_step(y, 100, 500, tick) != 0;
    return n;
}

TEST(TreeRulesTest, DragScrollingSpeedsUpAsThePointerLeavesTheTree) {
    EXPECT_EQ(scrolls_in_60_ticks(300), 0);
    EXPECT_EQ(scrolls_in_60_ticks(110), 0);   // on the line 10 pixels inside: not yet
    EXPECT_EQ(scrolls_in_60_ticks(109), 10);  // d = 1: every sixth tick
    EXPECT_EQ(scrolls_in_60_ticks(85), 12);   // d = 25: every fifth
    EXPECT_EQ(scrolls_in_60_ticks(0), 60);    // d = 110: every tick
    EXPECT_EQ(scrolls_in_60_ticks(-500), 60);
    EXPECT_EQ(drag_scroll_step(95, 100, 500, 6), -1);
    EXPECT_EQ(drag_scroll_step(495, 100, 500, 6), 1);
    EXPECT_EQ(drag_scroll_step(495, 100, 500, 5), 0);
    EXPECT_GT(scrolls_in_60_ticks(560), scrolls_in_60_ticks(500));
}

TEST(TreeRulesTest, FolderContentsCountsTheFolderItsFoldersAndItsCards) {
    test::TempDir dir;
    const auto path = dir / "w.ks5";
    WalletDocument doc;
    ASSERT_EQ(doc.create(path, u"secret", std::nullopt, false), CreateResult::Created);
    ASSERT_EQ(doc.load(path, u"secret"), OpenResult::Opened);
    const int top = doc.store_folder(doc.new_folder({}));
    const NodeId top_id = doc.node(top)->id();
    const int a = doc.store_folder(doc.new_folder(top_id));
    const int b = doc.store_folder(doc.new_folder(doc.node(a)->id()));
    for (const NodeId& parent :
         {top_id, top_id, doc.node(a)->id(), doc.node(b)->id(), doc.node(b)->id()}) {
        Card card = doc.new_card(parent);
        ASSERT_GE(doc.store_card(card), 0);
    }
    const FolderContents c = folder_contents(doc, top);
    EXPECT_EQ(c.folders, 3u);
    EXPECT_EQ(c.cards, 5u);
    EXPECT_EQ(folder_contents(doc, kNoIndex).folders, 0u);
}

TEST(TreeRulesTest, TheSearchCaptionNamesTheText) {
    EXPECT_EQ(search_results_caption(u"Search Results", u"bank"), u"Search Results - 'bank'");
    EXPECT_EQ(search_results_caption(u"Search Results", u""), u"Search Results");
}

}  // namespace
}  // namespace ks
