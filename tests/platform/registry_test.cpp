#include "platform/registry.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/file.h"
#include "platform/text.h"
#include "support/test_support.h"

namespace fs = std::filesystem;

namespace ks {
namespace {

constexpr auto HKCU = RegistryRoot::CurrentUser;
constexpr auto HKCR = RegistryRoot::ClassesRoot;

std::string read_text(const fs::path& path) {
    const auto bytes = test::read_file_bytes(path);
    return std::string(bytes.begin(), bytes.end());
}

void write_text(const fs::path& path, std::string_view text) {
    test::write_file_bytes(path, std::vector<uint8_t>(text.begin(), text.end()));
}

// A UTF-16LE registry file with its byte order mark.
std::string utf16_file(std::u16string_view text) {
    std::string bytes = "\xFF\xFE";
    for (char16_t c : text) {
        bytes.push_back(char(c & 0xFF));
        bytes.push_back(char(c >> 8));
    }
    return bytes;
}

// A key path of `depth` parts, each "k".
std::u16string nested_path(size_t depth) {
    std::u16string path = u"k";
    for (size_t i = 1; i < depth; ++i) path += u"\\k";
    return path;
}

RegistryValue binary_of_kind(std::vector<uint8_t> bytes, uint32_t kind) {
    RegistryValue value = RegistryValue::of_binary(bytes);
    value.binary_kind = kind;
    return value;
}

std::vector<std::string> folder_entries(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

class RegistryStoreTest : public ::testing::Test {
  protected:
    fs::path folder() const { return dir_.path() / "config"; }
    fs::path file() const { return folder() / Registry::kFileName; }

    void write_file(std::string_view text) {
        fs::create_directories(folder());
        write_text(file(), text);
    }

    test::TempDir dir_;
};

// ---- Round trips -----------------------------------------------------------------------------

TEST_F(RegistryStoreTest, ValuesOfEveryTypeSurviveSaveAndLoad) {
    std::vector<uint8_t> long_binary(200);
    for (size_t i = 0; i < long_binary.size(); ++i) long_binary[i] = uint8_t(i * 7);

    struct Case {
        RegistryRoot root;
        std::u16string path;
        std::u16string name;
        RegistryValue value;
    };
    const std::vector<Case> cases = {
        {HKCU, u"Software\\Test", u"Ten", RegistryValue::of_dword(10)},
        {HKCU, u"Software\\Test", u"Max", RegistryValue::of_dword(0xFFFFFFFF)},
        {HKCU, u"Software\\Test", u"Zero", RegistryValue::of_dword(0)},
        {HKCU, u"Software\\Test", u"", RegistryValue::of_string(u"default value")},
        {HKCU, u"Software\\Test", u"Quotes", RegistryValue::of_string(u"say \"hi\" \\ bye\\")},
        {HKCU, u"Software\\Test", u"Empty", RegistryValue::of_string(u"")},
        {HKCU, u"Software\\Test", u"Unicode", RegistryValue::of_string(u"Zürich – 東京 €")},
        {HKCU, u"Software\\Test", u"Beyond the BMP 🔑", RegistryValue::of_string(u"𝄞 key 🔑")},
        {HKCU, u"Software\\Keys 🔑", u"Pair", RegistryValue::of_string(u"\"🔑\"")},
        {HKCU, u"Software\\Test", u"Lines", RegistryValue::of_string(u"one\r\ntwo\tthree")},
        {HKCU, u"Software\\Test", u"Controls",
         RegistryValue::of_string(u"\t\x01\x1f\x7f\r \"\\\r")},
        {HKCU, u"Software\\Test", u"Zeros", RegistryValue::of_string(std::u16string(u"a\0b\0", 4))},
        {HKCU, u"Software\\Test", u"Zeros and a line",
         RegistryValue::of_string(std::u16string(u"\0\n\0", 3))},
        {HKCU, u"Software\\Test", u"Unpaired", RegistryValue::of_string(u"\xDC00 x \xD800")},
        {HKCU, u"Software\\Odd \t]\r-\"", std::u16string(u"\t\r\0 ]\"", 6),
         RegistryValue::of_string(u"odd names")},
        {HKCU, u"Software\\Test", u"Kind 7", binary_of_kind({0x61, 0, 0, 0}, 7)},
        {HKCU, u"Software\\Test", u"Odd kind 1", binary_of_kind({1, 2, 3}, 1)},
        {HKCU, u"Software\\Test", u"Name \"with\" \\ marks", RegistryValue::of_dword(3)},
        {HKCU, u"Software\\Test", u"Bytes", RegistryValue::of_binary(long_binary)},
        {HKCU, u"Software\\Test", u"NoBytes", RegistryValue::of_binary({})},
        {HKCU, u"", u"AtRoot", RegistryValue::of_dword(5)},
        {HKCR, u".ks5", u"", RegistryValue::of_string(u"KeystashProDocument")},
        {HKCR, u"Class\\Shell\\Open\\Command", u"", RegistryValue::of_string(u"\"/a b/p\" %1")},
    };

    Registry out;
    out.load(folder());
    for (const auto& c : cases) ASSERT_TRUE(out.set_value(c.root, c.path, c.name, c.value));
    ASSERT_TRUE(out.create_key(HKCU, u"Software\\Empty\\Leaf"));
    ASSERT_TRUE(out.save()) << to_utf8(registry_error_message(out.error()));

    Registry in;
    ASSERT_TRUE(in.load(folder()));
    for (const auto& c : cases) {
        SCOPED_TRACE(to_utf8(c.path + u" / " + c.name));
        EXPECT_EQ(in.get_value(c.root, c.path, c.name), c.value);
    }
    EXPECT_TRUE(in.key_exists(HKCU, u"Software\\Empty\\Leaf"));
    EXPECT_EQ(in.to_text(), out.to_text());
}

// Binary data of the string and DWORD kinds reads back as a string or a DWORD, so the store
// keeps it that way from the start.
TEST_F(RegistryStoreTest, BinaryOfStringAndDwordKindsIsKeptAsItReadsBack) {
    struct Case {
        const char* what;
        RegistryValue set;
        RegistryValue kept;
    };
    const std::vector<Case> cases = {
        {"kind 4, four bytes", binary_of_kind({1, 0, 0, 2}, 4),
         RegistryValue::of_dword(0x02000001)},
        {"kind 4, three bytes", binary_of_kind({1, 0, 0}, 4), binary_of_kind({1, 0, 0}, 4)},
        {"kind 1, even", binary_of_kind({0x41, 0, 0, 0}, 1), RegistryValue::of_string(u"A")},
        {"kind 1, inner zero", binary_of_kind({0, 0, 0x41, 0}, 1),
         RegistryValue::of_string(std::u16string(u"\0A", 2))},
        {"a DWORD carrying stray members",
         [] {
             RegistryValue v = RegistryValue::of_string(u"stray");
             v.type = RegistryValueType::Dword;
             v.dword = 5;
             v.binary = {1};
             v.binary_kind = 7;
             return v;
         }(),
         RegistryValue::of_dword(5)},
    };
    Registry out;
    out.load(folder());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(out.set_value(HKCU, u"S", from_utf8(c.what), c.set));
        EXPECT_EQ(out.get_value(HKCU, u"S", from_utf8(c.what)), c.kept);
    }
    ASSERT_TRUE(out.save());
    Registry in;
    ASSERT_TRUE(in.load(folder()));
    for (const Case& c : cases)
        EXPECT_EQ(in.get_value(HKCU, u"S", from_utf8(c.what)), c.kept) << c.what;
}

// A file of a long run of tabs in a quoted text, as an editor may leave it, is written back as
// it was read: six bytes per tab in hexadecimal would pass the size the store reads.
TEST_F(RegistryStoreTest, TabsAndControlsStayQuoted) {
    const std::string tabs(3u * 1024 * 1024, '\t');
    write_file("Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\S]\n\"T\"=\"" + tabs +
               "\"\n");
    Registry reg;
    ASSERT_TRUE(reg.load(folder()));
    reg.set_dword(HKCU, u"S", u"D", 1);
    ASSERT_TRUE(reg.save()) << to_utf8(registry_error_message(reg.error()));
    EXPECT_LT(fs::file_size(file()), tabs.size() + 200);
    Registry again;
    ASSERT_TRUE(again.load(folder())) << to_utf8(registry_error_message(again.error()));
    EXPECT_EQ(again.get_string(HKCU, u"S", u"T"), std::u16string(tabs.size(), u'\t'));
    again.set_dword(HKCU, u"S", u"D", 2);
    EXPECT_TRUE(again.save());
}

// The longest value of each written form that the store accepts saves and loads back; one unit
// more is refused when set. A store of several such values is refused at the save, and the file
// on disk stays as it was and readable.
TEST_F(RegistryStoreTest, WorstCaseValuesSaveAndLoadBack) {
    struct Form {
        const char* what;
        std::function<RegistryValue(size_t)> value;
    };
    const std::vector<Form> forms = {
        {"hexadecimal text",
         [](size_t n) { return RegistryValue::of_string(std::u16string(n, u'\n')); }},
        {"quoted text of three-byte characters",
         [](size_t n) { return RegistryValue::of_string(std::u16string(n, u'\u20ac')); }},
        {"binary data",
         [](size_t n) { return RegistryValue::of_binary(std::vector<uint8_t>(n, 0xAB)); }},
    };
    const std::u16string name(16383, u'n');  // the longest value name
    const std::u16string path = nested_path(512);
    std::vector<RegistryValue> largest;
    for (const Form& form : forms) {
        SCOPED_TRACE(form.what);
        Registry probe;
        size_t fits = 0, refused = 4u * 1024 * 1024 + 1;  // a line holds at most 4 MiB
        while (refused - fits > 1) {
            const size_t mid = fits + (refused - fits) / 2;
            (probe.set_value(HKCU, path, name, form.value(mid)) ? fits : refused) = mid;
        }
        EXPECT_EQ(probe.error().code, RegistryErrorCode::TooLarge);
        EXPECT_GT(fits, 500'000u);
        largest.push_back(form.value(fits));

        fs::remove_all(folder());
        Registry out;
        out.load(folder());
        ASSERT_TRUE(out.set_value(HKCU, path, name, largest.back()));
        ASSERT_TRUE(out.save()) << to_utf8(registry_error_message(out.error()));
        Registry in;
        ASSERT_TRUE(in.load(folder())) << to_utf8(registry_error_message(in.error()));
        EXPECT_TRUE(in.get_value(HKCU, path, name) == largest.back());
    }

    const std::string before = read_text(file());
    Registry many;
    ASSERT_TRUE(many.load(folder()));
    for (size_t i = 0; i < 5; ++i)
        ASSERT_TRUE(
            many.set_value(HKCU, u"S", from_utf8(std::to_string(i)), largest[i % largest.size()]));
    EXPECT_FALSE(many.save());
    EXPECT_EQ(many.error().code, RegistryErrorCode::TooLarge);
    EXPECT_EQ(many.error().path, file());
    EXPECT_TRUE(read_text(file()) == before);
    Registry still;
    EXPECT_TRUE(still.load(folder()));
}

TEST_F(RegistryStoreTest, WritesTheEditorTextFormat) {
    Registry reg;
    reg.load(folder());
    reg.set_dword(HKCU, u"Software\\Test", u"Count", 10);
    reg.set_string(HKCU, u"Software\\Test", u"Path", u"C:\\x \"y\"");
    reg.set_string(HKCU, u"Software\\Test", u"", u"def");
    const std::vector<uint8_t> bytes(40, 0xAB);
    reg.set_binary(HKCU, u"Software\\Test", u"Keys", bytes);
    ASSERT_TRUE(reg.save());

    const std::string text = read_text(file());
    EXPECT_EQ(text.rfind("Windows Registry Editor Version 5.00\n\n", 0), 0u) << text;
    // A key holding only subkeys gets no line: its subkeys' lines make it when read.
    EXPECT_EQ(text.find("[HKEY_CURRENT_USER\\Software]\n"), std::string::npos) << text;
    EXPECT_NE(text.find("[HKEY_CURRENT_USER\\Software\\Test]\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\"Count\"=dword:0000000a\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\"Path\"=\"C:\\\\x \\\"y\\\"\"\n"), std::string::npos) << text;
    EXPECT_NE(text.find("@=\"def\"\n"), std::string::npos) << text;
    // Long binary data continues on indented lines ending in a backslash; no line passes 80
    // columns.
    EXPECT_NE(text.find("\"Keys\"=hex:ab,ab,"), std::string::npos) << text;
    EXPECT_NE(text.find(",\\\n  ab,"), std::string::npos) << text;
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = text.find('\n', start);
        EXPECT_LE(end - start, 80u) << text.substr(start, end - start);
        start = end + 1;
    }
    // Folder and file are private to the user; no temporary file is left behind.
    EXPECT_EQ(fs::status(file()).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(fs::status(folder()).permissions() & fs::perms::all, fs::perms::owner_all);
    EXPECT_EQ(folder_entries(folder()),
              (std::vector<std::string>{"registry.lock", "registry.reg"}));
}

// ---- Reading files written by hand or by other tools --------------------------------------

TEST(RegistryParseTest, ReadsHandWrittenForms) {
    struct Case {
        const char* what;
        std::string text;
        RegistryRoot root;
        std::u16string path;
        std::u16string name;
        std::optional<RegistryValue> expected;
    };
    const std::string head = "Windows Registry Editor Version 5.00\n\n";
    const std::vector<Case> cases = {
        {"colour typed by hand", head + "[HKEY_CURRENT_USER\\S]\n\"Color\"=dword:ff\n", HKCU, u"S",
         u"Color", RegistryValue::of_dword(0xFF)},
        {"upper-case hex digits and keyword",
         head + "[HKEY_CURRENT_USER\\S]\n\"C\"=DWORD:00FF00AB\n", HKCU, u"S", u"C",
         RegistryValue::of_dword(0xFF00AB)},
        {"blanks around the equals sign", head + "[HKEY_CURRENT_USER\\S]\n  \"C\" = dword:1  \n",
         HKCU, u"S", u"C", RegistryValue::of_dword(1)},
        {"CRLF line ends",
         "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\S]\r\n\"P\"=\"/a\"\r\n",
         HKCU, u"S", u"P", RegistryValue::of_string(u"/a")},
        {"comment lines", head + "; note\n[HKEY_CURRENT_USER\\S]\n;\"P\"=\"x\"\n\"Q\"=\"y\"\n",
         HKCU, u"S", u"P", std::nullopt},
        {"path with a lone backslash", head + "[HKEY_CURRENT_USER\\S]\n\"P\"=\"C:\\dir\\f.ks5\"\n",
         HKCU, u"S", u"P", RegistryValue::of_string(u"C:\\dir\\f.ks5")},
        {"default value", head + "[HKEY_CLASSES_ROOT\\.ks5]\n@=\"KeystashProDocument\"\n", HKCR,
         u".ks5", u"", RegistryValue::of_string(u"KeystashProDocument")},
        {"lower-case root name", head + "[hkey_current_user\\S]\n\"D\"=dword:2\n", HKCU, u"S", u"D",
         RegistryValue::of_dword(2)},
        {"binary continued over lines",
         head + "[HKEY_CURRENT_USER\\S]\n\"B\"=hex:01,02,\\\n  03,04,\\\n  05\n", HKCU, u"S", u"B",
         RegistryValue::of_binary(std::vector<uint8_t>{1, 2, 3, 4, 5})},
        {"binary with one-digit bytes", head + "[HKEY_CURRENT_USER\\S]\n\"B\"=hex:1,a,FF\n", HKCU,
         u"S", u"B", RegistryValue::of_binary(std::vector<uint8_t>{1, 10, 255})},
        {"empty binary", head + "[HKEY_CURRENT_USER\\S]\n\"B\"=hex:\n", HKCU, u"S", u"B",
         RegistryValue::of_binary({})},
        {"DWORD written as hex(4)", head + "[HKEY_CURRENT_USER\\S]\n\"D\"=hex(4):0a,00,00,01\n",
         HKCU, u"S", u"D", RegistryValue::of_dword(0x0100000A)},
        {"string written as hex(1)",
         head + "[HKEY_CURRENT_USER\\S]\n\"T\"=hex(1):41,00,0a,00,42,00,00,00\n", HKCU, u"S", u"T",
         RegistryValue::of_string(u"A\nB")},
        {"value deleted by a later line", head + "[HKEY_CURRENT_USER\\S]\n\"D\"=dword:1\n\"D\"=-\n",
         HKCU, u"S", u"D", std::nullopt},
        {"key deleted by a later section",
         head + "[HKEY_CURRENT_USER\\S\\T]\n\"D\"=dword:1\n[-HKEY_CURRENT_USER\\S]\n", HKCU,
         u"S\\T", u"D", std::nullopt},
        {"older header", "REGEDIT4\n\n[HKEY_CURRENT_USER\\S]\n\"D\"=dword:7\n", HKCU, u"S", u"D",
         RegistryValue::of_dword(7)},
        {"UTF-8 with byte-order mark",
         "\xEF\xBB\xBFWindows Registry Editor Version "
         "5.00\n[HKEY_CURRENT_USER\\S]\n\"N\"=\"\xC3\xA9\"\n",
         HKCU, u"S", u"N", RegistryValue::of_string(u"é")},
        {"Windows-1252 bytes", head + "[HKEY_CURRENT_USER\\S]\n\"N\"=\"caf\xE9\"\n", HKCU, u"S",
         u"N", RegistryValue::of_string(u"café")},
        {"sections differing only in case merge",
         head +
             "[HKEY_CURRENT_USER\\Soft]\n\"A\"=dword:1\n[HKEY_CURRENT_USER\\SOFT]\n\"a\"=dword:2\n",
         HKCU, u"soft", u"A", RegistryValue::of_dword(2)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Registry reg;
        RegistryError error;
        ASSERT_TRUE(reg.parse_text(c.text, &error)) << "line " << error.line;
        EXPECT_EQ(reg.get_value(c.root, c.path, c.name), c.expected);
    }
}

TEST(RegistryParseTest, ReadsUtf16FileWithByteOrderMark) {
    const std::u16string text =
        u"Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\S]\r\n\"N\"=\"Ω\"\r\n";
    const std::string bytes = utf16_file(text);
    Registry reg;
    ASSERT_TRUE(reg.parse_text(bytes));
    EXPECT_EQ(reg.get_string(HKCU, u"S", u"N"), u"Ω");
}

// Unpaired surrogates in a UTF-16 file are read as U+FFFD, as a save writes them: the names
// then sort the same before and after the save, and two names that differ only there are one.
TEST(RegistryParseTest, Utf16UnpairedSurrogatesReadAsReplacement) {
    const std::u16string text = u"Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\S]\r\n"
                                u"\"A\xDADA\"=dword:00000001\r\n\"A\xFFFF\"=dword:00000002\r\n"
                                u"\"A\xDC00\xD800\"=dword:00000003\r\n";
    const std::string bytes = utf16_file(text);
    Registry reg;
    ASSERT_TRUE(reg.parse_text(bytes));
    EXPECT_EQ(reg.get_dword(HKCU, u"S", u"A\uFFFD"), 1u);
    EXPECT_EQ(reg.get_dword(HKCU, u"S", u"A\uFFFD\uFFFD"), 3u);
    EXPECT_EQ(reg.get_dword(HKCU, u"S", u"A\xFFFF"), 2u);
    const std::string written = reg.to_text();
    Registry again;
    ASSERT_TRUE(again.parse_text(written));
    EXPECT_EQ(again.to_text(), written);
}

TEST(RegistryParseTest, ReportsTheLineAndProblemOfDamage) {
    struct Case {
        const char* what;
        std::string text;
        RegistryProblem problem;
        int line;
    };
    const std::string head = "Windows Registry Editor Version 5.00\n\n";
    const std::string key = head + "[HKEY_CURRENT_USER\\S]\n";  // values start on line 4
    const std::vector<Case> cases = {
        {"no header", "[HKEY_CURRENT_USER\\S]\n", RegistryProblem::MissingHeader, 1},
        {"binary junk", std::string("\x01\x02\x03garbage", 10), RegistryProblem::MissingHeader, 1},
        {"section without bracket", head + "[HKEY_CURRENT_USER\\S\n", RegistryProblem::BadSection,
         3},
        {"unknown root", head + "[HKEY_NOWHERE\\S]\n", RegistryProblem::BadSection, 3},
        {"empty key part", head + "[HKEY_CURRENT_USER\\A\\\\B]\n", RegistryProblem::BadSection, 3},
        {"root followed by a lone separator", head + "[HKEY_CURRENT_USER\\]\n",
         RegistryProblem::BadSection, 3},
        {"key nested 513 levels deep",
         head + "[HKEY_CURRENT_USER\\" + to_utf8(nested_path(513)) + "]\n",
         RegistryProblem::BadSection, 3},
        {"key nested four million levels deep",
         head + "[HKEY_CLASSES_ROOT\\" + to_utf8(nested_path(4'000'000)) + "]\n",
         RegistryProblem::BadSection, 3},
        {"value before any key", head + "\"A\"=dword:1\n", RegistryProblem::ValueOutsideKey, 3},
        {"unquoted name", key + "A=dword:1\n", RegistryProblem::BadName, 4},
        {"name without closing quote", key + "\"A=dword:1\n", RegistryProblem::BadName, 4},
        {"no equals sign", key + "\"A\" dword:1\n", RegistryProblem::BadName, 4},
        {"unknown data form", key + "\"A\"=qword:1\n", RegistryProblem::BadData, 4},
        {"text followed by junk", key + "\"A\"=\"x\"y\n", RegistryProblem::BadData, 4},
        {"dword with nine digits", key + "\"A\"=dword:000000001\n", RegistryProblem::BadDword, 4},
        {"dword not hexadecimal", key + "\"A\"=dword:12g4\n", RegistryProblem::BadDword, 4},
        {"dword without digits", key + "\"A\"=dword:\n", RegistryProblem::BadDword, 4},
        {"hex byte of three digits", key + "\"A\"=hex:001\n", RegistryProblem::BadHex, 4},
        {"hex byte not hexadecimal", key + "\"A\"=hex:0g\n", RegistryProblem::BadHex, 4},
        {"two commas", key + "\"A\"=hex:01,,02\n", RegistryProblem::BadHex, 4},
        {"bad byte on a continuation line", key + "\"A\"=hex:01,\\\n  zz\n",
         RegistryProblem::BadHex, 5},
        {"hex type not closed", key + "\"A\"=hex(2:00\n", RegistryProblem::BadData, 4},
        {"text without closing quote", key + "\"A\"=\"abc\n", RegistryProblem::UnterminatedText, 4},
        {"escaped closing quote", key + "\"A\"=\"abc\\\"\n", RegistryProblem::UnterminatedText, 4},
        {"file ends inside continued hex", key + "\"A\"=hex:01,\\\n  02,\\",
         RegistryProblem::UnexpectedEnd, 4},
        {"damage after good lines", key + "\"A\"=dword:1\n\"B\"=\"ok\"\n\"C\"=dword:x\n",
         RegistryProblem::BadDword, 6},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Registry reg;
        reg.set_dword(HKCU, u"Keep", u"V", 1);
        RegistryError error;
        EXPECT_FALSE(reg.parse_text(c.text, &error));
        EXPECT_EQ(error.code, RegistryErrorCode::Damaged);
        EXPECT_EQ(error.problem, c.problem);
        EXPECT_EQ(error.line, c.line);
        // A failed parse leaves the store as it was.
        EXPECT_EQ(reg.get_dword(HKCU, u"Keep", u"V"), 1u);
    }
}

TEST(RegistryParseTest, EmptyFileIsAnEmptyStore) {
    for (const std::string text : {"", "\n\n", "  \r\n"}) {
        Registry reg;
        EXPECT_TRUE(reg.parse_text(text));
        EXPECT_TRUE(reg.subkeys(HKCU, u"").empty());
    }
}

// ---- Damaged and unreadable files are kept ----------------------------------------------------

TEST_F(RegistryStoreTest, DamagedFileIsReportedAndNeverOverwritten) {
    const std::string damaged =
        "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\S]\n\"A\"=dword:1\n"
        "\"B\"=dword:zz\n";
    write_file(damaged);

    Registry reg;
    EXPECT_FALSE(reg.load(folder()));
    EXPECT_EQ(reg.error().code, RegistryErrorCode::Damaged);
    EXPECT_EQ(reg.error().line, 5);
    EXPECT_EQ(reg.error().path, file());

    reg.set_dword(HKCU, u"S", u"C", 3);
    EXPECT_FALSE(reg.save());
    EXPECT_EQ(reg.error().code, RegistryErrorCode::Damaged);
    EXPECT_EQ(read_text(file()), damaged);
    EXPECT_EQ(folder_entries(folder()),
              (std::vector<std::string>{"registry.lock", "registry.reg"}));

    // Once the user mends the file, the pending change is merged into it.
    write_file("Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\S]\n\"A\"=dword:1\n");
    ASSERT_TRUE(reg.save());
    Registry again;
    ASSERT_TRUE(again.load(folder()));
    EXPECT_EQ(again.get_dword(HKCU, u"S", u"A"), 1u);
    EXPECT_EQ(again.get_dword(HKCU, u"S", u"C"), 3u);
}

TEST_F(RegistryStoreTest, DamageAppearingAfterLoadStopsTheSave) {
    Registry reg;
    ASSERT_TRUE(reg.load(folder()));
    reg.set_dword(HKCU, u"S", u"A", 1);
    ASSERT_TRUE(reg.save());
    write_file("not a registry file");
    reg.set_dword(HKCU, u"S", u"A", 2);
    EXPECT_FALSE(reg.save());
    EXPECT_EQ(read_text(file()), "not a registry file");
}

TEST_F(RegistryStoreTest, OversizedFileIsRefusedNotEmptied) {
    fs::create_directories(folder());
    {
        write_text(file(), "Windows Registry Editor Version 5.00\n");
        fs::resize_file(file(), 17u * 1024 * 1024);
    }
    Registry reg;
    EXPECT_FALSE(reg.load(folder()));
    EXPECT_EQ(reg.error().code, RegistryErrorCode::ReadFailed);
    reg.set_dword(HKCU, u"S", u"A", 1);
    EXPECT_FALSE(reg.save());
    EXPECT_EQ(fs::file_size(file()), 17u * 1024 * 1024);
}

TEST_F(RegistryStoreTest, MissingFileLoadsEmptyAndSaveCreatesFolder) {
    Registry reg;
    EXPECT_TRUE(reg.load(folder()));
    EXPECT_FALSE(fs::exists(folder()));
    EXPECT_TRUE(reg.save());
    EXPECT_TRUE(fs::exists(file()));
}

TEST_F(RegistryStoreTest, UnwritableFolderGivesAClearError) {
    // A regular file stands where the folder should be.
    write_text(dir_.path() / "blocker", "x");
    Registry reg;
    reg.load(dir_.path() / "blocker" / "config");
    reg.set_dword(HKCU, u"S", u"A", 1);
    EXPECT_FALSE(reg.save());
    EXPECT_EQ(reg.error().code, RegistryErrorCode::WriteFailed);
    EXPECT_NE(reg.error().system_error, 0);

    Registry nowhere;
    EXPECT_FALSE(nowhere.save());
    EXPECT_EQ(nowhere.error().code, RegistryErrorCode::NoFolder);
}

// ---- Saving merges with what is on disk ----------------------------------------------------

TEST_F(RegistryStoreTest, SaveKeepsValuesChangedOnDiskMeanwhile) {
    Registry first;
    first.load(folder());
    first.set_dword(HKCU, u"S", u"Color", 1);
    first.set_dword(HKCU, u"S", u"Count", 1);
    first.set_dword(HKCU, u"S", u"Gone", 1);
    ASSERT_TRUE(first.save());

    Registry running;
    ASSERT_TRUE(running.load(folder()));

    // Meanwhile the user edits the colour by hand and another process removes a value.
    std::string text = read_text(file());
    text.replace(text.find("\"Color\"=dword:00000001"), 22, "\"Color\"=dword:00abcdef");
    text.replace(text.find("\"Gone\"=dword:00000001\n"), 22, "");
    write_text(file(), text);

    running.set_dword(HKCU, u"S", u"Count", 2);
    ASSERT_TRUE(running.save());
    EXPECT_EQ(running.get_dword(HKCU, u"S", u"Color"), 0xABCDEFu);

    Registry after;
    ASSERT_TRUE(after.load(folder()));
    EXPECT_EQ(after.get_dword(HKCU, u"S", u"Color"), 0xABCDEFu);
    EXPECT_EQ(after.get_dword(HKCU, u"S", u"Count"), 2u);
    EXPECT_EQ(after.get_dword(HKCU, u"S", u"Gone"), std::nullopt);
}

TEST_F(RegistryStoreTest, DeletionsReachTheFile) {
    Registry reg;
    reg.load(folder());
    reg.set_dword(HKCU, u"A\\B", u"V", 1);
    reg.set_dword(HKCU, u"A", u"W", 1);
    reg.set_dword(HKCU, u"C", u"X", 1);
    ASSERT_TRUE(reg.save());
    EXPECT_TRUE(reg.delete_key(HKCU, u"a\\b"));
    EXPECT_TRUE(reg.delete_value(HKCU, u"A", u"w"));
    EXPECT_FALSE(reg.delete_value(HKCU, u"A", u"w"));
    EXPECT_FALSE(reg.delete_key(HKCU, u"Nope"));
    ASSERT_TRUE(reg.save());

    Registry after;
    ASSERT_TRUE(after.load(folder()));
    EXPECT_TRUE(after.key_exists(HKCU, u"A"));
    EXPECT_FALSE(after.key_exists(HKCU, u"A\\B"));
    EXPECT_EQ(after.value_names(HKCU, u"A"), std::vector<std::u16string>{});
    EXPECT_EQ(after.get_dword(HKCU, u"C", u"X"), 1u);
}

TEST_F(RegistryStoreTest, SaveWaitsForTheLockHolder) {
    Registry reg;
    reg.load(folder());
    reg.set_dword(HKCU, u"S", u"A", 1);
    ASSERT_TRUE(reg.save());

    File lock = File::open(folder() / "registry.lock", FileMode::ReadWrite);
    ASSERT_TRUE(lock.try_lock_exclusive());
    reg.set_dword(HKCU, u"S", u"A", 2);
    bool saved = false;
    std::thread saver([&] { saved = reg.save(); });
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    // Nothing is written while another holds the lock.
    EXPECT_NE(read_text(file()).find("dword:00000001"), std::string::npos);
    lock.unlock();
    saver.join();
    EXPECT_TRUE(saved);
    EXPECT_NE(read_text(file()).find("dword:00000002"), std::string::npos);
}

// ---- Names ----------------------------------------------------------------------------------

TEST(RegistryNamesTest, KeyAndValueNamesIgnoreCase) {
    Registry reg;
    bool created = false;
    ASSERT_TRUE(reg.create_key(HKCU, u"Software\\Brightloom", &created));
    EXPECT_TRUE(created);
    ASSERT_TRUE(reg.create_key(HKCU, u"SOFTWARE\\brightloom", &created));
    EXPECT_FALSE(created);
    reg.set_dword(HKCU, u"software\\BRIGHTLOOM", u"Count6", 4);
    reg.set_dword(HKCU, u"Software\\Brightloom", u"COUNT6", 5);
    reg.set_string(HKCU, u"Software\\Ärger", u"N", u"x");

    EXPECT_EQ(reg.get_dword(HKCU, u"SoftWare\\BrightLoom", u"count6"), 5u);
    EXPECT_EQ(reg.get_string(HKCU, u"software\\ärger", u"n"), u"x");
    EXPECT_EQ(reg.value_names(HKCU, u"Software\\Brightloom"),
              std::vector<std::u16string>{u"Count6"});
    EXPECT_EQ(reg.subkeys(HKCU, u"SOFTWARE"),
              (std::vector<std::u16string>{u"Brightloom", u"Ärger"}));
    EXPECT_EQ(reg.subkeys(HKCU, u""), std::vector<std::u16string>{u"Software"});
    // The two roots are separate.
    EXPECT_FALSE(reg.key_exists(HKCR, u"Software"));
}

TEST(RegistryNamesTest, TypedGettersRefuseOtherTypes) {
    Registry reg;
    reg.set_dword(HKCU, u"S", u"D", 1);
    reg.set_string(HKCU, u"S", u"T", u"1");
    reg.set_binary(HKCU, u"S", u"B", std::vector<uint8_t>{1});
    EXPECT_EQ(reg.get_string(HKCU, u"S", u"D"), std::nullopt);
    EXPECT_EQ(reg.get_dword(HKCU, u"S", u"T"), std::nullopt);
    EXPECT_EQ(reg.get_dword(HKCU, u"S", u"B"), std::nullopt);
    EXPECT_EQ(reg.get_binary(HKCU, u"S", u"T"), std::nullopt);
    EXPECT_EQ(reg.get_dword(HKCU, u"Missing", u"D"), std::nullopt);
}

TEST(RegistryNamesTest, InvalidKeyPathsAreRefused) {
    const std::vector<std::u16string> bad = {
        u"A\\\\B",        u"A\\",     u"\\A",       u"\\",        std::u16string(256, u'k'),
        nested_path(513), u"A\\B\nC", u"A\\\xD800", u"\xDC00\\A", u"A\xD800\xD800"};
    for (const auto& path : bad) {
        SCOPED_TRACE(to_utf8(path));
        Registry reg;
        EXPECT_FALSE(reg.create_key(HKCU, path));
        EXPECT_EQ(reg.error().code, RegistryErrorCode::InvalidName);
        EXPECT_FALSE(reg.set_dword(HKCU, path, u"V", 1));
        EXPECT_TRUE(reg.subkeys(HKCU, u"").empty());
    }
    for (std::u16string_view name : {u"A\nB", u"\xD800", u"A\xDFFF"}) {
        Registry reg;
        EXPECT_FALSE(reg.set_dword(HKCU, u"S", name, 1));
        EXPECT_EQ(reg.error().code, RegistryErrorCode::InvalidName);
        EXPECT_FALSE(reg.key_exists(HKCU, u"S"));
    }
    Registry reg;
    EXPECT_TRUE(reg.create_key(HKCU, std::u16string(255, u'k')));
    // The deepest key allowed survives a save and a parse, and is written once, not once for
    // every level above it.
    ASSERT_TRUE(reg.set_dword(HKCU, nested_path(512), u"V", 7));
    const std::string text = reg.to_text();
    EXPECT_LT(text.size(), 2 * nested_path(512).size());
    Registry again;
    ASSERT_TRUE(again.parse_text(text));
    EXPECT_EQ(again.get_dword(HKCU, nested_path(512), u"V"), 7u);
}

// ---- Configuration folder and messages -------------------------------------------------------

class ScopedEnv {
  public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        if (value)
            ::setenv(name, value, 1);
        else
            ::unsetenv(name);
    }
    ~ScopedEnv() {
        if (old_)
            ::setenv(name_, old_->c_str(), 1);
        else
            ::unsetenv(name_);
    }

  private:
    const char* name_;
    std::optional<std::string> old_;
};

TEST(RegistryFolderTest, ConfigurationFolderFollowsTheEnvironment) {
    struct Case {
        const char* override_dir;
        const char* xdg;
        const char* home;
        fs::path expected;
    };
    const std::vector<Case> cases = {
        {"/tmp/ks-conf", "/x", "/h", "/tmp/ks-conf"},
        {nullptr, "/x", "/h", "/x/keystash"},
        {"", "/x", "/h", "/x/keystash"},
        {nullptr, "", "/h", "/h/.config/keystash"},
        {nullptr, "relative", "/h", "/h/.config/keystash"},
        {nullptr, nullptr, nullptr, ""},
    };
    for (const auto& c : cases) {
        ScopedEnv a("KEYSTASH_CONFIG_DIR", c.override_dir);
        ScopedEnv b("XDG_CONFIG_HOME", c.xdg);
        ScopedEnv d("HOME", c.home);
        EXPECT_EQ(Registry::configuration_folder(), c.expected);
    }
}

TEST(RegistryMessageTest, DamageMessageNamesFileLineAndProblem) {
    test::MapTextSource texts({{36100, u"%s: line %d: %s"}, {36106, u"bad dword"}});
    ScopedTextSource scope(&texts);
    RegistryError error;
    error.code = RegistryErrorCode::Damaged;
    error.problem = RegistryProblem::BadDword;
    error.line = 12;
    error.path = "/c/registry.reg";
    EXPECT_EQ(registry_error_message(error), u"/c/registry.reg: line 12: bad dword");
    EXPECT_EQ(registry_error_message(RegistryError{}), u"");
}

}  // namespace
}  // namespace ks
