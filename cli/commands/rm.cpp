#include "cli/commands/commands.h"
#include "cli/context.h"
#include "cli/items.h"

namespace ks::cli {
namespace {

// Deletes everything below `index`, each item before the folder that holds it, then the node
// itself.
bool remove_tree(WalletDocument& doc, const FolderTree& tree, int index) {
    const std::vector<FolderTree::Step> below = tree.below(index);
    for (auto step = below.rbegin(); step != below.rend(); ++step)
        if (!doc.remove(step->index)) return false;
    return doc.remove(index);
}

Status run(Context& context, const Args& args) {
    if (Status s = context.open_wallet(args.positional[0], true); !s.ok()) return s;
    WalletDocument& doc = context.document;
    int index = kNoIndex;
    if (Status s = resolve_item(doc, args.positional[1], index); !s.ok()) return s;
    if (doc.kind_of(index) == static_cast<int>(NodeKind::MyForms))
        return fail(Exit::Refused, "My Forms cannot be deleted.");
    const FolderTree tree(doc, ChildOrder::List);
    if (!tree.children(index).empty() && !args.has("--recursive"))
        return fail(Exit::Refused, "\"" + args.positional[1] +
                                       "\" is a folder with items in it; add --recursive to delete "
                                       "them all.");
    if (!remove_tree(doc, tree, index))
        return change_failed(doc, "The item could not be deleted from the wallet");
    return context.save();  // the favourites may have changed
}

}  // namespace

Command rm_command() {
    return {"rm",
            "WALLET ITEM",
            "Delete a card or an empty folder.",
            {{"--recursive", "", "delete a folder with everything below it"}},
            2,
            2,
            run};
}

}  // namespace ks::cli
