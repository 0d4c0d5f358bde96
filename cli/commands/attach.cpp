#include "cli/attachments.h"
#include "cli/commands/commands.h"
#include "cli/context.h"
#include "cli/items.h"

namespace ks::cli {
namespace {

Status run(Context& context, const Args& args) {
    int index = kNoIndex;
    std::optional<Card> card;
    if (Status s = context.open_card(args.positional[0], args.positional[1], true, index, &card);
        !s.ok())
        return s;
    WalletDocument& doc = context.document;
    FileAttachment attachment;
    if (!attachment.set_from_file(args.positional[2]))
        return fail(Exit::IoFailure, "\"" + args.positional[2] + "\" cannot be read, or is empty.");
    // Attachments are named by their file name, so two of one name could not be told apart.
    if (attachment_named(*card, attachment.name()))
        return fail(Exit::Refused, "The card has an attachment of that name already.");
    if (!card->add_file(std::move(attachment)))
        return fail(Exit::Refused, "The card holds ten attached files already.");
    if (doc.update_card(*card) < 0)
        return change_failed(doc, "The card could not be written to the wallet");
    return Status::fine();
}

}  // namespace

Command attach_command() {
    return {
        "attach", "WALLET CARD FILE", "Attach a file to a card (at most ten per card).", {}, 3, 3,
        run};
}

}  // namespace ks::cli
