// keystash-cli convert: a previous-version wallet into a new wallet beside it, asked on a
// terminal, answered by --yes, refused with nobody to ask.
#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "cli/cli.h"
#include "core/wallet_document.h"
#include "forms/custom_forms.h"
#include "support/cli_harness.h"
#include "support/legacy_writer.h"
#include "support/test_support.h"

namespace ks::cli {
namespace {

namespace fs = std::filesystem;
using test::legacy_item;
using test::legacy_text;
using test::LegacyFolder;
using test::LegacyWallet;

using Outcome = test::CliOutcome;

// Points the program's data folder somewhere of the test's own for the life of the object.
class ScopedDataDir {
  public:
    explicit ScopedDataDir(const fs::path& dir) {
        if (const char* old = ::getenv("KEYSTASH_DATA_DIR")) previous_ = old;
        ::setenv("KEYSTASH_DATA_DIR", dir.c_str(), 1);
    }
    ~ScopedDataDir() {
        if (previous_)
            ::setenv("KEYSTASH_DATA_DIR", previous_->c_str(), 1);
        else
            ::unsetenv("KEYSTASH_DATA_DIR");
    }
    ScopedDataDir(const ScopedDataDir&) = delete;
    ScopedDataDir& operator=(const ScopedDataDir&) = delete;

  private:
    std::optional<std::string> previous_;
};

LegacyWallet one_card_wallet() {
    LegacyWallet w;
    w.records = {LegacyFolder{1, u"Bank", 500, 3},
                 legacy_item(1, 1, u"Visa", 500, {{501, legacy_text(u"4111"), {}}})};
    return w;
}

class ConvertCliTest : public ::testing::Test {
  protected:
    ConvertCliTest() : data_dir_(dir / "program") { fs::create_directory(dir / "program"); }

    Outcome run(const std::vector<std::string>& argv, const std::string& input, bool terminal) {
        return test::run_cli_in_process(argv, input, terminal);
    }

    std::vector<std::string> names() const {
        std::vector<std::string> out;
        for (const auto& e : fs::directory_iterator(dir.path()))
            out.push_back(e.path().filename().string());
        std::sort(out.begin(), out.end());
        return out;
    }

    fs::path legacy() const { return dir / "Old.wal"; }
    fs::path target() const { return dir / "Old.ks5"; }

    test::DeterministicEnvironment env;
    test::TempDir dir;

