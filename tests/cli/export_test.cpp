// keystash-cli export, export-form and import-form, run in-process on wallets the tests create.
#include <stdlib.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "cli/cli.h"
#include "core/keys.h"
#include "core/wallet_document.h"
#include "forms/form_file_messages.h"
#include "platform/locale_format.h"
#include "platform/string_table.h"
#include "platform/text.h"
#include "platform/texts.h"
#include "support/cli_harness.h"
#include "support/test_support.h"

namespace ks::cli {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

using Result = test::CliOutcome;

// Sets an environment variable for the life of the object.
class ScopedEnv {
  public:
    ScopedEnv(const char* name, const std::string& value) : name_(name) {
        if (const char* old = ::getenv(name)) previous_ = old;
        ::setenv(name, value.c_str(), 1);
    }
    ~ScopedEnv() {
        if (previous_)
            ::setenv(name_, previous_->c_str(), 1);
        else
            ::unsetenv(name_);
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

  private:
    const char* name_;
    std::optional<std::string> previous_;
};

std::u16string exported_text(const fs::path& file) {
    const std::vector<uint8_t> bytes = test::read_file_bytes(file);
    if (bytes.size() < 2 || bytes[0] != 0xFF || bytes[1] != 0xFE) return u"<no BOM>";
    return utf16le_decode(std::span(bytes).subspan(2));
}

bool has(const std::u16string& text, std::string_view part) {
    return text.find(from_utf8(part)) != std::u16string::npos;
}

// A wallet "wallet.ks5" (password "secret") with the card Personal/Visa, whose PIN is 1234.
class ExportCommandTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(table.table) << "the English string table is missing";
        ok({"create", w});
        ok({"add", w, "Personal/Visa", "--set", "Card Number=4111 1111", "--set", "PIN=1234"});
    }

    Result run(const std::vector<std::string>& argv, const std::string& input = "secret\n",
               bool terminal = false) {
        return test::run_cli_in_process(argv, input, terminal);
    }

    std::string ok(const std::vector<std::string>& argv, const std::string& input = "secret\n") {
        Result r = run(argv, input);
        EXPECT_EQ(r.code, 0) << argv[0] << ": " << r.err;
        return r.out;
    }

    // The path printed by a command, without its line end.
    static fs::path printed(const std::string& out) {
        EXPECT_TRUE(!out.empty() && out.back() == '\n') << out;
        return fs::path(out.substr(0, out.empty() ? 0 : out.size() - 1));
    }

    test::DeterministicEnvironment env;
    StringTableParse table =
        load_string_table(fs::path(KEYSTASH_LANGUAGE_DIR) / "keystash.exe.0409.mui");
    ScopedTextSource texts{table.table ? &*table.table : nullptr};
    ScopedLocaleFormats formats{LocaleFormats::en_us()};
    test::TempDir dir;
    const std::string w = (dir / "wallet.ks5").string();
    const std::string to = (dir / "out").string();
};

