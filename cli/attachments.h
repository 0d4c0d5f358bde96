#pragma once
// Finding a card's attachment by its file name.
#include <string_view>

#include "core/card.h"

namespace ks::cli {

// The attached file, picture or sound of that name; nullptr when none.
AttachmentData* attachment_named(Card& card, std::u16string_view name);

}  // namespace ks::cli
