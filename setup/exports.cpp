// The entry points of libkeystash-setup.so. The hooks keep their state (the host's answers and
// the language chosen at installation) for as long as the library stays loaded; no exception
// leaves the library, and one that reaches an entry point gives that entry point's failure code.
#include <optional>
#include <string>

#include "platform/text.h"
#include "setup/setup.h"

#define KS_SETUP_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

using ks::PromptAnswer;
using ks::PromptButtons;
using ks::PromptIcon;

// Puts the hooks' questions to the host's callback; without one every question is declined.
class HostPrompt final : public ks::Prompt {
  public:
    void set(KeystashSetupAsk ask, void* context) {
        ask_ = ask;
        context_ = context;
    }

    PromptAnswer ask(const ks::PromptMessage& message) override {
        const int buttons = button_code(message.buttons);
        const PromptAnswer declined = buttons == KS_SETUP_BUTTONS_YES_NO      ? PromptAnswer::No
                                      : buttons == KS_SETUP_BUTTONS_OK_CANCEL ? PromptAnswer::Cancel
                                                                              : PromptAnswer::Ok;
        if (!ask_) return declined;
        const std::string text = ks::to_utf8(message.text);
        const std::string caption = ks::to_utf8(message.caption);
        switch (ask_(context_, text.c_str(), caption.c_str(), buttons, icon_code(message.icon))) {
            case KS_SETUP_ANSWER_OK:
                return buttons == KS_SETUP_BUTTONS_YES_NO ? declined : PromptAnswer::Ok;
            case KS_SETUP_ANSWER_YES:
                return buttons == KS_SETUP_BUTTONS_YES_NO ? PromptAnswer::Yes : declined;
            default:
                return declined;
        }
    }

  private:
    static int button_code(PromptButtons buttons) {
        switch (buttons) {
            case PromptButtons::Ok:
                return KS_SETUP_BUTTONS_OK;
            case PromptButtons::OkCancel:
            case PromptButtons::RetryCancel:
                return KS_SETUP_BUTTONS_OK_CANCEL;
            case PromptButtons::YesNo:
            case PromptButtons::YesNoCancel:
                return KS_SETUP_BUTTONS_YES_NO;
        }
        return KS_SETUP_BUTTONS_OK;
    }
    static int icon_code(PromptIcon icon) {
        switch (icon) {
            case PromptIcon::Information:
                return KS_SETUP_ICON_INFORMATION;
            case PromptIcon::Question:
                return KS_SETUP_ICON_QUESTION;
            case PromptIcon::Exclamation:
                return KS_SETUP_ICON_WARNING;
            case PromptIcon::Error:
            case PromptIcon::Stop:
                return KS_SETUP_ICON_ERROR;
            case PromptIcon::None:
                break;
        }
        return KS_SETUP_ICON_NONE;
    }

    KeystashSetupAsk ask_ = nullptr;
    void* context_ = nullptr;
};

struct LibraryState {
    HostPrompt prompt;
    std::optional<ks::setup::SetupHooks> setup;

    ks::setup::SetupHooks& hooks() {
        if (!setup) setup.emplace(ks::setup::process_environment(), prompt);
        return *setup;
    }
};

LibraryState& state() {
    static LibraryState library;
    return library;
}

std::filesystem::path folder(const char* path) {
    return path ? std::filesystem::path(path) : std::filesystem::path();
}

// The guard of every entry point: no exception leaves the library, and one that reaches here
// gives the entry point's failure code rather than a result that reads as success.
template <typename Body>
int guarded(int failure, Body&& body) noexcept {
    try {
        return body();
    } catch (...) {
        return failure;
    }
}

constexpr int kSetHostRefused = -1;
constexpr int kInstallInitCancel = static_cast<int>(ks::setup::InitResult::Cancel);
constexpr int kInstallExitFailed = 1;
constexpr int kUninstallInitCancel = 1;
constexpr int kUninstallExitFailed = 1;

}  // namespace

KS_SETUP_EXPORT int Keystash_SetHost(const KeystashSetupHost* host) {
    if (!host || host->size < sizeof(KeystashSetupHost)) return kSetHostRefused;
    return guarded(kSetHostRefused, [&] {
        LibraryState& library = state();
        ks::setup::SetupEnvironment& env = library.hooks().environment();
        env.platform_type = ks::from_utf8(host->platform_type ? host->platform_type : "PocketPC");
        env.os_major = host->os_major;
        env.os_minor = host->os_minor;
        library.prompt.set(host->ask, host->context);
        return 0;
    });
}

KS_SETUP_EXPORT int Install_Init(void* /*parent*/, int /*first_call*/, int /*previously_installed*/,
                                 const char* install_dir) {
    return guarded(kInstallInitCancel, [&] {
        return static_cast<int>(state().hooks().install_init(folder(install_dir)));
    });
}

KS_SETUP_EXPORT int Install_Exit(void* /*parent*/, const char* install_dir,
                                 uint16_t /*failed_dirs*/, uint16_t /*failed_files*/,
                                 uint16_t /*failed_reg_keys*/, uint16_t /*failed_reg_values*/,
                                 uint16_t /*failed_shortcuts*/) {
    return guarded(kInstallExitFailed,
                   [&] { return state().hooks().install_exit(folder(install_dir)); });
}

KS_SETUP_EXPORT int Uninstall_Init(void* /*parent*/, const char* install_dir) {
    return guarded(kUninstallInitCancel,
                   [&] { return state().hooks().uninstall_init(folder(install_dir)); });
}

KS_SETUP_EXPORT int Uninstall_Exit(void* /*parent*/) {
    return guarded(kUninstallExitFailed, [] { return state().hooks().uninstall_exit(); });
}
