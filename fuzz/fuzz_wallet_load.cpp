// Opens arbitrary bytes as a wallet, with and without the password, and walks everything a
// loaded wallet offers: every card's payload and the search over names, labels and values.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "core/search.h"
#include "core/wallet_document.h"
#include "fuzz/fuzz_support.h"

namespace {

constexpr std::u16string_view kPassword = u"secret";

void walk(std::span<const uint8_t> data, std::optional<std::u16string_view> password) {
    // Opening may finish an interrupted change and so write: start from the input every time.
    const auto path = ks::fuzz::write_scratch_file("wallet.ks5", data);
    if (path.empty()) return;
    ks::WalletDocument document;
    if (document.load(path, password) != ks::OpenResult::Opened) {
        ks::fuzz::require(!document.is_open());
        return;
    }
    const int count = static_cast<int>(document.nodes().size());
    for (int i = 0; i < count; ++i) {
        ks::fuzz::require(document.node(i) != nullptr);
        document.kind_of(i);
        document.parent_folder_index_of(i);
        if (document.node(i)->kind() != ks::NodeKind::Card) continue;
        if (auto card = document.load_card(i)) {
            for (const ks::FieldRecord& field : card->fields()) {
                (void)field.label();
                (void)field.value();
            }
        }
    }
    document.children_of(ks::kNoIndex);
    ks::SearchResults results;
    const size_t hits = ks::search_wallet(document, u"ex", results);
    ks::fuzz::require(hits <= ks::kMaxSearchHits && results.indexes.size() == hits);
    for (int index : results.indexes) ks::fuzz::require(document.node(index) != nullptr);
    document.close();
}

}  // namespace

void ks::fuzz::fuzz(std::span<const uint8_t> data) {
    ks::fuzz::use_english_texts();
    walk(data, std::nullopt);
    walk(data, kPassword);
}
