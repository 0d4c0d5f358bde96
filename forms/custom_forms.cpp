#include "forms/custom_forms.h"

#include <algorithm>
#include <limits>
#include <optional>

#include "core/attachment.h"
#include "platform/text.h"

namespace ks {
namespace {

// A custom-forms file is a few kilobytes; anything far larger is not one and is not loaded.
constexpr uintmax_t kMaxFileSize = 16u << 20;

struct Line {
    std::u16string text;
    size_t number = 0;  // 1-based, the signature line being 1
};

// Removes what is left of the line end, the comment and the trailing spaces.
std::u16string prepare_line(std::u16string text) {
    if (!text.empty() && text.back() == u'\r') text.pop_back();
    if (auto semicolon = text.find(u';'); semicolon != std::u16string::npos) text.resize(semicolon);
    while (!text.empty() && text.back() == u' ') text.pop_back();
    return text;
}

// Splits units into lines at LF (a CR before it is dropped with the rest of the line end).
// At most `max_units` units of a line are taken; the rest of a longer line is passed over.
template <typename Unit, typename Decode>
std::vector<Line> split_lines(std::span<const Unit> units, size_t max_units, Decode decode) {
    std::vector<Line> lines;
    size_t start = 0;
    size_t number = 0;
    while (start < units.size()) {
        const auto lf = std::find(units.begin() + static_cast<std::ptrdiff_t>(start), units.end(),
                                  static_cast<Unit>('\n'));
        const size_t end = static_cast<size_t>(lf - units.begin());
        const size_t taken = std::min(end - start, max_units);
        ++number;
        // The first line is the signature and takes no part in the grammar.
        if (number > 1)
            lines.push_back({prepare_line(decode(units.subspan(start, taken))), number});
        start = end + 1;
    }
    return lines;
}

bool starts_with_bytes(std::span<const uint8_t> bytes, std::span<const uint8_t> prefix) {
    return bytes.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), bytes.begin());
}

bool is_keyword(std::u16string_view line, std::u16string_view keyword) {
    return iequals_ascii(line, keyword);
}

// The decimal value of the leading digits, as the C library's atoi reads them (leading blanks
// and a sign allowed); 0 without digits. Values beyond 32 bits are held at the limit.
int32_t leading_number(std::u16string_view text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == u' ' || text[i] == u'\t')) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == u'-' || text[i] == u'+')) negative = text[i++] == u'-';
    int64_t value = 0;
    for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
        value = value * 10 + (text[i] - u'0');
        if (value > std::numeric_limits<int32_t>::max()) break;
    }
    if (negative) value = -value;
    return static_cast<int32_t>(std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(),
                                                    std::numeric_limits<int32_t>::max()));
}

// The first type keyword found anywhere in the line, in the table's order, ignoring case.
const LegacyTypeKeyword* find_type_keyword(std::u16string_view line) {
    const std::u16string lower = to_lower_ascii(line);
    for (const LegacyTypeKeyword& entry : kLegacyTypeKeywords) {
        const std::u16string keyword = to_lower_ascii(from_utf8(entry.keyword));
        if (lower.find(keyword) != std::u16string::npos) return &entry;
    }
    return nullptr;
}

// "code type label": nothing on a syntax error.
std::optional<CustomFormField> parse_field_line(std::u16string_view line) {
    const LegacyTypeKeyword* type = find_type_keyword(line);
    if (!type) return std::nullopt;
    const size_t first_space = line.find(u' ');
    if (first_space == std::u16string_view::npos || first_space > kCustomFormMaxCodeLength)
        return std::nullopt;
    const size_t token = line.find_first_not_of(u' ', first_space);
    if (token == std::u16string_view::npos) return std::nullopt;
    const size_t second_space = line.find(u' ', token);
    if (second_space == std::u16string_view::npos) return std::nullopt;
    const size_t label = line.find_first_not_of(u' ', second_space);

    CustomFormField field;
    field.code = leading_number(line.substr(0, first_space));
    field.type = type->type;
    field.pin = type->pin;
    if (label != std::u16string_view::npos)
        field.label = std::u16string(line.substr(label, kCustomFormMaxLabelLength));
    return field;
}

struct GrammarOutcome {
    CustomFormsResult result = CustomFormsResult::Read;
    size_t accepted = 0;
    size_t error_line = 0;
};

