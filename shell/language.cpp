#include "shell/language.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <mutex>

namespace ks {

namespace {

struct LocaleLanguage {
    std::string_view name;  // "ll" for the language's main identifier, "ll_TT" for a territory
    uint16_t id;
};

// Language identifiers of the common languages and territories.
constexpr std::array<LocaleLanguage, 112> kLocaleLanguages{{
    {"ar", 0x0401},    {"ar_SA", 0x0401}, {"ar_IQ", 0x0801}, {"ar_EG", 0x0c01}, {"ar_MA", 0x1801},
    {"ar_AE", 0x3801}, {"bg", 0x0402},    {"bg_BG", 0x0402}, {"ca", 0x0403},    {"ca_ES", 0x0403},
    {"zh", 0x0804},    {"zh_TW", 0x0404}, {"zh_CN", 0x0804}, {"zh_HK", 0x0c04}, {"zh_SG", 0x1004},
    {"zh_MO", 0x1404}, {"cs", 0x0405},    {"cs_CZ", 0x0405}, {"da", 0x0406},    {"da_DK", 0x0406},
    {"de", 0x0407},    {"de_DE", 0x0407}, {"de_CH", 0x0807}, {"de_AT", 0x0c07}, {"de_LU", 0x1007},
    {"de_LI", 0x1407}, {"el", 0x0408},    {"el_GR", 0x0408}, {"en", 0x0409},    {"en_US", 0x0409},
    {"en_GB", 0x0809}, {"en_AU", 0x0c09}, {"en_CA", 0x1009}, {"en_NZ", 0x1409}, {"en_IE", 0x1809},
    {"en_ZA", 0x1c09}, {"en_IN", 0x4009}, {"en_SG", 0x4809}, {"es", 0x0c0a},    {"es_ES", 0x0c0a},
    {"es_MX", 0x080a}, {"es_US", 0x540a}, {"es_AR", 0x2c0a}, {"es_CO", 0x240a}, {"es_CL", 0x340a},
    {"es_PE", 0x280a}, {"es_VE", 0x200a}, {"fi", 0x040b},    {"fi_FI", 0x040b}, {"fr", 0x040c},
    {"fr_FR", 0x040c}, {"fr_BE", 0x080c}, {"fr_CA", 0x0c0c}, {"fr_CH", 0x100c}, {"fr_LU", 0x140c},
    {"he", 0x040d},    {"he_IL", 0x040d}, {"hu", 0x040e},    {"hu_HU", 0x040e}, {"is", 0x040f},
    {"is_IS", 0x040f}, {"it", 0x0410},    {"it_IT", 0x0410}, {"it_CH", 0x0810}, {"ja", 0x0411},
    {"ja_JP", 0x0411}, {"ko", 0x0412},    {"ko_KR", 0x0412}, {"nl", 0x0413},    {"nl_NL", 0x0413},
    {"nl_BE", 0x0813}, {"nb", 0x0414},    {"nb_NO", 0x0414}, {"no", 0x0414},    {"no_NO", 0x0414},
    {"nn", 0x0814},    {"nn_NO", 0x0814}, {"pl", 0x0415},    {"pl_PL", 0x0415}, {"pt", 0x0816},
    {"pt_BR", 0x0416}, {"pt_PT", 0x0816}, {"ro", 0x0418},    {"ro_RO", 0x0418}, {"ru", 0x0419},
    {"ru_RU", 0x0419}, {"hr", 0x041a},    {"hr_HR", 0x041a}, {"sk", 0x041b},    {"sk_SK", 0x041b},
    {"sv", 0x041d},    {"sv_SE", 0x041d}, {"sv_FI", 0x081d}, {"th", 0x041e},    {"th_TH", 0x041e},
    {"tr", 0x041f},    {"tr_TR", 0x041f}, {"id", 0x0421},    {"id_ID", 0x0421}, {"uk", 0x0422},
    {"uk_UA", 0x0422}, {"sl", 0x0424},    {"sl_SI", 0x0424}, {"et", 0x0425},    {"et_EE", 0x0425},
    {"lv", 0x0426},    {"lv_LV", 0x0426}, {"lt", 0x0427},    {"lt_LT", 0x0427}, {"vi", 0x042a},
    {"vi_VN", 0x042a}, {"sr", 0x281a},
}};

// Serbian names its script through the modifier.
constexpr uint16_t kSerbianLatin = 0x241a;

std::optional<uint16_t> find_language(std::string_view name) {
    for (const LocaleLanguage& entry : kLocaleLanguages) {
        if (entry.name == name) return entry.id;
    }
    return std::nullopt;
}

std::string ascii_lower(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

std::string ascii_upper(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

// LANG from a shell-style settings file ("LANG=de_DE.UTF-8", optionally quoted).
std::optional<std::string> lang_from_settings(const std::filesystem::path& file) {
    std::ifstream in(file);
    if (!in) return std::nullopt;
    std::string line;
    std::optional<std::string> lang;
    while (std::getline(in, line)) {
        std::string_view v = line;
        while (!v.empty() && (v.front() == ' ' || v.front() == '\t')) v.remove_prefix(1);
        if (v.starts_with("export ")) v.remove_prefix(7);
        if (!v.starts_with("LANG=")) continue;
        v.remove_prefix(5);
        while (!v.empty() && (v.back() == ' ' || v.back() == '\t' || v.back() == '\r')) {
            v.remove_suffix(1);
        }
        if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front()) {
            v = v.substr(1, v.size() - 2);
        }
        lang = std::string(v);  // the last assignment counts, as in a shell
    }
    return lang;
}

std::string describe_problem(const std::filesystem::path& path, const StringTableError& error) {
    std::string text = path.string();
    if (error.line > 0) text += ":" + std::to_string(error.line);
    text += ": " + error.message;
    return text;
}

struct InstalledModule {
    std::mutex mutex;
    std::unique_ptr<StringTable> table;
    std::optional<uint16_t> language_id;
};

InstalledModule& installed() {
    static InstalledModule module;
    return module;
}

}  // namespace

std::optional<uint16_t> language_id_from_locale(std::string_view locale_name) {
    std::string_view name = locale_name;
    std::string_view modifier;
    if (const size_t at = name.find('@'); at != std::string_view::npos) {
        modifier = name.substr(at + 1);
        name = name.substr(0, at);
    }
    if (const size_t dot = name.find('.'); dot != std::string_view::npos) {
        name = name.substr(0, dot);
    }
    const size_t underscore = name.find('_');
    const std::string language = ascii_lower(name.substr(0, underscore));
    if (language.size() < 2 || language.size() > 3 ||
        !std::all_of(language.begin(), language.end(),
                     [](char c) { return c >= 'a' && c <= 'z'; })) {
        return std::nullopt;  // "C", "POSIX", empty and malformed names
    }
    if (language == "sr" && ascii_lower(modifier) == "latin") return kSerbianLatin;
    if (underscore != std::string_view::npos) {
        const std::string full = language + "_" + ascii_upper(name.substr(underscore + 1));
        if (auto id = find_language(full)) return id;
    }
    return find_language(language);
}

std::optional<uint16_t> user_language_id() {
    for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(variable);
        if (value != nullptr && *value != '\0') return language_id_from_locale(value);
    }
    return std::nullopt;
}

std::optional<uint16_t> system_language_id(const std::filesystem::path& settings_file) {
    const std::vector<std::filesystem::path> files =
        settings_file.empty()
            ? std::vector<std::filesystem::path>{"/etc/locale.conf", "/etc/default/locale"}
            : std::vector<std::filesystem::path>{settings_file};
    for (const auto& file : files) {
        if (auto lang = lang_from_settings(file)) return language_id_from_locale(*lang);
    }
    return std::nullopt;
}

std::vector<uint16_t> language_candidates(std::optional<uint16_t> preference,
                                          std::optional<uint16_t> user_language,
                                          std::optional<uint16_t> system_language) {
    std::vector<uint16_t> candidates;
    auto add = [&candidates](uint16_t id) {
        if (id != 0 && std::find(candidates.begin(), candidates.end(), id) == candidates.end()) {
            candidates.push_back(id);
        }
    };
    if (preference) add(*preference);
    if (user_language) {
        add(*user_language);
    } else if (system_language) {
        add(*system_language);
    }
    add(kDefaultLanguageId);
    return candidates;
}

LanguageChoice choose_language_module(const std::vector<uint16_t>& candidates,
                                      const std::filesystem::path& data_dir) {
    LanguageChoice choice;
    for (const uint16_t id : candidates) {
        const std::filesystem::path path = data_dir / language_module_name(id);
        std::error_code ec;
        if (!std::filesystem::is_regular_file(path, ec)) continue;
        StringTableParse parse = load_string_table(path);
        if (!parse.table) {
            choice.problems.push_back(describe_problem(
                path, parse.error.value_or(StringTableError{0, "the file could not be read"})));
            continue;
        }
        choice.module = LanguageModule{id, path, std::move(*parse.table)};
        break;
    }
    return choice;
}

LanguageChoice install_language_module(std::optional<uint16_t> preference) {
    const std::optional<uint16_t> user = user_language_id();
    const std::optional<uint16_t> system = user ? std::nullopt : system_language_id();
    LanguageChoice choice =
        choose_language_module(language_candidates(preference, user, system), data_directory());

    InstalledModule& slot = installed();
    std::lock_guard lock(slot.mutex);
    std::unique_ptr<StringTable> table;
    if (choice.module) table = std::make_unique<StringTable>(choice.module->table);
    // The new source is in place before the old table goes.
    set_text_source(table.get());
    slot.table = std::move(table);
    slot.language_id =
        choice.module ? std::optional<uint16_t>(choice.module->language_id) : std::nullopt;
    return choice;
}

std::optional<uint16_t> installed_language_id() {
    InstalledModule& slot = installed();
    std::lock_guard lock(slot.mutex);
    return slot.language_id;
}

}  // namespace ks
