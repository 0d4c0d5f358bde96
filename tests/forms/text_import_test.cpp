#include "forms/text_import.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "platform/file.h"
#include "platform/locale_format.h"
#include "platform/text.h"
#include "support/crash_harness.h"
#include "support/list_order.h"
#include "support/test_support.h"

namespace ks {
namespace {

using Bytes8 = std::vector<uint8_t>;
using Rows = std::vector<std::vector<std::u16string>>;

Bytes8 with_bom(std::initializer_list<uint8_t> bom, const Bytes8& body) {
    Bytes8 out(bom);
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

Bytes8 utf16le(std::u16string_view text) {
    return with_bom({0xFF, 0xFE}, utf16le_encode(text));
}

Bytes8 utf16be(std::u16string_view text) {
    Bytes8 out{0xFE, 0xFF};
    for (char16_t c : text) {
        out.push_back(static_cast<uint8_t>(c >> 8));
        out.push_back(static_cast<uint8_t>(c & 0xFF));
    }
    return out;
}

Bytes8 utf8(std::u16string_view text) {
    const std::string s = to_utf8(text);
    return Bytes8(s.begin(), s.end());
}

Bytes8 utf8_bom(std::u16string_view text) {
    return with_bom({0xEF, 0xBB, 0xBF}, utf8(text));
}

Bytes8 cp1252(std::u16string_view text) {
    const std::string s = to_cp1252(text);
    return Bytes8(s.begin(), s.end());
}

Bytes8 raw(std::string_view s) {
    return Bytes8(s.begin(), s.end());
}

TabTextTable split(std::u16string_view text) {
    return split_tab_text(text);
}

// Every row of the table, as wide as its first row.
Rows rows_of(const TabTextTable& table) {
    Rows rows;
    for (size_t r = 0; r < table.rows(); ++r) {
        std::vector<std::u16string> row;
        for (size_t c = 0; c < table.columns(); ++c) row.emplace_back(table.cell(r, c));
        rows.push_back(std::move(row));
    }
    return rows;
}

// The content used for the encoding cases: every character exists in Windows-1252.
constexpr std::u16string_view kLatinList =
    u"CardName\tNotes\tPrice\r\n"
    u"Caf\u00e9 cr\u00e8me\tS\u00fc\u00dfe \u00bd\t\u20ac5 \u2013 \u201cok\u201d\r\n"
    u"Na\u00efve\t\u00c5ngstr\u00f6m\t\u00a3 3\r\n";

// ---------------------------------------------------------------------------------------------
// Decoding

TEST(TextImportDecode, EveryEncodingGivesTheSameText) {
    struct Case {
        const char* name;
        Bytes8 bytes;
    };
    const std::vector<Case> cases = {
        {"UTF-16LE with BOM", utf16le(kLatinList)}, {"UTF-16BE with BOM", utf16be(kLatinList)},
        {"UTF-8 with BOM", utf8_bom(kLatinList)},   {"UTF-8", utf8(kLatinList)},
        {"Windows-1252", cp1252(kLatinList)},
    };
    for (const Case& c : cases) EXPECT_EQ(decode_import_text(c.bytes), kLatinList) << c.name;
}

TEST(TextImportDecode, OddBytes) {
    struct Case {
        const char* name;
        Bytes8 bytes;
        std::u16string text;
    };
    const std::vector<Case> cases = {
        {"nothing", {}, u""},
        {"only the LE mark", {0xFF, 0xFE}, u""},
        {"only the BE mark", {0xFE, 0xFF}, u""},
        {"only the UTF-8 mark", {0xEF, 0xBB, 0xBF}, u""},
        {"zero units are dropped, not the rest", {0xFF, 0xFE, 'a', 0, 0, 0, 'b', 0}, u"ab"},
        {"zero bytes in ANSI", raw(std::string_view("a\0b", 3)), u"ab"},
        {"an odd last byte", {0xFF, 0xFE, 'a', 0, 'b'}, u"a"},
        {"a surrogate pair survives", utf16le(u"x\U0001F600"), u"x\U0001F600"},
        {"big-endian surrogate pair", utf16be(u"\U0001F600"), u"\U0001F600"},
        {"invalid UTF-8 is Windows-1252", raw("\xE9t\xE9 \x80"), u"\u00e9t\u00e9 \u20ac"},
        {"a UTF-8 mark means UTF-8", raw("\xEF\xBB\xBF\xC3\xA9\xE9"), u"\u00e9\uFFFD"},
        {"a single byte", {0xFF}, u"\u00ff"},
    };
    for (const Case& c : cases) EXPECT_EQ(decode_import_text(c.bytes), c.text) << c.name;
}

TEST(TextImportDecode, ParseRefusesMoreThanTheLimit) {
    Bytes8 big(kMaxImportFileBytes + 1, 'a');
    EXPECT_FALSE(parse_tab_text(big));
    big.pop_back();
    auto table = parse_tab_text(big);
    ASSERT_TRUE(table);
    EXPECT_EQ(table->cell(0, 0).size(), kMaxImportFileBytes);
}

// ---------------------------------------------------------------------------------------------
// Rows and cells

TEST(TextImportSplit, EveryLineEndEndsARow) {
    const Rows expected = {{u"CardName", u"Pin"}, {u"Visa", u"1234"}, {u"Bank", u""}};
    struct Case {
        const char* name;
        std::u16string_view text;
    };
    const std::vector<Case> cases = {
        {"CR LF", u"CardName\tPin\r\nVisa\t1234\r\nBank\t\r\n"},
        {"LF", u"CardName\tPin\nVisa\t1234\nBank\t\n"},
        {"CR", u"CardName\tPin\rVisa\t1234\rBank\t\r"},
        {"mixed", u"CardName\tPin\rVisa\t1234\nBank\t\r\n"},
        {"no final line end", u"CardName\tPin\r\nVisa\t1234\r\nBank"},
    };
    for (const Case& c : cases) {
        const TabTextTable table = split(c.text);
        EXPECT_EQ(table.columns(), 2u) << c.name;
        EXPECT_EQ(rows_of(table), expected) << c.name;
    }
    // A blank line is a row of its own; CR CR LF is two line ends.
    EXPECT_EQ(split(u"a\tb\r\r\nc").rows(), 3u);
    EXPECT_EQ(split(u"a\tb\n\nc").rows(), 3u);
    EXPECT_EQ(split(u"").rows(), 0u);
    EXPECT_EQ(split(u"\r\n").rows(), 1u);
}

TEST(TextImportSplit, QuotedCells) {
    struct Case {
        std::u16string_view source;
        std::u16string_view cell;
    };
    const std::vector<Case> cases = {
        {u"plain", u"plain"},
        {u"\"quoted\"", u"quoted"},
        {u"\"tab\there\"", u"tab\there"},
        {u"\"two\nlines\"", u"two\r\nlines"},
        {u"\"two\r\nlines\"", u"two\r\nlines"},
        {u"\"two\rlines\"", u"two\r\nlines"},
        {u"\"a\n\nb\"", u"a\r\n\r\nb"},
        {u"\"say \"\"hi\"\"\"", u"say \"hi\""},
        {u"\"\"", u""},
        {u"\"\"\"\"", u"\""},
        {u"\"\"\"x\"\"\"", u"\"x\""},
        {u"\"ab\"cd", u"abcd"},
        {u"ab\"cd\"", u"ab\"cd\""},
        {u"a\"\"b", u"a\"\"b"},
        {u" \"lead\"", u" \"lead\""},
        {u"\"never closed", u"\"never closed"},
        {u"\"12 inch", u"\"12 inch"},  // a stray quote: the next row's TAB ends its run
        {u"\"\u00e9t\u00e9\t\U0001F600\"", u"\u00e9t\u00e9\t\U0001F600"},
    };
    for (const Case& c : cases) {
        std::u16string text = u"CardName\tNotes\r\nfirst\t";
        text += c.source;
        text += u"\r\nlast\tok\r\n";
        const TabTextTable table = split(text);
        const std::string shown = to_utf8(c.source);
        EXPECT_EQ(table.cell(1, 1), c.cell) << shown;
        EXPECT_EQ(table.cell(1, 0), u"first") << shown;
        ASSERT_EQ(table.rows(), 3u) << shown;
        EXPECT_EQ(table.cell(2, 0), u"last") << shown;
        EXPECT_EQ(table.cell(2, 1), u"ok") << shown;
    }
}

TEST(TextImportSplit, QuotesInTheHeaderAndNameColumn) {
    const TabTextTable table =
        split(u"\"Card Name\"\t\"User\tName\"\r\n\"Visa\r\nGold\"\t\"x\"\"y\"\r\n");
    EXPECT_EQ(table.columns(), 2u);
    EXPECT_EQ(rows_of(table), (Rows{{u"Card Name", u"User\tName"}, {u"Visa\r\nGold", u"x\"y"}}));
}

// A quoted run over a line break is a spreadsheet's cell only when it holds no TAB and its
// closing quote ends the cell; otherwise the opening quote is stray and the lines after it keep
// their rows.
TEST(TextImportSplit, AStrayQuoteKeepsTheLinesAfterIt) {
    struct Case {
        const char* name;
        std::u16string_view data;
        Rows rows;
    };
    const std::vector<Case> cases = {
        {"the next line holds a TAB",
         u"a\t\"12 inch\r\nb\tx\r\n",
         {{u"a", u"\"12 inch"}, {u"b", u"x"}}},
        {"a quote in the middle of the next line's name",
         u"a\t\"12 inch\r\nThe \"Club\"\tx\r\n",
         {{u"a", u"\"12 inch"}, {u"The \"Club\"", u"x"}}},
        {"the next line's name is quoted",
         u"a\t\"12 inch\r\n\"Visa\" Gold\tx\r\n",
         {{u"a", u"\"12 inch"}, {u"Visa Gold", u"x"}}},
        {"a spreadsheet's cell over lines, quotes doubled, at the end of the text",
         u"a\t\"line\r\nsay \"\"hi\"\"\"",
         {{u"a", u"line\r\nsay \"hi\""}}},
        {"a spreadsheet's cell over lines before a TAB",
         u"\"Visa\nGold\"\tx\r\n",
         {{u"Visa\r\nGold", u"x"}}},
    };
    for (const Case& c : cases) {
        Rows expected = {{u"CardName", u"Note"}};
        expected.insert(expected.end(), c.rows.begin(), c.rows.end());
        EXPECT_EQ(rows_of(split(u"CardName\tNote\r\n" + std::u16string(c.data))), expected)
            << c.name;
    }
}

TEST(TextImportSplit, IrregularRowsKeepTheirOwnCells) {
    const TabTextTable table = split(
        u"CardName\tA\tB\r\n"
        u"short\r\n"
        u"long\t1\t2\t3\t4\r\n"
        u"\r\n"
        u"next\tx\ty\r\n"
        u"\t\tz\r\n");
    EXPECT_EQ(table.columns(), 3u);
    EXPECT_EQ(rows_of(table), (Rows{{u"CardName", u"A", u"B"},
                                    {u"short", u"", u""},
                                    {u"long", u"1", u"2"},
                                    {u"", u"", u""},
                                    {u"next", u"x", u"y"},
                                    {u"", u"", u"z"}}));
    EXPECT_EQ(table.cell(2, 3), u"") << "cells beyond the first row's are not kept";
    EXPECT_EQ(table.stored_cells(2), 3u);
    EXPECT_EQ(table.stored_cells(3), 0u);
    EXPECT_EQ(table.cell(99, 0), u"");
    EXPECT_EQ(table.cell(0, 99), u"");
}

TEST(TextImportSplit, LargeInputsStayLinear) {
    // An unclosed quote at the top, then many cells that open with quotes: a parser that looked
    // for the closing quote again and again would take hours here.
    const size_t lines = 200000;
    std::u16string text = u"CardName\tNotes\r\n\"open\t\"\"y\"\"\r\n";
    for (size_t i = 0; i < lines; ++i) text += u"\"\"x\t\"\"y\"\"\r\n";
    TabTextTable table = split(text);
    ASSERT_EQ(table.rows(), lines + 2);
    EXPECT_EQ(table.cell(1, 0), u"\"open");
    EXPECT_EQ(table.cell(1, 1), u"y\"\"");
    EXPECT_EQ(table.cell(lines + 1, 0), u"x");
    EXPECT_EQ(table.cell(lines + 1, 1), u"y\"\"");

    // One line of four million TABs keeps only the first row's count of cells.
    std::u16string wide = u"CardName\tA\r\nrow" + std::u16string(4000000, u'\t') + u"end";
    table = split(wide);
    EXPECT_EQ(table.rows(), 2u);
    EXPECT_LE(table.stored_cells(1), 2u);

    // One cell of eight million units.
    std::u16string tall = u"CardName\tA\r\nrow\t\"" + std::u16string(8000000, u'v') + u"\"";
    table = split(tall);
    EXPECT_EQ(table.cell(1, 1).size(), 8000000u);
}

// ---------------------------------------------------------------------------------------------
// Header and data rows

TEST(TextImportRows, FirstRowNamesTheColumns) {
    auto columns = [](size_t n) {
        std::u16string header = u"CardName";
        for (size_t i = 1; i < n; ++i) header += u"\tF";
        return header + u"\r\nx\t1\r\n";
    };
    struct Case {
        const char* name;
        std::u16string text;
        std::optional<size_t> data_rows;
    };
    const std::vector<Case> cases = {
        {"CardName", u"CardName\tA\r\nx\t1\r\n", 1},
        {"lower case", u"cardname\tA\nx\t1", 1},
        {"card name", u"card name\tA\nx\t1\ny\t2", 2},
        {"upper case with space", u"CARD NAME\tA\nx\t1", 1},
        {"quoted", u"\"Card Name\"\tA\nx\t1", 1},
        {"another name", u"Name\tA\nx\t1", std::nullopt},
        {"two spaces", u"Card  Name\tA\nx\t1", std::nullopt},
        {"name in the second column", u"A\tCardName\nx\t1", std::nullopt},
        {"one column", u"CardName\nx\ny", std::nullopt},
        {"header only", u"CardName\tA\r\n", std::nullopt},
        {"header only without line end", u"CardName\tA", std::nullopt},
        {"header and blank lines", u"CardName\tA\r\n\r\n\t\r\n", std::nullopt},
        {"nothing", u"", std::nullopt},
        {"trailing blank rows are no cards", u"CardName\tA\r\nx\t1\r\n\r\n\t\t\r\n", 1},
        {"a last row with a value but no name is a card", u"CardName\tA\r\nx\t1\r\n\t2\r\n", 2},
        {"a blank row between cards stays a row", u"CardName\tA\r\nx\t1\r\n\r\ny\t2", 3},
        {"256 columns", columns(256), 1},
        {"257 columns: the first 255 fields are imported", columns(257), 1},
    };
    for (const Case& c : cases) EXPECT_EQ(import_data_rows(split(c.text)), c.data_rows) << c.name;
}

// ---------------------------------------------------------------------------------------------
// The wallet side

class TextImportTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(doc.create(wallet, u"secret", std::nullopt, false), CreateResult::Created);
        ASSERT_EQ(doc.load(wallet, u"secret"), OpenResult::Opened);
    }

