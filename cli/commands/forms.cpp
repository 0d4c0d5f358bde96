#include <nlohmann/json.hpp>

#include "cli/commands/commands.h"
#include "cli/context.h"
#include "cli/shown_text.h"
#include "forms/forms.h"
#include "platform/text.h"

namespace ks::cli {
namespace {

Status run(Context& context, const Args& args) {
    if (Status s = context.open_wallet(args.positional[0], false); !s.ok()) return s;
    nlohmann::json list = nlohmann::json::array();
    for (const FormEntry& e : form_chooser_entries(context.document)) {
        auto builtin = is_builtin_form(e.id);
        if (context.json) {
            nlohmann::json j = {
                {"name", to_utf8(e.name)}, {"id", e.id.to_string()}, {"user", e.user_form}};
            if (builtin) j["number"] = *builtin;
            list.push_back(j);
        } else if (builtin) {
            context.io.out << (*builtin < 10 ? " " : "") << *builtin << "  " << shown_text(e.name)
                           << "\n";
        } else {
            context.io.out << e.id.to_string() << "  " << shown_text(e.name) << "\n";
        }
    }
    if (context.json) context.io.out << json_text(list) << "\n";
    return Status::fine();
}

}  // namespace

Command forms_command() {
    return {"forms",
            "WALLET",
            "List the forms a new card can be made from, as the card type chooser shows them: "
            "the wallet's own forms (by id), then the built-in forms (by number).",
            {},
            1,
            1,
            run,
            true};
}

}  // namespace ks::cli
