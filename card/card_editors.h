#pragma once
// The editor controls the card editor and form design place over the current row, one at a
// time: a capitalising line edit with a "..." button for long text, date, time and
// date-and-time pickers that can hold no value, an editable combo box and a three-state check
// box. Tab, Shift+Tab, Up and Down in any of them move to another row instead.
#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QLineEdit>
#include <QToolButton>

#include <functional>
#include <optional>

#include "card/rules/edit_rows.h"
#include "platform/datetime.h"

namespace ks::gui {

// A line edit that capitalises the first letter of each sentence or of each word as it is typed.
class CapitalisingEdit final : public QLineEdit {
    Q_OBJECT
  public:
    explicit CapitalisingEdit(QWidget* parent);
    void set_capitals(Capitals mode) { capitals_ = mode; }
    Capitals capitals() const { return capitals_; }

  protected:
    void keyPressEvent(QKeyEvent* event) override;

  private:
    Capitals capitals_ = Capitals::Off;
};

// A date, time or date-and-time picker with a "none" state: the box before it is checked when a
// value is set; unchecked, the picker shows the current time greyed and stores nothing.
class OptionalDateTimeEdit final : public QWidget {
    Q_OBJECT
  public:
    explicit OptionalDateTimeEdit(QWidget* parent);
    // Shows `kind`'s format (8 date, 9 time, 10 date and time) and the value, or none.
    void set_value(uint16_t kind, const DateTime& value);
    // The value shown; nothing when none is set.
    std::optional<DateTime> value() const;
    bool has_value() const { return set_->isChecked(); }
    void clear_value() { set_->setChecked(false); }
    // The value as text in the kind's format ("" when none): what Copy puts on the clipboard.
    QString value_text() const;
    QDateTimeEdit* picker() const { return picker_; }
    QCheckBox* set_box() const { return set_; }

  private:
    uint16_t kind_ = 8;
    QCheckBox* set_;
    QDateTimeEdit* picker_;
};

// A Windows-style date or time picture ("M/d/yyyy", "h:mm tt") as a Qt display format.
QString qt_date_time_format(std::u16string_view picture);

// The editor controls of one card window, children of the surface they are placed on.
class CardEditors final : public QObject {
    Q_OBJECT
  public:
    explicit CardEditors(QWidget* surface);

    CapitalisingEdit* text() const { return text_; }
    QToolButton* more() const { return more_; }  // the "..." button beside value editors
    OptionalDateTimeEdit* date_time() const { return date_time_; }
    QComboBox* selection() const { return selection_; }
    QCheckBox* yes_no() const { return yes_no_; }
    // The control of an editor kind (the text edit for Name and Text).
    QWidget* control(EditorKind kind) const;
    void hide_all();
    // The height an input row needs to hold any of the controls.
    int control_height() const;
    // What Cut, Copy, Paste, Clear and Select All can do on the shown editor (EditCap bits).
    unsigned caps(EditorKind kind) const;
    // Runs a clipboard command (cmd::kEditCut...) on the shown editor; false when it does not
    // apply to it.
    bool clipboard_command(EditorKind kind, int command);

  signals:
    // Tab or Down (forward), Shift+Tab or Up (back) in an editor; Enter in the selection box.
    void move_requested(bool forward);
    void more_clicked();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    CapitalisingEdit* text_;
    QToolButton* more_;
    OptionalDateTimeEdit* date_time_;
    QComboBox* selection_;
    QCheckBox* yes_no_;
};

}  // namespace ks::gui
