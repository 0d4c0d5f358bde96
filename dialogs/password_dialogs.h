#pragma once
// The password entry dialog (keypad, auto OK, hint after failures, two-minute time-out) and the
// new-password dialog (the password twice and a hint).
#include <QTimer>

#include <optional>

#include "card/full_screen_dialog.h"
#include "platform/secret.h"
#include "shell/dialog_rules.h"
#include "shell/wallet_session.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace ks::gui {

class PasswordEntryDialog final : public FullScreenDialog {
    Q_OBJECT
  public:
    // Keypad button ids: 1400-1409 the digits, 1410 Back, 1411 Clear, 1412 OK.
    static constexpr int kDigit0 = 1400;
    static constexpr int kBack = 1410;
    static constexpr int kClear = 1411;
    static constexpr int kOkButton = 1412;
    static constexpr int kTimerId = 5501;

    PasswordEntryDialog(QWidget* owner, PasswordQuestion request);
    // The accepted password (empty until the dialog ends with 1).
    const SecretText& password() const { return password_; }
    QLineEdit* password_box() const { return box_; }
    QPushButton* keypad_button(int id) const;
    void press_keypad(int id);
    void tick();  // one second of the countdown
    const IdleCountdown& countdown() const { return countdown_; }
    int failures() const { return attempts_.failures(); }

  protected:
    void on_done() override;

  private:
    void text_changed();
    void accept_text(std::u16string_view text);

    PasswordQuestion request_;
    QLineEdit* box_;
    std::vector<QPushButton*> keys_;
    PasswordAttempts attempts_;
    IdleCountdown countdown_;
    QTimer timer_;
    SecretText password_;
};

class NewPasswordDialog final : public FullScreenDialog {
    Q_OBJECT
  public:
    static constexpr int kTimerId = 5502;
    NewPasswordDialog(QWidget* owner, bool new_wallet);
    const std::optional<NewPassword>& result_password() const { return result_; }
    QLineEdit* first_box() const { return first_; }
    QLineEdit* second_box() const { return second_; }
    QLineEdit* hint_box() const { return hint_; }
    void tick();

  protected:
    void on_done() override;

  private:
    QLineEdit* first_;
    QLineEdit* second_;
    QLineEdit* hint_;
    IdleCountdown countdown_;
    QTimer timer_;
    std::optional<NewPassword> result_;
};

}  // namespace ks::gui
