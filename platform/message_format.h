#pragma once
// printf-style formatting of UTF-16 message texts taken from the language tables.
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <variant>

namespace ks {

using FormatArg = std::variant<int64_t, std::u16string_view>;

// Supports %s (text), %d %i %u (integers), %x %X (hexadecimal), %c (one character), with
// flags '-' and '0', a width and a precision ("%02d", "%.28s", "%-10s"), 'l'/'h' size
// prefixes (ignored), and %%. Arguments are taken in order; a conversion whose argument is
// missing or of the other kind produces nothing, an unknown conversion is copied as it is.
std::u16string format_message(std::u16string_view pattern, std::initializer_list<FormatArg> args);

}  // namespace ks
