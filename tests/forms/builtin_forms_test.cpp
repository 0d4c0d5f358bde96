#include "forms/builtin_forms.h"

#include <gtest/gtest.h>

#include <set>
#include <vector>

namespace ks {
namespace {

std::vector<uint16_t> new_card_kinds(size_t index) {
    std::vector<uint16_t> kinds;
    for (const BuiltInFormField& f : builtin_form(index)->fields) {
        kinds.push_back(field_kind_for_new_card(f.type, f.pin));
    }
    return kinds;
}

TEST(BuiltInFormTable, CodesNamesAndSizes) {
    ASSERT_EQ(builtin_forms().size(), kBuiltInFormCount);
    EXPECT_EQ(kBuiltInFormCount, 43u);
    EXPECT_EQ(builtin_form(kBuiltInFormCount), nullptr);
    std::set<uint32_t> codes, names;
    for (size_t i = 0; i < kBuiltInFormCount; ++i) {
        const BuiltInForm* form = builtin_form(i);
        ASSERT_NE(form, nullptr);
        EXPECT_EQ(form, &builtin_forms()[i]);
        EXPECT_GE(form->code, 500u) << i;
        EXPECT_LE(form->code, 542u) << i;
        EXPECT_GE(form->name_text, 39000u) << i;
        EXPECT_LE(form->name_text, 39043u) << i;
        EXPECT_LE(form->group, 5u) << i;
        EXPECT_FALSE(form->fields.empty()) << i;
        EXPECT_LE(form->fields.size(), kMaxBuiltInFormFields) << i;
        codes.insert(form->code);
        names.insert(form->name_text);
    }
    EXPECT_EQ(codes.size(), kBuiltInFormCount);
    EXPECT_EQ(names.size(), kBuiltInFormCount);
}

TEST(BuiltInFormTable, FieldCountsPerForm) {
    const std::array<size_t, kBuiltInFormCount> expected{
        16, 10, 20, 33, 13, 25, 22, 16, 17, 10, 5,  3,  11, 17, 8,  13, 18, 12, 8,  3,  15, 16,
        27, 24, 16, 26, 38, 15, 13, 13, 14, 17, 17, 31, 10, 13, 27, 29, 15, 23, 21, 15, 40};
    for (size_t i = 0; i < kBuiltInFormCount; ++i) {
        EXPECT_EQ(builtin_form(i)->fields.size(), expected[i]) << "form " << i;
    }
}

TEST(BuiltInFormTable, FieldCodes) {
    const std::vector<uint32_t> form2{503, 504, 505, 506, 507, 516, 508, 509, 510, 511,
                                      512, 513, 514, 517, 518, 519, 520, 521, 522, 515};
    std::vector<uint32_t> actual;
    for (const BuiltInFormField& f : builtin_form(2)->fields) actual.push_back(f.field_code);
    EXPECT_EQ(actual, form2);

    for (size_t i = 0; i < kBuiltInFormCount; ++i) {
        if (i == 2) continue;
        const BuiltInForm& form = *builtin_form(i);
        for (size_t slot = 0; slot < form.fields.size(); ++slot) {
            EXPECT_EQ(form.fields[slot].field_code, form.code + 1 + slot)
                << "form " << i << " slot " << slot;
        }
    }
    // Form 40 carries code 511, out of index order.
    EXPECT_EQ(builtin_form(40)->fields[0].field_code, 512u);
}

TEST(BuiltInFormTable, SampledRows) {
    struct Case {
        size_t form, slot;
        uint32_t label;
        LegacyFieldType type;
        bool pin;
    };
    using enum LegacyFieldType;
    const Case cases[] = {
        {0, 0, 31000, UpperAll, false},     {0, 2, 31002, Default, true},
        {2, 4, 31204, BuiltInText, true},   {2, 19, 31209, Url, false},
        {22, 8, 33208, Time, false},        {25, 8, 33524, DateAndTime, false},
        {25, 25, 33522, Date, false},       {26, 10, 33608, Default, false},
        {32, 16, 34208, UpperFirst, false}, {33, 2, 34302, Default, true},
        {39, 22, 34922, Url, false},        {40, 0, 35008, Default, false},
        {40, 20, 35011, Default, false},    {42, 39, 31305, Telephone, false},
    };
    for (const Case& c : cases) {
        const BuiltInFormField& f = builtin_form(c.form)->fields[c.slot];
        EXPECT_EQ(f.label_text, c.label) << c.form << "/" << c.slot;
        EXPECT_EQ(f.type, c.type) << c.form << "/" << c.slot;
        EXPECT_EQ(f.pin, c.pin) << c.form << "/" << c.slot;
    }
}

TEST(BuiltInFormTable, LookupByCode) {
    for (const BuiltInForm& form : builtin_forms()) {
        EXPECT_EQ(builtin_form_by_code(form.code), &form) << form.code;
    }
    EXPECT_EQ(builtin_form_by_code(511), builtin_form(40));
    EXPECT_EQ(builtin_form_by_code(512), builtin_form(11));
    EXPECT_EQ(builtin_form_by_code(529), builtin_form(24));
    for (uint32_t code : {0u, 499u, 543u, 1000u}) EXPECT_EQ(builtin_form_by_code(code), nullptr);
}

TEST(BuiltInFormNewCard, KindsOfFirstAndLastForms) {
    const std::vector<uint16_t> form0{1, 1, 7, 1, 1, 1, 1, 1, 1, 6, 6, 1, 1, 1, 1, 1};
    EXPECT_EQ(new_card_kinds(0), form0);

    std::vector<uint16_t> form41, form42;
    for (int i = 0; i < 5; ++i) form41.insert(form41.end(), {3, 1, 7});
    for (int i = 0; i < 10; ++i) form42.insert(form42.end(), {1, 5, 6, 6});
    EXPECT_EQ(new_card_kinds(41), form41);
    EXPECT_EQ(new_card_kinds(42), form42);

    // Form 41 repeats the same three labels.
    for (size_t slot = 3; slot < 15; ++slot) {
        EXPECT_EQ(builtin_form(41)->fields[slot].label_text,
                  builtin_form(41)->fields[slot % 3].label_text);
    }
}

TEST(LegacyFieldTypeMapping, BothColumns) {
    struct Case {
        uint32_t type;
        uint16_t new_card, conversion;
    };
    const Case cases[] = {
        {0, 1, 1},   {1, 1, 15},  {2, 1, 15},   {3, 3, 3},   {4, 1, 15},
        {5, 1, 15},  {8, 8, 15},  {9, 1, 15},   {11, 6, 6},  {15, 5, 5},
        {16, 1, 15}, {17, 9, 15}, {18, 10, 15}, {19, 1, 15}, {0xFFFFFFFF, 1, 15},
    };
    for (const Case& c : cases) {
        const auto type = static_cast<LegacyFieldType>(c.type);
        EXPECT_EQ(field_kind_for_new_card(type, false), c.new_card) << c.type;
        EXPECT_EQ(field_kind_for_conversion(type, false), c.conversion) << c.type;
        // The PIN flag wins over every type.
        EXPECT_EQ(field_kind_for_new_card(type, true), 7) << c.type;
        EXPECT_EQ(field_kind_for_conversion(type, true), 7) << c.type;
    }
}

TEST(LegacyFieldTypeKeywords, RoundTrip) {
    std::set<std::string_view> seen;
    for (const LegacyTypeKeyword& entry : kLegacyTypeKeywords) {
        EXPECT_TRUE(seen.insert(entry.keyword).second) << entry.keyword;
        bool pin = !entry.pin;
        EXPECT_EQ(legacy_type_from_keyword(entry.keyword, &pin), entry.type) << entry.keyword;
        EXPECT_EQ(pin, entry.pin) << entry.keyword;
        EXPECT_EQ(legacy_type_keyword(entry.type, entry.pin), entry.keyword);
    }
    EXPECT_EQ(legacy_type_keyword(LegacyFieldType::Default, true), "KSF_PIN");
    EXPECT_EQ(legacy_type_keyword(LegacyFieldType::Telephone, false), "KSF_TEL");
}

TEST(LegacyFieldTypeKeywords, MatchingRules) {
    bool pin = false;
    EXPECT_EQ(legacy_type_from_keyword("ksf_Pin", &pin), LegacyFieldType::Default);
    EXPECT_TRUE(pin);
    EXPECT_EQ(legacy_type_from_keyword("KSF_url", nullptr), LegacyFieldType::Url);
    for (std::string_view bad : {"", "KSF_", "KSF_TE", "KSF_TELX", " KSF_TEL", "KSF_FOO"}) {
        pin = true;
        EXPECT_EQ(legacy_type_from_keyword(bad, &pin), std::nullopt) << bad;
        EXPECT_TRUE(pin) << "untouched on failure: " << bad;
    }
}

TEST(LegacyFieldTypeKeywords, CombinationsWithoutKeyword) {
    using enum LegacyFieldType;
    EXPECT_TRUE(legacy_type_keyword(BuiltInText, false).empty());
    EXPECT_TRUE(legacy_type_keyword(DateAndTime, false).empty());
    EXPECT_TRUE(legacy_type_keyword(Url, true).empty());
    EXPECT_TRUE(legacy_type_keyword(static_cast<LegacyFieldType>(4), false).empty());
}

TEST(BuiltInFormId, Recognition) {
    auto id_with_first = [](uint32_t first) {
        FormId id;
        id.bytes[0] = static_cast<uint8_t>(first);
        id.bytes[1] = static_cast<uint8_t>(first >> 8);
        id.bytes[2] = static_cast<uint8_t>(first >> 16);
        id.bytes[3] = static_cast<uint8_t>(first >> 24);
        return id;
    };
    EXPECT_EQ(is_builtin_form(id_with_first(0)), 0u);
    EXPECT_EQ(is_builtin_form(id_with_first(42)), 42u);
    EXPECT_EQ(is_builtin_form(id_with_first(43)), std::nullopt);
    EXPECT_EQ(is_builtin_form(id_with_first(0x100)), std::nullopt);
    for (size_t byte = 4; byte < 16; ++byte) {
        FormId id = id_with_first(1);
        id.bytes[byte] = 0x01;
        EXPECT_EQ(is_builtin_form(id), std::nullopt) << "byte " << byte;
    }
    for (uint32_t i = 0; i < kBuiltInFormCount; ++i)
        EXPECT_EQ(is_builtin_form(builtin_form_id(i)), i);
}

}  // namespace
}  // namespace ks
