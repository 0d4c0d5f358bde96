#include "card/rules/edit_rows.h"

#include <algorithm>

#include "platform/text.h"

namespace ks {

std::optional<EditorKind> editor_for_kind(uint16_t kind) {
    switch (kind) {
        case 8: return EditorKind::Date;
        case 9: return EditorKind::Time;
        case 10: return EditorKind::DateAndTime;
        case 11:
        case 12: return EditorKind::Selection;
        case 13: return EditorKind::YesNo;
        default: break;
    }
    if (kind >= 1 && kind <= 16) return EditorKind::Text;
    return std::nullopt;
}

Capitals capitals_for_kind(uint16_t kind) {
    if (kind == static_cast<uint16_t>(FieldKind::CapitalisedText)) return Capitals::Sentences;
    if (kind == static_cast<uint16_t>(FieldKind::TitleCaseText)) return Capitals::Words;
    return Capitals::Off;
}

bool capitalise_at(std::u16string_view text, size_t pos, Capitals mode) {
    if (mode == Capitals::Off || pos >= text.size()) return false;
    size_t before = pos;
    while (before > 0 && (text[before - 1] == u' ' || text[before - 1] == u'\t')) --before;
    if (before == 0) return true;
    if (mode == Capitals::Words) return before < pos;
    const char16_t end = text[before - 1];
    return before < pos && (end == u'.' || end == u'!' || end == u'?');
}

EditRows::EditRows(size_t field_count)
    : count_(static_cast<int>(2 * (std::min(field_count, kEditableFields) + 1))) {}

std::optional<size_t> EditRows::field_of(int row) {
    if (row < 2) return std::nullopt;
    return static_cast<size_t>((row - 2) / 2);
}

int EditRows::start_row(int field) const {
    const int row = 2 * field + 3;
    return field >= 0 && row < count_ ? row : 1;
}

int EditRows::next(int row) const {
    int n = row + 1;
    if (is_label(n)) ++n;
    return n >= count_ ? 1 : n;
}

int EditRows::previous(int row) const {
    int p = row - 1;
    if (is_label(p)) --p;
    return std::max(p, 1);
}

SelectionEditor selection_editor(const FieldRecord& field, std::u16string_view none_text) {
    SelectionEditor editor;
    editor.entries.push_back(u"<" + std::u16string(none_text) + u">");
    for (size_t i = 0;; ++i) {
        const auto item = field.list_item(i, 257);
        if (!item) break;
        editor.entries.push_back(*item);
    }
    const std::u16string_view value = field.value().view();
    if (value.empty()) return editor;
    for (size_t i = editor.entries.size(); i-- > 1;) {
        if (to_lower(editor.entries[i]) == to_lower(value)) {
            editor.selected = static_cast<int>(i);
            return editor;
        }
    }
    editor.selected = -1;
    editor.free_text = value;
    return editor;
}

std::u16string selection_value(int selected_entry, std::u16string_view text) {
    if (selected_entry == 0) return {};
    return std::u16string(text);
}

std::u16string yes_no_value(int state) {
    if (state == 1) return u"1";
    if (state == 0) return u"0";
    return u"2";
}

}  // namespace ks
