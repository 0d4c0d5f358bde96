#include "cli/commands/commands.h"
#include "cli/context.h"
#include "cli/items.h"
#include "forms/form_file_messages.h"
#include "platform/text.h"
#include "platform/user_dirs.h"

namespace ks::cli {
namespace {

Status run(Context& context, const Args& args) {
    if (Status s = context.open_wallet(args.positional[0], false); !s.ok()) return s;
    WalletDocument& doc = context.document;
    int index = kNoIndex;
    if (Status s = resolve_item(doc, args.positional[1], index); !s.ok()) return s;
    if (doc.kind_of(index) != static_cast<int>(NodeKind::Card))
        return fail(Exit::Refused, "Only a card can be exported as a form.");
    std::filesystem::path folder = args.value("--to").value_or("");
    if (folder.empty()) folder = documents_directory();
    if (folder.empty())
        return fail(Exit::IoFailure, "There is no documents folder; name one with --to.");

    std::optional<std::u16string> author, description;
    if (auto text = args.value("--author")) author = from_utf8(*text);
    if (auto text = args.value("--description")) description = from_utf8(*text);
    const FormExportResult result = export_form_file(
        doc, doc.node(index)->id(), folder, args.has("--keep-values"), author, description);
    if (result.code == FormFileResult::NoCard)
        return fail(Exit::BadWallet, "The card \"" + args.positional[1] + "\" cannot be read.");
    if (!result.written)
        return fail(
            Exit::IoFailure,
            result.file.empty()
                ? "The folder \"" + folder.string() + "\" cannot be created."
                : "\"" + result.file.string() +
                      "\" could not be written; an earlier file of that name is unchanged.");
    context.io.out << result.file.string() << "\n";
    return Status::fine();
}

}  // namespace

Command export_form_command() {
    return {"export-form",
            "WALLET CARD",
            "Write a card's form (labels, kinds, lists, look, picture, sound and attached files) "
            "to a .ksx form file; prints the file's path. Attached files go with the form; the "
            "field values are left out unless --keep-values is given.",
            {{"--to", "DIR", "the folder to write into (default: the documents folder)"},
             {"--keep-values", "", "keep the field values"},
             {"--author", "TEXT", "the author named in the file (at most 63 characters)"},
             {"--description", "TEXT", "the description in the file (at most 127 characters)"}},
            2,
            2,
            run};
}

}  // namespace ks::cli
