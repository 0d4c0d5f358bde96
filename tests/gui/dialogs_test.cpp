#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QTest>

#include "dialogs/options_dialogs.h"
#include "dialogs/password_dialogs.h"
#include "dialogs/wallet_chooser.h"
#include "platform/texts.h"
#include "shell/gui/commands.h"
#include "shell/gui/gui_services.h"
#include "shell/gui/soft_keys.h"
#include "shell/settings.h"
#include "support/test_support.h"

namespace ks::gui {
namespace {

namespace fs = std::filesystem;

// The ids of the messages a scripted message-box service was shown, in order.
std::vector<std::u16string> texts_shown(const ScriptedMessageBoxes& boxes) {
    std::vector<std::u16string> texts;
    for (const PromptMessage& m : boxes.shown) texts.push_back(m.text);
    return texts;
}

class DialogTest : public ::testing::Test {
  protected:
    void SetUp() override { app_settings().reset_to_defaults(); }
    void TearDown() override { app_settings().reset_to_defaults(); }
    ScriptedMessageBoxes boxes;
    ScopedMessageBoxes scope{boxes};
};

PasswordQuestion question_for(std::u16string password, std::u16string hint = u"") {
    PasswordQuestion q;
    q.display_name = u"Home";
    q.hint = std::move(hint);
    q.checker = [password](std::u16string_view text) { return text == password; };
    return q;
}

TEST_F(DialogTest, AutoOkAcceptsOnTheLastCharacter) {
    PasswordEntryDialog dialog(nullptr, question_for(u"2468"));
    dialog.show();
    QTest::keyClicks(dialog.password_box(), QStringLiteral("246"));
    EXPECT_TRUE(dialog.isVisible());
    QTest::keyClick(dialog.password_box(), Qt::Key_8);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.password(), u"2468");
    EXPECT_TRUE(dialog.password_box()->text().isEmpty());  // nothing secret stays in the box
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(DialogTest, WithoutAutoOkDoneChecksAndTheHintShowsOnceFromTheFifthFailure) {
    app_settings().PassAutoOK = 0;
    PasswordEntryDialog dialog(nullptr, question_for(u"secret", u"the cat's name"));
    dialog.show();
    for (int i = 0; i < 6; ++i) {
        QTest::keyClicks(dialog.password_box(), QStringLiteral("wrong"));
        QTest::keyClick(dialog.password_box(), Qt::Key_Return);
        ASSERT_TRUE(dialog.isVisible());
        EXPECT_TRUE(dialog.password_box()->text().isEmpty());
    }
    const std::u16string wrong = load_string(text_id::kPasswordWrong);
    const std::u16string hint = load_string(text_id::kHintShown) + u"\n\nthe cat's name";
    EXPECT_EQ(texts_shown(boxes),
              (std::vector<std::u16string>{wrong, wrong, wrong, wrong, wrong, hint, wrong}));
    QTest::keyClicks(dialog.password_box(), QStringLiteral("secret"));
    dialog.run_command(cmd::kOk);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
}

TEST_F(DialogTest, KeypadTypesAndEditsAndDoneWithNothingCancels) {
    PasswordEntryDialog dialog(nullptr, question_for(u"9999"));
    dialog.show();
    for (int id : {1401, 1402, PasswordEntryDialog::kBack, 1403}) {
        QTest::mouseClick(dialog.keypad_button(id), Qt::LeftButton);
    }
    EXPECT_EQ(dialog.password_box()->text(), QStringLiteral("13"));
    QTest::mouseClick(dialog.keypad_button(PasswordEntryDialog::kClear), Qt::LeftButton);
    EXPECT_TRUE(dialog.password_box()->text().isEmpty());
    QTest::mouseClick(dialog.keypad_button(PasswordEntryDialog::kOkButton), Qt::LeftButton);
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(DialogTest, TheEntryReadsTwentyThreeCharactersAndAcceptsAnyTextWithoutAChecker) {
    PasswordEntryDialog dialog(nullptr, PasswordQuestion{});
    dialog.show();
    dialog.password_box()->setText(QString(30, QLatin1Char('k')));
    EXPECT_EQ(dialog.password_box()->text().size(), kPasswordBoxLimit);
    dialog.run_command(cmd::kOk);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.password(), std::u16string(23, u'k'));
}

TEST_F(DialogTest, TwoMinutesUntouchedCancelAndAFailureRestartsTheCount) {
    app_settings().PassAutoOK = 0;
    PasswordEntryDialog dialog(nullptr, question_for(u"secret"));
    dialog.show();
    for (int i = 0; i < 100; ++i) dialog.tick();
    dialog.password_box()->setText(QStringLiteral("nope"));
    dialog.run_command(cmd::kOk);
    for (int i = 0; i < 119; ++i) dialog.tick();
    EXPECT_TRUE(dialog.isVisible());
    dialog.tick();
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), QDialog::Rejected);

