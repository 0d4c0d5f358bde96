#include "card/card_window.h"

#include <QAction>
#include <QApplication>
#include <QDesktopServices>
#include <QKeyEvent>
#include <QUrl>
#include <QVBoxLayout>

#include <utility>

#include "card/card_dialogs.h"
#include "card/card_editors.h"
#include "card/notes_dialog.h"
#include "card/rules/card_session.h"
#include "card/selection_field_dialog.h"
#include "card/title_strip.h"
#include "core/card.h"
#include "platform/message_format.h"
#include "platform/text_ids.h"
#include "platform/texts.h"
#include "shell/gui/commands.h"
#include "shell/gui/gui_services.h"
#include "shell/gui/item_images.h"
#include "shell/gui/messages.h"
#include "shell/gui/soft_keys.h"
#include "shell/gui/sound_player.h"
#include "shell/settings.h"

namespace ks::gui {

namespace {

constexpr int kFormDesignStrip = 222;

int menu_for(CardMode mode) {
    const bool expanded = app_settings().MenusExpanded != 0;
    switch (mode) {
        case CardMode::View: return expanded ? menu_id::kCardViewExpanded : menu_id::kCardView;
        case CardMode::Edit: return expanded ? menu_id::kEditModeExpanded : menu_id::kEditMode;
        case CardMode::Design:
            return expanded ? menu_id::kFormDesignExpanded : menu_id::kFormDesign;
    }
    return menu_id::kCardView;
}

bool is_clipboard_command(int id) {
    return id == cmd::kEditCut || id == cmd::kEditCopy || id == cmd::kEditPaste ||
           id == cmd::kEditClear || id == cmd::kEditSelectAll;
}

}  // namespace

CardWindow::CardWindow(QWidget* owner, CardWindowRequest& request, CardWindowStart start,
                       CardDialogs& dialogs, ItemImages& images)
    : FullScreenDialog(owner, menu_for(start.mode)),
      request_(request),
      card_(*request.card),
      dialogs_(dialogs),
      images_(images),
      read_only_(request.read_only) {
    setObjectName(QStringLiteral("CardWindow"));
    body()->setContentsMargins(0, 0, 0, 0);
    const int field = start.on_card_name ? -1 : request.current_field;
    list_ = new CardList(card_, start.mode, start.mode == CardMode::Edit ? field : 0, this);
    body()->addWidget(list_, 1);
    list_->edit_notes = [this](const QString& title, const QString& text) {
        return NotesDialog::edit(this, title, text);
    };
    list_->edit_selection_list = [this](FieldRecord& f) { return SelectionFieldDialog::edit(this, f); };
    connect(list_, &CardList::activated, this,
            [this](const Activation& a, int) { activate(a); });
    connect(list_, &CardList::selection_changed, this,
            [this](int field) { request_.current_field = field; });
    open_address = [](const std::string& address) {
        QDesktopServices::openUrl(QUrl(QString::fromStdString(address)));
    };
    update_menu();
    update_title();
    if (start.mode == CardMode::View) play_sound_when_viewed();
}

CardWindow::~CardWindow() {
    if (!closing_) delete_opened_copies();
}

void CardWindow::play_sound_when_viewed() {
    sound_player().stop();
    const SoundAttachment& sound = std::as_const(card_).sound();
    if (sound.play_when_viewed() && sound.has_data()) sound_player().play(sound.data_view());
}

void CardWindow::update_title() {
    const QString name = card_.node() ? qs(card_.node()->name()) : QString();
    title_strip()->setVisible(mode() != CardMode::Edit);
    if (mode() == CardMode::Design) {
        set_title(qs(format_message(load_string(text_id::kFormDesignTitle) + u": %s",
                                    {u16(name)})),
                  kFormDesignStrip);
        return;
    }
    setWindowTitle(name);
    const QIcon icon = card_.node() ? images_.icon_for(*card_.node()) : QIcon();
    title_strip()->set_content(name, icon);
}

void CardWindow::update_menu() {
    set_menu(menu_for(mode()));
    // The keys that run menu commands, shown beside them.
    static constexpr std::pair<int, const char*> kKeys[] = {
        {cmd::kEdit, "Ctrl+E"}, {cmd::kCopyText, "Ctrl+C"}, {cmd::kFormDesign, "Ctrl+D"},
        {cmd::kCardCancel, "Esc"}};
    for (const auto& [command, keys] : kKeys) {
        if (QAction* a = soft_keys()->action(command))
            a->setText(a->text() + QLatin1Char('\t') + QLatin1String(keys));
    }
    connect(soft_keys(), &SoftKeyBar::menu_about_to_show, this, &CardWindow::enable_menu);
    enable_menu();
}

void CardWindow::enable_menu() {
    SoftKeyBar* keys = soft_keys();
    switch (mode()) {
        case CardMode::View:
            keys->set_command_enabled(cmd::kCopyText, list_->command_enabled(cmd::kCopyText));
            for (int id : {cmd::kEdit, cmd::kIcon, cmd::kTextColors, cmd::kBackground, cmd::kSound,
                           cmd::kAttachments, cmd::kDeleteCard})
                keys->set_command_enabled(id, !read_only_);
            break;
        case CardMode::Edit: {
            const auto editor = list_->open_editor();
            const unsigned caps = editor ? list_->editors().caps(*editor) : 0;
            keys->set_command_enabled(cmd::kEditCut, caps & kCanCut);
            keys->set_command_enabled(cmd::kEditCopy, caps & kCanCopy);
            keys->set_command_enabled(cmd::kEditPaste, caps & kCanPaste);
            keys->set_command_enabled(cmd::kEditClear, caps & kCanClear);
            keys->set_command_enabled(cmd::kEditSelectAll, caps & kCanSelectAll);
            break;
        }
        case CardMode::Design:
            keys->set_command_enabled(cmd::kEditSelectionField,
                                      list_->message(LUM_GETFIELDTYPE) == 12);
            break;
    }
}

void CardWindow::set_mode(CardMode mode, int field) {
    list_->message(LUM_COMMIT, 0);
    list_->message(LUM_SETMODE, static_cast<intptr_t>(mode), field);
    update_menu();
    update_title();
    list_->setFocus(Qt::OtherFocusReason);
    if (mode != CardMode::View) {
        if (auto editor = list_->open_editor()) list_->editors().control(*editor)->setFocus();
    }
}

void CardWindow::refresh_view() {
    if (mode() == CardMode::View) list_->message(LUM_REFRESH);
}

// The commands that change the card.
static bool changes_card(int id) {
    return id == cmd::kEdit || id == cmd::kFormDesign || id == cmd::kIcon ||
           id == cmd::kTextColors || id == cmd::kBackground || id == cmd::kSound ||
           id == cmd::kAttachments || id == cmd::kDeleteCard;
}

void CardWindow::run_command(int id) {
    if (read_only_ && changes_card(id)) {
        QApplication::beep();
        return;
    }
    switch (id) {
        case cmd::kOk:
        case cmd::kDone: on_done(); return;
        case cmd::kCancel: reject(); return;
        case cmd::kCardCancel: cancel(); return;
        case cmd::kEdit:
            if (mode() == CardMode::View) set_mode(CardMode::Edit, request_.current_field);
            return;
        case cmd::kFormDesign:
            if (mode() != CardMode::Design) set_mode(CardMode::Design, 0);
            return;
        case cmd::kIcon:
            if (card_.node() && dialogs_.icon(this, *card_.node(), images_)) update_title();
            return;
        case cmd::kTextColors:
            if (dialogs_.text_colors(this, card_)) {
                card_.set_dirty(true);
                refresh_view();
            }
            return;
        case cmd::kBackground:
            dialogs_.background(this, card_);
            refresh_view();
            return;
        case cmd::kSound: dialogs_.sound(this, card_); return;
        case cmd::kAttachments:
            dialogs_.attachments(this, card_, opened_);
            refresh_view();
            return;
        case cmd::kDeleteCard: delete_card(); return;
        default: break;
    }
    if (mode() != CardMode::View && is_clipboard_command(id)) {
        if (auto editor = list_->open_editor()) list_->editors().clipboard_command(*editor, id);
        return;
    }
    list_->command(id);
}

void CardWindow::on_done() {
    switch (mode()) {
        case CardMode::View:
            close_card(QDialog::Accepted,
                       card_modified(card_) ? CardClosed::Changed : CardClosed::Unchanged);
            return;
        case CardMode::Edit: set_mode(CardMode::View, 0); return;
        case CardMode::Design: set_mode(CardMode::Edit, request_.current_field); return;
    }
}

void CardWindow::cancel() {
    list_->message(LUM_COMMIT, 1);
    if (card_modified(card_) &&
        message_box(text_id::kDiscardChanges, text_id::kConfirmTitle, PromptButtons::YesNo,
                    PromptIcon::Question) != PromptAnswer::Yes)
        return;
    close_card(QDialog::Rejected, CardClosed::Unchanged);
}

void CardWindow::reject() {
    if (closing_) return;
    close_card(QDialog::Rejected, CardClosed::Unchanged);
}

void CardWindow::delete_card() {
    // A modal question keeps the card window painting behind it.
    if (message_box(text_id::kDeleteCardAsk, text_id::kConfirmTitle, PromptButtons::YesNo,
                    PromptIcon::Exclamation) == PromptAnswer::Yes)
        post_message(this, CVM_DELETECONFIRMED, 1);
}

void CardWindow::close_card(int result, CardClosed notice) {
    if (closing_) return;
    closing_ = true;
    sound_player().stop();
    delete_opened_copies();
    if (request_.owner)
        post_message(request_.owner, request_.notification, static_cast<intptr_t>(notice));
    request_.card = nullptr;
    request_.owner = nullptr;
    request_.notification = 0;
    request_.current_field = -1;
    if (request_.modeless) {
        hide();
        deleteLater();
    } else {
        done(result);
    }
}

void CardWindow::delete_opened_copies() {
    if (opened_.empty()) return;
    if (message_box(text_id::kDeleteOpenedCopies, text_id::kProductName, PromptButtons::YesNo,
                    PromptIcon::Question) == PromptAnswer::Yes) {
        const auto left = opened_.delete_all();
        if (!left.empty()) {
            message_boxes().ask({leftover_files_text(left), load_string(text_id::kProductName),
                                 PromptButtons::Ok, PromptIcon::Exclamation});
        }
    }
    opened_ = OpenedFiles();
}

void CardWindow::activate(const Activation& activation) {
    switch (activation.action) {
        case LineAction::Mail:
        case LineAction::Call:
        case LineAction::Browse:
            if (open_address) open_address(activation.address);
            return;
        case LineAction::OpenAttachment:
            dialogs_.open_attachment(this, card_, activation.attachment, opened_);
            return;
        case LineAction::CopyText:
        case LineAction::Nothing: return;
    }
}

void CardWindow::keyPressEvent(QKeyEvent* event) {
    const auto mods = event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier);
    const int key = event->key();
    if (mods == Qt::ControlModifier) {
        switch (key) {
            case Qt::Key_E: run_command(cmd::kEdit); return;
            case Qt::Key_S:
            case Qt::Key_Return:
            case Qt::Key_Enter: on_done(); return;
            case Qt::Key_D: run_command(cmd::kFormDesign); return;
            case Qt::Key_C:
                if (mode() == CardMode::View) {
                    list_->command(cmd::kCopyText);
                    return;
                }
                break;
            default: break;
        }
    }
    if (key == Qt::Key_Escape && mods == Qt::NoModifier) {
        cancel();
        return;
    }
    FullScreenDialog::keyPressEvent(event);
}

bool CardWindow::event(QEvent* event) {
    if (event->type() != MessageEvent::type()) return FullScreenDialog::event(event);
    const auto* m = static_cast<MessageEvent*>(event);
    switch (m->message) {
        case CVM_CLOSECARD:
            // A dialog of the card's own (a question, Notes) ends first.
            if (QWidget* top = QApplication::activeModalWidget(); top && top != this) {
                if (auto* dialog = qobject_cast<QDialog*>(top)) dialog->reject();
            }
            // Done from design and edit mode leads back to the view, whose Done closes.
            for (int step = 0; step < 3 && !closing_; ++step) on_done();
            return true;
        case CVM_DELETECONFIRMED: close_card(QDialog::Accepted, CardClosed::Deleted); return true;
        case CVM_EDITORFLAGS: editor_flags_ = static_cast<int>(m->lparam & 3); return true;
        default: return true;
    }
}

}  // namespace ks::gui
