#include "forms/text_export.h"

#include <sys/stat.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/locale_format.h"
#include "platform/text.h"
#include "support/test_support.h"

namespace ks {
namespace {

namespace fs = std::filesystem;

struct NewField {
    uint16_t kind;
    std::u16string label;
    std::u16string value;
};

struct NewFile {
    std::u16string name;
    std::string contents;
};

// The UTF-16LE bytes of an ASCII text, after the byte-order mark.
std::vector<uint8_t> utf16_file_bytes(std::string_view ascii) {
    std::vector<uint8_t> bytes = {0xFF, 0xFE};
    for (char c : ascii) {
        bytes.push_back(static_cast<uint8_t>(c));
        bytes.push_back(0);
    }
    return bytes;
}

std::vector<std::string> lines_starting(const std::u16string& text, std::u16string_view prefix) {
    std::vector<std::string> found;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find(u"\r\n", start);
        if (end == std::u16string::npos) end = text.size();
        std::u16string_view line(text.data() + start, end - start);
        if (line.starts_with(prefix)) found.push_back(to_utf8(line));
        start = end + 2;
    }
    return found;
}

unsigned mode_of(const fs::path& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? (st.st_mode & 0777u) : 0u;
}

class TextExportTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(doc.create(wallet, u"secret", std::nullopt, true), CreateResult::Created);
        ASSERT_EQ(doc.load(wallet, u"secret"), OpenResult::Opened);
        personal = 0;
    }

    int add_folder(int parent, std::u16string_view name) {
        TreeNode folder = doc.new_folder(parent == kNoIndex ? NodeId{} : doc.node(parent)->id());
        folder.set_name(name);
        const int index = doc.store_folder(folder);
        EXPECT_GE(index, 0);
        return index;
    }

    int add_card(int parent, std::u16string_view name, const std::vector<NewField>& fields,
                 const std::vector<NewFile>& files = {}) {
        Card card = doc.new_card(parent == kNoIndex ? NodeId{} : doc.node(parent)->id());
        card.node()->set_name(name);
        for (const NewField& given : fields) {
            FieldRecord f;
            f.set_kind(given.kind);
            f.set_label(given.label);
            f.set_value(given.value);
            card.insert_field(std::move(f));
        }
        for (const NewFile& given : files) {
            FileAttachment a;
            const auto* data = reinterpret_cast<const uint8_t*>(given.contents.data());
            EXPECT_TRUE(a.set_from_bytes(std::span(data, given.contents.size()), given.name,
                                         test::kFixedTime));
            card.add_file(std::move(a));
        }
        const int index = doc.store_card(card);
        EXPECT_GE(index, 0);
        return index;
    }

    TextExportResult run(ExportScope scope, int selected, bool attachments = false,
                         bool pins = false, Prompt* prompt = nullptr) {
        TextExportOptions options;
        options.scope = scope;
        options.output_folder = out;
        options.include_attachments = attachments;
        options.show_pin_values = pins;
        return export_text(doc, options, selected, prompt);
    }

    // The exported text without its byte-order mark.
    static std::u16string text_of(const fs::path& file) {
        const std::vector<uint8_t> bytes = test::read_file_bytes(file);
        if (bytes.size() < 2 || bytes[0] != 0xFF || bytes[1] != 0xFE) return u"<no BOM>";
        return utf16le_decode(std::span(bytes).subspan(2));
    }

    std::u16string head() const {
        return u"Keystash Pro export\r\nWallet: Personal\r\nFile: " + from_utf8(wallet.string()) +
               u"\r\nWhen: 3/5/2006  2:07 PM\r\n\r\n\r\n";
    }

    test::DeterministicEnvironment env;
    test::MapTextSource texts{{{20001, u"Keystash Pro"},
                               {20203, u"My Forms"},
                               {20204, u"Yes"},
                               {20205, u"No"},
                               {20510, u"Personal"},
                               {20516, u"Folder"},
                               {22138, u"====="},
                               {22142, u"Keystash Pro export"},
                               {22143, u"Wallet: %s"},
                               {22144, u"File: %s"},
                               {22145, u"When: %s"},
                               {22146, u"Finished."},
                               {22147, u"Open it?"},
                               {22149, u"(no fields)"},
                               {22150, u"Attached: %s"}}};
    ScopedTextSource scope{&texts};
    ScopedLocaleFormats formats{LocaleFormats::en_us()};
    test::TempDir dir;
    const fs::path wallet = dir / "Personal.ks5";
    const fs::path out = dir / "My Documents";
    WalletDocument doc;
    int personal = kNoIndex;
};

