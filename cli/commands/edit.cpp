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
    auto set = [&](std::u16string_view label, std::u16string_view value) -> Status {
        auto field = field_by_label(*card, label);
        if (!field)
            return fail(Exit::NotFound, "The card has no field \"" + to_utf8(label) + "\".");
        return set_field_text(card->field(*field), value);
    };
    for (const std::string& assignment : args.values("--set")) {
        std::u16string label, value;
        if (Status s = split_assignment(assignment, label, value); !s.ok()) return s;
        if (Status s = set(label, value); !s.ok()) return s;
    }
    for (const std::string& label : args.values("--unset"))
        if (Status s = set(from_utf8(label), u""); !s.ok()) return s;
    if (doc.update_card(*card) < 0)
        return fail(Exit::IoFailure, "The card could not be written to the wallet.");
    return Status::fine();
}

}  // namespace

Command edit_command() {
    return {"edit",
            "WALLET CARD",
            "Change a card's name and field values.",
            {{"--name", "NEW", "the card's new name"},
             {"--set", "LABEL=VALUE", "set the field with that label", true},
             {"--unset", "LABEL", "empty the field with that label", true}},
            2,
            2,
            run};
}

}  // namespace ks::cli
