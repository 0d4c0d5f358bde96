#include "cli/commands/commands.h"
#include "cli/context.h"
#include "cli/fields.h"
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
    if (auto name = args.value("--name")) {
        if (name->empty()) return fail(Exit::Usage, "The new name is empty.");
        card->node()->set_name(from_utf8(*name));
    }
    if (Status s = fill_fields(context, args, *card, "The card"); !s.ok()) return s;
    for (const std::string& label : args.values("--unset")) {
        auto field = field_by_label(*card, from_utf8(label));
        if (!field) return fail(Exit::NotFound, "The card has no field \"" + label + "\".");
        if (Status s = set_field_text(card->field(*field), u""); !s.ok()) return s;
    }
    if (doc.update_card(*card) < 0)
        return change_failed(doc, "The card could not be written to the wallet");
    return Status::fine();
}

}  // namespace

Command edit_command() {
    return {"edit",
            "WALLET CARD",
            "Change a card's name and field values.",
            {{"--name", "NEW", "the card's new name"},
             {"--set", "LABEL=VALUE", "set the field with that label", true},
             {"--set-stdin", "LABEL",
              "set the field with that label from the terminal (echo off) or a line of standard "
              "input; keeps the value off the command line",
              true},
             {"--unset", "LABEL", "empty the field with that label", true}},
            2,
            2,
            run};
}

}  // namespace ks::cli
