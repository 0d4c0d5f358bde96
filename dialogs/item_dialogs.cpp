#include "dialogs/item_dialogs.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include "core/wallet_document.h"
#include "dialogs/attachment_dialogs.h"
#include "forms/forms.h"
#include "platform/message_format.h"
#include "platform/text_ids.h"
#include "platform/texts.h"
#include "shell/gui/commands.h"
#include "shell/gui/gui_services.h"
#include "shell/gui/item_images.h"
#include "shell/icons.h"

namespace ks::gui {

namespace {
constexpr int kIconDialogStrip = 224;
constexpr int kFolderStrip = 213;
constexpr int kCardTypeStrip = 222;
constexpr int kCardTypeFontSlot = 7;
constexpr size_t kSpecialNameLimit = 63;
constexpr size_t kFolderNameLimit = 255;
const QColor kImportedCell(0xFF, 0xFF, 0xCE);
const QColor kUserFormColour(0x00, 0x00, 0xC0);

QToolButton* icon_button(int side, QWidget* parent) {
    auto* button = new QToolButton(parent);
    button->setFixedSize(side, side);
    button->setIconSize(QSize(side - 4, side - 4));
    button->setAutoRaise(false);
    return button;
}

// Draws each cell with its grid line; imported icons on pale yellow.
class IconCellDelegate final : public QStyledItemDelegate {
  public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* p, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        const QRect r = option.rect;
        if (option.state & QStyle::State_Selected) {
            p->fillRect(r, option.palette.highlight());
        } else if (index.data(Qt::UserRole + 1).toBool()) {
            p->fillRect(r, kImportedCell);
        }
        p->setPen(QColor(0xD8, 0xD8, 0xD8));
        p->drawRect(r.adjusted(0, 0, -1, -1));
        const int side = is_high_res() ? 32 : 16;
        const QIcon icon = index.data(Qt::DecorationRole).value<QIcon>();
        icon.paint(p,
                   QRect(r.center().x() - side / 2 + 1, r.center().y() - side / 2 + 1, side, side));
    }
};
}  // namespace

// ---- The icon grid ----

IconGrid::IconGrid(QWidget* parent) : QListWidget(parent) {
    setObjectName(QStringLiteral("IconGrid"));
    setViewMode(QListView::IconMode);
    setMovement(QListView::Static);
    setResizeMode(QListView::Adjust);
    setUniformItemSizes(true);
    setSpacing(0);
    setGridSize(QSize(scaled(22), scaled(22)));
    setIconSize(QSize(scaled(16), scaled(16)));
    setItemDelegate(new IconCellDelegate(this));
    setSelectionMode(QAbstractItemView::SingleSelection);
}

int IconGrid::columns() const {
    return std::max(1, viewport()->width() / gridSize().width());
}

void IconGrid::resizeEvent(QResizeEvent* event) {
    QListWidget::resizeEvent(event);
    // The spare width is spread over the columns.
    const int cell = scaled(22);
    const int cols = std::max(1, viewport()->width() / cell);
    setGridSize(QSize(viewport()->width() / cols, cell));
}

void IconGrid::keyPressEvent(QKeyEvent* event) {
    const int n = count();
    const int at = currentRow();
    if (n == 0 || at < 0) {
        QListWidget::keyPressEvent(event);
        return;
    }
    const int cols = columns();
    const int row = at / cols;
    const int row_start = row * cols;
    const int row_length = std::min(cols, n - row_start);
    int next = at;
    switch (event->key()) {
        case Qt::Key_Left:
            next = row_start + (at - row_start + row_length - 1) % row_length;
            break;
        case Qt::Key_Right:
            next = row_start + (at - row_start + 1) % row_length;
            break;
        case Qt::Key_Up:
            next = row > 0 ? at - cols : at;
            break;
        case Qt::Key_Down:
            next = at + cols < n ? at + cols : at;
            break;
        default:
            QListWidget::keyPressEvent(event);
            return;
    }
    setCurrentRow(next);
    event->accept();
}

// ---- Icon ----

