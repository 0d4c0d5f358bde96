#include "platform/message_format.h"

#include <algorithm>
#include <optional>

namespace ks {

namespace {

// Widths and precisions beyond this are clamped; message texts never need more.
constexpr size_t kMaxWidth = 4096;

struct Spec {
    bool left = false;
    bool zero = false;
    size_t width = 0;
    std::optional<size_t> precision;
};

size_t read_number(std::u16string_view pattern, size_t& i) {
    size_t value = 0;
    while (i < pattern.size() && pattern[i] >= u'0' && pattern[i] <= u'9') {
        value = std::min(value * 10 + (pattern[i] - u'0'), kMaxWidth);
        ++i;
    }
    return value;
}

// Appends `body` padded to the width. Zero padding goes after a leading sign.
void append_padded(std::u16string& out, std::u16string_view body, const Spec& spec, bool zero_pad) {
    const size_t fill = spec.width > body.size() ? spec.width - body.size() : 0;
    if (spec.left) {
        out += body;
        out.append(fill, u' ');
    } else if (zero_pad) {
        const size_t sign = !body.empty() && body.front() == u'-' ? 1 : 0;
        out += body.substr(0, sign);
        out.append(fill, u'0');
        out += body.substr(sign);
    } else {
        out.append(fill, u' ');
        out += body;
    }
}

void append_integer(std::u16string& out, uint64_t magnitude, bool negative, unsigned base,
                    bool upper, const Spec& spec) {
    const char16_t* digit_chars = upper ? u"0123456789ABCDEF" : u"0123456789abcdef";
    std::u16string digits;
    while (magnitude != 0) {
        digits += digit_chars[magnitude % base];
        magnitude /= base;
    }
    // As in C, the precision is a minimum digit count, and zero with precision 0 has none.
    const size_t min_digits = spec.precision.value_or(1);
    if (digits.size() < min_digits) digits.append(min_digits - digits.size(), u'0');
    if (negative) digits += u'-';
    std::reverse(digits.begin(), digits.end());
    append_padded(out, digits, spec, spec.zero && !spec.left && !spec.precision);
}

void append_char(std::u16string& out, int64_t code, const Spec& spec) {
    std::u16string body;
    if (code >= 0 && code <= 0xFFFF) {
        body += static_cast<char16_t>(code);
    } else if (code >= 0x10000 && code <= 0x10FFFF) {
        const auto v = static_cast<uint32_t>(code - 0x10000);
        body += static_cast<char16_t>(0xD800 + (v >> 10));
        body += static_cast<char16_t>(0xDC00 + (v & 0x3FF));
    } else {
        body += u'\uFFFD';
    }
    append_padded(out, body, spec, false);
}

}  // namespace

std::u16string format_message(std::u16string_view pattern, std::initializer_list<FormatArg> args) {
    std::u16string out;
    const FormatArg* next = args.begin();
    size_t i = 0;
    while (i < pattern.size()) {
        if (pattern[i] != u'%') {
            out += pattern[i++];
            continue;
        }
        const size_t start = i++;
        Spec spec;
        for (; i < pattern.size() && (pattern[i] == u'-' || pattern[i] == u'0'); ++i) {
            (pattern[i] == u'-' ? spec.left : spec.zero) = true;
        }
        spec.width = read_number(pattern, i);
        if (i < pattern.size() && pattern[i] == u'.') {
            ++i;
            spec.precision = read_number(pattern, i);
        }
        while (i < pattern.size() && (pattern[i] == u'l' || pattern[i] == u'h')) ++i;
        if (i >= pattern.size()) {
            out += pattern.substr(start);
            break;
        }
        const char16_t conversion = pattern[i++];
        if (conversion == u'%') {
            out += u'%';
            continue;
        }
        if (std::u16string_view(u"sdiuxXc").find(conversion) == std::u16string_view::npos) {
            out += pattern.substr(start, i - start);
            continue;
        }
        if (next == args.end()) continue;
        const FormatArg& arg = *next++;

        if (conversion == u's') {
            if (const auto* text = std::get_if<std::u16string_view>(&arg)) {
                append_padded(out, text->substr(0, spec.precision.value_or(text->size())), spec,
                              false);
            }
            continue;
        }
        const auto* number = std::get_if<int64_t>(&arg);
        if (number == nullptr) continue;
        const int64_t value = *number;
        const auto bits = static_cast<uint64_t>(value);
        switch (conversion) {
            case u'd':
            case u'i':
                append_integer(out, value < 0 ? 0 - bits : bits, value < 0, 10, false, spec);
                break;
            case u'u':
                append_integer(out, bits, false, 10, false, spec);
                break;
            case u'x':
                append_integer(out, bits, false, 16, false, spec);
                break;
            case u'X':
                append_integer(out, bits, false, 16, true, spec);
                break;
            default:
                append_char(out, value, spec);
                break;
        }
    }
    return out;
}

}  // namespace ks
