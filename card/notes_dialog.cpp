#include "card/notes_dialog.h"

#include <QAction>
#include <QKeyEvent>
#include <QMenu>
#include <QPlainTextEdit>
#include <QVBoxLayout>

#include "platform/clock.h"
#include "platform/locale_format.h"
#include "shell/gui/commands.h"
#include "shell/gui/gui_services.h"
#include "shell/gui/soft_keys.h"
#include "shell/settings.h"

namespace ks::gui {

namespace {
constexpr int kNotesStrip = 223;
constexpr int kZoomPoints[] = {8, 9, 11, 13, 16};
constexpr int kZooms = 5;
}  // namespace

int note_zoom_points(int zoom) { return kZoomPoints[note_zoom_step(zoom)]; }

int note_zoom_step(int32_t stored) { return stored >= 0 && stored < kZooms ? stored : 1; }

NotesDialog::NotesDialog(QWidget* owner, const QString& title, const QString& text)
    : FullScreenDialog(owner, menu_id::kNotes) {
    setObjectName(QStringLiteral("NotesDialog"));
    set_title(title, kNotesStrip);
    body()->setContentsMargins(0, 0, 0, 0);
    editor_ = new QPlainTextEdit(this);
    editor_->setObjectName(QStringLiteral("NotesEditor"));
    editor_->setAccessibleName(title);
    editor_->setTabChangesFocus(false);
    editor_->document()->setDocumentMargin(3);
    QString plain = text;
    plain.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
    editor_->setPlainText(plain);
    editor_->installEventFilter(this);
    editor_->document()->setModified(false);
    editor_->moveCursor(QTextCursor::End);
    original_length_ = static_cast<int>(editor_->toPlainText().size());
    body()->addWidget(editor_, 1);
    for (int z = 0; z < kZooms; ++z) {
        if (QAction* a = soft_keys()->action(cmd::kZoom75 + z)) a->setCheckable(true);
    }
    set_zoom(note_zoom_step(app_settings().NoteZoom));
    editor_->setFocus();
}

bool NotesDialog::eventFilter(QObject* watched, QEvent* event) {
    // Ctrl+Enter is Done here too, not a line break.
    if (watched == editor_ && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) &&
            (key->modifiers() & Qt::ControlModifier)) {
            on_done();
            return true;
        }
    }
    return FullScreenDialog::eventFilter(watched, event);
}

void NotesDialog::set_zoom(int zoom) {
    zoom_ = zoom;
    QFont f = gui::font(1);
    f.setPointSize(kZoomPoints[zoom]);
    editor_->setFont(f);
    for (int z = 0; z < kZooms; ++z) {
        if (QAction* a = soft_keys()->action(cmd::kZoom75 + z)) a->setChecked(z == zoom);
    }
}

void NotesDialog::run_command(int id) {
    const QString now_date = qs(format_date(clock().now(), short_date_format4()));
    switch (id) {
        case cmd::kEditCut: editor_->cut(); return;
        case cmd::kEditCopy: editor_->copy(); return;
        case cmd::kEditPaste: editor_->paste(); return;
        case cmd::kEditClear: editor_->textCursor().removeSelectedText(); return;
        case cmd::kEditSelectAll: editor_->selectAll(); return;
        case cmd::kInsertDate: editor_->insertPlainText(now_date + QLatin1Char(' ')); return;
        case cmd::kInsertTime:
            editor_->insertPlainText(qs(format_time(clock().now(), time_format_no_seconds())) +
                                     QLatin1Char(' '));
            return;
        default: break;
    }
    if (id >= cmd::kZoom75 && id <= cmd::kZoom300) {
        set_zoom(id - cmd::kZoom75);
        app_settings().set(&AppSettings::NoteZoom, zoom_);
        return;
    }
    FullScreenDialog::run_command(id);
}

void NotesDialog::on_done() {
    QString text = editor_->toPlainText();
    if (editor_->document()->isModified() || text.size() != original_length_) {
        text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
        result_ = text;
    }
    accept();
}

std::optional<QString> NotesDialog::edit(QWidget* owner, const QString& title, const QString& text) {
    NotesDialog dialog(owner, title, text);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.result();
}

}  // namespace ks::gui
