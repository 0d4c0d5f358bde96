#include "shell/wallet_tree.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDesktopServices>
#include <QDialog>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QUrl>

#include <deque>

#include "core/folder_tree.h"
#include "core/keys.h"
#include "dialogs/card_dialog_set.h"
#include "forms/form_file_messages.h"
#include "forms/forms.h"
#include "forms/text_export.h"
#include "forms/text_import.h"
#include "platform/message_format.h"
#include "platform/text_ids.h"
#include "platform/texts.h"
#include "platform/user_dirs.h"
#include "shell/gui/commands.h"
#include "shell/gui/gui_services.h"
#include "shell/gui/messages.h"
#include "shell/gui/soft_keys.h"
#include "shell/settings.h"

namespace ks::gui {

namespace fs = std::filesystem;

namespace {
using namespace ks::cmd;

constexpr uint32_t kSpecialTitles[] = {text_id::kCaption1, text_id::kCaption2, text_id::kCaption3};
constexpr int32_t kNewFolderIcon = 72;
constexpr int kRenameLimit = 255;
constexpr int kCaptionLimit = 63;

constexpr MenuEntry kNothingMenu[] = {{u"New Folder", kNewFolder}};
constexpr MenuEntry kFavoritesMenu[] = {
    {u"Properties", kProperties}, {u"Clear", kClear}, {u"Rename", kRename}, {u"Export", kExport}};
constexpr MenuEntry kFavoritesChildMenu[] = {{u"Copy", kCopy},
                                             {u"Remove", kRemove},
                                             {u"Save to My Forms", kSaveToMyForms},
                                             {u"Export", kExport}};
constexpr MenuEntry kSearchChildMenu[] = {{u"Add to Favorites", kAddToFavorites},
                                          {u"Copy", kCopy},
                                          {u"Remove", kRemove},
                                          {u"Export", kExport},
                                          {u"Save to My Forms", kSaveToMyForms}};
constexpr MenuEntry kMyFormsCardMenu[] = {{u"New Card", kNewCard},
                                          {u"Add to Favorites", kAddToFavorites},
                                          {u"Cut", kCut},
                                          {u"Copy", kCopy},
                                          {u"Paste", kPaste},
                                          {u"Delete", kDelete},
                                          {u"Rename", kRename},
                                          {u"Export", kExport},
                                          {u"Import Form", kImportForm}};
constexpr MenuEntry kCardMenu[] = {{u"New Card", kNewCard},
                                   {u"New Folder", kNewFolder},
                                   {u"Add to Favorites", kAddToFavorites},
                                   {u"Cut", kCut},
                                   {u"Copy", kCopy},
                                   {u"Paste", kPaste},
                                   {u"Delete", kDelete},
                                   {u"Rename", kRename},
                                   {u"Export", kExport},
                                   {u"Save to My Forms", kSaveToMyForms}};
constexpr MenuEntry kMyFormsMenu[] = {{u"New Card", kNewCard}, {u"Properties", kProperties},
                                      {u"Paste", kPaste},      {u"Rename", kRename},
                                      {u"Export", kExport},    {u"Import Form", kImportForm}};
constexpr MenuEntry kFolderMenu[] = {{u"New Card", kNewCard},      {u"New Folder", kNewFolder},
                                     {u"Properties", kProperties}, {u"Cut", kCut},
                                     {u"Paste", kPaste},           {u"Delete", kDelete},
                                     {u"Rename", kRename},         {u"Export", kExport}};

std::span<const MenuEntry> context_entries(int menu) {
    using namespace menu_id_tree;
    switch (menu) {
        case kNothing:
            return kNothingMenu;
        case kFavorites:
        case kSearchResults:
            return kFavoritesMenu;
        case kFavoritesChild:
            return kFavoritesChildMenu;
        case kSearchResultsChild:
            return kSearchChildMenu;
        case kMyFormsCard:
            return kMyFormsCardMenu;
        case kCard:
            return kCardMenu;
        case kMyForms:
            return kMyFormsMenu;
        default:
            return kFolderMenu;
    }
}

constexpr int kTreeCommands[] = {
    kNewCard, kNewFolder, kProperties,     kRename,        kDelete, kRemove, kClear,     kCut,
    kCopy,    kPaste,     kAddToFavorites, kSaveToMyForms, kExport, kImport, kImportForm};

// The in-place editor: at most 255 characters (63 for a special folder's caption).
class RenameDelegate final : public QStyledItemDelegate {
  public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override {
        auto* editor = QStyledItemDelegate::createEditor(parent, option, index);
        if (auto* line = qobject_cast<QLineEdit*>(editor)) {
            const int entry = index.data(kEntryRole).toInt();
            const bool special = entry == kFavouritesEntry || entry == kSearchResultsEntry;
            line->setMaxLength(special ? kCaptionLimit : kRenameLimit);
        }
        return editor;
    }
};

std::u16string with_name(uint32_t text_id, std::u16string_view name) {
    return format_message(u"%s\n\n(%s)", {load_string(text_id), std::u16string(name)});
}
}  // namespace

// ---- TreeDialogs ----

bool TreeDialogs::folder_properties(QWidget* owner, FolderPropertiesRequest& request,
                                    WalletDocument& document, ItemImages& images) {
    FolderPropertiesDialog dialog(owner, request, document, images);
    return dialog.exec() == QDialog::Accepted;
}

std::optional<FormChoice> TreeDialogs::select_card_type(QWidget* owner, const FormId& current,
                                                        const WalletDocument& document,
                                                        ItemImages& images) {
    SelectCardTypeDialog dialog(owner, current, document, 1, images);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.choice();
}

bool TreeDialogs::export_choices(QWidget* owner, ExportRequest& request) {
    ExportDialog dialog(owner, request, export_destinations());
    return dialog.exec() == QDialog::Accepted;
}

bool TreeDialogs::export_form_choices(QWidget* owner, ExportFormsRequest& request) {
    ExportFormsDialog dialog(owner, request);
    return dialog.exec() == QDialog::Accepted;
}

int TreeDialogs::import_forms(QWidget* owner) {
    ImportFormsDialog dialog(owner);
    return dialog.exec();
}

std::optional<fs::path> TreeDialogs::pick_file(QWidget* owner, FileKind kind) {
    const bool text_file = kind == FileKind::Text;
    const QString filter = text_file
                               ? text(text_id::kTextFilesFilter)
                               : QStringLiteral("%1 (*.ksx)").arg(text(text_id::kFilesFilter));
    const QString path = QFileDialog::getOpenFileName(
        owner, text(text_file ? text_id::kImportCardsTitle : text_id::kImportFormTitle),
        QString::fromStdString(documents_directory().string()), filter);
    if (path.isEmpty()) return std::nullopt;
    return fs::path(path.toStdString());
}

void TreeDialogs::run_card_window(QWidget* owner, CardWindowRequest& request,
                                  const CardWindowStart& start, ItemImages& images) {
    StandardCardDialogs dialogs;
    CardWindow window(owner, request, start, dialogs, images);
    window.exec();
}

void TreeDialogs::open_file(const fs::path& path) {
    QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(path.string())));
}

