#include "platform/text.h"

#include "platform/secret.h"

#include <algorithm>
#include <array>

namespace ks {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool is_high_surrogate(char16_t c) {
    return c >= 0xD800 && c <= 0xDBFF;
}
bool is_low_surrogate(char16_t c) {
    return c >= 0xDC00 && c <= 0xDFFF;
}

template <typename Text>
void append_code_point(Text& out, char32_t cp) {
    if (cp < 0x10000) {
        out += static_cast<char16_t>(cp);
    } else {
        cp -= 0x10000;
        out += static_cast<char16_t>(0xD800 + (cp >> 10));
        out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
    }
}

// Decodes one UTF-8 sequence at `pos` and advances past it. On an ill-formed sequence, returns
// false and advances past its maximal valid prefix (at least one byte), so that each such
// prefix becomes one replacement character.
bool decode_utf8(std::string_view s, size_t& pos, char32_t& cp) {
    const auto b0 = static_cast<uint8_t>(s[pos]);
    ++pos;
    if (b0 < 0x80) {
        cp = b0;
        return true;
    }
    // Allowed range of the second byte; it excludes overlongs, surrogates and > U+10FFFF.
    int trail = 0;
    uint8_t lo = 0x80;
    uint8_t hi = 0xBF;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        trail = 1;
    } else if (b0 == 0xE0) {
        trail = 2;
        lo = 0xA0;
    } else if (b0 == 0xED) {
        trail = 2;
        hi = 0x9F;
    } else if (b0 >= 0xE1 && b0 <= 0xEF) {
        trail = 2;
    } else if (b0 == 0xF0) {
        trail = 3;
        lo = 0x90;
    } else if (b0 >= 0xF1 && b0 <= 0xF3) {
        trail = 3;
    } else if (b0 == 0xF4) {
        trail = 3;
        hi = 0x8F;
    } else {
        return false;
    }
    char32_t value = b0 & (0x3F >> trail);
    for (int k = 0; k < trail; ++k) {
        if (pos >= s.size()) return false;
        const auto b = static_cast<uint8_t>(s[pos]);
        if (b < lo || b > hi) return false;
        value = (value << 6) | (b & 0x3F);
        ++pos;
        lo = 0x80;
        hi = 0xBF;
    }
    cp = value;
    return true;
}

// Code page 1252 bytes 0x80-0x9F. The five bytes the code page leaves undefined map to the
// C1 controls of the same value, so that every byte survives a round trip.
constexpr std::array<char16_t, 32> kCp1252High{
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80-87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 88-8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90-97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 98-9F
};

char16_t lower_ascii(char16_t c) {
    return (c >= u'A' && c <= u'Z') ? c + (u'a' - u'A') : c;
}

}  // namespace

std::string to_utf8(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t cp = text[i];
        if (is_high_surrogate(text[i]) && i + 1 < text.size() && is_low_surrogate(text[i + 1])) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (is_high_surrogate(text[i]) || is_low_surrogate(text[i])) {
            cp = kReplacement;
        }
        if (cp < 0x80) {
            out += static_cast<char>(cp);
        } else if (cp < 0x800) {
            out += static_cast<char>(0xC0 | (cp >> 6));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            out += static_cast<char>(0xE0 | (cp >> 12));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (cp >> 18));
            out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        }
    }
    return out;
}

template <typename Text>
static Text decode_utf8_text(std::string_view text) {
    Text out;
    out.reserve(text.size());
    size_t pos = 0;
    while (pos < text.size()) {
        char32_t cp = 0;
        append_code_point(out, decode_utf8(text, pos, cp) ? cp : kReplacement);
    }
    return out;
}

std::u16string from_utf8(std::string_view text) {
    return decode_utf8_text<std::u16string>(text);
}

SecretText secret_from_utf8(std::string_view text) {
    return decode_utf8_text<SecretText>(text);
}

bool is_valid_utf8(std::string_view bytes) {
    size_t pos = 0;
    while (pos < bytes.size()) {
        char32_t cp = 0;
        if (!decode_utf8(bytes, pos, cp)) return false;
    }
    return true;
}

std::u16string from_cp1252(std::string_view bytes) {
    std::u16string out;
    out.reserve(bytes.size());
    for (char ch : bytes) {
        const auto b = static_cast<uint8_t>(ch);
        out += (b >= 0x80 && b <= 0x9F) ? kCp1252High[b - 0x80] : static_cast<char16_t>(b);
    }
    return out;
}

