#pragma once
// The choice of the language module: the user's preferred language, else the language of the
// user's locale (or of the system's when the user has none), and finally English (0x409). The
// first whose string table exists in the data folder and reads without error is used.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/string_table.h"

namespace ks {

constexpr uint16_t kDefaultLanguageId = 0x0409;

// The Windows language identifier for a POSIX locale name ("de_DE.UTF-8", "pt_BR", "fr",
// "sr_RS@latin"); none for "C", "POSIX", empty or unknown names. A known language with an
// unknown territory gives the language's main identifier.
std::optional<uint16_t> language_id_from_locale(std::string_view locale_name);

// The language of the user's locale: the first of LC_ALL, LC_MESSAGES and LANG that is set and
// not empty decides.
std::optional<uint16_t> user_language_id();

// The language of the system's locale: LANG in the system's locale settings file
// (/etc/locale.conf, else /etc/default/locale), or in `settings_file` when given.
std::optional<uint16_t> system_language_id(const std::filesystem::path& settings_file = {});

// The languages to try, in order and without repeats: `preference` when non-zero, the user's
// language (else the system's), then kDefaultLanguageId.
std::vector<uint16_t> language_candidates(std::optional<uint16_t> preference,
                                          std::optional<uint16_t> user_language,
                                          std::optional<uint16_t> system_language);

struct LanguageModule {
    uint16_t language_id = 0;
    std::filesystem::path path;
    StringTable table;
};

struct LanguageChoice {
    std::optional<LanguageModule> module;  // none when no candidate could be loaded
    // One line per candidate module that exists but could not be read, naming file and line.
    std::vector<std::string> problems;
};

// Tries the candidates' modules in `data_dir` in order; the first that loads wins.
LanguageChoice choose_language_module(const std::vector<uint16_t>& candidates,
                                      const std::filesystem::path& data_dir);

// Chooses the module for `preference` (the stored "LangPref" value) from the locale, loads it
// from the program's data folder and makes it the process-wide text source for the rest of the
// run. The result tells which was loaded; without one, texts read "*".
LanguageChoice install_language_module(std::optional<uint16_t> preference);

// The language of the installed module; none when none is installed.
std::optional<uint16_t> installed_language_id();

}  // namespace ks
