#include "cli/commands/commands.h"
#include "cli/context.h"
#include "cli/items.h"
#include "forms/forms.h"

namespace ks::cli {
namespace {

Status run(Context& context, const Args& args) {
    if (Status s = context.open_wallet(args.positional[0], true); !s.ok()) return s;
    WalletDocument& doc = context.document;
    int index = kNoIndex;
    if (Status s = resolve_item(doc, args.positional[1], index); !s.ok()) return s;
    if (doc.kind_of(index) != static_cast<int>(NodeKind::Card))
        return fail(Exit::Refused, "Only a card can be saved as a form.");
    if (!doc.my_forms_folder()) return fail(Exit::BadWallet, "The wallet has no My Forms folder.");
    const int form = save_to_my_forms(doc, index);
    if (form < 0) return change_failed(doc, "The form could not be written to the wallet");
    context.io.out << item_path(doc, form) << "\n";
    return Status::fine();
}

}  // namespace

Command save_form_command() {
    return {
        "save-form",
        "WALLET CARD",
        "Save a card to My Forms as a form: labels, kinds, lists and attachments are kept, field "
        "values dropped.",
        {},
        2,
        2,
        run};
}

}  // namespace ks::cli
