#pragma once
// What the card window asks of the card it holds: whether it differs from the card it was
// given.
#include "core/card.h"

namespace ks {

// The card's modified test: its own changed flag (style, picture, sound, attachments, the
// field list), its node's (name, icon), or a change noted on any field.
bool card_modified(const Card& card);

}  // namespace ks
