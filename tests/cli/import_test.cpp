// keystash-cli import: a tab-separated card list into a new folder, asked on a terminal,
// answered by --yes, refused with nobody to ask.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "core/wallet_document.h"
#include "platform/locale_format.h"
#include "platform/text.h"
#include "platform/texts.h"
#include "support/cli_harness.h"
#include "support/list_order.h"
#include "support/test_support.h"

namespace ks::cli {
namespace {

namespace fs = std::filesystem;

using ImportOutcome = test::CliOutcome;

std::vector<uint8_t> bytes_of(std::string_view text) {
    return {text.begin(), text.end()};
}

constexpr std::string_view kThreeCards =
    "CardName\tUser\tPassword\r\n"
    "Mail\tjane@example.com\tQuiet#7\r\n"
    "Bank\tj.doe\tHarbor-42\r\n"
    "Club\t\"J \"\"Doe\"\"\"\t\r\n";

class ImportCliTest : public ::testing::Test {
  protected:
    void SetUp() override {
        WalletDocument doc;
        ASSERT_EQ(doc.create(wallet, u"secret", std::nullopt, false), CreateResult::Created);
        write("cards.txt", kThreeCards);
    }

    void write(const std::string& name, std::string_view text) {
        test::write_file_bytes(dir / name, bytes_of(text));
    }

    ImportOutcome run(const std::vector<std::string>& argv, const std::string& input,
                      bool terminal) {
        return test::run_cli_in_process(argv, input, terminal);
    }

    ImportOutcome import(const std::string& file, const std::string& input, bool terminal,
                         bool yes = false) {
        std::vector<std::string> argv{"import", wallet.string(), (dir / file).string()};
        if (yes) argv.push_back("--yes");
        return run(argv, input, terminal);
    }

    // The names of the cards in the top-level folders other than My Forms, folder by folder:
    // "Folder: card, card".
    std::vector<std::string> folders() {
        WalletDocument doc;
        if (doc.load(wallet, u"secret") != OpenResult::Opened) return {"(unreadable)"};
        std::vector<std::string> out;
        for (int folder : test::children_in_list_order(doc, kNoIndex)) {
            if (doc.kind_of(folder) != static_cast<int>(NodeKind::Folder)) continue;
            std::string line = to_utf8(doc.node(folder)->name()) + ":";
            for (int card : test::children_in_list_order(doc, folder)) {
                line += " " + to_utf8(doc.node(card)->name());
                auto loaded = doc.load_card(card);
                if (!loaded) continue;
                for (const FieldRecord& f : loaded->fields())
                    line += "|" + to_utf8(f.value()) + "/" + std::to_string(f.kind());
            }
            out.push_back(line);
        }
        return out;
    }

