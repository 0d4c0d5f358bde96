#pragma once
// Copying a card's values to the clipboard. A secret is marked for clipboard managers
// ("x-kde-passwordManagerHint" = "secret", so that they keep no history of it) and cleared
// again after a while if it is still there.
#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>

namespace ks::gui {

constexpr int kSecretClipboardMs = 30000;

class SecretClipboard final : public QObject {
    Q_OBJECT
  public:
    SecretClipboard();
    // Replaces the clipboard's contents with `text`, marked as a secret, and starts the clock.
    void copy_secret(const QString& text);
    // Replaces the clipboard's contents with plain text (dates, times).
    void copy_text(const QString& text);
    // Clears the clipboard when it still holds the last secret (the clock ran out, or the
    // wallet closes); anything copied since is left alone.
    void clear_secret();
    // For tests: how long a secret stays.
    void set_interval(int ms) { timer_.setInterval(ms); }

  private:
    QTimer timer_;
    QByteArray digest_;  // of the secret copied last; the text itself is not kept
};

SecretClipboard& secret_clipboard();

}  // namespace ks::gui
