#include "cli/commands/commands.h"
#include "cli/context.h"
#include "cli/items.h"
#include "forms/form_file_messages.h"

namespace ks::cli {
namespace {

Status run(Context& context, const Args& args) {
    const bool yes = args.has("--yes");
    if (Status s = context.open_wallet(args.positional[0], true); !s.ok()) return s;
    WalletDocument& doc = context.document;
    const std::string& file = args.positional[1];
    const std::string quoted = "\"" + file + "\"";
    TerminalPrompt prompt(context.io, yes);
    const FormImportResult result = import_form_file(doc, file, prompt);
    switch (result.status) {
        case FormImportStatus::Imported:
            context.io.out << item_path(doc, result.index) << "\n";
            return Status::fine();
        case FormImportStatus::CannotOpen:
            return fail(Exit::IoFailure, quoted + " cannot be read.");
        case FormImportStatus::NotAFormFile:
            return fail(Exit::BadWallet, quoted + " is not a form file of this program's version.");
        case FormImportStatus::Damaged:
            return fail(Exit::BadWallet,
                        "The form file " + quoted + " is damaged; nothing was imported.");
        case FormImportStatus::NoMyForms:
            return fail(Exit::BadWallet, "The wallet has no My Forms folder.");
        case FormImportStatus::Declined:
            return fail(
                Exit::Refused,
                context.io.in_is_terminal || yes
                    ? "The form was not imported."
                    : "The form was not imported: give --yes to import without the question.");
        case FormImportStatus::Busy:
            return fail(Exit::Failure, "The wallet is busy with another operation.");
        case FormImportStatus::StoreFailed:
            break;
    }
    return change_failed(doc, "The form could not be written to the wallet");
}

}  // namespace

Command import_form_command() {
    return {"import-form",
            "WALLET FILE",
            "Add the form in a .ksx form file to My Forms, after showing its name, description, "
            "author and date and asking.",
            {{"--yes", "", "import without asking"}},
            2,
            2,
            run};
}

}  // namespace ks::cli
