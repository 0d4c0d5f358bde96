#include "cli/context.h"

#include <termios.h>
#include <unistd.h>

#include <cstring>
#include <iostream>

#include "cli/items.h"
#include "cli/shown_text.h"
#include "platform/text.h"

namespace ks::cli {
namespace {

// Reads a secret line (a password, a value) into storage that is wiped when freed; reserved
// beyond the string's inline storage so that the line is never held inside the object.
std::optional<SecretText> read_secret_line(std::istream& in) {
    WipedString line;
    line.reserve(256);
    if (!std::getline(in, line)) return std::nullopt;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    SecretText text = secret_from_utf8(line);
    secure_zero(line.data(), line.capacity());
    return text;
}

// Reads one line from a stream, without its line end.
std::optional<std::string> read_line(std::istream& in) {
    std::string line;
    if (!std::getline(in, line)) return std::nullopt;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

// Echo stays off for the life of the object when standard input is a terminal.
class EchoOff {
  public:
    EchoOff() {
        if (tcgetattr(STDIN_FILENO, &saved_) != 0) return;
        termios quiet = saved_;
        quiet.c_lflag &= static_cast<tcflag_t>(~ECHO);
        active_ = tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet) == 0;
    }
    ~EchoOff() {
        if (active_) tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved_);
    }
    EchoOff(const EchoOff&) = delete;
    EchoOff& operator=(const EchoOff&) = delete;

  private:
    termios saved_{};
    bool active_ = false;
};

}  // namespace

std::optional<SecretText> Context::read_password(std::string_view prompt) {
    if (!io.in_is_terminal) return read_secret_line(io.in);
    io.err << prompt << std::flush;
    EchoOff quiet;
    std::optional<SecretText> line = read_secret_line(io.in);
    io.err << "\n";
    return line;
}

Status Context::read_new_password(std::string_view prompt, SecretText& password) {
    auto first = read_password(prompt);
    if (!first) return fail(Exit::Usage, "No password was given.");
    if (io.in_is_terminal) {
        auto again = read_password("Repeat the password: ");
        if (!again || *again != *first) return fail(Exit::Usage, "The two passwords differ.");
    }
    password = std::move(*first);
    return Status::fine();
}

std::filesystem::path wallet_path(const std::string& argument) {
    std::error_code ec;
    std::filesystem::path path = std::filesystem::absolute(argument, ec);
    return ec ? std::filesystem::path(argument) : path.lexically_normal();
}

Status status_for_open(OpenResult result, const std::string& path) {
    const std::string quoted = "\"" + path + "\"";
    switch (result) {
        case OpenResult::Opened:
            return Status::fine();
        case OpenResult::BadPath:
            return fail(Exit::Usage, "The wallet path " + quoted + " is too short.");
        case OpenResult::Missing:
            return fail(Exit::IoFailure, "The wallet " + quoted + " does not exist.");
        case OpenResult::AccessDenied:
            return fail(Exit::IoFailure,
                        "The wallet " + quoted + " cannot be opened: permission denied.");
        case OpenResult::Locked:
            return fail(Exit::IoFailure, "The wallet " + quoted + " is in use by another program.");
        case OpenResult::CannotOpen:
            return fail(Exit::IoFailure, "The wallet " + quoted + " cannot be opened.");
        case OpenResult::WrongPassword:
            return fail(Exit::WrongPassword, "The password for " + quoted + " is wrong.");
        case OpenResult::NotAWallet:
        case OpenResult::WrongVersion:
            return fail(Exit::BadWallet, quoted + " is not a wallet of this program's version.");
        case OpenResult::BadInfoBlock:
        case OpenResult::BadSettingsBlock:
            return fail(Exit::BadWallet, "The leading blocks of " + quoted + " are damaged.");
        case OpenResult::NoMemory:
            return fail(Exit::Failure, "There is not enough memory to open " + quoted + ".");
        case OpenResult::Damaged:
        case OpenResult::NodesUnreadable:
            return fail(Exit::BadWallet, "The wallet " + quoted +
                                             " is damaged; \"keystash-cli repair\" can mend it.");
        case OpenResult::ChangeInterrupted:
            return fail(Exit::BadWallet,
                        "A change to the wallet " + quoted +
                            " was interrupted; any command that changes it, or \"keystash-cli "
                            "repair\", finishes it first.");
        case OpenResult::Busy:
            return fail(Exit::Failure, "The wallet " + quoted + " is busy with another operation.");
        case OpenResult::JournalNotTrusted: {
            std::error_code ec;
            const std::filesystem::path real = std::filesystem::canonical(path, ec);
            const std::string journal = (ec ? std::filesystem::path(path) : real).string() + ".cut";
            return fail(Exit::Refused,
                        "The wallet " + quoted + " was not opened for changes: \"" + journal +
                            "\" beside it is not a journal this user wrote for it; both were "
                            "left alone. Move that file away if you did not expect it.");
        }
    }
    return fail(Exit::Failure, "The wallet " + quoted + " cannot be opened.");
}

