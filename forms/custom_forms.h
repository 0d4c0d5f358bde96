#pragma once
// The custom-forms text file (".ccd") that went with previous-version wallets: forms defined by
// the user, with the labels and types of their fields. Read only.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "forms/builtin_forms.h"

namespace ks {

// The text every custom-forms file starts with, in ANSI or in UTF-16LE without byte-order mark.
inline constexpr std::string_view kCustomFormsSignature = "<BrightloomKeystashCustomForms.1>";

constexpr size_t kCustomFormMaxFields = 50;
constexpr size_t kCustomFormMaxNameLength = 63;
constexpr size_t kCustomFormMaxLabelLength = 63;
constexpr size_t kCustomFormMaxLineBytes = 512;
constexpr size_t kCustomFormMaxCodeLength = 10;
constexpr size_t kCustomFormMaxIconLength = 2;
constexpr int32_t kCustomFormMinCode = 1000;  // codes 999 and below are not custom forms

struct CustomFormField {
    int32_t code = 0;  // key of the field's value in a legacy card
    std::u16string label;
    LegacyFieldType type = LegacyFieldType::Default;
    bool pin = false;
};

struct CustomFormDefinition {
    int32_t code = 0;  // always 1000 or more
    std::u16string name;
    int32_t icon = 0;
    std::vector<CustomFormField> fields;  // 1 to 50
};

enum class CustomFormsResult : int {
    Read = 0,
    CannotRead = 1,      // the file cannot be opened or read, or it is empty
    NotCustomForms = 2,  // the first line is not the signature
    SyntaxError = 3,     // a malformed code, icon or field line; nothing is returned
};

struct CustomFormsRead {
    CustomFormsResult result = CustomFormsResult::CannotRead;
    std::vector<CustomFormDefinition> forms;  // the accepted forms in file order
    size_t error_line = 0;                    // 1-based line of a syntax error
};

// Reads the file's bytes. Lines may end in CR LF or in LF alone.
CustomFormsRead parse_custom_forms(std::span<const uint8_t> bytes);
CustomFormsRead read_custom_forms(const std::filesystem::path& path);

}  // namespace ks
