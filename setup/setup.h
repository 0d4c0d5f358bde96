#pragma once
// The setup library: what the installer hooks do when the product is put on or taken off a
// device. The hooks choose the interface language and remove the other language tables, give
// the sample files their names in that language, preset the recently-used wallet, put the
// right program file in place for the platform, and on removal offer to delete the settings.
//
// The shared library (libkeystash-setup.so) exports the hooks with C linkage:
//
//   int Install_Init(void* parent, int first_call, int previously_installed,
//                    const char* install_dir);            0 continue, 1 cancel the installation
//   int Install_Exit(void* parent, const char* install_dir, uint16_t failed_dirs,
//                    uint16_t failed_files, uint16_t failed_reg_keys,
//                    uint16_t failed_reg_values, uint16_t failed_shortcuts);
//                                               0 done, 1 failed: undo the installation
//   int Uninstall_Init(void* parent, const char* install_dir);   0 continue, 1 cancel the removal
//   int Uninstall_Exit(void* parent);                            0 done, 1 failed
//   int Keystash_SetHost(const KeystashSetupHost* host);       0 taken, -1 refused (see below)
//
// The failure codes are given only when the hook stops on an unexpected error (an exception,
// such as one thrown by the host's callback); failures of single files and settings are
// ignored as before.
//
// Paths are UTF-8; `parent` is an opaque window handle of the host and is not used. Before the
// hooks run, the host registers itself with Keystash_SetHost: the platform type ("PocketPC" or
// "SmartPhone"), the system version, and a callback that puts a question to the user. Without
// a registered host every question is answered No / Cancel and the system version is 0.0, so
// that Install_Init cancels. The callback receives UTF-8 text and caption, one of the
// KS_SETUP_BUTTONS_* values and one of the KS_SETUP_ICON_* values, and returns one of the
// KS_SETUP_ANSWER_* values.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/instance.h"
#include "platform/product.h"
#include "platform/prompt.h"

extern "C" {

enum {
    KS_SETUP_BUTTONS_OK = 0,
    KS_SETUP_BUTTONS_OK_CANCEL = 1,
    KS_SETUP_BUTTONS_YES_NO = 2,
};
enum {
    KS_SETUP_ICON_NONE = 0,
    KS_SETUP_ICON_INFORMATION = 1,
    KS_SETUP_ICON_QUESTION = 2,
    KS_SETUP_ICON_WARNING = 3,
    KS_SETUP_ICON_ERROR = 4,
};
enum {
    KS_SETUP_ANSWER_OK = 1,
    KS_SETUP_ANSWER_CANCEL = 2,
    KS_SETUP_ANSWER_YES = 6,
    KS_SETUP_ANSWER_NO = 7,
};

typedef int (*KeystashSetupAsk)(void* context, const char* text, const char* caption, int buttons,
                                int icon);

// The host's description of the device. `size` is sizeof(KeystashSetupHost) as the host was
// compiled; a smaller size is refused. The strings are copied; `context` is passed to `ask`.
struct KeystashSetupHost {
    uint32_t size;
    const char* platform_type;  // "PocketPC" or "SmartPhone"
    uint32_t os_major;
    uint32_t os_minor;
    KeystashSetupAsk ask;
    void* context;
};

typedef int (*KeystashSetHostFn)(const KeystashSetupHost*);
typedef int (*KeystashInstallInitFn)(void*, int, int, const char*);
typedef int (*KeystashInstallExitFn)(void*, const char*, uint16_t, uint16_t, uint16_t, uint16_t,
                                     uint16_t);
typedef int (*KeystashUninstallInitFn)(void*, const char*);
typedef int (*KeystashUninstallExitFn)(void*);

}  // extern "C"

