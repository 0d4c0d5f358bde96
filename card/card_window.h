#pragma once
// The card window: one card shown in view mode, edited, or redesigned, in a dialog that fills
// the main window. Closing tells its owner what became of the card (CVM_CARDCLOSED with 0
// unchanged or abandoned, 3 changed, 4 to be deleted); the owner stores or deletes it.
#include <QPointer>

#include <functional>
#include <string>

#include "card/card_list.h"
#include "card/full_screen_dialog.h"
#include "card/rules/attachment_files.h"

namespace ks {
class Card;
}

namespace ks::gui {

class CardDialogs;
class ItemImages;

constexpr uint32_t CVM_CLOSECARD = 2626;
constexpr uint32_t CVM_EDITORFLAGS = 2729;
constexpr uint32_t CVM_CARDCLOSED = 3027;
constexpr uint32_t CVM_DELETECONFIRMED = 3524;

enum class CardClosed : int { Unchanged = 0, Changed = 3, Deleted = 4 };

// Filled by the opener and kept for the life of the window; cleared when it closes.
struct CardWindowRequest {
    Card* card = nullptr;
    QPointer<QObject> owner;  // receives the notification
    bool modeless = false;
    uint32_t notification = CVM_CARDCLOSED;
    int current_field = -1;  // the field selected in the view; edit mode starts on it
    bool read_only = false;  // the wallet cannot be changed: the card is only shown
};

struct CardWindowStart {
    CardMode mode = CardMode::View;
    bool on_card_name = false;  // a new card: edit mode opens on its name
};

class CardWindow final : public FullScreenDialog {
    Q_OBJECT
  public:
    CardWindow(QWidget* owner, CardWindowRequest& request, CardWindowStart start,
               CardDialogs& dialogs, ItemImages& images);
    ~CardWindow() override;

    CardList* list() const { return list_; }
    CardMode mode() const { return list_->mode(); }
    OpenedFiles& opened_files() { return opened_; }
    void run_command(int id) override;
    // Dismissal (the wallet closes): the window ends as Cancel would, without a question.
    void reject() override;

    // Replaceable for tests: opens a mailto:, tel: or web address with the desktop.
    std::function<void(const std::string& address)> open_address;

  protected:
    void on_done() override;
    void keyPressEvent(QKeyEvent* event) override;
    bool event(QEvent* event) override;

  private:
    void set_mode(CardMode mode, int field);
    void update_title();
    void update_menu();
    void enable_menu();
    void cancel();
    void delete_card();
    void close_card(int result, CardClosed notice);
    void delete_opened_copies();
    void activate(const Activation& activation);
    void play_sound_when_viewed();
    void refresh_view();

    CardWindowRequest& request_;
    Card& card_;
    CardDialogs& dialogs_;
    ItemImages& images_;
    CardList* list_;
    OpenedFiles opened_;
    bool read_only_;
    int editor_flags_ = 0;  // the low bits of the last CVM_EDITORFLAGS
    bool closing_ = false;
};

}  // namespace ks::gui
