#include <gtest/gtest.h>

#include <sys/stat.h>

#include <deque>

#include "core/keys.h"
#include "platform/text.h"
#include "shell/settings.h"
#include "shell/wallet_session.h"
#include "support/test_support.h"

namespace ks {
namespace {

namespace fs = std::filesystem;

// The dialogs answered from a script.
class ScriptedUi final : public SessionUi {
  public:
    std::optional<SecretText> ask_password(const PasswordQuestion& q) override {
        questions.push_back(q);
        if (passwords.empty()) return std::nullopt;
        auto p = passwords.front();
        passwords.pop_front();
        return p ? std::optional<SecretText>(SecretText(*p)) : std::nullopt;
    }
    std::optional<NewPassword> ask_new_password(bool) override {
        if (new_passwords.empty()) return std::nullopt;
        auto p = new_passwords.front();
        new_passwords.pop_front();
        return p;
    }
    Prompt& prompt() override { return messages; }

    std::deque<std::optional<std::u16string>> passwords;
    std::deque<std::optional<NewPassword>> new_passwords;
    std::vector<PasswordQuestion> questions;
    test::ScriptedPrompt messages;
};

class WalletSessionTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(document.create(path, u"secret", u"the usual", true), CreateResult::Created);
    }
    std::u16string last_message() const {
        return ui.messages.asked().empty() ? u"" : ui.messages.asked().back().text;
    }

    test::TempDir dir;
    test::ScopedCoreTexts texts;
    fs::path path = dir / "Home Wallet.ks5";
    WalletDocument document;
    AppSettings settings;
    WalletSession session{document, settings};
    ScriptedUi ui;
};

TEST_F(WalletSessionTest, OpensWithItsPasswordAndBecomesTheLastWallet) {
    ui.passwords = {u"secret"};
    EXPECT_EQ(session.open(path, ui), OpenOutcome::Opened);
    EXPECT_TRUE(session.is_open());
    EXPECT_FALSE(session.read_only());
    EXPECT_EQ(session.display_name(), u"Home Wallet");
    EXPECT_EQ(settings.MRU, from_utf8(path.string()));
    ASSERT_EQ(ui.questions.size(), 1u);
    const PasswordQuestion& q = ui.questions.front();
    EXPECT_EQ(q.display_name, u"Home Wallet");
    EXPECT_EQ(q.hint, u"the usual");
    ASSERT_TRUE(q.checker);
    EXPECT_TRUE(ui.messages.asked().empty());
}

TEST_F(WalletSessionTest, FailuresAreToldWithTheirReasonAndLeaveNothingOpen) {
    ui.passwords = {u"wrong"};
    EXPECT_EQ(session.open(path, ui), OpenOutcome::Failed);
    EXPECT_FALSE(session.is_open());
    EXPECT_NE(last_message().find(u"(?:10)"), std::u16string::npos) << to_utf8(last_message());
    EXPECT_TRUE(settings.MRU.empty());

    const fs::path text_file = dir / "notes.ks5";
    test::write_file_bytes(text_file, std::vector<uint8_t>(2000, 'x'));
    EXPECT_EQ(session.open(text_file, ui), OpenOutcome::Failed);
    EXPECT_NE(last_message().find(u"\nnotes\n(07)"), std::u16string::npos) << to_utf8(last_message());
    EXPECT_EQ(ui.questions.size(), 1u);  // not asked for a password

    EXPECT_EQ(session.open(dir / "missing.ks5", ui), OpenOutcome::Failed);
    EXPECT_NE(last_message().find(u"(23)"), std::u16string::npos);
}

TEST_F(WalletSessionTest, CancellingThePasswordTellsNothing) {
    ui.passwords = {std::nullopt};
    EXPECT_EQ(session.open(path, ui), OpenOutcome::Cancelled);
    EXPECT_FALSE(session.is_open());
    EXPECT_TRUE(ui.messages.asked().empty());
}

TEST_F(WalletSessionTest, TheCheckerKnowsThePasswordAfterTheProbeLetTheFileGo) {
    std::optional<bool> right, wrong;
    struct CheckingUi final : SessionUi {
        std::optional<bool>* right;
        std::optional<bool>* wrong;
        test::ScriptedPrompt messages;
        std::optional<SecretText> ask_password(const PasswordQuestion& q) override {
            *right = q.checker(u"secret");
            *wrong = q.checker(u"secreT");
            return SecretText(u"secret");
        }
        std::optional<NewPassword> ask_new_password(bool) override { return std::nullopt; }
        Prompt& prompt() override { return messages; }
    } checking;
    checking.right = &right;
    checking.wrong = &wrong;
    EXPECT_EQ(session.open(path, checking), OpenOutcome::Opened);
    EXPECT_EQ(right, true);
    EXPECT_EQ(wrong, false);
}

