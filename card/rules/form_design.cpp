#include "card/rules/form_design.h"

#include <algorithm>

#include "forms/forms.h"

namespace ks {

namespace {

constexpr std::array<KindChoice, 8> kTextKindChoices = {
    {{1, 24500}, {15, 24501}, {16, 24502}, {4, 24515}, {3, 24504}, {5, 24505}, {6, 24506},
     {7, 24507}}};

bool is_text_like(uint16_t kind) {
    return kind == 1 || (kind >= 3 && kind <= 7) || (kind >= 14 && kind <= 16);
}

bool has_field(const Card& card, int row) {
    return row >= 0 && field_of_design_row(row) < card.fields().size();
}

int last_row(const Card& card) { return std::max(design_row_count(card) - 1, 0); }

}  // namespace

std::span<const KindChoice> offered_kinds(const FieldRecord& field) {
    if (is_text_like(field.kind()) && (field.flags() & kFieldFlagTextKindsOnly))
        return kTextKindChoices;
    return kKindChoices;
}

std::optional<int> offered_position(const FieldRecord& field) {
    const auto kinds = offered_kinds(field);
    const auto it = std::ranges::find(kinds, field.kind(), &KindChoice::kind);
    if (it == kinds.end()) return std::nullopt;
    return static_cast<int>(it - kinds.begin());
}

std::optional<int> add_design_field(Card& card, std::u16string_view name) {
    FieldRecord field;
    field.set_kind(static_cast<uint16_t>(FieldKind::CapitalisedText));
    field.set_label(name);
    if (!card.insert_field(std::move(field))) return std::nullopt;
    return design_row_count(card) - 2;
}

int delete_design_field(Card& card, int row) {
    if (!has_field(card, row)) return row;
    card.remove_field(field_of_design_row(row));
    return std::min(row, last_row(card));
}

int move_design_field_up(Card& card, int row) {
    const size_t field = field_of_design_row(row);
    if (!has_field(card, row) || field == 0) return row;
    card.move_field(field, field - 1);
    return std::max(row - 2, 0);
}

int move_design_field_down(Card& card, int row) {
    const size_t field = field_of_design_row(row);
    if (!has_field(card, row) || field + 1 >= card.fields().size()) return row;
    card.move_field(field, field + 1);
    return std::min(row + 2, last_row(card));
}

int move_design_field_to_top(Card& card, int row) {
    if (!has_field(card, row)) return row;
    card.move_field(field_of_design_row(row), 0);
    return 0;
}

int move_design_field_to_bottom(Card& card, int row) {
    if (!has_field(card, row)) return row;
    card.move_field(field_of_design_row(row), card.fields().size() - 1);
    return last_row(card);
}

int copy_design_field(Card& card, int row) {
    if (!has_field(card, row) || !copy_field(card, field_of_design_row(row))) return row;
    return std::min(row + 1, last_row(card));
}

void store_selection_list(FieldRecord& field, std::span<const std::u16string> entries) {
    field.clear_list();
    for (const std::u16string& entry : entries) {
        if (!entry.empty()) field.add_list_item(entry);
    }
}

}  // namespace ks
