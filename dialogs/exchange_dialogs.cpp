#include "dialogs/exchange_dialogs.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

#include "forms/form_file_messages.h"
#include "platform/message_format.h"
#include "platform/texts.h"
#include "shell/gui/commands.h"
#include "shell/gui/gui_services.h"
#include "shell/utilities.h"

namespace ks::gui {

namespace {
constexpr int kExportTitle = 22110;
constexpr int kItemsLabel = 22111;
constexpr int kWholeWallet = 22112;
constexpr int kSelectedFolder = 22113;
constexpr int kSelectedCard = 22114;
constexpr int kCardAsForm = 22115;
constexpr int kFormatLabel = 22120;
constexpr int kTextFormat = 22122;
constexpr int kFormFormat = 22123;
constexpr int kOutputLabel = 22130;
constexpr int kIncludeLabel = 22131;
constexpr int kDataInFields = 22135;
constexpr int kPinValues = 22136;
constexpr int kAttachedFiles = 22137;
constexpr int kExportFormTitle = 22100;
constexpr int kDescriptionLabel = 22101;
constexpr int kAuthorLabel = 22102;
constexpr int kSharingText = 22103;
constexpr int kExcludeData = 22104;
constexpr int kImportFormsTitle = 22050;
constexpr int kImportFromFile = 22051;
constexpr int kDownload = 22052;
constexpr int kImportTip = 22053;
constexpr int kMainMemory = 20852;
constexpr int kStorageCard = 20854;
constexpr int kExportStrip = 200;
constexpr int kFormStrip = 221;
constexpr int kLinkFontSlot = 27;

QLabel* heading(uint32_t id, QWidget* parent) {
    auto* label = new QLabel(text(id), parent);
    label->setFont(gui::font(kDialogFontSlot));
    return label;
}

QComboBox* labelled_combo(uint32_t label_id, QGridLayout* grid, int& row, QWidget* parent) {
    auto* label = heading(label_id, parent);
    auto* combo = new QComboBox(parent);
    label->setBuddy(combo);
    combo->setAccessibleName(label->text());
    grid->addWidget(label, row++, 0);
    grid->addWidget(combo, row++, 0);
    return combo;
}
}  // namespace

void open_forms_web_page() {
    QDesktopServices::openUrl(QUrl(QString::fromUtf8(form_file::kFormsWebAddress.data(),
                                                     int(form_file::kFormsWebAddress.size()))));
}

std::vector<ExportDestination> export_destinations() {
    std::vector<ExportDestination> out;
    for (const StorageLocation& l : storage_locations()) {
        if (l.on_storage_card) {
            const std::u16string card = load_string(kStorageCard);
            const std::u16string name = l.path.filename().u16string();
            out.push_back({format_message(u"%s (%s)", {card, name}), l.path});
        } else {
            out.push_back({load_string(kMainMemory), l.path});
        }
    }
    return out;
}

// ---- Export ----

ExportDialog::ExportDialog(QWidget* owner, ExportRequest& request,
                           std::vector<ExportDestination> destinations)
    : FullScreenDialog(owner, menu_id::kDoneCancel),
      request_(request),
      destinations_(std::move(destinations)) {
    setObjectName(QStringLiteral("ExportDialog"));
    set_title(text(kExportTitle), kExportStrip);
    auto* grid = new QGridLayout;
    int row = 0;
    items_ = labelled_combo(kItemsLabel, grid, row, this);
    add_combo_string(items_, kWholeWallet, 0);
    if (request.selection_kind == 2) add_combo_string(items_, kSelectedFolder, 1);
    if (request.selection_kind == 1) {
        add_combo_string(items_, kSelectedCard, 2);
        add_combo_string(items_, kCardAsForm, 3);
    }
    formats_ = labelled_combo(kFormatLabel, grid, row, this);
    grid->addWidget(heading(kIncludeLabel, this), row++, 0);
    option1_ = new QCheckBox(this);
    option2_ = new QCheckBox(this);
    grid->addWidget(option1_, row++, 0);
    grid->addWidget(option2_, row++, 0);
    destinations_box_ = labelled_combo(kOutputLabel, grid, row, this);
    for (size_t i = 0; i < destinations_.size(); ++i) {
        destinations_box_->addItem(qs(destinations_[i].label), static_cast<int>(i));
    }
    body()->addLayout(grid);
    body()->addStretch(1);
    connect(items_, &QComboBox::currentIndexChanged, this, [this] { fill_formats(); });
    items_->setCurrentIndex(0);
    fill_formats();
    items_->setFocus();
}

void ExportDialog::fill_formats() {
    formats_->clear();
    if (items_->currentData().toInt() == 3) {
        add_combo_string(formats_, kFormFormat, 2);
        set_item_string(option1_, kDataInFields);
        option2_->hide();
    } else {
        add_combo_string(formats_, kTextFormat, 0);
        set_item_string(option1_, kAttachedFiles);
        set_item_string(option2_, kPinValues);
        option2_->show();
    }
    formats_->setCurrentIndex(0);
    if (destinations_box_->count() > 0) destinations_box_->setCurrentIndex(0);
}

void ExportDialog::on_done() {
    const int destination = destinations_box_->currentIndex();
    if (destination < 0 || static_cast<size_t>(destination) >= destinations_.size()) {
        reject();
        return;
    }
    request_.items = items_->currentData().toInt();
    request_.format = formats_->currentData().toInt();
    request_.option1 = option1_->isChecked();
    request_.option2 = option2_->isVisible() && option2_->isChecked();
    request_.folder = destinations_[static_cast<size_t>(destination)].folder;
    accept();
}

// ---- Export Forms ----

ExportFormsDialog::ExportFormsDialog(QWidget* owner, ExportFormsRequest& request)
    : FullScreenDialog(owner, menu_id::kDoneCancel), request_(request) {
    setObjectName(QStringLiteral("ExportFormsDialog"));
    const std::u16string title =
        request.form_name.empty()
            ? load_string(kExportFormTitle)
            : format_message(u"%s: %s", {std::u16string_view(load_string(kExportFormTitle)),
                                         std::u16string_view(request.form_name)});
    set_title(qs(title), kFormStrip);
    auto* grid = new QGridLayout;
    int row = 0;
    const auto edit = [&](uint32_t label_id, int limit, const std::u16string& value) {
        auto* label = heading(label_id, this);
        auto* line = new QLineEdit(qs(value), this);
        line->setMaxLength(limit);
        label->setBuddy(line);
        line->setAccessibleName(label->text());
        grid->addWidget(label, row++, 0);
        grid->addWidget(line, row++, 0);
        return line;
    };
    description_ = edit(kDescriptionLabel, kFormDescriptionLimit, request.description);
    author_ = edit(kAuthorLabel, kFormAuthorLimit, request.author);
    exclude_ = new QCheckBox(text(kExcludeData), this);
    exclude_->setChecked(true);
    grid->addWidget(exclude_, row++, 0);
    auto* sharing = new QLabel(text(kSharingText), this);
    sharing->setWordWrap(true);
    grid->addWidget(sharing, row++, 0);
    auto* link = new QPushButton(QString::fromUtf8(form_file::kFormsWebAddress.data(),
                                                   int(form_file::kFormsWebAddress.size())),
                                 this);
    link->setFlat(true);
    link->setAutoDefault(false);
    link->setFont(gui::font(kLinkFontSlot));
    link->setStyleSheet(QStringLiteral("color: #0000FF; text-align: left;"));
    link->setCursor(Qt::PointingHandCursor);
    grid->addWidget(link, row++, 0);
    open_forms_page = open_forms_web_page;
    connect(link, &QPushButton::clicked, this, [this] {
        if (open_forms_page) open_forms_page();
    });
    body()->addLayout(grid);
    body()->addStretch(1);
    description_->setFocus();
}

void ExportFormsDialog::on_done() {
    request_.description = u16(description_->text());
    request_.author = u16(author_->text());
    request_.exclude_data = exclude_->isChecked();
    accept();
}

// ---- Import Forms ----

ImportFormsDialog::ImportFormsDialog(QWidget* owner)
    : FullScreenDialog(owner, menu_id::kCancelOnly) {
    setObjectName(QStringLiteral("ImportFormsDialog"));
    set_title(text(kImportFormsTitle), kFormStrip);
    auto* from_file = new QPushButton(text(kImportFromFile), this);
    auto* from_web = new QPushButton(text(kDownload), this);
    auto* tip = new QLabel(text(kImportTip), this);
    tip->setWordWrap(true);
    body()->addWidget(from_file);
    body()->addWidget(from_web);
    body()->addWidget(tip);
    body()->addStretch(1);
    open_forms_page = open_forms_web_page;
    connect(from_file, &QPushButton::clicked, this, [this] { done(kFromFile); });
    connect(from_web, &QPushButton::clicked, this, [this] {
        if (open_forms_page) open_forms_page();
        done(kFromWeb);
    });
    from_file->setFocus();
}

}  // namespace ks::gui
