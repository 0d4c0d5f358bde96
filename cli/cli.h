#pragma once
// keystash-cli: the wallet from the command line. One command per file under commands/, all
// registered in one table (commands.cpp).
#include <iosfwd>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace ks::cli {

// Exit codes, documented in --help, the manual page and the README.
enum class Exit : int {
    Ok = 0,
    Failure = 1,  // anything else that went wrong
    Usage = 2,    // bad command line, or a path that names several items
    WrongPassword = 3,
    NotFound = 4,   // no such item, field or attachment
    BadWallet = 5,  // not a wallet, or damaged (try repair)
    Refused = 6,    // the operation is not allowed (exists already, full, My Forms...)
    IoFailure = 7,  // a file could not be read or written
};

// An outcome with a one-sentence message for stderr.
struct Status {
    Exit code = Exit::Ok;
    std::string message;

    bool ok() const { return code == Exit::Ok; }
    static Status fine() { return {}; }
};
inline Status fail(Exit code, std::string message) {
    return {code, std::move(message)};
}

// The process's streams and terminal; tests give string streams.
struct Io {
    std::istream& in;
    std::ostream& out;
    std::ostream& err;
    bool in_is_terminal = false;
};

struct OptionSpec {
    std::string_view name;   // "--hint" or "-R"
    std::string_view value;  // placeholder for its value ("TEXT"); empty: a flag
    std::string_view help;
    bool repeatable = false;
};

struct Args {
    std::vector<std::string> positional;
    std::map<std::string, std::vector<std::string>> options;  // by name; flags hold ""

    bool has(std::string_view name) const { return options.contains(std::string(name)); }
    std::optional<std::string> value(std::string_view name) const;
    std::vector<std::string> values(std::string_view name) const;
};

struct Context;

struct Command {
    std::string_view name;
    std::string_view arguments;  // "WALLET [FOLDER]"
    std::string_view summary;
    std::vector<OptionSpec> options;
    size_t min_positional = 0;
    size_t max_positional = 0;
    Status (*run)(Context& context, const Args& args) = nullptr;
    bool json = false;  // takes --json
};

std::span<const Command> commands();
const Command* find_command(std::string_view name);

// Parses the arguments after the command name against its options.
std::optional<Args> parse_args(const Command& command, std::span<const std::string> argv,
                               std::string& error);

// Runs keystash-cli with `argv` (without the program name); returns the exit code.
int run_cli(std::span<const std::string> argv, Io& io);

std::string usage_text();
std::string command_help(const Command& command);

}  // namespace ks::cli
