#include <nlohmann/json.hpp>

#include "cli/commands/commands.h"
#include "cli/context.h"
#include "cli/items.h"
#include "cli/shown_text.h"
#include "core/search.h"
#include "platform/text.h"

namespace ks::cli {
namespace {

Status run(Context& context, const Args& args) {
    if (Status s = context.open_wallet(args.positional[0], false); !s.ok()) return s;
    WalletDocument& doc = context.document;
    const std::u16string text = from_utf8(args.positional[1]);
    if (normalise_search_text(text).empty())
        return fail(Exit::Usage, "The search text needs at least two characters.");
    SearchResults results;
    search_wallet(doc, text, results);
    if (context.json) {
        nlohmann::json hits = nlohmann::json::array();
        for (int index : results.indexes)
            hits.push_back(
                {{"path", item_path(doc, index)}, {"id", doc.node(index)->id().to_string()}});
        context.io.out << json_text(hits) << "\n";
    } else {
        for (int index : results.indexes) context.io.out << item_path(doc, index) << "\n";
    }
    return Status::fine();
}

}  // namespace

Command find_command_def() {
    return {"find",
            "WALLET TEXT",
            "Search the names, field labels and values of every card (at most 48 hits, in file "
            "order); prints the hits' paths.",
            {},
            2,
            2,
            run,
            true};
}

}  // namespace ks::cli
