#include "shell/gui/drawn_icons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include <functional>

#include "shell/gui/commands.h"

namespace ks::gui {

namespace {
using Drawing = std::function<void(QPainter&)>;  // draws in a 16 x 16 box

QIcon drawn(const Drawing& draw) {
    QIcon icon;
    for (int size : {16, 32, 64}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(size / 16.0, size / 16.0);
        draw(p);
        icon.addPixmap(pixmap);
    }
    return icon;
}

const QColor kInk(0x2B, 0x3A, 0x55);
const QColor kLeather(0x8B, 0x4A, 0x1C);
const QColor kGold(0xE0, 0xA8, 0x2E);

void wallet(QPainter& p) {
    p.setPen(QPen(kInk, 0.8));
    p.setBrush(kLeather);
    p.drawRoundedRect(QRectF(1.5, 4, 13, 10), 2, 2);
    p.setBrush(kLeather.lighter(130));
    p.drawRoundedRect(QRectF(9, 7, 6, 4), 1, 1);
    p.setBrush(kGold);
    p.drawEllipse(QPointF(11, 9), 1, 1);
    p.setPen(QPen(QColor(0x2E, 0x7D, 0x32), 1.2));
    p.drawLine(QPointF(3.5, 4), QPointF(6, 1.5));
    p.drawLine(QPointF(6, 1.5), QPointF(9.5, 4));
}

void magnifier(QPainter& p) {
    p.setPen(QPen(kInk, 1.8, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(QColor(0xDD, 0xEE, 0xFF));
    p.drawEllipse(QPointF(6.5, 6.5), 4.2, 4.2);
    p.drawLine(QPointF(9.6, 9.6), QPointF(14, 14));
}

void cross(QPainter& p) {
    p.setPen(QPen(QColor(0xB0, 0x20, 0x20), 2.0, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(4, 4), QPointF(12, 12));
    p.drawLine(QPointF(12, 4), QPointF(4, 12));
}

void expand(QPainter& p) {
    p.setPen(QPen(kInk, 1.0));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(2.5, 2.5, 11, 11));
    p.setPen(QPen(kInk, 1.6));
    p.drawLine(QPointF(5, 8), QPointF(11, 8));
    p.drawLine(QPointF(8, 5), QPointF(8, 11));
}

void mode(QPainter& p) {  // a magnifier over a page: find in the wallet
    p.setPen(QPen(kInk, 0.8));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(1.5, 1.5, 9, 12));
    p.setPen(QPen(kInk.lighter(150), 0.8));
    for (double y = 4; y < 12; y += 2.5) p.drawLine(QPointF(3, y), QPointF(9, y));
    p.setPen(QPen(kInk, 1.5, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(QColor(0xDD, 0xEE, 0xFF, 200));
    p.drawEllipse(QPointF(10, 9.5), 3, 3);
    p.drawLine(QPointF(12.2, 11.7), QPointF(15, 14.5));
}

void padlock(QPainter& p) {
    p.setPen(QPen(kInk, 1.6));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(4.5, 1.5, 7, 8), 0, 180 * 16);
    p.drawLine(QPointF(4.5, 5.5), QPointF(4.5, 7));
    p.drawLine(QPointF(11.5, 5.5), QPointF(11.5, 7));
    p.setPen(QPen(kInk, 0.8));
    p.setBrush(kGold);
    p.drawRoundedRect(QRectF(2.5, 7, 11, 7.5), 1.2, 1.2);
    p.setBrush(kInk);
    p.drawEllipse(QPointF(8, 10.2), 1.2, 1.2);
}

void card(QPainter& p) {
    p.setPen(QPen(kInk, 0.8));
    p.setBrush(QColor(0xF5, 0xF1, 0xE0));
    p.drawRoundedRect(QRectF(1.5, 3, 13, 10), 1.5, 1.5);
    p.setPen(QPen(kInk.lighter(140), 1.0));
    p.drawLine(QPointF(4, 6.5), QPointF(12, 6.5));
    p.drawLine(QPointF(4, 9.5), QPointF(10, 9.5));
    p.setPen(QPen(QColor(0x2E, 0x7D, 0x32), 1.6));
    p.drawLine(QPointF(12.5, 0.5), QPointF(12.5, 5.5));
    p.drawLine(QPointF(10, 3), QPointF(15, 3));
}

void folder(QPainter& p) {
    p.setPen(QPen(QColor(0x9A, 0x6B, 0x10), 0.8));
    p.setBrush(kGold);
    QPainterPath path;
    path.moveTo(1.5, 4);
    path.lineTo(6, 4);
    path.lineTo(7.5, 5.5);
    path.lineTo(14.5, 5.5);
    path.lineTo(14.5, 13.5);
    path.lineTo(1.5, 13.5);
    path.closeSubpath();
    p.drawPath(path);
    p.setPen(QPen(QColor(0x2E, 0x7D, 0x32), 1.6));
    p.drawLine(QPointF(12.5, 0.5), QPointF(12.5, 5.5));
    p.drawLine(QPointF(10, 3), QPointF(15, 3));
}

void properties(QPainter& p) {
    p.setPen(QPen(kInk, 0.8));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(2.5, 1.5, 11, 13));
    p.setPen(QPen(kInk, 1.0));
    for (double y = 4.5; y < 13; y += 3) {
        p.drawLine(QPointF(4.5, y), QPointF(6, y));
        p.drawLine(QPointF(7.5, y), QPointF(11.5, y));
    }
}
}  // namespace

QIcon resource_icon(int resource) {
    switch (resource) {
        case kProgramIcon: return drawn(wallet);
        case kModeIcon: return drawn(mode);
        case kClearIcon: return drawn(cross);
        case kExpandIcon: return drawn(expand);
        case kSearchIcon: return drawn(magnifier);
        case kPasswordIcon: return drawn(padlock);
        default: return {};
    }
}

QIcon command_icon(int command) {
    switch (command) {
        case cmd::kNewCard: return drawn(card);
        case cmd::kNewFolder: return drawn(folder);
        case cmd::kProperties: return drawn(properties);
        case cmd::kFind: return drawn(magnifier);
        default: return {};
    }
}

}  // namespace ks::gui
