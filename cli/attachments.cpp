#include "cli/attachments.h"

namespace ks::cli {

AttachmentData* attachment_named(Card& card, std::u16string_view name) {
    for (size_t slot = 0; slot < card.files().size(); ++slot)
        if (card.files()[slot].has_data() && card.files()[slot].name() == name)
            return &card.file(slot);
    if (card.picture().has_data() && card.picture().name() == name) return &card.picture();
    if (card.sound().has_data() && card.sound().name() == name) return &card.sound();
    return nullptr;
}

}  // namespace ks::cli