// ---- The view ----

WalletTree::WalletTree(WalletDocument& document, SearchResults& results, QWidget* parent)
    : QTreeView(parent),
      document_(document),
      results_(results),
      model_(new WalletTreeModel(document, results, this)),
      dialogs_(std::make_unique<TreeDialogs>()) {
    setObjectName(QStringLiteral("WalletTree"));
    setWindowTitle(QStringLiteral("WalletView.KS5"));
    setModel(model_);
    setHeaderHidden(true);
    setFrameShape(QFrame::NoFrame);
    setIndentation(scaled(6) + 10);
    setUniformRowHeights(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setExpandsOnDoubleClick(false);
    setIconSize(QSize(scaled(16), scaled(16)));
    setItemDelegate(new RenameDelegate(this));
    setAllColumnsShowFocus(true);
    header()->setStretchLastSection(true);
    drag_timer_.setInterval(kDragScrollMs);
    connect(&drag_timer_, &QTimer::timeout, this, &WalletTree::drag_tick);
    connect(this, &QTreeView::clicked, this, [this](const QModelIndex& index) {
        // Qt sends no click for a folder's arrow, which opens or closes the folder itself.
        if (!dragging()) open_node(index);
    });
}

WalletTree::~WalletTree() = default;

void WalletTree::reload() {
    clear_clip();
    // A card still waiting for its closing notification belongs to the wallet that went.
    open_card_.reset();
    model_->reset();
}

void WalletTree::show_search_results() {
    model_->refresh_special_folders();
    const QModelIndex folder = model_->index_of(kSearchResultsEntry);
    if (!folder.isValid()) return;
    expand(folder);
    const QModelIndex first = model_->index(0, 0, folder);
    setCurrentIndex(first.isValid() ? first : folder);
    scrollTo(currentIndex());
}

// ---- What a node is and allows ----

ItemInfo WalletTree::info(const QModelIndex& index) const {
    ItemInfo i;
    if (!index.isValid() || !document_.is_open()) return i;
    i.index = index;
    i.entry = model_->entry(index);
    i.kind = model_->kind(index);
    i.parent = index.parent();
    i.parent_kind = i.parent.isValid() ? model_->kind(i.parent) : ItemKind::None;
    return i;
}

uint32_t WalletTree::caps_of(const ItemInfo& i) const {
    const bool pending = clip_.mode == ClipMode::Cut || clip_.mode == ClipMode::Copy;
    const ItemKind clipboard = pending ? item_kind(document_, clip_.entry) : ItemKind::None;
    uint32_t c = item_caps(i.kind, i.parent_kind, clipboard);
    // A wallet opened for reading allows only what changes nothing.
    if (document_.read_only()) c &= caps::kCopy | caps::kExport;
    return c;
}

bool WalletTree::is_tree_command(int id) {
    return std::find(std::begin(kTreeCommands), std::end(kTreeCommands), id) !=
           std::end(kTreeCommands);
}

void WalletTree::enable_menu(const std::function<QAction*(int)>& find_action) const {
    const ItemInfo i = selected();
    const uint32_t c = caps_of(i);
    const bool open = document_.is_open();
    const auto set = [&](int command, bool enabled) {
        if (QAction* a = find_action(command)) a->setEnabled(open && enabled);
    };
    const DeleteLabel label = delete_label(c);
    for (int command : {kDelete, kRemove, kClear}) {
        if (QAction* a = find_action(command)) {
            a->setText(text(label.text_id));
            a->setEnabled(open && label.enabled);
        }
    }
    const NewItemsAllowed allowed = new_items_allowed(i.kind, c);
    set(kNewCard, allowed.card && !document_.read_only());
    set(kNewFolder, allowed.folder && !document_.read_only());
    set(kProperties, i.kind != ItemKind::None);
    set(kRename,
        i.kind != ItemKind::None && !model_->in_special_folder(i.index) && !document_.read_only());
    set(kAddToFavorites, c & caps::kAddToFavorites);
    set(kCut, c & caps::kCut);
    set(kCopy, c & caps::kCopy);
    set(kPaste, c & caps::kPaste);
    set(kExport, c & caps::kExport);
    set(kSaveToMyForms, c & caps::kSaveToMyForms);
    set(kImport, !document_.read_only());
    set(kImportForm, !document_.read_only());
}

// ---- Commands ----

bool WalletTree::command(int id) {
    if (!is_tree_command(id)) return false;
    if (!document_.is_open()) return true;
    // Any command but Paste ends a pending cut.
    if (id != kPaste && clip_.mode == ClipMode::Cut) clear_clip();
    switch (id) {
        case kNewCard:
            new_card();
            break;
        case kNewFolder:
            new_folder();
            break;
        case kProperties:
            properties();
            break;
        case kCut:
            cut();
            break;
        case kCopy:
            copy();
            break;
        case kPaste:
            paste();
            break;
        case kDelete:
        case kRemove:
        case kClear:
            remove_selected();
            break;
        case kRename:
            rename();
            break;
        case kAddToFavorites:
            add_to_favorites();
            break;
        case kSaveToMyForms:
            save_to_my_forms();
            break;
        case kExport:
            export_items();
            break;
        case kImport:
        case kImportForm:
            import_items(id);
            break;
        default:
            break;
    }
    return true;
}

void WalletTree::not_saved() {
    message_box(text_id::kChangeNotSaved, text_id::kErrorTitle, PromptButtons::Ok,
                PromptIcon::Error);
}

void WalletTree::refuse() {
    ++refusals_;
    QApplication::beep();
}

bool WalletTree::ask(std::u16string question) {
    PromptMessage m{std::move(question), load_string(text_id::kProductName), PromptButtons::YesNo,
                    PromptIcon::Question};
    return message_boxes().ask(m) == PromptAnswer::Yes;
}

void WalletTree::select_entry(int entry) {
    const QModelIndex index = model_->index_of(entry);
    if (!index.isValid()) return;
    setCurrentIndex(index);
    scrollTo(index);
}

void WalletTree::clear_clip() {
    clip_ = {};
    model_->set_cut_entry(kNoIndex);
}

void WalletTree::open_node(const QModelIndex& index) {
    const ItemInfo i = info(index);
    if (i.kind == ItemKind::None) return;
    setCurrentIndex(index);
    if (i.kind == ItemKind::Card) {
        const TreeNode* node = document_.node(i.entry);
        if (!node || node->deleted() || open_card_) return;
        std::optional<Card> card = document_.load_card(i.entry);
        if (!card) {
            refuse();
            return;
        }
        // A form in My Forms opens in form design.
        const bool form = i.parent_kind == ItemKind::MyForms;
        open_card_window(std::move(*card), i.entry,
                         {form ? CardMode::Design : CardMode::View, false});
        return;
    }
    setExpanded(index, !isExpanded(index));
}

// The folder a new item or a paste goes into: the selected folder, or the selected card's.
static int target_folder(const WalletDocument& document, const ItemInfo& i) {
    if (i.kind == ItemKind::Folder || i.kind == ItemKind::MyForms) return i.entry;
    if (i.kind == ItemKind::Card) return document.parent_folder_index_of(i.entry);
    return kNoIndex;
}

void WalletTree::new_card() {
    const ItemInfo i = selected();
    if (i.parent_kind == ItemKind::Favorites || i.parent_kind == ItemKind::SearchResults ||
        !(caps_of(i) & caps::kNewCard)) {
        refuse();
        return;
    }
    const int folder = target_folder(document_, i);
    const TreeNode* folder_node = document_.node(folder);
    if (!folder_node) return;
    const auto choice =
        dialogs_->select_card_type(this, folder_node->default_form(), document_, model_->images());
    if (!choice) return;
    std::optional<Card> card = new_card_from_form(document_, folder_node->id(), choice->id);
    if (!card || open_card_) return;
    // The card is stored when the card window closes with it.
    open_card_window(std::move(*card), kNoIndex, {CardMode::Edit, true});
}

void WalletTree::open_card_window(Card card, int entry, CardWindowStart start) {
    open_card_ = std::make_unique<OpenCard>();
    open_card_->card = std::move(card);
    open_card_->entry = entry;
    CardWindowRequest& request = open_card_->request;
    request.card = &open_card_->card;
    request.owner = this;
    request.notification = CVM_CARDCLOSED;
    request.read_only = document_.read_only();
    dialogs_->run_card_window(window(), request, start, model_->images());
}

bool WalletTree::event(QEvent* event) {
    if (event->type() == MessageEvent::type()) {
        const auto* m = static_cast<MessageEvent*>(event);
        if (m->message == CVM_CARDCLOSED) card_closed(static_cast<int>(m->wparam));
        return true;
    }
    return QTreeView::event(event);
}

void WalletTree::new_folder() {
    const ItemInfo i = selected();
    if (i.kind != ItemKind::None && !(caps_of(i) & caps::kNewFolder)) {
        refuse();
        return;
    }
    if (document_.read_only()) return;
    const int parent = is_special(i.kind) ? kNoIndex : target_folder(document_, i);
    const TreeNode* parent_node = document_.node(parent);
    FolderPropertiesRequest request;
    request.folder = document_.new_folder(parent_node ? parent_node->id() : NodeId{});
    request.folder.set_icon(kNewFolderIcon);
    request.offer_main_level = parent_node != nullptr;
    request.new_folder = true;
    if (!dialogs_->folder_properties(this, request, document_, model_->images())) return;
    if (request.main_level) request.folder.set_parent(NodeId{});
    const int stored = document_.store_folder(request.folder);
    if (stored == kNoIndex) {
        not_saved();
        return;
    }
    select_entry(stored);
}

void WalletTree::properties() {
    const ItemInfo i = selected();
    if (i.kind == ItemKind::None) return;
    if (i.kind == ItemKind::Card) {
        open_node(i.index);
        return;
    }
    FolderPropertiesRequest request;
    if (is_special(i.kind)) {
        const int entry = i.kind == ItemKind::Favorites       ? 1
                          : i.kind == ItemKind::SearchResults ? 2
                                                              : 3;
        request.special = true;
        request.title_argument = load_string(kSpecialTitles[entry - 1]);
        request.name = get_caption(document_.info(), entry).text;
        if (!dialogs_->folder_properties(this, request, document_, model_->images())) return;
        if (!document_.read_only()) document_.rename(i.entry, request.name);
        model_->refresh_special_folders();
        return;
    }
    const TreeNode* node = document_.node(i.entry);
    if (!node) return;
    auto copy = document_.folder_copy(node->id());
    if (!copy) return;
    request.folder = *copy;
    request.offer_main_level = i.kind == ItemKind::Folder && !copy->parent().is_none();
    if (!dialogs_->folder_properties(this, request, document_, model_->images())) return;
    if (document_.read_only()) return;
    if (request.main_level && request.offer_main_level) request.folder.set_parent(NodeId{});
    if (!request.folder.dirty()) return;
    if (document_.update_folder(request.folder) == kNoIndex) {
        not_saved();
        return;
    }
    select_entry(i.entry);
}

void WalletTree::cut() {
    const ItemInfo i = selected();
    if (!(caps_of(i) & caps::kCut)) return;
    clip_ = {ClipMode::Cut, i.entry};
    model_->set_cut_entry(i.entry);
}

void WalletTree::copy() {
    const ItemInfo i = selected();
    if (!(caps_of(i) & caps::kCopy)) return;
    clip_ = {ClipMode::Copy, i.entry};
    if (i.kind == ItemKind::Card) {
        if (const std::optional<Card> card = document_.load_card(i.entry)) {
            const SecretText text = card_as_text(*card);
            QApplication::clipboard()->setText(
                QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size())));
        }
    }
}

