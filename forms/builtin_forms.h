#pragma once
// The forms compiled into the program, the older field-type numbering they use, and its two
// mappings onto FieldKind.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "core/node_id.h"

namespace ks {

// Field types of built-in forms, of custom-forms files and of legacy wallets. Values outside the
// named ones occur in old data and stay representable.
enum class LegacyFieldType : uint32_t {
    Default = 0,
    UpperAll = 1,
    UpperFirst = 2,
    Url = 3,
    BuiltInText = 5,
    Date = 8,
    YesNo = 9,
    Telephone = 11,
    Email = 15,
    Link = 16,
    Time = 17,
    DateAndTime = 18,
};

struct BuiltInFormField {
    uint32_t field_code;  // key of the field's value in a legacy card
    uint32_t label_text;  // language-table id of the label
    LegacyFieldType type;
    bool pin;
};

struct BuiltInForm {
    uint32_t code;       // 500..542; legacy cards name their form by it
    uint32_t name_text;  // language-table id of the name
    uint32_t icon;
    uint32_t group;  // 0..5, carried only
    std::span<const BuiltInFormField> fields;
};

constexpr size_t kBuiltInFormCount = 43;
constexpr size_t kMaxBuiltInFormFields = 60;

std::span<const BuiltInForm> builtin_forms();
const BuiltInForm* builtin_form(size_t index);  // nullptr past the table
const BuiltInForm* builtin_form_by_code(uint32_t code);

// The index of the built-in form that `id` names; nothing for a user form or an unused index.
std::optional<uint32_t> is_builtin_form(const FormId& id);

// FieldKind (as stored) of a field made from a built-in form slot.
uint16_t field_kind_for_new_card(LegacyFieldType type, bool pin);
// FieldKind (as stored) of a field converted from a legacy wallet.
uint16_t field_kind_for_conversion(LegacyFieldType type, bool pin);

// Type keywords of the custom-forms text format, in the order a field line is searched for them.
struct LegacyTypeKeyword {
    std::string_view keyword;
    LegacyFieldType type;
    bool pin;
};
inline constexpr std::array<LegacyTypeKeyword, 11> kLegacyTypeKeywords{{
    {"KSF_DEFAULT", LegacyFieldType::Default, false},
    {"KSF_PIN", LegacyFieldType::Default, true},
    {"KSF_UPPERALL", LegacyFieldType::UpperAll, false},
    {"KSF_UPPERFIRST", LegacyFieldType::UpperFirst, false},
    {"KSF_URL", LegacyFieldType::Url, false},
    {"KSF_EMAIL", LegacyFieldType::Email, false},
    {"KSF_TEL", LegacyFieldType::Telephone, false},
    {"KSF_LINK", LegacyFieldType::Link, false},
    {"KSF_DATE", LegacyFieldType::Date, false},
    {"KSF_TIME", LegacyFieldType::Time, false},
    {"KSF_YESNO", LegacyFieldType::YesNo, false},
}};

// Whole-keyword match without regard to ASCII case. `pin` may be null.
std::optional<LegacyFieldType> legacy_type_from_keyword(std::string_view keyword, bool* pin);
// Empty for a combination no keyword names (types 5 and 18, PIN on a type other than 0).
std::string_view legacy_type_keyword(LegacyFieldType type, bool pin);

}  // namespace ks
