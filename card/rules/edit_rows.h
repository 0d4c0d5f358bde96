#pragma once
// The card editor's rows and editors: a label row and an input row for the card name and for
// each field, the editor each field kind takes, moving between rows, and what each editor
// stores when it is committed.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/field.h"

namespace ks {

enum class EditorKind : int {
    Name = 0,       // the capitalising edit on the card-name row
    Text = 1,       // the same edit with the "..." button
    Date = 2,
    Time = 3,
    DateAndTime = 4,
    Selection = 5,  // an editable combo box
    YesNo = 6,      // a three-state check box
};

// The editor of a field kind; nothing for a kind outside 1..16.
std::optional<EditorKind> editor_for_kind(uint16_t kind);

// How a text editor capitalises what is typed.
enum class Capitals { Off, Sentences, Words };
Capitals capitals_for_kind(uint16_t kind);
// Whether the letter typed at `pos` of `text` starts a sentence (or a word) and is upper-cased.
bool capitalise_at(std::u16string_view text, size_t pos, Capitals mode);

constexpr size_t kCardNameLimit = 255;
constexpr size_t kEditableFields = 256;

// Rows: 0 the heading, 1 the card name, then for field k the label row 2k+2 and the input row
// 2k+3. Fields past kEditableFields are out of reach.
class EditRows {
  public:
    explicit EditRows(size_t field_count);
    int count() const { return count_; }
    static bool is_label(int row) { return row % 2 == 0; }
    // The field an input or label row belongs to; nothing for rows 0 and 1.
    static std::optional<size_t> field_of(int row);
    // Where editing starts for a field index: its input row when it exists, else the name.
    int start_row(int field) const;
    // Tab and Down: the next input row, wrapping to the card name after the last.
    int next(int row) const;
    // Shift+Tab and Up: the previous input row, not above the card name.
    int previous(int row) const;

  private:
    int count_;
};

// The selection editor: "<None>" as entry 0, then the field's list. A value equal to an entry
// (ignoring case) selects the last such entry; any other value is free text; no value selects
// entry 0.
struct SelectionEditor {
    std::vector<std::u16string> entries;
    int selected = 0;        // -1: the free text below
    std::u16string free_text;
};
SelectionEditor selection_editor(const FieldRecord& field, std::u16string_view none_text);
// What the selection editor stores: nothing (the value is cleared) for entry 0, else the text.
std::u16string selection_value(int selected_entry, std::u16string_view text);

// The yes/no editor's state: 0 no, 1 yes, 2 not set; and the value each state stores.
std::u16string yes_no_value(int state);

}  // namespace ks