void WalletTree::paste() {
    const ItemInfo i = selected();
    if (!(caps_of(i) & caps::kPaste)) {
        refuse();
        return;
    }
    if (clip_.mode == ClipMode::Cut) {
        move_to(i.index);
        return;
    }
    if (clip_.mode != ClipMode::Copy) return;
    const int target =
        i.parent_kind == ItemKind::Favorites ? kFavouritesEntry : target_folder(document_, i);
    if (target == kFavouritesEntry || i.kind == ItemKind::Favorites) {
        move_to(i.index);
        return;
    }
    const int copy = document_.copy_card_to_folder(clip_.entry, target);
    if (copy == kNoIndex) {
        refuse();
        return;
    }
    select_entry(copy);
}

bool WalletTree::is_inside(int folder, int item) const {
    // Walks up from `item`; as many steps as there are items at most, so a cycle ends.
    int at = item;
    for (size_t steps = 0; steps <= document_.nodes().size() && at != kNoIndex; ++steps) {
        if (at == folder) return true;
        const auto place = document_.place_of(at);
        if (!place) return false;
        at = place->parent;
    }
    return false;
}

void WalletTree::move_to(const QModelIndex& target_index) {
    const int source = clip_.entry;
    const auto finish = [this, source] {
        clear_clip();
        select_entry(source);
    };
    ItemInfo target = info(target_index);
    const ItemKind source_kind = item_kind(document_, source);
    // Only cards go into My Forms and Favorites.
    const bool card_only_target =
        target.kind == ItemKind::MyForms || target.kind == ItemKind::Favorites ||
        (target.kind == ItemKind::Card &&
         (target.parent_kind == ItemKind::MyForms || target.parent_kind == ItemKind::Favorites));
    if (source_kind == ItemKind::Folder && card_only_target) {
        message_box(text_id::kOnlyCardsInMyForms, text_id::kProductName, PromptButtons::Ok,
                    PromptIcon::Exclamation);
        finish();
        return;
    }
    const ClipMode mode = clip_.mode;
    // Paste must be allowed on the target with the source on the clipboard.
    clip_.mode = ClipMode::Cut;
    const bool allowed = (caps_of(target) & caps::kPaste) != 0;
    clip_.mode = mode;
    if (!allowed || source == kNoIndex || source == target.entry) {
        finish();
        return;
    }
    // A card stands for the folder it is in.
    if (target.kind == ItemKind::Card) {
        target = info(target.parent);
        if (!target.index.isValid()) {
            finish();
            return;
        }
    }
    if (target.entry == document_.parent_folder_index_of(source) &&
        target.kind == ItemKind::Folder) {
        finish();
        return;
    }
    switch (target.kind) {
        case ItemKind::Folder:
            if (source_kind == ItemKind::Folder && is_inside(source, target.entry)) {
                refuse();
                break;
            }
            if (!document_.move(source, target.entry)) refuse();
            break;
        case ItemKind::MyForms:
            if (source_kind == ItemKind::Folder) {
                message_box(text_id::kOnlyCardsInMyForms, text_id::kProductName, PromptButtons::Ok,
                            PromptIcon::Exclamation);
                break;
            }
            save_card_to_my_forms(source);
            break;
        case ItemKind::Favorites:
            if (source_kind == ItemKind::Folder) {
                message_box(text_id::kOnlyCardsInMyForms, text_id::kProductName, PromptButtons::Ok,
                            PromptIcon::Exclamation);
                break;
            }
            if (const TreeNode* node = document_.node(source)) {
                document_.add_favourite(node->id());
                document_.save_blocks();
            }
            break;
        default:
            break;
    }
    finish();
}

