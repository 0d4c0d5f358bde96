#include "shell/gui/gui_services.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QLabel>
#include <QAbstractButton>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QPainter>
#include <QScreen>

#include <array>
#include <optional>

#include "platform/texts.h"
#include "shell/settings.h"

namespace ks::gui {

QString qs(std::u16string_view text) {
    return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

std::u16string u16(const QString& text) {
    return std::u16string(reinterpret_cast<const char16_t*>(text.utf16()),
                          static_cast<size_t>(text.size()));
}

QString text(uint32_t id) { return qs(load_string(id)); }

bool is_high_res() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen && screen->devicePixelRatio() >= 2.0;
}

int scale_by_res(int n) { return n; }
int scaled(int n) { return n; }

QColor colour(uint32_t colorref) {
    return QColor(colorref & 0xFF, (colorref >> 8) & 0xFF, (colorref >> 16) & 0xFF);
}

uint32_t colorref(const QColor& c) {
    return static_cast<uint32_t>(c.red()) | (static_cast<uint32_t>(c.green()) << 8) |
           (static_cast<uint32_t>(c.blue()) << 16);
}

// ---- Fonts ----

namespace {
struct SlotSpec {
    double points;  // 0: the system font
    int weight;
    bool underline;
};
constexpr std::array<SlotSpec, kFontSlots> kSlots = {{
    {8, 400, false}, {9, 400, false}, {10, 400, false}, {11, 400, false}, {12, 400, false},
    {16, 400, false}, {8, 700, false}, {9, 700, false}, {10, 700, false}, {11, 700, false},
    {12, 700, false}, {16, 700, false}, {8, 400, true}, {9, 400, true}, {10, 400, true},
    {11, 400, true}, {12, 400, true}, {16, 400, true}, {10, 700, false}, {9, 400, false},
    {0, 400, false}, {0, 700, false}, {8.5, 400, false}, {8.5, 700, false}, {8.5, 700, true},
    {7, 400, false}, {7, 700, false}, {8, 700, true},
}};

std::array<std::optional<QFont>, kFontSlots>& font_cache() {
    static std::array<std::optional<QFont>, kFontSlots> cache;
    return cache;
}

QString face() {
    static const QString chosen = [] {
        const QStringList families = QFontDatabase::families();
        for (const char* name : {"DejaVu Sans", "Liberation Sans", "Noto Sans"}) {
            if (families.contains(QString::fromLatin1(name))) return QString::fromLatin1(name);
        }
        return QFontDatabase::systemFont(QFontDatabase::GeneralFont).family();
    }();
    return chosen;
}

QFont make_font(const SlotSpec& spec) {
    QFont f = spec.points == 0 ? QApplication::font() : QFont(face());
    if (spec.points != 0) f.setPointSizeF(spec.points);
    f.setWeight(spec.weight >= 700 ? QFont::Bold : QFont::Normal);
    f.setUnderline(spec.underline);
    f.setStyleStrategy(app_settings().ClearType ? QFont::PreferAntialias : QFont::NoAntialias);
    return f;
}

int slot_for_size(int points, bool bold) {
    int base;
    if (points == 0) points = 11;  // no accessibility setting on the desktop: the normal size
    if (points <= 8) base = 0;
    else if (points == 9) base = 1;
    else if (points == 10) base = 2;
    else if (points == 11) base = 3;
    else if (points == 12) base = 4;
    else base = 5;
    if (points >= 1 && points <= 7) return bold ? 26 : 25;
    return bold ? base + 6 : base;
}
}  // namespace

QFont font(int slot) {
    if (slot < 0 || slot >= kFontSlots) return QApplication::font();
    auto& cached = font_cache()[static_cast<size_t>(slot)];
    if (!cached) cached = make_font(kSlots[static_cast<size_t>(slot)]);
    return *cached;
}

QFont font_for_size(int points, bool bold) { return font(slot_for_size(points, bold)); }

int line_height_for_size(int points) {
    return QFontMetrics(font_for_size(points, false)).height() + 2;
}

void reset_fonts() {
    for (auto& f : font_cache()) f.reset();
}

// ---- Gradients ----

namespace {
void fill_rows(QPainter& painter, const QRect& rect, QColor start, QColor end, int steps) {
    if (steps <= 0) steps = 1;
    for (int i = 0; i < rect.height(); ++i) {
        const auto mix = [&](int a, int b) { return a + (b - a) * i / steps; };
        painter.fillRect(QRect(rect.left(), rect.top() + i, rect.width(), 1),
                         QColor(mix(start.red(), end.red()), mix(start.green(), end.green()),
                                mix(start.blue(), end.blue())));
    }
}
}  // namespace

void gradient_fill(QPainter& painter, const QRect& rect, QColor start, QColor end) {
    fill_rows(painter, rect, start, end, rect.height());
}

void gradient_fill_in(QPainter& painter, const QRect& rect, QColor start, QColor end,
                      const QRect& reference) {
    fill_rows(painter, rect, start, end, reference.height() + 1);
}

// ---- Message boxes ----

namespace {
QMessageBox::StandardButtons buttons_of(PromptButtons b) {
    switch (b) {
        case PromptButtons::Ok: return QMessageBox::Ok;
        case PromptButtons::OkCancel: return QMessageBox::Ok | QMessageBox::Cancel;
        case PromptButtons::YesNo: return QMessageBox::Yes | QMessageBox::No;
        case PromptButtons::YesNoCancel:
            return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
        case PromptButtons::RetryCancel: return QMessageBox::Retry | QMessageBox::Cancel;
    }
    return QMessageBox::Ok;
}

QMessageBox::Icon icon_of(PromptIcon i) {
    switch (i) {
        case PromptIcon::Error:
        case PromptIcon::Stop: return QMessageBox::Critical;
        case PromptIcon::Information: return QMessageBox::Information;
        case PromptIcon::Exclamation: return QMessageBox::Warning;
        case PromptIcon::Question: return QMessageBox::Question;
        case PromptIcon::None: break;
    }
    return QMessageBox::NoIcon;
}

PromptAnswer answer_of(int button) {
    switch (button) {
        case QMessageBox::Yes: return PromptAnswer::Yes;
        case QMessageBox::No: return PromptAnswer::No;
        case QMessageBox::Retry: return PromptAnswer::Retry;
        case QMessageBox::Ok: return PromptAnswer::Ok;
        default: return PromptAnswer::Cancel;
    }
}

QtMessageBoxes& program_boxes() {
    static QtMessageBoxes boxes;
    return boxes;
}
MessageBoxes* current_boxes = nullptr;
}  // namespace

PromptAnswer QtMessageBoxes::ask(const PromptMessage& message) {
    QWidget* owner = owner_ ? owner_ : QApplication::activeWindow();
    QMessageBox box(icon_of(message.icon), qs(message.caption), qs(message.text),
                    buttons_of(message.buttons), owner);
    box.setTextFormat(Qt::PlainText);
    if (message.buttons == PromptButtons::YesNo || message.buttons == PromptButtons::YesNoCancel) {
        box.setEscapeButton(message.buttons == PromptButtons::YesNo ? QMessageBox::No
                                                                    : QMessageBox::Cancel);
    }
    return answer_of(box.exec());
}

PromptAnswer ScriptedMessageBoxes::ask(const PromptMessage& message) {
    shown.push_back(message);
    if (answers.empty()) return default_answer;
    const PromptAnswer a = answers.front();
    answers.pop_front();
    return a;
}

MessageBoxes& message_boxes() { return current_boxes ? *current_boxes : program_boxes(); }

ScopedMessageBoxes::ScopedMessageBoxes(MessageBoxes& boxes) : previous_(current_boxes) {
    current_boxes = &boxes;
}
ScopedMessageBoxes::~ScopedMessageBoxes() { current_boxes = previous_; }

PromptAnswer message_box(uint32_t text_id, uint32_t caption_id, PromptButtons buttons,
                         PromptIcon icon) {
    return message_boxes().ask({load_string(text_id), load_string(caption_id), buttons, icon});
}

// ---- Controls ----

void set_item_string(QWidget* control, uint32_t text_id) {
    const QString t = text(text_id);
    if (auto* label = qobject_cast<QLabel*>(control)) label->setText(t);
    else if (auto* button = qobject_cast<QAbstractButton*>(control)) button->setText(t);
    else if (auto* edit = qobject_cast<QLineEdit*>(control)) edit->setText(t);
    else if (control) control->setWindowTitle(t);
}

void add_combo_string(QComboBox* combo, uint32_t text_id, int data) {
    combo->addItem(text(text_id), data);
}

void select_combo_by_data(QComboBox* combo, int data) {
    const int count = std::min(combo->count(), 200);
    for (int i = 0; i < count; ++i) {
        if (combo->itemData(i).toInt() == data) {
            combo->setCurrentIndex(i);
            return;
        }
    }
    combo->setCurrentIndex(combo->count() > 0 ? 0 : -1);
}

unsigned edit_caps(const QLineEdit* edit) {
    unsigned caps = 0;
    const QMimeData* clip = QGuiApplication::clipboard()->mimeData();
    const bool can_paste = !edit->isReadOnly() && clip && clip->hasText();
    if (can_paste) caps |= kCanPaste;
    if (!edit->text().isEmpty()) caps |= kCanSelectAll;
    if (!edit->hasSelectedText()) return caps & kCanPaste;
    const bool hidden = edit->echoMode() != QLineEdit::Normal;  // passwords are not copied
    if (!hidden) caps |= kCanCopy;
    if (!edit->isReadOnly()) caps |= kCanClear | (hidden ? 0u : unsigned{kCanCut});
    return caps;
}

void edit_command(QLineEdit* edit, int kind) {
    switch (kind) {
        case 0: edit->cut(); break;
        case 1: edit->copy(); break;
        case 3: edit->paste(); break;
        case 7: edit->del(); break;
        case 15: edit->selectAll(); break;
        default: break;
    }
}

QImage decode_image(std::span<const uint8_t> bytes) {
    QImage image;
    image.loadFromData(bytes.data(), static_cast<int>(bytes.size()));
    return image;
}

}  // namespace ks::gui
