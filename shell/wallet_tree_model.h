#pragma once
// The wallet as a Qt item model: the document's folders and cards where they stand, and at the
// top the Search Results folder (while a find has hits) and the Favorites folder (while the
// wallet has favourites). The model holds no items of its own: rows are read from the
// document's sorted child lists on demand, so a large wallet costs nothing until it is shown,
// and every change reaches the view through the document's list notifications.
#include <QAbstractItemModel>
#include <QColor>

#include <optional>
#include <unordered_map>
#include <vector>

#include "core/search.h"
#include "core/wallet_document.h"
#include "shell/gui/item_images.h"
#include "shell/tree_rules.h"

namespace ks::gui {

// The node parameter of a row: a document index, or kFavouritesEntry / kSearchResultsEntry.
constexpr int kEntryRole = Qt::UserRole;

class WalletTreeModel final : public QAbstractItemModel, public ListListener {
    Q_OBJECT
  public:
    WalletTreeModel(WalletDocument& document, const SearchResults& results, QObject* parent);
    ~WalletTreeModel() override;

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    bool hasChildren(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // The node parameter of a row; kNoIndex for none.
    int entry(const QModelIndex& index) const;
    ItemKind kind(const QModelIndex& index) const;
    // The row of a document item where it stands in the tree (invalid when the tree does not
    // reach it), or of a special folder.
    QModelIndex index_of(int entry) const;
    // Whether the row sits in a special folder (a shortcut to a card shown elsewhere).
    bool in_special_folder(const QModelIndex& index) const;

    // Rebuilds the Favorites and Search Results folders from the document and the results.
    void refresh_special_folders();
    // Forgets everything and reads the document anew (a wallet opened or closed).
    void reset();
    // The row shown dimmed as cut, and the one highlighted as a drop target.
    void set_cut_entry(int entry);
    void set_drop_target(const QModelIndex& index);
    ItemImages& images() { return images_; }

    void before_change(const ListChange& change) override;
    void after_change(const ListChange& change) override;

  private:
    enum class Pending { None, Reset, Insert, Remove, Move, Refresh };

    int special_row_count() const;
    int favourites_row() const;
    int search_row() const;
    int top_row(int parent, int row) const {
        return parent == kNoIndex ? row + special_row_count() : row;
    }
    // The index of the document item `parent` as a parent: the root for kNoIndex, nothing when
    // the tree does not reach it.
    std::optional<QModelIndex> parent_index(int parent) const;
    QModelIndex special_folder_index(int entry) const;
    void update_special(int entry, std::vector<int>& rows, std::vector<int> wanted);
    std::vector<int> live_favourites() const;
    std::vector<int> live_results() const;
    QString display_text(int entry) const;
    // What the model keeps of the document (a reset's work, inside its begin and end).
    void read_document();
    // The wallet's imported icons are the pictures its items carry, in list order.
    void note_imported_icons();
    void note_imported_icon(int index);

    WalletDocument& document_;
    const SearchResults& results_;
    ItemImages images_;
    // The imported icon of each item that carries one, so that painting computes no digests.
    std::unordered_map<int, size_t> imported_positions_;
    std::vector<int> favourites_;
    std::vector<int> search_hits_;
    Pending pending_ = Pending::None;
    int changed_entry_ = kNoIndex;
    int cut_entry_ = kNoIndex;
    QPersistentModelIndex drop_target_;
};

}  // namespace ks::gui
