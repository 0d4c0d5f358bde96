#include "card/card_editors.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QKeyEvent>

#include "platform/clock.h"
#include "platform/locale_format.h"
#include "shell/gui/commands.h"
#include "shell/gui/gui_services.h"
#include "shell/gui/secret_clipboard.h"

namespace ks::gui {

namespace {

QDateTime to_qt(const DateTime& t) {
    return QDateTime(QDate(t.year, t.month, t.day), QTime(t.hour, t.minute, t.second));
}

DateTime from_qt(const QDateTime& t) {
    DateTime d;
    d.year = static_cast<uint16_t>(t.date().year());
    d.month = static_cast<uint16_t>(t.date().month());
    d.day = static_cast<uint16_t>(t.date().day());
    d.day_of_week = static_cast<uint16_t>(t.date().dayOfWeek() % 7);
    d.hour = static_cast<uint16_t>(t.time().hour());
    d.minute = static_cast<uint16_t>(t.time().minute());
    d.second = static_cast<uint16_t>(t.time().second());
    return d;
}

QString picture_for_kind(uint16_t kind) {
    const QString date = qt_date_time_format(short_date_format4());
    const QString time = qt_date_time_format(time_format_no_seconds());
    if (kind == 9) return time;
    if (kind == 10) return date + QStringLiteral("'   '") + time;
    return date;
}

}  // namespace

QString qt_date_time_format(std::u16string_view picture) {
    QString out;
    size_t i = 0;
    while (i < picture.size()) {
        const char16_t c = picture[i];
        if (c == u'\'') {  // a quoted literal is copied with its quotes
            const size_t end = picture.find(u'\'', i + 1);
            const size_t stop = end == std::u16string_view::npos ? picture.size() : end + 1;
            out += qs(picture.substr(i, stop - i));
            i = stop;
            continue;
        }
        size_t run = 1;
        while (i + run < picture.size() && picture[i + run] == c) ++run;
        if (c == u't') out += run >= 2 ? QStringLiteral("AP") : QStringLiteral("A");
        else if (c == u'y') out += run <= 2 ? QStringLiteral("yy") : QStringLiteral("yyyy");
        else out += QString(static_cast<qsizetype>(run), QChar(c));
        i += run;
    }
    return out;
}

// ---- CapitalisingEdit ----

CapitalisingEdit::CapitalisingEdit(QWidget* parent) : QLineEdit(parent) {}

void CapitalisingEdit::keyPressEvent(QKeyEvent* event) {
    const QString typed = event->text();
    if (capitals_ != Capitals::Off && typed.size() == 1 && typed[0].isLower() &&
        !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
        QString after = text();
        const int at = hasSelectedText() ? selectionStart() : cursorPosition();
        if (hasSelectedText()) after.remove(selectionStart(), selectedText().size());
        after.insert(at, typed);
        if (capitalise_at(u16(after), static_cast<size_t>(at), capitals_)) {
            insert(typed.toUpper());
            return;
        }
    }
    QLineEdit::keyPressEvent(event);
}

// ---- OptionalDateTimeEdit ----

OptionalDateTimeEdit::OptionalDateTimeEdit(QWidget* parent) : QWidget(parent) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);
    set_ = new QCheckBox(this);
    set_->setAccessibleName(QStringLiteral("Set"));
    picker_ = new QDateTimeEdit(this);
    picker_->setCalendarPopup(true);
    layout->addWidget(set_);
    layout->addWidget(picker_, 1);
    setFocusProxy(set_);
    // Without a value the picker is greyed, and the focus stays on the box.
    connect(set_, &QCheckBox::toggled, this, [this](bool on) {
        const bool had_focus = picker_->hasFocus() || set_->hasFocus();
        picker_->setEnabled(on);
        setFocusProxy(on ? static_cast<QWidget*>(picker_) : set_);
        if (had_focus) (on ? static_cast<QWidget*>(picker_) : set_)->setFocus();
    });
    // Typing into the picker sets a value.
    connect(picker_, &QDateTimeEdit::dateTimeChanged, this, [this] {
        if (picker_->hasFocus()) set_->setChecked(true);
    });
}

void OptionalDateTimeEdit::set_value(uint16_t kind, const DateTime& value) {
    kind_ = kind;
    picker_->setDisplayFormat(picture_for_kind(kind));
    const bool has = !value.is_zero() && value.year != 0;
    {
        const QSignalBlocker block(picker_);
        picker_->setDateTime(has ? to_qt(value) : to_qt(clock().now()));
    }
    set_->setChecked(has);
    picker_->setEnabled(has);
    setFocusProxy(has ? static_cast<QWidget*>(picker_) : set_);
}

std::optional<DateTime> OptionalDateTimeEdit::value() const {
    if (!set_->isChecked()) return std::nullopt;
    DateTime d = from_qt(picker_->dateTime());
    if (kind_ == 8) d.hour = d.minute = d.second = 0;
    return d;
}

