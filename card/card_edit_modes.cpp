// The card editor's and form design's rows, and the editor control open on the current row.
#include <QApplication>
#include <QFontMetrics>
#include <QPainter>
#include <QPalette>

#include <algorithm>
#include <climits>

#include "card/card_editors.h"
#include "card/card_modes.h"
#include "card/rules/form_design.h"
#include "core/card.h"
#include "platform/text_ids.h"
#include "platform/texts.h"
#include "shell/gui/gui_services.h"

namespace ks::gui {

namespace {

constexpr int kLabelFontSlot = 7;
constexpr int kInputFontSlot = 2;
constexpr uint32_t kLabelColour = 0x800000;
constexpr uint32_t kRuleColour = 0xC0C0C0;
constexpr int kInputIndent = 3;
constexpr size_t kShownValueUnits = 512;

bool has_line_break(const QString& text) {
    return text.contains(QLatin1Char('\n')) || text.contains(QLatin1Char('\r'));
}

// A text on one line: its line breaks as blanks.
QString one_line(QString text) {
    text.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    text.replace(QLatin1Char('\r'), QLatin1Char(' '));
    return text;
}

DateTime comparable(DateTime t) {
    t.day_of_week = 0;
    t.milliseconds = 0;
    return t;
}

}  // namespace

// ---- RowsState ----

void RowsState::layout(int width) {
    width_ = width;
    label_height_ = QFontMetrics(font(kLabelFontSlot)).height() + 2;
    input_height_ = std::max(QFontMetrics(font(kInputFontSlot)).height() + 2,
                             list_.editors().control_height());
    list_.surface()->update_range(content_height(), input_height_);
    place_editor();
}

int RowsState::content_height() const {
    const int rows = row_count();
    return rows == 0 ? 0 : row_top(rows - 1) + row_height(rows - 1) + spacing_;
}

void RowsState::paint(QPainter& painter, const QRect& area, int scroll) {
    painter.fillRect(area, Qt::white);
    const QPalette& pal = QApplication::palette();
    for (int row = 0; row < row_count(); ++row) {
        const int top = row_top(row) - scroll;
        const int h = row_height(row);
        if (top > area.bottom()) break;
        if (top + h + 3 < area.top()) continue;
        const bool label = look(row) == RowLook::Label;
        painter.setFont(font(label ? kLabelFontSlot : kInputFontSlot));
        painter.setPen(label ? colour(kLabelColour) : pal.color(QPalette::WindowText));
        const int indent = label ? 2 : 2 + kInputIndent;
        painter.drawText(QRect(indent, top, width_ - indent - 2, h),
                         Qt::AlignVCenter | Qt::AlignLeft | Qt::TextSingleLine, row_text(row));
        if (!label)
            painter.fillRect(QRect(2, top + h + 1, width_ - 4, 1), colour(kRuleColour));
    }
}

void RowsState::tap(QPoint content_pos) {
    for (int row = 0; row < row_count(); ++row) {
        if (!selectable_row(row)) continue;
        if (row_top(row) + row_height(row) >= content_pos.y()) {
            open_row(row);
            return;
        }
    }
    open_row(first_row());
}

void RowsState::place_editor() {
    CardEditors& e = list_.editors();
    if (!editor_ || row_ < 0) return;
    QWidget* control = e.control(*editor_);
    const int top = row_top(row_) - list_.scroll() - 1;
    int width = width_ - 4;
    if (*editor_ == EditorKind::Text) {
        const int button = e.more()->sizeHint().width();
        width -= button;
        e.more()->setGeometry(2 + width, top, button, input_height_ + 1);
    }
    control->setGeometry(2, top, width, input_height_ + 1);
}

void RowsState::show_text_editor(const QString& text, int max_length, bool select_all, bool more) {
    CapitalisingEdit* edit = list_.editors().text();
    long_text_.reset();
    edit->setMaxLength(max_length);
    if (has_line_break(text)) {
        // The one-line editor would lose the line breaks: the Notes dialog edits this value.
        long_text_ = text;
        edit->setText(one_line(text));
        edit->setReadOnly(true);
    } else {
        edit->setText(text);
        edit->setReadOnly(false);
    }
    if (select_all) edit->selectAll();
    else edit->end(false);
    edit->setFont(font(kInputFontSlot));
    list_.editors().more()->setVisible(more);
}

QString RowsState::editor_text() const {
    return long_text_ ? *long_text_ : list_.editors().text()->text();
}

void RowsState::open_row(int row) {
    commit(false);
    CardEditors& e = list_.editors();
    e.hide_all();
    row_ = std::clamp(row, 0, std::max(row_count() - 1, 0));
    editor_ = row_count() > 0 ? editor_for(row_) : std::nullopt;
    if (editor_) {
        fill_editor(row_, *editor_);
        place_editor();
        QWidget* control = e.control(*editor_);
        control->show();
        control->setFocus(Qt::OtherFocusReason);
    } else {
        list_.setFocus(Qt::OtherFocusReason);
    }
    if (row_count() > 0) list_.ensure_visible(row_top(row_) - 1, row_height(row_) + 3);
    place_editor();
    list_.repaint_surface();
}

void RowsState::commit(bool empty) {
    if (editor_ && row_ >= 0 && row_ < row_count()) store_editor(row_, *editor_);
    if (empty) discard_editor();
}

void RowsState::discard_editor() {
    list_.editors().hide_all();
    editor_.reset();
    long_text_.reset();
}

void RowsState::edit_more() {
    if (editor_ != EditorKind::Text || !list_.edit_notes) return;
    const std::optional<QString> text = list_.edit_notes(notes_title(), editor_text());
    if (!text) return;
    show_text_editor(*text, INT_MAX, false, true);
    list_.editors().text()->setFocus(Qt::OtherFocusReason);
}

// ---- EditState ----

EditState::EditState(CardList& list, int start_row)
    : RowsState(list), rows_(list.card().fields().size()) {
    layout(list_.surface()->viewport()->width());
    open_row(start_row);
}

const FieldRecord* EditState::field_at(int row) const {
    const auto field = EditRows::field_of(row);
    const auto& fields = list_.card().fields();
    if (!field || *field >= fields.size()) return nullptr;
    return &fields[*field];
}

int EditState::row_top(int row) const {
    const int pair = label_height_ + input_height_ + spacing_;
    return (row / 2) * pair + (EditRows::is_label(row) ? 0 : label_height_);
}

int EditState::row_height(int row) const {
    return EditRows::is_label(row) ? label_height_ : input_height_;
}

RowsState::RowLook EditState::look(int row) const {
    return EditRows::is_label(row) ? RowLook::Label : RowLook::Input;
}

QString EditState::row_text(int row) const {
    if (row == 0) return text(text_id::kCardNameHeading);
    if (row == 1) return list_.card().node() ? qs(list_.card().node()->name()) : QString();
    const FieldRecord* field = field_at(row);
    if (!field) return QStringLiteral("<?>");
    if (EditRows::is_label(row)) return qs(field->label());
    const SecretText shown = field->display_text();
    return one_line(qs(shown.view().substr(0, kShownValueUnits)));
}

std::optional<EditorKind> EditState::editor_for(int row) const {
    if (row == 1) return EditorKind::Name;
    const FieldRecord* field = field_at(row);
    if (!field || EditRows::is_label(row)) return std::nullopt;
    return editor_for_kind(field->kind());
}

void EditState::fill_editor(int row, EditorKind kind) {
    CardEditors& e = list_.editors();
    if (kind == EditorKind::Name) {
        e.text()->set_capitals(Capitals::Off);
        const QString name = list_.card().node() ? qs(list_.card().node()->name()) : QString();
        show_text_editor(name, static_cast<int>(kCardNameLimit), true, false);
        return;
    }
    const FieldRecord& field = *field_at(row);
    switch (kind) {
        case EditorKind::Text:
            e.text()->set_capitals(capitals_for_kind(field.kind()));
            show_text_editor(qs(field.value().view()), INT_MAX, false, true);
            break;
        case EditorKind::Date:
        case EditorKind::Time:
        case EditorKind::DateAndTime: e.date_time()->set_value(field.kind(), field.date()); break;
        case EditorKind::Selection: {
            const SelectionEditor s = selection_editor(field, u16(text(text_id::kNoChoice)));
            QComboBox* box = e.selection();
            const QSignalBlocker block(box);
            box->clear();
            box->setEditable(true);
            for (const auto& entry : s.entries) box->addItem(qs(entry));
            if (s.selected >= 0) box->setCurrentIndex(s.selected);
            else box->setEditText(qs(s.free_text));
            break;
        }
        case EditorKind::YesNo: {
            const int state = field.value().empty() ? 2 : field.yes_no_state();
            e.yes_no()->setCheckState(state == 1   ? Qt::Checked
                                      : state == 0 ? Qt::Unchecked
                                                   : Qt::PartiallyChecked);
            e.yes_no()->setText(qs(field.label()));
            break;
        }
        case EditorKind::Name: break;
    }
}

void EditState::store_editor(int row, EditorKind kind) {
    Card& card = list_.card();
    if (kind == EditorKind::Name) {
        if (!card.node()) return;
        const std::u16string name = u16(editor_text()).substr(0, kCardNameLimit);
        if (name != card.node()->name()) card.node()->set_name(name);
        return;
    }
    const auto index = EditRows::field_of(row);
    if (!index || *index >= card.fields().size()) return;
    const FieldRecord& field = card.fields()[*index];
    CardEditors& e = list_.editors();
    std::u16string value;
    switch (kind) {
        case EditorKind::Text: value = u16(editor_text()); break;
        case EditorKind::Date:
        case EditorKind::Time:
        case EditorKind::DateAndTime: {
            const std::optional<DateTime> date = e.date_time()->value();
            const bool same = date ? comparable(*date) == comparable(field.date())
                                   : field.date().year == 0 && field.value().empty();
            if (!same) card.field(*index).set_date(date);
            return;
        }
        case EditorKind::Selection: {
            QComboBox* box = e.selection();
            const int index_shown = box->currentIndex();
            const bool is_entry = index_shown >= 0 && box->itemText(index_shown) == box->currentText();
            value = selection_value(is_entry ? index_shown : -1, u16(box->currentText()));
            break;
        }
        case EditorKind::YesNo: {
            const Qt::CheckState state = e.yes_no()->checkState();
            value = yes_no_value(state == Qt::Checked ? 1 : state == Qt::Unchecked ? 0 : 2);
            break;
        }
        case EditorKind::Name: return;
    }
    if (field.value() == value) return;
    card.field(*index).set_value(value);
    emit list_.card_changed();
}

QString EditState::notes_title() const {
    const FieldRecord* field = field_at(row_);
    return field ? qs(std::u16string_view(field->label()).substr(0, 128)) : QString();
}

void EditState::next() { open_row(rows_.next(row_)); }
void EditState::previous() { open_row(rows_.previous(row_)); }

// ---- DesignState ----

DesignState::DesignState(CardList& list, int start_row) : RowsState(list) {
    layout(list_.surface()->viewport()->width());
    open_row(start_row);
}

int DesignState::row_count() const { return design_row_count(list_.card()); }

int DesignState::row_top(int row) const {
    return (row / 2) * (2 * input_height_ + spacing_) + (row % 2) * input_height_;
}

int DesignState::row_height(int) const { return input_height_; }

RowsState::RowLook DesignState::look(int row) const {
    return row % 2 == 0 ? RowLook::Label : RowLook::Input;
}

QString DesignState::row_text(int row) const {
    const auto& fields = list_.card().fields();
    const size_t index = field_of_design_row(row);
    if (index >= fields.size()) return QStringLiteral("<?>");
    const FieldRecord& field = fields[index];
    if (row % 2 == 0) return qs(field.label());
    const auto it = std::ranges::find(kKindChoices, field.kind(), &KindChoice::kind);
    return it == kKindChoices.end() ? QString() : text(it->name_id);
}

std::optional<EditorKind> DesignState::editor_for(int row) const {
    if (field_of_design_row(row) >= list_.card().fields().size()) return std::nullopt;
    return row % 2 == 0 ? EditorKind::Name : EditorKind::Selection;
}

void DesignState::fill_editor(int row, EditorKind kind) {
    const FieldRecord& field = list_.card().fields()[field_of_design_row(row)];
    CardEditors& e = list_.editors();
    if (kind == EditorKind::Name) {
        e.text()->set_capitals(Capitals::Off);
        show_text_editor(qs(field.label()), static_cast<int>(kCardNameLimit), false, false);
        return;
    }
    QComboBox* box = e.selection();
    const QSignalBlocker block(box);
    box->clear();
    box->setEditable(false);
    for (const KindChoice& choice : offered_kinds(field)) box->addItem(text(choice.name_id));
    box->setCurrentIndex(offered_position(field).value_or(-1));
}

void DesignState::store_editor(int row, EditorKind kind) {
    Card& card = list_.card();
    const size_t index = field_of_design_row(row);
    if (index >= card.fields().size()) return;
    const FieldRecord& field = card.fields()[index];
    if (kind == EditorKind::Name) {
        const std::u16string label = u16(editor_text());
        if (label == field.label()) return;
        card.field(index).set_label(label);
    } else {
        const int position = list_.editors().selection()->currentIndex();
        const auto kinds = offered_kinds(field);
        if (position < 0 || static_cast<size_t>(position) >= kinds.size()) return;
        const uint16_t kind = kinds[static_cast<size_t>(position)].kind;
        if (kind == field.kind()) return;
        card.field(index).set_kind(kind);
    }
    emit list_.card_changed();
}

int DesignState::field_kind() const {
    const auto& fields = list_.card().fields();
    const size_t index = field_of_design_row(row_);
    return row_ >= 0 && index < fields.size() ? fields[index].kind() : 0;
}

void DesignState::rebuild(int row, bool select_all) {
    discard_editor();
    layout(list_.surface()->viewport()->width());
    open_row(row);
    if (select_all && editor_ == EditorKind::Name) list_.editors().text()->selectAll();
}

void DesignState::next() { open_row(std::min(row_ + 1, std::max(row_count() - 1, 0))); }
void DesignState::previous() { open_row(std::max(row_ - 1, 0)); }

}  // namespace ks::gui
