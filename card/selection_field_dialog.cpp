#include "card/selection_field_dialog.h"

#include <QGridLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

#include "card/rules/form_design.h"
#include "core/field.h"
#include "platform/text_ids.h"
#include "shell/gui/commands.h"
#include "shell/gui/gui_services.h"

namespace ks::gui {

namespace {
constexpr int kSelectionStrip = 232;
}

SelectionFieldDialog::SelectionFieldDialog(QWidget* owner, FieldRecord& field)
    : FullScreenDialog(owner, menu_id::kDoneCancel), field_(field) {
    setObjectName(QStringLiteral("SelectionFieldDialog"));
    set_title(text(text_id::kSelectionListTitle), kSelectionStrip);
    list_ = new QListWidget(this);
    list_->setFont(gui::font(1));
    list_->setAccessibleName(text(text_id::kSelectionListTitle));
    for (const std::u16string& item : field.list())
        list_->addItem(qs(std::u16string_view(item).substr(0, kSelectionEntryLimit)));
    if (list_->count() > 0) list_->setCurrentRow(0);
    entry_ = new QLineEdit(this);
    entry_->setFont(gui::font(7));
    entry_->setMaxLength(kSelectionEntryLimit);
    entry_->setAccessibleName(text(text_id::kSelectionAdd));
    add_ = new QPushButton(text(text_id::kSelectionAdd), this);
    delete_ = new QPushButton(text(text_id::kSelectionDelete), this);
    up_ = new QPushButton(text(text_id::kSelectionUp), this);
    down_ = new QPushButton(text(text_id::kSelectionDown), this);
    auto* grid = new QGridLayout;
    grid->addWidget(entry_, 0, 0);
    grid->addWidget(add_, 0, 1);
    grid->addWidget(list_, 1, 0, 4, 1);
    grid->addWidget(delete_, 1, 1);
    grid->addWidget(up_, 2, 1);
    grid->addWidget(down_, 3, 1);
    grid->setRowStretch(4, 1);
    body()->addLayout(grid, 1);
    connect(add_, &QPushButton::clicked, this, &SelectionFieldDialog::add);
    connect(delete_, &QPushButton::clicked, this, &SelectionFieldDialog::remove);
    connect(up_, &QPushButton::clicked, this, [this] { move(-1); });
    connect(down_, &QPushButton::clicked, this, [this] { move(1); });
    connect(list_, &QListWidget::currentRowChanged, this, &SelectionFieldDialog::update_buttons);
    connect(entry_, &QLineEdit::textChanged, this, &SelectionFieldDialog::update_buttons);
    entry_->installEventFilter(this);
    list_->installEventFilter(this);
    setTabOrder(entry_, add_);
    setTabOrder(add_, list_);
    setTabOrder(list_, delete_);
    setTabOrder(delete_, up_);
    setTabOrder(up_, down_);
    entry_->setFocus();
    update_buttons();
}

void SelectionFieldDialog::update_buttons() {
    const int row = list_->currentRow();
    add_->setEnabled(!entry_->text().isEmpty());
    delete_->setEnabled(row >= 0);
    up_->setEnabled(row > 0);
    down_->setEnabled(row >= 0 && row + 1 < list_->count());
}

void SelectionFieldDialog::add() {
    if (entry_->text().isEmpty()) return;
    list_->addItem(entry_->text());
    list_->setCurrentRow(list_->count() - 1);
    entry_->clear();
    entry_->setFocus();
    update_buttons();
}

void SelectionFieldDialog::remove() {
    const int row = list_->currentRow();
    if (row < 0) return;
    delete list_->takeItem(row);
    if (list_->count() > 0) list_->setCurrentRow(std::max(row - 1, 0));
    update_buttons();
}

void SelectionFieldDialog::move(int step) {
    const int row = list_->currentRow();
    const int to = row + step;
    if (row < 0 || to < 0 || to >= list_->count()) return;
    QListWidgetItem* item = list_->takeItem(row);
    list_->insertItem(to, item);
    list_->setCurrentRow(to);
    update_buttons();
}

bool SelectionFieldDialog::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
        if (watched == entry_ && enter && key->modifiers() == Qt::NoModifier) {
            add();
            return true;
        }
        if (watched == list_ && key->key() == Qt::Key_Delete) {
            remove();
            return true;
        }
        if (watched == list_ && (key->modifiers() & Qt::AltModifier) &&
            (key->key() == Qt::Key_Up || key->key() == Qt::Key_Down)) {
            move(key->key() == Qt::Key_Up ? -1 : 1);
            return true;
        }
    }
    return FullScreenDialog::eventFilter(watched, event);
}

void SelectionFieldDialog::on_done() {
    std::vector<std::u16string> entries;
    for (int i = 0; i < list_->count(); ++i) entries.push_back(u16(list_->item(i)->text()));
    store_selection_list(field_, entries);
    accept();
}

bool SelectionFieldDialog::edit(QWidget* owner, FieldRecord& field) {
    SelectionFieldDialog dialog(owner, field);
    return dialog.exec() == QDialog::Accepted;
}

}  // namespace ks::gui