namespace ks::setup {

// Values of the programs' settings key (kSettingsKey) that setup reads and writes.
inline constexpr std::u16string_view kLanguageValue = u"LangPref";
inline constexpr std::u16string_view kMruValue = u"MRU";

// How the running program is found: its single-instance lock file in $XDG_RUNTIME_DIR and the
// local socket named after its main window class.
using ks::kInstanceLockName;
using ks::kMainWindowClass;

inline constexpr std::string_view kSamplesFolder = "Keystash Samples";
inline constexpr std::string_view kLanguageFilePrefix = "keystash.exe.";
inline constexpr std::string_view kProgramFile = "keystash";
inline constexpr std::string_view kKeypadProgramFile = "keystash-sp";
inline constexpr std::u16string_view kSmartphonePlatform = u"SmartPhone";

inline constexpr uint16_t kEnglishUs = 0x409;

// Text ids of the library's own table. Ids 199 and above depend on the language.
enum TextId : uint32_t {
    kTextMaker = 101,
    kTextTagline = 102,
    kTextProduct = 104,
    kTextWelcome = 224,
    kTextRemoveSettings = 225,
    kTextRemoved = 226,
    kTextMySampleWallet = 227,
    kTextFormSample = 228,
    kTextImportSample = 229,
    kTextInstalledLanguages = 230,
    kTextSelectLanguage = 231,
};

enum class InitResult : int { Continue = 0, Cancel = 1 };

// ---- Texts ---------------------------------------------------------------------------------

// The start of a language's block in the table, from its primary language (low 10 bits).
uint32_t language_base(uint16_t language_id);

// Text `id` for `language_id` from the compiled-in table: ids of 199 and more at
// id + base - 224, falling back to the English text; empty when the table has neither.
std::u16string setup_text(uint32_t id, uint16_t language_id);

// "Keystash® Pro 2006" and "Version 6.11".
std::u16string product_title();
std::u16string version_line();

// ---- Languages -----------------------------------------------------------------------------

struct LanguageNames {
    std::u16string language;  // as the system names it, e.g. "German (Germany)"
    std::u16string country;   // e.g. "Germany"
};

// The names of a Windows language identifier from our own table; nothing for unknown ids.
std::optional<LanguageNames> language_names(uint16_t language_id);

// The identifier for a POSIX locale name ("de_DE.UTF-8", "fr", "C"); 0x409 when unknown.
uint16_t language_from_locale(std::string_view locale);

// The user's interface language from LC_ALL, LC_MESSAGES and LANG, in that order.
uint16_t user_interface_language();

struct LanguageFile {
    uint16_t language_id = 0;
    std::filesystem::path path;
};

// The language tables in `folder`: regular files (not links) named "keystash.exe.", the
// hexadecimal language id and ".mui". At most 32, in name order. Names without a valid id, and
// other programs' tables, are skipped.
std::vector<LanguageFile> find_language_files(const std::filesystem::path& folder);

// The language id a file name carries, or nothing.
std::optional<uint16_t> language_of_file_name(std::string_view name);

struct LanguageEntry {
    std::u16string text;  // "German (Germany)" or "Hebrew (Israel)"
    uint16_t language_id = 0;
};

// The language dialog's list: one entry per file, and the entry selected at first.
struct LanguageChoice {
    std::vector<LanguageEntry> entries;
    std::optional<size_t> preselected;
};
LanguageChoice language_choice(const std::vector<LanguageFile>& files, uint16_t ui_language);

// ---- The program ---------------------------------------------------------------------------

// Whether a program holds the single-instance lock in `runtime_dir`.
bool program_running(const std::filesystem::path& runtime_dir);

// Asks the running program to close through its local socket in `runtime_dir`; false when no
// program listens there.
bool request_program_close(const std::filesystem::path& runtime_dir);

// ---- The hooks -----------------------------------------------------------------------------

struct SetupEnvironment {
    std::u16string platform_type = u"PocketPC";
    uint32_t os_major = 0;
    uint32_t os_minor = 0;
    uint16_t ui_language = kEnglishUs;
    std::filesystem::path documents;      // the user's documents folder
    std::filesystem::path config_folder;  // holds registry.reg
    std::filesystem::path runtime_dir;    // holds the program's single-instance lock
    // Asks a running program to close; request_program_close(runtime_dir) when empty.
    std::function<void()> close_program;
};

// The state of one loaded library: the environment and the language chosen at installation.
class SetupHooks {
  public:
    SetupHooks(SetupEnvironment environment, Prompt& prompt);

    InitResult install_init(const std::filesystem::path& install_dir);
    int install_exit(const std::filesystem::path& install_dir);
    int uninstall_init(const std::filesystem::path& install_dir);
    int uninstall_exit();

    // The host may change the platform and system version between the hooks.
    SetupEnvironment& environment() { return env_; }

    // The language chosen in the language dialog, when it ran.
    std::optional<uint16_t> chosen_language() const { return chosen_; }
    // The language the texts are taken in: the chosen one, else the interface language.
    uint16_t text_language() const;
    std::u16string text(uint32_t id) const { return setup_text(id, text_language()); }

  private:
    uint16_t run_language_dialog(const std::vector<LanguageFile>& files);
    void place_samples();
    void place_program(const std::filesystem::path& install_dir);

    SetupEnvironment env_;
    Prompt& prompt_;
    std::optional<uint16_t> chosen_;
};

// The environment of this process: HOME's documents folder, the registry's configuration
// folder, $XDG_RUNTIME_DIR and the interface language from the locale variables.
SetupEnvironment process_environment();

}  // namespace ks::setup
