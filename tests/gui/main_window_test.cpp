#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <QTimer>

#include <sys/stat.h>

#include <cstdio>
#include <deque>
#include <functional>

#include "card/card_editors.h"
#include "card/card_window.h"
#include "dialogs/options_dialogs.h"
#include "dialogs/wallet_chooser.h"
#include "platform/registry.h"
#include "platform/text.h"
#include "platform/texts.h"
#include "shell/gui/commands.h"
#include "shell/gui/gui_services.h"
#include "shell/gui/messages.h"
#include "shell/main_window.h"
#include "shell/settings.h"
#include "support/legacy_writer.h"
#include "support/test_support.h"

namespace ks::gui {
namespace {

namespace fs = std::filesystem;

// The answers the main window's dialogs give, in order.
struct DialogScript {
    std::deque<std::optional<std::u16string>> passwords;
    std::deque<std::optional<NewPassword>> new_passwords;
    std::deque<std::optional<SecurityValues>> security;
    std::vector<PasswordQuestion> questions;
};

class ScriptedDialogs final : public DialogRunner {
  public:
    explicit ScriptedDialogs(DialogScript& script) : script_(script) {}
    std::optional<SecretText> ask_password(QWidget*, const PasswordQuestion& q) override {
        script_.questions.push_back(q);
        auto answer = take(script_.passwords);
        return answer ? std::optional<SecretText>(SecretText(*answer)) : std::nullopt;
    }
    std::optional<NewPassword> ask_new_password(QWidget*, bool) override {
        return take(script_.new_passwords);
    }
    std::optional<SecurityValues> security_options(QWidget*, const SecurityValues&) override {
        return take(script_.security);
    }
    std::optional<DisplayValues> display_options(QWidget*, const DisplayValues&) override {
        return std::nullopt;
    }
    void about(QWidget*) override {}

  private:
    template <typename T>
    static std::optional<T> take(std::deque<std::optional<T>>& queue) {
        if (queue.empty()) return std::nullopt;
        auto v = queue.front();
        queue.pop_front();
        return v;
    }
    DialogScript& script_;
};

void settle() {
    for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
}

// The texts of the top-level rows.
std::vector<std::u16string> tree_texts(WalletTree* tree) {
    std::vector<std::u16string> texts;
    const QAbstractItemModel* model = tree->model();
    for (int i = 0; i < model->rowCount(); ++i) texts.push_back(u16(model->index(i, 0).data().toString()));
    return texts;
}

bool starts_with(const std::u16string& text, const std::u16string& start) {
    return text.starts_with(start);
}

class MainWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        app_settings().reset_to_defaults();
        WalletDocument doc;
        ASSERT_EQ(doc.create(wallet, u"secret", u"a hint", true), CreateResult::Created);
        ASSERT_EQ(doc.load(wallet, u"secret"), OpenResult::Opened);
        Card card = doc.new_card(NodeId{});
        card.node()->set_name(u"Bank card");
        ASSERT_GE(doc.store_card(card), 0);
        doc.close();
        window = std::make_unique<MainWindow>(registry, std::make_unique<ScriptedDialogs>(script));
        window->set_chooser_folders({dir.path()});
        window->show();
    }
    void TearDown() override {
        window.reset();
        app_settings().reset_to_defaults();
    }
    void open(const fs::path& path, std::u16string password = u"secret") {
        script.passwords.push_back(password);
        window->set_startup_path(path);
        post_message(window.get(), MWM_OPENPATH);
        settle();
    }
    size_t shown_count(uint32_t id) const {
        size_t n = 0;
        for (const PromptMessage& m : boxes.shown) n += m.text == load_string(id);
        return n;
    }
    void find(const QString& text) {
        window->command(cmd::kFind);
        window->find_edit()->setText(text);
        window->command(cmd::kGo);
        settle();
    }

    test::TempDir dir;
    fs::path wallet = dir / "Home.ks5";
    Registry registry;
    ScriptedMessageBoxes boxes;
    ScopedMessageBoxes scope{boxes};
    DialogScript script;
    std::unique_ptr<MainWindow> window;
};

