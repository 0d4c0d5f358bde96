#include "cli/shown_text.h"

#include "platform/secret.h"
#include "platform/text.h"

namespace ks::cli {
namespace {

std::u16string hex_escape(std::u16string_view prefix, char16_t c, int digits) {
    static constexpr char16_t kHex[] = u"0123456789abcdef";
    std::u16string text(prefix);
    for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4) text += kHex[(c >> shift) & 0xF];
    return text;
}

bool reorders_or_breaks_lines(char16_t c) {
    return c == 0x200E || c == 0x200F || (c >= 0x2028 && c <= 0x202E) ||
           (c >= 0x2066 && c <= 0x2069);
}

std::string escaped(std::u16string_view text, bool keep_line_feeds) {
    SecretText out;  // may be a field's value
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        const bool line_end =
            c == u'\n' || (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n');
        std::optional<std::u16string> escape;
        if (!(keep_line_feeds && line_end)) escape = escape_of(c);
        if (escape)
            out += *escape;
        else
            out += c;
    }
    return to_utf8(out);
}

}  // namespace

std::optional<std::u16string> escape_of(char16_t c) {
    switch (c) {
        case u'\n':
            return u"\\n";
        case u'\t':
            return u"\\t";
        case u'\r':
            return u"\\r";
        default:
            break;
    }
    if (c < 0x20 || c == 0x7F) return hex_escape(u"\\x", c, 2);
    if ((c >= 0x80 && c <= 0x9F) || reorders_or_breaks_lines(c)) return hex_escape(u"\\u", c, 4);
    return std::nullopt;
}

std::string shown_text(std::u16string_view text) {
    return escaped(text, false);
}

std::string shown_lines(std::u16string_view text) {
    return escaped(text, true);
}

std::string json_text(const nlohmann::json& document, int indent) {
    return document.dump(indent, ' ', false, nlohmann::json::error_handler_t::replace);
}

}  // namespace ks::cli
