#include "cli/commands/commands.h"
#include "cli/context.h"
#include "cli/items.h"

namespace ks::cli {
namespace {

Status run(Context& context, const Args& args) {
    const auto& p = args.positional;
    const bool change = p.size() > 1;
    if (change && (p.size() != 3 || (p[1] != "add" && p[1] != "rm")))
        return fail(Exit::Usage, "fav takes WALLET, or WALLET add CARD, or WALLET rm CARD.");
    if (Status s = context.open_wallet(p[0], change); !s.ok()) return s;
    WalletDocument& doc = context.document;
    if (!change) {
        for (const NodeId& id : doc.favourites()) {
            const int index = doc.list_index_of(id);
            if (index != kNoIndex) context.io.out << item_path(doc, index) << "\n";
        }
        return Status::fine();
    }
    int index = kNoIndex;
    if (Status s = resolve_item(doc, p[2], index); !s.ok()) return s;
    const NodeId id = doc.node(index)->id();
    if (p[1] == "add") {
        if (doc.kind_of(index) != static_cast<int>(NodeKind::Card))
            return fail(Exit::Refused, "Only cards can be favourites.");
        if (!doc.add_favourite(id))
            return fail(Exit::Refused, "The favourites are full (32 cards).");
    } else {
        if (!doc.is_favourite(id))
            return fail(Exit::NotFound, "\"" + p[2] + "\" is not a favourite.");
        doc.remove_favourite(id);
    }
    return context.save();
}

}  // namespace

Command fav_command() {
    return {"fav",
            "WALLET [add|rm CARD]",
            "List the favourite cards, or add a card to them or remove one.",
            {},
            1,
            3,
            run};
}

}  // namespace ks::cli
