// keystash-cli end to end: every command on wallets the tests create, through the in-process
// entry point, and a few runs of the built program itself.
#include "cli/cli.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "cli/items.h"
#include "core/wallet_document.h"
#include "platform/fault_injection.h"
#include "platform/locale_format.h"
#include "platform/string_table.h"
#include "platform/text.h"
#include "platform/texts.h"
#include "support/cli_harness.h"
#include "support/crash_harness.h"
#include "support/test_support.h"
#include "support/wallet_builder.h"

extern char** environ;

namespace ks::cli {

// Exit codes print as their numbers in failure messages.
void PrintTo(Exit code, std::ostream* os) {
    *os << static_cast<int>(code);
}

namespace {

namespace fs = std::filesystem;
using nlohmann::json;

constexpr const char* kPasswordLine = "secret\n";
const std::regex kIdPattern(R"(\{[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}\})");

struct Outcome {
    Exit code = Exit::Failure;
    std::string out;
    std::string err;
};

std::string joined(const std::vector<std::string>& argv) {
    std::string text;
    for (const std::string& a : argv) text += (text.empty() ? "" : " ") + a;
    return text;
}

std::string read_text(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void write_text(const fs::path& path, std::string_view text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
}

unsigned file_mode(const fs::path& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? (st.st_mode & 07777u) : 0u;
}

// The English texts, US date and time formats, a fixed clock and a temporary folder.
class CliTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(table.table) << "the English string table is missing"; }

    Outcome run(const std::vector<std::string>& argv, const std::string& input = kPasswordLine) {
        const test::CliOutcome r = test::run_cli_in_process(argv, input);
        return {static_cast<Exit>(r.code), r.out, r.err};
    }

    std::string path(const std::string& name) const { return (dir / name).string(); }

    test::DeterministicEnvironment env;
    StringTableParse table =
        load_string_table(fs::path(KEYSTASH_LANGUAGE_DIR) / "keystash.exe.0409.mui");
    ScopedTextSource texts{table.table ? &*table.table : nullptr};
    ScopedLocaleFormats formats{LocaleFormats::en_us()};
    test::TempDir dir;
};

// A new wallet with the password "secret" and the sample folder "Personal".
class WalletTest : public CliTest {
  protected:
    void SetUp() override {
        CliTest::SetUp();
        if (HasFatalFailure()) return;
        Outcome r = run({"create", w});
        ASSERT_EQ(r.code, Exit::Ok) << r.err;
    }

    // Runs a command that must succeed; its standard output.
    std::string ok(const std::vector<std::string>& argv, const std::string& input = kPasswordLine) {
        Outcome r = run(argv, input);
        EXPECT_EQ(r.code, Exit::Ok) << joined(argv) << ": " << r.err;
        return r.out;
    }

    json ok_json(const std::vector<std::string>& argv) {
        const std::string out = ok(argv);
        return json::parse(out, nullptr, false);
    }

    // The ids of the items named `name` directly in `folder`, in listing order.
    std::vector<std::string> ids_named(const std::string& folder, const std::string& name) {
        std::vector<std::string> ids;
        for (const json& item : ok_json({"ls", "--json", w, folder}))
            if (item["name"] == name) ids.push_back(item["id"].get<std::string>());
        return ids;
    }

    // "Personal/Visa" from the Credit Card form, with its fields given out of form order.
    void add_visa(const std::string& at = "Personal/Visa") {
        ok({"add", w, at, "--set", "Name on Card=J Doe", "--set", "PIN=1234", "--set",
            "Card Number=4111 1111"});
    }

