#include "cli/commands/commands.h"
#include "cli/context.h"
#include "cli/items.h"
#include "platform/text.h"
#include "platform/texts.h"

namespace ks::cli {
namespace {

// "Only cards can be placed in this folder. ...", as the tree says when a folder is dropped on
// My Forms.

Status run(Context& context, const Args& args) {
    if (Status s = context.open_wallet(args.positional[0], true); !s.ok()) return s;
    WalletDocument& doc = context.document;
    int index = kNoIndex, folder = kNoIndex;
    if (Status s = resolve_item(doc, args.positional[1], index); !s.ok()) return s;
    if (Status s = resolve_folder(doc, args.positional[2], folder); !s.ok()) return s;
    if (doc.kind_of(index) == static_cast<int>(NodeKind::MyForms))
        return fail(Exit::Refused, "My Forms stays where it is.");
    if (doc.kind_of(folder) == static_cast<int>(NodeKind::MyForms) &&
        doc.kind_of(index) != static_cast<int>(NodeKind::Card))
        return fail(Exit::Refused, to_utf8(load_string(text_id::kOnlyCardsInMyForms)));
    int up = folder;
    for (size_t steps = 0; up != kNoIndex && steps <= doc.nodes().size(); ++steps) {
        if (up == index) return fail(Exit::Refused, "A folder cannot move below itself.");
        up = doc.parent_folder_index_of(up);
    }
    if (!doc.move(index, folder))
        return change_failed(doc, "The item could not be moved in the wallet");
    context.io.out << item_path(doc, index) << "\n";
    return Status::fine();
}

}  // namespace

Command mv_command() {
    return {"mv",
            "WALLET ITEM FOLDER",
            "Move a folder or card into FOLDER (\"/\" is the top level).",
            {},
            3,
            3,
            run};
}

}  // namespace ks::cli
