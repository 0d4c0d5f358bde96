#include "cli/commands/commands.h"
#include "cli/context.h"
#include "cli/items.h"
#include "platform/text.h"

namespace ks::cli {
namespace {

Status run(Context& context, const Args& args) {
    if (Status s = context.open_wallet(args.positional[0], true); !s.ok()) return s;
    WalletDocument& doc = context.document;
    int index = kNoIndex;
    if (Status s = resolve_item(doc, args.positional[1], index); !s.ok()) return s;
    const std::u16string name = from_utf8(args.positional[2]);
    if (name.empty()) return fail(Exit::Usage, "The new name is empty.");
    if (!doc.rename(index, name))
        return change_failed(doc, "The item could not be renamed in the wallet");
    context.io.out << item_path(doc, index) << "\n";
    return Status::fine();
}

}  // namespace

Command rename_command() {
    return {"rename", "WALLET ITEM NAME", "Give a folder or card a new name.", {}, 3, 3, run};
}

}  // namespace ks::cli
