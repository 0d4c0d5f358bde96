#include "cli/commands/commands.h"
#include "cli/context.h"

namespace ks::cli {
namespace {

Status run(Context& context, const Args& args) {
    const std::string& wallet = args.positional[0];
    const std::filesystem::path path = wallet_path(wallet);
    std::optional<std::u16string> password;
    // Only the leading blocks are read to learn whether a password is needed.
    OpenResult probe = context.document.open(path, std::nullopt, true);
    context.document.close();
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
            "kept. Asks twice before it starts.",
            {{"--yes", "", "answer yes to the questions"}},
            1,
            1,
            run};
}

}  // namespace ks::cli