    NewPasswordDialog fresh(nullptr, true);
    fresh.show();
    for (int i = 0; i < kDialogIdleTicks; ++i) fresh.tick();
    EXPECT_EQ(fresh.result(), QDialog::Rejected);
    EXPECT_FALSE(fresh.result_password());
}

TEST_F(DialogTest, NewPasswordIsCheckedInOrderAndReadAsTwentyThreeCharacters) {
    NewPasswordDialog dialog(nullptr, true);
    dialog.show();
    const auto attempt = [&](const char* first, const char* second) {
        dialog.first_box()->setText(QString::fromUtf8(first));
        dialog.second_box()->setText(QString::fromUtf8(second));
        dialog.run_command(cmd::kOk);
    };
    attempt("", "abc");
    attempt("ab", "ab");
    attempt("abc", "abd");
    EXPECT_EQ(texts_shown(boxes),
              (std::vector<std::u16string>{load_string(text_id::kPasswordMissing),
                                           load_string(text_id::kPasswordTooShort),
                                           load_string(text_id::kPasswordsDiffer)}));
    EXPECT_TRUE(dialog.isVisible());
    const std::string long_one(24, 'z');
    dialog.hint_box()->setText(QStringLiteral("blue"));
    attempt(long_one.c_str(), long_one.c_str());
    ASSERT_EQ(dialog.result(), QDialog::Accepted);
    ASSERT_TRUE(dialog.result_password());
    EXPECT_EQ(dialog.result_password()->password, std::u16string(23, u'z'));
    EXPECT_EQ(dialog.result_password()->hint, u"blue");
}

TEST_F(DialogTest, DisplayOptionsMapSizesAndStoreOnlyOnDone) {
    DisplayValues values;
    values.font_main = 13;
    values.font_main_style = 1;
    values.font_card = 11;
    values.tree_colour = 0x0000FF;
    DisplayOptionsDialog dialog(nullptr, values);
    EXPECT_EQ(dialog.tree_size()->currentIndex(), 1);
    EXPECT_EQ(dialog.card_size()->currentIndex(), 2);
    dialog.choose_colour = [](uint32_t) { return std::optional<uint32_t>(0x123456); };
    QTest::mouseClick(dialog.swatch(DisplayOptionsDialog::Cards), Qt::LeftButton);
    dialog.run_command(cmd::kOk);
    EXPECT_EQ(dialog.values().font_main, 9);
    EXPECT_EQ(dialog.values().font_main_style & 1, 0);
    EXPECT_EQ(dialog.values().font_card, 11);
    EXPECT_EQ(dialog.values().card_defaults[style::kTextSize], 11u);
    EXPECT_EQ(dialog.values().card_entry_colour, 0x123456u);
    EXPECT_EQ(dialog.values().tree_colour, 0x0000FFu);
}

TEST_F(DialogTest, SecurityOptionsSelectThePeriodOrNever) {
    SecurityOptionsDialog unusual(nullptr, {15, true});
    EXPECT_EQ(unusual.period()->currentIndex(), 0);
    EXPECT_TRUE(unusual.switching()->isChecked());
    unusual.run_command(cmd::kOk);
    EXPECT_EQ(unusual.values().minutes, 0u);

    SecurityOptionsDialog listed(nullptr, {30, false});
    EXPECT_EQ(listed.period()->currentData().toInt(), 30);
    listed.period()->setCurrentIndex(1);
    listed.run_command(cmd::kCancel);
    EXPECT_EQ(listed.values().minutes, 30u);  // Cancel changes nothing
}

