#pragma once
// The card list ("Vo_LISTUI_CE_2.1"): the scrolling surface of the card window. It holds the
// state of one mode at a time (the view's lines, the editor's rows or form design's rows),
// takes the keys and the list's private messages, and hands painting and taps on its surface
// ("Vo_VIRTUAL_LIST_CE_2.1") to the current mode.
#include <QAbstractScrollArea>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "card/rules/card_lines.h"
#include "card/rules/edit_rows.h"

class QComboBox;

namespace ks {
class Card;
class FieldRecord;
}  // namespace ks

namespace ks::gui {

constexpr uint32_t LUM_SETMODE = 2674;
constexpr uint32_t LUM_COMMIT = 2675;
constexpr uint32_t LUM_NEXT = 2677;
constexpr uint32_t LUM_PREV = 2678;
constexpr uint32_t LUM_REFRESH = 2679;
constexpr uint32_t LUM_GETFIELDTYPE = 2680;

enum class CardMode : int { View = 0, Edit = 1, Design = 2 };

class CardEditors;
class CardList;

// One mode's state: lays out, paints and takes taps on the surface.
class ModeState {
  public:
    explicit ModeState(CardList& list) : list_(list) {}
    virtual ~ModeState() = default;
    // Measures the content for the surface's width.
    virtual void layout(int width) = 0;
    virtual int content_height() const = 0;
    virtual int line_height() const = 0;
    virtual void paint(QPainter& painter, const QRect& area, int scroll) = 0;
    virtual void tap(QPoint content_pos) = 0;
    virtual void next() = 0;
    virtual void previous() = 0;
    virtual void activate() {}
    virtual void commit(bool empty) { (void)empty; }
    // The editor moved with the scroll position or the size.
    virtual void place_editor() {}

  protected:
    CardList& list_;
};

// The scrolling surface.
class CardSurface final : public QAbstractScrollArea {
    Q_OBJECT
  public:
    explicit CardSurface(CardList& list);
    int scroll() const;
    void update_range(int content_height, int line_height);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    CardList& list_;
};

class CardList final : public QWidget {
    Q_OBJECT
  public:
    CardList(Card& card, CardMode mode, int start, QWidget* parent);
    ~CardList() override;

    // The private messages (LUM_*); LUM_GETFIELDTYPE answers the selected field's kind.
    intptr_t message(uint32_t message, intptr_t wparam = 0, intptr_t lparam = 0);
    CardMode mode() const { return mode_; }
    Card& card() { return card_; }
    CardSurface* surface() const { return surface_; }
    CardEditors& editors() { return *editors_; }
    ModeState* state() const { return state_.get(); }

    // The commands of form design (mode 2), Copy Text (mode 0) and Edit Selection Field; false
    // for a command the list does not take now.
    bool command(int id);
    // Whether a command applies now (menu enabling).
    bool command_enabled(int id) const;

    // View mode: the lines, the selected one, and the look the card asks for.
    const std::vector<CardViewLine>& lines() const;
    int selected_line() const;
    void select_line(int line);
    // Where a view line is on the surface (viewport coordinates).
    QRect line_rect(int line) const;
    // Edit and design modes: the current row and the editor open on it.
    int current_row() const;
    std::optional<EditorKind> open_editor() const;
    void move_to_row(int row);

    // Scrolling, in content coordinates.
    int scroll() const { return surface_->scroll(); }
    void ensure_visible(int top, int height);
    void relayout();
    void repaint_surface();

    // Replaceable for tests: the Notes dialog (title, text → the new text) and the Selection
    // Field dialog (true when the field's list was changed).
    std::function<std::optional<QString>(const QString& title, const QString& text)> edit_notes;
    std::function<bool(FieldRecord& field)> edit_selection_list;

  signals:
    // A view line was activated or Copy Text chosen: the window acts on it.
    void activated(const ks::Activation& activation, int line);
    // The selected field changed (the window keeps it for the next Edit).
    void selection_changed(int field);
    // The card changed (form design's commands, the editors' commits).
    void card_changed();

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool event(QEvent* event) override;

  private:
    void set_mode(CardMode mode, int start);

    Card& card_;
    CardMode mode_;
    CardSurface* surface_;
    CardEditors* editors_;
    std::unique_ptr<ModeState> state_;
};

}  // namespace ks::gui
