// The card view: a name line and a value line for every field with something to show, and the
// attachments, laid out and painted as the card's style asks.
#include <QApplication>
#include <QPainter>
#include <QPalette>
#include <QTextLayout>

#include <algorithm>
#include <cmath>

#include "card/card_modes.h"
#include "card/rules/background_placement.h"
#include "core/card.h"
#include "shell/gui/gui_services.h"
#include "shell/gui/item_images.h"
#include "shell/gui/secret_clipboard.h"

namespace ks::gui {

namespace {

constexpr int kMargin = 4;       // between the window's edge and the text
constexpr int kTopGap = 3;       // above the first line, below the title strip
constexpr int kValueIndent = 5;  // value lines start this far in
constexpr int kLinkSpace = 20;   // kept free beside a link line for its icon
constexpr int kPairGap = 8;      // between a name and its value side by side
constexpr int kFirstLinkIcon = 288;

// Wallet text with its line breaks as Qt lays them out.
QString layout_text(std::u16string_view text) {
    QString s = qs(text);
    s.replace(QStringLiteral("\r\n"), QString(QChar::LineSeparator));
    s.replace(QChar(u'\n'), QChar::LineSeparator);
    s.replace(QChar(u'\r'), QChar::LineSeparator);
    return s;
}

// Lays the text out in lines of at most `width` pixels, breaking between words where it can.
void lay_out(QTextLayout& layout, int width, Qt::Alignment alignment) {
    QTextOption option(alignment);
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    option.setTabStopDistance(8 * QFontMetrics(layout.font()).horizontalAdvance(QLatin1Char(' ')));
    layout.setTextOption(option);
    layout.beginLayout();
    qreal y = 0;
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(std::max(width, 1));
        line.setPosition(QPointF(0, y));
        y += line.height();
    }
    layout.endLayout();
}

int wrapped_lines(std::u16string_view text, const QFont& font, int width) {
    QTextLayout layout(layout_text(text), font);
    lay_out(layout, width, Qt::AlignLeft);
    return std::max(layout.lineCount(), 1);
}

// Draws the text wrapped into `rect`, one visual line per `line_height` pixels.
void draw_wrapped(QPainter& painter, std::u16string_view text, const QFont& font, const QRect& rect,
                  Qt::Alignment alignment, int line_height, bool first_line_only = false) {
    QTextLayout layout(layout_text(text), font);
    lay_out(layout, rect.width(), alignment);
    painter.setFont(font);
    const int count = first_line_only ? std::min(layout.lineCount(), 1) : layout.lineCount();
    for (int i = 0; i < count; ++i) {
        const QTextLine line = layout.lineAt(i);
        const qreal y = rect.top() + i * line_height + (line_height - line.height()) / 2;
        line.draw(&painter, QPointF(rect.left(), y - line.y()));
    }
}

QColor inverse(const QColor& c) { return QColor(255 - c.red(), 255 - c.green(), 255 - c.blue()); }

// The width of a name's first line as the layout draws it.
int name_width(std::u16string_view name, const QFont& font, int limit) {
    QTextLayout layout(layout_text(name).section(QChar::LineSeparator, 0, 0), font);
    layout.beginLayout();
    QTextLine line = layout.createLine();
    if (line.isValid()) line.setLineWidth(1e6);
    layout.endLayout();
    const int w = line.isValid() ? static_cast<int>(std::ceil(line.naturalTextWidth())) + 1 : 0;
    return std::min(w, limit);
}

}  // namespace

ViewState::ViewState(CardList& list) : ModeState(list) { refresh(); }

void ViewState::refresh() {
    const Card& card = list_.card();
    const CardStyle& s = card.style();
    style_ = s[style::kLayout] > 2 ? 0 : static_cast<int>(s[style::kLayout]);
    always_show_ = s[style::kAlwaysShowPins] != 0;
    const int size = static_cast<int>(s[style::kTextSize]);
    data_font_ = font_for_size(size, s[style::kDataBold] != 0);
    name_font_ = font_for_size(size - 1, s[style::kNamesBold] != 0);
    line_height_ = std::max(line_height_for_size(size), line_height_for_size(size - 1));
    background_ = colour(s[style::kBackground]);
    name_colour_ = colour(s[style::kNameColour]);
    data_colour_ = colour(s[style::kDataColour]);
    picture_ = card.picture().has_data() ? decode_image(card.picture().data_view()) : QImage();
    picture_position_ = card.picture().setting();
    placed_ = QPixmap();
    lines_ = view_lines(card);
    selected_ = first_selectable(lines_);
    layout(list_.surface()->viewport()->width());
}