    const std::string w = path("wallet.ks5");
};

// ---------------------------------------------------------------------------------------------
// create

TEST_F(CliTest, CreateMakesAnOwnerOnlyWalletThatOpensWithThePasswordFromStandardInput) {
    const std::string w = path("new.ks5");
    Outcome r = run({"create", w}, "secret\n");
    ASSERT_EQ(r.code, Exit::Ok) << r.err;
    EXPECT_EQ(file_mode(w), 0600u);
    EXPECT_EQ(run({"ls", w}, "secret\n").out, "Personal/\nMy Forms/\n");
    EXPECT_EQ(run({"ls", w}, "secreT\n").code, Exit::WrongPassword);
}

TEST_F(CliTest, CreateOptionsKeepAHintAndLeaveOutTheSampleFolder) {
    const std::string w = path("new.ks5");
    ASSERT_EQ(run({"create", "--hint", "the cat", "--no-sample-folder", w}).code, Exit::Ok);
    EXPECT_EQ(run({"ls", w}).out, "My Forms/\n");
    json info = json::parse(run({"info", "--json", w}).out);
    EXPECT_EQ(info["hint"], true);
    EXPECT_EQ(info["folders"], 0);
}

TEST_F(CliTest, CreateTakesPasswordsOfThreeToTwentyThreeCharacters) {
    struct Case {
        const char* what;
        std::string input;
        Exit code;
    };
    const Case cases[] = {
        {"three characters", "abc\n", Exit::Ok},
        {"twenty-three characters", std::string(23, 'x') + "\n", Exit::Ok},
        {"line ended by CR LF", "abcd\r\n", Exit::Ok},
        {"two characters", "ab\n", Exit::Usage},
        {"twenty-four characters", std::string(24, 'x') + "\n", Exit::Usage},
        {"an empty line", "\n", Exit::Usage},
        {"no line at all", "", Exit::Usage},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string w = path("w" + std::to_string(n++) + ".ks5");
        Outcome r = run({"create", w}, c.input);
        EXPECT_EQ(r.code, c.code) << r.err;
        EXPECT_EQ(fs::exists(w), c.code == Exit::Ok);
        EXPECT_EQ(r.err.empty(), c.code == Exit::Ok) << r.err;
    }
    // The line end is not part of the password.
    EXPECT_EQ(run({"ls", path("w2.ks5")}, "abcd\n").code, Exit::Ok);
}

TEST_F(CliTest, CreateNeverReplacesAnExistingFile) {
    const std::string other = path("notes.ks5");
    write_text(other, "my own notes, not a wallet");
    Outcome r = run({"create", other});
    EXPECT_EQ(r.code, Exit::Refused);
    EXPECT_EQ(read_text(other), "my own notes, not a wallet");

    const std::string w = path("wallet.ks5");
    ASSERT_EQ(run({"create", w}, "first\n").code, Exit::Ok);
    const auto before = test::read_file_bytes(w);
    EXPECT_EQ(run({"create", w}, "second\n").code, Exit::Refused);
    EXPECT_EQ(test::read_file_bytes(w), before);
    EXPECT_EQ(run({"ls", w}, "first\n").code, Exit::Ok);
}

TEST_F(CliTest, WalletsThatCannotBeOpenedGiveTheirOwnCodes) {
    write_text(path("junk.ks5"), std::string(4096, 'j'));
    EXPECT_EQ(run({"ls", path("junk.ks5")}).code, Exit::BadWallet);
    EXPECT_EQ(run({"ls", path("missing.ks5")}).code, Exit::IoFailure);
}

TEST_F(WalletTest, AFullDiskIsNamedAndTheWalletKeepsItsCards) {
    const std::string before = ok({"ls", "-R", w});
    {
        ScopedFault full_disk(FaultPlan{1, FaultKind::Error, ENOSPC});
        Outcome r = run({"mkdir", w, "Taxes"});
        EXPECT_EQ(r.code, Exit::IoFailure);
        EXPECT_NE(r.err.find("could not be written to the wallet: there is not enough space on "
                             "the disk."),
                  std::string::npos)
            << r.err;
    }
    EXPECT_EQ(ok({"ls", "-R", w}), before);
}

// ---------------------------------------------------------------------------------------------
// info

TEST_F(WalletTest, InfoJsonDescribesANewWallet) {
    json j = ok_json({"info", "--json", w});
    std::set<std::string> keys;
    for (auto it = j.begin(); it != j.end(); ++it) keys.insert(it.key());
    EXPECT_EQ(keys, (std::set<std::string>{"path", "signature", "version", "created", "modified",
                                           "password", "hint", "folders", "cards", "forms",
                                           "favourites"}));
    EXPECT_EQ(j["path"], w);
    EXPECT_FALSE(j["signature"].get<std::string>().empty());
    EXPECT_EQ(j["version"], "(5.00a)");
    EXPECT_EQ(j["created"], "2006-03-05T14:07:09");
    EXPECT_EQ(j["modified"], "2006-03-05T14:07:09");
    EXPECT_EQ(j["password"], true);
    EXPECT_EQ(j["hint"], false);
    EXPECT_EQ(j["folders"], 1);
    EXPECT_EQ(j["cards"], 0);
    EXPECT_EQ(j["forms"], 0);
    EXPECT_EQ(j["favourites"], 0);
}

TEST_F(WalletTest, InfoCountsFoldersCardsFormsAndFavouritesApart) {
    ok({"mkdir", w, "Bank"});
    add_visa("Bank/Visa");
    ok({"add", w, "Personal/Library"});
    ok({"save-form", w, "Bank/Visa"});
    ok({"fav", w, "add", "Bank/Visa"});

    json j = ok_json({"info", "--json", w});
    EXPECT_EQ(j["folders"], 2);
    EXPECT_EQ(j["cards"], 2);  // the form in My Forms is not a card
    EXPECT_EQ(j["forms"], 1);
    EXPECT_EQ(j["favourites"], 1);

    const std::string text = ok({"info", w});
    EXPECT_NE(text.find("Wallet:      " + w + "\n"), std::string::npos) << text;
    EXPECT_NE(text.find("Created:     3/5/2006 2:07:09 PM\n"), std::string::npos) << text;
    EXPECT_NE(text.find("Password:    set\n"), std::string::npos) << text;
    EXPECT_NE(text.find("Hint:        none\n"), std::string::npos) << text;
    EXPECT_NE(text.find("Folders:     2\n"), std::string::npos) << text;
    EXPECT_NE(text.find("Cards:       2\n"), std::string::npos) << text;
    EXPECT_NE(text.find("User forms:  1\n"), std::string::npos) << text;
    EXPECT_NE(text.find("Favourites:  1\n"), std::string::npos) << text;
}

// ---------------------------------------------------------------------------------------------
// ls

TEST_F(WalletTest, LsPutsCardsBeforeFoldersEachByNameWithoutCaseAndMyFormsLast) {
    for (const char* folder : {"zeta", "aardvark", "Zoo"}) ok({"mkdir", w, folder});
    for (const char* card : {"beta", "Alpha", "alpha2"}) ok({"add", w, card});
    EXPECT_EQ(ok({"ls", w}), "Alpha\nalpha2\nbeta\naardvark/\nPersonal/\nzeta/\nZoo/\nMy Forms/\n");
}

TEST_F(WalletTest, LsComparesOnlyTheFirstSixtyFourCharactersOfNames) {
    // Equal in their first 64 characters without regard to case: they keep the order in which
    // they were made.
    const std::string first = std::string(64, 'm') + "z";
    const std::string second = std::string(64, 'M') + "a";
    ok({"add", w, first});
    ok({"add", w, second});
    EXPECT_EQ(ok({"ls", w}), first + "\n" + second + "\nPersonal/\nMy Forms/\n");
}

TEST_F(WalletTest, LsRecursiveIndentsEachLevelByTwoSpaces) {
    ok({"mkdir", w, "Bank"});
    ok({"mkdir", w, "Bank/Old"});
    ok({"add", w, "Bank/Old/Card"});
    ok({"add", w, "Bank/Visa"});
    EXPECT_EQ(ok({"ls", "-R", w}), "Bank/\n  Visa\n  Old/\n    Card\nPersonal/\nMy Forms/\n");
    EXPECT_EQ(ok({"ls", w, "Bank"}), "Visa\nOld/\n");
    EXPECT_EQ(ok({"ls", w, "-R", "Bank"}), "Visa\nOld/\n  Card\n");
    EXPECT_EQ(ok({"ls", w, "/"}), ok({"ls", w}));
}

TEST_F(WalletTest, LsJsonNestsChildrenUnderEachFolder) {
    ok({"mkdir", w, "Bank"});
    ok({"mkdir", w, "Bank/Old"});
    ok({"add", w, "Bank/Old/Card"});
    ok({"add", w, "Bank/Visa"});
    json items = ok_json({"ls", "-R", "--json", w});
    ASSERT_TRUE(items.is_array());
    ASSERT_EQ(items.size(), 3u);
    const json& bank = items[0];
    EXPECT_EQ(bank["name"], "Bank");
    EXPECT_EQ(bank["kind"], "folder");
    EXPECT_EQ(bank["path"], "Bank");
    EXPECT_TRUE(std::regex_match(bank["id"].get<std::string>(), kIdPattern)) << bank["id"];
    ASSERT_EQ(bank["children"].size(), 2u);
    EXPECT_EQ(bank["children"][0]["name"], "Visa");
    EXPECT_EQ(bank["children"][0]["kind"], "card");
    EXPECT_EQ(bank["children"][0]["path"], "Bank/Visa");
    EXPECT_FALSE(bank["children"][0].contains("children"));
    EXPECT_EQ(bank["children"][1]["path"], "Bank/Old");
    ASSERT_EQ(bank["children"][1]["children"].size(), 1u);
    EXPECT_EQ(bank["children"][1]["children"][0]["path"], "Bank/Old/Card");
    EXPECT_EQ(items[2]["name"], "My Forms");
    EXPECT_EQ(items[2]["kind"], "my-forms");
    EXPECT_EQ(items[2]["children"], json::array());

    json bank_only = ok_json({"ls", "--json", w, "Bank"});
    ASSERT_EQ(bank_only.size(), 2u);
    EXPECT_EQ(bank_only[0]["id"], bank["children"][0]["id"]);
}

TEST_F(WalletTest, LsOfSomethingThatIsNotAFolderIsRefused) {
    ok({"add", w, "Personal/Visa"});
    EXPECT_EQ(run({"ls", w, "Personal/Visa"}).code, Exit::Refused);
    EXPECT_EQ(run({"ls", w, "Nowhere"}).code, Exit::NotFound);
}

// ---------------------------------------------------------------------------------------------
// show

TEST_F(WalletTest, ShowListsTheFilledFieldsInFormOrderWithThePinMasked) {
    add_visa();
    EXPECT_EQ(ok({"show", w, "Personal/Visa"}),
              "Visa\n  Card Number: 4111 1111\n  PIN: **********\n  Name on Card: J Doe\n");
    EXPECT_EQ(ok({"show", "--show-pins", w, "Personal/Visa"}),
              "Visa\n  Card Number: 4111 1111\n  PIN: 1234\n  Name on Card: J Doe\n");
    ok({"add", w, "Personal/Blank"});
    EXPECT_EQ(ok({"show", w, "Personal/Blank"}), "Blank\n");
}

TEST_F(WalletTest, ShowJsonGivesEveryFieldWithItsKindAndMask) {
    add_visa();
    ok({"add", w, "Personal/Blank"});
    json card = ok_json({"show", "--json", w, "Personal/Visa"});
    EXPECT_EQ(card["name"], "Visa");
    EXPECT_EQ(card["path"], "Personal/Visa");
    EXPECT_EQ(card["id"], ids_named("Personal", "Visa").at(0));
    EXPECT_EQ(card["attachments"], json::array());
    const json& fields = card["fields"];
    ASSERT_EQ(fields.size(), 16u);  // empty fields too
    EXPECT_EQ(fields[0], (json{{"label", "Card Type"},
                               {"kind", 1},
                               {"kind_name", "Text"},
                               {"value", ""},
                               {"masked", false}}));
    EXPECT_EQ(fields[1]["value"], "4111 1111");
    EXPECT_EQ(fields[2], (json{{"label", "PIN"},
                               {"kind", 7},
                               {"kind_name", "PIN"},
                               {"value", "**********"},
                               {"masked", true}}));
    EXPECT_EQ(fields[9]["kind"], 6);
    EXPECT_EQ(fields[9]["kind_name"], "Telephone Number");

    json shown = ok_json({"show", "--json", "--show-pins", w, "Personal/Visa"});
    EXPECT_EQ(shown["fields"][2]["value"], "1234");
    EXPECT_EQ(shown["fields"][2]["masked"], false);

    json blank = ok_json({"show", "--json", w, "Personal/Blank"});
    EXPECT_EQ(blank["fields"][2]["value"], "");
    EXPECT_EQ(blank["fields"][2]["masked"], false);  // nothing to hide
}

TEST_F(WalletTest, ShowRevealsPinsOfACardSetToAlwaysDisplayThem) {
    add_visa();
    const std::string id = ids_named("Personal", "Visa").at(0);
    {
        WalletDocument doc;
        ASSERT_EQ(doc.load(w, u"secret"), OpenResult::Opened);
        const int index = doc.list_index_of(*NodeId::parse(id));
        auto card = doc.load_card(index);
        ASSERT_TRUE(card);
        CardStyle style = card->style();
        style[9] = 1;  // byte 36: always display password fields
        card->set_style(style);
        ASSERT_GE(doc.update_card(*card), 0);
    }
    EXPECT_NE(ok({"show", w, "Personal/Visa"}).find("  PIN: 1234\n"), std::string::npos);
    EXPECT_EQ(ok_json({"show", "--json", w, "Personal/Visa"})["fields"][2]["masked"], false);
}

TEST_F(WalletTest, ShowRefusesFoldersAndReportsMissingCards) {
    EXPECT_EQ(run({"show", w, "Personal"}).code, Exit::Refused);
    EXPECT_EQ(run({"show", w, "Personal/Nothing"}).code, Exit::NotFound);
}

// ---------------------------------------------------------------------------------------------
// find

TEST_F(WalletTest, FindPrintsThePathsOfCardsWhoseNameOrValuesHoldTheTextInAnyCase) {
    add_visa();
    ok({"mkdir", w, "Bank"});
    ok({"add", w, "Bank/Savings", "--form", "7"});
    ok({"add", w, "Bank/Gift Card", "--set", "Card Number=5500 4111"});

    EXPECT_EQ(ok({"find", w, "VISA"}), "Personal/Visa\n");
    EXPECT_EQ(ok({"find", w, "saVINGS"}), "Bank/Savings\n");
    EXPECT_EQ(ok({"find", w, "4111"}), "Personal/Visa\nBank/Gift Card\n");
    EXPECT_EQ(ok({"find", w, "no such text"}), "");

    json hits = ok_json({"find", "--json", w, "4111"});
    ASSERT_EQ(hits.size(), 2u);
    EXPECT_EQ(hits[0]["path"], "Personal/Visa");
    EXPECT_EQ(hits[0]["id"], ids_named("Personal", "Visa").at(0));
    EXPECT_EQ(hits[1]["path"], "Bank/Gift Card");
}

TEST_F(WalletTest, FindNeedsAtLeastTwoCharacters) {
    add_visa();
    for (const char* text : {"v", " v ", "", "   "}) {
        SCOPED_TRACE(std::string("\"") + text + "\"");
        Outcome r = run({"find", w, text});
        EXPECT_EQ(r.code, Exit::Usage);
        EXPECT_EQ(r.out, "");
    }
}

// ---------------------------------------------------------------------------------------------
// forms

TEST_F(WalletTest, FormsListsTheWalletsOwnFormsFirstThenTheBuiltInOnesByNumber) {
    const std::string builtin = ok({"forms", w});
    EXPECT_EQ(std::count(builtin.begin(), builtin.end(), '\n'), 43);
    EXPECT_TRUE(builtin.starts_with("10  Alarm System\n")) << builtin;
    EXPECT_NE(builtin.find("\n 0  Credit Card\n"), std::string::npos);
    EXPECT_NE(builtin.find("\n42  Contacts List\n"), std::string::npos);

    add_visa();
    ok({"save-form", w, "Personal/Visa"});
    const std::string with_user_form = ok({"forms", w});
    EXPECT_TRUE(std::regex_search(with_user_form, std::regex(R"(^\{[0-9A-F-]{36}\}  Visa\n)")))
        << with_user_form;
    EXPECT_EQ(with_user_form.substr(with_user_form.find('\n') + 1), builtin);

    json forms = ok_json({"forms", "--json", w});
    ASSERT_EQ(forms.size(), 44u);
    EXPECT_EQ(forms[0]["name"], "Visa");
    EXPECT_EQ(forms[0]["user"], true);
    EXPECT_FALSE(forms[0].contains("number"));
    EXPECT_TRUE(std::regex_match(forms[0]["id"].get<std::string>(), kIdPattern));
    EXPECT_EQ(forms[1], (json{{"name", "Alarm System"},
                              {"id", "{0000000A-0000-0000-0000-000000000000}"},
                              {"user", false},
                              {"number", 10}}));
}

// ---------------------------------------------------------------------------------------------
// mkdir and add

TEST_F(WalletTest, MkdirAndAddMakeItemsAtNestedPathsAndPrintThem) {
    EXPECT_EQ(ok({"mkdir", w, "Bank"}), "Bank\n");
    EXPECT_EQ(ok({"mkdir", w, "Bank/Cards"}), "Bank/Cards\n");
    EXPECT_EQ(ok({"add", w, "Bank/Cards/Visa"}), "Bank/Cards/Visa\n");
    EXPECT_EQ(ok({"add", w, "Loose"}), "Loose\n");
    EXPECT_EQ(ok({"add", w, "/Personal//Note/"}), "Personal/Note\n");
    EXPECT_EQ(ok({"ls", "-R", w}),
              "Loose\nBank/\n  Cards/\n    Visa\nPersonal/\n  Note\nMy Forms/\n");
}

TEST_F(WalletTest, ABackslashBeforeASlashPutsTheSlashInsideAName) {
    EXPECT_EQ(ok({"mkdir", w, R"(A\/B)"}), "A\\/B\n");
    EXPECT_EQ(ok({"add", w, R"(A\/B/Card 1\/2)"}), "A\\/B/Card 1\\/2\n");
    EXPECT_EQ(ok({"ls", "-R", w}), "A\\/B/\n  Card 1\\/2\nPersonal/\nMy Forms/\n");
    json items = ok_json({"ls", "-R", "--json", w});
    EXPECT_EQ(items[0]["name"], "A/B");
    EXPECT_EQ(items[0]["children"][0]["name"], "Card 1/2");
    EXPECT_EQ(ok_json({"show", "--json", w, R"(A\/B/Card 1\/2)"})["name"], "Card 1/2");
}

TEST_F(WalletTest, MkdirAndAddNeedAnExistingFolderAndANewName) {
    ok({"add", w, "Personal/Visa"});
    struct Case {
        const char* path;
        Exit code;
    };
    const Case cases[] = {
        {"Nowhere/Thing", Exit::NotFound},
        {"Personal/Visa/Thing", Exit::Refused},  // a card holds no items
        {"/", Exit::Usage},
        {"", Exit::Usage},
    };
    const std::string before = ok({"ls", "-R", w});
    for (const Case& c : cases) {
        for (const char* command : {"mkdir", "add"}) {
            SCOPED_TRACE(std::string(command) + " \"" + c.path + "\"");
            Outcome r = run({command, w, c.path});
            EXPECT_EQ(r.code, c.code) << r.err;
            EXPECT_FALSE(r.err.empty());
        }
    }
    EXPECT_EQ(ok({"ls", "-R", w}), before);
}

TEST_F(WalletTest, AddTakesTheFormByNumberOrByNameWithoutCase) {
    struct Case {
        std::vector<std::string> options;
        const char* first_label;
    };
    const Case cases[] = {
        {{}, "Card Type"},  // Credit Card, form 0
        {{"--form", "0"}, "Card Type"},
        {{"--form", "11"}, "Occasion"},
        {{"--form", "important DATE"}, "Occasion"},
        {{"--form", "38"}, "Full Name"},
        {{"--form=Passport"}, "Full Name"},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(joined(c.options));
        const std::string name = "Personal/Card" + std::to_string(n++);
        std::vector<std::string> argv = {"add", w, name};
        argv.insert(argv.end(), c.options.begin(), c.options.end());
        ok(argv);
        EXPECT_EQ(ok_json({"show", "--json", w, name})["fields"][0]["label"], c.first_label);
    }
}

TEST_F(WalletTest, AddRefusesUnknownFormsAndFieldsAndStoresNothing) {
    struct Case {
        std::vector<std::string> options;
        Exit code;
    };
    const Case cases[] = {
        {{"--form", "43"}, Exit::NotFound},
        {{"--form", "No Such Form"}, Exit::NotFound},
        {{"--set", "Colour=red"}, Exit::NotFound},
        {{"--set", "Card Number"}, Exit::Usage},
        {{"--set", "=4111"}, Exit::Usage},
        {{"--form", "11", "--set", "Date=2024-13-01"}, Exit::Usage},
        {{"--form", "11", "--set", "Date=2024-00-10"}, Exit::Usage},
        {{"--form", "11", "--set", "Date=2024-02-32"}, Exit::Usage},
        {{"--form", "11", "--set", "Date=29.02.2024"}, Exit::Usage},
        {{"--form", "11", "--set", "Date=yesterday"}, Exit::Usage},
        {{"--form", "11", "--set", "Date=2024-02-29 10:00"}, Exit::Usage},  // a date, no time
        {{"--form", "22", "--set", "Admission Time=24:00"}, Exit::Usage},
        {{"--form", "22", "--set", "Admission Time=9.30"}, Exit::Usage},
        {{"--form", "25", "--set", "Departure=2024-07-01 9:60"}, Exit::Usage},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(joined(c.options));
        std::vector<std::string> argv = {"add", w, "Personal/Card"};
        argv.insert(argv.end(), c.options.begin(), c.options.end());
        Outcome r = run(argv);
        EXPECT_EQ(r.code, c.code) << r.err;
        EXPECT_FALSE(r.err.empty());
    }
    EXPECT_EQ(ok({"ls", w, "Personal"}), "");
}

TEST_F(WalletTest, AddRefusesDaysThatTheMonthDoesNotHave) {
    for (const char* date : {"2024-02-30", "2023-02-29", "2024-04-31", "2100-02-29"}) {
        SCOPED_TRACE(date);
        Outcome r =
            run({"add", w, "Personal/Day", "--form", "11", "--set", std::string("Date=") + date});
        EXPECT_EQ(r.code, Exit::Usage) << r.out;
    }
    EXPECT_EQ(ok({"ls", w, "Personal"}), "");
}

TEST_F(WalletTest, AddSetsDateAndTimeFieldsShownInTheLocalFormats) {
    struct Case {
        const char* form;
        const char* label;
        const char* value;
        const char* shown;
    };
    const Case cases[] = {
        {"11", "Date", "2024-02-29", "2/29/2024"},
        {"11", "Date", "2000-02-29", "2/29/2000"},
        {"25", "Departure", "2024-07-01 09:30", "7/1/2024  9:30 AM"},
        {"25", "Departure", "2024-12-31", "12/31/2024  12:00 AM"},
        {"22", "Admission Time", "14:05", "2:05 PM"},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        const std::string name = "Personal/Day" + std::to_string(n++);
        ok({"add", w, name, "--form", c.form, "--set", std::string(c.label) + "=" + c.value});
        const std::string expected = std::string("  ") + c.label + ": " + c.shown + "\n";
        EXPECT_NE(ok({"show", w, name}).find(expected), std::string::npos) << ok({"show", w, name});
    }
}

TEST_F(WalletTest, AddFindsFieldLabelsWithoutRegardToCase) {
    ok({"add", w, "Personal/Visa", "--set", "card NUMBER=4111"});
    EXPECT_EQ(ok({"show", w, "Personal/Visa"}), "Visa\n  Card Number: 4111\n");
}

// ---------------------------------------------------------------------------------------------
// edit and rename

TEST_F(WalletTest, EditRenamesSetsAndEmptiesFields) {
    add_visa();
    EXPECT_EQ(ok({"edit", w, "Personal/Visa", "--name", "Gold", "--set", "PIN=9999", "--unset",
                  "card number", "--set", "Name on Card=Jo Doe"}),
              "");
    EXPECT_EQ(ok({"show", "--show-pins", w, "Personal/Gold"}),
              "Gold\n  PIN: 9999\n  Name on Card: Jo Doe\n");
    EXPECT_EQ(run({"show", w, "Personal/Visa"}).code, Exit::NotFound);

    ok({"add", w, "Personal/Day", "--form", "11", "--set", "Date=2024-02-29", "--set",
        "Occasion=Leap day"});
    ok({"edit", w, "Personal/Day", "--unset", "Date"});
    EXPECT_EQ(ok({"show", w, "Personal/Day"}), "Day\n  Occasion: Leap day\n");
}

TEST_F(WalletTest, EditRefusalsLeaveTheCardAsItWas) {
    add_visa();
    struct Case {
        std::vector<std::string> argv_tail;
        Exit code;
    };
    const Case cases[] = {
        {{"Personal/Visa", "--set", "Colour=red"}, Exit::NotFound},
        {{"Personal/Visa", "--unset", "Colour"}, Exit::NotFound},
        {{"Personal/Visa", "--set", "PIN"}, Exit::Usage},
        {{"Personal/Visa", "--set", "PIN=1", "--set", "Colour=red"}, Exit::NotFound},
        {{"Personal", "--set", "PIN=1"}, Exit::Refused},
        {{"Personal/Nothing", "--set", "PIN=1"}, Exit::NotFound},
    };
    const std::string before = ok({"show", "--show-pins", w, "Personal/Visa"});
    for (const Case& c : cases) {
        SCOPED_TRACE(joined(c.argv_tail));
        std::vector<std::string> argv = {"edit", w};
        argv.insert(argv.end(), c.argv_tail.begin(), c.argv_tail.end());
        EXPECT_EQ(run(argv).code, c.code);
    }
    EXPECT_EQ(ok({"show", "--show-pins", w, "Personal/Visa"}), before);
}

TEST_F(WalletTest, EditRefusesAnEmptyName) {
    add_visa();
    EXPECT_EQ(run({"edit", w, "Personal/Visa", "--name", ""}).code, Exit::Usage);
    EXPECT_EQ(ok({"ls", w, "Personal"}), "Visa\n");
}

TEST_F(WalletTest, RenameGivesCardsAndFoldersNewNames) {
    add_visa();
    EXPECT_EQ(ok({"rename", w, "Personal/Visa", "Amex"}), "Personal/Amex\n");
    EXPECT_EQ(ok({"rename", w, "Personal", "Private"}), "Private\n");
    EXPECT_EQ(ok({"show", w, "Private/Amex"}).substr(0, 5), "Amex\n");
    EXPECT_EQ(ok({"rename", w, "Private/Amex", "1/2"}), "Private/1\\/2\n");
    EXPECT_EQ(run({"rename", w, "Private/1\\/2", ""}).code, Exit::Usage);
    EXPECT_EQ(run({"rename", w, "Private/Amex", "X"}).code, Exit::NotFound);
    EXPECT_EQ(ok({"ls", "-R", w}), "Private/\n  1\\/2\nMy Forms/\n");
}

// ---------------------------------------------------------------------------------------------
// mv and cp

TEST_F(WalletTest, MvMovesCardsAndFoldersWithEverythingBelowThem) {
    add_visa();
    ok({"mkdir", w, "Bank"});
    ok({"mkdir", w, "Bank/Old"});
    ok({"add", w, "Bank/Old/Card"});
    EXPECT_EQ(ok({"mv", w, "Personal/Visa", "/"}), "Visa\n");
    EXPECT_EQ(ok({"mv", w, "Bank", "Personal"}), "Personal/Bank\n");
    EXPECT_EQ(ok({"mv", w, "Visa", "Personal/Bank/Old"}), "Personal/Bank/Old/Visa\n");
    EXPECT_EQ(ok({"ls", "-R", w}),
              "Personal/\n  Bank/\n    Old/\n      Card\n      Visa\nMy Forms/\n");
    EXPECT_EQ(ok({"show", "--show-pins", w, "Personal/Bank/Old/Visa"}),
              "Visa\n  Card Number: 4111 1111\n  PIN: 1234\n  Name on Card: J Doe\n");
}

TEST_F(WalletTest, MvRefusesMovesThatBreakTheTree) {
    ok({"mkdir", w, "Personal/Sub"});
    ok({"add", w, "Personal/Sub/Card"});
    struct Case {
        const char* item;
        const char* folder;
        Exit code;
    };
    const Case cases[] = {
        {"Personal", "Personal", Exit::Refused},      // into itself
        {"Personal", "Personal/Sub", Exit::Refused},  // below itself
        {"My Forms", "Personal", Exit::Refused},
        {"Personal/Sub", "Personal/Sub/Card", Exit::Refused},  // a card is no folder
        {"Nothing", "/", Exit::NotFound},
        {"Personal/Sub", "Nowhere", Exit::NotFound},
    };
    const std::string before = ok({"ls", "-R", w});
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.item) + " -> " + c.folder);
        Outcome r = run({"mv", w, c.item, c.folder});
        EXPECT_EQ(r.code, c.code) << r.err;
    }
    EXPECT_EQ(ok({"ls", "-R", w}), before);
}

