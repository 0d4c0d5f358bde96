#include "card/card_list.h"

#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>

#include "card/card_editors.h"
#include "card/card_modes.h"
#include "card/rules/form_design.h"
#include "core/card.h"
#include "platform/text_ids.h"
#include "shell/gui/commands.h"
#include "shell/gui/gui_services.h"
#include "shell/gui/messages.h"

namespace ks::gui {

// ---- CardSurface ----

CardSurface::CardSurface(CardList& list) : QAbstractScrollArea(&list), list_(list) {
    setObjectName(QStringLiteral("Vo_VIRTUAL_LIST_CE_2.1"));
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setFocusPolicy(Qt::NoFocus);
    viewport()->setAutoFillBackground(false);
    // Line up moves only when a whole line remains above; page up reaches the top.
    connect(verticalScrollBar(), &QAbstractSlider::actionTriggered, this, [this](int action) {
        QScrollBar* bar = verticalScrollBar();
        if (action == QAbstractSlider::SliderSingleStepSub && bar->value() < bar->singleStep())
            bar->setSliderPosition(bar->value());
    });
}

int CardSurface::scroll() const { return verticalScrollBar()->value(); }

void CardSurface::update_range(int content_height, int line_height) {
    QScrollBar* bar = verticalScrollBar();
    const int page = viewport()->height();
    bar->setRange(0, std::max(content_height - page, 0));
    bar->setPageStep(std::max(page, 1));
    bar->setSingleStep(std::max(line_height, 1));
}

void CardSurface::paintEvent(QPaintEvent* event) {
    QPainter painter(viewport());  // Qt double-buffers widget painting
    if (ModeState* state = list_.state()) state->paint(painter, event->rect(), scroll());
}

void CardSurface::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    if (ModeState* state = list_.state()) state->tap(event->position().toPoint() + QPoint(0, scroll()));
}

void CardSurface::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    list_.relayout();
}

void CardSurface::scrollContentsBy(int, int) {
    if (ModeState* state = list_.state()) state->place_editor();
    viewport()->update();
}

void CardSurface::keyPressEvent(QKeyEvent* event) { event->ignore(); }  // the list takes keys

// ---- CardList ----

CardList::CardList(Card& card, CardMode mode, int start, QWidget* parent)
    : QWidget(parent), card_(card), mode_(mode) {
    setObjectName(QStringLiteral("Vo_LISTUI_CE_2.1"));
    setFocusPolicy(Qt::StrongFocus);
    setAccessibleName(QStringLiteral("Card"));
    surface_ = new CardSurface(*this);
    editors_ = new CardEditors(surface_->viewport());
    connect(editors_, &CardEditors::move_requested, this,
            [this](bool forward) { message(forward ? LUM_NEXT : LUM_PREV); });
    connect(editors_, &CardEditors::more_clicked, this, [this] {
        if (auto* rows = dynamic_cast<RowsState*>(state_.get())) rows->edit_more();
    });
    set_mode(mode, start);
}

CardList::~CardList() = default;

void CardList::set_mode(CardMode mode, int start) {
    if (state_) state_->commit(true);
    state_.reset();
    editors_->hide_all();
    mode_ = mode;
    surface_->verticalScrollBar()->setValue(0);
    switch (mode) {
        case CardMode::View: state_ = std::make_unique<ViewState>(*this); break;
        case CardMode::Edit:
            state_ = std::make_unique<EditState>(*this,
                                                 EditRows(card_.fields().size()).start_row(start));
            break;
        case CardMode::Design: state_ = std::make_unique<DesignState>(*this, std::max(start, 0)); break;
    }
    if (mode == CardMode::View) {
        setFocus(Qt::OtherFocusReason);
        // The first value is selected with the view at its top.
        const auto* view = static_cast<ViewState*>(state_.get());
        if (view->selected() >= 0)
            emit selection_changed(view->lines()[static_cast<size_t>(view->selected())].field);
    }
    surface_->viewport()->update();
}

intptr_t CardList::message(uint32_t message, intptr_t wparam, intptr_t lparam) {
    switch (message) {
        case LUM_SETMODE: set_mode(static_cast<CardMode>(wparam), static_cast<int>(lparam)); return 0;
        case LUM_COMMIT:
            if (mode_ != CardMode::View && state_) state_->commit(wparam == 0);
            return 0;
        case LUM_NEXT:
            if (state_) state_->next();
            return 0;
        case LUM_PREV:
            if (state_) state_->previous();
            return 0;
        case LUM_REFRESH:
            if (mode_ == CardMode::View) {
                static_cast<ViewState*>(state_.get())->refresh();
                surface_->viewport()->update();
            }
            return 0;
        case LUM_GETFIELDTYPE:
            return mode_ == CardMode::Design ? static_cast<DesignState*>(state_.get())->field_kind()
                                             : 0;
        default: return 0;
    }
}

bool CardList::event(QEvent* event) {
    if (event->type() == MessageEvent::type()) {
        const auto* m = static_cast<MessageEvent*>(event);
        message(m->message, m->wparam, m->lparam);
        return true;
    }
    return QWidget::event(event);
}

