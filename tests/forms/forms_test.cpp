#include "forms/forms.h"

#include <gtest/gtest.h>

#include "platform/text.h"
#include "support/test_support.h"

namespace ks {
namespace {

class FormsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        texts.set(text_id::kNewCard, u"New Card");
        for (const BuiltInForm& form : builtin_forms()) {
            texts.set(form.name_text, u"Form " + to_u16(form.code));
            for (const BuiltInFormField& f : form.fields)
                texts.set(f.label_text, u"Label " + to_u16(f.label_text));
        }
        ASSERT_EQ(doc.create(dir / "forms.ks5", u"secret", std::nullopt, true),
                  CreateResult::Created);
        ASSERT_EQ(doc.load(dir / "forms.ks5", u"secret"), OpenResult::Opened);
        folder = doc.node(0)->id();
    }

    static std::u16string to_u16(uint32_t n) {
        std::string s = std::to_string(n);
        return std::u16string(s.begin(), s.end());
    }

    test::DeterministicEnvironment env;
    test::MapTextSource texts;
    ScopedTextSource scope{&texts};
    test::TempDir dir;
    WalletDocument doc;
    NodeId folder;
};

TEST_F(FormsTest, CardsFromBuiltInForms) {
    struct Case {
        uint32_t form;
        size_t fields;
        std::vector<std::pair<size_t, uint16_t>> kinds;  // field position, kind
    };
    const std::vector<Case> cases = {
        {0, 16, {{0, 1}, {2, 7}, {9, 6}}},
        {41, 15, {{0, 3}, {1, 1}, {2, 7}, {12, 3}, {14, 7}}},
        {42, 40, {{0, 1}, {1, 5}, {2, 6}, {3, 6}}},
        {22, 27, {{7, 8}, {8, 9}}},
        {25, 26, {{8, 10}}},
    };
    for (const Case& c : cases) {
        auto card = new_card_from_form(doc, folder, builtin_form_id(c.form));
        ASSERT_TRUE(card) << c.form;
        EXPECT_EQ(card->fields().size(), c.fields) << c.form;
        for (auto [position, kind] : c.kinds)
            EXPECT_EQ(card->fields()[position].kind(), kind) << c.form;
        EXPECT_EQ(card->node()->name(), u"New Card");
        EXPECT_EQ(card->node()->parent(), folder);
        EXPECT_EQ(card->node()->icon(), static_cast<int32_t>(builtin_form(c.form)->icon));
        EXPECT_EQ(card->style(), doc.settings().default_card_style());
        EXPECT_EQ(card->fields()[0].label(),
                  u"Label " + to_u16(builtin_form(c.form)->fields[0].label_text));
    }
    FormId none = builtin_form_id(43);
    EXPECT_FALSE(new_card_from_form(doc, folder, none));
    EXPECT_FALSE(form_name(doc, none));
    EXPECT_EQ(form_name(doc, builtin_form_id(0)), u"Form 500");
}

TEST_F(FormsTest, UserFormsRoundTrip) {
    Card card = new_card_from_builtin_form(doc, folder, *builtin_form(41));
    card.node()->set_name(u"Bank");
    card.field(0).set_value(u"https://bank.example");
    const int source = doc.store_card(card);
    const int form = save_to_my_forms(doc, source);
    ASSERT_GE(form, 0);
    const FormId id = doc.node(form)->id();
    EXPECT_EQ(form_name(doc, id), u"Bank");
    EXPECT_FALSE(form_name(doc, doc.node(source)->id())) << "a card outside My Forms is no form";

    auto made = new_card_from_form(doc, folder, id);
    ASSERT_TRUE(made);
    EXPECT_EQ(made->node()->name(), u"Bank*");
    EXPECT_EQ(made->fields().size(), 15u);
    EXPECT_EQ(made->fields()[0].value(), u"");
    const int stored = doc.store_card(*made);
    const int again = save_to_my_forms(doc, stored);
    EXPECT_EQ(doc.node(again)->name(), u"Bank*");

    auto entries = form_chooser_entries(doc);
    ASSERT_EQ(entries.size(), 43u + 2);
    EXPECT_TRUE(entries[0].user_form);
    EXPECT_EQ(entries[0].name, u"Bank");
    EXPECT_EQ(entries[1].name, u"Bank*");
    EXPECT_FALSE(entries[2].user_form);
    for (size_t i = 3; i < entries.size(); ++i)
        EXPECT_LE(to_lower(entries[i - 1].name), to_lower(entries[i].name));
}

TEST_F(FormsTest, CopyField) {
    Card card = doc.new_card(folder);
    FieldRecord f;
    f.set_kind(11);
    f.set_label(u"Choice");
    f.set_value(u"Yes");
    f.set_label_colour(0xFF);
    card.insert_field(f);
    FieldRecord last;
    last.set_label(u"Last");
    card.insert_field(last);
    ASSERT_EQ(copy_field(card, 0), 1u);
    ASSERT_EQ(card.fields().size(), 3u);
    const FieldRecord& copy = card.fields()[1];
    EXPECT_EQ(copy.label(), u"Choice");
    EXPECT_EQ(copy.value(), u"Yes");
    EXPECT_EQ(copy.list(), card.fields()[0].list());
    EXPECT_EQ(copy.label_colour(), 0xFF);
    EXPECT_EQ(copy.change_bits(), 0xFFFFFFFFu);
    EXPECT_EQ(card.fields()[2].label(), u"Last");
    EXPECT_FALSE(copy_field(card, 3));
    while (card.fields().size() < 255) card.insert_field(FieldRecord{});
    EXPECT_FALSE(copy_field(card, 0));
}

TEST_F(FormsTest, DefaultCardForm) {
    ASSERT_TRUE(set_default_card_form(doc, 0, builtin_form_id(7)));
    EXPECT_EQ(doc.node(0)->default_form(), builtin_form_id(7));
    EXPECT_TRUE(doc.node(0)->header().change_bits() & node_change::kDefaultForm);
    doc.save_blocks();
    doc.close();
    ASSERT_EQ(doc.load(dir / "forms.ks5", u"secret"), OpenResult::Opened);
    EXPECT_EQ(doc.node(0)->default_form(), builtin_form_id(7));
}

}  // namespace
}  // namespace ks
