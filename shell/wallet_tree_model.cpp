#include "shell/wallet_tree_model.h"

#include "core/format.h"
#include "core/keys.h"
#include "platform/texts.h"
#include "shell/gui/gui_services.h"
#include "shell/settings.h"

namespace ks::gui {

namespace {
// Internal ids: a document item where it stands is its index + 1; a special folder is its tag;
// a shortcut under a special folder is the tag plus the item's index + 1.
constexpr quintptr kFavouritesTag = quintptr{1} << 32;
constexpr quintptr kSearchTag = quintptr{2} << 32;
constexpr quintptr kLowMask = 0xFFFFFFFFu;

quintptr tag_of(int entry) {
    return entry == kFavouritesEntry ? kFavouritesTag : kSearchTag;
}
int entry_of_tag(quintptr tag) {
    return tag == kFavouritesTag ? kFavouritesEntry : kSearchResultsEntry;
}
quintptr item_id(int index) {
    return static_cast<quintptr>(index) + 1;
}
int item_of(quintptr id) {
    return static_cast<int>(id & kLowMask) - 1;
}
int special_caption_entry(int entry) {
    return entry == kFavouritesEntry ? 1 : 2;
}
}  // namespace

WalletTreeModel::WalletTreeModel(WalletDocument& document, const SearchResults& results,
                                 QObject* parent)
    : QAbstractItemModel(parent), document_(document), results_(results) {
    document_.add_listener(*this);
    favourites_ = live_favourites();
    search_hits_ = live_results();
}

WalletTreeModel::~WalletTreeModel() {
    document_.remove_listener(*this);
}

int WalletTreeModel::special_row_count() const {
    return (search_hits_.empty() ? 0 : 1) + (favourites_.empty() ? 0 : 1);
}
int WalletTreeModel::search_row() const {
    return search_hits_.empty() ? -1 : 0;
}
int WalletTreeModel::favourites_row() const {
    return favourites_.empty() ? -1 : (search_hits_.empty() ? 0 : 1);
}

QModelIndex WalletTreeModel::index(int row, int column, const QModelIndex& parent) const {
    if (row < 0 || column != 0) return {};
    if (!parent.isValid()) {
        if (row == search_row()) return createIndex(row, 0, kSearchTag);
        if (row == favourites_row()) return createIndex(row, 0, kFavouritesTag);
        const int item =
            document_.child_at(kNoIndex, static_cast<size_t>(row - special_row_count()));
        return item == kNoIndex ? QModelIndex() : createIndex(row, 0, item_id(item));
    }
    const quintptr id = parent.internalId();
    if (id == kFavouritesTag || id == kSearchTag) {
        const std::vector<int>& rows = id == kFavouritesTag ? favourites_ : search_hits_;
        if (static_cast<size_t>(row) >= rows.size()) return {};
        return createIndex(row, 0, id | item_id(rows[static_cast<size_t>(row)]));
    }
    if (id > kLowMask) return {};
    const int item = document_.child_at(item_of(id), static_cast<size_t>(row));
    return item == kNoIndex ? QModelIndex() : createIndex(row, 0, item_id(item));
}

QModelIndex WalletTreeModel::parent(const QModelIndex& child) const {
    if (!child.isValid()) return {};
    const quintptr id = child.internalId();
    const quintptr tag = id & ~kLowMask;
    if (tag != 0) {
        if ((id & kLowMask) == 0) return {};
        return special_folder_index(entry_of_tag(tag));
    }
    const auto place = document_.place_of(item_of(id));
    if (!place || place->parent == kNoIndex) return {};
    const auto parent_place = document_.place_of(place->parent);
    if (!parent_place) return {};
    return createIndex(top_row(parent_place->parent, parent_place->row), 0, item_id(place->parent));
}

int WalletTreeModel::rowCount(const QModelIndex& parent) const {
    if (!document_.is_open()) return 0;
    if (!parent.isValid()) {
        return special_row_count() + static_cast<int>(document_.child_count(kNoIndex));
    }
    const quintptr id = parent.internalId();
    if (id == kFavouritesTag) return static_cast<int>(favourites_.size());
    if (id == kSearchTag) return static_cast<int>(search_hits_.size());
    if (id > kLowMask) return 0;
    const int item = item_of(id);
    if (document_.kind_of(item) == 1) return 0;
    return static_cast<int>(document_.child_count(item));
}

int WalletTreeModel::columnCount(const QModelIndex&) const {
    return 1;
}

bool WalletTreeModel::hasChildren(const QModelIndex& parent) const {
    return rowCount(parent) > 0;
}

int WalletTreeModel::entry(const QModelIndex& index) const {
    if (!index.isValid()) return kNoIndex;
    const quintptr id = index.internalId();
    if (id == kFavouritesTag || id == kSearchTag) return entry_of_tag(id);
    return item_of(id);
}

ItemKind WalletTreeModel::kind(const QModelIndex& index) const {
    return item_kind(document_, entry(index));
}

bool WalletTreeModel::in_special_folder(const QModelIndex& index) const {
    return index.isValid() && index.internalId() > kLowMask && (index.internalId() & kLowMask) != 0;
}

QModelIndex WalletTreeModel::special_folder_index(int entry) const {
    const int row = entry == kFavouritesEntry ? favourites_row() : search_row();
    return row < 0 ? QModelIndex() : createIndex(row, 0, tag_of(entry));
}

std::optional<QModelIndex> WalletTreeModel::parent_index(int parent) const {
    if (parent == kNoIndex) return QModelIndex();
    // The tree shows only what it reaches from the top level; a damaged chain of parents may
    // come round to itself, so the walk stops after as many steps as there are items.
    int at = parent;
    for (size_t steps = 0; steps <= document_.nodes().size(); ++steps) {
        const auto place = document_.place_of(at);
        if (!place) return std::nullopt;
        if (place->parent == kNoIndex) {
            const auto own = document_.place_of(parent);
            return createIndex(top_row(own->parent, own->row), 0, item_id(parent));
        }
        at = place->parent;
    }
    return std::nullopt;
}

QModelIndex WalletTreeModel::index_of(int entry) const {
    if (entry == kFavouritesEntry || entry == kSearchResultsEntry) {
        return special_folder_index(entry);
    }
    if (entry == kNoIndex) return {};
    return parent_index(entry).value_or(QModelIndex());
}

QString WalletTreeModel::display_text(int entry) const {
    if (entry == kFavouritesEntry || entry == kSearchResultsEntry) {
        const Caption caption = get_caption(document_.info(), special_caption_entry(entry));
        if (entry == kFavouritesEntry) return qs(caption.text);
        return qs(search_results_caption(caption.text, results_.text));
    }
    const TreeNode* node = document_.node(entry);
    return node ? qs(node->name()) : QString();
}

QVariant WalletTreeModel::data(const QModelIndex& index, int role) const {
    const int e = entry(index);
    if (e == kNoIndex) return {};
    const bool special = e == kFavouritesEntry || e == kSearchResultsEntry;
    switch (role) {
        case Qt::DisplayRole:
        case Qt::EditRole:
        case Qt::ToolTipRole:
            return display_text(e);
        case kEntryRole:
            return e;
        case Qt::DecorationRole: {
            if (special) {
                return builtin_item_icon(
                    get_caption(document_.info(), special_caption_entry(e)).icon);
            }
            const TreeNode* node = document_.node(e);
            if (!node) return {};
            QIcon icon = builtin_item_icon(node->icon());
            if (node->icon() == kCustomIcon) {
                const auto noted = imported_positions_.find(e);
                if (noted != imported_positions_.end()) icon = images_.imported_icon(noted->second);
            }
            return in_special_folder(index) ? with_overlay(icon, 1) : icon;
        }
        case Qt::ForegroundRole: {
            if (e == cut_entry_ && !in_special_folder(index)) return QColor(Qt::gray);
            if (special) return colour(app_settings().ColorFolderSpecial);
            switch (document_.kind_of(e)) {
                case 1:
                    return colour(document_.settings().value(format::settings::kCardEntryColour));
                case 3:
                    return colour(app_settings().ColorFolderForms);
                default:
                    return colour(document_.settings().value(format::settings::kTreeColour));
            }
        }
        case Qt::BackgroundRole:
            if (drop_target_.isValid() && drop_target_ == index) {
                return QColor(0xCC, 0xE4, 0xFF);
            }
            return {};
        default:
            return {};
    }
}

bool WalletTreeModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::EditRole || in_special_folder(index)) return false;
    const int e = entry(index);
    const std::u16string name = u16(value.toString());
    if (display_text(e) == value.toString() && e != kSearchResultsEntry) return true;
    if (!document_.rename(e, name)) return false;
    if (e == kFavouritesEntry || e == kSearchResultsEntry) emit dataChanged(index, index);
    return true;
}