TEST_F(WalletTest, MkdirMakesNoFolderInMyForms) {
    ok({"mkdir", w, "Bank"});
    EXPECT_EQ(run({"mkdir", w, "My Forms/Sub"}).code, Exit::Refused);
    EXPECT_EQ(ok({"ls", "-R", w}), "Bank/\nPersonal/\nMy Forms/\n");
}

// mv takes what the document's move takes: a card moved into My Forms is a form, values and all.
// A card moves into My Forms, values and all; a folder is refused there, as the tree refuses it.
TEST_F(WalletTest, MvMovesCardsButNoFoldersIntoMyForms) {
    add_visa();
    ok({"mkdir", w, "Bank"});
    EXPECT_EQ(ok({"mv", w, "Personal/Visa", "My Forms"}), "My Forms/Visa\n");
    EXPECT_NE(ok({"forms", w}).find("}  Visa\n"), std::string::npos);
    EXPECT_NE(ok({"show", "--show-pins", w, "My Forms/Visa"}).find("  PIN: 1234\n"),
              std::string::npos);
    const Outcome folder = run({"mv", w, "Bank", "My Forms"});
    EXPECT_EQ(folder.code, Exit::Refused);
    EXPECT_NE(folder.err.find("Only cards can be placed in this folder."), std::string::npos)
        << folder.err;
    EXPECT_EQ(ok({"ls", "-R", w}), "Bank/\nPersonal/\nMy Forms/\n  Visa\n");
}

