#pragma once
// A dialog that fills its owner window: the title strip at the top, the body, and the soft-key
// bar at the bottom. Done (command 1, Ctrl+Enter) calls on_done(); Cancel (2) and Escape
// reject; F10 presses the second soft key.
#include <QDialog>

#include <cstdint>

class QLabel;
class QVBoxLayout;

namespace ks::gui {

class SoftKeyBar;
class TitleStrip;

class FullScreenDialog : public QDialog {
    Q_OBJECT
  public:
    FullScreenDialog(QWidget* owner, int menu_id);
    TitleStrip* title_strip() const { return strip_; }
    SoftKeyBar* soft_keys() const { return keys_; }
    // Replaces the soft-key bar with the one of another menu template.
    void set_menu(int menu_id);
    // Runs a command as its menu or soft key would.
    virtual void run_command(int id);

  protected:
    QVBoxLayout* body() const { return body_; }
    void set_title(const QString& text, int icon_resource);
    virtual void on_done() { accept(); }
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;

  private:
    TitleStrip* strip_;
    SoftKeyBar* keys_;
    QVBoxLayout* body_;
};

// A label over a group of controls: the text `text_id` in the dialogs' heading font.
QLabel* heading(uint32_t text_id, QWidget* parent);

}  // namespace ks::gui
