#include "cli/attachments.h"
#include "cli/commands/commands.h"
#include "cli/context.h"
#include "cli/items.h"
#include "platform/text.h"

namespace ks::cli {
namespace {

Status run(Context& context, const Args& args) {
    int index = kNoIndex;
    std::optional<Card> card;
    if (Status s = context.open_card(args.positional[0], args.positional[1], true, index, &card);
        !s.ok())
        return s;
    WalletDocument& doc = context.document;
    AttachmentData* attachment = attachment_named(*card, from_utf8(args.positional[2]));
    if (!attachment)
        return fail(Exit::NotFound, "The card has no attachment \"" + args.positional[2] + "\".");
    attachment->clear_data();
    if (doc.update_card(*card) < 0)
        return change_failed(doc, "The card could not be written to the wallet");
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