    std::filesystem::path write(const std::string& name, const Bytes8& bytes) {
        const std::filesystem::path path = dir / name;
        test::write_file_bytes(path, bytes);
        return path;
    }

    // The imported folders' cards, by folder: name, icon, then each field's label, value and
    // kind, from the document as it is now.
    struct ImportedCard {
        std::u16string name;
        int32_t icon = 0;
        std::vector<std::u16string> fields;  // "label=value"
        std::vector<uint16_t> kinds;
        bool operator==(const ImportedCard&) const = default;
    };
    std::vector<ImportedCard> cards_in(int folder) {
        std::vector<ImportedCard> out;
        for (int index : test::children_in_list_order(doc, folder)) {
            auto card = doc.load_card(index);
            if (!card) {
                ADD_FAILURE() << "card " << index << " cannot be loaded";
                continue;
            }
            ImportedCard c{card->node()->name(), card->node()->icon(), {}, {}};
            for (const FieldRecord& f : card->fields()) {
                c.fields.push_back(f.label() + u"=" + f.value().plain());
                c.kinds.push_back(f.kind());
            }
            out.push_back(std::move(c));
        }
        return out;
    }

    static std::u16string numbered_rows(size_t n) {
        std::u16string text = u"CardName\tNumber\r\n";
        for (size_t i = 1; i <= n; ++i) {
            const std::string s = std::to_string(i);
            text += u"Card " + from_utf8(s) + u"\t" + from_utf8(s) + u"\r\n";
        }
        return text;
    }

