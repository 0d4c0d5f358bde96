#include <gtest/gtest.h>

#include "card/rules/card_lines.h"
#include "platform/text.h"
#include "support/test_support.h"

namespace ks {
namespace {

FieldRecord field(uint16_t kind, std::u16string_view label, std::u16string_view value) {
    FieldRecord f;
    f.set_kind(kind);
    f.set_label(label);
    f.set_value(value);
    return f;
}

CardViewLine value_line(uint16_t kind, std::u16string_view text) {
    return {CardLineKind::FieldValue, value_line_flags(kind), SecretText(text), 0, -1};
}

class CardLinesTest : public ::testing::Test {
  protected:
    test::MapTextSource texts_{{{20508, u"Attachment"}, {20204, u"Yes"}, {20205, u"No"}}};
    ScopedTextSource scope_{&texts_};
};

TEST_F(CardLinesTest, EmptyFieldsShowNothingButAttachmentsStillShow) {
    Card card;
    card.insert_field(field(1, u"User", u""));
    card.insert_field(field(13, u"Active", u""));  // a yes/no never set
    FileAttachment file;
    ASSERT_TRUE(file.set_from_bytes(std::vector<uint8_t>{1, 2, 3}, u"scan.pdf", std::nullopt));
    card.add_file(file);

    const auto lines = view_lines(card);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].kind, CardLineKind::NameLabel);
    EXPECT_EQ(lines[0].text, u"Attachment");
    EXPECT_EQ(lines[1].kind, CardLineKind::AttachmentName);
    EXPECT_EQ(lines[1].text, u"scan.pdf");
    EXPECT_EQ(lines[1].attachment, 0);
    EXPECT_EQ(link_icon(lines[1]), 3);
}

TEST_F(CardLinesTest, ANamelessFieldIsLabelledWithAStarAndYesNoShowsItsText) {
    Card card;
    card.insert_field(field(1, u"", u"value"));
    card.insert_field(field(13, u"Active", u"1"));
    const auto lines = view_lines(card);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0].text, u"*");
    EXPECT_EQ(lines[1].text, u"value");
    EXPECT_EQ(lines[3].text, u"Yes");
    EXPECT_EQ(lines[3].field, 1);
}

TEST_F(CardLinesTest, APinIsMaskedUntilSelectedOrAlwaysShown) {
    const CardViewLine pin = value_line(7, u"1234");
    EXPECT_EQ(shown_text(pin, false, false), u"**********");
    EXPECT_EQ(shown_text(pin, true, false), u"1234");
    EXPECT_EQ(shown_text(pin, false, true), u"1234");
    EXPECT_EQ(shown_text(value_line(1, u"plain"), false, false), u"plain");
    // Activating a PIN copies its real value.
    EXPECT_EQ(activation_of(pin).action, LineAction::CopyText);
}

TEST_F(CardLinesTest, LinksAreClassifiedWhenShownAndActivated) {
    struct Case {
        uint16_t kind;
        std::u16string_view text;
        std::optional<int> icon;
        LineAction action;
        std::string address;
    };
    const Case cases[] = {
        {4, u"555-1234", 2, LineAction::Call, "tel:555-1234"},  // 7 of 8 are digits
        {4, u"ann@example.org", 1, LineAction::Mail, "mailto:ann@example.org"},
        {4, u"shop.example.com", 0, LineAction::Browse, "http://shop.example.com"},
        {4, u"word", std::nullopt, LineAction::CopyText, ""},
        {3, u"https://bank.example", 0, LineAction::Browse, "https://bank.example"},
        {5, u"  bob@example.org", 1, LineAction::Mail, "mailto:bob@example.org"},
        {6, u"0123 456", 2, LineAction::Call, "tel:0123 456"},
        {1, u"a plain note", std::nullopt, LineAction::CopyText, ""},
    };
    for (const Case& c : cases) {
        const CardViewLine line = value_line(c.kind, c.text);
        const std::string what = to_utf8(c.text);
        EXPECT_EQ(link_icon(line), c.icon) << what;
        const Activation a = activation_of(line);
        EXPECT_EQ(a.action, c.action) << what;
        EXPECT_EQ(a.address, c.address) << what;
    }
}

TEST_F(CardLinesTest, LabelsAreNeverSelectedAndTapsOnThemHitTheValueBelow) {
    Card card;
    card.insert_field(field(1, u"A", u"1"));
    card.insert_field(field(1, u"B", u"2"));
    const auto lines = view_lines(card);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(first_selectable(lines), 1);
    EXPECT_EQ(next_selectable(lines, 1), 3);
    EXPECT_EQ(next_selectable(lines, 3), 3);
    EXPECT_EQ(previous_selectable(lines, 3), 1);
    EXPECT_EQ(previous_selectable(lines, 1), 1);

    const std::vector<int> heights = {10, 20, 10, 20};
    EXPECT_EQ(line_at(lines, heights, 5), 1);   // on the first label
    EXPECT_EQ(line_at(lines, heights, 30), 1);  // the first value's last pixel
    EXPECT_EQ(line_at(lines, heights, 31), 3);
    EXPECT_EQ(line_at(lines, heights, 61), std::nullopt);  // below the last line
    EXPECT_EQ(activation_of(lines[0]).action, LineAction::Nothing);
}

TEST_F(CardLinesTest, AtMost256LinesAreLaidOut) {
    Card card;
    for (int i = 0; i < 255; ++i) card.insert_field(field(1, u"F", u"v"));
    FileAttachment file;
    ASSERT_TRUE(file.set_from_bytes(std::vector<uint8_t>{1}, u"x", std::nullopt));
    card.add_file(file);
    EXPECT_EQ(view_lines(card).size(), kMaxViewLines);
}

}  // namespace
}  // namespace ks
