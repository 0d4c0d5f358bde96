#include <gtest/gtest.h>

#include "card/rules/edit_rows.h"

namespace ks {
namespace {

TEST(EditRowsTest, EachKindTakesItsEditor) {
    const std::pair<uint16_t, std::optional<EditorKind>> cases[] = {
        {1, EditorKind::Text},       {7, EditorKind::Text},      {16, EditorKind::Text},
        {8, EditorKind::Date},       {9, EditorKind::Time},      {10, EditorKind::DateAndTime},
        {11, EditorKind::Selection}, {12, EditorKind::Selection}, {13, EditorKind::YesNo},
        {0, std::nullopt},           {17, std::nullopt},
    };
    for (const auto& [kind, editor] : cases) EXPECT_EQ(editor_for_kind(kind), editor) << kind;
}

TEST(EditRowsTest, TabWrapsFromTheLastValueToTheCardName) {
    const EditRows rows(3);  // rows 0..7: heading, name, then label/input per field
    EXPECT_EQ(rows.count(), 8);
    EXPECT_EQ(rows.next(1), 3);
    EXPECT_EQ(rows.next(5), 7);
    EXPECT_EQ(rows.next(7), 1);
    EXPECT_EQ(rows.previous(7), 5);
    EXPECT_EQ(rows.previous(3), 1);
    EXPECT_EQ(rows.previous(1), 1);
    EXPECT_EQ(EditRows(0).next(1), 1);
}

TEST(EditRowsTest, EditingStartsOnTheFieldOrElseOnTheName) {
    const EditRows rows(2);
    EXPECT_EQ(rows.start_row(0), 3);
    EXPECT_EQ(rows.start_row(1), 5);
    EXPECT_EQ(rows.start_row(2), 1);
    EXPECT_EQ(rows.start_row(-1), 1);
    EXPECT_EQ(EditRows::field_of(5), 1u);
    EXPECT_EQ(EditRows::field_of(1), std::nullopt);
}

FieldRecord list_field(std::u16string_view value) {
    FieldRecord f;
    f.set_kind(12);
    f.add_list_item(u"Visa");
    f.add_list_item(u"Amex");
    f.add_list_item(u"VISA");
    f.set_value(value);
    return f;
}

TEST(EditRowsTest, TheSelectionEditorFindsTheValueOrKeepsItAsFreeText) {
    const SelectionEditor none = selection_editor(list_field(u""), u"None");
    EXPECT_EQ(none.entries.front(), u"<None>");
    EXPECT_EQ(none.entries.size(), 4u);
    EXPECT_EQ(none.selected, 0);

    EXPECT_EQ(selection_editor(list_field(u"visa"), u"None").selected, 3);  // the last equal one

    const SelectionEditor free = selection_editor(list_field(u"Diners"), u"None");
    EXPECT_EQ(free.selected, -1);
    EXPECT_EQ(free.free_text, u"Diners");
    EXPECT_EQ(selection_value(-1, u"Diners"), u"Diners");
    EXPECT_EQ(selection_value(0, u"<None>"), u"");
    EXPECT_EQ(selection_value(2, u"Amex"), u"Amex");
}

TEST(EditRowsTest, YesNoStoresOneZeroOrTwo) {
    EXPECT_EQ(yes_no_value(1), u"1");
    EXPECT_EQ(yes_no_value(0), u"0");
    EXPECT_EQ(yes_no_value(2), u"2");
}

TEST(EditRowsTest, CapitalsStartSentencesOrWords) {
    struct Case {
        std::u16string_view text;
        size_t pos;
        Capitals mode;
        bool upper;
    };
    const Case cases[] = {
        {u"a", 0, Capitals::Sentences, true},      {u"ab", 1, Capitals::Sentences, false},
        {u"ab. c", 4, Capitals::Sentences, true},  {u"ab c", 3, Capitals::Sentences, false},
        {u"ab c", 3, Capitals::Words, true},       {u"ab", 1, Capitals::Words, false},
        {u"a", 0, Capitals::Off, false},           {u"  x", 2, Capitals::Words, true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(capitalise_at(c.text, c.pos, c.mode), c.upper) << c.pos;
}

}  // namespace
}  // namespace ks
