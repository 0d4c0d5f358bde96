#pragma once
// The dialogs the program's card windows open: Text/Colors, Background, Icon, Attachments and
// Sound, and the Open of an attachment line.
#include "card/card_dialogs.h"
#include "dialogs/attachment_dialogs.h"

namespace ks::gui {

class StandardCardDialogs final : public CardDialogs {
  public:
    bool text_colors(QWidget* owner, Card& card) override;
    bool background(QWidget* owner, Card& card) override;
    bool icon(QWidget* owner, TreeNode& node, ItemImages& images) override;
    void attachments(QWidget* owner, Card& card, OpenedFiles& opened) override;
    void sound(QWidget* owner, Card& card) override;
    void open_attachment(QWidget* owner, const Card& card, int slot, OpenedFiles& opened) override;

    // How an opened attachment reaches the desktop; replaceable so that tests start nothing.
    DesktopOpener open_with = open_with_desktop;
};

}  // namespace ks::gui
