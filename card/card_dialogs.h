#pragma once
// The dialogs a card window opens that live in the dialogs layer above it (appearance, icon,
// attachments, sound). The program passes its own set; tests pass scripted ones.
#include <memory>

class QWidget;

namespace ks {
class Card;
class OpenedFiles;
class TreeNode;
}  // namespace ks

namespace ks::gui {

class ItemImages;

class CardDialogs {
  public:
    virtual ~CardDialogs() = default;
    // Text/Colors: true when Done left the card's style different.
    virtual bool text_colors(QWidget* owner, Card& card) = 0;
    // Background: the card's picture changes on Done; true after Done.
    virtual bool background(QWidget* owner, Card& card) = 0;
    // Icon: true when the node's icon changed.
    virtual bool icon(QWidget* owner, TreeNode& node, ItemImages& images) = 0;
    // Attachments: every change reaches the card at once; opened copies are noted in `opened`.
    virtual void attachments(QWidget* owner, Card& card, OpenedFiles& opened) = 0;
    // Sound: the card's sound changes on Done.
    virtual void sound(QWidget* owner, Card& card) = 0;
    // Open of an attachment line in the view (as the Attachments dialog's Open).
    virtual void open_attachment(QWidget* owner, const Card& card, int slot,
                                 OpenedFiles& opened) = 0;
};

}  // namespace ks::gui