TEST_F(WalletTest, CpCopiesACardWithItsValuesUnderANameEndingInAStar) {
    add_visa();
    ok({"mkdir", w, "Bank"});
    EXPECT_EQ(ok({"cp", w, "Personal/Visa", "Bank"}), "Bank/Visa*\n");
    json original = ok_json({"show", "--json", "--show-pins", w, "Personal/Visa"});
    json copy = ok_json({"show", "--json", "--show-pins", w, "Bank/Visa*"});
    EXPECT_EQ(copy["name"], "Visa*");
    EXPECT_EQ(copy["fields"], original["fields"]);
    EXPECT_NE(copy["id"], original["id"]);
    EXPECT_EQ(ok({"cp", w, "Personal/Visa", "Personal"}), "Personal/Visa*\n");
    EXPECT_EQ(ok({"ls", "-R", w}), "Bank/\n  Visa*\nPersonal/\n  Visa\n  Visa*\nMy Forms/\n");
}

TEST_F(WalletTest, CpCopiesOnlyCardsAndOnlyIntoFolders) {
    add_visa();
    ok({"mkdir", w, "Bank"});
    struct Case {
        const char* item;
        const char* folder;
        Exit code;
    };
    const Case cases[] = {
        {"Personal", "Bank", Exit::Refused},
        {"Personal/Visa", "/", Exit::Refused},
        {"Personal/Visa", "Personal/Visa", Exit::Refused},
        {"Personal/Nothing", "Bank", Exit::NotFound},
    };
    const std::string before = ok({"ls", "-R", w});
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.item) + " -> " + c.folder);
        EXPECT_EQ(run({"cp", w, c.item, c.folder}).code, c.code);
    }
    EXPECT_EQ(ok({"ls", "-R", w}), before);
}

// ---------------------------------------------------------------------------------------------
// rm

TEST_F(WalletTest, RmDeletesCardsAndEmptyFolders) {
    add_visa();
    ok({"mkdir", w, "Empty"});
    EXPECT_EQ(ok({"rm", w, "Personal/Visa"}), "");
    EXPECT_EQ(ok({"rm", w, "Empty"}), "");
    EXPECT_EQ(run({"show", w, "Personal/Visa"}).code, Exit::NotFound);
    EXPECT_EQ(ok({"ls", "-R", w}), "Personal/\nMy Forms/\n");
    EXPECT_EQ(run({"rm", w, "Personal/Visa"}).code, Exit::NotFound);
}

TEST_F(WalletTest, RmDeletesAFolderWithItemsOnlyWhenRecursive) {
    ok({"mkdir", w, "Bank"});
    ok({"mkdir", w, "Bank/Old"});
    ok({"add", w, "Bank/Old/Card", "--set", "Card Number=4111"});
    add_visa("Bank/Visa");
    const std::string card_id = ids_named("Bank/Old", "Card").at(0);
    const std::string folder_id = ids_named("Bank", "Old").at(0);

    const auto before = test::read_file_bytes(w);
    EXPECT_EQ(run({"rm", w, "Bank"}).code, Exit::Refused);
    EXPECT_EQ(run({"rm", w, "Bank/Old"}).code, Exit::Refused);
    EXPECT_EQ(test::read_file_bytes(w), before);

    ok({"rm", "--recursive", w, "Bank"});
    EXPECT_EQ(ok({"ls", "-R", w}), "Personal/\nMy Forms/\n");
    EXPECT_EQ(run({"show", w, card_id}).code, Exit::NotFound);
    EXPECT_EQ(run({"ls", w, folder_id}).code, Exit::NotFound);
    EXPECT_EQ(ok({"find", w, "4111"}), "");
    json info = ok_json({"info", "--json", w});
    EXPECT_EQ(info["folders"], 1);
    EXPECT_EQ(info["cards"], 0);
}

TEST_F(WalletTest, RmNeverDeletesMyForms) {
    for (const std::vector<std::string>& argv :
         {std::vector<std::string>{"rm", w, "My Forms"}, {"rm", "--recursive", w, "My Forms"}}) {
        SCOPED_TRACE(joined(argv));
        EXPECT_EQ(run(argv).code, Exit::Refused);
    }
    EXPECT_EQ(ok({"ls", w}), "Personal/\nMy Forms/\n");
}

TEST_F(WalletTest, RmOfAFavouriteTakesItOutOfTheFavourites) {
    add_visa();
    ok({"add", w, "Personal/Other"});
    ok({"fav", w, "add", "Personal/Visa"});
    ok({"fav", w, "add", "Personal/Other"});
    ok({"rm", w, "Personal/Visa"});
    EXPECT_EQ(ok({"fav", w}), "Personal/Other\n");
    EXPECT_EQ(ok_json({"info", "--json", w})["favourites"], 1);
}

