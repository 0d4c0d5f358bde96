#pragma once
// The keypad edition's wallet picker: the desktop's wallet chooser listing its own way — each
// wallet by its name up to the first ".", previous-version wallets last — with the New Wallet
// dialog for New and no Browse.
#include <vector>

#include "dialogs/wallet_chooser.h"
#include "smartphone/new_wallet_dialog.h"
#include "smartphone/rules/keypad_rules.h"

namespace ks::gui {

// The picker's entries for the folders: wallets with icon 0, previous-version ones with icon 1.
std::vector<ChooserEntry> keypad_picker_entries(const std::vector<std::filesystem::path>& folders);

// Turns `chooser` into the keypad edition's picker; New asks for a name and a place among
// `places`.
void make_keypad_picker(WalletChooser& chooser, std::vector<keypad::SaveInChoice> places);

}  // namespace ks::gui
