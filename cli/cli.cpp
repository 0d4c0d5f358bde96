#include "cli/cli.h"

#include <exception>
#include <iostream>
#include <new>
#include <sstream>

#include "cli/context.h"
#include "platform/product.h"

namespace ks::cli {
namespace {

const OptionSpec kHelpOption{"--help", "", "show this help"};
const OptionSpec kJsonOption{"--json", "", "print one JSON document"};

const OptionSpec* find_option(const Command& command, std::string_view name) {
    if (name == kHelpOption.name) return &kHelpOption;
    if (command.json && name == kJsonOption.name) return &kJsonOption;
    for (const OptionSpec& o : command.options)
        if (o.name == name) return &o;
    return nullptr;
}

constexpr std::string_view kExitCodes =
    "Exit codes: 0 done, 1 other failure, 2 usage error, 3 wrong password, 4 item not found,\n"
    "5 not a wallet, damaged or a change interrupted (try repair), 6 operation refused,\n"
    "7 file input/output failure or wallet in use.\n";

constexpr std::string_view kPasswords =
    "Passwords are read from the terminal with echo off, or as lines of standard input when it\n"
    "is not a terminal: one line per password asked (create: the new password; passwd: the\n"
    "current password, then the new one). Values for --set-stdin are read the same way, after\n"
    "the password, in the order given.\n";

}  // namespace

std::optional<std::string> Args::value(std::string_view name) const {
    auto it = options.find(std::string(name));
    if (it == options.end() || it->second.empty()) return std::nullopt;
    return it->second.back();
}

std::vector<std::string> Args::values(std::string_view name) const {
    auto it = options.find(std::string(name));
    return it == options.end() ? std::vector<std::string>{} : it->second;
}

std::optional<Args> parse_args(const Command& command, std::span<const std::string> argv,
                               std::string& error) {
    Args args;
    bool options_done = false;
    for (size_t i = 0; i < argv.size(); ++i) {
        const std::string& token = argv[i];
        if (options_done || token.size() < 2 || token[0] != '-') {
            args.positional.push_back(token);
            continue;
        }
        if (token == "--") {
            options_done = true;
            continue;
        }
        std::string name = token;
        std::optional<std::string> inline_value;
        if (auto eq = token.find('='); token.starts_with("--") && eq != std::string::npos) {
            name = token.substr(0, eq);
            inline_value = token.substr(eq + 1);
        }
        const OptionSpec* spec = find_option(command, name);
        if (!spec) {
            error = "unknown option " + name + " for " + std::string(command.name);
            return std::nullopt;
        }
        if (args.has(name) && !spec->repeatable) {
            error = "option " + name + " is given twice";
            return std::nullopt;
        }
        std::string value;
        if (!spec->value.empty()) {
            if (inline_value) {
                value = *inline_value;
            } else if (i + 1 < argv.size()) {
                value = argv[++i];
            } else {
                error = "option " + name + " needs a value (" + std::string(spec->value) + ")";
                return std::nullopt;
            }
        } else if (inline_value) {
            error = "option " + name + " takes no value";
            return std::nullopt;
        }
        args.options[name].push_back(value);
    }
    return args;
}

std::string usage_text() {
    std::ostringstream s;
    s << "Usage: keystash-cli COMMAND [OPTIONS] ARGUMENTS\n\n"
         "Reads and changes Keystash Pro wallets (.ks5). Every change is written to the wallet at "
         "once.\n\nCommands:\n";
    for (const Command& c : commands()) {
        std::string head = "  " + std::string(c.name);
        s << head << std::string(head.size() < 14 ? 14 - head.size() : 1, ' ') << c.summary << "\n";
    }
    s << "\nItems are named by their path from the top level, \"/\"-separated (\"Bank/Visa\", a "
         "\"/\""
         " inside a\nname written \"\\/\"), or by their id in GUID form ({...}).\n"
         "Run \"keystash-cli COMMAND --help\" for a command's arguments and options.\n\n"
      << kPasswords << "\n"
      << kExitCodes;
    return s.str();
}

std::string command_help(const Command& command) {
    std::ostringstream s;
    s << "Usage: keystash-cli " << command.name << " " << command.arguments << "\n\n"
      << command.summary << "\n";
    std::vector<OptionSpec> options = command.options;
    if (command.json) options.push_back(kJsonOption);
    options.push_back(kHelpOption);
    s << "\nOptions:\n";
    for (const OptionSpec& o : options) {
        std::string head = "  " + std::string(o.name);
        if (!o.value.empty()) head += " " + std::string(o.value);
        s << head << std::string(head.size() < 24 ? 24 - head.size() : 1, ' ') << o.help
          << (o.repeatable ? " (repeatable)" : "") << "\n";
    }
    s << "\n" << kPasswords << "\n" << kExitCodes;
    return s.str();
}

const Command* find_command(std::string_view name) {
    for (const Command& c : commands())
        if (c.name == name) return &c;
    return nullptr;
}

namespace {

int run_command_line(std::span<const std::string> argv, Io& io) {
    auto usage_error = [&](const std::string& message) {
        io.err << "keystash-cli: " << message << ". Run \"keystash-cli --help\" for usage.\n";
        return static_cast<int>(Exit::Usage);
    };
    if (argv.empty()) return usage_error("a command is needed");
    const std::string& name = argv[0];
    if (name == "--help" || name == "-h" || name == "help") {
        io.out << usage_text();
        return 0;
    }
    if (name == "--version") {
        io.out << "keystash-cli " << kVersionText << "\n";
        return 0;
    }
    const Command* command = find_command(name);
    if (!command) return usage_error("unknown command \"" + name + "\"");
    std::string error;
    auto args = parse_args(*command, argv.subspan(1), error);
    if (!args) return usage_error(error);
    if (args->has("--help")) {
        io.out << command_help(*command);
        return 0;
    }
    const size_t n = args->positional.size();
    if (n < command->min_positional || n > command->max_positional)
        return usage_error(std::string(command->name) + " takes " +
                           std::string(command->arguments));

    Context context(io, args->has("--json"));
    Status status = command->run(context, *args);
    context.document.close();
    if (!status.ok()) io.err << "keystash-cli: " << status.message << "\n";
    return static_cast<int>(status.code);
}

int stopped(Io& io, const std::string& message) {
    try {
        io.err << "keystash-cli: " << message << "\n";
    } catch (...) {  // the error stream may be what failed
    }
    return static_cast<int>(Exit::Failure);
}

}  // namespace

int run_cli(std::span<const std::string> argv, Io& io) {
    // Nothing thrown below may end the process without a word: every change that was reported
    // is durable, and the one under way is journaled or not made.
    try {
        return run_command_line(argv, io);
    } catch (const std::bad_alloc&) {
        return stopped(io, "There was not enough memory to finish the command.");
    } catch (const std::exception& e) {
        return stopped(
            io, std::string("The command stopped on an unexpected error: ") + e.what() + ".");
    } catch (...) {
        return stopped(io, "The command stopped on an unexpected error.");
    }
}

}  // namespace ks::cli
