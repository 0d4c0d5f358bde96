#pragma once
// The Selection Field dialog: the entries of an editable list field, added, deleted and put in
// order.
#include "card/full_screen_dialog.h"

class QLineEdit;
class QListWidget;
class QPushButton;

namespace ks {
class FieldRecord;
}

namespace ks::gui {

constexpr int kSelectionEntryLimit = 127;

class SelectionFieldDialog final : public FullScreenDialog {
    Q_OBJECT
  public:
    SelectionFieldDialog(QWidget* owner, FieldRecord& field);
    QListWidget* list() const { return list_; }
    QLineEdit* entry() const { return entry_; }
    void add();
    void remove();
    void move(int step);

    // Runs the dialog on the field; true after Done.
    static bool edit(QWidget* owner, FieldRecord& field);

  protected:
    void on_done() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void update_buttons();

    FieldRecord& field_;
    QListWidget* list_;
    QLineEdit* entry_;
    QPushButton* add_;
    QPushButton* delete_;
    QPushButton* up_;
    QPushButton* down_;
};

}  // namespace ks::gui
