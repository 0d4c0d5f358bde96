#include <gtest/gtest.h>

#include "card/rules/form_design.h"
#include "support/test_support.h"

namespace ks {
namespace {

Card card_of(int count) {
    Card card;
    for (int i = 1; i <= count; ++i) {
        FieldRecord f;
        f.set_label(std::u16string(1, static_cast<char16_t>(u'0' + i)));
        card.insert_field(f);
    }
    return card;
}

std::u16string order(const Card& card) {
    std::u16string labels;
    for (const FieldRecord& f : card.fields()) labels += f.label();
    return labels;
}

TEST(FormDesignTest, MovesGiveTheirOrderAndSelection) {
    struct Case {
        const char* name;
        int (*command)(Card&, int);
        int row;
        std::u16string_view order;
        int selected;
    };
    const Case cases[] = {
        {"top on the third", move_design_field_to_top, 4, u"31245", 0},
        {"bottom on the second", move_design_field_to_bottom, 3, u"13452", 9},
        {"up on the second", move_design_field_up, 2, u"21345", 0},
        {"up on the first", move_design_field_up, 1, u"12345", 1},
        {"down on the fourth", move_design_field_down, 6, u"12354", 8},
        {"down on the last", move_design_field_down, 9, u"12345", 9},
        {"copy the second", copy_design_field, 2, u"122345", 3},
        {"delete the last", delete_design_field, 9, u"1234", 7},
        {"delete the first", delete_design_field, 0, u"2345", 0},
    };
    for (const Case& c : cases) {
        Card card = card_of(5);
        EXPECT_EQ(c.command(card, c.row), c.selected) << c.name;
        EXPECT_EQ(order(card), c.order) << c.name;
    }
}

TEST(FormDesignTest, CommandsOnACardWithoutFieldsDoNothing) {
    Card card;
    EXPECT_EQ(move_design_field_up(card, 0), 0);
    EXPECT_EQ(delete_design_field(card, 0), 0);
    EXPECT_EQ(copy_design_field(card, 0), 0);
    EXPECT_TRUE(card.fields().empty());
}

TEST(FormDesignTest, AddedFieldsAreCapitalisedTextUpToTheCardsCapacity) {
    Card card = card_of(254);
    EXPECT_EQ(add_design_field(card, u"New Field"), 508);
    EXPECT_EQ(card.fields().back().kind(), 15);
    EXPECT_EQ(card.fields().back().label(), u"New Field");
    EXPECT_EQ(add_design_field(card, u"New Field"), std::nullopt);
    EXPECT_EQ(card.fields().size(), 255u);
}

TEST(FormDesignTest, TextOnlyFieldsAreOfferedTheTextKinds) {
    FieldRecord field;
    EXPECT_EQ(offered_kinds(field).size(), 14u);
    field.set_flags(kFieldFlagTextKindsOnly);
    EXPECT_EQ(offered_kinds(field).size(), 8u);
    field.set_kind(7);
    EXPECT_EQ(offered_position(field), 7);
    field.set_kind(8);  // not text-like: the flag no longer restricts it
    EXPECT_EQ(offered_kinds(field).size(), 14u);
    EXPECT_EQ(offered_position(field), 8);
}

TEST(FormDesignTest, AKindChangeKeepsTheName) {
    Card card = card_of(1);
    card.field(0).set_kind(8);
    card.field(0).set_kind(1);
    EXPECT_EQ(card.fields()[0].label(), u"1");
}

TEST(FormDesignTest, ASelectionListKeeps128NonEmptyEntries) {
    test::ScopedCoreTexts texts;
    FieldRecord field;
    field.set_kind(12);
    std::vector<std::u16string> entries = {u"", u"first"};
    for (int i = 0; i < 128; ++i) entries.push_back(u"e" + std::u16string(1, u'a' + i % 26));
    store_selection_list(field, entries);
    ASSERT_EQ(field.list().size(), 128u);
    EXPECT_EQ(field.list().front(), u"first");
}

}  // namespace
}  // namespace ks