Qt::ItemFlags WalletTreeModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsSelectable | Qt::ItemIsEnabled;
    if (!in_special_folder(index) && !document_.read_only()) f |= Qt::ItemIsEditable;
    if (document_.kind_of(entry(index)) == 1) f |= Qt::ItemNeverHasChildren;
    return f;
}

// ---- Special folders ----

std::vector<int> WalletTreeModel::live_favourites() const {
    std::vector<int> rows;
    if (!document_.is_open()) return rows;
    for (const NodeId& id : document_.favourites()) {
        const int index = document_.list_index_of(id);
        const TreeNode* node = document_.node(index);
        if (node && !node->deleted() && node->kind() == NodeKind::Card) rows.push_back(index);
    }
    return rows;
}

std::vector<int> WalletTreeModel::live_results() const {
    std::vector<int> rows;
    if (!document_.is_open()) return rows;
    for (int index : results_.indexes) {
        const TreeNode* node = document_.node(index);
        if (node && !node->deleted()) rows.push_back(index);
    }
    return rows;
}

void WalletTreeModel::update_special(int entry, std::vector<int>& rows, std::vector<int> wanted) {
    if (rows == wanted) {
        // Names may have changed under the shortcuts; the caption may have too.
        const QModelIndex folder = special_folder_index(entry);
        if (folder.isValid()) {
            emit dataChanged(folder, folder);
            if (!rows.empty())
                emit dataChanged(index(0, 0, folder), index(int(rows.size()) - 1, 0, folder));
        }
        return;
    }
    if (rows.empty()) {
        // The folder appears, its shortcuts with it.
        const int row = entry == kSearchResultsEntry ? 0 : (search_hits_.empty() ? 0 : 1);
        beginInsertRows({}, row, row);
        rows = std::move(wanted);
        endInsertRows();
        return;
    }
    const QModelIndex folder = special_folder_index(entry);
    if (wanted.empty()) {
        beginRemoveRows({}, folder.row(), folder.row());
        rows.clear();
        endRemoveRows();
        return;
    }
    beginRemoveRows(folder, 0, static_cast<int>(rows.size()) - 1);
    rows.clear();
    endRemoveRows();
    beginInsertRows(folder, 0, static_cast<int>(wanted.size()) - 1);
    rows = std::move(wanted);
    endInsertRows();
    emit dataChanged(folder, folder);
}