    test::DeterministicEnvironment env;
    test::MapTextSource texts{{
        {20001, u"Keystash Pro"},
        {20203, u"My Forms"},
        {20500, u"Error"},
        {20504, u"Confirm"},
        {20518, u"Card Name"},
        {22040, u"Import into %s?"},
        {22041, u"Imported"},
        {22070, u"Unreadable"},
        {22071, u"Not a card list"},
        {22072, u"Import this card?"},
        {22073, u"(%d more)"},
        {22074, u"%d to come"},
        {22075, u"%d imported"},
        {22076, u"Write failed"},
        {22078, u"%d rows read"},
        {22079, u"%d columns left out"},
    }};
    ScopedTextSource scope{&texts};
    ScopedLocaleFormats formats{LocaleFormats::en_us()};
    test::TempDir dir;
    fs::path wallet = dir / "wallet.ks5";
};

const std::string kAllThree =
    "Imported 3/5/2006: Mail|jane@example.com/15|Quiet#7/15 Bank|j.doe/15|Harbor-42/15 "
    "Club|J \"Doe\"/15|/15";

TEST_F(ImportCliTest, YesImportsEveryRow) {
    for (bool terminal : {false, true}) {
        SCOPED_TRACE(terminal ? "on a terminal" : "without a terminal");
        ImportOutcome r = import("cards.txt", "secret\n", terminal, true);
        ASSERT_EQ(r.code, 0) << r.err;
        EXPECT_EQ(r.out, "Imported 3\\/5\\/2006\n3 rows read, 3 cards imported\n");
        EXPECT_NE(r.err.find("3 imported"), std::string::npos) << r.err;
    }
    EXPECT_EQ(folders(), (std::vector<std::string>{kAllThree, kAllThree}));
}

TEST_F(ImportCliTest, TerminalAnswers) {
    struct Case {
        const char* name;
        std::string input;  // the password, then one line per question
        int code;
        std::string out;
        std::vector<std::string> folders;
    };
    const std::vector<Case> cases = {
        {"every card accepted",
         "secret\ny\ny\ny\ny\n",
         0,
         "Imported 3\\/5\\/2006\n3 rows read, 3 cards imported\n",
         {kAllThree}},
        {"the second declined",
         "secret\ny\ny\nn\nyes\n",
         0,
         "Imported 3\\/5\\/2006\n3 rows read, 2 cards imported\n",
         {"Imported 3/5/2006: Mail|jane@example.com/15|Quiet#7/15 Club|J \"Doe\"/15|/15"}},
        {"every card declined", "secret\ny\nn\nn\nn\n", 0, "3 rows read, 0 cards imported\n", {}},
        {"answers run out",
         "secret\ny\ny\n",
         0,
         "Imported 3\\/5\\/2006\n3 rows read, 1 card imported\n",
         {"Imported 3/5/2006: Mail|jane@example.com/15|Quiet#7/15"}},
        {"the opening question declined", "secret\nn\n", 6, "", {}},
        {"the wrong password", "wrong\ny\ny\ny\ny\n", 3, "", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto before = test::read_file_bytes(wallet);
        ImportOutcome r = import("cards.txt", c.input, true);
        EXPECT_EQ(r.code, c.code) << r.err;
        EXPECT_EQ(r.out, c.out);
        EXPECT_EQ(folders(), c.folders);
        if (c.folders.empty()) {
            EXPECT_EQ(test::read_file_bytes(wallet), before);
        }
        // Start every case from the same wallet.
        fs::remove(wallet);
        WalletDocument doc;
        ASSERT_EQ(doc.create(wallet, u"secret", std::nullopt, false), CreateResult::Created);
    }
}

TEST_F(ImportCliTest, ColumnsPastTheLastFieldAreNamed) {
    std::string list = "CardName";
    for (int i = 1; i < 258; ++i) list += "\tF" + std::to_string(i);
    list += "\nwide\tv\n";
    write("wide.txt", list);
    ImportOutcome r = import("wide.txt", "secret\n", false, true);
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "Imported 3\\/5\\/2006\n1 row read, 1 card imported, 2 columns left out\n");
    // Said once on standard error, by the closing report.
    EXPECT_EQ(r.err, "1 imported\n1 rows read\n2 columns left out\n");
}

TEST_F(ImportCliTest, TwelveRowsAskFourTimesThenOnce) {
    std::string list = "CardName\tNumber\n";
    for (int i = 1; i <= 12; ++i)
        list += "Card " + std::to_string(i) + "\t" + std::to_string(i) + "\n";
    write("twelve.txt", list);
    ImportOutcome r = import("twelve.txt", "secret\ny\ny\nn\ny\ny\ny\n", true);
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "Imported 3\\/5\\/2006\n12 rows read, 11 cards imported\n");
    EXPECT_NE(r.err.find("8 to come"), std::string::npos) << r.err;
    size_t previews = 0;
    for (size_t at = r.err.find("Import this card?"); at != std::string::npos;
         at = r.err.find("Import this card?", at + 1))
        ++previews;
    EXPECT_EQ(previews, 4u) << r.err;
}

TEST_F(ImportCliTest, RefusalsChangeNothing) {
    write("header.txt", "CardName\tUser\r\n");
    write("other.txt", "Name\tUser\r\nx\ty\r\n");
    write("empty.txt", "");
    // 255 long labels repeated on each of 200 cards: a wallet over 100 times the file's size.
    std::string amplifying = "CardName";
    for (int i = 0; i < 255; ++i) amplifying += "\t" + std::string(300, 'L');
    for (int i = 0; i < 200; ++i) amplifying += "\nx";
    write("amplifying.txt", amplifying);
    struct Case {
        const char* name;
        std::string file;
        bool terminal;
        bool yes;
        int code;
        std::string said = {};  // part of the message
    };
    const std::vector<Case> cases = {
        {"nobody to ask and no --yes", "cards.txt", false, false, 6},
        {"a missing file", "missing.txt", false, true, 7},
        {"an empty file", "empty.txt", false, true, 7},
        {"a header only", "header.txt", false, true, 1},
        {"no CardName column", "other.txt", true, true, 1},
        {"cards far larger than the file", "amplifying.txt", false, true, 1,
         "would take 30 MiB in the wallet; one import may add at most 13 MiB for this file (8 MiB "
         "and 64 times its size). Nothing was imported"},
    };
    const auto before = test::read_file_bytes(wallet);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ImportOutcome r = import(c.file, "secret\ny\ny\ny\ny\n", c.terminal, c.yes);
        EXPECT_EQ(r.code, c.code) << r.err;
        EXPECT_EQ(r.out, "");
        EXPECT_FALSE(r.err.empty());
        EXPECT_NE(r.err.find(c.said), std::string::npos) << r.err;
        EXPECT_EQ(test::read_file_bytes(wallet), before);
    }
    EXPECT_EQ(run({"import", wallet.string()}, "", false).code, 2);
}

}  // namespace
}  // namespace ks::cli