class ChooserTest : public DialogTest {
  protected:
    void SetUp() override {
        DialogTest::SetUp();
        for (const char* name : {"b.ks5", "A.KS5", "old.wal", "notes.txt"}) {
            test::write_file_bytes(dir / name, {1});
        }
        fs::create_directory(dir / "second");
        fs::create_symlink(dir / "b.ks5", dir / "second" / "b-link.ks5");
    }
    QStringList listed(const WalletChooser& chooser) const {
        QStringList names;
        for (int i = 0; i < chooser.list()->count(); ++i) names << chooser.list()->item(i)->text();
        return names;
    }
    test::TempDir dir;
};

TEST_F(ChooserTest, ListsWalletsOnceInNameOrder) {
    WalletChooser chooser(nullptr, {dir.path(), dir / "second", dir.path()});
    EXPECT_EQ(listed(chooser), (QStringList{"A", "b", "old.wal"}));
}

TEST_F(ChooserTest, TheExitEntryFollowsTheSetting) {
    WalletChooser chooser(nullptr, {dir.path()});
    QMenu* menu = chooser.soft_keys()->menu();
    ASSERT_TRUE(menu);
    emit menu->aboutToShow();
    EXPECT_FALSE(chooser.soft_keys()->action(cmd::kExit)->isVisible());
    app_settings().ExitMenu = 1;
    emit menu->aboutToShow();
    EXPECT_TRUE(chooser.soft_keys()->action(cmd::kExit)->isVisible());
}

TEST_F(ChooserTest, DeleteAsksAndRemovesTheFile) {
    WalletChooser chooser(nullptr, {dir.path()});
    chooser.list()->setCurrentRow(1);  // b.ks5
    boxes.answer(PromptAnswer::No);
    chooser.run_command(cmd::kDelete);
    EXPECT_TRUE(fs::exists(dir / "b.ks5"));
    boxes.answer(PromptAnswer::Yes);
    chooser.run_command(cmd::kDelete);
    EXPECT_FALSE(fs::exists(dir / "b.ks5"));
    EXPECT_EQ(listed(chooser), (QStringList{"A", "old.wal"}));
    ASSERT_EQ(boxes.shown.size(), 2u);
    EXPECT_NE(boxes.shown[0].text.find(u"b.ks5"), std::u16string::npos);
}

TEST_F(ChooserTest, NewReportsTheNormalisedPathAndReplacesAnOldFile) {
    WalletChooser chooser(nullptr, {dir.path()});
    chooser.ask_new_path = [] { return QString(); };
    chooser.run_command(cmd::kNew);
    EXPECT_EQ(chooser.result(), 0);  // a cancelled save dialog keeps the chooser
    const QString answer = QString::fromStdString((dir / "b.").string());
    chooser.ask_new_path = [answer] { return answer; };
    test::write_file_bytes(dir / "b.ks5", {1, 2, 3});
    chooser.run_command(cmd::kNew);
    EXPECT_EQ(chooser.result(), static_cast<int>(ChooserChoice::New));
    EXPECT_EQ(chooser.chosen_path(), dir / "b.ks5");
    EXPECT_FALSE(fs::exists(dir / "b.ks5"));
    EXPECT_EQ(normalised_new_wallet_path(QStringLiteral("//x/y.ks5")), QStringLiteral("/x/y.ks5"));
}

TEST_F(ChooserTest, AnOldWalletOpensOnlyWhenConverted) {
    WalletChooser chooser(nullptr, {dir.path()});
    chooser.list()->setCurrentRow(2);  // old.wal
    chooser.convert_legacy = [](const fs::path&) { return fs::path(); };
    chooser.run_command(cmd::kOpen);
    EXPECT_EQ(chooser.result(), 0);
    chooser.list()->setCurrentRow(2);
    chooser.convert_legacy = [this](const fs::path& p) {
        EXPECT_EQ(p, dir / "old.wal");
        return dir / "old.ks5";
    };
    chooser.run_command(cmd::kOpen);
    EXPECT_EQ(chooser.result(), static_cast<int>(ChooserChoice::Open));
    EXPECT_EQ(chooser.chosen_path(), dir / "old.ks5");
}

}  // namespace
}  // namespace ks::gui