TEST_F(MainWindowTest, OpensAWalletAndShowsItsNameAndItems) {
    open(wallet);
    ASSERT_TRUE(window->session().is_open());
    EXPECT_EQ(window->header_text(), QStringLiteral("Home"));
    EXPECT_FALSE(window->find_mode());
    EXPECT_EQ(window->current_menu_id(), menu_id::kMain);
    const auto items = tree_texts(window->tree());
    EXPECT_NE(std::find(items.begin(), items.end(), u"Bank card"), items.end());
    ASSERT_EQ(script.questions.size(), 1u);
    EXPECT_EQ(script.questions[0].display_name, u"Home");
    EXPECT_EQ(script.questions[0].hint, u"a hint");
    EXPECT_EQ(app_settings().MRU, from_utf8(wallet.string()));
}

TEST_F(MainWindowTest, FindMessagesAndSwitches) {
    open(wallet);
    find(QStringLiteral("a"));
    EXPECT_EQ(shown_count(text_id::kFindTooShort), 1u);
    EXPECT_TRUE(window->find_mode());
    EXPECT_EQ(window->current_menu_id(), menu_id::kFind);

    const size_t before = boxes.shown.size();
    find(QStringLiteral("::openlast"));
    EXPECT_EQ(app_settings().OpenLast, 0);
    find(QStringLiteral("::OpenLast"));
    EXPECT_EQ(app_settings().OpenLast, 1);
    EXPECT_EQ(boxes.shown.size(), before);  // no message, no search
    EXPECT_EQ(window->find_edit()->text(), QStringLiteral("::OpenLast"));
    EXPECT_FALSE(starts_with(tree_texts(window->tree()).front(), load_string(text_id::kCaption2)));

    find(QString(60, QLatin1Char('q')));
    EXPECT_EQ(window->find_edit()->text(), QString(48, QLatin1Char('q')));
    EXPECT_EQ(shown_count(text_id::kFindNothing), 1u);
    EXPECT_TRUE(window->find_mode());

    find(QStringLiteral("bank"));
    EXPECT_EQ(tree_texts(window->tree()).front(), load_string(text_id::kCaption2) + u" - 'bank'");
    ASSERT_TRUE(window->tree()->currentIndex().isValid());
    EXPECT_EQ(window->tree()->currentIndex().data().toString(), QStringLiteral("Bank card"));
}

TEST_F(MainWindowTest, TheHeaderFollowsTheFindEdit) {
    open(wallet);
    window->command(cmd::kModeButton);
    EXPECT_TRUE(window->find_mode());
    EXPECT_FALSE(window->layout_now().show_search);
    QTest::keyClicks(window->find_edit(), QStringLiteral("ab"));
    EXPECT_TRUE(window->layout_now().show_search && window->layout_now().show_clear);
    window->command(cmd::kClearButton);
    EXPECT_TRUE(window->find_edit()->text().isEmpty());
    EXPECT_FALSE(window->layout_now().show_search);
    window->command(cmd::kFindCancel);
    EXPECT_FALSE(window->find_mode());
    EXPECT_EQ(window->current_menu_id(), menu_id::kMain);
    window->command(cmd::kExpandedMenus);
    EXPECT_EQ(window->current_menu_id(), menu_id::kMainExpanded);
    EXPECT_EQ(app_settings().MenusExpanded, 1);
}

TEST_F(MainWindowTest, UpOnTheFirstItemEntersFind) {
    open(wallet);
    window->tree()->setCurrentIndex(window->tree()->model()->index(0, 0));
    QTest::keyClick(window->tree(), Qt::Key_Up);
    EXPECT_TRUE(window->find_mode());
}

TEST_F(MainWindowTest, CtrlQClosesTheWalletAndShowsTheChooser) {
    open(wallet);
    QApplication::setActiveWindow(window.get());
    QTest::keyClick(window.get(), Qt::Key_Q, Qt::ControlModifier);
    settle();
    EXPECT_FALSE(window->session().is_open());
    ASSERT_TRUE(window->chooser());
    EXPECT_TRUE(window->chooser()->isVisible());
}

