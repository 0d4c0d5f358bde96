#pragma once
// The life of the one open wallet, without windows: opening by path with its password (and
// repair when it is damaged), creating, saving and closing, changing the password, and its
// auto-close period. What must be asked or told goes through SessionUi.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "core/wallet_document.h"
#include "platform/prompt.h"
#include "platform/secret.h"

namespace ks {

struct AppSettings;

using PasswordChecker = std::function<bool(std::u16string_view)>;

struct PasswordQuestion {
    std::u16string display_name;  // empty: no name in the title
    PasswordChecker checker;      // empty: any text is accepted
    std::u16string hint;          // shown after repeated failures; empty: none
};

struct NewPassword {
    SecretText password;
    std::u16string hint;
};

class SessionUi {
  public:
    virtual ~SessionUi() = default;
    // The password dialog: the password, or nothing when cancelled.
    virtual std::optional<SecretText> ask_password(const PasswordQuestion& request) = 0;
    // The new-password dialog (mode 0 change, 1 new wallet).
    virtual std::optional<NewPassword> ask_new_password(bool new_wallet) = 0;
    // Messages and the repair's questions.
    virtual Prompt& prompt() = 0;
    // The wait cursor around loads.
    virtual void set_busy(bool busy) { (void)busy; }
};

enum class OpenOutcome {
    Opened,
    Cancelled,  // the password dialog was cancelled
    Failed,     // the user was told why
};

class WalletSession {
  public:
    WalletSession(WalletDocument& document, AppSettings& settings)
        : document_(document), settings_(settings) {}

    // Saves and closes any open wallet, then opens `path`: a read-only open tells whether the
    // file is a wallet, the password dialog asks for its password, the load lists its nodes (a
    // damaged file is offered for repair and loaded again). A file this user may not write
    // opens read-only. On success the path becomes the MRU wallet.
    OpenOutcome open(const std::filesystem::path& path, SessionUi& ui);

    // Saves the open wallet's blocks (unless read-only) and closes it; true when none is open
    // afterwards.
    bool close();

    // Creates a wallet with its sample folder and tells the user when that failed (23001).
    bool create(const std::filesystem::path& path, const NewPassword& password, SessionUi& ui);

    // Asks for the current password and then the new one; re-enciphers the wallet and tells
    // the user (22006). The wallet is closed afterwards when the change was made: the caller
    // opens it again from `path()`. False when cancelled, refused or failed.
    bool change_password(SessionUi& ui);

    bool is_open() const { return document_.is_open(); }
    bool read_only() const { return document_.read_only(); }
    const std::filesystem::path& path() const { return document_.path(); }
    std::u16string display_name() const;

    // The wallet's own auto-close period (minutes, 0 never) and close-when-switching flag.
    uint32_t auto_close_minutes() const;
    bool close_when_switching() const;
    // Store a changed value and mark the settings block for saving.
    void set_auto_close_minutes(uint32_t minutes);
    void set_close_when_switching(bool on);

    WalletDocument& document() { return document_; }

  private:
    OpenOutcome load(const std::filesystem::path& path, const SecretText& password,
                     std::u16string_view name, SessionUi& ui);

    WalletDocument& document_;
    AppSettings& settings_;
};

// Whether this user may change the file (and make files beside it, as changes need).
bool wallet_writable(const std::filesystem::path& path);

}  // namespace ks
