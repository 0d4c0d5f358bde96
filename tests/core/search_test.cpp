#include "core/search.h"

#include <gtest/gtest.h>

#include "support/test_support.h"

namespace ks {
namespace {

class SearchTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(doc.create(dir / "search.ks5", u"secret", std::nullopt, false),
                  CreateResult::Created);
        ASSERT_EQ(doc.load(dir / "search.ks5", u"secret"), OpenResult::Opened);
    }

    int add_card(std::u16string_view name, std::vector<FieldRecord> fields = {}) {
        Card card = doc.new_card({});
        card.node()->set_name(name);
        for (auto& f : fields) card.insert_field(f);
        return doc.store_card(card);
    }

    static FieldRecord field(std::u16string label, std::u16string value, uint16_t kind = 1) {
        FieldRecord f;
        f.set_kind(kind);
        f.set_label(label);
        f.set_value(value);
        return f;
    }

    std::vector<int> find(std::u16string_view text) {
        results.clear();
        search_wallet(doc, text, results);
        return results.indexes;
    }

    test::DeterministicEnvironment env;
    test::ScopedCoreTexts texts;
    test::TempDir dir;
    WalletDocument doc;
    SearchResults results;
};

TEST(SearchText, Normalisation) {
    struct Case {
        std::u16string given, searched;
    };
    const std::vector<Case> cases = {
        {u"a", u""},
        {u"   a \t", u""},
        {u"  BaNk ", u"bank"},
        {u"\u00A0Ä\u00D6\u0416x\u3000", u"äöжx"},
        {std::u16string(70, u'Q'), std::u16string(63, u'q')},
    };
    for (const Case& c : cases) EXPECT_EQ(normalise_search_text(c.given), c.searched);
}

TEST_F(SearchTest, WhatIsSearched) {
    const int by_name = add_card(u"Bank of Examples");
    const int by_label = add_card(u"One", {field(u"Bank account", u"")});
    const int by_value = add_card(u"Two", {field(u"Note", u"my bank is big")});
    const int by_pin = add_card(u"Three", {field(u"PIN", u"bank1", 7)});
    Card with_attachment = doc.new_card({});
    with_attachment.node()->set_name(u"Four");
    FileAttachment f;
    ASSERT_TRUE(f.set_from_bytes(Bytes{'b', 'a', 'n', 'k'}, u"bank.txt", std::nullopt));
    with_attachment.add_file(f);
    doc.store_card(with_attachment);
    TreeNode folder = doc.new_folder({});
    folder.set_name(u"Bank folder");
    doc.store_folder(folder);
    const int deleted = add_card(u"Bank gone");
    ASSERT_TRUE(doc.remove(deleted));

    EXPECT_EQ(find(u"BANK"), (std::vector<int>{by_name, by_label, by_value, by_pin}));
    EXPECT_EQ(results.text, u"BANK");
    EXPECT_TRUE(find(u"b").empty());
    EXPECT_TRUE(find(u"nothing like it").empty());
    EXPECT_EQ(results.text, u"");
}

TEST_F(SearchTest, DisplayTextsOfYesNoFields) {
    const int yes = add_card(u"Flag", {field(u"Active", u"1", 13)});
    EXPECT_EQ(find(u"yes"), (std::vector<int>{yes}));
    EXPECT_TRUE(find(u"  1 ").empty());
}

TEST_F(SearchTest, StopsAtFortyEightInFileOrder) {
    std::vector<int> all;
    for (int i = 0; i < 50; ++i)
        all.push_back(
            add_card(u"match " + std::u16string(1, static_cast<char16_t>(u'A' + i % 26))));
    auto hits = find(u"match");
    EXPECT_EQ(hits, std::vector<int>(all.begin(), all.begin() + 48));
    const std::u16string long_text = u"match" + std::u16string(200, u' ') + u"x";
    find(long_text);
    EXPECT_EQ(results.text.size(), 127u);
}

TEST_F(SearchTest, SearchesTheFirstSixtyThreeCharacters) {
    const std::u16string text(63, u'z');
    const int hit = add_card(text);
    EXPECT_EQ(find(text + u"different tail"), (std::vector<int>{hit}));
}

}  // namespace
}  // namespace ks
