#pragma once
// The setup library's text tables: its own texts in every language it speaks, and the language
// identifiers with their names and locales. Private to the library.
#include <cstdint>
#include <span>

#include "setup/setup.h"

namespace ks::setup {

struct LanguageInfo {
    uint16_t id;
    const char* locale;  // POSIX language_TERRITORY, "" when none maps to it
    const char* language;
    const char* country;
};

// Windows language identifiers with the names the system gives them. The first entry of a
// language is the one a bare POSIX language code ("de") maps to.
std::span<const LanguageInfo> language_table();

constexpr uint16_t primary_language(uint16_t id) {
    return static_cast<uint16_t>(id & 0x3ff);
}

}  // namespace ks::setup
