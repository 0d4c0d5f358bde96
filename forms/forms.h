#pragma once
// Cards made from forms, the forms' names, Save to My Forms, field copies and the list the card
// type chooser shows.
#include <optional>
#include <string>
#include <vector>

#include "core/card.h"
#include "core/wallet_document.h"
#include "forms/builtin_forms.h"

namespace ks {

constexpr size_t kMaxFormNameLength = 127;

// The form's name: a built-in form's name text, or the name of the live card in My Forms with
// that id; nothing when the id names neither.
std::optional<std::u16string> form_name(const WalletDocument& document, const FormId& form);

// A new, unstored card under `folder` made from the form; nothing when the id names no form or
// the form card cannot be loaded.
std::optional<Card> new_card_from_form(WalletDocument& document, const NodeId& folder,
                                       const FormId& form);
Card new_card_from_builtin_form(const WalletDocument& document, const NodeId& folder,
                                const BuiltInForm& form);

// Copies a card into My Forms with its values cleared; the new list index or kNoIndex.
int save_to_my_forms(WalletDocument& document, int card_index);

// Duplicates the field at `position` and inserts the copy right after it.
std::optional<size_t> copy_field(Card& card, size_t position);

// Stores the form that "New Card" offers first in the folder.
bool set_default_card_form(WalletDocument& document, int folder_index, const FormId& form);

struct FormEntry {
    FormId id;
    std::u16string name;
    int32_t icon = 0;
    bool user_form = false;
};
// User forms, then built-in forms, each group sorted by name without regard to case.
std::vector<FormEntry> form_chooser_entries(const WalletDocument& document);

}  // namespace ks