// ---------------------------------------------------------------------------------------------
// save-form

TEST_F(WalletTest, SaveFormKeepsTheLabelsAndDropsTheValues) {
    ok({"add", w, "Personal/Leap", "--form", "11", "--set", "Occasion=Leap day", "--set",
        "Date=2024-02-29"});
    EXPECT_EQ(ok({"save-form", w, "Personal/Leap"}), "My Forms/Leap\n");

    json card = ok_json({"show", "--json", w, "Personal/Leap"});
    json form = ok_json({"show", "--json", w, "My Forms/Leap"});
    ASSERT_EQ(form["fields"].size(), card["fields"].size());
    for (size_t i = 0; i < form["fields"].size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(form["fields"][i]["label"], card["fields"][i]["label"]);
        EXPECT_EQ(form["fields"][i]["kind"], card["fields"][i]["kind"]);
        EXPECT_EQ(form["fields"][i]["value"], "");
    }
    EXPECT_EQ(card["fields"][1]["value"], "2/29/2024");  // the card keeps its values

    // The new form makes cards by its name.
    ok({"add", w, "Personal/Next", "--form", "leap"});
    EXPECT_EQ(ok({"show", w, "Personal/Next"}), "Next\n");
    EXPECT_EQ(ok_json({"show", "--json", w, "Personal/Next"})["fields"][1]["label"], "Date");
}

TEST_F(WalletTest, SaveFormTakesOnlyCards) {
    EXPECT_EQ(run({"save-form", w, "Personal"}).code, Exit::Refused);
    EXPECT_EQ(run({"save-form", w, "Personal/Nothing"}).code, Exit::NotFound);
    EXPECT_EQ(ok({"ls", w, "My Forms"}), "");
}

// ---------------------------------------------------------------------------------------------
// fav

TEST_F(WalletTest, FavAddsListsAndRemovesFavouriteCards) {
    add_visa();
    ok({"mkdir", w, "Bank"});
    ok({"add", w, "Bank/Savings"});
    EXPECT_EQ(ok({"fav", w}), "");
    ok({"fav", w, "add", "Bank/Savings"});
    ok({"fav", w, "add", "Personal/Visa"});
    ok({"fav", w, "add", "Bank/Savings"});  // once only
    EXPECT_EQ(ok({"fav", w}), "Bank/Savings\nPersonal/Visa\n");
    ok({"fav", w, "rm", "Bank/Savings"});
    EXPECT_EQ(ok({"fav", w}), "Personal/Visa\n");
    EXPECT_EQ(ok_json({"info", "--json", w})["favourites"], 1);
}

TEST_F(WalletTest, FavRefusals) {
    add_visa();
    struct Case {
        std::vector<std::string> tail;
        Exit code;
    };
    const Case cases[] = {
        {{"add", "Personal"}, Exit::Refused},
        {{"add", "My Forms"}, Exit::Refused},
        {{"add", "Personal/Nothing"}, Exit::NotFound},
        {{"rm", "Personal/Visa"}, Exit::NotFound},  // not a favourite
        {{"add"}, Exit::Usage},
        {{"list", "Personal/Visa"}, Exit::Usage},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(joined(c.tail));
        std::vector<std::string> argv = {"fav", w};
        argv.insert(argv.end(), c.tail.begin(), c.tail.end());
        EXPECT_EQ(run(argv).code, c.code);
    }
    EXPECT_EQ(ok({"fav", w}), "");
}

TEST_F(WalletTest, FavHoldsAtMostThirtyTwoCards) {
    for (int i = 0; i < 33; ++i) ok({"add", w, "Personal/Card " + std::to_string(i)});
    for (int i = 0; i < 32; ++i) ok({"fav", w, "add", "Personal/Card " + std::to_string(i)});
    EXPECT_EQ(run({"fav", w, "add", "Personal/Card 32"}).code, Exit::Refused);
    EXPECT_EQ(ok_json({"info", "--json", w})["favourites"], 32);
}

// ---------------------------------------------------------------------------------------------
// attach, detach, extract

class AttachmentTest : public WalletTest {
  protected:
    void SetUp() override {
        WalletTest::SetUp();
        add_visa();
        for (int b = 0; b < 256; ++b) bytes.push_back(static_cast<uint8_t>(255 - b));
        fs::create_directory(dir / "in");
        fs::create_directory(dir / "out");
        test::write_file_bytes(dir / "in" / "blob.bin", bytes);
    }

    std::vector<uint8_t> bytes;
    const std::string blob = path("in/blob.bin");
    const std::string out = path("out");
};

TEST_F(AttachmentTest, ExtractGivesBackTheAttachedBytesInAnOwnerOnlyFile) {
    EXPECT_EQ(ok({"attach", w, "Personal/Visa", blob}), "");
    EXPECT_NE(ok({"show", w, "Personal/Visa"}).find("Attachments:\n  blob.bin (file, 256 bytes)\n"),
              std::string::npos);
    EXPECT_EQ(ok_json({"show", "--json", w, "Personal/Visa"})["attachments"],
              (json::array({{{"name", "blob.bin"}, {"kind", "file"}, {"size", 256}}})));

    EXPECT_EQ(ok({"extract", "--to", out, w, "Personal/Visa", "blob.bin"}),
              (fs::path(out) / "blob.bin").string() + "\n");
    EXPECT_EQ(test::read_file_bytes(dir / "out" / "blob.bin"), bytes);
    EXPECT_EQ(file_mode(dir / "out" / "blob.bin"), 0600u);
}

TEST_F(AttachmentTest, ExtractNeverReplacesAFile) {
    ok({"attach", w, "Personal/Visa", blob});
    write_text(dir / "out" / "blob.bin", "mine");
    Outcome r = run({"extract", "--to", out, w, "Personal/Visa", "blob.bin"});
    EXPECT_EQ(r.code, Exit::Refused);
    EXPECT_EQ(read_text(dir / "out" / "blob.bin"), "mine");
}

TEST_F(AttachmentTest, ACardHoldsAtMostTenFiles) {
    for (int i = 0; i < 11; ++i) {
        const fs::path file = dir / "in" / ("f" + std::to_string(i) + ".txt");
        write_text(file, "file " + std::to_string(i));
        Outcome r = run({"attach", w, "Personal/Visa", file.string()});
        EXPECT_EQ(r.code, i < 10 ? Exit::Ok : Exit::Refused) << i << ": " << r.err;
    }
    EXPECT_EQ(ok_json({"show", "--json", w, "Personal/Visa"})["attachments"].size(), 10u);
    ok({"extract", "--to", out, w, "Personal/Visa", "f9.txt"});
    EXPECT_EQ(read_text(dir / "out" / "f9.txt"), "file 9");
}

TEST_F(AttachmentTest, DetachRemovesTheAttachment) {
    ok({"attach", w, "Personal/Visa", blob});
    EXPECT_EQ(ok({"detach", w, "Personal/Visa", "blob.bin"}), "");
    EXPECT_EQ(ok_json({"show", "--json", w, "Personal/Visa"})["attachments"], json::array());
    EXPECT_EQ(run({"extract", "--to", out, w, "Personal/Visa", "blob.bin"}).code, Exit::NotFound);
    EXPECT_EQ(run({"detach", w, "Personal/Visa", "blob.bin"}).code, Exit::NotFound);
    EXPECT_FALSE(fs::exists(dir / "out" / "blob.bin"));
}

TEST_F(AttachmentTest, AttachmentRefusals) {
    ok({"attach", w, "Personal/Visa", blob});
    write_text(dir / "in" / "empty.txt", "");
    struct Case {
        std::vector<std::string> argv;
        Exit code;
    };
    const Case cases[] = {
        {{"attach", w, "Personal/Visa", path("in/missing.bin")}, Exit::IoFailure},
        {{"attach", w, "Personal/Visa", path("in/empty.txt")}, Exit::IoFailure},
        {{"attach", w, "Personal", blob}, Exit::Refused},
        {{"attach", w, "Personal/Nothing", blob}, Exit::NotFound},
        {{"detach", w, "Personal/Visa", "BLOB.BIN"}, Exit::NotFound},
        {{"detach", w, "Personal", "blob.bin"}, Exit::Refused},
        {{"extract", "--to", out, w, "Personal/Visa", "other.bin"}, Exit::NotFound},
        {{"extract", "--to", path("out/missing"), w, "Personal/Visa", "blob.bin"}, Exit::IoFailure},
        {{"extract", "--to", out, w, "Personal", "blob.bin"}, Exit::Refused},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(joined(c.argv));
        Outcome r = run(c.argv);
        EXPECT_EQ(r.code, c.code) << r.err;
    }
    EXPECT_EQ(ok_json({"show", "--json", w, "Personal/Visa"})["attachments"].size(), 1u);
    EXPECT_TRUE(fs::is_empty(dir / "out"));
}

// ---------------------------------------------------------------------------------------------
// passwd

TEST_F(WalletTest, PasswdReadsTheCurrentThenTheNewPassword) {
    add_visa();
    const std::string before = ok({"show", "--show-pins", w, "Personal/Visa"});
    EXPECT_EQ(ok({"passwd", "--hint", "blue", w}, "secret\nnew password\n"),
              "The password of " + w + " is changed.\n");
    EXPECT_EQ(run({"ls", w}, "secret\n").code, Exit::WrongPassword);
    EXPECT_EQ(ok({"show", "--show-pins", w, "Personal/Visa"}, "new password\n"), before);
    EXPECT_EQ(json::parse(ok({"info", "--json", w}, "new password\n"))["hint"], true);

    // Without --hint the wallet keeps no hint; 24 characters are allowed here.
    const std::string longest(24, 'p');
    ok({"passwd", w}, "new password\n" + longest + "\n");
    EXPECT_EQ(json::parse(ok({"info", "--json", w}, longest + "\n"))["hint"], false);
}

