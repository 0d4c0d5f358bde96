#include "core/field.h"

#include <gtest/gtest.h>

#include "core/stored_text.h"
#include "platform/bytes.h"
#include "platform/locale_format.h"
#include "support/test_support.h"
#include "support/wallet_builder.h"

namespace ks {
namespace {

FieldRecord text_field(std::u16string label, std::u16string value, uint16_t kind = 1) {
    FieldRecord f;
    f.set_kind(kind);
    f.set_label(label);
    f.set_value(value);
    return f;
}

TEST(StoredText, PaddingRule) {
    struct Case {
        std::u16string text;
        uint32_t stored, pad;
    };
    for (const Case& c :
         std::vector<Case>{{u"ab", 8, 4}, {u"abc", 8, 2}, {u"a", 4, 2}, {u"", 4, 4}}) {
        EXPECT_EQ(text_stored_size(c.text.size() * 2), (StoredSize{c.stored, c.pad})) << c.stored;
    }
    EXPECT_EQ(data_stored_size(0), (StoredSize{0, 0}));
    EXPECT_EQ(data_stored_size(4), (StoredSize{8, 4}));
    EXPECT_EQ(data_stored_size(5), (StoredSize{8, 3}));
    EXPECT_EQ(data_stored_size(7), (StoredSize{8, 1}));
}

TEST(FieldRecordStorage, LabelPadsAreZeroAndPlain) {
    KeyContext key = test::key_filled_with(0x07);
    for (auto [label, stored, pad] : {std::tuple{u"ab", 8u, 4u}, std::tuple{u"abc", 8u, 2u}}) {
        Bytes out = text_field(label, u"").serialize(key);
        ASSERT_EQ(out.size(), 72u + stored);
        EXPECT_EQ(get_u32(out, 16), stored);
        EXPECT_EQ(get_u32(out, 20), pad);
        EXPECT_EQ(get_u32(out, 56), stored);
        const size_t length = stored - pad;
        EXPECT_TRUE(all_zero(std::span(out).subspan(72 + length)));
        // The text bytes are enciphered: deciphering them gives the label.
        EXPECT_EQ(decipher_text(std::span(out).subspan(72, length), key), std::u16string(label));
        EXPECT_FALSE(all_zero(std::span(out).subspan(72, length)));
    }
}

TEST(FieldRecordStorage, ListStoredOnlyForListKinds) {
    KeyContext key = test::key_filled_with(0x07);
    FieldRecord list;
    list.set_kind(11);
    list.clear_list();
    Bytes out = list.serialize(key);
    EXPECT_EQ(get_u32(out, 48), 4u);
    EXPECT_EQ(get_u32(out, 52), 4u);
    EXPECT_TRUE(all_zero(std::span(out).subspan(72)));

    FieldRecord text;
    text.add_list_item(u"ignored");
    EXPECT_EQ(get_u32(text.serialize(key), 48), 0u);
}

TEST(FieldRecordStorage, RoundTripKeepsEverything) {
    KeyContext key = test::key_filled_with(0x07);
    FieldRecord f = text_field(u"Colour", u"Blue sky", 12);
    f.set_flags(kFieldFlagTextKindsOnly);
    f.set_label_colour(0x123456);
    f.add_list_item(u"Red");
    f.add_list_item(u"Gr^een");
    auto parsed = FieldRecord::parse(f.serialize(key), key);
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->kind(), 12);
    EXPECT_EQ(parsed->flags(), kFieldFlagTextKindsOnly);
    EXPECT_EQ(parsed->label_colour(), 0x123456);
    EXPECT_EQ(parsed->value_colour(), -1);
    EXPECT_EQ(parsed->label(), u"Colour");
    EXPECT_EQ(parsed->value(), u"Blue sky");
    EXPECT_EQ(parsed->list(), (std::vector<std::u16string>{u"Red", u"Gr een"}));
    EXPECT_EQ(parsed->change_bits(), 0u);
    // Reserved header bytes written by someone else are carried unchanged.
    Bytes raw = f.serialize(key);
    raw[5] = 0xAB;
    raw[70] = 0xCD;
    Bytes again = FieldRecord::parse(raw, key)->serialize(key);
    EXPECT_EQ(again, raw);
}

TEST(FieldRecordStorage, DateValueRoundTrips) {
    KeyContext key = test::key_filled_with(0x07);
    FieldRecord f;
    f.set_kind(10);
    DateTime when{2024, 2, 4, 29, 23, 59, 58, 0};
    ASSERT_TRUE(f.set_date(when));
    EXPECT_EQ(FieldRecord::parse(f.serialize(key), key)->date(), when);
}

TEST(FieldRecordStorage, EqualTextsEncipherEqually) {
    KeyContext key = test::key_filled_with(0x07);
    Bytes a = text_field(u"Password", u"x").serialize(key);
    Bytes b = text_field(u"Password", u"y").serialize(key);
    auto label_bytes = [](const Bytes& b) { return Bytes(b.begin() + 72, b.begin() + 72 + 20); };
    EXPECT_EQ(label_bytes(a), label_bytes(b));
}

TEST(FieldRecordStorage, DamagedChunksNeverReadPastTheChunk) {
    KeyContext key = test::key_filled_with(0x07);
    Bytes good = text_field(u"Label", u"Value").serialize(key);
    EXPECT_FALSE(FieldRecord::parse(std::span(good).first(71), key));

    struct Case {
        const char* what;
        size_t offset;
        uint32_t value;
        size_t cut;  // bytes kept
    };
    const Case cases[] = {
        {"label length past the chunk", 16, 0xFFFFFFF0, good.size()},
        {"pad larger than length", 20, 1000, good.size()},
        {"value length past the chunk", 40, 0x7FFFFFFF, good.size()},
        {"chunk cut inside the value", 0, 1, good.size() - 3},
        {"list length on a text kind", 48, 400, good.size()},
    };
    for (const Case& c : cases) {
        Bytes raw(good.begin(), good.begin() + static_cast<ptrdiff_t>(c.cut));
        if (c.offset != 0) put_u32(raw, c.offset, c.value);
        auto parsed = FieldRecord::parse(raw, key);
        EXPECT_TRUE(parsed) << c.what;
    }
}

TEST(FieldRecordOperations, ListItemsLimitsAndSeparator) {
    FieldRecord f;
    f.set_kind(12);
    EXPECT_FALSE(f.add_list_item(u""));
    for (int i = 0; i < 128; ++i) ASSERT_TRUE(f.add_list_item(u"item"));
    EXPECT_FALSE(f.add_list_item(u"one too many"));
    EXPECT_EQ(f.list().size(), 128u);

    FieldRecord g;
    g.set_kind(12);
    g.add_list_item(u"a^b");
    g.add_list_item(u"c");
    KeyContext key = test::key_filled_with(0x07);
    auto parsed = FieldRecord::parse(g.serialize(key), key);
    EXPECT_EQ(parsed->list(), (std::vector<std::u16string>{u"a b", u"c"}));
    EXPECT_EQ(g.list_item(0, 3), u"a ");  // a buffer of three units holds two
    EXPECT_FALSE(text_field(u"l", u"v").list_item(0));

    g.set_list(u"^x^^y^");
    EXPECT_EQ(g.list(), (std::vector<std::u16string>{u"x", u"y"}));
}

TEST(FieldRecordOperations, KindChanges) {
    test::ScopedCoreTexts texts;
    FieldRecord f = text_field(u"When", u"tomorrow");
    f.clear_change_bits();
    f.set_kind(8);
    EXPECT_EQ(f.value(), u"");
    EXPECT_EQ(f.change_bits(), field_change::kDate | field_change::kKind);
    f.set_kind(1);
    EXPECT_EQ(f.value(), u"");

    f.set_kind(11);
    EXPECT_EQ(f.list(), (std::vector<std::u16string>{u"Yes", u"No"}));

    FieldRecord same;
    same.clear_change_bits();
    same.set_kind(1);
    same.set_label(u"");
    same.set_value(u"");
    EXPECT_EQ(same.change_bits(), 0u);
    EXPECT_FALSE(same.set_date(DateTime{2000, 1, 0, 1}));
}

TEST(FieldRecordOperations, SettingValueClearsDateOnlyWhenEmpty) {
    FieldRecord f;
    f.set_kind(8);
    f.set_date(DateTime{2001, 2, 0, 3});
    f.set_value(u"x");
    EXPECT_FALSE(f.date().is_zero());
    f.set_value(u"");
    EXPECT_TRUE(f.date().is_zero());
}

TEST(FieldRecordOperations, DisplayTexts) {
    test::ScopedCoreTexts texts;
    LocaleFormats formats;
    formats.short_date = u"M/d/yy";
    formats.time = u"h:mm:ss tt";
    ScopedLocaleFormats pinned(formats);

    FieldRecord f;
    const DateTime when{2006, 3, 0, 5, 14, 7, 9, 0};
    struct Case {
        uint16_t kind;
        std::u16string expected;
    };
    for (const Case& c :
         std::vector<Case>{{8, u"3/5/2006"}, {9, u"2:07 PM"}, {10, u"3/5/2006  2:07 PM"}}) {
        f.set_kind(c.kind);
        f.set_date(when);
        EXPECT_EQ(f.display_text(), c.expected) << c.kind;
        EXPECT_EQ(f.display_length(), c.expected.size());
    }
    f.set_date(DateTime{0, 3, 0, 5});
    EXPECT_EQ(f.display_text(), u"");

    FieldRecord yn;
    yn.set_kind(13);
    struct YesNo {
        std::u16string value, text;
        int state;
        size_t length;
    };
    for (const YesNo& c :
         std::vector<YesNo>{{u"1", u"Yes", 1, 32}, {u"0", u"No", 0, 32}, {u"x", u"", 2, 0}}) {
        yn.set_value(c.value);
        EXPECT_EQ(yn.display_text(), c.text);
        EXPECT_EQ(yn.yes_no_state(), c.state);
        EXPECT_EQ(yn.display_length(), c.length);
    }
    EXPECT_EQ(text_field(u"l", u"plain", 7).display_text(), u"plain");
}

TEST(FieldKinds, NameIds) {
    EXPECT_EQ(field_kind_name_id(1), 24500u);
    EXPECT_EQ(field_kind_name_id(16), 24502u);
    EXPECT_EQ(field_kind_name_id(2), 24500u);
    EXPECT_EQ(field_kind_name_id(99), 24500u);
}

}  // namespace
}  // namespace ks
