// Parses arbitrary bytes as a card payload under a fixed key. A payload that parses is written
// again and must read back to the same card.
#include <cstddef>
#include <cstdint>
#include <span>

#include "core/card.h"
#include "core/keys.h"
#include "fuzz/fuzz_support.h"

namespace {

const ks::KeyContext& fixed_key() {
    static const ks::KeyContext key = ks::form_file_key();
    return key;
}

bool same_fields(const ks::Card& a, const ks::Card& b) {
    if (a.fields().size() != b.fields().size()) return false;
    for (size_t i = 0; i < a.fields().size(); ++i) {
        const ks::FieldRecord& x = a.fields()[i];
        const ks::FieldRecord& y = b.fields()[i];
        if (x.kind() != y.kind() || x.label() != y.label() || x.value() != y.value()) return false;
        // Only the list kinds show and store their list; another kind's is never used.
        if (ks::is_list_kind(x.kind()) && x.list() != y.list()) return false;
    }
    return true;
}

}  // namespace

void ks::fuzz::fuzz(std::span<const uint8_t> data) {
    ks::Card card;
    if (!card.parse_payload(data, fixed_key())) return;
    const ks::Bytes written = card.payload(fixed_key());
    ks::fuzz::require(written.size() == card.payload_size());
    ks::Card again;
    ks::fuzz::require(again.parse_payload(written, fixed_key()));
    ks::fuzz::require(same_fields(card, again));
    ks::fuzz::require(again.file_count() == card.file_count());
    ks::fuzz::require(again.picture().has_data() == card.picture().has_data());
    ks::fuzz::require(again.sound().has_data() == card.sound().has_data());
}
