#pragma once
// Conversions between the wallet's UTF-16 text and the byte encodings met at the edges.
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace ks {

// UTF-16 <-> UTF-8. Unpaired surrogates and invalid UTF-8 sequences become U+FFFD.
std::string to_utf8(std::u16string_view text);
std::u16string from_utf8(std::string_view text);
bool is_valid_utf8(std::string_view bytes);

// Windows code page 1252. Characters outside the code page become `replacement`.
std::u16string from_cp1252(std::string_view bytes);
std::string to_cp1252(std::u16string_view text, char replacement = '?');

// "ANSI" text: UTF-8 when the bytes are valid UTF-8, else Windows-1252.
std::u16string from_ansi(std::string_view bytes);

// UTF-16LE bytes <-> text. Decoding stops at the first zero unit or after `max_units`;
// a trailing odd byte is ignored.
std::u16string utf16le_decode(std::span<const uint8_t> bytes, size_t max_units = SIZE_MAX);
std::vector<uint8_t> utf16le_encode(std::u16string_view text);
// Writes `text` as UTF-16LE at the start of `out`, cut to fit; returns the units written.
size_t utf16le_write(std::u16string_view text, std::span<uint8_t> out);

// The text up to its first zero unit.
std::u16string_view until_nul(std::u16string_view text);

// Comparison and case mapping of ASCII letters only; other units compare as they are.
bool iequals_ascii(std::u16string_view a, std::u16string_view b);
// The first `units` units of `text`, one fewer when the cut would split a surrogate pair.
std::u16string_view cut_units(std::u16string_view text, size_t units);

std::u16string to_lower_ascii(std::u16string_view text);

// u"..." from a plain ASCII/UTF-8 literal, for tests and fixed texts.
inline std::u16string u16(std::string_view utf8) {
    return from_utf8(utf8);
}

}  // namespace ks

namespace ks {

// White space as the search and import treat it: ASCII controls 9-13 and space, and the
// Unicode space separators.
bool is_white_space(char16_t c);

// Lower-case mapping independent of the process locale: ASCII, Latin-1, Latin Extended-A,
// Greek and Cyrillic capitals. Other units are returned as they are.
char16_t to_lower(char16_t c);
std::u16string to_lower(std::u16string_view text);

}  // namespace ks

namespace ks {

// Makes a text usable as a file name: every \ / : * ? " < > |, every control character (C0,
// DEL, C1) and every character that reorders text or breaks lines (U+200E, U+200F, U+2028 to
// U+202E, U+2066 to U+2069) becomes "_".
void make_safe_file_name(std::u16string& text);

}  // namespace ks