void WalletTree::remove_selected() {
    const ItemInfo i = selected();
    const TreeNode* node = document_.node(i.entry);
    const std::u16string name = node ? node->name() : std::u16string();
    if (document_.read_only()) return;
    switch (i.kind) {
        case ItemKind::Card:
            if (i.parent_kind == ItemKind::Favorites) {
                if (!ask(with_name(text_id::kRemoveShortcutAsk, name))) return;
                document_.remove_favourite(node->id());
                document_.save_blocks();
                return;
            }
            if (i.parent_kind == ItemKind::SearchResults || i.parent_kind == ItemKind::Reserved) {
                if (!ask(load_string(text_id::kRemoveShortcutAsk))) return;
                if (i.parent_kind == ItemKind::SearchResults) {
                    std::erase(results_.indexes, i.entry);
                    model_->refresh_special_folders();
                }
                return;
            }
            if (!ask(with_name(i.parent_kind == ItemKind::MyForms ? text_id::kDeleteFormAsk
                                                                  : text_id::kDeleteCardAsk,
                               name)))
                return;
            if (!document_.remove(i.entry)) {
                message_box(text_id::kOpenNoMemory, text_id::kErrorTitle, PromptButtons::Ok,
                            PromptIcon::Error);
            }
            return;
        case ItemKind::Folder: {
            const FolderContents contents = folder_contents(document_, i.entry);
            if (!ask(format_message(load_string(text_id::kDeleteFolderAsk),
                                    {int64_t(contents.folders), int64_t(contents.cards)})))
                return;
            // The folder first: what it held leaves the tree with it.
            std::vector<int> below;
            for (const FolderTree::Step& s : FolderTree(document_, ChildOrder::List).below(i.entry))
                below.push_back(s.index);
            if (!document_.remove(i.entry)) {
                message_box(text_id::kOpenNoMemory, text_id::kErrorTitle, PromptButtons::Ok,
                            PromptIcon::Error);
                return;
            }
            for (int index : below) document_.remove(index);
            return;
        }
        case ItemKind::MyForms:
            message_box(text_id::kMyFormsStays, text_id::kProductName, PromptButtons::Ok,
                        PromptIcon::Information);
            return;
        case ItemKind::SearchResults:
            results_.clear();
            model_->refresh_special_folders();
            return;
        case ItemKind::Favorites:
            for (const NodeId& id : document_.favourites()) document_.remove_favourite(id);
            document_.save_blocks();
            return;
        default:
            return;
    }
}