IconDialog::IconDialog(QWidget* owner, const IconChoice& current, ItemImages& images)
    : FullScreenDialog(owner, menu_id::kDoneCancel), current_(current), images_(images) {
    setObjectName(QStringLiteral("IconDialog"));
    set_title(text(text_id::kIconTitle), kIconDialogStrip);
    const QIcon present = images.icon_for(current.number, current.picture);

    auto* top = new QGridLayout;
    top->addWidget(heading(text_id::kCurrentIcon, this), 0, 0, 1, 2);
    top->addWidget(heading(text_id::kNewIcon, this), 0, 2, 1, 2);
    auto* current_large = icon_button(scaled(34), this);
    auto* current_small = icon_button(scaled(18), this);
    current_large->setIcon(present);
    current_small->setIcon(present);
    current_large->setFocusPolicy(Qt::NoFocus);
    current_small->setFocusPolicy(Qt::NoFocus);
    new_large_ = icon_button(scaled(34), this);
    new_small_ = icon_button(scaled(18), this);
    new_large_->setFocusPolicy(Qt::NoFocus);
    new_small_->setFocusPolicy(Qt::NoFocus);
    top->addWidget(current_large, 1, 0);
    top->addWidget(current_small, 1, 1, Qt::AlignBottom);
    top->addWidget(new_large_, 1, 2);
    top->addWidget(new_small_, 1, 3, Qt::AlignBottom);
    top->setColumnStretch(4, 1);
    auto* import = new QPushButton(text(text_id::kImportIcon), this);
    import->setAutoDefault(false);
    top->addWidget(import, 1, 5);
    body()->addLayout(top);

    grid_ = new IconGrid(this);
    for (int i = 0; i < kBuiltInIconCount; ++i) {
        auto* item = new QListWidgetItem(builtin_item_icon(i), QString(), grid_);
        item->setData(Qt::UserRole, i);
        item->setToolTip(QString::number(i));
    }
    for (size_t i = 0; i < images.imported_count(); ++i) {
        auto* item = new QListWidgetItem(images.imported_icon(i), QString(), grid_);
        item->setData(Qt::UserRole, kBuiltInIconCount + static_cast<int>(i));
        item->setData(Qt::UserRole + 1, true);
    }
    grid_->setAccessibleName(text(text_id::kNewIcon));
    body()->addWidget(grid_, 1);

    // The grid starts on the object's icon.
    int start = current.number >= 0 && current.number < kBuiltInIconCount ? current.number : -1;
    if (current.number == kCustomIcon) {
        if (auto position = images.position_of(current.picture)) {
            start = kBuiltInIconCount + static_cast<int>(*position);
        }
    }
    if (start >= 0) grid_->setCurrentRow(start);
    connect(grid_, &QListWidget::currentItemChanged, this, [this](QListWidgetItem* item) {
        if (!item) return;
        imported_file_.clear();
        show_new(item->icon());
    });
    choose_file = [this]() -> std::optional<std::filesystem::path> {
        const PickedFile picked =
            FilePicker::pick_file(this, {u"*.ico", text_id::kIconFilesFilter,
                                         text_id::kImportIconTitle, kIconDialogStrip, true, {}});
        if (picked.outcome != PickOutcome::Chosen) return std::nullopt;
        return picked.path;
    };
    connect(import, &QPushButton::clicked, this, [this] {
        const auto path = choose_file ? choose_file() : std::nullopt;
        if (!path) {
            imported_file_.clear();
            show_new(QIcon());
            return;
        }
        import_icon(*path);
    });
    grid_->setFocus();
}

void IconDialog::show_new(const QIcon& icon) {
    new_large_->setIcon(icon);
    new_small_->setIcon(icon);
}

bool IconDialog::import_icon(const std::filesystem::path& path) {
    imported_file_.clear();
    show_new(QIcon());
    const auto bytes = read_icon_file(path);
    if (!bytes) return false;
    ItemImages probe;
    if (!probe.add_imported(*bytes)) return false;
    imported_file_ = *bytes;
    show_new(probe.imported_icon(0));
    return true;
}

