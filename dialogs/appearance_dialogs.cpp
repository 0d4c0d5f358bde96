#include "dialogs/appearance_dialogs.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>

#include <algorithm>
#include <array>
#include <utility>

#include "card/rules/attachment_files.h"
#include "core/card.h"
#include "dialogs/access_keys.h"
#include "platform/message_format.h"
#include "platform/text.h"
#include "platform/text_ids.h"
#include "platform/texts.h"
#include "shell/dialog_rules.h"
#include "shell/gui/commands.h"
#include "shell/gui/gui_services.h"

namespace ks::gui {

namespace fs = std::filesystem;

namespace {

constexpr int kBackgroundStrip = 224;
constexpr int kPositions = 10;
constexpr int32_t kNoPicturePosition = 9;
constexpr uint32_t kWhite = 0xFFFFFF;
constexpr uint32_t kNoColour = 0xFFFFFFFF;  // -1: drawn as white
constexpr std::u16string_view kPicturePatterns = u"*.bmp;*.jpg;*.jpeg;*.gif";

QPushButton* dialog_button(uint32_t text_id, QWidget* parent) {
    auto* button = new QPushButton(text(text_id), parent);
    button->setAutoDefault(false);
    return button;
}

std::u16string shown_path(const fs::path& path) {
    return from_utf8(path.string());
}

}  // namespace

// ---- Colour buttons ----

ColourSwatch::ColourSwatch(QWidget* parent) : QAbstractButton(parent) {
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::PointingHandCursor);
}

void ColourSwatch::set_colour(uint32_t value) {
    colour_ = value;
    const QColor shown = value == kNoColour ? QColor(Qt::white) : gui::colour(value);
    setAccessibleDescription(shown.name());
    update();
}

QSize ColourSwatch::sizeHint() const {
    return {48, 22};
}

void ColourSwatch::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRect outer = rect();
    // The focus ring (or a quiet outline), the white border, then the colour.
    painter.fillRect(outer, hasFocus() ? palette().highlight().color() : palette().mid().color());
    const QRect border = outer.adjusted(2, 2, -2, -2);
    painter.fillRect(border, Qt::white);
    const QColor fill = colour_ == kNoColour ? QColor(Qt::white) : gui::colour(colour_);
    painter.fillRect(border.adjusted(1, 1, -1, -1), isDown() ? fill.darker(120) : fill);
}

// ---- Text/Colors ----

TextColorsDialog::TextColorsDialog(QWidget* owner, Card& card)
    : FullScreenDialog(owner, menu_id::kDoneCancel),
      choose_colour([](QWidget* parent, const QColor& current) -> std::optional<QColor> {
          const QColor chosen = QColorDialog::getColor(current, parent);
          return chosen.isValid() ? std::optional<QColor>(chosen) : std::nullopt;
      }),
      card_(card) {
    setObjectName(QStringLiteral("TextColorsDialog"));
    set_title(text(text_id::kTextColorsTitle), 0);
    const CardStyle& current = card.style();
    auto* grid = new QGridLayout;
    grid->setColumnStretch(3, 1);
    body()->addLayout(grid);

    auto* size_label = heading(text_id::kTextSize, this);
    size_ = new QComboBox(this);
    size_label->setBuddy(size_);
    size_->setAccessibleName(size_label->text());
    for (size_t entry = 0; entry < kCardSizeTexts.size(); ++entry)
        add_combo_string(size_, kCardSizeTexts[entry], static_cast<int>(entry));
    size_->setCurrentIndex(card_size_entry(static_cast<int32_t>(current[style::kTextSize])));
    grid->addWidget(size_label, 0, 0);
    grid->addWidget(size_, 0, 1, 1, 2);

    // Created in reading order, which is the order Tab follows.
    background_ = colour_row(grid, 1, text_id::kBackground, current[style::kBackground]);
    names_ = colour_row(grid, 2, text_id::kFieldNames, current[style::kNameColour]);
    names_bold_ = bold_box(grid, 2, current[style::kNamesBold] != 0);
    data_ = colour_row(grid, 3, text_id::kFieldData, current[style::kDataColour]);
    data_bold_ = bold_box(grid, 3, current[style::kDataBold] != 0);

    auto* password_label = heading(text_id::kPasswordFields, this);
    always_display_ = new QCheckBox(text(text_id::kAlwaysDisplay), this);
    always_display_->setChecked(current[style::kAlwaysShowPins] != 0);
    always_display_->setAccessibleName(password_label->text() + QLatin1Char(' ') +
                                       always_display_->text());
    grid->addWidget(password_label, 4, 0);
    grid->addWidget(always_display_, 4, 1, 1, 2);
    auto* tip = new QLabel(text(text_id::kTapColour), this);
    tip->setWordWrap(true);
    body()->addWidget(tip);
    body()->addStretch(1);
    assign_access_keys({size_label, names_bold_, data_bold_, always_display_});
    size_->setFocus();
}

