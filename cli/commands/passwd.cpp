#include "cli/commands/commands.h"
#include "cli/context.h"
#include "platform/text.h"

namespace ks::cli {
namespace {

Status run(Context& context, const Args& args) {
    const std::string& wallet = args.positional[0];
    if (Status s = context.open_wallet(wallet, true); !s.ok()) return s;
    SecretText password;
    if (Status s = context.read_new_password("New password for " + wallet + ": ", password);
        !s.ok())
        return s;
    if (password.size() < 3 || password.size() > 24)
        return fail(Exit::Usage, "A password has 3 to 24 characters.");
    std::optional<std::u16string> hint;
    if (auto h = args.value("--hint")) hint = from_utf8(*h);
    if (!context.document.change_password(context.password(), password, hint)) {
        Status failed = change_failed(context.document, "The password could not be changed");
        failed.message += " The wallet is as it was.";
        return failed;
    }
    context.io.out << "The password of " << wallet << " is changed.\n";
    return Status::fine();
}

}  // namespace

Command passwd_command() {
    return {"passwd",
            "WALLET",
            "Change a wallet's password: the current one is asked (when it has one), then the new "
            "one. The wallet is re-enciphered as a whole; without --hint it keeps no hint.",
            {{"--hint", "TEXT", "the new password hint"}},
            1,
            1,
            run};
}

}  // namespace ks::cli