TEST_F(WalletTest, PasswdRefusalsKeepTheOldPassword) {
    struct Case {
        const char* what;
        std::string input;
        Exit code;
    };
    const Case cases[] = {
        {"wrong current password", "secreT\nnew password\n", Exit::WrongPassword},
        {"no current password", "", Exit::WrongPassword},
        {"new password too short", "secret\nab\n", Exit::Usage},
        {"new password too long", "secret\n" + std::string(25, 'p') + "\n", Exit::Usage},
        {"no new password", "secret\n", Exit::Usage},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const auto before = test::read_file_bytes(w);
        Outcome r = run({"passwd", w}, c.input);
        EXPECT_EQ(r.code, c.code) << r.err;
        EXPECT_EQ(test::read_file_bytes(w), before);
    }
    EXPECT_EQ(run({"ls", w}, "secret\n").code, Exit::Ok);
}

// ---------------------------------------------------------------------------------------------
// repair

class DamagedWalletTest : public WalletTest {
  protected:
    void SetUp() override {
        WalletTest::SetUp();
        ok({"add", w, "Personal/Kept", "--set", "Card Number=1111"});
        ok({"add", w, "Personal/Last", "--set", "Card Number=2222"});
        fs::resize_file(w, fs::file_size(w) - 5);
    }
};

TEST_F(DamagedWalletTest, CommandsOnADamagedWalletPointToRepair) {
    const std::vector<std::vector<std::string>> commands = {
        {"info", w},
        {"ls", w},
        {"show", w, "Personal/Kept"},
        {"find", w, "Kept"},
        {"forms", w},
        {"fav", w},
        {"mkdir", w, "New"},
        {"add", w, "Personal/New"},
        {"rm", w, "Personal/Kept"},
    };
    const auto before = test::read_file_bytes(w);
    for (const auto& argv : commands) {
        SCOPED_TRACE(joined(argv));
        Outcome r = run(argv);
        EXPECT_EQ(r.code, Exit::BadWallet);
        EXPECT_NE(r.err.find("repair"), std::string::npos) << r.err;
        EXPECT_EQ(r.out, "");
    }
    EXPECT_EQ(run({"passwd", w}, "secret\nnew password\n").code, Exit::BadWallet);
    EXPECT_EQ(test::read_file_bytes(w), before);
}

TEST_F(DamagedWalletTest, RepairWithoutYesAndWithoutATerminalChangesNothing) {
    const auto before = test::read_file_bytes(w);
    Outcome r = run({"repair", w});
    EXPECT_EQ(r.code, Exit::Refused);
    EXPECT_NE(r.err.find("--yes"), std::string::npos) << r.err;
    EXPECT_EQ(test::read_file_bytes(w), before);
}

TEST_F(DamagedWalletTest, RepairNeedsTheRightPassword) {
    const auto before = test::read_file_bytes(w);
    EXPECT_EQ(run({"repair", "--yes", w}, "secreT\n").code, Exit::WrongPassword);
    EXPECT_EQ(test::read_file_bytes(w), before);
}

TEST_F(DamagedWalletTest, RepairYesMendsTheWalletAndKeepsTheWholeRecords) {
    Outcome r = run({"repair", "--yes", w});
    ASSERT_EQ(r.code, Exit::Ok) << r.err;
    EXPECT_EQ(ok({"ls", w, "Personal"}), "Kept\n");
    EXPECT_EQ(ok({"show", w, "Personal/Kept"}), "Kept\n  Card Number: 1111\n");
    EXPECT_EQ(ok({"repair", "--yes", w}), "");  // a whole wallet stays as it is
    EXPECT_EQ(ok({"ls", w, "Personal"}), "Kept\n");
}

TEST_F(DamagedWalletTest, CheckReportsDamageWithoutPasswordOrChange) {
    const auto before = test::read_file_bytes(w);
    Outcome damaged = run({"repair", "--check", w}, "");
    EXPECT_EQ(damaged.code, Exit::BadWallet);
    EXPECT_EQ(damaged.out, "1 place needs mending.\n");
    EXPECT_NE(damaged.err.find("repair"), std::string::npos) << damaged.err;
    EXPECT_EQ(test::read_file_bytes(w), before);

    ASSERT_EQ(run({"repair", "--yes", w}).code, Exit::Ok);
    Outcome mended = run({"repair", "--check", w}, "");
    EXPECT_EQ(mended.code, Exit::Ok) << mended.err;
    EXPECT_EQ(mended.out, "No damage found.\n");
}

// ---------------------------------------------------------------------------------------------
// Wallet text on the terminal