const std::vector<CardViewLine>& CardList::lines() const {
    static const std::vector<CardViewLine> none;
    return mode_ == CardMode::View ? static_cast<ViewState*>(state_.get())->lines() : none;
}

int CardList::selected_line() const {
    return mode_ == CardMode::View ? static_cast<ViewState*>(state_.get())->selected() : -1;
}

QRect CardList::line_rect(int line) const {
    if (mode_ != CardMode::View) return {};
    auto* view = static_cast<ViewState*>(state_.get());
    return {0, view->line_top(line) - scroll(), surface_->viewport()->width(), view->height_of(line)};
}

void CardList::select_line(int line) {
    if (mode_ == CardMode::View) static_cast<ViewState*>(state_.get())->select(line);
}

int CardList::current_row() const {
    auto* rows = dynamic_cast<RowsState*>(state_.get());
    return rows ? rows->row() : -1;
}

std::optional<EditorKind> CardList::open_editor() const {
    auto* rows = dynamic_cast<RowsState*>(state_.get());
    return rows ? rows->editor() : std::nullopt;
}

void CardList::move_to_row(int row) {
    if (auto* rows = dynamic_cast<RowsState*>(state_.get())) rows->open_row(row);
}

bool CardList::command_enabled(int id) const {
    switch (id) {
        case cmd::kCopyText: return mode_ == CardMode::View && selected_line() >= 0;
        case cmd::kEditSelectionField:
            return mode_ == CardMode::Design &&
                   static_cast<DesignState*>(state_.get())->field_kind() == 12;
        default: return true;
    }
}

bool CardList::command(int id) {
    if (mode_ == CardMode::View) {
        if (id != cmd::kCopyText) return false;
        static_cast<ViewState*>(state_.get())->copy_selected();
        return true;
    }
    if (mode_ != CardMode::Design) return false;
    auto* design = static_cast<DesignState*>(state_.get());
    const int row = design->row();
    auto apply = [&](int (*change)(Card&, int)) {
        design->commit(false);
        const int selected = change(card_, row);
        design->rebuild(selected);
        emit card_changed();
    };
    switch (id) {
        case cmd::kAddField: {
            design->commit(false);
            const auto added = add_design_field(card_, u16(text(text_id::kNewFieldName)));
            design->rebuild(added.value_or(row), added.has_value());
            if (added) emit card_changed();
            return true;
        }
        case cmd::kDeleteField:
            design->discard_editor();
            design->rebuild(delete_design_field(card_, row));
            emit card_changed();
            return true;
        case cmd::kFieldUp: apply(move_design_field_up); return true;
        case cmd::kFieldDown: apply(move_design_field_down); return true;
        case cmd::kFieldTop: apply(move_design_field_to_top); return true;
        case cmd::kFieldBottom: apply(move_design_field_to_bottom); return true;
        case cmd::kCopyField: apply(copy_design_field); return true;
        case cmd::kEditSelectionField: {
            const size_t index = field_of_design_row(row);
            if (design->field_kind() != 12 || !edit_selection_list) return true;
            design->commit(false);
            if (edit_selection_list(card_.field(index))) emit card_changed();
            design->rebuild(row);
            return true;
        }
        default: return false;
    }
}

void CardList::ensure_visible(int top, int height) {
    QScrollBar* bar = surface_->verticalScrollBar();
    const int page = surface_->viewport()->height();
    if (top < bar->value()) bar->setValue(top);
    else if (top + height > bar->value() + page) bar->setValue(top + height - page);
}

void CardList::relayout() {
    if (state_) state_->layout(surface_->viewport()->width());
    surface_->viewport()->update();
}

void CardList::repaint_surface() { surface_->viewport()->update(); }

void CardList::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    surface_->setGeometry(rect());
}

void CardList::keyPressEvent(QKeyEvent* event) {
    if (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier)) {
        QWidget::keyPressEvent(event);
        return;
    }
    switch (event->key()) {
        case Qt::Key_Tab:
        case Qt::Key_Down: message(LUM_NEXT); return;
        case Qt::Key_Backtab:
        case Qt::Key_Up: message(LUM_PREV); return;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            if (mode_ == CardMode::View && state_) state_->activate();
            return;
        case Qt::Key_Left:
        case Qt::Key_Right: return;
        case Qt::Key_PageDown:
        case Qt::Key_PageUp:
        case Qt::Key_Home:
        case Qt::Key_End: {
            QScrollBar* bar = surface_->verticalScrollBar();
            const int key = event->key();
            bar->triggerAction(key == Qt::Key_PageDown ? QAbstractSlider::SliderPageStepAdd
                               : key == Qt::Key_PageUp ? QAbstractSlider::SliderPageStepSub
                               : key == Qt::Key_Home   ? QAbstractSlider::SliderToMinimum
                                                       : QAbstractSlider::SliderToMaximum);
            return;
        }
        default: QWidget::keyPressEvent(event);
    }
}

}  // namespace ks::gui
