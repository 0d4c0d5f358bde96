#pragma once
// What every command works with: the streams, password questions, and the open wallet.
#include <filesystem>
#include <optional>
#include <string>

#include "cli/cli.h"
#include "core/wallet_document.h"
#include "platform/prompt.h"
#include "platform/secret.h"

namespace ks::cli {

struct Context {
    Context(Io& streams, bool json_output) : io(streams), json(json_output) {}

    Io& io;
    bool json = false;
    WalletDocument document;

    // One password: from the terminal with echo off (the prompt on stderr), else the next line
    // of standard input. Nothing when none can be read.
    std::optional<SecretText> read_password(std::string_view prompt);
    // A new password: asked twice on a terminal, once from standard input.
    Status read_new_password(std::string_view prompt, SecretText& password);

    // Loads WALLET, asking for its password when it has one. `write` takes the wallet for
    // writing (locked against other writers).
    Status open_wallet(const std::string& path, bool write);
    // The password that opened the wallet, when one was asked.
    std::optional<std::u16string_view> password() const {
        return password_ ? std::optional<std::u16string_view>(password_->view()) : std::nullopt;
    }

    // Opens WALLET and finds the card named by CARD (a path or {id}); `card`, when given, receives
    // it loaded.
    Status open_card(const std::string& wallet, const std::string& item, bool write, int& index,
                     std::optional<Card>* card = nullptr);

    // Writes the favourites and other leading-block changes.
    Status save();

  private:
    std::optional<SecretText> password_;
};

// A prompt that asks on the terminal (y/n, OK/Cancel) or answers yes to all.
class TerminalPrompt final : public Prompt {
  public:
    TerminalPrompt(Io& io, bool yes_to_all) : io_(io), yes_(yes_to_all) {}
    PromptAnswer ask(const PromptMessage& message) override;

  private:
    Io& io_;
    bool yes_;
};

std::filesystem::path wallet_path(const std::string& argument);
Status status_for_open(OpenResult result, const std::string& path);
// A change to the wallet that failed: `message` (no full stop), and why when a file call failed
// (a full disk, permission denied, ...).
Status change_failed(const WalletDocument& document, std::string message);

}  // namespace ks::cli