// A name, a label and a value that would set the terminal's title, fake an output line and turn
// text around: plain output shows them escaped, --json keeps them exact, and a printed path can
// be given back.
TEST_F(WalletTest, ControlCharactersInWalletTextAreShownEscaped) {
    const std::string evil = "T\x1b]0;owned\x07\nkeystash-cli: fake\r\t\xC2\x85\xE2\x80\xAE!";
    const std::string shown = R"(T\x1b]0;owned\x07\nkeystash-cli: fake\r\t\u0085\u202e!)";
    ok({"add", w, "Personal/" + evil, "--set", "Card Number=" + evil});
    {
        const auto id = NodeId::parse(ids_named("Personal", evil).at(0));
        ASSERT_TRUE(id);
        WalletDocument doc;
        ASSERT_EQ(doc.load(w, u"secret"), OpenResult::Opened);
        auto card = doc.load_card(*id);
        ASSERT_TRUE(card);
        card->field(1).set_label(from_utf8(evil));
        ASSERT_GE(doc.update_card(*card), 0);
    }
    ok({"save-form", w, "Personal/" + shown});
    struct Case {
        std::vector<std::string> argv;
        std::string out;
    };
    const Case cases[] = {
        {{"ls", w, "Personal"}, shown + "\n"},
        {{"find", w, "owned"}, "Personal/" + shown + "\nMy Forms/" + shown + "\n"},
        {{"show", w, "Personal/" + shown}, shown + "\n  " + shown + ": " + shown + "\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(joined(c.argv));
        EXPECT_EQ(ok(c.argv), c.out);
    }
    EXPECT_NE(ok({"forms", w}).find("  " + shown + "\n"), std::string::npos);
    EXPECT_EQ(ok_json({"ls", "--json", w, "Personal"})[0]["name"], evil);
    const json card = ok_json({"show", "--json", w, "Personal/" + shown});
    EXPECT_EQ(card["fields"][1]["label"], evil);
    EXPECT_EQ(card["fields"][1]["value"], evil);
}

TEST_F(WalletTest, PrintedPathsComeBackAsTheNamesTheyShow) {
    for (const std::string name : {"a\\tb", "tab\there", "c:\\x41", "esc\x1b", "\\u202e"}) {
        SCOPED_TRACE(name);
        const std::string path = ok({"mkdir", w, "Personal/" + escape_name(from_utf8(name))});
        ASSERT_FALSE(path.empty());
        EXPECT_EQ(ok({"ls", "--json", w, path.substr(0, path.size() - 1)}), "[]\n");
        EXPECT_EQ(ids_named("Personal", name).size(), 1u);
    }
}

// ---------------------------------------------------------------------------------------------
// Values from standard input

TEST_F(WalletTest, SetStdinReadsValuesAfterThePasswordInTheOrderGiven) {
    const std::string path = ok({"add", w, "Personal/Visa", "--set", "Name on Card=J Doe",
                                 "--set-stdin", "PIN", "--set-stdin", "Card Number"},
                                "secret\n1234\n4111 1111\n");
    EXPECT_EQ(path, "Personal/Visa\n");
    ok({"edit", w, "Personal/Visa", "--set-stdin", "pin"}, "secret\n9876\n");
    EXPECT_EQ(ok({"show", "--show-pins", w, "Personal/Visa"}),
              "Visa\n  Card Number: 4111 1111\n  PIN: 9876\n  Name on Card: J Doe\n");

    struct Case {
        std::vector<std::string> argv;
        std::string input;
        Exit code;
    };
    const Case refused[] = {
        {{"edit", w, "Personal/Visa", "--set-stdin", "PIN"}, "secret\n", Exit::Usage},  // no line
        {{"edit", w, "Personal/Visa", "--set-stdin", "PIN", "--set-stdin", "Nothing"},
         "secret\n1111\n",
         Exit::NotFound},
        {{"add", w, "Personal/Other", "--set-stdin", "PIN", "--set-stdin", "Card Number"},
         "secret\n1234\n",
         Exit::Usage},
    };
    for (const Case& c : refused) {
        SCOPED_TRACE(joined(c.argv));
        EXPECT_EQ(run(c.argv, c.input).code, c.code);
    }
    EXPECT_EQ(ok({"show", "--show-pins", w, "Personal/Visa"}).find("PIN: 1111"), std::string::npos);
    EXPECT_EQ(ok({"ls", w, "Personal"}), "Visa\n");
}

// ---------------------------------------------------------------------------------------------
// The process boundary

// An output stream whose every write fails, throwing as the stream is told to.
class FailingBuffer : public std::streambuf {
  protected:
    int_type overflow(int_type) override { return traits_type::eof(); }
};

TEST_F(WalletTest, AnExceptionEndsTheCommandWithASentenceAndStatusOne) {
    FailingBuffer failing;
    std::ostream out(&failing);
    out.exceptions(std::ios::badbit);
    std::istringstream in(kPasswordLine);
    std::ostringstream err;
    Io io{in, out, err, false};
    EXPECT_EQ(run_cli(std::vector<std::string>{"ls", w}, io), static_cast<int>(Exit::Failure));
    EXPECT_TRUE(err.str().starts_with("keystash-cli: The command stopped on an unexpected error"))
        << err.str();
}

// ---------------------------------------------------------------------------------------------
// Damaged folder trees: cycles of parents and very deep chains, made by the storage routines

// The wallet of create_folder_cycle_wallet: Bank/Visa, and A and B each other's parent.
class FolderCycleTest : public CliTest {
  protected:
    void SetUp() override {
        CliTest::SetUp();
        a = test::create_folder_cycle_wallet(w).to_string();
    }

    std::u16string exported(const std::vector<std::string>& item) {
        std::vector<std::string> argv = {"export", "--to", path("out"), w};
        argv.insert(argv.end(), item.begin(), item.end());
        Outcome r = run(argv);
        EXPECT_EQ(r.code, Exit::BadWallet) << r.err;
        EXPECT_NE(r.err.find("2 folders sit in a cycle"), std::string::npos) << r.err;
        const std::vector<uint8_t> bytes = test::read_file_bytes(r.out.substr(0, r.out.size() - 1));
        return bytes.size() < 2 ? u"" : utf16le_decode(std::span(bytes).subspan(2));
    }

    const std::string w = path("cycle.ks5");
    std::string a;
};

TEST_F(FolderCycleTest, ListingsShowWhatIsReachableAndReportTheCycle) {
    struct Case {
        std::vector<std::string> argv;
        std::string out;
    };
    const Case cases[] = {
        {{"ls", "-R", w}, "Bank/\n  Visa\nMy Forms/\n"},
        {{"ls", "-R", w, a}, "Lost\nB/\n"},  // from inside the cycle: each folder once
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(joined(c.argv));
        Outcome r = run(c.argv);
        EXPECT_EQ(r.code, Exit::BadWallet);
        EXPECT_EQ(r.out, c.out);
        EXPECT_NE(r.err.find("2 folders sit in a cycle"), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("repair"), std::string::npos) << r.err;
    }
    Outcome listed = run({"ls", "-R", "--json", w});
    EXPECT_EQ(listed.code, Exit::BadWallet);
    const json top = json::parse(listed.out, nullptr, false);
    ASSERT_EQ(top.size(), 2u) << listed.out;
    EXPECT_EQ(top[0]["children"][0]["path"], "Bank/Visa");
    const json inside = json::parse(run({"ls", "-R", "--json", w, a}).out, nullptr, false);
    ASSERT_EQ(inside.size(), 2u);
    EXPECT_EQ(inside[1]["name"], "B");
    EXPECT_EQ(inside[1]["children"], json::array());

    // Without -R nothing is left out; a path through the cycle ends where it comes round.
    EXPECT_EQ(run({"ls", w}).out, "Bank/\nMy Forms/\n");
    EXPECT_EQ(run({"ls", w}).code, Exit::Ok);
    EXPECT_EQ(run({"find", w, "Lost"}).out, "B/A/Lost\n");
}

TEST_F(FolderCycleTest, ExportWritesWhatIsReachableAndReportsTheCycle) {
    const std::u16string wallet = exported({});
    EXPECT_NE(wallet.find(u"Visa"), std::u16string::npos);
    EXPECT_EQ(wallet.find(u"Lost"), std::u16string::npos);
    const std::u16string from_a = exported({a});
    EXPECT_NE(from_a.find(u"Folder: B > A > B"), std::u16string::npos);
    EXPECT_NE(from_a.find(u"Note: found"), std::u16string::npos);
}

TEST_F(FolderCycleTest, RmRecursiveDeletesTheCycle) {
    Outcome r = run({"rm", "--recursive", w, a});
    EXPECT_EQ(r.code, Exit::Ok) << r.err;
    EXPECT_EQ(run({"find", w, "Lost"}).out, "");
    r = run({"ls", "-R", w});
    EXPECT_EQ(r.code, Exit::Ok) << r.err;
    EXPECT_EQ(r.out, "Bank/\n  Visa\nMy Forms/\n");
}

TEST_F(FolderCycleTest, RepairMovesTheCyclesFoldersToTheTopLevel) {
    Outcome check = run({"repair", "--check", w}, "");
    EXPECT_EQ(check.code, Exit::BadWallet);
    EXPECT_EQ(check.out, "2 places need mending.\n");
    Outcome repaired = run({"repair", "--yes", w});
    EXPECT_EQ(repaired.code, Exit::Ok) << repaired.err;
    Outcome r = run({"ls", "-R", w});
    EXPECT_EQ(r.code, Exit::Ok) << r.err;
    EXPECT_EQ(r.out, "A/\n  Lost\nB/\nBank/\n  Visa\nMy Forms/\n");
    EXPECT_EQ(run({"repair", "--check", w}, "").out, "No damage found.\n");
}

// A chain as deep as a file makes it is walked without recursion; indentation stops growing at
// 64 levels, where lines start with their depth instead.
TEST_F(CliTest, AChainEightyThousandFoldersDeepIsListedAndExported) {
    constexpr size_t kDepth = 80000;
    const std::string w = path("deep.ks5");
    {
        WalletStorage storage;
        test::create_wallet(storage, w);
        std::vector<TreeNode> chain = test::folder_chain(storage, kDepth);
        test::append_nodes(storage, chain);
        Card deep = test::make_card(storage, u"Deep", chain.back().id(), {{u"Note", u"bottom"}});
        test::append_card(storage, deep);
    }
    Outcome listed = run({"ls", "-R", w});
    ASSERT_EQ(listed.code, Exit::Ok) << listed.err;
    EXPECT_EQ(std::count(listed.out.begin(), listed.out.end(), '\n'), kDepth + 1);
    EXPECT_TRUE(listed.out.starts_with("F0/\n  F1/\n    F2/\n"));
    EXPECT_NE(listed.out.find("\n" + std::string(126, ' ') + "F63/\n" + std::string(128, ' ') +
                              "[depth 64] F64/\n"),
              std::string::npos);
    EXPECT_TRUE(listed.out.ends_with(std::string(128, ' ') + "[depth 80000] Deep\n"));

    Outcome exported = run({"export", "--to", path("out"), w});
    ASSERT_EQ(exported.code, Exit::Ok) << exported.err;
    const std::vector<uint8_t> bytes =
        test::read_file_bytes(exported.out.substr(0, exported.out.size() - 1));
    const std::u16string text = utf16le_decode(std::span(bytes).subspan(2));
    EXPECT_NE(text.find(u"Folder: F79991 > F79992 > F79993 > F79994 > F79995 > F79996 > F79997 > "
                        u"F79998 > F79999\r\n"),
              std::u16string::npos);
    EXPECT_NE(text.find(u"Note: bottom"), std::u16string::npos);
}

// ---------------------------------------------------------------------------------------------
// Interrupted changes and journals

// "Personal/Gone" was being removed when the program stopped, after its journal was whole.
class InterruptedChangeTest : public WalletTest {
  protected:
    void SetUp() override {
        WalletTest::SetUp();
        if (HasFatalFailure()) return;
        ok({"add", w, "Personal/Gone", "--set", "Card Number=1111"});
        ok({"add", w, "Personal/Kept", "--set", "Card Number=2222"});
        const auto start = test::read_file_bytes(w);
        ASSERT_TRUE(test::interrupt_once_decided(
            w,
            [&] {
                fs::remove(journal);
                test::write_file_bytes(w, start);
            },
            [&] {
                run({"rm", w, "Personal/Gone"});
            }));
    }

    const std::string journal = w + ".cut";
};

TEST_F(InterruptedChangeTest, CommandsThatOnlyReadSayAChangeWasInterrupted) {
    const std::vector<std::vector<std::string>> commands = {
        {"info", w},  {"ls", w},  {"show", w, "Personal/Kept"}, {"find", w, "Kept"},
        {"forms", w}, {"fav", w}, {"repair", "--check", w},
    };
    const auto before = test::read_file_bytes(w);
    for (const auto& argv : commands) {
        SCOPED_TRACE(joined(argv));
        Outcome r = run(argv);
        EXPECT_EQ(r.code, Exit::BadWallet);
        EXPECT_NE(r.err.find("was interrupted"), std::string::npos) << r.err;
        EXPECT_EQ(r.err.find("damaged"), std::string::npos) << r.err;
        EXPECT_EQ(r.out, "");
    }
    EXPECT_EQ(test::read_file_bytes(w), before);
    EXPECT_TRUE(fs::exists(journal));
}

TEST_F(InterruptedChangeTest, ACommandThatChangesTheWalletFinishesItFirst) {
    ok({"mkdir", w, "New"});
    EXPECT_EQ(ok({"ls", w, "Personal"}), "Kept\n");
    EXPECT_FALSE(fs::exists(journal));
}

TEST_F(InterruptedChangeTest, RepairFinishesIt) {
    ASSERT_EQ(run({"repair", "--yes", w}).code, Exit::Ok);
    EXPECT_EQ(ok({"ls", w, "Personal"}), "Kept\n");
    EXPECT_EQ(ok({"repair", "--check", w}, ""), "No damage found.\n");
}

TEST_F(WalletTest, AJournalThatIsNotTheUsersIsNamedAndLeftAlone) {
    const std::string journal = w + ".cut";
    write_text(path("elsewhere"), "KSCUT2");
    fs::create_symlink(path("elsewhere"), journal);
    const auto before = test::read_file_bytes(w);
    Outcome r = run({"mkdir", w, "New"});
    EXPECT_EQ(r.code, Exit::Refused);
    EXPECT_NE(r.err.find("\"" + journal + "\""), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("not a journal"), std::string::npos) << r.err;
    EXPECT_EQ(test::read_file_bytes(w), before);
    EXPECT_TRUE(fs::is_symlink(journal));
    EXPECT_EQ(read_text(path("elsewhere")), "KSCUT2");
    EXPECT_EQ(ok({"ls", w, "Personal"}), "");  // reading is not hindered
}

// ---------------------------------------------------------------------------------------------
// Item paths and ids

TEST_F(WalletTest, AnAmbiguousPathIsRefusedWithTheIdsOfEveryMatch) {
    ok({"add", w, "Personal/Twin", "--set", "Card Number=1"});
    ok({"add", w, "Personal/Twin", "--set", "Card Number=2"});
    const std::vector<std::string> ids = ids_named("Personal", "Twin");
    ASSERT_EQ(ids.size(), 2u);

    Outcome r = run({"show", w, "Personal/Twin"});
    EXPECT_EQ(r.code, Exit::Usage);
    EXPECT_NE(r.err.find(ids[0]), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(ids[1]), std::string::npos) << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1);

    EXPECT_EQ(ok_json({"show", "--json", w, ids[1]})["id"], ids[1]);
    ok({"edit", w, ids[1], "--name", "Other"});
    EXPECT_EQ(ok({"show", w, "Personal/Twin"}), "Twin\n  Card Number: 1\n");
    EXPECT_EQ(ok({"show", w, "Personal/Other"}), "Other\n  Card Number: 2\n");
}

