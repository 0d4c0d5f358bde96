#include "card/full_screen_dialog.h"

#include <QKeyEvent>
#include <QLabel>
#include <QVBoxLayout>

#include "card/title_strip.h"
#include "shell/gui/commands.h"
#include "shell/gui/drawn_icons.h"
#include "shell/gui/item_images.h"
#include "shell/gui/gui_services.h"
#include "shell/gui/soft_keys.h"

namespace ks::gui {

FullScreenDialog::FullScreenDialog(QWidget* owner, int menu_id) : QDialog(owner) {
    setModal(true);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::white);
    setPalette(pal);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);
    strip_ = new TitleStrip(this);
    outer->addWidget(strip_);
    body_ = new QVBoxLayout;
    body_->setContentsMargins(8, 8, 8, 8);
    body_->setSpacing(6);
    outer->addLayout(body_, 1);
    keys_ = new SoftKeyBar(menu_id, this);
    outer->addWidget(keys_);
    connect(keys_, &SoftKeyBar::command, this, &FullScreenDialog::run_command);
    setWindowIcon(resource_icon(kProgramIcon));
}

void FullScreenDialog::set_menu(int menu_id) {
    if (keys_->menu_id() == menu_id) return;
    auto* bar = new SoftKeyBar(menu_id, this);
    delete layout()->replaceWidget(keys_, bar);
    delete keys_;
    keys_ = bar;
    connect(keys_, &SoftKeyBar::command, this, &FullScreenDialog::run_command);
}

void FullScreenDialog::set_title(const QString& text, int icon_resource) {
    setWindowTitle(text);
    strip_->set_content(text, strip_icon(icon_resource));
}

void FullScreenDialog::run_command(int id) {
    if (id == cmd::kOk) on_done();
    else if (id == cmd::kCancel) reject();
}

void FullScreenDialog::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_F10 && event->modifiers() == Qt::NoModifier) {
        keys_->press_right();  // the second soft key: usually the menu
        return;
    }
    const MenuTemplate* menu = menu_template(keys_->menu_id());
    const bool has_done_key = menu && menu->left.command == cmd::kOk;
    if (has_done_key && (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
        (event->modifiers() & Qt::ControlModifier)) {
        on_done();
        return;
    }
    QDialog::keyPressEvent(event);
}

void FullScreenDialog::showEvent(QShowEvent* event) {
    if (QWidget* owner = parentWidget()) {
        QWidget* top = owner->window();
        resize(top->size());
        move(top->geometry().topLeft());
    }
    QDialog::showEvent(event);
}

QLabel* heading(uint32_t text_id, QWidget* parent) {
    auto* label = new QLabel(text(text_id), parent);
    label->setFont(gui::font(kDialogFontSlot));
    return label;
}

}  // namespace ks::gui
