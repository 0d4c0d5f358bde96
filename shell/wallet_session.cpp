#include "shell/wallet_session.h"

#include <sys/stat.h>
#include <unistd.h>

#include "core/format.h"
#include "core/keys.h"
#include "platform/text.h"
#include "platform/texts.h"
#include "shell/session_rules.h"
#include "shell/settings.h"

namespace ks {

namespace fs = std::filesystem;

namespace {
void tell(SessionUi& ui, std::u16string text, PromptIcon icon = PromptIcon::Error) {
    ui.prompt().ask({std::move(text), load_string(text_id::kErrorTitle), PromptButtons::Ok, icon});
}

class BusyScope {
  public:
    explicit BusyScope(SessionUi& ui) : ui_(ui) { ui_.set_busy(true); }
    ~BusyScope() { ui_.set_busy(false); }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

  private:
    SessionUi& ui_;
};
}  // namespace

bool wallet_writable(const fs::path& path) {
    // A file nobody may write is read-only even for a user the system lets write anything.
    struct stat st{};
    if (::stat(path.c_str(), &st) != 0 || (st.st_mode & 0222) == 0) return false;
    if (::access(path.c_str(), W_OK) != 0) return false;
    fs::path folder = path.parent_path();
    if (folder.empty()) folder = ".";
    return ::access(folder.c_str(), W_OK | X_OK) == 0;
}

std::u16string WalletSession::display_name() const {
    return is_open() ? wallet_display_name(path()) : std::u16string();
}

bool WalletSession::close() {
    if (!document_.is_open()) return true;
    document_.save_blocks();  // a read-only wallet has nothing to save
    return document_.close() || !document_.is_open();
}

OpenOutcome WalletSession::open(const fs::path& path, SessionUi& ui) {
    const std::u16string name = wallet_display_name(path);
    close();
    WalletInfoBlock info;
    const OpenResult probe = peek_wallet(path, info);
    std::optional<SecretText> password;
    if (probe == OpenResult::WrongPassword) {
        PasswordQuestion question;
        question.display_name = name;
        question.hint = get_hint(info).value_or(u"");
        question.checker = [&info](std::u16string_view text) { return check_password(info, text); };
        password = ui.ask_password(question);
        info.clear();
        if (!password) return OpenOutcome::Cancelled;
    } else if (probe == OpenResult::Opened) {
        password = SecretText();  // a wallet without a password opens without asking
    } else {
        tell(ui, open_refused_message(name, static_cast<int>(probe)));
        return OpenOutcome::Failed;
    }
    return load(path, *password, name, ui);
}

OpenOutcome WalletSession::load(const fs::path& path, const SecretText& password,
                                std::u16string_view name, SessionUi& ui) {
    const std::optional<std::u16string_view> key =
        password.empty() ? std::nullopt : std::optional<std::u16string_view>(password.view());
    const bool writable = wallet_writable(path);
    const auto load_now = [&] {
        BusyScope busy(ui);
        return document_.load(path, key, !writable);
    };
    OpenResult result = load_now();
    if (result == OpenResult::Damaged && writable) {
        // The repair's questions come without the wait cursor.
        const RepairResult repaired = document_.repair(path, key, ui.prompt());
        if (repaired.status == RepairStatus::Done) result = load_now();
    }
    if (result != OpenResult::Opened) {
        document_.close();
        tell(ui, load_failed_message(name, static_cast<int>(result)));
        return OpenOutcome::Failed;
    }
    settings_.set(&AppSettings::MRU, from_utf8(path.string()));
    return OpenOutcome::Opened;
}

bool WalletSession::create(const fs::path& path, const NewPassword& password, SessionUi& ui) {
    const std::optional<std::u16string_view> hint =
        password.hint.empty() ? std::nullopt : std::optional<std::u16string_view>(password.hint);
    const CreateResult result = document_.create(path, password.password.view(), hint, true);
    if (result == CreateResult::Created) return true;
    tell(ui, load_string(text_id::kCreateFailed));
    return false;
}

bool WalletSession::change_password(SessionUi& ui) {
    if (!is_open() || read_only()) return false;
    PasswordQuestion request;
    request.display_name = display_name();
    request.hint = get_hint(document_.info()).value_or(u"");
    request.checker = [this](std::u16string_view text) {
        return check_password(document_.info(), text);
    };
    const std::optional<SecretText> current = ui.ask_password(request);
    if (!current) return false;
    const std::optional<NewPassword> next = ui.ask_new_password(false);
    if (!next) return false;
    const std::optional<std::u16string_view> old =
        document_.info().has_password() ? std::optional<std::u16string_view>(current->view())
                                        : std::nullopt;
    if (old && !check_password(document_.info(), *old)) {
        tell(ui, load_string(text_id::kPasswordWrong), PromptIcon::Exclamation);
        return false;
    }
    const std::optional<std::u16string_view> hint =
        next->hint.empty() ? std::nullopt : std::optional<std::u16string_view>(next->hint);
    if (!document_.change_password(old, next->password.view(), hint)) {
        tell(ui, load_failed_message(display_name(), static_cast<int>(OpenResult::CannotOpen)));
        return false;
    }
    ui.prompt().ask({load_string(text_id::kPasswordChanged), load_string(text_id::kProductName),
                     PromptButtons::Ok, PromptIcon::Information});
    close();
    return true;
}

uint32_t WalletSession::auto_close_minutes() const {
    return is_open() ? document_.settings().value(format::settings::kAutoCloseMinutes) : 0;
}

bool WalletSession::close_when_switching() const {
    return is_open() && document_.settings().value(format::settings::kCloseWhenSwitching) != 0;
}

void WalletSession::set_close_when_switching(bool on) {
    if (!is_open() || close_when_switching() == on) return;
    document_.settings().set_value(format::settings::kCloseWhenSwitching, on ? 1 : 0);
    document_.settings().add_flags(format::settings::kFlagSecurityChanged);
}

void WalletSession::set_auto_close_minutes(uint32_t minutes) {
    if (!is_open() || auto_close_minutes() == minutes) return;
    document_.settings().set_value(format::settings::kAutoCloseMinutes, minutes);
    document_.settings().add_flags(format::settings::kFlagSecurityChanged);
}

}  // namespace ks