TEST_F(WalletTest, ItemsAreFoundByIdAnywhere) {
    ok({"mkdir", w, "Personal/Deep"});
    add_visa("Personal/Deep/Visa");
    const std::string folder = ids_named("Personal", "Deep").at(0);
    const std::string card = ids_named("Personal/Deep", "Visa").at(0);
    EXPECT_EQ(ok({"ls", w, folder}), "Visa\n");
    EXPECT_EQ(ok({"mv", w, card, "/"}), "Visa\n");
    ok({"add", w, "Personal/Deep/New"});
    EXPECT_EQ(run({"show", w, "{not-an-id}"}).code, Exit::Usage);
    EXPECT_EQ(run({"show", w, "{00000000-0000-0000-0000-000000000001}"}).code, Exit::NotFound);
    EXPECT_EQ(run({"show", w, "personal/deep/new"}).code, Exit::NotFound);  // names keep case
}

TEST_F(WalletTest, EveryPrintedPathNamesItsItemAgain) {
    EXPECT_EQ(ok({"mkdir", w, "Tools\\"}), "Tools\\\\\n");
    const std::string added = ok({"add", w, "Tools\\\\/Card"});
    EXPECT_EQ(added, "Tools\\\\/Card\n");
    EXPECT_EQ(ok({"ls", "-R", w}), "Personal/\nTools\\\\/\n  Card\nMy Forms/\n");
    EXPECT_EQ(ok_json({"show", "--json", w, added.substr(0, added.size() - 1)})["name"], "Card");
}

// ---------------------------------------------------------------------------------------------
// The command line

TEST_F(WalletTest, BadCommandLinesAreUsageErrors) {
    const std::vector<std::vector<std::string>> cases = {
        {},
        {"bogus"},
        {"ls", "--bogus", w},
        {"ls", "-r", w},
        {"ls"},
        {"ls", w, "Personal", "extra"},
        {"info", "--json", "--json", w},
        {"mkdir", "--json", w, "New"},
        {"add", w, "Personal/New", "--form"},
        {"create", "--no-sample-folder=yes", path("other.ks5")},
        {"edit", w, "Personal/Visa", "--name", "A", "--name", "B"},
    };
    for (const auto& argv : cases) {
        SCOPED_TRACE(joined(argv));
        Outcome r = run(argv);
        EXPECT_EQ(r.code, Exit::Usage);
        EXPECT_EQ(r.out, "");
        EXPECT_TRUE(r.err.starts_with("keystash-cli: ")) << r.err;
    }
    EXPECT_FALSE(fs::exists(path("other.ks5")));
    EXPECT_EQ(ok({"ls", "-R", w}), "Personal/\nMy Forms/\n");
}

TEST_F(CliTest, HelpOnEveryCommandExitsZeroAndGivesTheExitCodes) {
    for (const Command& command : commands()) {
        SCOPED_TRACE(command.name);
        Outcome r = run({std::string(command.name), "--help"});
        EXPECT_EQ(r.code, Exit::Ok);
        EXPECT_TRUE(r.out.starts_with("Usage: keystash-cli " + std::string(command.name) + " "))
            << r.out;
        for (const char* code : {"0 done", "2 usage error", "3 wrong password", "4 item not found",
                                 "5 not a wallet", "6 operation refused", "7 file input/output"})
            EXPECT_NE(r.out.find(code), std::string::npos) << code;
    }
    Outcome top = run({"--help"});
    EXPECT_EQ(top.code, Exit::Ok);
    for (const Command& command : commands())
        EXPECT_NE(top.out.find("\n  " + std::string(command.name) + " "), std::string::npos)
            << command.name;
    EXPECT_NE(top.out.find("Exit codes"), std::string::npos);
}

// ---------------------------------------------------------------------------------------------
// The built program

struct ProcessOutcome {
    int status = -1;  // the exit status; -1 when it did not exit normally
    std::string out;
    std::string err;
};

// Runs the built keystash-cli with `input` as its standard input (a file, not a terminal) and
// its language table found through KEYSTASH_DATA_DIR.
ProcessOutcome run_program(const test::TempDir& dir, const std::vector<std::string>& args,
                           const std::string& input) {
    const fs::path in = dir / "stdin.txt", out = dir / "stdout.txt", err = dir / "stderr.txt";
    write_text(in, input);

    std::vector<std::string> env = {std::string("KEYSTASH_DATA_DIR=") + KEYSTASH_LANGUAGE_DIR};
    for (char** e = environ; *e != nullptr; ++e)
        if (!std::string_view(*e).starts_with("KEYSTASH_DATA_DIR=")) env.emplace_back(*e);
    std::vector<std::string> argv = {KEYSTASH_CLI_PATH};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char*> envp, argvp;
    for (std::string& s : env) envp.push_back(s.data());
    for (std::string& s : argv) argvp.push_back(s.data());
    envp.push_back(nullptr);
    argvp.push_back(nullptr);

    const int fd_in = ::open(in.c_str(), O_RDONLY | O_CLOEXEC);
    const int fd_out = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    const int fd_err = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    ProcessOutcome result;
    if (fd_in < 0 || fd_out < 0 || fd_err < 0) return result;
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (::dup2(fd_in, 0) < 0 || ::dup2(fd_out, 1) < 0 || ::dup2(fd_err, 2) < 0) ::_exit(126);
        ::execve(argvp[0], argvp.data(), envp.data());
        ::_exit(127);
    }
    ::close(fd_in);
    ::close(fd_out);
    ::close(fd_err);
    int status = 0;
    if (pid > 0) {
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        if (WIFEXITED(status)) result.status = WEXITSTATUS(status);
    }
    result.out = read_text(out);
    result.err = read_text(err);
    return result;
}

TEST(CliProgramTest, PipedPasswordsCreateAndOpenAWallet) {
    test::TempDir dir;
    const std::string w = (dir / "piped.ks5").string();
    ProcessOutcome created = run_program(dir, {"create", w}, "piped secret\n");
    ASSERT_EQ(created.status, 0) << created.err;
    EXPECT_EQ(file_mode(w), 0600u);

    ProcessOutcome listed = run_program(dir, {"ls", w}, "piped secret\n");
    EXPECT_EQ(listed.status, 0) << listed.err;
    EXPECT_EQ(listed.out, "Personal/\nMy Forms/\n");  // texts from the installed table
    EXPECT_EQ(listed.err, "");

    ProcessOutcome forms = run_program(dir, {"forms", w}, "piped secret\n");
    EXPECT_NE(forms.out.find(" 0  Credit Card\n"), std::string::npos) << forms.out;
}

TEST(CliProgramTest, AWrongPasswordExitsWithThreeAndOneSentenceOnStandardError) {
    test::TempDir dir;
    const std::string w = (dir / "wallet.ks5").string();
    ASSERT_EQ(run_program(dir, {"create", w}, "right one\n").status, 0);
    for (const std::string input : {"wrong one\n", ""}) {
        SCOPED_TRACE(input);
        ProcessOutcome r = run_program(dir, {"show", w, "Personal"}, input);
        EXPECT_EQ(r.status, 3);
        EXPECT_EQ(r.out, "");
        EXPECT_TRUE(std::regex_match(
            r.err, std::regex(R"(keystash-cli: [A-Z][^.\n]*(\.[^ \n][^.\n]*)*\.\n)")))
            << r.err;
    }
}

// A path that is not UTF-8 is printed with U+FFFD in its place; the program does not abort.
TEST(CliProgramTest, InfoJsonOfAPathThatIsNotUtf8) {
    test::TempDir dir;
    const std::string w = (dir / "wallet\xFF.ks5").string();
    ASSERT_EQ(run_program(dir, {"create", w}, "right one\n").status, 0);
    ProcessOutcome r = run_program(dir, {"info", "--json", w}, "right one\n");
    EXPECT_EQ(r.status, 0) << r.err;
    const json info = json::parse(r.out, nullptr, false);
    ASSERT_FALSE(info.is_discarded()) << r.out;
    EXPECT_EQ(info["path"], (dir / "wallet\xEF\xBF\xBD.ks5").string());
}

TEST(CliProgramTest, ExitStatusesReachTheShell) {
    test::TempDir dir;
    const std::string w = (dir / "wallet.ks5").string();
    ASSERT_EQ(run_program(dir, {"create", w}, "right one\n").status, 0);
    EXPECT_EQ(run_program(dir, {"create", w}, "right one\n").status, 6);
    EXPECT_EQ(run_program(dir, {"show", w, "Nothing"}, "right one\n").status, 4);
    EXPECT_EQ(run_program(dir, {"frobnicate"}, "").status, 2);
    EXPECT_EQ(run_program(dir, {"ls", "--help"}, "").status, 0);
    fs::resize_file(w, fs::file_size(w) - 3);
    ProcessOutcome damaged = run_program(dir, {"ls", w}, "right one\n");
    EXPECT_EQ(damaged.status, 5);
    EXPECT_NE(damaged.err.find("repair"), std::string::npos) << damaged.err;
}

}  // namespace
}  // namespace ks::cli