void IconDialog::on_done() {
    IconChoice choice = current_;
    if (!imported_file_.empty()) {
        choice = {kCustomIcon, imported_file_};
    } else if (const QListWidgetItem* item = grid_->currentItem()) {
        const int index = item->data(Qt::UserRole).toInt();
        if (index < kBuiltInIconCount) {
            choice = {index, {}};
        } else {
            const auto data = images_.imported_data(static_cast<size_t>(index - kBuiltInIconCount));
            choice = {kCustomIcon, {data.begin(), data.end()}};
        }
    }
    if (!(choice == current_)) chosen_ = std::move(choice);
    accept();
}

// ---- Select Card Type ----

SelectCardTypeDialog::SelectCardTypeDialog(QWidget* owner, const FormId& current,
                                           const WalletDocument& document, int mode,
                                           ItemImages& images)
    : FullScreenDialog(owner, menu_id::kDoneCancel) {
    setObjectName(QStringLiteral("SelectCardTypeDialog"));
    set_title(text(mode == 1 ? text_id::kCardTypeTitle : text_id::kDefaultFormTitle),
              kCardTypeStrip);
    list_ = new QListWidget(this);
    list_->setIconSize(QSize(scaled(16), scaled(16)));
    list_->setUniformItemSizes(true);
    list_->setAccessibleName(
        text(mode == 1 ? text_id::kCardTypeTitle : text_id::kDefaultFormTitle));
    int selected = 0;
    const QFont user_font = gui::font(kCardTypeFontSlot);
    for (const FormEntry& entry : form_chooser_entries(document)) {
        QIcon icon = builtin_item_icon(entry.icon);
        if (entry.user_form) {
            const int index = document.list_index_of(entry.id);
            if (const TreeNode* node = document.node(index)) icon = images.icon_for(*node);
        }
        auto* item = new QListWidgetItem(icon, qs(entry.name), list_);
        item->setData(Qt::UserRole, QByteArray(reinterpret_cast<const char*>(entry.id.bytes.data()),
                                               static_cast<int>(entry.id.bytes.size())));
        item->setData(Qt::UserRole + 1, entry.user_form);
        if (entry.user_form) {
            item->setFont(user_font);
            item->setForeground(kUserFormColour);
        }
        if (entry.id == current) selected = list_->count() - 1;
    }
    if (list_->count() > 0) {
        list_->setCurrentRow(selected);
        // Scrolled once the list has its size, so that the forms above stay in sight.
        QTimer::singleShot(0, list_, [list = list_] {
            list->scrollToItem(list->currentItem(), QAbstractItemView::PositionAtCenter);
        });
    }
    connect(list_, &QListWidget::itemActivated, this, [this] { on_done(); });
    body()->addWidget(list_, 1);
    list_->setFocus();
}

void SelectCardTypeDialog::on_done() {
    choice_ = {};
    if (const QListWidgetItem* item = list_->currentItem()) {
        const QByteArray bytes = item->data(Qt::UserRole).toByteArray();
        std::copy(bytes.begin(), bytes.end(), choice_.id.bytes.begin());
        choice_.builtin = !item->data(Qt::UserRole + 1).toBool();
        if (choice_.builtin) choice_.builtin_number = builtin_form_index(choice_.id).value_or(0);
    }
    accept();
}

// ---- Folder properties ----