TEST_F(WalletSessionTest, ADamagedWalletIsRepairedWhenTheUserAgrees) {
    ASSERT_EQ(document.load(path, u"secret"), OpenResult::Opened);
    Card card = document.new_card(NodeId{});
    card.node()->set_name(u"Bank");
    ASSERT_GE(document.store_card(card), 0);
    document.close();
    std::vector<uint8_t> bytes = test::read_file_bytes(path);
    bytes.resize(bytes.size() - 3);
    test::write_file_bytes(path, bytes);

    ScriptedUi declining;
    declining.passwords = {u"secret"};
    declining.messages = test::ScriptedPrompt({PromptAnswer::No});
    EXPECT_EQ(session.open(path, declining), OpenOutcome::Failed);
    EXPECT_NE(declining.messages.asked().back().text.find(u":13)"), std::u16string::npos);

    ui.passwords = {u"secret"};
    ui.messages = test::ScriptedPrompt({PromptAnswer::Yes, PromptAnswer::Ok, PromptAnswer::Ok});
    EXPECT_EQ(session.open(path, ui), OpenOutcome::Opened);
    EXPECT_TRUE(session.is_open());
    EXPECT_EQ(ui.messages.asked().size(), 3u);  // the two questions and the report
}

TEST_F(WalletSessionTest, AFileMarkedReadOnlyOpensReadOnly) {
    ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
    ui.passwords = {u"secret"};
    EXPECT_EQ(session.open(path, ui), OpenOutcome::Opened);
    EXPECT_TRUE(session.read_only());
    EXPECT_GT(document.nodes().size(), 0u);  // the sample folder is listed
    EXPECT_FALSE(session.change_password(ui));
    session.close();
    ::chmod(path.c_str(), 0600);
}

TEST_F(WalletSessionTest, ChangePasswordReEnciphersAndClosesForTheReopen) {
    ui.passwords = {u"secret", u"secret"};
    ASSERT_EQ(session.open(path, ui), OpenOutcome::Opened);
    ui.new_passwords = {NewPassword{SecretText(u"newpass"), u"new hint"}};
    EXPECT_TRUE(session.change_password(ui));
    EXPECT_FALSE(session.is_open());
    EXPECT_EQ(last_message(), load_string(text_id::kPasswordChanged));
    ui.passwords = {u"newpass"};
    EXPECT_EQ(session.open(path, ui), OpenOutcome::Opened);
    EXPECT_EQ(ui.questions.back().hint, u"new hint");
}

TEST_F(WalletSessionTest, ChangePasswordCancelledAtEitherStepChangesNothing) {
    ui.passwords = {u"secret"};
    ASSERT_EQ(session.open(path, ui), OpenOutcome::Opened);
    ui.passwords = {std::nullopt};
    EXPECT_FALSE(session.change_password(ui));
    ui.passwords = {u"secret"};
    ui.new_passwords = {std::nullopt};
    EXPECT_FALSE(session.change_password(ui));
    EXPECT_TRUE(session.is_open());
    session.close();
    EXPECT_EQ(document.open(path, u"secret", true), OpenResult::Opened);
}

TEST_F(WalletSessionTest, CreateTellsWhyNot) {
    const NewPassword password{SecretText(u"abc"), u""};
    EXPECT_TRUE(session.create(dir / "New.ks5", password, ui));
    EXPECT_TRUE(fs::exists(dir / "New.ks5"));
    EXPECT_FALSE(session.create(dir / "no such folder" / "New.ks5", password, ui));
    EXPECT_EQ(last_message(), load_string(text_id::kCreateFailed));
}

TEST_F(WalletSessionTest, TheAutoClosePeriodIsKeptInTheWallet) {
    ui.passwords = {u"secret", u"secret"};
    ASSERT_EQ(session.open(path, ui), OpenOutcome::Opened);
    session.set_auto_close_minutes(30);
    session.close();
    ASSERT_EQ(session.open(path, ui), OpenOutcome::Opened);
    EXPECT_EQ(session.auto_close_minutes(), 30u);
}

}  // namespace
}  // namespace ks
