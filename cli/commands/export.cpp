#include "cli/commands/commands.h"
#include "cli/context.h"
#include "cli/items.h"
#include "forms/text_export.h"
#include "platform/user_dirs.h"

namespace ks::cli {
namespace {

Status run(Context& context, const Args& args) {
    if (Status s = context.open_wallet(args.positional[0], false); !s.ok()) return s;
    WalletDocument& doc = context.document;
    TextExportOptions options;
    int index = kNoIndex;
    if (args.positional.size() > 1) {
        if (Status s = resolve_item(doc, args.positional[1], index); !s.ok()) return s;
        options.scope = doc.kind_of(index) == static_cast<int>(NodeKind::Card)
                            ? ExportScope::Card
                            : ExportScope::Folder;
    }
    options.output_folder = args.value("--to").value_or("");
    if (options.output_folder.empty()) options.output_folder = documents_directory();
    if (options.output_folder.empty())
        return fail(Exit::IoFailure, "There is no documents folder; name one with --to.");
    options.include_attachments = args.has("--attachments");
    options.show_pin_values = args.has("--show-pins");

    const TextExportResult result = export_text(doc, options, index);
    switch (result.status) {
        case TextExportStatus::Written:
            context.io.out << result.file.string() << "\n";
            if (result.folders_in_cycles > 0) return cycle_damage(result.folders_in_cycles);
            return Status::fine();
        case TextExportStatus::NotExportable:
            return fail(Exit::Refused,
                        "Only a card, a folder or the whole wallet can be exported.");
        case TextExportStatus::CannotCreate:
            return fail(Exit::IoFailure,
                        result.file.empty()
                            ? "The export folder cannot be created."
                            : "\"" + result.file.string() + "\" cannot be created.");
        case TextExportStatus::WriteFailed:
            break;
    }
    return fail(Exit::IoFailure,
                "\"" + result.file.string() +
                    "\" could not be written; an earlier file of that name is unchanged.");
}

}  // namespace

Command export_command() {
    return {
        "export",
        "WALLET [ITEM]",
        "Write a card, a folder or (without ITEM) the whole wallet to a UTF-16 text file in a "
        "folder named after the wallet; prints the file's path.",
        {{"--to", "DIR",
          "where the wallet's export folder is made (default: the documents folder)"},
         {"--show-pins", "", "write PIN values instead of ********"},
         {"--attachments", "", "save attached files beside the text file (readable by you only)"}},
        1,
        2,
        run};
}

}  // namespace ks::cli