std::string to_cp1252(std::u16string_view text, char replacement) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
            out += static_cast<char>(c);
            continue;
        }
        const auto* it = std::find(kCp1252High.begin(), kCp1252High.end(), c);
        if (it != kCp1252High.end()) {
            out += static_cast<char>(0x80 + (it - kCp1252High.begin()));
            continue;
        }
        // A surrogate pair is one character and gets one replacement.
        if (is_high_surrogate(c) && i + 1 < text.size() && is_low_surrogate(text[i + 1])) ++i;
        out += replacement;
    }
    return out;
}

std::u16string from_ansi(std::string_view bytes) {
    return is_valid_utf8(bytes) ? from_utf8(bytes) : from_cp1252(bytes);
}

std::u16string utf16le_decode(std::span<const uint8_t> bytes, size_t max_units) {
    const size_t units = std::min(bytes.size() / 2, max_units);
    std::u16string out;
    out.reserve(units);
    for (size_t i = 0; i < units; ++i) {
        const auto c = static_cast<char16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
        if (c == 0) break;
        out += c;
    }
    return out;
}

std::vector<uint8_t> utf16le_encode(std::u16string_view text) {
    std::vector<uint8_t> out(text.size() * 2);
    utf16le_write(text, out);
    return out;
}

size_t utf16le_write(std::u16string_view text, std::span<uint8_t> out) {
    const size_t units = std::min(text.size(), out.size() / 2);
    for (size_t i = 0; i < units; ++i) {
        out[2 * i] = static_cast<uint8_t>(text[i] & 0xFF);
        out[2 * i + 1] = static_cast<uint8_t>(text[i] >> 8);
    }
    return units;
}

std::u16string_view until_nul(std::u16string_view text) {
    const size_t end = text.find(u'\0');
    return end == std::u16string_view::npos ? text : text.substr(0, end);
}

bool iequals_ascii(std::u16string_view a, std::u16string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](char16_t x, char16_t y) { return lower_ascii(x) == lower_ascii(y); });
}

std::u16string to_lower_ascii(std::u16string_view text) {
    std::u16string out(text);
    std::transform(out.begin(), out.end(), out.begin(), lower_ascii);
    return out;
}

std::u16string_view cut_units(std::u16string_view text, size_t units) {
    if (text.size() <= units) return text;
    if (units > 0 && is_high_surrogate(text[units - 1])) --units;
    return text.substr(0, units);
}

}  // namespace ks

namespace ks {

bool is_white_space(char16_t c) {
    return (c >= 9 && c <= 13) || c == 0x20 || c == 0x85 || c == 0xA0 || c == 0x1680 ||
           (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F ||
           c == 0x205F || c == 0x3000;
}

char16_t to_lower(char16_t c) {
    if (c < 0x80) return (c >= 'A' && c <= 'Z') ? static_cast<char16_t>(c + 32) : c;
    if ((c >= 0xC0 && c <= 0xDE && c != 0xD7) || (c >= 0x391 && c <= 0x3AB && c != 0x3A2) ||
        (c >= 0x410 && c <= 0x42F))
        return static_cast<char16_t>(c + 32);
    if (c >= 0x400 && c <= 0x40F) return static_cast<char16_t>(c + 80);
    if (c == 0x178) return 0xFF;
    // Latin Extended-A pairs capitals and small letters as neighbours; the block shifts its
    // parity at 0x139 and again at 0x179.
    if (c >= 0x100 && c <= 0x137 && c != 0x130)
        return (c % 2 == 0) ? static_cast<char16_t>(c + 1) : c;
    if (c >= 0x139 && c <= 0x148) return (c % 2 == 1) ? static_cast<char16_t>(c + 1) : c;
    if (c >= 0x14A && c <= 0x177) return (c % 2 == 0) ? static_cast<char16_t>(c + 1) : c;
    if (c >= 0x179 && c <= 0x17E) return (c % 2 == 1) ? static_cast<char16_t>(c + 1) : c;
    return c;
}

std::u16string to_lower(std::u16string_view text) {
    std::u16string out(text);
    for (char16_t& c : out) c = to_lower(c);
    return out;
}

}  // namespace ks

namespace ks {

void make_safe_file_name(std::u16string& text) {
    for (char16_t& c : text) {
        // Controls, and the characters that reorder text or break lines where a name is shown.
        const bool control = c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x200E || c == 0x200F ||
                             (c >= 0x2028 && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
        if (control || std::u16string_view(u"\\/:*?\"<>|").find(c) != std::u16string_view::npos)
            c = u'_';
    }
}

}  // namespace ks