TEST_F(ExportCommandTest, ExportWritesTheItemOrTheWalletAndPrintsThePath) {
    ok({"mkdir", w, "Bank"});
    struct Case {
        std::vector<std::string> item;
        std::string file;
        bool has_visa;
    };
    const Case cases[] = {
        {{"Personal/Visa"}, "Visa_05032006.txt", true},
        {{"Personal"}, "Personal_05032006.txt", true},
        {{"Bank"}, "Bank_05032006.txt", false},
        {{}, "wallet_05032006.txt", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        std::vector<std::string> argv = {"export", "--to", to, w};
        argv.insert(argv.end(), c.item.begin(), c.item.end());
        const fs::path file = printed(ok(argv));
        EXPECT_EQ(file, dir / "out" / "wallet" / c.file);
        const std::u16string text = exported_text(file);
        EXPECT_EQ(has(text, "Card Number: 4111 1111\r\n"), c.has_visa);
    }
}

TEST_F(ExportCommandTest, ExportHidesPinsUnlessAskedAndSavesAttachmentsOnRequest) {
    test::write_file_bytes(dir / "blob.bin", {1, 2, 3});
    ok({"attach", w, "Personal/Visa", (dir / "blob.bin").string()});

    const std::u16string hidden =
        exported_text(printed(ok({"export", "--to", to, w, "Personal/Visa"})));
    EXPECT_TRUE(has(hidden, "PIN: ********\r\n"));
    EXPECT_FALSE(has(hidden, "1234"));
    EXPECT_FALSE(fs::exists(dir / "out" / "wallet" / "000_blob.bin"));

    const std::u16string shown = exported_text(
        printed(ok({"export", "--to", to, "--show-pins", "--attachments", w, "Personal/Visa"})));
    EXPECT_TRUE(has(shown, "PIN: 1234\r\n"));
    const fs::path saved = dir / "out" / "wallet" / "000_blob.bin";
    EXPECT_EQ(test::read_file_bytes(saved), (std::vector<uint8_t>{1, 2, 3}));
    struct stat st {};
    ASSERT_EQ(::stat(saved.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777u, 0600u);
}

TEST_F(ExportCommandTest, ExportGoesToTheDocumentsFolderByDefault) {
    ScopedEnv home("HOME", (dir / "home").string());
    ScopedEnv config("XDG_CONFIG_HOME", (dir / "home" / ".config").string());
    EXPECT_EQ(printed(ok({"export", w, "Personal/Visa"})),
              dir / "home" / "Documents" / "wallet" / "Visa_05032006.txt");
    EXPECT_EQ(printed(ok({"export-form", w, "Personal/Visa"})),
              dir / "home" / "Documents" / "Visa_05032006.ksx");
}

TEST_F(ExportCommandTest, FailuresHaveTheirOwnExitCodes) {
    test::write_file_bytes(dir / "taken", {'x'});
    struct Case {
        std::vector<std::string> argv;
        std::string input;
        Exit code;
    };
    const std::string taken = (dir / "taken").string();
    const Case cases[] = {
        {{"export", "--to", to, w, "Personal/Nothing"}, "secret\n", Exit::NotFound},
        {{"export", "--to", to, w}, "wrong\n", Exit::WrongPassword},
        {{"export", "--to", taken, w, "Personal/Visa"}, "secret\n", Exit::IoFailure},
        {{"export-form", "--to", to, w, "Personal"}, "secret\n", Exit::Refused},
        {{"export-form", "--to", to, w, "Personal/Nothing"}, "secret\n", Exit::NotFound},
        {{"export-form", "--to", taken, w, "Personal/Visa"}, "secret\n", Exit::IoFailure},
        {{"export-form", w}, "secret\n", Exit::Usage},
    };
    for (const Case& c : cases) {
        std::string what;
        for (const std::string& a : c.argv) what += a + " ";
        SCOPED_TRACE(what);
        const Result r = run(c.argv, c.input);
        EXPECT_EQ(r.code, static_cast<int>(c.code)) << r.err;
        EXPECT_TRUE(r.out.empty());
    }
    EXPECT_FALSE(fs::exists(dir / "out")) << "no failed run made the output folder";
    EXPECT_EQ(test::read_file_bytes(dir / "taken"), std::vector<uint8_t>{'x'});
}

TEST_F(ExportCommandTest, ExportFormStoresAuthorAndDescriptionAndDropsValuesUnlessKept) {
    const fs::path plain = printed(ok({"export-form", "--to", to, "--author", "Jane Q",
                                       "--description", "A card form", w, "Personal/Visa"}));
    EXPECT_EQ(plain, dir / "out" / "Visa_05032006.ksx");
    const KeyContext key = form_file_key();
    auto form = read_form_file(plain, key);
    ASSERT_TRUE(form);
    EXPECT_EQ(form->header.author, u"Jane Q");
    EXPECT_EQ(form->header.description, u"A card form");
    for (const FieldRecord& f : form->card.fields()) EXPECT_EQ(f.value(), u"");

    ok({"export-form", "--to", to, "--keep-values", w, "Personal/Visa"});
    form = read_form_file(plain, key);
    ASSERT_TRUE(form);
    EXPECT_EQ(form->header.author, u"");
    std::vector<std::u16string> values;
    for (const FieldRecord& f : form->card.fields())
        if (!f.value().empty()) values.push_back(f.value().plain());
    EXPECT_EQ(values, (std::vector<std::u16string>{u"4111 1111", u"1234"}));
}

TEST_F(ExportCommandTest, ImportFormAsksAndOnlyYesAddsTheForm) {
    ok({"export-form", "--to", to, "--keep-values", w, "Personal/Visa"});
    const std::string file = (dir / "out" / "Visa_05032006.ksx").string();
    const std::string other = (dir / "other.ks5").string();
    ok({"create", other}, "other pass\n");

    struct Case {
        const char* what;
        std::vector<std::string> options;
        std::string input;
        bool terminal;
        int code;
    };
    const Case refused[] = {
        {"no terminal, no --yes", {}, "other pass\n", false, 6},
        {"terminal answers no", {}, "other pass\nn\n", true, 6},
        {"terminal gives no answer", {}, "other pass\n", true, 6},
    };
    const auto before = test::read_file_bytes(other);
    for (const Case& c : refused) {
        SCOPED_TRACE(c.what);
        std::vector<std::string> argv = {"import-form"};
        argv.insert(argv.end(), c.options.begin(), c.options.end());
        argv.insert(argv.end(), {other, file});
        const Result r = run(argv, c.input, c.terminal);
        EXPECT_EQ(r.code, c.code) << r.err;
        EXPECT_NE(r.err.find("Visa"), std::string::npos) << "the question names the form";
        EXPECT_EQ(test::read_file_bytes(other), before);
    }

    EXPECT_EQ(run({"import-form", other, file}, "other pass\ny\n", true).out, "My Forms/Visa\n");
    const std::string third = (dir / "third.ks5").string();
    ok({"create", third}, "third pass\n");
    EXPECT_EQ(ok({"import-form", "--yes", third, file}, "third pass\n"), "My Forms/Visa\n");
    const json card =
        json::parse(ok({"show", "--json", "--show-pins", third, "My Forms/Visa"}, "third pass\n"),
                    nullptr, false);
    ASSERT_TRUE(card.is_object());
    std::vector<std::string> values;
    for (const json& f : card["fields"])
        if (!f["value"].get<std::string>().empty()) values.push_back(f["value"]);
    EXPECT_EQ(values, (std::vector<std::string>{"4111 1111", "1234"}));
}

TEST_F(ExportCommandTest, ImportFormRefusesFilesThatAreNoFormFiles) {
    ok({"export-form", "--to", to, w, "Personal/Visa"});
    std::vector<uint8_t> cut = test::read_file_bytes(dir / "out" / "Visa_05032006.ksx");
    cut.resize(cut.size() - 1);
    test::write_file_bytes(dir / "cut.ksx", cut);
    test::write_file_bytes(dir / "text.ksx", {'h', 'e', 'l', 'l', 'o'});
    const std::pair<std::string, int> cases[] = {
        {(dir / "missing.ksx").string(), 7},
        {(dir / "text.ksx").string(), 5},
        {(dir / "cut.ksx").string(), 5},
    };
    const auto before = test::read_file_bytes(w);
    for (const auto& [file, code] : cases) {
        const Result r = run({"import-form", "--yes", w, file});
        EXPECT_EQ(r.code, code) << file << ": " << r.err;
        EXPECT_EQ(test::read_file_bytes(w), before);
    }
}

// Names from the wallet become file names: without controls or slashes, never "." or "..",
// and cut by bytes (whole characters) to the file system's limit, the extension kept. A card
// named with 200 "€" (600 bytes) exports alone and as a form.
TEST_F(ExportCommandTest, FileNamesFromItemNamesAreSafeAndFitTheFileSystem) {
    std::string euros;
    for (int i = 0; i < 200; ++i) euros += "\xE2\x82\xAC";
    const std::string evil = "T\x1b]0;t\x07\nx";
    const std::vector<std::string> attachments = {euros + ".pdf", "..", evil + ".txt"};
    for (const std::string& name : {euros, evil}) ok({"add", w, "Personal/" + name});
    {
        WalletDocument doc;
        ASSERT_EQ(doc.load(w, u"secret"), OpenResult::Opened);
        int visa = kNoIndex;
        for (size_t i = 0; i < doc.nodes().size(); ++i)
            if (doc.nodes()[i].name() == u"Visa") visa = static_cast<int>(i);
        auto card = doc.load_card(visa);
        ASSERT_TRUE(card);
        for (const std::string& name : attachments) {
            FileAttachment file;
            file.set_from_bytes(Bytes{7}, from_utf8(name), std::nullopt);
            ASSERT_TRUE(card->add_file(std::move(file)));
        }
        ASSERT_GE(doc.update_card(*card), 0);
    }
    auto expect_safe = [](const fs::path& file, const fs::path& folder, std::string_view ending) {
        SCOPED_TRACE(file.string());
        EXPECT_EQ(file.parent_path(), folder);
        const std::string name = file.filename().string();
        EXPECT_LE(name.size(), 255u);
        EXPECT_TRUE(is_valid_utf8(name));
        EXPECT_TRUE(name.ends_with(ending));
        EXPECT_TRUE(std::none_of(name.begin(), name.end(),
                                 [](char c) { return (c >= 0 && c < 0x20) || c == 0x7F; }));
        EXPECT_TRUE(fs::is_regular_file(file));
    };
    for (const std::string& name : {euros, evil}) {
        expect_safe(printed(ok({"export", "--to", to, w, "Personal/" + name})),
                    dir / "out" / "wallet", "_05032006.txt");
        expect_safe(printed(ok({"export-form", "--to", to, w, "Personal/" + name})), dir / "out",
                    "_05032006.ksx");
    }
    const std::string endings[] = {".pdf", "_", ".txt"};
    for (size_t i = 0; i < attachments.size(); ++i) {
        const fs::path file =
            printed(ok({"extract", "--to", to, w, "Personal/Visa", attachments[i]}));
        expect_safe(file, dir / "out", endings[i]);
        EXPECT_EQ(test::read_file_bytes(file), std::vector<uint8_t>{7});
    }
    ok({"export", "--to", to, "--attachments", w, "Personal/Visa"});
    expect_safe(dir / "out" / "wallet" / ("000_" + euros.substr(0, 246) + ".pdf"),
                dir / "out" / "wallet", ".pdf");
    expect_safe(dir / "out" / "wallet" / "001_..", dir / "out" / "wallet", "_..");
    expect_safe(dir / "out" / "wallet" / "002_T_]0;t__x.txt", dir / "out" / "wallet", ".txt");
}

// The question before an import shows the form file's texts each on its own line, escaped.
TEST_F(ExportCommandTest, ImportFormShowsTheFilesTextsEscapedOnTheirLines) {
    ok({"export-form", "--to", to, "--description", "line\x1b[2J\nAuthor: Trusted Vendor", w,
        "Personal/Visa"});
    const std::string other = (dir / "other.ks5").string();
    ok({"create", other}, "other pass\n");
    const Result r =
        run({"import-form", other, (dir / "out" / "Visa_05032006.ksx").string()}, "other pass\n");
    EXPECT_EQ(r.code, 6);
    EXPECT_NE(r.err.find("line\\x1b[2J Author: Trusted Vendor\n"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find('\x1b'), std::string::npos);
    EXPECT_EQ(r.err.find("\nAuthor:"), std::string::npos);
}

}  // namespace
}  // namespace ks::cli