void WalletTree::rename() {
    const ItemInfo i = selected();
    if (i.kind == ItemKind::None || model_->in_special_folder(i.index) || document_.read_only()) {
        refuse();
        return;
    }
    edit(i.index);
}

void WalletTree::add_to_favorites() {
    const ItemInfo i = selected();
    if (i.kind != ItemKind::Card || !i.parent.isValid()) return;
    const TreeNode* node = document_.node(i.entry);
    if (!node) return;
    if (document_.favourites_count() < kFavouriteSlots && !document_.is_favourite(node->id())) {
        document_.add_favourite(node->id());
        document_.save_blocks();
    }
    const QModelIndex folder = model_->index_of(kFavouritesEntry);
    if (!folder.isValid()) return;
    expand(folder);
    setCurrentIndex(folder);
}

int WalletTree::save_card_to_my_forms(int card) {
    const int form = ks::save_to_my_forms(document_, card);
    if (form == kNoIndex) refuse();
    return form;
}

void WalletTree::save_to_my_forms() {
    const ItemInfo i = selected();
    if (i.kind != ItemKind::Card || !(caps_of(i) & caps::kSaveToMyForms)) return;
    select_entry(save_card_to_my_forms(i.entry));
}

void WalletTree::export_items() {
    const ItemInfo i = selected();
    ExportRequest request;
    request.selection_kind = i.kind == ItemKind::Card ? 1 : i.kind == ItemKind::None ? 0 : 2;
    if (!dialogs_->export_choices(this, request)) return;
    if (request.format == 2) {
        if (i.kind != ItemKind::Card) return;
        const TreeNode* node = document_.node(i.entry);
        if (!node) return;
        ExportFormsRequest form;
        form.form_name = node->name();
        if (!dialogs_->export_form_choices(this, form)) return;
        export_form_file(document_, node->id(), request.folder, !form.exclude_data, form.author,
                         form.description, &message_boxes());
        return;
    }
    TextExportOptions options;
    options.scope = request.items == 2   ? ExportScope::Card
                    : request.items == 1 ? ExportScope::Folder
                                         : ExportScope::WholeWallet;
    options.output_folder = request.folder;
    options.include_attachments = request.option1;
    options.show_pin_values = request.option2;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const TextExportResult result = export_text(document_, options, i.entry, &message_boxes());
    QApplication::restoreOverrideCursor();
    if (result.open_requested) dialogs_->open_file(result.file);
}

