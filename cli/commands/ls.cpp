#include <nlohmann/json.hpp>

#include "cli/commands/commands.h"
#include "cli/context.h"
#include "cli/items.h"
#include "platform/text.h"

namespace ks::cli {
namespace {

const char* kind_word(NodeKind kind) {
    switch (kind) {
        case NodeKind::Card:
            return "card";
        case NodeKind::MyForms:
            return "my-forms";
        default:
            return "folder";
    }
}

nlohmann::json to_json(const WalletDocument& doc, int index, bool recursive) {
    const TreeNode& n = *doc.node(index);
    nlohmann::json j = {{"name", to_utf8(n.name())},
                        {"kind", kind_word(n.kind())},
                        {"id", n.id().to_string()},
                        {"path", item_path(doc, index)}};
    if (n.kind() != NodeKind::Card && recursive) {
        j["children"] = nlohmann::json::array();
        for (int child : sorted_children(doc, index))
            j["children"].push_back(to_json(doc, child, true));
    }
    return j;
}

void print(std::ostream& out, const WalletDocument& doc, int parent, bool recursive, int depth) {
    for (int index : sorted_children(doc, parent)) {
        const TreeNode& n = *doc.node(index);
        const bool container = n.kind() != NodeKind::Card;
        out << std::string(static_cast<size_t>(depth) * 2, ' ') << escape_name(n.name())
            << (container ? "/" : "") << "\n";
        if (container && recursive) print(out, doc, index, true, depth + 1);
    }
}

Status run(Context& context, const Args& args) {
    if (Status s = context.open_wallet(args.positional[0], false); !s.ok()) return s;
    const WalletDocument& doc = context.document;
    int folder = kNoIndex;
    if (args.positional.size() > 1)
        if (Status s = resolve_folder(doc, args.positional[1], folder); !s.ok()) return s;
    const bool recursive = args.has("-R");
    if (context.json) {
        nlohmann::json items = nlohmann::json::array();
        for (int child : sorted_children(doc, folder))
            items.push_back(to_json(doc, child, recursive));
        context.io.out << items.dump(2) << "\n";
    } else {
        print(context.io.out, doc, folder, recursive, 0);
    }
    return Status::fine();
}

}  // namespace

Command ls_command() {
    return {"ls",
            "WALLET [FOLDER]",
            "List the folders and cards of the top level or of FOLDER, as the tree sorts them "
            "(folders end in \"/\").",
            {{"-R", "", "list everything below, indented"}},
            1,
            2,
            run,
            true};
}

}  // namespace ks::cli
