#pragma once
// File names made from wallet text: safe to create in a folder, and short enough for its file
// system.
#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

namespace ks {

constexpr size_t kDefaultNameLimit = 255;

// The longest name, in bytes, the file system of `folder` takes: its NAME_MAX, or 255 when it
// cannot tell.
size_t file_name_limit(const std::filesystem::path& folder);

// `stem` made safe (make_safe_file_name) followed by `suffix` (an extension, a date: the program's own
// text), at most `limit` bytes of UTF-8. Whole characters are dropped from the end of the stem
// until the name fits; a suffix that would leave no room is cut with it. A name that would be
// empty, "." or ".." is "_".
std::u16string fit_file_name(std::u16string_view stem, std::u16string_view suffix, size_t limit);

// `name` (an attachment's) as a file name of at most `limit` bytes after `prefix`: made safe, cut
// as fit_file_name cuts, its extension kept.
std::u16string fit_file_name_keeping_extension(std::u16string_view prefix, std::u16string_view name,
                                               size_t limit);

}  // namespace ks
