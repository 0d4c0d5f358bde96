#include "cli/attachments.h"
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
    if (doc.kind_of(index) != static_cast<int>(NodeKind::Card))
        return fail(Exit::Refused, "\"" + args.positional[1] + "\" is a folder, not a card.");
    auto card = doc.load_card(index);
    if (!card)
        return fail(Exit::BadWallet, "The card \"" + args.positional[1] + "\" cannot be read.");
    AttachmentData* attachment = attachment_named(*card, from_utf8(args.positional[2]));
    if (!attachment)
        return fail(Exit::NotFound, "The card has no attachment \"" + args.positional[2] + "\".");
    attachment->clear_data();
    if (doc.update_card(*card) < 0)
        return fail(Exit::IoFailure, "The card could not be written to the wallet.");
    return Status::fine();
}

}  // namespace

Command detach_command() {
    return {"detach",
            "WALLET CARD NAME",
            "Remove the attachment of that file name from a card.",
            {},
            3,
            3,
            run};
}

}  // namespace ks::cli
