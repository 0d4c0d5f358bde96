#include "platform/string_table.h"

#include <gtest/gtest.h>

#include <stdlib.h>

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/texts.h"
#include "support/test_support.h"

namespace ks {
namespace {

using Texts = std::map<uint32_t, std::u16string>;

std::vector<uint8_t> bytes_of(std::string_view text) {
    return {text.begin(), text.end()};
}

// ---- Parsing ---------------------------------------------------------------------------------

struct GoodCase {
    const char* name;
    std::string input;
    Texts expected;
};

const GoodCase kGood[] = {
    {"empty input", "", {}},
    {"one line without ending", "1\tOpen", {{1, u"Open"}}},
    {"LF endings", "1\tOpen\n2\tClose\n", {{1, u"Open"}, {2, u"Close"}}},
    {"CRLF endings", "1\tOpen\r\n2\tClose\r\n", {{1, u"Open"}, {2, u"Close"}}},
    {"lone CR endings", "1\tOpen\r2\tClose\r", {{1, u"Open"}, {2, u"Close"}}},
    {"mixed endings", "1\ta\r\n2\tb\r3\tc\n4\td", {{1, u"a"}, {2, u"b"}, {3, u"c"}, {4, u"d"}}},
    {"empty text", "7\t\n8\t", {{7, u""}, {8, u""}}},
    {"escapes", "1\tline\\nnext\\tcol\\\\end", {{1, u"line\nnext\tcol\\end"}}},
    {"escaped backslash before n", "1\t\\\\n", {{1, u"\\n"}}},
    {"escapes alone", "1\t\\n\\t\\\\", {{1, u"\n\t\\"}}},
    {"literal tab in text", "1\ta\tb", {{1, u"a\tb"}}},
    {"spaces in text kept", "1\t  padded  ", {{1, u"  padded  "}}},
    {"percent and hash kept", "1\t#%s 100%", {{1, u"#%s 100%"}}},
    {"byte-order mark",
     "\xEF\xBB\xBF"
     "1\tOpen\n",
     {{1, u"Open"}}},
    {"byte-order mark then comment", "\xEF\xBB\xBF# c\n1\tx", {{1, u"x"}}},
    {"comment lines", "# heading\n1\tOpen\n#2\tnot an entry\n", {{1, u"Open"}}},
    {"blank lines", "\n   \n\t\n \t \n1\tOpen\n\n", {{1, u"Open"}}},
    {"blank CRLF lines", "\r\n\r\n1\tOpen\r\n\r\n", {{1, u"Open"}}},
    {"non-ASCII text",
     "1\t\xC3\xA9t\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80",
     {{1, u"\u00E9t\u00E9 \u20AC \U0001F600"}}},
    {"non-ASCII comment", "# \xC3\xBC\n1\tx", {{1, u"x"}}},
    {"id zero and largest id", "0\tzero\n4294967295\tlast", {{0, u"zero"}, {0xFFFFFFFFu, u"last"}}},
    {"leading zeros", "007\tbond", {{7, u"bond"}}},
    {"order of lines does not matter", "20\tb\n10\ta", {{10, u"a"}, {20, u"b"}}},
};

TEST(ParseStringTable, AcceptsWellFormedTables) {
    for (const auto& c : kGood) {
        SCOPED_TRACE(c.name);
        const StringTableParse parsed = parse_string_table(c.input);
        ASSERT_FALSE(parsed.error) << parsed.error->line << ": " << parsed.error->message;
        ASSERT_TRUE(parsed.table);
        EXPECT_EQ(parsed.table->texts(), c.expected);
    }
}

struct BadCase {
    const char* name;
    std::string input;
    size_t line;
};

const BadCase kBad[] = {
    {"no tab", "1\tOk\n2 text\n", 2},
    {"id only", "5", 1},
    {"empty id", "\tText", 1},
    {"letter in id", "1\ta\n12a\tb", 2},
    {"signed id", "+1\ta", 1},
    {"negative id", "-1\ta", 1},
    {"space before id", " 1\ta", 1},
    {"space after id", "1 \ta", 1},
    {"hex id", "0x10\ta", 1},
    {"indented comment", "  # note\n", 1},
    {"id 2^32", "4294967296\ta", 1},
    {"id far beyond 2^32", "99999999999999999999999\ta", 1},
    {"repeated id", "1\ta\n2\tb\n1\tc\n", 3},
    {"repeated id written differently", "1\ta\n01\tb", 2},
    {"unknown escape", "1\tok\n2\tbad \\x escape", 2},
    {"escaped quote", "1\t\\\"", 1},
    {"escaped CR", "1\ta\\r", 1},
    {"trailing backslash", "1\ta\\", 1},
    {"trailing backslash before CRLF", "1\ta\\\r\n2\tb", 1},
    {"odd backslashes at end", "1\t\\\\\\", 1},
    {"invalid UTF-8 in text", "1\ta\n2\t\xC3(", 2},
    {"truncated UTF-8 at end", "1\t\xE2\x82", 1},
    {"encoded surrogate", "1\t\xED\xA0\x80", 1},
    {"invalid UTF-8 in comment", "# \xFF\n1\ta", 1},
    {"line counted after CRLF", "1\ta\r\n2\tb\r\nbad\r\n", 3},
    {"line counted after lone CR", "1\ta\r\rbad", 3},
    {"blank and comment lines counted", "# c\n\n  \n1\t\\q", 4},
    {"byte-order mark not counted as a line",
     "\xEF\xBB\xBF"
     "1\ta\nx",
     2},
    {"byte-order mark only at the start",
     "1\ta\n\xEF\xBB\xBF"
     "2\tb",
     2},
};

TEST(ParseStringTable, RejectsMalformedTablesNamingTheLine) {
    for (const auto& c : kBad) {
        SCOPED_TRACE(c.name);
        const StringTableParse parsed = parse_string_table(c.input);
        EXPECT_FALSE(parsed.table);
        ASSERT_TRUE(parsed.error);
        EXPECT_EQ(parsed.error->line, c.line);
        EXPECT_FALSE(parsed.error->message.empty());
    }
}

TEST(ParseStringTable, KeepsEmbeddedNul) {
    const StringTableParse parsed = parse_string_table(std::string("1\ta\0b", 5));
    ASSERT_TRUE(parsed.table);
    EXPECT_EQ(parsed.table->texts(), (Texts{{1, std::u16string(u"a\0b", 3)}}));
}

TEST(StringTable, FindsTextsByIdThroughLoadString) {
    const StringTableParse parsed = parse_string_table("20001\tKeystash Pro\n20204\tYes\n7\t\n");
    ASSERT_TRUE(parsed.table);
    const ScopedTextSource scope(&*parsed.table);
    EXPECT_EQ(load_string(20001), u"Keystash Pro");
    EXPECT_EQ(load_string(20204), u"Yes");
    EXPECT_EQ(load_string(7), u"");  // present but empty is not missing
    EXPECT_EQ(load_string(20205), u"?");
}

// ---- Loading files ---------------------------------------------------------------------------

TEST(LoadStringTable, ReadsAFile) {
    test::TempDir dir;
    const auto path = dir / language_module_name(0x409);
    test::write_file_bytes(path, bytes_of("\xEF\xBB\xBF# English\r\n1\tOpen\r\n2\tA\\tB\r\n"));

    const StringTableParse parsed = load_string_table(path);
    ASSERT_FALSE(parsed.error) << parsed.error->message;
    ASSERT_TRUE(parsed.table);
    EXPECT_EQ(parsed.table->texts(), (Texts{{1, u"Open"}, {2, u"A\tB"}}));
}

TEST(LoadStringTable, ReportsParseErrorsWithTheirLine) {
    test::TempDir dir;
    const auto path = dir / "bad.mui";
    test::write_file_bytes(path, bytes_of("1\tOpen\n1\tAgain\n"));

    const StringTableParse parsed = load_string_table(path);
    EXPECT_FALSE(parsed.table);
    ASSERT_TRUE(parsed.error);
    EXPECT_EQ(parsed.error->line, 2u);
}

TEST(LoadStringTable, UnreadablePathsAreLineZeroAndNameThePath) {
    test::TempDir dir;
    const auto missing = dir / "keystash.exe.0407.mui";
    for (const auto& path : {missing, dir.path()}) {
        SCOPED_TRACE(path.string());
        const StringTableParse parsed = load_string_table(path);
        EXPECT_FALSE(parsed.table);
        ASSERT_TRUE(parsed.error);
        EXPECT_EQ(parsed.error->line, 0u);
        EXPECT_NE(parsed.error->message.find(path.string()), std::string::npos)
            << parsed.error->message;
    }
}

TEST(LoadStringTable, RefusesFilesAbove16MiB) {
    constexpr uintmax_t kLimit = 16u * 1024 * 1024;
    test::TempDir dir;
    const auto path = dir / "big.mui";
    // "x" then NUL bytes: a file at the limit is read and fails on its first line; one byte more
    // is refused before parsing.
    test::write_file_bytes(path, bytes_of("x\n"));
    std::error_code ec;

    std::filesystem::resize_file(path, kLimit, ec);
    ASSERT_FALSE(ec) << ec.message();
    StringTableParse parsed = load_string_table(path);
    ASSERT_TRUE(parsed.error);
    EXPECT_EQ(parsed.error->line, 1u);

    std::filesystem::resize_file(path, kLimit + 1, ec);
    ASSERT_FALSE(ec) << ec.message();
    parsed = load_string_table(path);
    EXPECT_FALSE(parsed.table);
    ASSERT_TRUE(parsed.error);
    EXPECT_EQ(parsed.error->line, 0u);
}

// ---- Names and folders -----------------------------------------------------------------------

TEST(LanguageModuleName, IsFourLowerCaseHexDigits) {
    const struct {
        uint16_t language;
        const char* name;
    } cases[] = {
        {0x409, "keystash.exe.0409.mui"},  {0x0, "keystash.exe.0000.mui"},
        {0x7, "keystash.exe.0007.mui"},    {0x40C, "keystash.exe.040c.mui"},
        {0xFFFF, "keystash.exe.ffff.mui"},
    };
    for (const auto& c : cases) EXPECT_EQ(language_module_name(c.language), c.name);
}

// Sets or clears an environment variable for the life of the object.
class ScopedEnv {
  public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = getenv(name)) saved_ = old;
        if (value) {
            setenv(name, value, 1);
        } else {
            unsetenv(name);
        }
    }
    ~ScopedEnv() {
        if (saved_) {
            setenv(name_, saved_->c_str(), 1);
        } else {
            unsetenv(name_);
        }
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

  private:
    const char* name_;
    std::optional<std::string> saved_;
};

TEST(DataDirectory, HonoursTheEnvironmentOverride) {
    const ScopedEnv env("KEYSTASH_DATA_DIR", "/opt/keystash-test/data");
    EXPECT_EQ(data_directory(), std::filesystem::path("/opt/keystash-test/data"));
}

TEST(DataDirectory, WithoutOverrideIsAFolderNearTheProgram) {
    std::error_code ec;
    const auto exe_dir = std::filesystem::read_symlink("/proc/self/exe", ec).parent_path();
    ASSERT_FALSE(ec) << ec.message();
    const auto shared = (exe_dir.parent_path() / "share" / "keystash").lexically_normal();

    std::filesystem::path unset_result;
    {
        const ScopedEnv env("KEYSTASH_DATA_DIR", nullptr);
        unset_result = data_directory();
    }
    EXPECT_TRUE(unset_result == exe_dir || unset_result == shared) << unset_result;
    EXPECT_TRUE(std::filesystem::is_directory(unset_result, ec));

    // An empty value counts as not set.
    const ScopedEnv env("KEYSTASH_DATA_DIR", "");
    EXPECT_EQ(data_directory(), unset_result);
}

}  // namespace
}  // namespace ks
