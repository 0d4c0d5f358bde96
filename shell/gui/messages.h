#pragma once
// Private window messages kept by name and number, posted and sent as Qt events.
#include <QCoreApplication>
#include <QEvent>

#include <cstdint>

namespace ks::gui {

class MessageEvent final : public QEvent {
  public:
    static QEvent::Type type();
    MessageEvent(uint32_t message, intptr_t wparam, intptr_t lparam)
        : QEvent(type()), message(message), wparam(wparam), lparam(lparam) {}
    uint32_t message;
    intptr_t wparam;
    intptr_t lparam;
};

// Queues the message for the receiver's event loop.
void post_message(QObject* receiver, uint32_t message, intptr_t wparam = 0, intptr_t lparam = 0);
// Delivers it at once.
void send_message(QObject* receiver, uint32_t message, intptr_t wparam = 0, intptr_t lparam = 0);

}  // namespace ks::gui