Status change_failed(const WalletDocument& document, std::string message) {
    const FileFailure& failure = document.last_failure();
    if (failure.problem == FileProblem::NoSpace)
        message += ": there is not enough space on the disk";
    else if (failure.problem != FileProblem::None && failure.error != 0)
        message += std::string(": ") + std::strerror(failure.error);
    return fail(Exit::IoFailure, message + ".");
}

Status Context::open_wallet(const std::string& argument, bool write) {
    const std::filesystem::path path = wallet_path(argument);
    OpenResult r = document.load(path, std::nullopt, !write);
    if (r == OpenResult::WrongPassword) {
        password_ = read_password("Password for " + argument + ": ");
        if (!password_) return fail(Exit::WrongPassword, "No password was given.");
        r = document.load(path, *password_, !write);
    }
    return status_for_open(r, argument);
}

Status Context::open_card(const std::string& wallet, const std::string& item, bool write,
                          int& index, std::optional<Card>* card) {
    if (Status s = open_wallet(wallet, write); !s.ok()) return s;
    if (Status s = resolve_item(document, item, index); !s.ok()) return s;
    if (document.kind_of(index) != static_cast<int>(NodeKind::Card))
        return fail(Exit::Refused, "\"" + item + "\" is a folder, not a card.");
    if (!card) return Status::fine();
    *card = document.load_card(index);
    if (!*card) return fail(Exit::BadWallet, "The card \"" + item + "\" cannot be read.");
    return Status::fine();
}

Status Context::save() {
    if (document.save_blocks() != SaveResult::Saved)
        return change_failed(document, "The wallet's changes could not be written; it was closed");
    return Status::fine();
}

PromptAnswer TerminalPrompt::ask(const PromptMessage& message) {
    const bool yes_no =
        message.buttons == PromptButtons::YesNo || message.buttons == PromptButtons::YesNoCancel;
    const PromptAnswer positive = yes_no ? PromptAnswer::Yes : PromptAnswer::Ok;
    const PromptAnswer negative = yes_no ? PromptAnswer::No : PromptAnswer::Cancel;
    if (message.buttons == PromptButtons::Ok) {  // a report: always shown
        io_.err << shown_lines(message.text) << "\n";
        return PromptAnswer::Ok;
    }
    if (yes_) return positive;  // answered without showing the question
    io_.err << shown_lines(message.text) << "\n";
    if (!io_.in_is_terminal) return negative;  // nobody to ask
    const bool can_cancel = message.buttons == PromptButtons::YesNoCancel;
    io_.err << (can_cancel ? "[y/n/C] " : yes_no ? "[y/N] " : "Continue? [y/N] ") << std::flush;
    auto line = read_line(io_.in);
    if (line && (*line == "y" || *line == "Y" || *line == "yes")) return positive;
    if (can_cancel && (!line || (*line != "n" && *line != "N" && *line != "no")))
        return PromptAnswer::Cancel;
    return negative;
}

}  // namespace ks::cli
