#include "cli/commands/commands.h"
#include "cli/context.h"
#include "cli/items.h"

namespace ks::cli {
namespace {

Status run(Context& context, const Args& args) {
    if (Status s = context.open_wallet(args.positional[0], true); !s.ok()) return s;
    WalletDocument& doc = context.document;
    int parent = kNoIndex;
    std::u16string name;
    if (Status s = resolve_new_item(doc, args.positional[1], parent, name); !s.ok()) return s;
    if (is_my_forms(doc, parent))
        return fail(Exit::Refused, "My Forms holds forms only, no folders.");
    TreeNode folder = doc.new_folder(parent == kNoIndex ? NodeId{} : doc.node(parent)->id());
    folder.set_name(name);
    const int index = doc.store_folder(folder);
    if (index < 0) return change_failed(doc, "The folder could not be written to the wallet");
    context.io.out << item_path(doc, index) << "\n";
    return Status::fine();
}

}  // namespace

Command mkdir_command() {
    return {"mkdir",
            "WALLET PATH",
            "Create a folder; the last part of PATH is its name, the rest an existing folder.",
            {},
            2,
            2,
            run};
}

}  // namespace ks::cli