// One pass of the grammar over the lines: counts the accepted forms and, when `out` is given,
// appends them to it.
GrammarOutcome run_grammar(const std::vector<Line>& lines, std::vector<CustomFormDefinition>* out) {
    enum class State { Outside, Name, Code, Icon, Fields };
    State state = State::Outside;
    CustomFormDefinition form;
    GrammarOutcome outcome;
    auto syntax_error = [&](const Line& line) {
        outcome.result = CustomFormsResult::SyntaxError;
        outcome.error_line = line.number;
        return outcome;
    };

    for (const Line& line : lines) {
        const std::u16string& text = line.text;
        if (text.empty()) continue;
        if (is_keyword(text, u"<MyForm>")) {
            form = CustomFormDefinition{};
            state = State::Name;
            continue;
        }
        if (is_keyword(text, u"<EndForm>")) {
            if (state != State::Outside && !form.fields.empty() &&
                form.code >= kCustomFormMinCode) {
                ++outcome.accepted;
                if (out) out->push_back(std::move(form));
            }
            form = CustomFormDefinition{};
            state = State::Outside;
            continue;
        }
        switch (state) {
            case State::Outside:
                break;
            case State::Name:
                form.name = text.substr(0, kCustomFormMaxNameLength);
                state = State::Code;
                break;
            case State::Code:
                if (text.size() > kCustomFormMaxCodeLength) return syntax_error(line);
                form.code = leading_number(text);
                state = State::Icon;
                break;
            case State::Icon:
                if (text.size() > kCustomFormMaxIconLength) return syntax_error(line);
                form.icon = leading_number(text);
                state = State::Fields;
                break;
            case State::Fields: {
                if (form.fields.size() >= kCustomFormMaxFields) break;
                auto field = parse_field_line(text);
                if (!field) return syntax_error(line);
                form.fields.push_back(std::move(*field));
                break;
            }
        }
    }
    return outcome;
}

}  // namespace

CustomFormsRead parse_custom_forms(std::span<const uint8_t> bytes) {
    CustomFormsRead read;
    if (bytes.empty()) return read;

    const std::span<const uint8_t> ansi_signature(
        reinterpret_cast<const uint8_t*>(kCustomFormsSignature.data()),
        kCustomFormsSignature.size());
    const Bytes utf16_signature = utf16le_encode(from_utf8(kCustomFormsSignature));

    std::vector<Line> lines;
    if (starts_with_bytes(bytes, ansi_signature)) {
        const std::string_view all(reinterpret_cast<const char*>(bytes.data()), bytes.size());
        const bool utf8 = is_valid_utf8(all);
        lines = split_lines<uint8_t>(
            bytes, kCustomFormMaxLineBytes, [utf8](std::span<const uint8_t> units) {
                const std::string_view text(reinterpret_cast<const char*>(units.data()),
                                            units.size());
                return utf8 ? from_utf8(text) : from_cp1252(text);
            });
    } else if (starts_with_bytes(bytes, utf16_signature)) {
        std::u16string units(bytes.size() / 2, u'\0');
        for (size_t i = 0; i < units.size(); ++i)
            units[i] = static_cast<char16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
        lines = split_lines<char16_t>(std::span<const char16_t>(units), kCustomFormMaxLineBytes / 2,
                                      [](std::span<const char16_t> text) {
                                          return std::u16string(text.begin(), text.end());
                                      });
    } else {
        read.result = CustomFormsResult::NotCustomForms;
        return read;
    }

    // The first pass counts, the second fills storage of that size in file order.
    const GrammarOutcome counted = run_grammar(lines, nullptr);
    if (counted.result != CustomFormsResult::Read) {
        read.result = counted.result;
        read.error_line = counted.error_line;
        return read;
    }
    read.forms.reserve(counted.accepted);
    run_grammar(lines, &read.forms);
    read.result = CustomFormsResult::Read;
    return read;
}

CustomFormsRead read_custom_forms(const std::filesystem::path& path) {
    std::error_code ec;
    const uintmax_t size = std::filesystem::file_size(path, ec);
    if (ec || size == 0 || size > kMaxFileSize) return {};
    auto bytes = read_whole_file(path);
    if (!bytes) return {};
    return parse_custom_forms(*bytes);
}

}  // namespace ks