int ViewState::text_width(const CardViewLine& line) const {
    int w = width_ - 2 * kMargin;
    if (line.flags & line_flag::kValue) w -= kValueIndent;
    if (line.flags & line_flag::kAnyLink) w -= kLinkSpace;
    const size_t index = static_cast<size_t>(&line - lines_.data());
    if (style_ != 0 && index > 0 && selectable(line)) {
        // Side by side: the value shares its row with its name.
        w -= name_width(lines_[index - 1].text.view(), name_font_, width_ / 2) + kPairGap;
    }
    return std::max(w, 16);
}

void ViewState::layout(int width) {
    width_ = width;
    heights_.assign(lines_.size(), 0);
    total_ = kTopGap;
    for (size_t i = 0; i < lines_.size(); ++i) {
        const CardViewLine& line = lines_[i];
        const bool pair_name = style_ != 0 && !selectable(line) && i + 1 < lines_.size();
        if (pair_name) continue;  // drawn inside its value's row
        const QFont& f = line.kind == CardLineKind::NameLabel ? name_font_ : data_font_;
        const std::u16string_view text = shown_text(line, true, true);
        heights_[i] = wrapped_lines(text, f, text_width(line)) * line_height_;
        total_ += heights_[i];
    }
    list_.surface()->update_range(total_, line_height_);
}

int ViewState::line_top(int line) const {
    int top = kTopGap;
    for (int i = 0; i < line && i < static_cast<int>(heights_.size()); ++i)
        top += heights_[static_cast<size_t>(i)];
    return top;
}

void ViewState::paint_background(QPainter& painter, const QRect& area) {
    painter.fillRect(area, background_);
    if (picture_.isNull()) return;
    const QSize size = list_.surface()->viewport()->size();
    if (placed_.isNull() || placed_size_ != size) {
        placed_ = QPixmap(size);
        placed_.fill(background_);
        QPainter p(&placed_);
        const BackgroundPlacement at = place_background(
            picture_position_, {size.width(), size.height()}, {picture_.width(), picture_.height()});
        if (at.tile)
            p.drawTiledPixmap(placed_.rect(), QPixmap::fromImage(picture_));
        else
            p.drawImage(QPoint(at.x, at.y), picture_);
        placed_size_ = size;
    }
    painter.drawPixmap(area, placed_, area);
}

void ViewState::paint(QPainter& painter, const QRect& area, int scroll) {
    paint_background(painter, area);
    int y = kTopGap - scroll;
    for (size_t i = 0; i < lines_.size(); ++i) {
        const int h = heights_[i];
        if (y > area.bottom()) break;
        if (h > 0 && y + h >= area.top()) {
            if (style_ == 0 || !selectable(lines_[i]) || i == 0)
                paint_stacked(painter, y, static_cast<int>(i));
            else
                paint_pair(painter, y, static_cast<int>(i));
        }
        y += h;
    }
}

void ViewState::paint_stacked(QPainter& painter, int y, int index) {
    const CardViewLine& line = lines_[static_cast<size_t>(index)];
    const bool selected = index == selected_;
    const int h = heights_[static_cast<size_t>(index)];
    const QPalette& pal = QApplication::palette();
    if (selected) painter.fillRect(QRect(0, y, width_, h), pal.color(QPalette::Highlight));
    const bool label = line.kind == CardLineKind::NameLabel;
    painter.setPen(selected ? pal.color(QPalette::HighlightedText)
                            : (label ? name_colour_ : data_colour_));
    const int x = kMargin + ((line.flags & line_flag::kValue) ? kValueIndent : 0);
    draw_wrapped(painter, shown_text(line, selected, always_show_), label ? name_font_ : data_font_,
                 QRect(x, y, text_width(line), h), Qt::AlignLeft, line_height_);
    paint_link_icon(painter, line, y, false);
}