FolderPropertiesDialog::FolderPropertiesDialog(QWidget* owner, FolderPropertiesRequest& request,
                                               WalletDocument& document, ItemImages& images)
    : FullScreenDialog(owner, menu_id::kDoneCancel),
      request_(request),
      document_(document),
      images_(images) {
    setObjectName(QStringLiteral("FolderPropertiesDialog"));
    const QString title =
        request.special
            ? qs(format_message(load_string(text_id::kSpecialTitle), {request.title_argument}))
            : text(text_id::kFolderTitle);
    set_title(title, kFolderStrip);

    auto* grid = new QGridLayout;
    grid->setColumnStretch(0, 1);
    int row = 0;
    auto* name_label = heading(text_id::kFolderName, this);
    grid->addWidget(name_label, row++, 0, 1, 2);
    name_ = new QLineEdit(this);
    name_label->setBuddy(name_);
    name_->setAccessibleName(name_label->text());
    if (request.special) {
        name_->setMaxLength(static_cast<int>(kSpecialNameLimit));
        name_->setText(qs(request.name));
    } else {
        name_->setMaxLength(static_cast<int>(kFolderNameLimit));
        name_->setText(request.folder.kind() == NodeKind::MyForms && request.folder.name().empty()
                           ? text(text_id::kMyFormsName)
                           : qs(request.folder.name()));
    }
    name_->selectAll();
    grid->addWidget(name_, row, 0);
    if (!request.special) {
        icon_ = icon_button(scaled(22), this);
        icon_->setAccessibleName(text(text_id::kFolderIcon));
        icon_->setToolTip(text(text_id::kFolderIcon));
        grid->addWidget(icon_, row, 1);
        connect(icon_, &QToolButton::clicked, this, [this] {
            const IconChoice current{request_.folder.icon(),
                                     {request_.folder.icon_image_unpadded().begin(),
                                      request_.folder.icon_image_unpadded().end()}};
            const auto chosen = choose_icon ? choose_icon(current) : std::nullopt;
            if (!chosen) return;
            if (chosen->number == kCustomIcon)
                request_.folder.set_icon_image(chosen->picture);
            else
                request_.folder.set_icon(chosen->number);
            show_icon();
        });
    }
    ++row;
    if (!request.special) {
        auto* form_label = heading(text_id::kDefaultForm, this);
        grid->addWidget(form_label, row++, 0, 1, 2);
        form_ = new QLineEdit(this);
        form_->setReadOnly(true);
        form_->setAccessibleName(form_label->text());
        grid->addWidget(form_, row, 0);
        auto* more = new QPushButton(QStringLiteral("..."), this);
        more->setAutoDefault(false);
        more->setFixedWidth(scaled(22) + 8);
        more->setAccessibleName(form_label->text());
        form_label->setBuddy(more);
        grid->addWidget(more, row++, 1);
        connect(more, &QPushButton::clicked, this, [this] {
            const auto chosen =
                choose_form ? choose_form(request_.folder.default_form()) : std::nullopt;
            if (!chosen) return;
            request_.folder.set_default_form(chosen->id);
            show_form();
        });
        main_level_ = new QCheckBox(text(text_id::kMainLevel), this);
        main_level_->setFont(gui::font(kDialogFontSlot));
        main_level_->setChecked(request.main_level);
        main_level_->setVisible(request.offer_main_level);
        grid->addWidget(main_level_, row++, 0, 1, 2);
        show_icon();
        show_form();
    }
    body()->addLayout(grid);
    body()->addStretch(1);

    choose_icon = [this](const IconChoice& current) -> std::optional<IconChoice> {
        IconDialog dialog(this, current, images_);
        if (dialog.exec() != QDialog::Accepted) return std::nullopt;
        return dialog.chosen();
    };
    choose_form = [this](const FormId& current) -> std::optional<FormChoice> {
        SelectCardTypeDialog dialog(this, current, document_, 0, images_);
        if (dialog.exec() != QDialog::Accepted) return std::nullopt;
        return dialog.choice();
    };
    name_->setFocus();
}

void FolderPropertiesDialog::show_icon() {
    if (icon_) icon_->setIcon(images_.icon_for(request_.folder));
}

void FolderPropertiesDialog::show_form() {
    if (!form_) return;
    const auto name = form_name(document_, request_.folder.default_form());
    form_->setText(name ? qs(std::u16string_view(*name).substr(0, 128)) : QString());
}

void FolderPropertiesDialog::on_done() {
    const std::u16string name = u16(name_->text());
    if (request_.special) {
        request_.name = name.substr(0, kSpecialNameLimit);
    } else {
        if (name != request_.folder.name()) request_.folder.set_name(name);
        if (request_.offer_main_level) request_.main_level = main_level_->isChecked();
    }
    accept();
}

}  // namespace ks::gui
