#pragma once
// Form design: the kinds a field can take, and the commands that change the structure of a
// card (add, delete, move and copy fields; the entries of an editable list). Rows are two per
// field: 2k the name of field k, 2k+1 its kind. Each command returns the row selected after it.
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "core/card.h"

namespace ks {

struct KindChoice {
    uint16_t kind;
    uint32_t name_id;
};

// The kind list, in its order.
constexpr std::array<KindChoice, 14> kKindChoices = {{{1, 24500},
                                                      {15, 24501},
                                                      {16, 24502},
                                                      {4, 24515},
                                                      {3, 24504},
                                                      {5, 24505},
                                                      {6, 24506},
                                                      {7, 24507},
                                                      {8, 24508},
                                                      {9, 24509},
                                                      {10, 24510},
                                                      {11, 24511},
                                                      {12, 24512},
                                                      {13, 24513}}};

// The kinds offered for a field: only the eight text-like ones when it is text-like and its
// flag 0x0008 is set, else all fourteen.
std::span<const KindChoice> offered_kinds(const FieldRecord& field);
// The position of the field's kind among the offered ones; nothing when it is not offered.
std::optional<int> offered_position(const FieldRecord& field);

// The field a design row belongs to.
inline size_t field_of_design_row(int row) { return static_cast<size_t>(row / 2); }
inline int design_row_count(const Card& card) { return 2 * static_cast<int>(card.fields().size()); }

// Add field: a new field of kind 15 named `name`, appended; its name row. Nothing when the card
// is full.
std::optional<int> add_design_field(Card& card, std::u16string_view name);
// Delete field: the selected field goes at once; the row stays, or moves to the new last row.
int delete_design_field(Card& card, int row);
// Up, Down, Top, Bottom, Copy field. A command with nothing to do leaves `row` as it was.
int move_design_field_up(Card& card, int row);
int move_design_field_down(Card& card, int row);
int move_design_field_to_top(Card& card, int row);
int move_design_field_to_bottom(Card& card, int row);
int copy_design_field(Card& card, int row);

// The Selection Field dialog's Done: the list replaced by the non-empty entries, in order, at
// most 128 of them.
void store_selection_list(FieldRecord& field, std::span<const std::u16string> entries);

}  // namespace ks
