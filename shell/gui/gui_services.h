#pragma once
// Services every window of the program shares: text conversion, scaling, the font cache,
// gradient bands, the message-box service (scriptable for tests), strings in controls,
// edit-control commands and image decoding from memory.
#include <QColor>
#include <QFont>
#include <QImage>
#include <QString>

#include <cstdint>
#include <deque>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/prompt.h"

class QComboBox;
class QLineEdit;
class QPainter;
class QRect;
class QWidget;

namespace ks::gui {

// ---- Text ----
QString qs(std::u16string_view text);
std::u16string u16(const QString& text);
QString text(uint32_t id);  // load_string as a QString

// ---- Scaling ----
// Logical pixels are the 96-dpi pixels layouts are written in; Qt doubles them on a screen of
// device pixel ratio 2, so lengths are never doubled again here. High resolution selects the
// 32-pixel images.
bool is_high_res();
int scale_by_res(int n);
int scaled(int n);

// ---- Colours ----
// Stored colours are 0x00BBGGRR values.
QColor colour(uint32_t colorref);
uint32_t colorref(const QColor& c);

// ---- Fonts ----
constexpr int kFontSlots = 28;
constexpr int kHeaderFontSlot = 7;  // 9 points bold: the header and title strips
constexpr int kDialogFontSlot = 23;
// The cached font of a slot; an invalid slot gives the application font.
QFont font(int slot);
// The font for a text size in points (0: the accessibility setting; 13 and more: 16).
QFont font_for_size(int points, bool bold);
// The height of a line in that size, with 2 pixels of leading.
int line_height_for_size(int points);
// Drops the cache (after ClearType changes).
void reset_fonts();

// ---- Gradients ----
void gradient_fill(QPainter& painter, const QRect& rect, QColor start, QColor end);
// As gradient_fill, with the steps of `reference`'s height restarted at rect's top, so a
// piece blends with the band it lies in.
void gradient_fill_in(QPainter& painter, const QRect& rect, QColor start, QColor end,
                      const QRect& reference);

// ---- Message boxes ----
// One service shows every message: QMessageBox in the program, scripted answers in tests.
class MessageBoxes : public Prompt {
  public:
    virtual void set_owner(QWidget* owner) { owner_ = owner; }

  protected:
    QWidget* owner_ = nullptr;
};

class QtMessageBoxes final : public MessageBoxes {
  public:
    PromptAnswer ask(const PromptMessage& message) override;
};

// Answers from a queue (the default answer when it runs dry) and records every message.
class ScriptedMessageBoxes final : public MessageBoxes {
  public:
    PromptAnswer ask(const PromptMessage& message) override;
    void answer(PromptAnswer a) { answers.push_back(a); }
    std::deque<PromptAnswer> answers;
    PromptAnswer default_answer = PromptAnswer::Ok;
    std::vector<PromptMessage> shown;
};

MessageBoxes& message_boxes();
class ScopedMessageBoxes {
  public:
    explicit ScopedMessageBoxes(MessageBoxes& boxes);
    ~ScopedMessageBoxes();
    ScopedMessageBoxes(const ScopedMessageBoxes&) = delete;
    ScopedMessageBoxes& operator=(const ScopedMessageBoxes&) = delete;

  private:
    MessageBoxes* previous_;
};

// A message box with both texts loaded by id.
PromptAnswer message_box(uint32_t text_id, uint32_t caption_id,
                         PromptButtons buttons = PromptButtons::Ok,
                         PromptIcon icon = PromptIcon::None);

// ---- Controls ----
// Sets a label's, button's or edit's text from a string id.
void set_item_string(QWidget* control, uint32_t text_id);
void add_combo_string(QComboBox* combo, uint32_t text_id, int data);
// Selects the item carrying `data` among the first 200, else the first item.
void select_combo_by_data(QComboBox* combo, int data);

// What an edit control can do now: 0x1 cut, 0x2 copy, 0x4 paste, 0x8 clear, 0x10 select all.
enum EditCap : unsigned { kCanCut = 0x1, kCanCopy = 0x2, kCanPaste = 0x4, kCanClear = 0x8,
                          kCanSelectAll = 0x10 };
unsigned edit_caps(const QLineEdit* edit);
// 0 cut, 1 copy, 3 paste, 7 clear, 15 select all.
void edit_command(QLineEdit* edit, int kind);

// ---- Images ----
// Decodes a picture held in memory; never through a file. A null image when it cannot.
QImage decode_image(std::span<const uint8_t> bytes);

}  // namespace ks::gui
