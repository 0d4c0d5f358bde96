#pragma once
// The wallet tree: the view of the open wallet in the main window, and the item commands that
// act on it (new, properties, rename, cut, copy, paste, delete, favourites, export, import,
// drag and drop). Every change goes through the document; the view follows its notifications.
#include <QPersistentModelIndex>
#include <QTimer>
#include <QTreeView>

#include <filesystem>
#include <functional>
#include <optional>

#include "card/card_window.h"
#include "core/search.h"
#include "core/wallet_document.h"
#include "dialogs/exchange_dialogs.h"
#include "dialogs/item_dialogs.h"
#include "shell/tree_rules.h"
#include "shell/wallet_tree_model.h"

class QLabel;
class QMenu;

namespace ks::gui {

// The dialogs the tree runs; tests replace them with scripted answers.
class TreeDialogs {
  public:
    enum class FileKind { Text, FormFile };
    virtual ~TreeDialogs() = default;
    virtual bool folder_properties(QWidget* owner, FolderPropertiesRequest& request,
                                   WalletDocument& document, ItemImages& images);
    virtual std::optional<FormChoice> select_card_type(QWidget* owner, const FormId& current,
                                                       const WalletDocument& document,
                                                       ItemImages& images);
    virtual bool export_choices(QWidget* owner, ExportRequest& request);
    virtual bool export_form_choices(QWidget* owner, ExportFormsRequest& request);
    // 0 cancelled, 1 import from a file, 2 the web page was opened.
    virtual int import_forms(QWidget* owner);
    virtual std::optional<std::filesystem::path> pick_file(QWidget* owner, FileKind kind);
    // Runs the card window on the request's card until it closes; its closing notification goes
    // to the request's owner.
    virtual void run_card_window(QWidget* owner, CardWindowRequest& request,
                                 const CardWindowStart& start, ItemImages& images);
    virtual void open_file(const std::filesystem::path& path);
};

// What a cut, copy or drag holds.
enum class ClipMode { None = 0, Cut = 1, Copy = 2, Drag = 3 };
struct ClipState {
    ClipMode mode = ClipMode::None;
    int entry = kNoIndex;  // the clipboard (and drag source) item
};

// The node a command acts on, as the tree sees it.
struct ItemInfo {
    QModelIndex index;
    int entry = kNoIndex;
    ItemKind kind = ItemKind::None;
    ItemKind parent_kind = ItemKind::None;
    QModelIndex parent;
};

// Drag scrolling's timer period.
constexpr int kDragScrollMs = 75;
// "Expand all" opens folders this many levels deep; deeper ones open by hand.
constexpr int kExpandAllDepth = 64;

class WalletTree final : public QTreeView {
    Q_OBJECT
  public:
    WalletTree(WalletDocument& document, SearchResults& results, QWidget* parent);
    ~WalletTree() override;

    WalletTreeModel* wallet_model() const { return model_; }
    void set_dialogs(std::unique_ptr<TreeDialogs> dialogs) { dialogs_ = std::move(dialogs); }

    // Reads the document anew (a wallet opened or closed).
    void reload();
    // The search results changed: rebuild their folder, expanded and its first hit selected.
    void show_search_results();

    ItemInfo info(const QModelIndex& index) const;
    ItemInfo selected() const { return info(currentIndex()); }
    uint32_t caps_of(const ItemInfo& info) const;
    uint32_t selected_caps() const { return caps_of(selected()); }
    const ClipState& clip() const { return clip_; }
    bool editing() const { return state() == QAbstractItemView::EditingState; }

    // The item commands; false for a command that is not the tree's.
    bool command(int id);
    static bool is_tree_command(int id);
    // Enables, ticks and labels the item commands of a menu (the main menu or a context menu).
    void enable_menu(const std::function<QAction*(int)>& find_action) const;
    // The context menu for the node at `pos` (viewport coordinates), not yet shown.
    std::unique_ptr<QMenu> context_menu_at(const QPoint& pos);
    // Expand all, or collapse all when any folder is open.
    void expand_or_collapse_all();
    // Moves the clipboard item onto `target` (Paste after Cut, and drop).
    void move_to(const QModelIndex& target);
    // The pending drop (MWM_DROP).
    void finish_drop();
    // The card window closed (CVM_CARDCLOSED): 3 store the card, 4 delete it, else nothing.
    void card_closed(int result);
    // The card open in the card window, if any.
    const Card* open_card() const { return open_card_ ? &open_card_->card : nullptr; }

    // Refused operations beep; this counts them.
    int refusals() const { return refusals_; }

    // Drag steps, for the program and its tests; positions are in the viewport's coordinates.
    void start_drag(const QModelIndex& source);
    void drag_to(const QPoint& pos);
    void end_drag(const QPoint& pos);
    void drag_tick();
    bool dragging() const { return clip_.mode == ClipMode::Drag; }
    unsigned drag_ticks() const { return drag_ticks_; }
    QModelIndex drop_target() const { return drop_target_; }

  signals:
    // Up on the first top-level row.
    void enter_find();
    // The pointer moved during a drag: the user is active.
    void activity();
    // A drop was made; the main window posts MWM_DROP.
    void dropped();

  protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    // The card in the card window: kept until its closing notification says what to do.
    struct OpenCard {
        Card card;
        int entry = kNoIndex;  // kNoIndex for a new card, not yet stored
        CardWindowRequest request;
    };
    void open_card_window(Card card, int entry, CardWindowStart start);
    void open_node(const QModelIndex& index);
    void new_card();
    void new_folder();
    void properties();
    void cut();
    void copy();
    void paste();
    void remove_selected();
    void rename();
    void add_to_favorites();
    void save_to_my_forms();
    // The new form's list index, or kNoIndex (after the error tone).
    int save_card_to_my_forms(int card);
    void export_items();
    void import_items(int command);
    void select_entry(int entry);
    void clear_clip();
    bool is_inside(int folder, int item) const;
    bool ask(std::u16string text);
    void refuse();
    void not_saved();
    QPixmap drag_picture(const QModelIndex& source) const;

    WalletDocument& document_;
    SearchResults& results_;
    WalletTreeModel* model_;
    std::unique_ptr<TreeDialogs> dialogs_;
    std::unique_ptr<OpenCard> open_card_;
    ClipState clip_;
    QPoint press_pos_;
    QPersistentModelIndex press_index_;
    QPersistentModelIndex drop_target_;
    QTimer drag_timer_;
    unsigned drag_ticks_ = 0;
    QPoint drag_pos_;
    QLabel* drag_image_ = nullptr;
    int refusals_ = 0;
};

}  // namespace ks::gui
