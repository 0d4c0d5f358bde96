#pragma once
// The card list's three mode states: the view's laid-out lines, and the rows of the card
// editor and of form design with the editor open on the current row.
#include <QColor>
#include <QFont>
#include <QImage>
#include <QPixmap>

#include <optional>
#include <vector>

#include "card/card_list.h"
#include "card/rules/card_lines.h"
#include "card/rules/edit_rows.h"

namespace ks::gui {

class ViewState final : public ModeState {
  public:
    explicit ViewState(CardList& list);
    // Rebuilds the lines from the card (LUM_REFRESH) and selects the first value.
    void refresh();
    void layout(int width) override;
    int content_height() const override { return total_; }
    int line_height() const override { return line_height_; }
    void paint(QPainter& painter, const QRect& area, int scroll) override;
    void tap(QPoint content_pos) override;
    void next() override;
    void previous() override;
    void activate() override;

    const std::vector<CardViewLine>& lines() const { return lines_; }
    int selected() const { return selected_; }
    void select(int line);
    // Copy Text: the selected line's real value to the clipboard, marked as a secret.
    bool copy_selected() const;
    int line_top(int line) const;
    int height_of(int line) const {
        return line >= 0 && line < static_cast<int>(heights_.size()) ? heights_[static_cast<size_t>(line)] : 0;
    }

  private:
    int text_width(const CardViewLine& line) const;
    void paint_background(QPainter& painter, const QRect& area);
    void paint_stacked(QPainter& painter, int y, int line);
    void paint_pair(QPainter& painter, int y, int line);
    void paint_link_icon(QPainter& painter, const CardViewLine& line, int y, bool left_side);

    std::vector<CardViewLine> lines_;
    std::vector<int> heights_;
    int selected_ = -1;
    int total_ = 0;
    int width_ = 0;
    int style_ = 0;
    bool always_show_ = false;
    QFont name_font_, data_font_;
    int line_height_ = 16;
    QColor background_, name_colour_, data_colour_;
    QImage picture_;
    int picture_position_ = 9;
    QPixmap placed_;  // the background as placed for the last area size and position
    QSize placed_size_;
};

// The editor's and form design's rows: painting, placing the editor, moving between rows.
class RowsState : public ModeState {
  public:
    explicit RowsState(CardList& list) : ModeState(list) {}
    void layout(int width) override;
    int content_height() const override;
    int line_height() const override { return input_height_; }
    void paint(QPainter& painter, const QRect& area, int scroll) override;
    void tap(QPoint content_pos) override;
    void commit(bool empty) override;
    void place_editor() override;

    int row() const { return row_; }
    std::optional<EditorKind> editor() const { return editor_; }
    // Commits the open editor, then opens the one of `row`.
    void open_row(int row);
    // Hides the editor without storing what it holds.
    void discard_editor();
    // The "..." button: the Notes dialog on the text under the editor.
    void edit_more();

  protected:
    enum class RowLook { Label, Input };
    virtual int row_count() const = 0;
    virtual int row_top(int row) const = 0;
    virtual int row_height(int row) const = 0;
    virtual RowLook look(int row) const = 0;
    virtual QString row_text(int row) const = 0;
    virtual bool selectable_row(int row) const = 0;
    virtual int first_row() const = 0;
    virtual std::optional<EditorKind> editor_for(int row) const = 0;
    virtual void fill_editor(int row, EditorKind kind) = 0;
    virtual void store_editor(int row, EditorKind kind) = 0;
    virtual QString notes_title() const = 0;

    void show_text_editor(const QString& text, int max_length, bool select_all, bool more);
    QString editor_text() const;

    int width_ = 0;
    int label_height_ = 16;
    int input_height_ = 22;
    int spacing_ = 3;
    int row_ = -1;
    std::optional<EditorKind> editor_;
    // A value with line breaks is kept whole here while the one-line editor shows it read-only.
    std::optional<QString> long_text_;
};

class EditState final : public RowsState {
  public:
    EditState(CardList& list, int start_row);
    void next() override;
    void previous() override;

  protected:
    int row_count() const override { return rows_.count(); }
    int row_top(int row) const override;
    int row_height(int row) const override;
    RowLook look(int row) const override;
    QString row_text(int row) const override;
    bool selectable_row(int row) const override { return !EditRows::is_label(row); }
    int first_row() const override { return 1; }
    std::optional<EditorKind> editor_for(int row) const override;
    void fill_editor(int row, EditorKind kind) override;
    void store_editor(int row, EditorKind kind) override;
    QString notes_title() const override;

  private:
    const FieldRecord* field_at(int row) const;
    EditRows rows_;
};

class DesignState final : public RowsState {
  public:
    DesignState(CardList& list, int start_row);
    void next() override;
    void previous() override;
    // The selected field's kind; 0 when there is none.
    int field_kind() const;
    // Rebuilds the rows after a structural change and opens the editor on `row`.
    void rebuild(int row, bool select_all = false);

  protected:
    int row_count() const override;
    int row_top(int row) const override;
    int row_height(int row) const override;
    RowLook look(int row) const override;
    QString row_text(int row) const override;
    bool selectable_row(int row) const override { return row >= 0; }
    int first_row() const override { return 0; }
    std::optional<EditorKind> editor_for(int row) const override;
    void fill_editor(int row, EditorKind kind) override;
    void store_editor(int row, EditorKind kind) override;
    QString notes_title() const override { return {}; }
};

}  // namespace ks::gui
