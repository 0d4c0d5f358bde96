#include "smartphone/new_wallet_dialog.h"

#include <QComboBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>

#include "platform/text_ids.h"
#include "platform/texts.h"
#include "shell/gui/commands.h"
#include "shell/gui/gui_services.h"

namespace ks::gui {

namespace {
constexpr int kNewWalletStrip = 200;
}  // namespace

NewWalletDialog::NewWalletDialog(QWidget* owner, std::vector<keypad::SaveInChoice> places)
    : FullScreenDialog(owner, menu_id::kDoneCancel), places_(std::move(places)) {
    setObjectName(QStringLiteral("NewWalletDialog"));
    set_title(text(text_id::kNewWalletTitle), kNewWalletStrip);
    name_ = new QLineEdit(this);
    name_->setMaxLength(static_cast<int>(keypad::kWalletNameLimit));
    name_->setAccessibleName(text(text_id::kWalletNameLabel));
    save_in_ = new QComboBox(this);
    save_in_->setAccessibleName(text(text_id::kSaveInLabel));
    for (const keypad::SaveInChoice& place : places_) {
        QString label = text(place.text_id);
        if (place.on_storage_card)  // several cards are told apart by their folders
            label += QStringLiteral(" (%1)").arg(QString::fromStdString(place.folder.parent_path().string()));
        save_in_->addItem(label);
    }
    auto* form = new QFormLayout;
    QLabel* name_label = heading(text_id::kWalletNameLabel, this);
    QLabel* place_label = heading(text_id::kSaveInLabel, this);
    name_label->setBuddy(name_);
    place_label->setBuddy(save_in_);
    form->addRow(name_label, name_);
    form->addRow(place_label, save_in_);
    body()->addLayout(form);
    body()->addStretch(1);
    name_->setFocus();
}

void NewWalletDialog::on_done() {
    const int index = save_in_->currentIndex();
    if (index < 0 || static_cast<size_t>(index) >= places_.size()) return;
    const keypad::SaveInChoice& place = places_[static_cast<size_t>(index)];
    const keypad::NewWalletPath made =
        keypad::new_wallet_path(place.folder, u16(name_->text()), place.on_storage_card);
    switch (made.problem) {
        case keypad::NewWalletProblem::None:
            path_ = made.path;
            accept();
            return;
        case keypad::NewWalletProblem::BadName:
            message_box(made.text_id, text_id::kInvalidName, PromptButtons::Ok, PromptIcon::Error);
            break;
        case keypad::NewWalletProblem::Exists:
        case keypad::NewWalletProblem::CannotCreate: {
            const std::u16string caption =
                load_string(text_id::kProductName) + u" " + from_utf8(std::to_string(kKeypadEditionNumber));
            message_boxes().ask({load_string(made.text_id), caption, PromptButtons::Ok,
                                 PromptIcon::Error});
            break;
        }
    }
    name_->setFocus();
    name_->selectAll();
}

std::optional<std::filesystem::path> NewWalletDialog::ask(QWidget* owner,
                                                          std::vector<keypad::SaveInChoice> places) {
    NewWalletDialog dialog(owner, std::move(places));
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.path();
}

}  // namespace ks::gui
