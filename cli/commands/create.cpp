#include "cli/commands/commands.h"
#include "cli/context.h"
#include "platform/text.h"

namespace ks::cli {
namespace {

Status run(Context& context, const Args& args) {
    const std::string& wallet = args.positional[0];
    SecretText password;
    if (Status s = context.read_new_password("New password for " + wallet + ": ", password);
        !s.ok())
        return s;
    std::optional<std::u16string> hint;
    if (auto h = args.value("--hint")) hint = from_utf8(*h);
    const CreateResult r = context.document.create(wallet_path(wallet), password, hint,
                                                   !args.has("--no-sample-folder"));
    switch (r) {
        case CreateResult::Created:
            context.io.out << "Created " << wallet << "\n";
            return Status::fine();
        case CreateResult::BadPath:
            return fail(Exit::Usage, "The wallet path \"" + wallet + "\" is too short.");
        case CreateResult::NoPassword:
        case CreateResult::BadPasswordLength:
            return fail(Exit::Usage, "A new wallet's password has 3 to 23 characters.");
        case CreateResult::Exists:
            return fail(Exit::Refused, "\"" + wallet + "\" exists already; it was left as it is.");
        default:
            return fail(Exit::IoFailure, "The wallet \"" + wallet + "\" could not be written.");
    }
}

}  // namespace

Command create_command() {
    return {"create",
            "WALLET",
            "Create a new wallet (the password is asked twice on a terminal).",
            {{"--hint", "TEXT", "a password hint, kept in the wallet"},
             {"--no-sample-folder", "", "leave out the sample folder"}},
            1,
            1,
            run};
}

}  // namespace ks::cli
