#include "shell/gui/messages.h"

namespace ks::gui {

QEvent::Type MessageEvent::type() {
    static const auto registered = static_cast<QEvent::Type>(QEvent::registerEventType());
    return registered;
}

void post_message(QObject* receiver, uint32_t message, intptr_t wparam, intptr_t lparam) {
    QCoreApplication::postEvent(receiver, new MessageEvent(message, wparam, lparam));
}

void send_message(QObject* receiver, uint32_t message, intptr_t wparam, intptr_t lparam) {
    MessageEvent event(message, wparam, lparam);
    QCoreApplication::sendEvent(receiver, &event);
}

}  // namespace ks::gui
