#pragma once
// The Notes dialog: a field's text in a multi-line editor, with Insert Date, Insert Time and a
// zoom that is remembered.
#include <QString>

#include <optional>

#include "card/full_screen_dialog.h"

class QPlainTextEdit;

namespace ks::gui {

// The zoom steps: 75%, 100%, 150%, 200%, 300%, stored as 0..4 in the NoteZoom setting.
int note_zoom_points(int zoom);
// A stored NoteZoom outside 0..4 counts as 100%.
int note_zoom_step(int32_t stored);

class NotesDialog final : public FullScreenDialog {
    Q_OBJECT
  public:
    NotesDialog(QWidget* owner, const QString& title, const QString& text);
    QPlainTextEdit* editor() const { return editor_; }
    // After Done: the new text (line breaks as CR LF); nothing when it was not changed.
    const std::optional<QString>& result() const { return result_; }
    void run_command(int id) override;
    int zoom() const { return zoom_; }

    // Runs the dialog; the new text, or nothing after Cancel or Done without a change.
    static std::optional<QString> edit(QWidget* owner, const QString& title, const QString& text);

  protected:
    void on_done() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void set_zoom(int zoom);

    QPlainTextEdit* editor_;
    int original_length_ = 0;
    int zoom_ = 1;
    std::optional<QString> result_;
};

}  // namespace ks::gui
