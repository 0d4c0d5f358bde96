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
#include "platform/text_ids.h"
#include "platform/texts.h"
#include "shell/gui/commands.h"
#include "shell/gui/gui_services.h"
#include "shell/utilities.h"

namespace ks::gui {

namespace {
constexpr int kExportStrip = 200;
constexpr int kFormStrip = 221;
constexpr int kLinkFontSlot = 27;

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
            const std::u16string card = load_string(text_id::kStorageCard);
            const std::u16string name = l.path.filename().u16string();
            out.push_back({format_message(u"%s (%s)", {card, name}), l.path});
        } else {
            out.push_back({load_string(text_id::kMainMemory), l.path});
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
    set_title(text(text_id::kExportDialogTitle), kExportStrip);
    auto* grid = new QGridLayout;
    int row = 0;
    items_ = labelled_combo(text_id::kItemsToExport, grid, row, this);
    add_combo_string(items_, text_id::kWholeWallet, 0);
    if (request.selection_kind == 2) add_combo_string(items_, text_id::kSelectedFolder, 1);
    if (request.selection_kind == 1) {
        add_combo_string(items_, text_id::kSelectedCard, 2);
        add_combo_string(items_, text_id::kCardAsForm, 3);
    }
    formats_ = labelled_combo(text_id::kOutputFormat, grid, row, this);
    grid->addWidget(heading(text_id::kInclude, this), row++, 0);
    option1_ = new QCheckBox(this);
    option2_ = new QCheckBox(this);
    grid->addWidget(option1_, row++, 0);
    grid->addWidget(option2_, row++, 0);
    destinations_box_ = labelled_combo(text_id::kOutputTo, grid, row, this);
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
        add_combo_string(formats_, text_id::kFormFormat, 2);
        set_item_string(option1_, text_id::kDataInFields);
        option2_->hide();
    } else {
        add_combo_string(formats_, text_id::kTextFormat, 0);
        set_item_string(option1_, text_id::kAttachedFiles);
        set_item_string(option2_, text_id::kPinValues);
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
            ? load_string(text_id::kExportFormTitle)
            : format_message(u"%s: %s",
                             {std::u16string_view(load_string(text_id::kExportFormTitle)),
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
    description_ = edit(text_id::kFormDescription, kFormDescriptionLimit, request.description);
    author_ = edit(text_id::kFormAuthor, kFormAuthorLimit, request.author);
    exclude_ = new QCheckBox(text(text_id::kExcludeData), this);
    exclude_->setChecked(true);
    grid->addWidget(exclude_, row++, 0);
    auto* sharing = new QLabel(text(text_id::kSharingText), this);
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
    set_title(text(text_id::kImportFormsTitle), kFormStrip);
    auto* from_file = new QPushButton(text(text_id::kImportFromFile), this);
    auto* from_web = new QPushButton(text(text_id::kDownloadForms), this);
    auto* tip = new QLabel(text(text_id::kImportFormsTip), this);
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
