#pragma once
// The sample wallet shipped with the program, built through the document and forms code. Its
// clock and random source are fixed while it is built, so every build gives the same bytes.
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "platform/datetime.h"

namespace ks {

constexpr std::u16string_view kSamplePassword = u"keystash";
constexpr std::u16string_view kSampleHint = u"the program's name";
// The time every record of the sample is stamped with: Thursday 15 January 2026, 10:30.
constexpr DateTime kSampleTime{2026, 1, 4, 15, 10, 30, 0, 0};
constexpr uint64_t kSampleSeed = 2026;

// Creates the sample wallet at `path`, which must not exist yet. Form names and field labels
// come from the installed text source, which must be the English table: fields are found by
// their English labels. On failure the partly written file is removed and `error` (when given)
// says what went wrong.
bool write_sample_wallet(const std::filesystem::path& path, std::string* error);

}  // namespace ks
