#include <gtest/gtest.h>

#include "card/rules/card_session.h"
#include "core/wallet_document.h"
#include "support/test_support.h"

namespace ks {
namespace {

class CardSessionTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(document_.create(dir_ / "w.ks5", u"secret", std::nullopt, false),
                  CreateResult::Created);
        ASSERT_EQ(document_.load(dir_ / "w.ks5", u"secret"), OpenResult::Opened);
        Card card = document_.new_card({});
        card.node()->set_name(u"Bank");
        FieldRecord field;
        field.set_label(u"PIN");
        field.set_value(u"1234");
        card.insert_field(field);
        index_ = document_.store_card(card);
        ASSERT_NE(index_, kNoIndex);
    }
    Card loaded() { return *document_.load_card(index_); }

    test::ScopedCoreTexts texts_;
    test::TempDir dir_;
    WalletDocument document_;
    int index_ = kNoIndex;
};

TEST_F(CardSessionTest, ACardAsLoadedIsNotModified) {
    Card card = loaded();
    EXPECT_FALSE(card_modified(card));
    // Reading through const access changes nothing.
    const Card& view = card;
    EXPECT_EQ(view.fields().at(0).value(), u"1234");
    EXPECT_FALSE(card_modified(card));
}

TEST_F(CardSessionTest, EveryKindOfChangeCounts) {
    const std::vector<std::pair<const char*, void (*)(Card&)>> changes = {
        {"value", [](Card& c) { c.field(0).set_value(u"4321"); }},
        {"name", [](Card& c) { c.node()->set_name(u"Savings"); }},
        {"style", [](Card& c) { c.set_style(CardStyle{}); }},
        {"sound", [](Card& c) { c.sound().set_play_when_viewed(true); }},
        {"field list", [](Card& c) { c.remove_field(0); }},
    };
    for (const auto& [what, change] : changes) {
        Card card = loaded();
        change(card);
        EXPECT_TRUE(card_modified(card)) << what;
    }
}

}  // namespace
}  // namespace ks
