#pragma once
// The keypad edition's New Wallet dialog: a name and a place ("Save in": main memory or a
// storage card), giving the path of a wallet file that does not exist yet.
#include <filesystem>
#include <optional>
#include <vector>

#include "card/full_screen_dialog.h"
#include "smartphone/rules/keypad_rules.h"

class QComboBox;
class QLineEdit;

namespace ks::gui {

constexpr int kKeypadEditionNumber = 6;

class NewWalletDialog final : public FullScreenDialog {
    Q_OBJECT
  public:
    NewWalletDialog(QWidget* owner, std::vector<keypad::SaveInChoice> places);
    QLineEdit* name() const { return name_; }
    QComboBox* save_in() const { return save_in_; }
    // After Done: the new wallet's path.
    const std::filesystem::path& path() const { return path_; }

    // Runs the dialog; the path, or nothing after Cancel.
    static std::optional<std::filesystem::path> ask(QWidget* owner,
                                                    std::vector<keypad::SaveInChoice> places);

  protected:
    void on_done() override;

  private:
    std::vector<keypad::SaveInChoice> places_;
    QLineEdit* name_;
    QComboBox* save_in_;
    std::filesystem::path path_;
};

}  // namespace ks::gui
