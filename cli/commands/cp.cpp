#include "cli/commands/commands.h"
#include "cli/context.h"
#include "cli/items.h"

namespace ks::cli {
namespace {

Status run(Context& context, const Args& args) {
    if (Status s = context.open_wallet(args.positional[0], true); !s.ok()) return s;
    WalletDocument& doc = context.document;
    int card = kNoIndex, folder = kNoIndex;
    if (Status s = resolve_item(doc, args.positional[1], card); !s.ok()) return s;
    if (Status s = resolve_folder(doc, args.positional[2], folder); !s.ok()) return s;
    if (doc.kind_of(card) != static_cast<int>(NodeKind::Card))
        return fail(Exit::Refused, "Only cards can be copied.");
    if (folder == kNoIndex)
        return fail(Exit::Refused, "A copy goes into a folder, not the top level.");
    const int copy = doc.copy_card_to_folder(card, folder);
    if (copy < 0) return change_failed(doc, "The copy could not be written to the wallet");
    context.io.out << item_path(doc, copy) << "\n";
    return Status::fine();
}

}  // namespace

Command cp_command() {
    return {"cp",
            "WALLET CARD FOLDER",
            "Copy a card into a folder; the copy is named after the card with \"*\" appended.",
            {},
            3,
            3,
            run};
}

}  // namespace ks::cli