ColourSwatch* TextColorsDialog::colour_row(QGridLayout* grid, int row, uint32_t label_id,
                                           uint32_t value) {
    auto* label = heading(label_id, this);
    auto* swatch = new ColourSwatch(this);
    swatch->set_colour(value);
    swatch->setAccessibleName(label->text());
    swatch->setToolTip(text(text_id::kTapColour));
    grid->addWidget(label, row, 0);
    grid->addWidget(swatch, row, 1);
    connect(swatch, &QAbstractButton::clicked, this, [this, swatch] {
        const QColor shown =
            swatch->colour() == kNoColour ? QColor(Qt::white) : gui::colour(swatch->colour());
        const auto chosen = choose_colour ? choose_colour(this, shown) : std::nullopt;
        if (chosen && chosen->isValid()) swatch->set_colour(colorref(*chosen));
    });
    return swatch;
}

QCheckBox* TextColorsDialog::bold_box(QGridLayout* grid, int row, bool checked) {
    auto* box = new QCheckBox(text(text_id::kBold), this);
    box->setChecked(checked);
    const auto* label = qobject_cast<QLabel*>(grid->itemAtPosition(row, 0)->widget());
    box->setAccessibleName(label->text() + QLatin1Char(' ') + box->text());
    grid->addWidget(box, row, 2);
    return box;
}

void TextColorsDialog::on_done() {
    CardStyle edited = card_.style();
    edited[style::kTextSize] =
        static_cast<uint32_t>(card_size_of_entry(std::max(0, size_->currentIndex())));
    edited[style::kNamesBold] = names_bold_->isChecked() ? 1 : 0;
    edited[style::kDataBold] = data_bold_->isChecked() ? 1 : 0;
    edited[style::kAlwaysShowPins] = always_display_->isChecked() ? 1 : 0;
    edited[style::kBackground] = background_->colour();
    edited[style::kNameColour] = names_->colour();
    edited[style::kDataColour] = data_->colour();
    // Storing marks the card changed, so an unchanged style is not stored.
    changed_ = edited != card_.style();
    if (changed_) card_.set_style(edited);
    accept();
}

// ---- The background preview ----

BackgroundPreview::BackgroundPreview(QWidget* parent) : QWidget(parent) {
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    setMinimumSize(64, 64);
}

QSize BackgroundPreview::sizeHint() const {
    return {160, 120};
}

void BackgroundPreview::set_picture(QImage picture) {
    picture_ = std::move(picture);
    update();
}

QRect BackgroundPreview::picture_rect(QSize area) const {
    QSize shown = picture_.size();
    if (shown.width() > area.width() || shown.height() > area.height())
        shown = shown.scaled(area, Qt::KeepAspectRatio);
    return {QPoint((area.width() - shown.width()) / 2, (area.height() - shown.height()) / 2),
            shown};
}

QImage BackgroundPreview::rendered() const {
    const QSize area = size().isEmpty() ? sizeHint() : size();
    QImage image(area, QImage::Format_RGB32);
    image.fill(palette().button().color());
    if (!picture_.isNull()) {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(picture_rect(area), picture_);
    }
    return image;
}

QColor BackgroundPreview::top_left_colour() const {
    if (picture_.isNull()) return Qt::white;
    const QImage image = rendered();
    return image.pixelColor(picture_rect(image.size()).topLeft());
}

void BackgroundPreview::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.drawImage(0, 0, rendered());
}

// ---- Background ----

