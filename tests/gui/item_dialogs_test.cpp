#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

#include "core/wallet_document.h"
#include "dialogs/exchange_dialogs.h"
#include "dialogs/item_dialogs.h"
#include "forms/forms.h"
#include "shell/gui/item_images.h"
#include "shell/settings.h"
#include "support/test_support.h"

namespace ks::gui {
namespace {

namespace fs = std::filesystem;

TEST(IconPicturesTest, EveryBuiltInIconIsAPictureAndNoTwoAreAlike) {
    std::vector<QImage> seen;
    for (int i = 0; i < kBuiltInIconCount; ++i) {
        const QImage picture = strip_picture(kFirstItemIconResource + i, 16).toImage();
        ASSERT_FALSE(picture.isNull()) << "icon " << i;
        for (size_t j = 0; j < seen.size(); ++j) EXPECT_NE(picture, seen[j]) << i << " and " << j;
        seen.push_back(picture);
        EXPECT_FALSE(strip_picture(kFirstItemIconResource + i, 32).isNull()) << "icon " << i;
    }
    for (int resource : {201, 203, 213, 222, 224, 296}) {
        EXPECT_FALSE(strip_picture(resource, 32).isNull()) << resource;
    }
    EXPECT_TRUE(strip_picture(250, 16).isNull());
}

TEST(IconDialogTest, RightOnTheLastColumnWrapsWithinTheRow) {
    ItemImages images;
    IconDialog dialog(nullptr, IconChoice{5, {}}, images);
    dialog.resize(400, 600);
    dialog.show();
    IconGrid* grid = dialog.grid();
    ASSERT_EQ(grid->count(), kBuiltInIconCount);
    EXPECT_EQ(grid->currentRow(), 5);
    const int cols = grid->columns();
    ASSERT_GT(cols, 2);
    grid->setCurrentRow(cols - 1);
    QTest::keyClick(grid, Qt::Key_Right);
    EXPECT_EQ(grid->currentRow(), 0);
    QTest::keyClick(grid, Qt::Key_Left);
    EXPECT_EQ(grid->currentRow(), cols - 1);
    QTest::keyClick(grid, Qt::Key_Down);
    EXPECT_EQ(grid->currentRow(), 2 * cols - 1);
    grid->setCurrentRow(1);
    QTest::keyClick(grid, Qt::Key_Up);
    EXPECT_EQ(grid->currentRow(), 1);

    // Done with another cell chosen gives the new number; with the same one, nothing.
    grid->setCurrentRow(12);
    dialog.run_command(1);
    ASSERT_TRUE(dialog.chosen());
    EXPECT_EQ(dialog.chosen()->number, 12);

    IconDialog same(nullptr, IconChoice{5, {}}, images);
    same.run_command(1);
    EXPECT_FALSE(same.chosen());
}

TEST(IconDialogTest, AnUnreadableIconFileLeavesTheOldIcon) {
    test::TempDir dir;
    const fs::path bad = dir / "bad.ico";
    test::write_file_bytes(bad, {1, 2, 3, 4, 5, 6});
    ItemImages images;
    IconDialog dialog(nullptr, IconChoice{7, {}}, images);
    dialog.choose_file = [&] { return std::optional<fs::path>(bad); };
    EXPECT_FALSE(dialog.import_icon(bad));
    dialog.run_command(1);
    EXPECT_FALSE(dialog.chosen());
}

class FormDialogsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(doc.create(path, u"secret", std::nullopt, false), CreateResult::Created);
        ASSERT_EQ(doc.load(path, u"secret"), OpenResult::Opened);
        Card form = doc.new_card(doc.my_forms_folder()->id());
        form.node()->set_name(u"aardvark form");
        form_index = doc.store_card(form);
    }
    test::TempDir dir;
    fs::path path = dir / "Forms.ks5";
    WalletDocument doc;
    ItemImages images;
    int form_index = kNoIndex;
};

TEST_F(FormDialogsTest, SelectCardTypeListsUserFormsFirstAndPreselects) {
    SelectCardTypeDialog dialog(nullptr, builtin_form_id(13), doc, 1, images);
    QListWidget* list = dialog.list();
    ASSERT_EQ(list->count(), 44);
    EXPECT_EQ(list->item(0)->text(), QStringLiteral("aardvark form"));
    EXPECT_EQ(list->currentItem()->text(), QStringLiteral("Vehicle"));
    dialog.run_command(1);
    EXPECT_TRUE(dialog.choice().builtin);
    EXPECT_EQ(dialog.choice().builtin_number, 13u);

    SelectCardTypeDialog user(nullptr, doc.node(form_index)->id(), doc, 0, images);
    EXPECT_EQ(user.list()->currentRow(), 0);
    user.run_command(1);
    EXPECT_FALSE(user.choice().builtin);
    EXPECT_EQ(user.choice().id, doc.node(form_index)->id());
}

