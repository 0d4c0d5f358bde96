#include "card/title_strip.h"

#include <QEvent>
#include <QPainter>

#include "shell/gui/gui_services.h"
#include "shell/settings.h"

namespace ks::gui {

TitleStrip::TitleStrip(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("VoDlgBar"));
    setFixedHeight(kStripHeight);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    if (parent) {
        parent->installEventFilter(this);
        resize(parent->width(), kStripHeight);
    }
}

void TitleStrip::set_content(const QString& text, const QIcon& icon) {
    text_ = text;
    icon_ = icon;
    setAccessibleName(text);
    update();
}

QSize TitleStrip::sizeHint() const { return {240, kStripHeight}; }

bool TitleStrip::eventFilter(QObject* watched, QEvent* event) {
    if (watched == parentWidget() && event->type() == QEvent::Resize && !parentWidget()->layout()) {
        resize(parentWidget()->width(), kStripHeight);
    }
    return QWidget::eventFilter(watched, event);
}

void TitleStrip::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const AppSettings& s = app_settings();
    const QRect band(0, 0, width(), kStripHeight - 1);
    gradient_fill(p, band, colour(s.ColorBarStart), colour(s.ColorBarEnd));
    p.fillRect(QRect(0, kStripHeight - 1, width(), 1), colour(0x9C613B));
    int x = 4;
    if (!icon_.isNull()) {
        const int offset = (kStripHeight + 16 - 32) / 2;
        icon_.paint(&p, QRect(offset, offset, 16, 16));
        x = offset + 16 + 5;
    }
    p.setFont(gui::font(kHeaderFontSlot));
    p.setPen(colour(s.ColorBarText));
    p.drawText(QRect(x, 0, width() - x - 2, kStripHeight - 1),
               Qt::AlignVCenter | Qt::AlignLeft | Qt::TextSingleLine, text_);
}

}  // namespace ks::gui
