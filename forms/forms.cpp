#include "forms/forms.h"

#include <algorithm>

#include "platform/text.h"
#include "platform/texts.h"

namespace ks {
namespace {

// The live card in My Forms with this id, if any.
const TreeNode* user_form_node(const WalletDocument& document, const FormId& form) {
    const TreeNode* forms = document.my_forms_folder();
    const TreeNode* n = document.node(document.list_index_of(form));
    if (!forms || !n || n->kind() != NodeKind::Card || n->deleted() || n->parent() != forms->id())
        return nullptr;
    return n;
}

std::u16string cut(std::u16string text, size_t units) {
    if (text.size() > units) text.resize(units);
    return text;
}

}  // namespace

std::optional<std::u16string> form_name(const WalletDocument& document, const FormId& form) {
    if (auto index = is_builtin_form(form))
        return cut(load_string(builtin_form(*index)->name_text), kMaxFormNameLength);
    if (const TreeNode* n = user_form_node(document, form))
        return cut(n->name(), kMaxFormNameLength);
    return std::nullopt;
}

Card new_card_from_builtin_form(const WalletDocument& document, const NodeId& folder,
                                const BuiltInForm& form) {
    Card card = document.new_card(folder);
    TreeNode& node = *card.node();
    node.set_name(load_string(text_id::kNewCard));
    node.set_icon(static_cast<int32_t>(form.icon));
    for (const BuiltInFormField& slot : form.fields) {
        FieldRecord field;
        field.set_kind(field_kind_for_new_card(slot.type, slot.pin));
        field.set_label(load_string(slot.label_text));
        card.insert_field(std::move(field));
    }
    return card;
}

std::optional<Card> new_card_from_form(WalletDocument& document, const NodeId& folder,
                                       const FormId& form) {
    if (auto index = is_builtin_form(form))
        return new_card_from_builtin_form(document, folder, *builtin_form(*index));
    if (!user_form_node(document, form)) return std::nullopt;
    return document.new_card_from_my_forms(folder, form);
}

int save_to_my_forms(WalletDocument& document, int card_index) {
    return document.save_to_my_forms(card_index);
}

std::optional<size_t> copy_field(Card& card, size_t position) {
    if (position >= card.fields().size() || card.fields().size() >= format::payload::kMaxFields)
        return std::nullopt;
    FieldRecord copy = card.fields()[position];
    copy.mark_all_changed();
    card.insert_field(std::move(copy), static_cast<int>(position + 1));
    return position + 1;
}

bool set_default_card_form(WalletDocument& document, int folder_index, const FormId& form) {
    const TreeNode* listed = document.node(folder_index);
    if (!listed || (listed->kind() != NodeKind::Folder && listed->kind() != NodeKind::MyForms))
        return false;
    TreeNode changed = *listed;
    changed.set_default_form(form);
    return document.rewrite_node(changed);
}

std::vector<FormEntry> form_chooser_entries(const WalletDocument& document) {
    std::vector<FormEntry> user, builtin;
    if (const TreeNode* forms = document.my_forms_folder()) {
        for (int index : document.children_of(document.list_index_of(forms->id()))) {
            const TreeNode& n = *document.node(index);
            if (n.kind() == NodeKind::Card) user.push_back({n.id(), n.name(), n.icon(), true});
        }
    }
    for (size_t i = 0; i < kBuiltInFormCount; ++i) {
        const BuiltInForm& f = *builtin_form(i);
        builtin.push_back({builtin_form_id(static_cast<uint32_t>(i)), load_string(f.name_text),
                           static_cast<int32_t>(f.icon), false});
    }
    auto by_name = [](const FormEntry& a, const FormEntry& b) {
        return to_lower(a.name) < to_lower(b.name);
    };
    std::stable_sort(user.begin(), user.end(), by_name);
    std::stable_sort(builtin.begin(), builtin.end(), by_name);
    user.insert(user.end(), builtin.begin(), builtin.end());
    return user;
}

}  // namespace ks