TEST_F(FormDialogsTest, FolderPropertiesEditNameIconFormAndMainLevel) {
    FolderPropertiesRequest request;
    request.folder = doc.new_folder(doc.my_forms_folder()->id());
    request.folder.set_name(u"Old");
    request.offer_main_level = true;
    FolderPropertiesDialog dialog(nullptr, request, doc, images);
    EXPECT_EQ(dialog.name_edit()->text(), QStringLiteral("Old"));
    EXPECT_TRUE(dialog.main_level_box()->isVisibleTo(&dialog));
    dialog.choose_icon = [](const IconChoice&) { return std::optional<IconChoice>({30, {}}); };
    dialog.choose_form = [](const FormId&) {
        return std::optional<FormChoice>(FormChoice{builtin_form_id(7), true, 7});
    };
    dialog.findChild<QToolButton*>()->click();
    for (QPushButton* b : dialog.findChildren<QPushButton*>())
        if (b->text() == QStringLiteral("...")) b->click();
    dialog.name_edit()->setText(QStringLiteral("New"));
    dialog.main_level_box()->setChecked(true);
    dialog.run_command(1);
    EXPECT_EQ(request.folder.name(), u"New");
    EXPECT_EQ(request.folder.icon(), 30);
    EXPECT_EQ(request.folder.default_form(), builtin_form_id(7));
    EXPECT_TRUE(request.main_level);

    FolderPropertiesRequest special;
    special.special = true;
    special.title_argument = u"Favorites";
    special.name = u"Stars";
    FolderPropertiesDialog caption(nullptr, special, doc, images);
    EXPECT_EQ(caption.name_edit()->maxLength(), 63);
    EXPECT_FALSE(caption.main_level_box());
    caption.name_edit()->setText(QStringLiteral("Best"));
    caption.run_command(1);
    EXPECT_EQ(special.name, u"Best");
}

TEST(ExchangeDialogsTest, TheItemsChoiceDecidesTheFormatsAndOptions) {
    ExportRequest request;
    request.selection_kind = 1;
    ExportDialog dialog(nullptr, request, {{u"Main Memory", "/tmp"}});
    dialog.show();
    ASSERT_EQ(dialog.items()->count(), 3);
    EXPECT_EQ(dialog.formats()->count(), 1);
    EXPECT_EQ(dialog.formats()->currentData().toInt(), 0);
    EXPECT_TRUE(dialog.option2()->isVisible());
    dialog.items()->setCurrentIndex(2);
    EXPECT_EQ(dialog.items()->currentData().toInt(), 3);
    ASSERT_EQ(dialog.formats()->count(), 1);
    EXPECT_EQ(dialog.formats()->currentData().toInt(), 2);
    EXPECT_FALSE(dialog.option2()->isVisible());
    dialog.option1()->setChecked(true);
    dialog.run_command(1);
    EXPECT_EQ(request.items, 3);
    EXPECT_EQ(request.format, 2);
    EXPECT_TRUE(request.option1);
    EXPECT_EQ(request.folder, fs::path("/tmp"));

    ExportRequest folder_request;
    folder_request.selection_kind = 2;
    ExportDialog folder_dialog(nullptr, folder_request, {});
    EXPECT_EQ(folder_dialog.items()->count(), 2);
    // No destination: Done ends as Cancel does.
    folder_dialog.run_command(1);
    EXPECT_EQ(folder_dialog.result(), QDialog::Rejected);
}

TEST(ExchangeDialogsTest, ExportFormsLimitsItsTexts) {
    ExportFormsRequest request;
    request.form_name = u"Visa";
    ExportFormsDialog dialog(nullptr, request);
    dialog.show();
    EXPECT_TRUE(dialog.exclude()->isChecked());
    dialog.description()->setFocus();
    QTest::keyClicks(dialog.description(), QString(130, QLatin1Char('d')));
    EXPECT_EQ(dialog.description()->text().size(), 127);
    QTest::keyClicks(dialog.author(), QString(70, QLatin1Char('a')));
    dialog.exclude()->setChecked(false);
    dialog.run_command(1);
    EXPECT_EQ(request.description.size(), 127u);
    EXPECT_EQ(request.author.size(), 63u);
    EXPECT_FALSE(request.exclude_data);
}

}  // namespace
}  // namespace ks::gui