BackgroundDialog::BackgroundDialog(QWidget* owner, Card& card)
    : FullScreenDialog(owner, menu_id::kDoneCancel),
      choose_file(FilePicker::pick_file),
      card_(card) {
    setObjectName(QStringLiteral("BackgroundDialog"));
    set_title(text(text_id::kBackgroundTitle), kBackgroundStrip);
    const PictureAttachment& picture = std::as_const(card_).picture();
    if (picture.has_data())
        working_ = WorkingPicture{SecureBytes(picture.data_view()), picture.name(), false};

    auto* buttons = new QGridLayout;
    select_ = dialog_button(text_id::kSelectImage, this);
    remove_ = dialog_button(text_id::kRemoveImage, this);
    match_ = dialog_button(text_id::kMatchBackground, this);
    export_ = dialog_button(text_id::kExportImage, this);
    buttons->addWidget(select_, 0, 0);
    buttons->addWidget(remove_, 0, 1);
    buttons->addWidget(match_, 1, 0);
    buttons->addWidget(export_, 1, 1);
    body()->addLayout(buttons);

    auto* position_label = heading(text_id::kPosition, this);
    position_ = new QComboBox(this);
    position_label->setBuddy(position_);
    position_->setAccessibleName(position_label->text());
    for (int position = 1; position <= kPositions; ++position)
        add_combo_string(position_, text_id::kPositionFirst + position - 1, position);
    // The card's position; none for a stored one out of range, which Done then makes 1.
    const int32_t setting = picture.has_data() ? picture.setting() : kNoPicturePosition;
    position_->setCurrentIndex(setting >= 1 && setting <= kPositions ? setting - 1 : -1);
    body()->addWidget(position_label);
    body()->addWidget(position_);

    auto* name_label = heading(text_id::kCurrentImageFile, this);
    name_ = new QLineEdit(this);
    name_->setReadOnly(true);
    name_label->setBuddy(name_);
    name_->setAccessibleName(name_label->text());
    body()->addWidget(name_label);
    body()->addWidget(name_);

    preview_ = new BackgroundPreview(this);
    preview_->setAccessibleName(text(text_id::kBackgroundTitle));
    body()->addWidget(preview_, 1);
    assign_access_keys({select_, remove_, match_, export_, position_label, name_label});

    connect(select_, &QPushButton::clicked, this, &BackgroundDialog::select_image);
    connect(remove_, &QPushButton::clicked, this, &BackgroundDialog::remove_image);
    connect(match_, &QPushButton::clicked, this, [this] { match_pending_ = true; });
    connect(export_, &QPushButton::clicked, this, &BackgroundDialog::export_image);
    show_picture();
    select_->setFocus();
}

void BackgroundDialog::show_picture() {
    preview_->set_picture(working_ ? decode_image(working_->data.span()) : QImage());
    name_->setText(working_ ? qs(working_->name) : QString());
    update_controls();
}

void BackgroundDialog::update_controls() {
    for (QWidget* control : std::initializer_list<QWidget*>{remove_, match_, export_, position_})
        control->setEnabled(working_.has_value());
}

void BackgroundDialog::select_image() {
    if (!choose_file) return;
    const PickedFile picked = choose_file(this, {std::u16string(kPicturePatterns),
                                                 text_id::kPictureFilesFilter,
                                                 text_id::kSelectImage,
                                                 kBackgroundStrip,
                                                 false,
                                                 {}});
    if (picked.outcome != PickOutcome::Chosen || picked.path.empty()) return;
    // A file that cannot be taken leaves no working picture.
    working_.reset();
    if (std::optional<SecureBytes> bytes = read_chosen_file(picked.path)) {
        if (decode_image(bytes->span()).isNull()) {
            message_boxes().ask(
                {format_message(load_string(text_id::kNotAPicture), {shown_path(picked.path)}),
                 load_string(text_id::kProductName), PromptButtons::Ok, PromptIcon::Exclamation});
        } else {
            working_ = WorkingPicture{std::move(*bytes),
                                      attachment_name_from_path(shown_path(picked.path)), true};
        }
    }
    show_picture();
}

void BackgroundDialog::remove_image() {
    working_.reset();
    matched_colour_ = kWhite;
    match_pending_ = false;
    show_picture();
}

void BackgroundDialog::export_image() {
    if (!working_) return;
    if (const auto path = export_new_copy(working_->data.span(), working_->name, documents))
        report_saved_file(*path);
}

void BackgroundDialog::on_done() {
    const PictureAttachment& stored = std::as_const(card_).picture();
    if (!working_) {
        if (stored.has_data()) card_.picture().clear();
        accept();
        return;
    }
    const int32_t position = position_->currentIndex() >= 0 ? position_->currentIndex() + 1 : 1;
    if (working_->new_file) {
        // The type follows the name's extension; a position outside 1 to 10 becomes 9.
        card_.picture().set_from_bytes(working_->data.span(), working_->name, std::nullopt,
                                       position);
    } else if (position != stored.setting()) {
        card_.picture().set_setting(position);
    }
    if (match_pending_) {
        matched_colour_ = colorref(preview_->top_left_colour());
        CardStyle edited = card_.style();
        if (edited[style::kBackground] != matched_colour_) {
            edited[style::kBackground] = matched_colour_;
            card_.set_style(edited);
        }
    }
    accept();
}

}  // namespace ks::gui
