#pragma once
// The sample form file shipped with the program ("Form Sample.ksx"), written by our own form-file
// code with the sample's fixed clock and random source, so every build gives the same bytes.
#include <filesystem>
#include <string>

namespace ks {

// Writes the sample form file at `path`, replacing an earlier one only when the new file is whole.
// On failure `error` (when given) says what went wrong.
bool write_form_sample(const std::filesystem::path& path, std::string* error);

}  // namespace ks