void WalletTree::import_items(int command) {
    const ItemInfo i = selected();
    // Import Form always brings a form into My Forms, wherever the selection is.
    const bool my_forms =
        command == kImportForm || i.kind == ItemKind::MyForms || i.parent_kind == ItemKind::MyForms;
    if (document_.read_only()) return;
    if (!my_forms) {
        if (!confirm_text_import(message_boxes())) return;
        const auto path = dialogs_->pick_file(this, TreeDialogs::FileKind::Text);
        if (!path) return;
        const TextImportResult result = import_text_file(document_, *path, message_boxes());
        if (result.folder != kNoIndex) select_entry(result.folder);
        return;
    }
    if (command == kImportForm && dialogs_->import_forms(this) != ImportFormsDialog::kFromFile) {
        return;
    }
    const auto path = dialogs_->pick_file(this, TreeDialogs::FileKind::FormFile);
    if (!path) return;
    const FormImportResult result = import_form_file(document_, *path, message_boxes());
    if (result.status == FormImportStatus::Imported) select_entry(result.index);
}

void WalletTree::expand_or_collapse_all() {
    // Any open folder with children: close every top-level one.
    bool any_open = false;
    for (int row = 0; row < model_->rowCount() && !any_open; ++row) {
        const QModelIndex top = model_->index(row, 0);
        any_open = isExpanded(top) && model_->hasChildren(top);
    }
    if (any_open) {
        collapseAll();
    } else {
        std::deque<std::pair<QModelIndex, int>> pending;
        for (int row = 0; row < model_->rowCount(); ++row)
            pending.push_back({model_->index(row, 0), 1});
        while (!pending.empty()) {
            const auto [index, depth] = pending.front();
            pending.pop_front();
            if (!model_->hasChildren(index)) continue;
            expand(index);
            if (depth >= kExpandAllDepth) continue;
            for (int row = 0; row < model_->rowCount(index); ++row)
                pending.push_back({model_->index(row, 0, index), depth + 1});
        }
    }
    if (!currentIndex().isValid() && model_->rowCount() > 0) setCurrentIndex(model_->index(0, 0));
    scrollTo(currentIndex());
}

