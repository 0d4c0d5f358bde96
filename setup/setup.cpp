#include "setup/setup.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <map>

#include "platform/atomic_file.h"
#include "platform/message_format.h"
#include "platform/registry.h"
#include "platform/text.h"
#include "platform/user_dirs.h"
#include "setup/setup_texts.h"

namespace ks::setup {
namespace fs = std::filesystem;

namespace {

constexpr RegistryRoot kUser = RegistryRoot::CurrentUser;
constexpr size_t kMaxLanguageFiles = 32;
constexpr size_t kMaxIdText = 31;

std::string lower_ascii(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

bool ends_with_ignoring_case(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() &&
           lower_ascii(text.substr(text.size() - suffix.size())) == suffix;
}

int hex_digit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

fs::path to_path(std::u16string_view name) {
    return fs::path(to_utf8(name));
}

std::u16string path_text(const fs::path& path) {
    return from_utf8(path.string());
}

bool path_exists(const fs::path& path) {
    std::error_code ec;
    return fs::exists(fs::symlink_status(path, ec));
}

// A regular file itself, not a symbolic link to one: what the installer places.
bool is_plain_file(const fs::path& path) {
    std::error_code ec;
    return fs::is_regular_file(fs::symlink_status(path, ec));
}

// Renames `from` to `to` only when `to` does not exist, without a window in which another
// file of that name could be replaced.
bool rename_if_free(const fs::path& from, const fs::path& to) {
    return put_in_place(from, to, ReplaceMode::KeepExisting) == PlaceResult::Placed;
}

// A sample placed under its installed name gets its name in the chosen language: renamed when
// that name is free, deleted when a file of that name is already there (the user's copy). A
// symbolic link under the installed name is not a placed sample and is left alone.
void localise_sample(const fs::path& folder, std::string_view installed, std::u16string name) {
    make_safe_file_name(name);
    if (name.empty()) return;
    const fs::path from = folder / installed;
    const fs::path to = folder / to_path(name);
    if (from == to || !is_plain_file(from)) return;
    if (rename_if_free(from, to)) return;
    if (path_exists(to)) {
        std::error_code ec;
        fs::remove(from, ec);
    }
}

PromptAnswer ask(Prompt& prompt, std::u16string text, std::u16string caption, PromptButtons buttons,
                 PromptIcon icon) {
    return prompt.ask(PromptMessage{std::move(text), std::move(caption), buttons, icon});
}

}  // namespace

// ---- Languages -----------------------------------------------------------------------------

uint16_t language_from_locale(std::string_view locale) {
    // "de_DE.UTF-8@euro" -> "de_DE"
    locale = locale.substr(0, locale.find_first_of(".@"));
    const size_t underscore = locale.find('_');
    const std::string language = lower_ascii(locale.substr(0, underscore));
    if (language.empty() || language == "c" || language == "posix") return kEnglishUs;
    const std::string wanted = underscore == std::string_view::npos
                                   ? std::string()
                                   : language + "_" + std::string(locale.substr(underscore + 1));
    const LanguageInfo* first_of_language = nullptr;
    for (const LanguageInfo& info : language_table()) {
        const std::string_view tag = info.locale;
        if (!wanted.empty() && lower_ascii(tag) == lower_ascii(wanted)) return info.id;
        if (!first_of_language && tag.size() > language.size() && tag[language.size()] == '_' &&
            tag.substr(0, language.size()) == language) {
            first_of_language = &info;
        }
    }
    return first_of_language ? first_of_language->id : kEnglishUs;
}

uint16_t user_interface_language() {
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(name);
        if (value && *value) return language_from_locale(value);
    }
    return kEnglishUs;
}

std::optional<uint16_t> language_of_file_name(std::string_view name) {
    if (!ends_with_ignoring_case(name, ".mui")) return std::nullopt;
    const size_t at = lower_ascii(name).find(".exe.");
    if (at == std::string::npos) return std::nullopt;
    const std::string_view rest = name.substr(at + 5, kMaxIdText);
    uint32_t id = 0;
    size_t digits = 0;
    for (char c : rest) {
        const int d = hex_digit(c);
        if (d < 0) break;
        id = id * 16 + static_cast<uint32_t>(d);
        if (id > 0xffff) return std::nullopt;
        ++digits;
    }
    if (digits == 0 || id == 0) return std::nullopt;
    return static_cast<uint16_t>(id);
}

std::vector<LanguageFile> find_language_files(const fs::path& folder) {
    std::vector<LanguageFile> files;
    std::error_code ec;
    fs::directory_iterator it(folder, ec);
    if (ec) return files;
    for (const fs::directory_entry& entry : it) {
        const std::string name = entry.path().filename().string();
        // Only our own tables: other programs' tables in the folder, and links, are not ours
        // to offer or to delete.
        if (!name.starts_with(kLanguageFilePrefix) || !is_plain_file(entry.path())) continue;
        if (const auto id = language_of_file_name(name)) files.push_back({*id, entry.path()});
    }
    std::sort(files.begin(), files.end(),
              [](const LanguageFile& a, const LanguageFile& b) { return a.path < b.path; });
    if (files.size() > kMaxLanguageFiles) files.resize(kMaxLanguageFiles);
    return files;
}

LanguageChoice language_choice(const std::vector<LanguageFile>& files, uint16_t ui_language) {
    LanguageChoice choice;
    for (const LanguageFile& file : files) {
        LanguageEntry entry;
        entry.language_id = file.language_id;
        const std::optional<LanguageNames> names = language_names(file.language_id);
        if (!names) {
            // Unknown to the table: the identifier itself is the best name there is.
            entry.text = format_message(u"%04x", {int64_t{file.language_id}});
        } else if (names->language.find(names->country) != std::u16string::npos &&
                   names->language.find(u'(') != std::u16string::npos) {
            entry.text = names->language;
        } else {
            entry.text = format_message(u"%s (%s)", {names->language, names->country});
        }
        choice.entries.push_back(std::move(entry));
    }
    const auto find = [&](auto&& matches) -> std::optional<size_t> {
        for (size_t i = 0; i < choice.entries.size(); ++i) {
            if (matches(choice.entries[i].language_id)) return i;
        }
        return std::nullopt;
    };
    choice.preselected = find([&](uint16_t id) { return id == ui_language; });
    if (!choice.preselected) {
        choice.preselected = find(
            [&](uint16_t id) { return primary_language(id) == primary_language(ui_language); });
    }
    if (!choice.preselected) choice.preselected = find([](uint16_t id) { return id == 1033; });
    if (!choice.preselected && !choice.entries.empty()) choice.preselected = 0;
    return choice;
}

// ---- The program ---------------------------------------------------------------------------

bool program_running(const fs::path& runtime_dir) { return ks::program_running(runtime_dir); }

bool request_program_close(const fs::path& runtime_dir) {
    return send_instance_request(runtime_dir, InstanceRequest::Close);
}

// ---- The hooks -----------------------------------------------------------------------------

SetupHooks::SetupHooks(SetupEnvironment environment, Prompt& prompt)
    : env_(std::move(environment)), prompt_(prompt) {}

uint16_t SetupHooks::text_language() const {
    return chosen_.value_or(env_.ui_language);
}

InitResult SetupHooks::install_init(const fs::path& /*install_dir*/) {
    if (env_.os_major != 5 || env_.os_minor < 1) return InitResult::Cancel;

    Registry registry;
    if (registry.load(env_.config_folder) && registry.create_key(kUser, kSettingsKey)) {
        registry.save();
    }

    const std::u16string welcome =
        format_message(text(kTextWelcome), {product_title(), version_line(), int64_t{2006}});
    const PromptAnswer answer =
        ask(prompt_, welcome, text(kTextMaker), PromptButtons::OkCancel, PromptIcon::Information);
    return answer == PromptAnswer::Ok ? InitResult::Continue : InitResult::Cancel;
}

uint16_t SetupHooks::run_language_dialog(const std::vector<LanguageFile>& files) {
    const LanguageChoice choice = language_choice(files, env_.ui_language);
    if (choice.entries.size() < 2 || !choice.preselected) {
        return choice.preselected ? choice.entries[*choice.preselected].language_id
                                  : static_cast<uint16_t>(1033);
    }
    const bool keypad = env_.platform_type == kSmartphonePlatform;
    std::u16string heading = text(kTextMaker);
    heading += keypad ? u"\n" : u" ";
    heading += product_title();
    heading += u"\n";
    heading += text(kTextTagline);

    std::u16string list = text(kTextInstalledLanguages);
    for (const LanguageEntry& entry : choice.entries) list += u"\n" + entry.text;

    // The list is offered one entry at a time, starting with the preselected one; the first
    // entry answered Yes is chosen. When every entry is declined the preselection stands, as
    // closing the dialog would leave it.
    const size_t count = choice.entries.size();
    for (size_t step = 0; step < count; ++step) {
        const LanguageEntry& entry = choice.entries[(*choice.preselected + step) % count];
        const std::u16string message =
            heading + u"\n\n" + list + u"\n\n" + text(kTextSelectLanguage) + u"\n" + entry.text;
        if (ask(prompt_, message, text(kTextMaker), PromptButtons::YesNo, PromptIcon::Question) ==
            PromptAnswer::Yes) {
            return entry.language_id;
        }
    }
    return choice.entries[*choice.preselected].language_id;
}

void SetupHooks::place_samples() {
    if (env_.documents.empty()) return;
    const fs::path folder = env_.documents / kSamplesFolder;
    const std::u16string wallet = text(kTextMySampleWallet);
    localise_sample(folder, "Sample Wallet.ks5", wallet);

    // A wallet under the English name from an earlier installation may hold the user's own
    // entries and be the last-used wallet: it is renamed when the name is free, never deleted.
    constexpr std::u16string_view kMyWallet = u"My Sample Wallet.ks5";
    if (to_lower(wallet) != to_lower(kMyWallet)) {
        std::u16string name = wallet;
        make_safe_file_name(name);
        rename_if_free(folder / to_path(kMyWallet), folder / to_path(name));
    }

    localise_sample(folder, "Import Sample.txt", text(kTextImportSample));
    localise_sample(folder, "Form Sample.ksx", text(kTextFormSample));
}

void SetupHooks::place_program(const fs::path& install_dir) {
    const fs::path keypad = install_dir / kKeypadProgramFile;
    std::error_code ec;
    if (env_.platform_type == kSmartphonePlatform) {
        // The keypad edition takes the program's place in one step, so that a failure leaves
        // the folder with a program in it.
        if (path_exists(keypad)) fs::rename(keypad, install_dir / kProgramFile, ec);
        return;
    }
    fs::remove(keypad, ec);
}

int SetupHooks::install_exit(const fs::path& install_dir) {
    Registry registry;
    const bool registry_usable = registry.load(env_.config_folder);
    if (registry_usable) {
        registry.create_key(kUser, kSettingsKey);
        registry.delete_value(kUser, kSettingsKey, kLanguageValue);
    }

    const std::vector<LanguageFile> files = find_language_files(install_dir);
    if (!files.empty()) {
        const uint16_t chosen = run_language_dialog(files);
        chosen_ = chosen;
        for (const LanguageFile& file : files) {
            std::error_code ec;
            if (file.language_id != chosen) fs::remove(file.path, ec);
        }
        if (registry_usable) registry.set_dword(kUser, kSettingsKey, kLanguageValue, chosen);
    }

    if (registry_usable && !env_.documents.empty()) {
        const std::optional<std::u16string> mru =
            registry.get_string(kUser, kSettingsKey, kMruValue);
        if (!mru || mru->size() < 5) {
            std::u16string name = text(kTextMySampleWallet);
            make_safe_file_name(name);
            registry.set_string(kUser, kSettingsKey, kMruValue,
                                path_text(env_.documents / kSamplesFolder / to_path(name)));
        }
    }
    if (registry_usable) registry.save();

    place_samples();
    place_program(install_dir);
    return 0;
}

int SetupHooks::uninstall_init(const fs::path& /*install_dir*/) {
    if (program_running(env_.runtime_dir)) {
        if (env_.close_program) {
            env_.close_program();
        } else {
            request_program_close(env_.runtime_dir);
        }
    }
    return 0;
}

int SetupHooks::uninstall_exit() {
    const std::u16string product = text(kTextProduct);
    const std::u16string question =
        format_message(text(kTextRemoveSettings), {product, version_line(), product});
    if (ask(prompt_, question, text(kTextMaker), PromptButtons::YesNo, PromptIcon::Question) ==
        PromptAnswer::Yes) {
        Registry registry;
        if (registry.load(env_.config_folder)) {
            registry.delete_key(kUser, kSettingsKey);
            if (registry.key_exists(kUser, kMakerKey) &&
                registry.subkeys(kUser, kMakerKey).empty()) {
                registry.delete_key(kUser, kMakerKey);
            }
            registry.save();
        }
    }
    ask(prompt_, format_message(text(kTextRemoved), {product}), text(kTextMaker), PromptButtons::Ok,
        PromptIcon::Information);
    return 0;
}

SetupEnvironment process_environment() {
    SetupEnvironment env;
    env.ui_language = user_interface_language();
    env.documents = documents_directory();
    env.config_folder = Registry::configuration_folder();
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && *runtime) {
        env.runtime_dir = runtime;
    }
    return env;
}

}  // namespace ks::setup
