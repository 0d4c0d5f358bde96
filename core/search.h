#pragma once
// The wallet search: finds a text in the names, field labels and field display texts of every
// live card, in file order.
#include <string>
#include <string_view>
#include <vector>

#include "core/wallet_document.h"

namespace ks {

constexpr size_t kMaxSearchHits = 48;
constexpr size_t kMaxSearchTextLength = 63;
constexpr size_t kMaxStoredSearchTextLength = 127;
constexpr size_t kMaxSearchedFields = 256;

// The shell's search result list: node-list indexes and the text that found them.
struct SearchResults {
    std::vector<int> indexes;
    std::u16string text;
    void clear() {
        indexes.clear();
        text.clear();
    }
};

// The text as searched: leading and trailing white space dropped, at most 63 characters,
// lower-cased; empty when fewer than two characters remain.
std::u16string normalise_search_text(std::u16string_view text);

// Appends up to 48 hits to `results` and returns their number; with at least one hit, the text
// as given (cut to 127 characters) becomes the stored search text.
size_t search_wallet(WalletDocument& document, std::u16string_view text, SearchResults& results);

}  // namespace ks
