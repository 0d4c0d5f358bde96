#pragma once
// The band with an icon and a text across the top of every dialog ("VoDlgBar"): the header's
// gradient, font and height, following its parent's width.
#include <QIcon>
#include <QWidget>

namespace ks::gui {

constexpr int kStripHeight = 23;  // the main window's header height

class TitleStrip final : public QWidget {
    Q_OBJECT
  public:
    explicit TitleStrip(QWidget* parent);
    void set_content(const QString& text, const QIcon& icon);
    QString text() const { return text_; }
    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QString text_;
    QIcon icon_;
};

}  // namespace ks::gui
