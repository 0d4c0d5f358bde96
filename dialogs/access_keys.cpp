#include "dialogs/access_keys.h"

#include <QAbstractButton>
#include <QLabel>
#include <QSet>

namespace ks::gui {

namespace {

// `text` with "&" doubled and an "&" before its first character not in `taken`.
QString with_access_key(const QString& text, QSet<QChar>& taken) {
    QString escaped = text;
    escaped.replace(QLatin1Char('&'), QStringLiteral("&&"));
    for (qsizetype i = 0; i < escaped.size(); ++i) {
        const QChar c = escaped[i];
        if (!c.isLetterOrNumber() || taken.contains(c.toLower())) continue;
        taken.insert(c.toLower());
        escaped.insert(i, QLatin1Char('&'));
        break;
    }
    return escaped;
}

}  // namespace

void assign_access_keys(std::initializer_list<QWidget*> controls) {
    QSet<QChar> taken;
    for (QWidget* control : controls) {
        if (auto* button = qobject_cast<QAbstractButton*>(control)) {
            if (button->accessibleName().isEmpty()) button->setAccessibleName(button->text());
            button->setText(with_access_key(button->text(), taken));
        } else if (auto* label = qobject_cast<QLabel*>(control); label && label->buddy()) {
            label->setText(with_access_key(label->text(), taken));
        }
    }
}

}  // namespace ks::gui
