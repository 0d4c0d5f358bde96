#include "shell/gui/secret_clipboard.h"

#include <QClipboard>
#include <QCryptographicHash>
#include <QGuiApplication>
#include <QMimeData>

namespace ks::gui {

namespace {

QByteArray digest_of(const QString& text) {
    return QCryptographicHash::hash(text.toUtf8(), QCryptographicHash::Sha256);
}

}  // namespace

SecretClipboard::SecretClipboard() {
    timer_.setSingleShot(true);
    timer_.setInterval(kSecretClipboardMs);
    connect(&timer_, &QTimer::timeout, this, &SecretClipboard::clear_secret);
}

void SecretClipboard::copy_secret(const QString& text) {
    auto* data = new QMimeData;
    data->setText(text);
    data->setData(QStringLiteral("x-kde-passwordManagerHint"), QByteArrayLiteral("secret"));
    QGuiApplication::clipboard()->setMimeData(data);
    digest_ = digest_of(text);
    timer_.start();
}

void SecretClipboard::copy_text(const QString& text) {
    QGuiApplication::clipboard()->setText(text);
}

void SecretClipboard::clear_secret() {
    timer_.stop();
    if (digest_.isEmpty()) return;
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (digest_of(clipboard->text()) == digest_) clipboard->clear();
    digest_.clear();
}

SecretClipboard& secret_clipboard() {
    static SecretClipboard* instance = new SecretClipboard;  // lives as long as the application
    return *instance;
}

}  // namespace ks::gui
