#include "cli/items.h"

#include <charconv>
#include <optional>
#include <unordered_set>
#include <utility>

#include "cli/shown_text.h"
#include "platform/text.h"

namespace ks::cli {
namespace {

bool is_container(const TreeNode& n) {
    return n.kind() == NodeKind::Folder || n.kind() == NodeKind::MyForms;
}

std::string list_ids(const WalletDocument& document, const std::vector<int>& indexes) {
    std::string ids;
    for (int i : indexes) ids += (ids.empty() ? "" : ", ") + document.node(i)->id().to_string();
    return ids;
}

// The character a backslash escape at the start of `text` stands for, as UTF-8, and the
// escape's length; nothing when `text` starts with no escape (the backslash is then taken as it
// is).
std::optional<std::pair<std::string, size_t>> decode_escape(std::string_view text) {
    if (text.size() < 2) return std::nullopt;
    switch (text[1]) {
        case '/':
        case '\\':
            return std::pair(std::string(1, text[1]), size_t{2});
        case 'n':
            return std::pair(std::string("\n"), size_t{2});
        case 't':
            return std::pair(std::string("\t"), size_t{2});
        case 'r':
            return std::pair(std::string("\r"), size_t{2});
        default:
            break;
    }
    const size_t digits = text[1] == 'x' ? 2 : text[1] == 'u' ? 4 : 0;
    if (digits == 0 || text.size() < 2 + digits) return std::nullopt;
    unsigned value = 0;
    const char* first = text.data() + 2;
    const auto [end, ec] = std::from_chars(first, first + digits, value, 16);
    if (ec != std::errc() || end != first + digits || (value >= 0xD800 && value <= 0xDFFF))
        return std::nullopt;
    return std::pair(to_utf8(std::u16string(1, static_cast<char16_t>(value))), 2 + digits);
}

}  // namespace

std::vector<std::u16string> split_item_path(std::string_view path) {
    std::vector<std::u16string> parts;
    std::string current;
    for (size_t i = 0; i < path.size(); ++i) {
        if (path[i] == '\\') {
            if (auto decoded = decode_escape(path.substr(i))) {
                current += decoded->first;
                i += decoded->second - 1;
                continue;
            }
        }
        if (path[i] == '/') {
            if (!current.empty()) parts.push_back(from_utf8(current));
            current.clear();
        } else {
            current += path[i];
        }
    }
    if (!current.empty()) parts.push_back(from_utf8(current));
    return parts;
}

std::string escape_name(std::u16string_view name) {
    std::u16string out;
    for (char16_t c : name) {
        if (c == u'/' || c == u'\\') out += u'\\';
        if (auto escape = escape_of(c))
            out += *escape;
        else
            out += c;
    }
    return to_utf8(out);
}

std::string item_path(const WalletDocument& document, int index) {
    std::vector<std::string> parts;
    std::unordered_set<int> passed;
    while (index != kNoIndex && passed.insert(index).second) {
        parts.push_back(escape_name(document.node(index)->name()));
        index = document.parent_folder_index_of(index);
    }
    std::string path;
    for (auto it = parts.rbegin(); it != parts.rend(); ++it)
        path += (path.empty() ? "" : "/") + *it;
    return path;
}

Status cycle_damage(size_t n) {
    return fail(Exit::BadWallet,
                "The wallet's folder tree is damaged: " + std::to_string(n) +
                    (n == 1 ? " folder sits" : " folders sit") +
                    " in a cycle, each below another, out of reach of the top level; "
                    "\"keystash-cli repair\" moves them to the top level.");
}

Status resolve_item(const WalletDocument& document, std::string_view text, int& index) {
    if (text.starts_with('{')) {
        auto id = NodeId::parse(text);
        if (!id) return fail(Exit::Usage, "\"" + std::string(text) + "\" is not an item id.");
        index = document.list_index_of(*id);
        if (index == kNoIndex || document.node(index)->deleted())
            return fail(Exit::NotFound, "No item has the id " + std::string(text) + ".");
        return Status::fine();
    }
    const std::vector<std::u16string> parts = split_item_path(text);
    if (parts.empty()) return fail(Exit::Usage, "An item path is needed.");
    // Follow every branch that fits, so that equal names are found, not guessed.
    const FolderTree tree(document, ChildOrder::List);
    std::vector<int> level = {kNoIndex};
    for (const std::u16string& part : parts) {
        std::vector<int> next;
        for (int parent : level) {
            for (int child : tree.children(parent))
                if (document.node(child)->name() == part) next.push_back(child);
        }
        level = std::move(next);
    }
    if (level.empty())
        return fail(Exit::NotFound, "No item is named \"" + std::string(text) + "\".");
    if (level.size() > 1)
        return fail(Exit::Usage, "Several items are named \"" + std::string(text) +
                                     "\"; name one by its id: " + list_ids(document, level) + ".");
    index = level.front();
    return Status::fine();
}

Status resolve_folder(const WalletDocument& document, std::string_view text, int& index) {
    if (split_item_path(text).empty() && !text.starts_with('{')) {
        index = kNoIndex;
        return Status::fine();
    }
    Status s = resolve_item(document, text, index);
    if (!s.ok()) return s;
    if (!is_container(*document.node(index)))
        return fail(Exit::Refused, "\"" + std::string(text) + "\" is a card, not a folder.");
    return s;
}

bool is_my_forms(const WalletDocument& document, int folder) {
    return folder != kNoIndex && document.kind_of(folder) == static_cast<int>(NodeKind::MyForms);
}

Status resolve_new_item(const WalletDocument& document, std::string_view text, int& parent,
                        std::u16string& name) {
    std::vector<std::u16string> parts = split_item_path(text);
    if (parts.empty()) return fail(Exit::Usage, "A name for the new item is needed.");
    name = parts.back();
    parts.pop_back();
    std::string folder;
    for (const auto& p : parts) folder += (folder.empty() ? "" : "/") + escape_name(p);
    return resolve_folder(document, folder, parent);
}

}  // namespace ks::cli