TEST_F(TextExportTest, SmallCardIsWrittenAsUtf16WithByteOrderMarkAndCrLf) {
    const int visa = add_card(personal, u"Visa", {{1, u"Number", u"4111"}, {7, u"PIN", u"1234"}});
    const TextExportResult r = run(ExportScope::Card, visa);
    ASSERT_EQ(r.status, TextExportStatus::Written);
    EXPECT_EQ(r.file, out / "Personal" / "Visa_05032006.txt");
    const std::string expected =
        "Keystash Pro export\r\nWallet: Personal\r\nFile: " + wallet.string() +
        "\r\nWhen: 3/5/2006  2:07 PM\r\n\r\n\r\n"
        "=====\r\nVisa\r\n=====\r\n"
        "Number: 4111\r\nPIN: ********\r\n\r\n\r\n";
    EXPECT_EQ(test::read_file_bytes(r.file), utf16_file_bytes(expected));
}

TEST_F(TextExportTest, FileIsNamedAfterTheScopeInAFolderNamedAfterTheWallet) {
    const int bank = add_folder(kNoIndex, u"Bank: Joint");
    const int visa = add_card(bank, u"Visa/Gold", {{1, u"Number", u"4111"}});
    struct Case {
        ExportScope scope;
        int selected;
        std::string file;
    };
    const Case cases[] = {
        {ExportScope::Card, visa, "Visa_Gold_05032006.txt"},
        {ExportScope::Folder, bank, "Bank_ Joint_05032006.txt"},
        {ExportScope::WholeWallet, kNoIndex, "Personal_05032006.txt"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const TextExportResult r = run(c.scope, c.selected);
        ASSERT_EQ(r.status, TextExportStatus::Written);
        EXPECT_EQ(r.file, out / "Personal" / c.file);
        EXPECT_TRUE(fs::is_regular_file(r.file));
    }
    // A selection that does not fit the scope writes nothing.
    EXPECT_EQ(run(ExportScope::Card, bank).status, TextExportStatus::NotExportable);
    EXPECT_EQ(run(ExportScope::Folder, visa).status, TextExportStatus::NotExportable);
    EXPECT_EQ(run(ExportScope::Card, 9999).status, TextExportStatus::NotExportable);
    EXPECT_EQ(std::distance(fs::directory_iterator(out / "Personal"), fs::directory_iterator()), 3);
}

TEST_F(TextExportTest, WalletNameIsTheFileNameBeforeItsLastDot) {
    const std::pair<const char*, std::u16string> cases[] = {
        {"/home/me/Personal.ks5", u"Personal"},
        {"/home/me/my.old.wallet.ks5", u"my.old.wallet"},
        {"/home/me/plain", u"plain"},
        {"/home/me/.ks5", u".ks5"},
    };
    for (const auto& [path, name] : cases) EXPECT_EQ(wallet_name(path), name) << path;
}

TEST_F(TextExportTest, PinValuesAreHiddenWhateverTheirLengthUnlessAsked) {
    const std::u16string pins[] = {u"1", u"4821", u"123456789012345678901234"};
    for (const std::u16string& pin : pins) {
        const int card = add_card(personal, u"Safe", {{7, u"Code", pin}, {7, u"Spare", u""}});
        for (const bool show : {false, true}) {
            SCOPED_TRACE(to_utf8(pin) + (show ? " shown" : " hidden"));
            const TextExportResult r = run(ExportScope::Card, card, false, show);
            ASSERT_EQ(r.status, TextExportStatus::Written);
            const std::u16string text = text_of(r.file);
            const std::string expected = "Code: " + (show ? to_utf8(pin) : "********");
            EXPECT_EQ(lines_starting(text, u"Code:"), std::vector<std::string>{expected});
            EXPECT_TRUE(lines_starting(text, u"Spare").empty()) << "an empty PIN has no line";
            if (!show && pin.size() > 3) {
                EXPECT_EQ(text.find(pin), std::u16string::npos) << "the value is nowhere";
            }
        }
        doc.remove(card);
    }
}

TEST_F(TextExportTest, FieldsShowTheirDisplayedValuesAndEmptyCardsSaySo) {
    const int full = add_card(personal, u"Mixed",
                              {{13, u"Active", u"1"}, {1, u"Blank", u""}, {11, u"Type", u"Gold"}});
    Card card = *doc.load_card(full);
    FieldRecord date;
    date.set_kind(8);
    date.set_label(u"Expiry");
    date.set_date(DateTime{2029, 8, 0, 31, 0, 0, 0, 0});
    card.insert_field(std::move(date));
    ASSERT_GE(doc.update_card(card), 0);
    const int empty = add_card(personal, u"Empty", {{1, u"Note", u""}, {7, u"PIN", u""}});

    const TextExportResult a = run(ExportScope::Card, doc.list_index_of(card.node()->id()));
    EXPECT_EQ(text_of(a.file), head() +
                                   u"=====\r\nMixed\r\n=====\r\nActive: Yes\r\nType: Gold\r\n"
                                   u"Expiry: 8/31/2029\r\n\r\n\r\n");
    const TextExportResult b = run(ExportScope::Card, empty);
    EXPECT_EQ(text_of(b.file), head() + u"=====\r\nEmpty\r\n=====\r\n(no fields)\r\n\r\n");
}

TEST_F(TextExportTest, AttachmentsAreNumberedAcrossTheExportAndSavedForTheOwnerOnly) {
    const int bank = add_folder(kNoIndex, u"Bank");
    const int beta = add_card(bank, u"beta", {{1, u"N", u"2"}}, {{u"b.txt", "bee"}});
    const int alpha = add_card(bank, u"Alpha", {{1, u"N", u"1"}}, {{u"a.txt", "ay"}});
    const int deep = add_folder(bank, u"Deep");
    add_card(deep, u"Gamma", {}, {{u"c1.txt", "c-one"}, {u"c:2.txt", "c-two"}});
    const fs::path folder = out / "Personal";

    struct Case {
        const char* what;
        ExportScope scope;
        int selected;
        std::vector<std::pair<std::string, std::string>> files;  // saved name, contents
    };
    const std::vector<Case> cases = {
        {"one card", ExportScope::Card, beta, {{"000_b.txt", "bee"}}},
        {"folder",
         ExportScope::Folder,
         bank,
         {{"001_a.txt", "ay"},
          {"002_b.txt", "bee"},
          {"003_c1.txt", "c-one"},
          {"004_c_2.txt", "c-two"}}},
        {"whole wallet",
         ExportScope::WholeWallet,
         kNoIndex,
         {{"001_a.txt", "ay"},
          {"002_b.txt", "bee"},
          {"003_c1.txt", "c-one"},
          {"004_c_2.txt", "c-two"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(folder);
        const TextExportResult r = run(c.scope, c.selected, true);
        ASSERT_EQ(r.status, TextExportStatus::Written);
        EXPECT_EQ(r.attachments, static_cast<int>(c.files.size()));
        std::vector<std::string> lines;
        for (const auto& [name, contents] : c.files) {
            const std::vector<uint8_t> bytes = test::read_file_bytes(folder / name);
            EXPECT_EQ(std::string(bytes.begin(), bytes.end()), contents) << name;
            EXPECT_EQ(mode_of(folder / name), 0600u) << name;
            lines.push_back("Attached: " + name);
        }
        EXPECT_EQ(lines_starting(text_of(r.file), u"Attached: "), lines);
        EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()),
                  static_cast<long>(c.files.size()) + 1);
    }
    // The card block: one line per saved file, and no closing blank line after them.
    const std::u16string text = text_of(run(ExportScope::Card, alpha, true).file);
    EXPECT_EQ(text, head() + u"=====\r\nAlpha\r\n=====\r\nN: 1\r\n\r\nAttached: 000_a.txt\r\n");
    // Without the option nothing is saved.
    fs::remove_all(folder);
    EXPECT_EQ(run(ExportScope::Folder, bank).attachments, 0);
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1);
}

TEST_F(TextExportTest, AttachmentThatCannotBeWrittenIsSkippedAndKeepsItsNumberFree) {
    const int bank = add_folder(kNoIndex, u"Bank");
    add_card(bank, u"Alpha", {}, {{u"a.txt", "ay"}});
    add_card(bank, u"Beta", {}, {{u"b.txt", "bee"}});
    const fs::path folder = out / "Personal";
    fs::create_directories(folder / "001_a.txt" / "keep");  // a folder in the way

    const TextExportResult r = run(ExportScope::Folder, bank, true);
    ASSERT_EQ(r.status, TextExportStatus::Written);
    EXPECT_EQ(r.attachments, 1);
    EXPECT_TRUE(fs::is_directory(folder / "001_a.txt" / "keep"));
    const std::vector<uint8_t> b = test::read_file_bytes(folder / "001_b.txt");
    EXPECT_EQ(std::string(b.begin(), b.end()), "bee");
    const std::u16string text = text_of(r.file);
    EXPECT_EQ(lines_starting(text, u"Attached: "), std::vector<std::string>{"Attached: 001_b.txt"});
    // The card whose file was not saved ends its block with the blank line.
    EXPECT_NE(text.find(u"=====\r\nAlpha\r\n=====\r\n(no fields)\r\n\r\n=====\r\nBeta"),
              std::u16string::npos);
}

TEST_F(TextExportTest, FoldersAndCardsFollowTheTreeOrderWithPathHeaders) {
    const int bank = add_folder(kNoIndex, u"Bank");
    add_card(bank, u"beta", {});
    add_card(bank, u"Zulu", {});
    add_card(bank, u"Alpha", {});
    const int cards = add_folder(bank, u"cards");
    const int archive = add_folder(bank, u"Archive");
    add_card(cards, u"Visa", {});
    add_card(archive, u"Old", {});
    const int gone = add_card(bank, u"Deleted", {});
    ASSERT_TRUE(doc.remove(gone));
    add_card(kNoIndex, u"Loose", {});
    ASSERT_GE(add_card(doc.my_forms_index(), u"Form", {}), 0);

    auto order = [](const std::u16string& text) {
        // Card names and folder paths, in the order the text gives them.
        std::vector<std::string> seen;
        size_t at = 0;
        const std::u16string sep = u"=====\r\n";
        while ((at = text.find(sep, at)) != std::u16string::npos) {
            at += sep.size();
            const size_t end = text.find(u"\r\n", at);
            seen.push_back(to_utf8(text.substr(at, end - at)));
            at = text.find(sep, end) + sep.size();  // past the closing separator
        }
        return seen;
    };
    const TextExportResult folder = run(ExportScope::Folder, bank);
    EXPECT_EQ(
        order(text_of(folder.file)),
        (std::vector<std::string>{"Folder: Bank", "Alpha", "beta", "Zulu", "Folder: Bank > Archive",
                                  "Old", "Folder: Bank > cards", "Visa"}));
    EXPECT_NE(text_of(folder.file).find(u"\r\n\r\n=====\r\nFolder: Bank\r\n=====\r\n=====\r\n"),
              std::u16string::npos)
        << "a folder header is a blank line, the separator, the path and the separator";

    const TextExportResult whole = run(ExportScope::WholeWallet, kNoIndex);
    EXPECT_EQ(order(text_of(whole.file)),
              (std::vector<std::string>{"Loose", "Folder: Bank", "Alpha", "beta", "Zulu",
                                        "Folder: Bank > Archive", "Old", "Folder: Bank > cards",
                                        "Visa", "Folder: Personal", "Folder: My Forms", "Form"}));
}

TEST_F(TextExportTest, FolderPathNamesAtMostEightAncestors) {
    int parent = kNoIndex;
    std::vector<int> levels;
    for (int i = 0; i < 11; ++i) {
        parent = add_folder(parent, u"L" + from_utf8(std::to_string(i)));
        levels.push_back(parent);
    }
    const std::u16string text = text_of(run(ExportScope::Folder, levels[0]).file);
    const std::vector<std::string> headers = lines_starting(text, u"Folder: ");
    ASSERT_EQ(headers.size(), 11u);
    EXPECT_EQ(headers[0], "Folder: L0");
    EXPECT_EQ(headers[8], "Folder: L0 > L1 > L2 > L3 > L4 > L5 > L6 > L7 > L8");
    EXPECT_EQ(headers[10], "Folder: L2 > L3 > L4 > L5 > L6 > L7 > L8 > L9 > L10");
}

TEST_F(TextExportTest, EarlierFileIsReplacedOnlyByAWholeOne) {
    const int visa = add_card(personal, u"Visa", {{1, u"Number", u"4111"}});
    const fs::path file = out / "Personal" / "Visa_05032006.txt";
    fs::create_directories(file.parent_path());
    test::write_file_bytes(file, {'o', 'l', 'd'});
    ASSERT_EQ(run(ExportScope::Card, visa).status, TextExportStatus::Written);
    EXPECT_NE(text_of(file).find(u"Number: 4111"), std::u16string::npos);
    EXPECT_EQ(std::distance(fs::directory_iterator(file.parent_path()), fs::directory_iterator()),
              1);

    // An output folder that cannot be made: nothing is written and nobody is asked.
    test::write_file_bytes(dir / "taken", {'x'});
    TextExportOptions options;
    options.scope = ExportScope::Card;
    options.output_folder = dir / "taken";
    test::ScriptedPrompt prompt({PromptAnswer::Yes});
    const TextExportResult r = export_text(doc, options, visa, &prompt);
    EXPECT_EQ(r.status, TextExportStatus::CannotCreate);
    EXPECT_TRUE(prompt.asked().empty());
    EXPECT_EQ(test::read_file_bytes(dir / "taken"), std::vector<uint8_t>{'x'});
}

TEST_F(TextExportTest, FinishedExportOffersToOpenTheFile) {
    const int visa = add_card(personal, u"Visa", {{1, u"Number", u"4111"}});
    for (const PromptAnswer answer : {PromptAnswer::Yes, PromptAnswer::No}) {
        test::ScriptedPrompt prompt({answer});
        const TextExportResult r = run(ExportScope::Card, visa, false, false, &prompt);
        ASSERT_EQ(r.status, TextExportStatus::Written);
        EXPECT_EQ(r.open_requested, answer == PromptAnswer::Yes);
        ASSERT_EQ(prompt.asked().size(), 1u);
        EXPECT_EQ(prompt.asked()[0].text, u"Finished.\n\nOpen it?");
        EXPECT_EQ(prompt.asked()[0].caption, u"Keystash Pro");
        EXPECT_EQ(prompt.asked()[0].buttons, PromptButtons::YesNo);
        EXPECT_EQ(prompt.asked()[0].icon, PromptIcon::Information);
    }
}

TEST_F(TextExportTest, CopiedCardTextShowsPinsAndSkipsEmptyFields) {
    const int visa = add_card(personal, u"Visa",
                              {{1, u"Number", u"4111"}, {1, u"Empty", u""}, {7, u"PIN", u"1234"}});
    EXPECT_EQ(card_as_text(*doc.load_card(visa)),
              u"Visa\r\n\r\nNumber: 4111\r\n\r\nPIN: 1234\r\n\r\n");
    const int bare = add_card(personal, u"Bare", {});
    EXPECT_EQ(card_as_text(*doc.load_card(bare)), u"Bare\r\n\r\n");
}

}  // namespace
}  // namespace ks
