#include "dialogs/options_dialogs.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

#include "platform/message_format.h"
#include "platform/product.h"
#include "platform/text.h"
#include "platform/texts.h"
#include "shell/dialog_rules.h"
#include "shell/gui/commands.h"
#include "shell/gui/drawn_icons.h"
#include "shell/gui/gui_services.h"

namespace ks::gui {

namespace {
QComboBox* size_list(std::span<const uint32_t> ids, QWidget* parent) {
    auto* combo = new QComboBox(parent);
    for (size_t i = 0; i < ids.size(); ++i) add_combo_string(combo, ids[i], static_cast<int>(i));
    return combo;
}
}  // namespace

// ---- Display options ----

DisplayOptionsDialog::DisplayOptionsDialog(QWidget* owner, const DisplayValues& values)
    : FullScreenDialog(owner, menu_id::kDoneCancel), values_(values) {
    setObjectName(QStringLiteral("DisplayOptionsDialog"));
    set_title(gui::text(text_id::kDisplayTitle), 0);
    colours_ = {values.tree_colour, values.card_entry_colour,
                values.card_defaults[style::kBackground], values.card_defaults[style::kNameColour],
                values.card_defaults[style::kDataColour]};

    auto* grid = new QGridLayout;
    grid->setColumnStretch(1, 1);
    int row = 0;
    grid->addWidget(heading(text_id::kWalletView, this), row++, 0, 1, 3);
    const auto swatch_row = [&](Swatch s, uint32_t label_id) {
        auto* label = new QLabel(text(label_id), this);
        auto* button = new QPushButton(this);
        button->setAutoDefault(false);
        button->setFixedSize(44, 22);
        button->setAccessibleName(label->text());
        label->setBuddy(button);
        swatches_[s] = button;
        paint_swatch(s);
        connect(button, &QPushButton::clicked, this, [this, s] {
            if (!choose_colour) return;
            if (auto chosen = choose_colour(colours_[s])) set_swatch_colour(s, *chosen);
        });
        grid->addWidget(label, row, 0);
        grid->addWidget(button, row++, 2);
    };
    swatch_row(Folders, text_id::kFolders);
    swatch_row(Cards, text_id::kCards);
    auto* tree_label = new QLabel(gui::text(text_id::kTextSize), this);
    tree_size_ = size_list(kTreeSizeTexts, this);
    tree_label->setBuddy(tree_size_);
    tree_size_->setAccessibleName(tree_label->text());
    tree_size_->setCurrentIndex(tree_size_entry(values.font_main, values.font_main_style));
    grid->addWidget(tree_label, row, 0);
    grid->addWidget(tree_size_, row++, 1, 1, 2);

    grid->addWidget(heading(text_id::kCardViewDefaults, this), row++, 0, 1, 3);
    swatch_row(Background, text_id::kBackground);
    swatch_row(FieldNames, text_id::kFieldNames);
    names_bold_ = new QCheckBox(gui::text(text_id::kBold), this);
    names_bold_->setChecked(values.card_defaults[style::kNamesBold] != 0);
    grid->addWidget(names_bold_, row - 1, 1);
    swatch_row(FieldData, text_id::kFieldData);
    data_bold_ = new QCheckBox(gui::text(text_id::kBold), this);
    data_bold_->setChecked(values.card_defaults[style::kDataBold] != 0);
    grid->addWidget(data_bold_, row - 1, 1);
    auto* card_label = new QLabel(gui::text(text_id::kTextSize), this);
    card_size_ = size_list(kCardSizeTexts, this);
    card_label->setBuddy(card_size_);
    card_size_->setAccessibleName(card_label->text());
    card_size_->setCurrentIndex(card_size_entry(values.font_card));
    grid->addWidget(card_label, row, 0);
    grid->addWidget(card_size_, row++, 1, 1, 2);
    body()->addLayout(grid);
    body()->addStretch(1);

    choose_colour = [this](uint32_t current) -> std::optional<uint32_t> {
        const QColor chosen = QColorDialog::getColor(
            current == 0xFFFFFFFFu ? QColor(Qt::white) : colour(current), this);
        if (!chosen.isValid()) return std::nullopt;
        return colorref(chosen);
    };
    tree_size_->setFocus();
}

void DisplayOptionsDialog::set_swatch_colour(Swatch s, uint32_t value) {
    colours_[s] = value;
    paint_swatch(s);
}

void DisplayOptionsDialog::paint_swatch(Swatch s) {
    QPixmap pixmap(36, 14);
    pixmap.fill(Qt::white);
    QPainter p(&pixmap);
    p.setPen(Qt::black);
    p.setBrush(colours_[s] == 0xFFFFFFFFu ? QColor(Qt::white) : colour(colours_[s]));
    p.drawRect(2, 2, 31, 9);
    p.end();
    swatches_[s]->setIcon(QIcon(pixmap));
    swatches_[s]->setIconSize(pixmap.size());
}

void DisplayOptionsDialog::on_done() {
    const TreeTextSize tree = tree_size_of_entry(tree_size_->currentIndex());
    values_.font_main = tree.points;
    values_.font_main_style = tree.bold ? (values_.font_main_style | 1) : (values_.font_main_style & ~1);
    values_.font_card = card_size_of_entry(card_size_->currentIndex());
    values_.tree_colour = colours_[Folders];
    values_.card_entry_colour = colours_[Cards];
    CardStyle& card = values_.card_defaults;
    card[style::kBackground] = colours_[Background];
    card[style::kNameColour] = colours_[FieldNames];
    card[style::kDataColour] = colours_[FieldData];
    card[style::kTextSize] = static_cast<uint32_t>(values_.font_card);
    card[style::kNamesBold] = names_bold_->isChecked() ? 1 : 0;
    card[style::kDataBold] = data_bold_->isChecked() ? 1 : 0;
    accept();
}

// ---- Security options ----

SecurityOptionsDialog::SecurityOptionsDialog(QWidget* owner, const SecurityValues& values)
    : FullScreenDialog(owner, menu_id::kDoneCancel), values_(values) {
    setObjectName(QStringLiteral("SecurityOptionsDialog"));
    set_title(gui::text(text_id::kSecurityTitle), kPasswordIcon);
    auto* label = new QLabel(gui::text(text_id::kSecurityLabel), this);
    label->setWordWrap(true);
    period_ = new QComboBox(this);
    period_->setObjectName(QStringLiteral("period"));
    for (const PeriodChoice& c : kPeriodChoices) {
        add_combo_string(period_, c.text_id, static_cast<int>(c.minutes));
    }
    select_combo_by_data(period_, static_cast<int>(values.minutes));
    label->setBuddy(period_);
    period_->setAccessibleName(label->text());
    switching_ = new QCheckBox(gui::text(text_id::kCloseWhenSwitching), this);
    switching_->setChecked(values.close_when_switching);
    body()->addWidget(label);
    body()->addWidget(period_);
    body()->addWidget(switching_);
    body()->addStretch(1);
    period_->setFocus();
}

void SecurityOptionsDialog::on_done() {
    values_.close_when_switching = switching_->isChecked();
    values_.minutes =
        period_->currentIndex() < 0 ? 0 : static_cast<uint32_t>(period_->currentData().toInt());
    accept();
}

// ---- About ----

AboutBox::AboutBox(QWidget* owner) : FullScreenDialog(owner, menu_id::kAbout) {
    setObjectName(QStringLiteral("AboutBox"));
    set_title(gui::text(text_id::kAboutTitle), kProgramIcon);
    auto* picture = new QLabel(this);
    picture->setPixmap(resource_icon(kProgramIcon).pixmap(64, 64));
    picture->setAlignment(Qt::AlignCenter);
    auto* product = new QLabel(gui::text(text_id::kFallbackCaption), this);
    auto* version = new QLabel(
        qs(format_message(load_string(text_id::kAboutVersion), {from_utf8(kVersionText)})),
        this);
    auto* address = new QLabel(QStringLiteral("<a href=\"%1\">%1</a>").arg(QString::fromLatin1(kWebAddress)), this);
    address->setTextFormat(Qt::RichText);
    address->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    connect(address, &QLabel::linkActivated, this, [this] { run_command(cmd::kWebSite); });
    for (QLabel* l : {product, version}) {
        l->setFont(gui::font(kDialogFontSlot));
        l->setAlignment(Qt::AlignCenter);
    }
    version->setStyleSheet(QStringLiteral("color:#0000FF"));
    address->setFont(gui::font(24));
    address->setAlignment(Qt::AlignCenter);
    body()->addStretch(1);
    for (QLabel* l : {picture, product, version, address}) body()->addWidget(l);
    body()->addStretch(2);
}

void AboutBox::run_command(int id) {
    if (id == cmd::kWebSite) {
        if (open_web_site) open_web_site();
        return;
    }
    if (id == cmd::kOk || id == cmd::kCancel) accept();
}

}  // namespace ks::gui