  private:
    ScopedDataDir data_dir_;
};

TEST_F(ConvertCliTest, ConvertsWithYesAndPrintsTheNewPath) {
    test::write_legacy_wallet(legacy(), one_card_wallet());
    const auto before = test::read_file_bytes(legacy());
    const Outcome o = run({"convert", legacy().string(), "--yes"}, "secret\n", false);
    ASSERT_EQ(o.code, 0) << o.err;
    EXPECT_EQ(o.out, target().string() + "\n");
    EXPECT_EQ(test::read_file_bytes(legacy()), before);

    WalletDocument document;
    ASSERT_EQ(document.load(target(), u"secret"), OpenResult::Opened);
    std::vector<std::u16string> names;
    for (const TreeNode& n : document.nodes()) names.push_back(n.name());
    EXPECT_NE(std::find(names.begin(), names.end(), u"Bank"), names.end());
    EXPECT_NE(std::find(names.begin(), names.end(), u"Visa"), names.end());
}

TEST_F(ConvertCliTest, QuestionOnATerminal) {
    struct Case {
        const char* what;
        std::vector<std::string> options;
        std::string input;
        bool terminal;
        int code;
    };
    const Case cases[] = {
        {"answered yes", {}, "y\nsecret\n", true, 0},
        {"answered no", {}, "n\nsecret\n", true, 6},
        {"no answer", {}, "", true, 6},
        {"nobody to ask", {}, "secret\n", false, 6},
        {"--yes on a terminal", {"--yes"}, "secret\n", true, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove(target());
        test::write_legacy_wallet(legacy(), one_card_wallet());
        std::vector<std::string> argv{"convert", legacy().string()};
        argv.insert(argv.end(), c.options.begin(), c.options.end());
        const Outcome o = run(argv, c.input, c.terminal);
        EXPECT_EQ(o.code, c.code) << o.err;
        EXPECT_EQ(fs::exists(target()), c.code == 0);
        if (c.code == 6 && !c.terminal) {
            EXPECT_NE(o.err.find("--yes"), std::string::npos) << o.err;
        }
    }
}

TEST_F(ConvertCliTest, FailuresAndTheirExitCodes) {
    LegacyWallet no_folders;
    no_folders.records = {legacy_item(1, 1, u"Visa", 500)};
    LegacyWallet damaged = one_card_wallet();
    damaged.records.push_back(damaged.records[0]);  // a second folder of the same id
    LegacyWallet custom = one_card_wallet();
    custom.custom_forms = true;
    custom.custom_forms_name = u"mine.ccd";

    struct Case {
        const char* what;
        std::optional<Bytes> wal;  // nothing: no file
        std::string file_name;
        std::string password;
        int code;
        std::string message;  // part of the error text
    };
    const Case cases[] = {
        {"wrong password", test::build_legacy_wallet(one_card_wallet()), "Old.wal", "Secret", 3,
         "password"},
        {"missing file", std::nullopt, "Old.wal", "secret", 7, "does not exist"},
        {"not a previous wallet", Bytes(900, 'x'), "Old.wal", "secret", 5, "previous version"},
        {"no folders", test::build_legacy_wallet(no_folders), "Old.wal", "secret", 1, "no folders"},
        {"damaged", test::build_legacy_wallet(damaged), "Old.wal", "secret", 5, "share an id"},
        {"custom forms missing", test::build_legacy_wallet(custom), "Old.wal", "secret", 7,
         "mine.ccd"},
        {"not named .wal", test::build_legacy_wallet(one_card_wallet()), "Old.dat", "secret", 2,
         "FILE.wal"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        for (const auto& e : fs::directory_iterator(dir.path()))
            if (e.is_regular_file()) fs::remove(e.path());
        if (c.wal) test::write_file_bytes(dir / c.file_name, *c.wal);
        const Outcome o =
            run({"convert", (dir / c.file_name).string(), "--yes"}, c.password + "\n", false);
        EXPECT_EQ(o.code, c.code) << o.err;
        EXPECT_NE(o.err.find(c.message), std::string::npos) << o.err;
        EXPECT_TRUE(o.out.empty());
        // Nothing new beside the old file.
        std::vector<std::string> expected{"program"};
        if (c.wal) expected.insert(expected.begin(), c.file_name);
        EXPECT_EQ(names(), expected);
    }
}

TEST_F(ConvertCliTest, ACardWhoseDataIsCutShortIsConvertedWithoutValuesAndCounted) {
    LegacyWallet w = one_card_wallet();
    std::get<test::LegacyItem>(w.records[1]).stored_length = 5000;  // past the end of the file
    test::write_legacy_wallet(legacy(), w);
    const Outcome o = run({"convert", legacy().string(), "--yes"}, "secret\n", false);
    ASSERT_EQ(o.code, 0) << o.err;
    EXPECT_EQ(o.out, target().string() + "\n");
    EXPECT_NE(o.err.find("1 item could not be read whole"), std::string::npos) << o.err;
    WalletDocument document;
    ASSERT_EQ(document.load(target(), u"secret"), OpenResult::Opened);
    size_t cards = 0;
    for (const TreeNode& node : document.nodes()) cards += node.kind() == NodeKind::Card;
    EXPECT_EQ(cards, 1u);
}

TEST_F(ConvertCliTest, CustomFormsFileBesideTheWallet) {
    LegacyWallet w = one_card_wallet();
    w.custom_forms = true;
    w.custom_forms_name = u"C:\\Old\\mine.ccd";
    w.records.push_back(legacy_item(2, 1, u"Gym", 1001, {{11, legacy_text(u"9876"), {}}}));
    test::write_legacy_wallet(legacy(), w);
    const std::string forms = std::string(kCustomFormsSignature) +
                              "\n<MyForm>\nGym\n1001\n5\n11 KSF_PIN Code\n<EndForm>\n";
    test::write_file_bytes(dir / "mine.ccd", Bytes(forms.begin(), forms.end()));
    const Outcome o = run({"convert", legacy().string(), "--yes"}, "secret\n", false);
    ASSERT_EQ(o.code, 0) << o.err;

    WalletDocument document;
    ASSERT_EQ(document.load(target(), u"secret"), OpenResult::Opened);
    bool found = false;
    for (size_t i = 0; i < document.nodes().size(); ++i) {
        if (document.nodes()[i].name() != u"Gym") continue;
        auto card = document.load_card(static_cast<int>(i));
        ASSERT_TRUE(card);
        ASSERT_EQ(card->fields().size(), 1u);
        EXPECT_EQ(card->fields()[0].kind(), 7);
        EXPECT_EQ(card->fields()[0].label(), u"Code");
        EXPECT_EQ(card->fields()[0].value(), u"9876");
        found = true;
    }
    EXPECT_TRUE(found);
}

TEST_F(ConvertCliTest, ExistingTargetIsLeftAlone) {
    test::write_legacy_wallet(legacy(), one_card_wallet());
    const Bytes mine{'k', 'e', 'e', 'p'};
    test::write_file_bytes(target(), mine);
    const Outcome o = run({"convert", legacy().string(), "--yes"}, "secret\n", false);
    EXPECT_EQ(o.code, 6) << o.err;
    EXPECT_NE(o.err.find("exists already"), std::string::npos) << o.err;
    EXPECT_EQ(test::read_file_bytes(target()), mine);
}

}  // namespace
}  // namespace ks::cli
