#include "card/rules/card_session.h"

#include <algorithm>

namespace ks {

bool card_modified(const Card& card) {
    if (card.dirty() || (card.node() && card.node()->dirty())) return true;
    return std::ranges::any_of(card.fields(),
                               [](const FieldRecord& f) { return f.change_bits() != 0; });
}

}  // namespace ks
