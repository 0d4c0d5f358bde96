#include "dialogs/card_dialog_set.h"

#include "core/card.h"
#include "core/node.h"
#include "dialogs/appearance_dialogs.h"
#include "dialogs/item_dialogs.h"

namespace ks::gui {

bool StandardCardDialogs::text_colors(QWidget* owner, Card& card) {
    TextColorsDialog dialog(owner, card);
    return dialog.exec() == QDialog::Accepted && dialog.changed();
}

bool StandardCardDialogs::background(QWidget* owner, Card& card) {
    BackgroundDialog dialog(owner, card);
    return dialog.exec() == QDialog::Accepted;
}

bool StandardCardDialogs::icon(QWidget* owner, TreeNode& node, ItemImages& images) {
    const auto picture = node.icon_image_unpadded();
    IconDialog dialog(owner, IconChoice{node.icon(), {picture.begin(), picture.end()}}, images);
    if (dialog.exec() != QDialog::Accepted || !dialog.chosen()) return false;
    const IconChoice& chosen = *dialog.chosen();
    if (chosen.number == kCustomIcon) return node.set_icon_image(chosen.picture);
    node.set_icon(chosen.number);
    return true;
}

void StandardCardDialogs::attachments(QWidget* owner, Card& card, OpenedFiles& opened) {
    AttachmentsDialog dialog(owner, card, opened);
    dialog.open_with = open_with;
    dialog.exec();
}

void StandardCardDialogs::sound(QWidget* owner, Card& card) {
    SoundDialog dialog(owner, card);
    dialog.exec();
}

void StandardCardDialogs::open_attachment(QWidget*, const Card& card, int slot,
                                          OpenedFiles& opened) {
    if (slot < 0 || static_cast<size_t>(slot) >= card.files().size()) return;
    open_attachment_file(card.files()[static_cast<size_t>(slot)], opened, open_with);
}

}  // namespace ks::gui