QString OptionalDateTimeEdit::value_text() const {
    const auto v = value();
    if (!v) return {};
    const std::u16string date = format_date(*v, short_date_format4());
    const std::u16string time = format_time(*v, time_format_no_seconds());
    if (kind_ == 8) return qs(date);
    if (kind_ == 9) return qs(time);
    return qs(date + u"  " + time);
}

// ---- CardEditors ----

CardEditors::CardEditors(QWidget* surface) : QObject(surface) {
    text_ = new CapitalisingEdit(surface);
    text_->setObjectName(QStringLiteral("CardTextEditor"));
    more_ = new QToolButton(surface);
    more_->setObjectName(QStringLiteral("CardMoreButton"));
    more_->setText(QStringLiteral("..."));
    more_->setToolTip(QStringLiteral("Notes (F4)"));
    more_->setAccessibleName(QStringLiteral("Notes"));
    more_->setFocusPolicy(Qt::NoFocus);
    date_time_ = new OptionalDateTimeEdit(surface);
    date_time_->setObjectName(QStringLiteral("CardDateEditor"));
    selection_ = new QComboBox(surface);
    selection_->setObjectName(QStringLiteral("CardSelectionEditor"));
    selection_->setEditable(true);
    selection_->setInsertPolicy(QComboBox::NoInsert);
    yes_no_ = new QCheckBox(surface);
    yes_no_->setObjectName(QStringLiteral("CardYesNoEditor"));
    yes_no_->setTristate(true);
    for (QWidget* w : std::initializer_list<QWidget*>{text_, date_time_->picker(),
                                                      date_time_->set_box(), selection_,
                                                      selection_->lineEdit(), yes_no_})
        w->installEventFilter(this);
    connect(more_, &QToolButton::clicked, this, &CardEditors::more_clicked);
    hide_all();
}

QWidget* CardEditors::control(EditorKind kind) const {
    switch (kind) {
        case EditorKind::Name:
        case EditorKind::Text: return text_;
        case EditorKind::Date:
        case EditorKind::Time:
        case EditorKind::DateAndTime: return date_time_;
        case EditorKind::Selection: return selection_;
        case EditorKind::YesNo: return yes_no_;
    }
    return text_;
}

void CardEditors::hide_all() {
    for (QWidget* w : std::initializer_list<QWidget*>{text_, more_, date_time_, selection_, yes_no_})
        w->hide();
}

int CardEditors::control_height() const {
    int h = 0;
    for (const QWidget* w :
         std::initializer_list<const QWidget*>{text_, date_time_, selection_, yes_no_})
        h = std::max(h, w->sizeHint().height());
    return h;
}

unsigned CardEditors::caps(EditorKind kind) const {
    switch (kind) {
        case EditorKind::Name:
        case EditorKind::Text: return edit_caps(text_);
        case EditorKind::Date:
        case EditorKind::Time:
        case EditorKind::DateAndTime: return date_time_->has_value() ? kCanCopy | kCanClear : 0;
        case EditorKind::Selection: return selection_->currentText().isEmpty() ? 0u : kCanCopy;
        case EditorKind::YesNo: return kCanClear;
    }
    return 0;
}

bool CardEditors::clipboard_command(EditorKind kind, int command) {
    switch (kind) {
        case EditorKind::Name:
        case EditorKind::Text: {
            const int edit_kind = command == cmd::kEditCut     ? 0
                                  : command == cmd::kEditCopy  ? 1
                                  : command == cmd::kEditPaste ? 3
                                  : command == cmd::kEditClear ? 7
                                                               : 15;
            edit_command(text_, edit_kind);
            return true;
        }
        case EditorKind::Date:
        case EditorKind::Time:
        case EditorKind::DateAndTime:
            if (command == cmd::kEditCopy && date_time_->has_value()) {
                secret_clipboard().copy_text(date_time_->value_text());
                return true;
            }
            if (command == cmd::kEditClear) {
                date_time_->clear_value();
                return true;
            }
            return false;
        case EditorKind::Selection:
            if (command != cmd::kEditCopy || selection_->currentText().isEmpty()) return false;
            secret_clipboard().copy_text(selection_->currentText());
            return true;
        case EditorKind::YesNo:
            if (command != cmd::kEditClear) return false;
            yes_no_->setCheckState(Qt::PartiallyChecked);
            return true;
    }
    return false;
}

bool CardEditors::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress) return QObject::eventFilter(watched, event);
    const auto* key = static_cast<QKeyEvent*>(event);
    const bool plain = !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier));
    if (!plain) return QObject::eventFilter(watched, event);
    switch (key->key()) {
        case Qt::Key_Tab:
        case Qt::Key_Down: emit move_requested(true); return true;
        case Qt::Key_Backtab:
        case Qt::Key_Up: emit move_requested(false); return true;
        case Qt::Key_F4:
            if (watched == text_ && more_->isVisible()) {
                emit more_clicked();
                return true;
            }
            break;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            if (watched == selection_ || watched == selection_->lineEdit()) {
                emit move_requested(true);
                return true;
            }
            break;
        default: break;
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace ks::gui
