#pragma once
// The sample card list for the text import: a tab-separated file as a spreadsheet saves it,
// shipped so that the user can see the layout the import expects.
#include <filesystem>
#include <string>
#include <string_view>

namespace ks {

constexpr std::string_view kImportSampleFileName = "Import Sample.txt";

// Writes the sample to `path` (normally a folder / kImportSampleFileName), replacing a file of
// that name. The bytes are the same on every build: UTF-16LE with a byte-order mark and CR LF
// line ends, a header row and a handful of fictitious cards. The file is written beside its
// final name and renamed into place, so a failure leaves any earlier file as it was; `error`
// (when given) then says what went wrong.
bool write_import_sample(const std::filesystem::path& path, std::string* error);

}  // namespace ks