void WalletTree::card_closed(int result) {
    const std::unique_ptr<OpenCard> open = std::move(open_card_);
    if (!open || !document_.is_open()) return;
    const bool new_card = open->entry == kNoIndex;
    if (result == static_cast<int>(CardClosed::Changed)) {
        const int stored =
            new_card ? document_.store_card(open->card) : document_.update_card(open->card);
        if (stored == kNoIndex) not_saved();
        else select_entry(stored);
    } else if (result == static_cast<int>(CardClosed::Deleted) && !new_card) {
        if (!document_.remove(open->entry)) not_saved();
    }
    model_->refresh_special_folders();
}

// ---- Context menu ----

std::unique_ptr<QMenu> WalletTree::context_menu_at(const QPoint& pos) {
    const QModelIndex hit = indexAt(pos);
    if (hit.isValid()) {
        setCurrentIndex(hit);
        scrollTo(hit);
    } else {
        setCurrentIndex(QModelIndex());
    }
    const ItemInfo i = info(hit);
    auto menu = std::make_unique<QMenu>(this);
    menu->setObjectName(QStringLiteral("TreeContextMenu"));
    fill_menu(menu.get(), context_entries(context_menu_for(i.kind, i.parent_kind)),
              [this](int id) { command(id); });
    enable_menu([&menu](int id) { return menu_action(menu.get(), id); });
    return menu;
}

void WalletTree::contextMenuEvent(QContextMenuEvent* event) {
    QPoint pos = event->pos();
    if (event->reason() == QContextMenuEvent::Keyboard) {
        pos = currentIndex().isValid() ? visualRect(currentIndex()).center() : QPoint(4, 4);
    } else {
        pos = viewport()->mapFrom(this, event->pos());
    }
    auto menu = context_menu_at(pos);
    menu->exec(viewport()->mapToGlobal(pos));
}

// ---- Keys ----

void WalletTree::keyPressEvent(QKeyEvent* event) {
    const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
    const int key = event->key();
    const auto run = [&](int id) {
        command(id);
        event->accept();
    };
    if (state() == QAbstractItemView::EditingState) {
        QTreeView::keyPressEvent(event);
        return;
    }
    if (key == Qt::Key_Up && mods == Qt::NoModifier && currentIndex().isValid() &&
        !currentIndex().parent().isValid() && currentIndex().row() == 0) {
        emit enter_find();
        event->accept();
        return;
    }
    if ((key == Qt::Key_Return || key == Qt::Key_Enter) && mods == Qt::AltModifier)
        return run(kProperties);
    if ((key == Qt::Key_Return || key == Qt::Key_Enter) && mods == Qt::NoModifier) {
        open_node(currentIndex());
        event->accept();
        return;
    }
    if (key == Qt::Key_Delete && mods == Qt::NoModifier) return run(kDelete);
    if (key == Qt::Key_F2 && mods == Qt::NoModifier) return run(kRename);
    if (key == Qt::Key_F10 && mods == Qt::ShiftModifier) {
        QContextMenuEvent menu_event(QContextMenuEvent::Keyboard, QPoint(), QPoint());
        contextMenuEvent(&menu_event);
        event->accept();
        return;
    }
    if (mods == Qt::ControlModifier) {
        switch (key) {
            case Qt::Key_X:
                return run(kCut);
            case Qt::Key_C:
                return run(kCopy);
            case Qt::Key_V:
                return run(kPaste);
            case Qt::Key_N:
                return run(kNewCard);
            default:
                break;
        }
    }
    if (mods == (Qt::ControlModifier | Qt::ShiftModifier) && key == Qt::Key_N)
        return run(kNewFolder);
    QTreeView::keyPressEvent(event);
}

