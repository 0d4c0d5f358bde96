#include <algorithm>

#include <nlohmann/json.hpp>

#include "cli/commands/commands.h"
#include "cli/context.h"
#include "cli/items.h"
#include "cli/shown_text.h"
#include "platform/text.h"

namespace ks::cli {
namespace {

// Deeper levels are indented no further: they start with their depth instead, so that a chain
// as deep as a file makes it does not make the listing grow with the square of its depth.
constexpr size_t kMaxIndentLevels = 64;

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

std::string indent(size_t depth) {
    if (depth < kMaxIndentLevels) return std::string(depth * 2, ' ');
    return std::string(kMaxIndentLevels * 2, ' ') + "[depth " + std::to_string(depth) + "] ";
}

std::string json_indent(size_t depth) {
    return std::string(std::min(depth, kMaxIndentLevels) * 2, ' ');
}

nlohmann::json item_json(const TreeNode& n, const std::string& path) {
    return {{"name", to_utf8(n.name())},
            {"kind", kind_word(n.kind())},
            {"id", n.id().to_string()},
            {"path", path}};
}

void print_lines(std::ostream& out, const WalletDocument& doc, const FolderTree& tree, int folder,
                 bool recursive) {
    auto line = [&](int index, size_t depth) {
        const TreeNode& n = *doc.node(index);
        out << indent(depth) << escape_name(n.name()) << (n.kind() != NodeKind::Card ? "/" : "")
            << "\n";
    };
    if (!recursive) {
        for (int index : tree.children(folder)) line(index, 0);
        return;
    }
    for (const FolderTree::Step& step : tree.below(folder)) line(step.index, step.depth);
}

// The listing below `folder` as one JSON array, every folder's items nested in its "children".
// It is written as the walk goes, never held whole: the nesting is as deep as the tree.
void print_json_tree(std::ostream& out, const WalletDocument& doc, const FolderTree& tree,
                     int folder) {
    std::string path = folder == kNoIndex ? "" : item_path(doc, folder);
    // The length of the path of each level's folder, by depth; the "children" arrays open; and
    // whether the innermost open array is still empty.
    std::vector<size_t> path_length = {path.size()};
    size_t open = 0;
    bool first = true;
    out << "[";
    for (const FolderTree::Step& step : tree.below(folder)) {
        if (open > step.depth) {
            for (; open > step.depth; --open) out << "\n" << json_indent(open) << "]}";
            first = false;
        }
        const TreeNode& n = *doc.node(step.index);
        path.resize(path_length[step.depth]);
        path += (path.empty() ? "" : "/") + escape_name(n.name());
        path_length.resize(step.depth + 1);
        path_length.push_back(path.size());

        std::string object = json_text(item_json(n, path), -1);
        object.pop_back();  // the closing brace
        out << (first ? "" : ",") << "\n" << json_indent(step.depth + 1) << object;
        if (n.kind() == NodeKind::Card) {
            out << "}";
            first = false;
        } else {
            out << ",\"children\":[";
            ++open;
            first = true;
        }
    }
    for (; open > 0; --open) out << "\n" << json_indent(open) << "]}";
    out << "\n]\n";
}

Status run(Context& context, const Args& args) {
    if (Status s = context.open_wallet(args.positional[0], false); !s.ok()) return s;
    const WalletDocument& doc = context.document;
    int folder = kNoIndex;
    if (args.positional.size() > 1)
        if (Status s = resolve_folder(doc, args.positional[1], folder); !s.ok()) return s;
    const bool recursive = args.has("-R");
    const FolderTree tree(doc, ChildOrder::Tree);
    if (context.json && recursive) {
        print_json_tree(context.io.out, doc, tree, folder);
    } else if (context.json) {
        nlohmann::json items = nlohmann::json::array();
        for (int child : tree.children(folder))
            items.push_back(item_json(*doc.node(child), item_path(doc, child)));
        context.io.out << json_text(items) << "\n";
    } else {
        print_lines(context.io.out, doc, tree, folder, recursive);
    }
    // A listing of everything below leaves out what sits in a cycle: that is damage.
    if (recursive && tree.walk_meets_cycle(folder))
        return cycle_damage(tree.cycle_folders().size());
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