    test::DeterministicEnvironment env;
    test::MapTextSource texts{{
        {20001, u"Keystash Pro"},
        {20203, u"My Forms"},
        {20500, u"Error"},
        {20504, u"Confirm"},
        {20518, u"Card Name"},
        {22040, u"Import cards into a new folder %s?"},
        {22041, u"Imported"},
        {22070, u"Unreadable"},
        {22071, u"Not a card list"},
        {22072, u"Import this card?"},
        {22073, u"(%d more)"},
        {22074, u"%d to come"},
        {22075, u"%d imported"},
        {22076, u"Write failed"},
        {22077, u"Too much"},
        {22078, u"%d rows read"},
        {22079, u"%d columns left out"},
    }};
    ScopedTextSource scope{&texts};
    ScopedLocaleFormats formats{LocaleFormats::en_us()};
    test::TempDir dir;
    std::filesystem::path wallet = dir / "import.ks5";
    WalletDocument doc;
};

TEST_F(TextImportTest, OpeningQuestion) {
    for (PromptAnswer answer : {PromptAnswer::Yes, PromptAnswer::No}) {
        test::ScriptedPrompt prompt({answer});
        EXPECT_EQ(confirm_text_import(prompt), answer == PromptAnswer::Yes);
        ASSERT_EQ(prompt.asked().size(), 1u);
        const PromptMessage& m = prompt.asked()[0];
        EXPECT_EQ(m.text, u"Import cards into a new folder Imported?");
        EXPECT_EQ(m.caption, u"Confirm");
        EXPECT_EQ(m.buttons, PromptButtons::YesNo);
    }
}

TEST_F(TextImportTest, CardsAsStored) {
    const auto file =
        write("cards.txt", utf16le(u"Card Name\tUser\tPassword\tNotes\r\n"
                                   u"Mail\tjane@example.com\tQuiet#7\t\r\n"
                                   u"Bank\tj.doe\r\n"
                                   u"Club\t\t\t\"Locker \"\"12\"\"\nby the door\"\r\n"));
    test::ScriptedPrompt prompt(std::vector<PromptAnswer>(3, PromptAnswer::Yes));
    const size_t before = doc.nodes().size();
    const TextImportResult result = import_text_file(doc, file, prompt);
    EXPECT_EQ(result.status, TextImportStatus::Done);
    EXPECT_EQ(result.imported, 3u);
    EXPECT_EQ(result.failed, 0u);
    EXPECT_FALSE(result.cancelled);
    ASSERT_NE(result.folder, kNoIndex);
    EXPECT_EQ(doc.nodes().size(), before + 4);

    const std::vector<ImportedCard> expected = {
        {u"Mail", 50, {u"User=jane@example.com", u"Password=Quiet#7", u"Notes="}, {15, 15, 15}},
        {u"Bank", 50, {u"User=j.doe", u"Password=", u"Notes="}, {15, 15, 15}},
        {u"Club",
         50,
         {u"User=", u"Password=", u"Notes=Locker \"12\"\r\nby the door"},
         {15, 15, 15}},
    };
    auto check = [&](const char* when) {
        const int folder = doc.list_index_of(doc.node(result.folder)->id());
        const TreeNode* node = doc.node(folder);
        ASSERT_TRUE(node) << when;
        EXPECT_EQ(node->kind(), NodeKind::Folder) << when;
        EXPECT_EQ(node->parent(), NodeId{}) << when;
        EXPECT_EQ(node->name(), u"Imported 3/5/2006") << when;
        EXPECT_EQ(node->icon(), 72) << when;
        EXPECT_EQ(cards_in(folder), expected) << when;
    };
    check("after the import");
    const NodeId folder_id = doc.node(result.folder)->id();
    doc.close();
    ASSERT_EQ(doc.load(wallet, u"secret"), OpenResult::Opened);
    ASSERT_NE(doc.list_index_of(folder_id), kNoIndex);
    const int reloaded = doc.list_index_of(folder_id);
    EXPECT_EQ(cards_in(reloaded), expected) << "after loading the wallet again";

    ASSERT_EQ(prompt.asked().size(), 4u);
    const PromptMessage& last = prompt.asked().back();
    EXPECT_EQ(last.text, u"3 imported\n3 rows read");
    EXPECT_EQ(last.caption, u"Keystash Pro");
    EXPECT_EQ(last.buttons, PromptButtons::Ok);
    EXPECT_EQ(last.icon, PromptIcon::Information);
}

// A stray opening quote swallows no row: a quoted run over a line break and a TAB is no
// spreadsheet cell, so its quote is read as it stands; and the report counts the rows read.
TEST_F(TextImportTest, AStrayQuoteSwallowsNoRows) {
    const auto file = write("stray.txt", utf16le(u"CardName\tNote\r\n"
                                                 u"a\t\"12 inch\r\n"
                                                 u"b\tx\r\n"
                                                 u"c\t\"y\"\r\n"));
    test::ScriptedPrompt prompt(std::vector<PromptAnswer>(3, PromptAnswer::Yes));
    const TextImportResult result = import_text_file(doc, file, prompt);
    EXPECT_EQ(result.rows_read, 3u);
    EXPECT_EQ(result.imported, 3u);
    const std::vector<ImportedCard> expected = {
        {u"a", 50, {u"Note=\"12 inch"}, {15}},
        {u"b", 50, {u"Note=x"}, {15}},
        {u"c", 50, {u"Note=y"}, {15}},
    };
    EXPECT_EQ(cards_in(result.folder), expected);
    EXPECT_EQ(prompt.asked().back().text, u"3 imported\n3 rows read");
}

// A card holds 255 fields: a wider file imports the name and the first 255 field columns, and
// says how many columns it left out.
TEST_F(TextImportTest, ColumnsPastTheLastFieldAreLeftOutAndCounted) {
    std::u16string text = u"CardName";
    for (int i = 1; i < 300; ++i) text += u"\tF" + from_utf8(std::to_string(i));
    text += u"\r\nwide";
    for (int i = 1; i < 300; ++i) text += u"\tv" + from_utf8(std::to_string(i));
    text += u"\r\n";
    const auto file = write("wide.txt", utf16le(text));
    test::ScriptedPrompt prompt({PromptAnswer::Yes});
    const TextImportResult result = import_text_file(doc, file, prompt);
    ASSERT_EQ(result.status, TextImportStatus::Done);
    EXPECT_EQ(result.imported, 1u);
    EXPECT_EQ(result.columns_left_out, 44u);
    const std::vector<int> cards = test::children_in_list_order(doc, result.folder);
    ASSERT_EQ(cards.size(), 1u);
    const auto card = doc.load_card(cards[0]);
    ASSERT_TRUE(card);
    ASSERT_EQ(card->fields().size(), 255u);
    EXPECT_EQ(card->fields().back().label(), u"F255");
    EXPECT_EQ(card->fields().back().value(), u"v255");
    EXPECT_EQ(prompt.asked().back().text, u"1 imported\n1 rows read\n44 columns left out");
}

TEST_F(TextImportTest, EveryEncodingImportsTheSameCards) {
    struct Case {
        const char* name;
        Bytes8 bytes;
    };
    const std::vector<Case> cases = {
        {"UTF-16LE with BOM", utf16le(kLatinList)}, {"UTF-16BE with BOM", utf16be(kLatinList)},
        {"UTF-8 with BOM", utf8_bom(kLatinList)},   {"UTF-8", utf8(kLatinList)},
        {"Windows-1252", cp1252(kLatinList)},
    };
    const std::vector<ImportedCard> expected = {
        {u"Caf\u00e9 cr\u00e8me",
         50,
         {u"Notes=S\u00fc\u00dfe \u00bd", u"Price=\u20ac5 \u2013 \u201cok\u201d"},
         {15, 15}},
        {u"Na\u00efve", 50, {u"Notes=\u00c5ngstr\u00f6m", u"Price=\u00a3 3"}, {15, 15}},
    };
    for (const Case& c : cases) {
        const auto file = write("list.txt", c.bytes);
        test::ScriptedPrompt prompt({PromptAnswer::Yes, PromptAnswer::Yes});
        const TextImportResult result = import_text_file(doc, file, prompt);
        ASSERT_EQ(result.status, TextImportStatus::Done) << c.name;
        EXPECT_EQ(result.imported, 2u) << c.name;
        EXPECT_EQ(cards_in(result.folder), expected) << c.name;
    }
}

TEST_F(TextImportTest, AskCardByCardThenOnceForTheRest) {
    using A = PromptAnswer;
    struct Case {
        const char* name;
        size_t rows;
        std::vector<A> answers;
        size_t imported;
        std::vector<std::u16string> questions;  // "P" for a preview, else the text asked
        bool cancelled = false;
    };
    const std::u16string P = u"P";
    const std::vector<Case> cases = {
        {"12 rows: four, then once for 8",
         12,
         {A::Yes, A::No, A::Yes, A::Yes, A::Yes},
         3 + 8,
         {P, P, P, P, u"8 to come", u"11 imported\n12 rows read"}},
        {"12 rows: once declined, then card by card",
         12,
         {A::Yes, A::Yes, A::Yes, A::Yes, A::No, A::Yes, A::No, A::No, A::No, A::No, A::No, A::No,
          A::Yes},
         6,
         {P, P, P, P, u"8 to come", P, P, P, P, P, P, P, P, u"6 imported\n12 rows read"}},
        {"12 rows: cancelled at the question",
         12,
         {A::Yes, A::Yes, A::No, A::No, A::Cancel},
         2,
         {P, P, P, P, u"8 to come", u"2 imported\n12 rows read"},
         true},
        {"10 rows ask once",
         10,
         {A::No, A::No, A::No, A::No, A::Yes},
         6,
         {P, P, P, P, u"6 to come", u"6 imported\n10 rows read"}},
        {"9 rows never ask once",
         9,
         std::vector<A>(9, A::Yes),
         9,
         {P, P, P, P, P, P, P, P, P, u"9 imported\n9 rows read"}},
        {"cancel at a preview", 6, {A::Yes, A::Cancel}, 1, {P, P, u"1 imported\n6 rows read"}, true},
        {"4 rows", 4, {A::Yes, A::Yes, A::Yes, A::Yes}, 4, {P, P, P, P, u"4 imported\n4 rows read"}},
    };
    for (const Case& c : cases) {
        const auto file = write("rows.txt", utf16le(numbered_rows(c.rows)));
        test::ScriptedPrompt prompt(c.answers);
        const TextImportResult result = import_text_file(doc, file, prompt);
        EXPECT_EQ(result.imported, c.imported) << c.name;
        EXPECT_EQ(result.cancelled, c.cancelled) << c.name;
        std::vector<std::u16string> asked;
        for (const PromptMessage& m : prompt.asked()) {
            const bool preview = m.text.starts_with(u"Import this card?\n\n");
            asked.push_back(preview ? P : m.text);
            if (preview || m.text.ends_with(u"to come")) {
                EXPECT_EQ(m.buttons, PromptButtons::YesNoCancel) << c.name;
                EXPECT_EQ(m.caption, u"Confirm") << c.name;
            }
        }
        EXPECT_EQ(asked, c.questions) << c.name;
        ASSERT_NE(result.folder, kNoIndex) << c.name;
        EXPECT_EQ(test::children_in_list_order(doc, result.folder).size(), c.imported) << c.name;
    }
}

TEST_F(TextImportTest, PreviewsShowTheRowsOwnCells) {
    const auto file = write("rows.txt", utf16le(u"CardName\tUser\tPin\r\n"
                                                u"first\tjane\r\n"
                                                u"second\tjoe\t1234\t\textra\r\n"
                                                u"third\tann\t99\r\n"));
    test::ScriptedPrompt prompt({PromptAnswer::No, PromptAnswer::No, PromptAnswer::No});
    import_text_file(doc, file, prompt);
    ASSERT_EQ(prompt.asked().size(), 3u);
    EXPECT_EQ(prompt.asked()[0].text,
              u"Import this card?\n\nCard Name: first\nUser: jane\nPin: \n");
    EXPECT_EQ(prompt.asked()[1].text,
              u"Import this card?\n\nCard Name: second\nUser: joe\nPin: 1234\n");
    EXPECT_EQ(prompt.asked()[2].text,
              u"Import this card?\n\nCard Name: third\nUser: ann\nPin: 99\n");
}

TEST_F(TextImportTest, PreviewLimits) {
    const std::u16string l50(50, u'L'), v110(110, u'v');
    struct Case {
        const char* name;
        std::u16string label;
        std::u16string value;
        std::u16string line;  // the preview's line for column 1
    };
    const std::vector<Case> cases = {
        {"short", u"User", u"jane", u"User: jane\n"},
        {"label of 50", l50, u"x", l50 + u": x\n"},
        {"label of 51", l50 + u"M", u"x", l50 + u"...: x\n"},
        {"value of 110", u"N", v110, u"N: " + v110 + u"\n"},
        {"value of 111", u"N", v110 + u"w", u"N: " + v110 + u"...\n"},
        {"a pair is not split", u"N", std::u16string(109, u'v') + u"\U0001F600",
         u"N: " + std::u16string(109, u'v') + u"...\n"},
    };
    for (const Case& c : cases) {
        const TabTextTable table = split(u"CardName\t" + c.label + u"\r\nn\t" + c.value + u"\r\n");
        EXPECT_EQ(import_preview(table, 1), u"Import this card?\n\nCard Name: n\n" + c.line)
            << c.name;
    }

    struct Wide {
        size_t columns;
        std::u16string tail;
    };
    for (const Wide& w :
         std::vector<Wide>{{5, u"D: 4\n"}, {6, u"D: 4\n(1 more)"}, {9, u"D: 4\n(4 more)"}}) {
        std::u16string header = u"CardName", row = u"n";
        for (size_t i = 1; i < w.columns; ++i) {
            header += u"\t" + std::u16string(1, static_cast<char16_t>(u'A' + i - 1));
            row += u"\t" + from_utf8(std::to_string(i));
        }
        const std::u16string preview = import_preview(split(header + u"\n" + row), 1);
        EXPECT_TRUE(preview.ends_with(w.tail)) << w.columns << ": " << to_utf8(preview);
        EXPECT_EQ(preview.find(u"E: "), std::u16string::npos) << w.columns;
    }

    texts.set(22072, std::u16string(3000, u'h'));
    EXPECT_EQ(import_preview(split(u"CardName\tA\nn\t1"), 1), std::u16string(2047, u'h'));
}

TEST_F(TextImportTest, NothingChangesWithoutAYes) {
    using A = PromptAnswer;
    struct Case {
        const char* name;
        size_t rows;
        std::vector<A> answers;
        size_t questions;
    };
    const std::vector<Case> cases = {
        {"every card declined", 3, {A::No, A::No, A::No}, 3},
        {"cancelled at once", 3, {A::Cancel}, 1},
        {"four declined, then cancelled", 12, {A::No, A::No, A::No, A::No, A::Cancel}, 5},
        {"four declined, then all declined", 12, std::vector<A>(13, A::No), 13},
    };
    for (const Case& c : cases) {
        const auto file = write("rows.txt", utf8(numbered_rows(c.rows)));
        const Bytes8 before = test::read_file_bytes(wallet);
        const size_t nodes = doc.nodes().size();
        test::ScriptedPrompt prompt(c.answers);
        const TextImportResult result = import_text_file(doc, file, prompt);
        EXPECT_EQ(result.status, TextImportStatus::Done) << c.name;
        EXPECT_EQ(result.imported, 0u) << c.name;
        EXPECT_EQ(result.folder, kNoIndex) << c.name;
        EXPECT_EQ(prompt.asked().size(), c.questions) << c.name << ": no closing report";
        EXPECT_EQ(doc.nodes().size(), nodes) << c.name;
        EXPECT_EQ(test::read_file_bytes(wallet), before) << c.name;
    }
}

// A header of 255 long labels and many one-letter rows: a few hundred kilobytes that would make
// a wallet of over 30 MB, each card repeating every label.
std::u16string amplifying_list() {
    std::u16string text = u"CardName";
    for (int i = 0; i < 255; ++i) text += u"\t" + std::u16string(300, u'L');
    text += u"\r\n";
    for (int i = 0; i < 200; ++i) text += u"x\r\n";
    return text;
}

// Labels are cut to what the wallet keeps for a name, without splitting a surrogate pair; the
// bound counts exactly what the import then adds to the file.
TEST_F(TextImportTest, LabelsAreCutAndTheBoundCountsTheStoredBytes) {
    const std::u16string long_label(300, u'a');
    const std::u16string pair_at_the_cut = std::u16string(254, u'b') + u"\U0001F511" + u"tail";
    const auto table = parse_tab_text(utf8(u"CardName\t" + long_label + u"\t" + pair_at_the_cut +
                                           u"\tShort\r\nMail\tv\t\t\"quoted\"\r\nBank\r\n"));
    ASSERT_TRUE(table);
    const uintmax_t before = std::filesystem::file_size(wallet);
    AcceptingPrompt yes;
    const TextImportResult result = import_tab_table(doc, *table, yes);
    ASSERT_EQ(result.status, TextImportStatus::Done);
    ASSERT_EQ(result.imported, 2u);
    const ImportSize size = import_size(*table);
    EXPECT_EQ(std::filesystem::file_size(wallet) - before, size.needed);
    EXPECT_EQ(size.allowed, kImportAllowanceBytes + kImportGrowthFactor * table->source_bytes());

    const std::u16string cut_a(255, u'a'), cut_b(254, u'b');
    const std::vector<ImportedCard> expected = {
        {u"Mail", 50, {cut_a + u"=v", cut_b + u"=", u"Short=quoted"}, {15, 15, 15}},
        {u"Bank", 50, {cut_a + u"=", cut_b + u"=", u"Short="}, {15, 15, 15}},
    };
    EXPECT_EQ(cards_in(result.folder), expected);
}

TEST_F(TextImportTest, TheBoundLetsUsualListsThrough) {
    // Ten filled columns, 5 000 cards: far beyond the allowance, well within the factor.
    std::u16string dense = u"CardName";
    for (int c = 1; c < 10; ++c) dense += u"\tColumn " + from_utf8(std::to_string(c));
    dense += u"\r\n";
    for (int r = 0; r < 5000; ++r) {
        dense += u"Card " + from_utf8(std::to_string(r));
        for (int c = 1; c < 10; ++c) dense += u"\tvalue " + from_utf8(std::to_string(r * c));
        dense += u"\r\n";
    }
    const ImportSize size = import_size(*parse_tab_text(utf8(dense)));
    EXPECT_GT(size.needed, kImportAllowanceBytes);
    EXPECT_TRUE(size.within()) << size.needed << " of " << size.allowed;

    const ImportSize amplified = import_size(*parse_tab_text(utf8(amplifying_list())));
    EXPECT_FALSE(amplified.within()) << amplified.needed << " of " << amplified.allowed;
}

TEST_F(TextImportTest, FilesThatCannotBeImported) {
    const std::filesystem::path sparse = dir / "huge.txt";
    {
        File f = File::open(sparse, FileMode::CreateNew);
        ASSERT_TRUE(f.set_size(kMaxImportFileBytes + 1));
    }
    std::filesystem::create_directory(dir / "folder.txt");
    struct Case {
        const char* name;
        std::filesystem::path path;
        TabTextReadError error;
        TextImportStatus status;
        std::u16string message;
    };
    const std::vector<Case> cases = {
        {"missing", dir / "missing.txt", TabTextReadError::CannotOpen, TextImportStatus::Unreadable,
         u"Unreadable"},
        {"a folder", dir / "folder.txt", TabTextReadError::CannotOpen, TextImportStatus::Unreadable,
         u"Unreadable"},
        {"empty", write("empty.txt", {}), TabTextReadError::Empty, TextImportStatus::Unreadable,
         u"Unreadable"},
        {"only a mark", write("bom.txt", {0xFF, 0xFE}), TabTextReadError::Empty,
         TextImportStatus::Unreadable, u"Unreadable"},
        {"too large", sparse, TabTextReadError::TooLarge, TextImportStatus::Unreadable,
         u"Unreadable"},
        {"header only", write("head.txt", utf8(u"CardName\tUser\r\n")), TabTextReadError::None,
         TextImportStatus::NotACardList, u"Not a card list"},
        {"no CardName", write("other.txt", utf8(u"Name\tUser\r\nx\ty\r\n")), TabTextReadError::None,
         TextImportStatus::NotACardList, u"Not a card list"},
        {"cards far larger than the file", write("amplifying.txt", utf8(amplifying_list())),
         TabTextReadError::None, TextImportStatus::TooMuch, u"Too much"},
    };
    for (const Case& c : cases) {
        TabTextReadError error = TabTextReadError::None;
        const bool read = read_tab_text_file(c.path, &error).has_value();
        EXPECT_EQ(read, c.error == TabTextReadError::None) << c.name;
        EXPECT_EQ(error, c.error) << c.name;

        const Bytes8 before = test::read_file_bytes(wallet);
        test::ScriptedPrompt prompt({PromptAnswer::Yes, PromptAnswer::Yes});
        const TextImportResult result = import_text_file(doc, c.path, prompt);
        EXPECT_EQ(result.status, c.status) << c.name;
        EXPECT_EQ(result.imported, 0u) << c.name;
        ASSERT_EQ(prompt.asked().size(), 1u) << c.name;
        EXPECT_EQ(prompt.asked()[0].text, c.message) << c.name;
        EXPECT_EQ(prompt.asked()[0].caption, u"Error") << c.name;
        EXPECT_EQ(prompt.asked()[0].icon, PromptIcon::Error) << c.name;
        EXPECT_EQ(test::read_file_bytes(wallet), before) << c.name;
    }
}

TEST_F(TextImportTest, AWalletOpenForReadingIsReportedNotChanged) {
    doc.close();
    ASSERT_EQ(doc.load(wallet, u"secret", true), OpenResult::Opened);
    const Bytes8 before = test::read_file_bytes(wallet);
    const auto file = write("rows.txt", utf8(numbered_rows(2)));
    test::ScriptedPrompt prompt({PromptAnswer::Yes, PromptAnswer::Yes});
    const TextImportResult result = import_text_file(doc, file, prompt);
    EXPECT_EQ(result.status, TextImportStatus::WriteFailed);
    EXPECT_EQ(result.imported, 0u);
    ASSERT_EQ(prompt.asked().size(), 1u);
    EXPECT_EQ(prompt.asked()[0].text, u"Write failed");
    EXPECT_EQ(prompt.asked()[0].icon, PromptIcon::Error);
    EXPECT_EQ(test::read_file_bytes(wallet), before);
}

// Interrupting an import at any change to the wallet loses none of the cards it held, keeps
// every card the import stored before the interruption whole, and reports the failure.
TEST_F(TextImportTest, InterruptedImportLosesNothing) {
    Card card = doc.new_card({});
    card.node()->set_name(u"Kept");
    FieldRecord field;
    field.set_label(u"User");
    field.set_value(u"me");
    card.insert_field(field);
    ASSERT_GE(doc.store_card(card), 0);
    doc.close();
    const auto before = test::reopen(wallet, {u"secret"});
    ASSERT_TRUE(before);
    const auto table = parse_tab_text(utf8(numbered_rows(3)));
    ASSERT_TRUE(table);

    const std::filesystem::path copy = dir / "faulted.ks5";
    test::FaultedOperation import{"text import",
                                  [&](std::optional<FaultPlan> plan) {
                                      std::filesystem::remove(copy);
                                      std::filesystem::copy_file(wallet, copy);
                                      WalletDocument d;
                                      EXPECT_EQ(d.load(copy, u"secret"), OpenResult::Opened);
                                      test::RepeatableIds same_ids(5);
                                      AcceptingPrompt yes;
                                      test::ArmedFault fault(plan);
                                      const TextImportResult r = import_tab_table(d, *table, yes);
                                      return r.status == TextImportStatus::Done &&
                                             r.imported == 3 && r.failed == 0;
                                  },
                                  [&] { return test::reopen(copy, {u"secret"}); }};
    test::report_tally(test::run_fault_loop(import, *before));
}

}  // namespace
}  // namespace ks