// ---- Drag ----

void WalletTree::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        press_pos_ = event->pos();
        press_index_ = indexAt(event->pos());
    }
    QTreeView::mousePressEvent(event);
}

void WalletTree::mouseMoveEvent(QMouseEvent* event) {
    if (dragging()) {
        drag_to(event->pos());
        return;
    }
    if ((event->buttons() & Qt::LeftButton) && press_index_.isValid() &&
        (event->pos() - press_pos_).manhattanLength() >= QApplication::startDragDistance()) {
        start_drag(press_index_);
        if (dragging()) {
            drag_to(event->pos());
            return;
        }
    }
    QTreeView::mouseMoveEvent(event);
}

void WalletTree::mouseReleaseEvent(QMouseEvent* event) {
    if (dragging() && event->button() == Qt::LeftButton) {
        end_drag(event->pos());
        event->accept();
        return;
    }
    QTreeView::mouseReleaseEvent(event);
}

QPixmap WalletTree::drag_picture(const QModelIndex& source) const {
    const QIcon icon = source.data(Qt::DecorationRole).value<QIcon>();
    const QString name = source.data().toString();
    const QFontMetrics metrics(font());
    const int side = iconSize().height();
    const int height = std::max(side, metrics.height()) + 4;
    QPixmap picture(side + 8 + metrics.horizontalAdvance(name) + 4, height);
    picture.fill(QColor(255, 255, 255, 200));
    QPainter painter(&picture);
    icon.paint(&painter, QRect(2, (height - side) / 2, side, side));
    painter.setFont(font());
    painter.setPen(QColor(0x40, 0x40, 0x40));
    painter.drawText(QRect(side + 6, 0, picture.width(), height), Qt::AlignVCenter, name);
    return picture;
}

void WalletTree::start_drag(const QModelIndex& source) {
    const ItemInfo i = info(source);
    if (!(caps_of(i) & caps::kDrag)) return;
    clear_clip();
    clip_ = {ClipMode::Drag, i.entry};
    setCurrentIndex(source);
    drag_ticks_ = 0;
    drag_image_ = new QLabel(viewport());
    drag_image_->setObjectName(QStringLiteral("DragImage"));
    drag_image_->setPixmap(drag_picture(source));
    drag_image_->setAttribute(Qt::WA_TransparentForMouseEvents);
    drag_image_->show();
    viewport()->grabMouse();
    drag_timer_.start();
}

void WalletTree::drag_to(const QPoint& pos) {
    drag_pos_ = pos;
    emit activity();
    if (drag_image_) drag_image_->move(pos + QPoint(8, 8));
    drop_target_ = indexAt(pos);
    model_->set_drop_target(drop_target_);
}

void WalletTree::drag_tick() {
    ++drag_ticks_;
    const int step = drag_scroll_step(drag_pos_.y(), 0, viewport()->height() - 1, drag_ticks_);
    if (step == 0) return;
    QScrollBar* bar = verticalScrollBar();
    bar->setValue(bar->value() + step);
    // The row now at the edge becomes the drop target.
    const QModelIndex edge =
        step < 0 ? indexAt(QPoint(4, 1)) : indexAt(QPoint(4, viewport()->height() - 2));
    model_->set_drop_target(edge);
    drop_target_ = edge;
}

void WalletTree::end_drag(const QPoint& pos) {
    drag_timer_.stop();
    viewport()->releaseMouse();
    delete drag_image_;
    drag_image_ = nullptr;
    drop_target_ = indexAt(pos);
    model_->set_drop_target(QModelIndex());
    if (!drop_target_.isValid()) {
        clear_clip();
        return;
    }
    emit dropped();
}

void WalletTree::finish_drop() {
    if (clip_.mode != ClipMode::Drag) return;
    const QModelIndex target = drop_target_;
    drop_target_ = QPersistentModelIndex();
    move_to(target);
}

}  // namespace ks::gui
