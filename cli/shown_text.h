#pragma once
// Wallet text on its way out: plain output shows every character that could act on a terminal
// or fake a line as an escape; JSON output is exact.
#include <optional>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

namespace ks::cli {

// The escape that stands for `c` in plain output: \n, \t and \r, \xHH for the other C0 controls
// and DEL, \uHHHH for C1 controls and the characters that reorder or separate lines (U+200E,
// U+200F, U+2028 to U+202E, U+2066 to U+2069). Nothing when `c` is shown as it is.
std::optional<std::u16string> escape_of(char16_t c);

// `text` as UTF-8 with every character escape_of names escaped. A backslash stays as it is.
std::string shown_text(std::u16string_view text);
// The same for a message of several lines: line ends (LF, CR LF) are kept.
std::string shown_lines(std::u16string_view text);

// A JSON document as the commands print it, indented by `indent` (-1: on one line); bytes that
// are not UTF-8 (a path's, say) become U+FFFD instead of stopping the program.
std::string json_text(const nlohmann::json& document, int indent = 2);

}  // namespace ks::cli
