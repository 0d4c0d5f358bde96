#include "core/search.h"

#include <algorithm>

#include "core/wallet_file.h"
#include "platform/text.h"

namespace ks {
namespace {

// `needle` is already folded. Folds the haystack a unit at a time rather than into a copy, which
// would leave a field's value behind in freed memory.
bool contains_folded(std::u16string_view haystack, std::u16string_view needle) {
    const auto folded_equal = [](char16_t h, char16_t n) { return to_lower(h) == n; };
    return std::search(haystack.begin(), haystack.end(), needle.begin(), needle.end(),
                       folded_equal) != haystack.end() ||
           needle.empty();
}

bool fields_match(const Card& card, std::u16string_view needle) {
    const auto& fields = card.fields();
    const size_t count = std::min(fields.size(), kMaxSearchedFields);
    for (size_t i = 0; i < count; ++i) {
        if (contains_folded(fields[i].label(), needle)) return true;
        if (contains_folded(fields[i].display_text(), needle)) return true;
    }
    return false;
}

}  // namespace

std::u16string normalise_search_text(std::u16string_view text) {
    size_t start = 0;
    while (start < text.size() && is_white_space(text[start])) ++start;
    std::u16string_view rest = text.substr(start, kMaxSearchTextLength);
    while (!rest.empty() && is_white_space(rest.back())) rest.remove_suffix(1);
    if (rest.size() < 2) return {};
    return to_lower(rest);
}

size_t search_wallet(WalletDocument& document, std::u16string_view text, SearchResults& results) {
    const std::u16string needle = normalise_search_text(text);
    if (needle.empty() || !document.is_open()) return 0;

    // The walk reads the file itself, through a handle of its own, with the document's key.
    File file = File::open(document.path(), FileMode::ReadOnly);
    if (!file.is_open()) return 0;
    const KeyContext& key = document.record_key();
    size_t hits = 0;
    skip_to_nodes(file);
    while (results.indexes.size() < kMaxSearchHits) {
        TreeNode node;
        if (read_node(file, node, &key) != StorageResult::Done) break;
        const uint64_t payload_start = file.position();
        const uint64_t next = payload_start + node.header().payload_length();
        if (node.kind() == NodeKind::Card && !node.deleted()) {
            const std::u16string name = node.name();
            bool hit = name.size() >= 2 && contains_folded(name, needle);
            if (!hit) {
                Card card;
                card.set_node(node);
                hit = card.read(file, key) && fields_match(card, needle);
            }
            if (hit) {
                const int index = document.list_index_of(node.id());
                if (index >= 0) {
                    results.indexes.push_back(index);
                    ++hits;
                }
            }
        }
        file.seek(next);
    }
    if (hits > 0) results.text = std::u16string(text.substr(0, kMaxStoredSearchTextLength));
    return hits;
}

}  // namespace ks