TEST_F(MainWindowTest, NewThenCancelCreatesNoFileAndTheChooserReturns) {
    post_message(window.get(), MWM_SHOWCHOOSER);
    settle();
    ASSERT_TRUE(window->chooser());
    const fs::path fresh = dir / "Fresh.ks5";
    window->chooser()->ask_new_path = [&] { return QString::fromStdString(fresh.string()); };
    script.new_passwords = {std::nullopt};
    window->chooser()->run_command(cmd::kNew);
    settle();
    EXPECT_FALSE(fs::exists(fresh));
    ASSERT_TRUE(window->chooser());
    EXPECT_TRUE(window->chooser()->isVisible());

    window->chooser()->ask_new_path = [&] { return QString::fromStdString(fresh.string()); };
    script.new_passwords = {NewPassword{SecretText(u"fresh1"), u""}};
    script.passwords = {u"fresh1"};
    window->chooser()->run_command(cmd::kNew);
    settle();
    EXPECT_TRUE(fs::exists(fresh));
    EXPECT_TRUE(window->session().is_open());
    EXPECT_EQ(window->header_text(), QStringLiteral("Fresh"));
}

TEST_F(MainWindowTest, APreviousVersionWalletIsConvertedAndOpened) {
    test::LegacyWallet old;
    old.records = {test::LegacyFolder{1, u"Bank", 0, 0}, test::legacy_item(2, 1, u"Visa", 0)};
    test::write_legacy_wallet(dir / "Old.wal", old);
    post_message(window.get(), MWM_SHOWCHOOSER);
    settle();
    ASSERT_TRUE(window->chooser());
    window->chooser()->select_path(dir / "Old.wal");
    boxes.answer(PromptAnswer::Yes);  // convert it
    script.passwords = {u"secret", u"secret"};  // the old wallet's, then the new one's
    window->chooser()->run_command(cmd::kOpen);
    settle();
    EXPECT_TRUE(fs::exists(dir / "Old.ks5"));
    ASSERT_TRUE(window->session().is_open());
    EXPECT_EQ(window->header_text(), QStringLiteral("Old"));
    const auto items = tree_texts(window->tree());
    EXPECT_NE(std::find(items.begin(), items.end(), u"Bank"), items.end());
}

TEST_F(MainWindowTest, AWrongPasswordReturnsToTheChooserWithTheReason) {
    open(wallet, u"wrong");
    EXPECT_FALSE(window->session().is_open());
    ASSERT_FALSE(boxes.shown.empty());
    EXPECT_NE(boxes.shown.back().text.find(load_string(text_id::kOpenWrongPassword) + u":10)"),
              std::u16string::npos);
    ASSERT_TRUE(window->chooser());
    EXPECT_TRUE(window->chooser()->isVisible());
}

