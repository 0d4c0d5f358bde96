// The keypad edition's windows offscreen.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QTest>

#include <fstream>

#include "platform/texts.h"
#include "shell/gui/commands.h"
#include "shell/gui/gui_services.h"
#include "shell/settings.h"
#include "smartphone/new_wallet_dialog.h"
#include "smartphone/wallet_picker.h"
#include "support/test_support.h"

namespace ks::gui {
namespace {

namespace fs = std::filesystem;

class NewWalletDialogTest : public ::testing::Test {
  protected:
    std::vector<keypad::SaveInChoice> places(bool with_card) const {
        std::vector<StorageLocation> locations = {{dir / "Documents", dir.path(), false}};
        if (with_card) locations.push_back({dir / "SD" / "Documents", dir / "SD", true});
        return keypad::save_in_choices(locations);
    }
    void SetUp() override { fs::create_directories(dir / "Documents"); }

    test::TempDir dir;
    ScriptedMessageBoxes boxes;
    ScopedMessageBoxes scope{boxes};
};

TEST_F(NewWalletDialogTest, WithoutAStorageCardOnlyMainMemoryIsOffered) {
    NewWalletDialog alone(nullptr, places(false));
    EXPECT_EQ(alone.save_in()->count(), 1);
    EXPECT_EQ(alone.save_in()->itemText(0), QStringLiteral("Main Memory"));
    NewWalletDialog both(nullptr, places(true));
    EXPECT_EQ(both.save_in()->count(), 2);
}

TEST_F(NewWalletDialogTest, ANameWithAFullStopGetsTheExtensionAndTheCardFolderIsMade) {
    NewWalletDialog dialog(nullptr, places(true));
    QTest::keyClicks(dialog.name(), "a.b");
    dialog.run_command(cmd::kOk);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.path(), dir / "Documents" / "a.b.ks5");

    NewWalletDialog on_card(nullptr, places(true));
    on_card.name()->setText(QStringLiteral("Travel"));
    on_card.save_in()->setCurrentIndex(1);
    on_card.run_command(cmd::kOk);
    EXPECT_EQ(on_card.path(), dir / "SD" / "Documents" / "Travel.ks5");
    EXPECT_TRUE(fs::is_directory(dir / "SD" / "Documents"));
}

TEST_F(NewWalletDialogTest, BadAndTakenNamesAreRefusedAndTheDialogStays) {
    std::ofstream(dir / "Documents" / "Home.ks5") << "x";
    NewWalletDialog dialog(nullptr, places(false));
    dialog.show();
    dialog.name()->setText(QStringLiteral("a/b"));
    dialog.run_command(cmd::kOk);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, load_string(23007));
    EXPECT_EQ(boxes.shown[0].caption, load_string(23012));
    dialog.name()->setText(QStringLiteral("Home"));
    dialog.run_command(cmd::kOk);
    ASSERT_EQ(boxes.shown.size(), 2u);
    EXPECT_EQ(boxes.shown[1].text, load_string(23010));
    EXPECT_EQ(boxes.shown[1].caption, u"Keystash Pro 6");
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_TRUE(dialog.path().empty());
}

TEST(KeypadPickerTest, ListsEachWalletOnceByItsShortNameWithPreviousVersionsLast) {
    test::TempDir dir;
    fs::create_directories(dir / "Documents");
    for (const char* name : {"a.b.ks5", "Home.ks5", "Old.wal"})
        std::ofstream(dir / "Documents" / name) << "x";
    app_settings().reset_to_defaults();
    WalletChooser chooser(nullptr, {dir / "Documents", dir / "Documents"});
    make_keypad_picker(chooser, {});
    EXPECT_EQ(chooser.list()->objectName(), QStringLiteral("KeystashPicker"));
    EXPECT_EQ(chooser.windowTitle(), QStringLiteral("Keystash Pro 6"));
    QStringList texts;
    for (int i = 0; i < chooser.list()->count(); ++i) texts << chooser.list()->item(i)->text();
    EXPECT_EQ(texts, (QStringList{QStringLiteral("a"), QStringLiteral("Home"), QStringLiteral("Old")}));
    chooser.run_command(cmd::kBrowse);  // not offered here
    EXPECT_EQ(chooser.result(), 0);
}

}  // namespace
}  // namespace ks::gui
