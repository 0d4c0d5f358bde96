#include <gtest/gtest.h>

#include <QApplication>
#include <QBuffer>
#include <QClipboard>
#include <QComboBox>
#include <QLineEdit>
#include <QPainter>
#include <QToolButton>

#include "shell/gui/gui_services.h"
#include "shell/gui/soft_keys.h"

namespace ks::gui {
namespace {

std::vector<int> red_rows(const QImage& image) {
    std::vector<int> rows;
    for (int y = 0; y < image.height(); ++y) rows.push_back(image.pixelColor(0, y).red());
    return rows;
}

TEST(GuiServices, GradientsStepRowByRow) {
    QImage band(2, 4, QImage::Format_RGB32);
    {
        QPainter p(&band);
        gradient_fill(p, band.rect(), QColor(0, 0, 0), QColor(255, 255, 255));
    }
    EXPECT_EQ(red_rows(band), (std::vector<int>{0, 63, 127, 191}));
    // A piece of a taller band takes that band's steps, restarted at its own top.
    QImage piece(2, 3, QImage::Format_RGB32);
    {
        QPainter p(&piece);
        gradient_fill_in(p, piece.rect(), QColor(0, 0, 0), QColor(200, 200, 200), QRect(0, 0, 2, 9));
    }
    EXPECT_EQ(red_rows(piece), (std::vector<int>{0, 20, 40}));
}

TEST(GuiServices, StoredColoursAreBlueGreenRed) {
    EXPECT_EQ(colour(0x9C613B), QColor(0x3B, 0x61, 0x9C));
    EXPECT_EQ(colorref(QColor(0x3B, 0x61, 0x9C)), 0x9C613Bu);
}

TEST(GuiServices, FontsBySize) {
    EXPECT_DOUBLE_EQ(font_for_size(0, false).pointSizeF(), 11);
    EXPECT_DOUBLE_EQ(font_for_size(5, false).pointSizeF(), 7);
    EXPECT_DOUBLE_EQ(font_for_size(13, true).pointSizeF(), 16);
    EXPECT_TRUE(font_for_size(13, true).bold());
    EXPECT_TRUE(font(27).underline());
    EXPECT_EQ(font(99), QApplication::font());
    EXPECT_GT(line_height_for_size(16), line_height_for_size(8));
}

TEST(GuiServices, EditCapsFollowTheSelectionAndTheClipboard) {
    QApplication::clipboard()->setText(QStringLiteral("pasted"));
    QLineEdit edit;
    EXPECT_EQ(edit_caps(&edit), unsigned{kCanPaste});
    edit.setText(QStringLiteral("secret"));
    EXPECT_EQ(edit_caps(&edit), unsigned{kCanPaste});  // nothing selected
    edit.selectAll();
    EXPECT_EQ(edit_caps(&edit), kCanCut | kCanCopy | kCanPaste | kCanClear | kCanSelectAll);
    edit.setEchoMode(QLineEdit::Password);
    EXPECT_EQ(edit_caps(&edit), kCanPaste | kCanClear | kCanSelectAll);  // never copied out
    edit_command(&edit, 7);
    EXPECT_TRUE(edit.text().isEmpty());
    QApplication::clipboard()->clear();
}

TEST(GuiServices, ImagesDecodeFromMemory) {
    QImage original(5, 3, QImage::Format_RGB32);
    original.fill(Qt::red);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    ASSERT_TRUE(original.save(&buffer, "BMP"));
    const auto* data = reinterpret_cast<const uint8_t*>(bytes.constData());
    const QImage decoded = decode_image({data, static_cast<size_t>(bytes.size())});
    EXPECT_EQ(decoded.size(), QSize(5, 3));
    EXPECT_TRUE(decode_image({data, 10}).isNull());
}

TEST(GuiServices, ComboSelectionByDataFallsBackToTheFirst) {
    QComboBox combo;
    for (int minutes : {0, 1, 5}) combo.addItem(QString::number(minutes), minutes);
    select_combo_by_data(&combo, 5);
    EXPECT_EQ(combo.currentIndex(), 2);
    select_combo_by_data(&combo, 15);
    EXPECT_EQ(combo.currentIndex(), 0);
}

TEST(GuiServices, SoftKeysComeFromTheTemplatesInTheLanguage) {
    SoftKeyBar bar(969, nullptr);
    EXPECT_EQ(bar.left_key()->text(), QStringLiteral("Done"));
    EXPECT_EQ(bar.right_key()->text(), QStringLiteral("Cancel"));
    SoftKeyBar main(963, nullptr);
    ASSERT_TRUE(main.menu());
    EXPECT_EQ(main.right_key()->text(), QStringLiteral("Menu"));
    ASSERT_TRUE(main.action(876));
    EXPECT_EQ(main.action(876)->text(), QStringLiteral("Help"));
    main.set_command_enabled(876, false);
    EXPECT_FALSE(main.action(876)->isEnabled());
    EXPECT_EQ(menu_template(12345), nullptr);
}

}  // namespace
}  // namespace ks::gui
