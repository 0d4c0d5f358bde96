#include <charconv>

#include "cli/commands/commands.h"
#include "cli/context.h"
#include "cli/fields.h"
#include "cli/items.h"
#include "forms/forms.h"
#include "platform/text.h"

namespace ks::cli {
namespace {

// --form NUMBER (a built-in form) or NAME (a form of that name, the wallet's own first).
Status choose_form(const WalletDocument& doc, const std::optional<std::string>& given,
                   FormId& form) {
    if (!given) {
        form = builtin_form_id(0);
        return Status::fine();
    }
    unsigned number = 0;
    const auto [end, ec] = std::from_chars(given->data(), given->data() + given->size(), number);
    if (ec == std::errc() && end == given->data() + given->size()) {
        if (number >= kBuiltInFormCount)
            return fail(Exit::NotFound, "There is no built-in form " + *given + " (0 to 42).");
        form = builtin_form_id(number);
        return Status::fine();
    }
    const std::u16string wanted = to_lower(from_utf8(*given));
    for (const FormEntry& e : form_chooser_entries(doc)) {
        if (to_lower(e.name) != wanted) continue;
        form = e.id;
        return Status::fine();
    }
    return fail(Exit::NotFound,
                "No form is named \"" + *given + "\"; \"keystash-cli forms\" lists them.");
}

Status run(Context& context, const Args& args) {
    if (Status s = context.open_wallet(args.positional[0], true); !s.ok()) return s;
    WalletDocument& doc = context.document;
    int parent = kNoIndex;
    std::u16string name;
    if (Status s = resolve_new_item(doc, args.positional[1], parent, name); !s.ok()) return s;
    FormId form;
    if (Status s = choose_form(doc, args.value("--form"), form); !s.ok()) return s;
    auto card =
        new_card_from_form(doc, parent == kNoIndex ? NodeId{} : doc.node(parent)->id(), form);
    if (!card) return fail(Exit::BadWallet, "The form could not be read from the wallet.");
    card->node()->set_name(name);
    if (Status s = fill_fields(context, args, *card, "The form"); !s.ok()) return s;
    const int index = doc.store_card(*card);
    if (index < 0) return change_failed(doc, "The card could not be written to the wallet");
    context.io.out << item_path(doc, index) << "\n";
    return Status::fine();
}

}  // namespace

Command add_command() {
    return {"add",
            "WALLET PATH",
            "Create a card from a form; the last part of PATH is its name, the rest an existing "
            "folder.",
            {{"--form", "NUMBER|NAME", "built-in form 0-42, or the form of that name (default 0)"},
             {"--set", "LABEL=VALUE", "fill the field with that label", true},
             {"--set-stdin", "LABEL",
              "fill the field with that label from the terminal (echo off) or a line of standard "
              "input; keeps the value off the command line",
              true}},
            2,
            2,
            run};
}

}  // namespace ks::cli