void ViewState::paint_pair(QPainter& painter, int y, int index) {
    const CardViewLine& value = lines_[static_cast<size_t>(index)];
    const CardViewLine& name = lines_[static_cast<size_t>(index - 1)];
    const bool selected = index == selected_;
    const int h = heights_[static_cast<size_t>(index)];
    const QPalette& pal = QApplication::palette();
    const QColor highlight = pal.color(QPalette::Highlight);
    if (selected) painter.fillRect(QRect(0, y, width_, h), highlight);
    const int name_w = name_width(name.text.view(), name_font_, width_ / 2);
    const int value_w = text_width(value);
    const bool name_right = style_ == 1;
    const int link = (value.flags & line_flag::kAnyLink) ? kLinkSpace : 0;
    const QRect name_rect(name_right ? width_ - kMargin - name_w : kMargin, y, name_w, h);
    const QRect value_rect(name_right ? kMargin + link : width_ - kMargin - link - value_w, y,
                           value_w, h);
    painter.setPen(selected ? inverse(highlight) : name_colour_);
    draw_wrapped(painter, name.text.view(), name_font_, name_rect,
                 name_right ? Qt::AlignRight : Qt::AlignLeft, line_height_, true);
    painter.setPen(selected ? pal.color(QPalette::HighlightedText) : data_colour_);
    draw_wrapped(painter, shown_text(value, selected, always_show_), data_font_, value_rect,
                 name_right ? Qt::AlignLeft : Qt::AlignRight, line_height_);
    paint_link_icon(painter, value, y, name_right);
}

void ViewState::paint_link_icon(QPainter& painter, const CardViewLine& line, int y, bool left_side) {
    const std::optional<int> icon = link_icon(line);
    if (!icon) return;
    const int size = 16;
    const int x = left_side ? kMargin : width_ - kMargin - size;
    strip_icon(kFirstLinkIcon + *icon).paint(&painter, QRect(x, y + (line_height_ - size) / 2, size, size));
}

void ViewState::select(int line) {
    if (line < 0 || line >= static_cast<int>(lines_.size()) ||
        !selectable(lines_[static_cast<size_t>(line)]))
        return;
    selected_ = line;
    list_.ensure_visible(line_top(line), heights_[static_cast<size_t>(line)]);
    list_.repaint_surface();
    emit list_.selection_changed(lines_[static_cast<size_t>(line)].field);
}

void ViewState::tap(QPoint content_pos) {
    const std::optional<int> hit = line_at(lines_, heights_, content_pos.y() - kTopGap);
    if (!hit) return;
    if (*hit == selected_) activate();
    else select(*hit);
}

void ViewState::next() {
    if (selected_ >= 0) {
        // A line taller than the page is read a page at a time before the selection moves on.
        const int bottom = line_top(selected_) + heights_[static_cast<size_t>(selected_)];
        const int page = list_.surface()->viewport()->height();
        if (bottom > list_.scroll() + page) {
            list_.ensure_visible(std::min(list_.scroll() + page, bottom - page), page);
            return;
        }
    }
    select(next_selectable(lines_, selected_));
}

void ViewState::previous() {
    if (selected_ >= 0) {
        const int top = line_top(selected_);
        if (top < list_.scroll()) {
            const int page = list_.surface()->viewport()->height();
            list_.ensure_visible(std::max(list_.scroll() - page, top), page);
            return;
        }
    }
    select(previous_selectable(lines_, selected_));
}

void ViewState::activate() {
    if (selected_ < 0) return;
    const Activation a = activation_of(lines_[static_cast<size_t>(selected_)]);
    if (a.action == LineAction::CopyText) copy_selected();
    else if (a.action != LineAction::Nothing) emit list_.activated(a, selected_);
}

bool ViewState::copy_selected() const {
    if (selected_ < 0) return false;
    const CardViewLine& line = lines_[static_cast<size_t>(selected_)];
    if (line.text.empty()) return false;
    secret_clipboard().copy_secret(qs(line.text.view()));
    QApplication::beep();
    return true;
}

}  // namespace ks::gui
