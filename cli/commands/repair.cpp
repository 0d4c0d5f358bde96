#include "core/repair.h"
#include "cli/commands/commands.h"
#include "cli/context.h"
#include "platform/file.h"

namespace ks::cli {
namespace {

// Walks the records without changing the file and without the password.
Status check(Context& context, const std::string& wallet, const std::filesystem::path& path) {
    File file = File::open(path, FileMode::ReadOnly);
    const std::optional<int> found = file.is_open() ? check_node_records(file) : std::nullopt;
    if (!found) return fail(Exit::IoFailure, "The wallet \"" + wallet + "\" could not be read.");
    if (*found == 0) {
        context.io.out << "No damage found.\n";
        return Status::fine();
    }
    context.io.out << *found << (*found == 1 ? " place needs" : " places need") << " mending.\n";
    return fail(Exit::BadWallet,
                "The wallet \"" + wallet + "\" is damaged; \"keystash-cli repair\" can mend it.");
}

Status run(Context& context, const Args& args) {
    const std::string& wallet = args.positional[0];
    const std::filesystem::path path = wallet_path(wallet);
    std::optional<SecretText> password;
    // Only the leading blocks are read to learn whether a password is needed.
    OpenResult probe = context.document.open(path, std::nullopt, true);
    context.document.close();
    if (probe == OpenResult::ChangeInterrupted && !args.has("--check")) {
        // Opening for writing finishes the interrupted change, with or without the password.
        context.document.open(path, std::nullopt, false);
        context.document.close();
        probe = context.document.open(path, std::nullopt, true);
        context.document.close();
    }
    const bool blocks_readable = probe == OpenResult::Opened || probe == OpenResult::WrongPassword;
    if (args.has("--check") && blocks_readable) return check(context, wallet, path);
    if (probe == OpenResult::WrongPassword) {
        password = context.read_password("Password for " + wallet + ": ");
        if (!password) return fail(Exit::WrongPassword, "No password was given.");
    } else if (probe != OpenResult::Opened) {
        return status_for_open(probe, wallet);
    }
    TerminalPrompt prompt(context.io, args.has("--yes"));
    const RepairResult r = context.document.repair(path, password, prompt);
    switch (r.status) {
        case RepairStatus::Done:
            return Status::fine();
        case RepairStatus::Declined:
            return fail(Exit::Refused,
                        context.io.in_is_terminal
                            ? "The repair was not made."
                            : "The repair was not made: give --yes to repair without questions.");
        case RepairStatus::OpenFailed:
            return status_for_open(r.open_result, wallet);
        case RepairStatus::IoFailed:
            break;
    }
    return fail(Exit::IoFailure,
                "The repair stopped on a read or write error; the parts already mended stay.");
}

}  // namespace

Command repair_command() {
    return {"repair",
            "WALLET",
            "Mend a damaged wallet: cut-short and broken records are cut out, whole records are "
            "kept. Asks twice before it starts. With --check, only reports whether anything "
            "needs mending (exit 5 when it does) and changes nothing.",
            {{"--yes", "", "answer yes to the questions"},
             {"--check", "", "report damage without mending it; needs no password"}},
            1,
            1,
            run};
}

}  // namespace ks::cli