void WalletTreeModel::refresh_special_folders() {
    update_special(kSearchResultsEntry, search_hits_, live_results());
    update_special(kFavouritesEntry, favourites_, live_favourites());
}

void WalletTreeModel::note_imported_icon(int index) {
    const TreeNode* node = document_.node(index);
    std::optional<size_t> position;
    if (node && !node->deleted() && node->icon() == kCustomIcon) {
        position = images_.add_imported(node->icon_image_unpadded());
    }
    if (position)
        imported_positions_[index] = *position;
    else
        imported_positions_.erase(index);
}

void WalletTreeModel::note_imported_icons() {
    images_.clear();
    imported_positions_.clear();
    for (size_t i = 0; i < document_.nodes().size(); ++i) note_imported_icon(static_cast<int>(i));
}

void WalletTreeModel::reset() {
    beginResetModel();
    read_document();
    endResetModel();
}

void WalletTreeModel::read_document() {
    note_imported_icons();
    favourites_ = live_favourites();
    search_hits_ = live_results();
    cut_entry_ = kNoIndex;
    drop_target_ = QPersistentModelIndex();
}

void WalletTreeModel::set_cut_entry(int entry) {
    const int before = cut_entry_;
    cut_entry_ = entry;
    for (int e : {before, entry}) {
        if (const QModelIndex i = index_of(e); i.isValid()) emit dataChanged(i, i);
    }
}

void WalletTreeModel::set_drop_target(const QModelIndex& target) {
    if (drop_target_ == target) return;
    const QModelIndex before = drop_target_;
    drop_target_ = target;
    if (before.isValid()) emit dataChanged(before, before);
    if (target.isValid()) emit dataChanged(target, target);
}

// ---- The document's notifications ----

void WalletTreeModel::before_change(const ListChange& change) {
    pending_ = Pending::None;
    changed_entry_ = change.index;
    const auto from_parent = change.from ? parent_index(change.from->parent) : std::nullopt;
    const auto to_parent = change.to ? parent_index(change.to->parent) : std::nullopt;
    switch (change.kind) {
        case ListChangeKind::Reset:
            beginResetModel();
            pending_ = Pending::Reset;
            return;
        case ListChangeKind::SpecialEntry:
            return;
        default:
            break;
    }
    if (from_parent && to_parent && change.from->parent == change.to->parent &&
        change.from->row == change.to->row) {
        pending_ = Pending::Refresh;
        return;
    }
    if (from_parent && to_parent) {
        const int from_row = top_row(change.from->parent, change.from->row);
        int to_row = top_row(change.to->parent, change.to->row);
        // Qt counts the destination before the move: within one parent a move down lands
        // before the row after the one it ends on.
        if (change.from->parent == change.to->parent && change.to->row > change.from->row) {
            ++to_row;
        }
        if (beginMoveRows(*from_parent, from_row, from_row, *to_parent, to_row)) {
            pending_ = Pending::Move;
        } else {
            pending_ = Pending::Refresh;
        }
        return;
    }
    if (from_parent) {
        const int row = top_row(change.from->parent, change.from->row);
        beginRemoveRows(*from_parent, row, row);
        pending_ = Pending::Remove;
    } else if (to_parent) {
        const int row = top_row(change.to->parent, change.to->row);
        beginInsertRows(*to_parent, row, row);
        pending_ = Pending::Insert;
    }
}

void WalletTreeModel::after_change(const ListChange& change) {
    switch (pending_) {
        case Pending::Reset:
            read_document();
            endResetModel();
            pending_ = Pending::None;
            return;
        case Pending::Insert:
            endInsertRows();
            break;
        case Pending::Remove:
            endRemoveRows();
            break;
        case Pending::Move:
            endMoveRows();
            break;
        case Pending::Refresh:
            if (const QModelIndex i = index_of(changed_entry_); i.isValid()) emit dataChanged(i, i);
            break;
        case Pending::None:
            break;
    }
    pending_ = Pending::None;
    if (change.kind == ListChangeKind::Inserted || change.kind == ListChangeKind::Changed) {
        note_imported_icon(change.index);
    }
    refresh_special_folders();
}

}  // namespace ks::gui