TEST_F(MainWindowTest, AClockJumpPastThePeriodExitsAfterCancellingDialogs) {
    test::DeterministicEnvironment env;
    open(wallet);
    window->session().set_auto_close_minutes(1);
    window->command(cmd::kSecurity);  // no answer: keeps the period, restarts the watch
    EXPECT_TRUE(window->timer_active(TIMER_IDLECHECK));
    EXPECT_TRUE(window->idle_watcher().running());
    auto* about = new AboutBox(window.get());
    about->setAttribute(Qt::WA_DeleteOnClose);
    about->open();
    ASSERT_TRUE(about->isVisible());

    const DateTime before = env.clock().now();
    env.clock().advance_seconds(120);
    window->idle_watcher().prime(before);
    window->idle_watcher().sample(env.clock().now());
    settle();
    EXPECT_FALSE(window->session().is_open());
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST_F(MainWindowTest, TheIdleCheckClosesAfterThePeriodAndNotBefore) {
    test::DeterministicEnvironment env;
    open(wallet);
    window->session().set_auto_close_minutes(1);
    window->activity().period_minutes = 1;
    env.clock().advance_seconds(50);
    window->apply_auto_close();
    settle();
    EXPECT_TRUE(window->session().is_open());
    env.clock().advance_seconds(10);
    window->apply_auto_close();
    settle();
    EXPECT_FALSE(window->session().is_open());
}

TEST_F(MainWindowTest, SyncStartClosesTheWalletAfterASecond) {
    open(wallet);
    post_message(window.get(), MWM_SYNCSTART);
    settle();
    EXPECT_TRUE(window->timer_active(TIMER_SYNCCLOSE));
    EXPECT_TRUE(window->session().is_open());
    QTest::qWait(1300);
    settle();
    EXPECT_FALSE(window->timer_active(TIMER_SYNCCLOSE));
    EXPECT_FALSE(window->session().is_open());
    ASSERT_TRUE(window->chooser());
    post_message(window.get(), MWM_SYNCEND);  // nothing is reopened
    settle();
    EXPECT_FALSE(window->session().is_open());
}

TEST_F(MainWindowTest, SecurityStoresThePeriodInTheWallet) {
    open(wallet);
    script.security = {SecurityValues{30, false}};
    window->command(cmd::kSecurity);
    EXPECT_EQ(window->session().auto_close_minutes(), 30u);
    EXPECT_TRUE(window->timer_active(TIMER_IDLECHECK));
    script.security = {SecurityValues{0, true}};
    window->command(cmd::kSecurity);
    EXPECT_FALSE(window->timer_active(TIMER_IDLECHECK));
    EXPECT_TRUE(window->session().close_when_switching());
    window->command(cmd::kWallets);
    settle();
    WalletDocument doc;
    ASSERT_EQ(doc.open(wallet, u"secret", true), OpenResult::Opened);
    EXPECT_EQ(doc.settings().value(112), 0u);
    EXPECT_EQ(doc.settings().value(108), 1u);
}

TEST_F(MainWindowTest, ChangePasswordReopensWithTheNewPassword) {
    open(wallet);
    script.passwords = {u"secret", u"brandnew"};
    script.new_passwords = {NewPassword{SecretText(u"brandnew"), u"new hint"}};
    window->command(cmd::kChangePassword);
    settle();
    EXPECT_TRUE(window->session().is_open());
    EXPECT_EQ(shown_count(text_id::kPasswordChanged), 1u);
    EXPECT_EQ(script.questions.back().hint, u"new hint");
    window->command(cmd::kWallets);
    settle();
    WalletDocument doc;
    EXPECT_EQ(doc.open(wallet, u"brandnew", true), OpenResult::Opened);
}

TEST_F(MainWindowTest, AWalletChangedByTheCommandLineWhileClosedOpensWithTheChange) {
    open(wallet);
    window->command(cmd::kWallets);
    settle();
    const std::string command = "echo secret | '" KEYSTASH_CLI_PATH "' mkdir '" + wallet.string() +
                                "' Travel >/dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0);
    open(wallet);
    const auto items = tree_texts(window->tree());
    EXPECT_NE(std::find(items.begin(), items.end(), u"Travel"), items.end());
}

TEST_F(MainWindowTest, AReadOnlyWalletOpensAndSaysSo) {
    ASSERT_EQ(::chmod(wallet.c_str(), 0444), 0);
    open(wallet);
    ASSERT_TRUE(window->session().is_open());
    EXPECT_TRUE(window->session().read_only());
    EXPECT_EQ(window->header_text(),
              QStringLiteral("Home ") + gui::text(text_id::kReadOnlyMark));
    EXPECT_EQ(shown_count(text_id::kOpenedReadOnly), 1u);
    ::chmod(wallet.c_str(), 0600);
}

// The picture of the tree in the README is made here: set KEYSTASH_SCREENSHOT to a PNG path.
TEST_F(MainWindowTest, TheSampleWalletRendersOffscreen) {
    const fs::path sample = dir / "Sample Wallet.ks5";
    fs::copy_file(KEYSTASH_SAMPLE_WALLET, sample);
    open(sample, u"keystash");
    ASSERT_TRUE(window->session().is_open());
    window->resize(360, 480);
    WalletTree* tree = window->tree();
    const QAbstractItemModel* model = tree->model();
    for (int row = 0; row < model->rowCount(); ++row) {
        const QModelIndex index = model->index(row, 0);
        if (index.data().toString() != QStringLiteral("Web")) tree->expand(index);
    }
    tree->setCurrentIndex(model->index(1, 0, model->index(1, 0)));
    settle();
    const QImage shot = window->grab().toImage();
    ASSERT_FALSE(shot.isNull());
    EXPECT_EQ(shot.size(), QSize(360, 480));
    if (const char* out = std::getenv("KEYSTASH_SCREENSHOT")) {
        EXPECT_TRUE(shot.save(QString::fromLocal8Bit(out)));
    }
}

// The sample wallet's "Travel Rewards Card", selected in the tree.
void select_travel_card(WalletTree* tree) {
    const QAbstractItemModel* model = tree->model();
    for (int row = 0; row < model->rowCount(); ++row) {
        const QModelIndex folder = model->index(row, 0);
        if (folder.data().toString() != QStringLiteral("Bank")) continue;
        tree->expand(folder);
        for (int i = 0; i < model->rowCount(folder); ++i) {
            const QModelIndex card = model->index(i, 0, folder);
            if (card.data().toString() == QStringLiteral("Travel Rewards Card")) {
                tree->setCurrentIndex(card);
                return;
            }
        }
    }
    FAIL() << "no Travel Rewards Card";
}

// What the real card window does, run from inside its own event loop.
void in_card_window(const std::function<void(CardWindow&)>& steps) {
    QTimer::singleShot(0, [steps] {
        auto* card_window = qobject_cast<CardWindow*>(QApplication::activeModalWidget());
        ASSERT_NE(card_window, nullptr);
        steps(*card_window);
    });
}

TEST_F(MainWindowTest, ACardEditedInTheWindowReadsBackTheSameThroughTheCli) {
    const fs::path sample = dir / "Sample Wallet.ks5";
    fs::copy_file(KEYSTASH_SAMPLE_WALLET, sample);
    open(sample, u"keystash");
    ASSERT_TRUE(window->session().is_open());
    select_travel_card(window->tree());
    in_card_window([](CardWindow& w) {
        w.run_command(cmd::kEdit);
        w.list()->move_to_row(1);
        w.list()->editors().text()->setText(QStringLiteral("Travel Card"));
        w.list()->move_to_row(5);  // Card Number
        w.list()->editors().text()->setText(QStringLiteral("4000 0000 0000 0002"));
        w.run_command(cmd::kOk);  // back to the view
        w.run_command(cmd::kOk);  // closed: changed
    });
    QTest::keyClick(window->tree(), Qt::Key_Return);
    settle();
    EXPECT_EQ(u16(window->tree()->currentIndex().data().toString()), u"Travel Card");
    window->command(cmd::kWallets);  // the wallet closes
    settle();
    const std::string command = "echo keystash | '" KEYSTASH_CLI_PATH "' show '" + sample.string() +
                                "' 'Bank/Travel Card'";
    FILE* pipe = ::popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string shown;
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, pipe)) shown += buffer;
    EXPECT_EQ(::pclose(pipe), 0);
    EXPECT_NE(shown.find("Card Number: 4000 0000 0000 0002\n"), std::string::npos) << shown;
    EXPECT_NE(shown.find("Name on Card: Jordan Avery\n"), std::string::npos) << shown;
}

// The picture of a card in the README is made here: set KEYSTASH_CARD_SCREENSHOT to a PNG path.
TEST_F(MainWindowTest, ASampleCardRendersOffscreen) {
    const fs::path sample = dir / "Sample Wallet.ks5";
    fs::copy_file(KEYSTASH_SAMPLE_WALLET, sample);
    open(sample, u"keystash");
    window->resize(360, 480);
    select_travel_card(window->tree());
    QImage shot;
    in_card_window([&shot](CardWindow& w) {
        w.list()->select_line(3);  // the card number
        QApplication::processEvents();
        shot = w.grab().toImage();
        EXPECT_EQ(w.list()->scroll(), 0);
        w.run_command(cmd::kOk);
    });
    QTest::keyClick(window->tree(), Qt::Key_Return);
    settle();
    ASSERT_FALSE(shot.isNull());
    EXPECT_EQ(shot.size(), QSize(360, 480));
    if (const char* out = std::getenv("KEYSTASH_CARD_SCREENSHOT")) {
        EXPECT_TRUE(shot.save(QString::fromLocal8Bit(out)));
    }
}

}  // namespace
}  // namespace ks::gui
