#include "smartphone/wallet_picker.h"

#include <QListWidget>

#include "platform/text.h"
#include "platform/text_ids.h"
#include "platform/texts.h"
#include "shell/gui/drawn_icons.h"
#include "shell/gui/gui_services.h"
#include "shell/gui/item_images.h"
#include "smartphone/new_wallet_dialog.h"

namespace ks::gui {

namespace {
constexpr int kWalletFileIcon = 201;
}  // namespace

std::vector<ChooserEntry> keypad_picker_entries(const std::vector<std::filesystem::path>& folders) {
    static const QIcon wallet = strip_icon(kWalletFileIcon);
    static const QIcon previous = QIcon(wallet.pixmap(16, QIcon::Disabled));
    std::vector<ChooserEntry> entries;
    for (const keypad::PickerEntry& e : keypad::picker_entries(keypad::find_wallet_files(folders)))
        entries.push_back({qs(e.text), e.image == 0 ? wallet : previous, e.path});
    return entries;
}

void make_keypad_picker(WalletChooser& chooser, std::vector<keypad::SaveInChoice> places) {
    chooser.setObjectName(QStringLiteral("KeypadWalletPicker"));
    chooser.list()->setObjectName(QStringLiteral("KeystashPicker"));
    chooser.set_heading(
        qs(load_string(text_id::kProductName) + u" " + from_utf8(std::to_string(kKeypadEditionNumber))));
    chooser.offer_browse(false);
    chooser.list_entries = keypad_picker_entries;
    chooser.ask_new_path = [&chooser, places = std::move(places)] {
        const auto path = NewWalletDialog::ask(&chooser, places);
        return path ? QString::fromStdString(path->string()) : QString();
    };
    chooser.refresh();
}

}  // namespace ks::gui
