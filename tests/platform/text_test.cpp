#include "platform/text.h"

#include <gtest/gtest.h>

#include <array>

namespace ks {
namespace {

// ---- UTF-8 ----------------------------------------------------------------------------------

struct Utf8Case {
    const char* name;
    std::string utf8;
    std::u16string utf16;
};

// Well-formed text at each sequence length and at the boundaries of each length.
const Utf8Case kWellFormed[] = {
    {"empty", "", u""},
    {"ascii with nul", std::string("a\0b", 3), std::u16string(u"a\0b", 3)},
    {"two bytes", "\xC2\x80\xDF\xBF", u"\u0080\u07FF"},
    {"three bytes", "\xE0\xA0\x80\xE2\x82\xAC\xEF\xBF\xBF", u"\u0800\u20AC\uFFFF"},
    {"around surrogates", "\xED\x9F\xBF\xEE\x80\x80", u"\uD7FF\uE000"},
    {"four bytes", "\xF0\x90\x80\x80\xF0\x9F\x98\x80\xF4\x8F\xBF\xBF",
     u"\U00010000\U0001F600\U0010FFFF"},
};

TEST(Utf8, WellFormedConvertsBothWays) {
    for (const auto& c : kWellFormed) {
        SCOPED_TRACE(c.name);
        EXPECT_TRUE(is_valid_utf8(c.utf8));
        EXPECT_EQ(from_utf8(c.utf8), c.utf16);
        EXPECT_EQ(to_utf8(c.utf16), c.utf8);
    }
}

// Each maximal ill-formed subsequence becomes one U+FFFD; the following bytes are read afresh.
const Utf8Case kIllFormed[] = {
    {"lone continuation",
     "a\x80"
     "b",
     u"a\uFFFDb"},
    {"invalid lead bytes", "\xC0\xC1\xF5\xFF", u"\uFFFD\uFFFD\uFFFD\uFFFD"},
    {"overlong two-byte slash", "\xC0\xAF", u"\uFFFD\uFFFD"},
    {"overlong three-byte", "\xE0\x80\xAF", u"\uFFFD\uFFFD\uFFFD"},
    {"overlong four-byte", "\xF0\x80\x80\xAF", u"\uFFFD\uFFFD\uFFFD\uFFFD"},
    {"encoded high surrogate", "\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},
    {"encoded low surrogate", "\xED\xBF\xBF", u"\uFFFD\uFFFD\uFFFD"},
    {"beyond U+10FFFF", "\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},
    {"truncated three-byte then ascii",
     "\xE2\x82"
     "A",
     u"\uFFFDA"},
    {"truncated four-byte at end", "x\xF0\x9F\x98", u"x\uFFFD"},
    {"lead followed by lead", "\xC3\xC3\xA9", u"\uFFFD\u00E9"},
};

TEST(Utf8, IllFormedIsRejectedAndReplaced) {
    for (const auto& c : kIllFormed) {
        SCOPED_TRACE(c.name);
        EXPECT_FALSE(is_valid_utf8(c.utf8));
        EXPECT_EQ(from_utf8(c.utf8), c.utf16);
    }
}

TEST(Utf8, UnpairedSurrogatesEncodeAsReplacement) {
    const struct {
        std::u16string utf16;
        std::string utf8;
    } cases[] = {
        {u"a\xD800"
         u"b",
         "a\xEF\xBF\xBD"
         "b"},
        {u"\xDC00", "\xEF\xBF\xBD"},
        {u"x\xD83D", "x\xEF\xBF\xBD"},
        {u"\xDE00\xD83D", "\xEF\xBF\xBD\xEF\xBF\xBD"},  // low before high is no pair
        {u"\xD83D\xD83D\xDE00", "\xEF\xBF\xBD\xF0\x9F\x98\x80"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(to_utf8(c.utf16), c.utf8);
    }
}

// ---- Windows-1252 ---------------------------------------------------------------------------

TEST(Cp1252, HighControlRangeMapsToTheCodePageTable) {
    const std::u16string expected =
        u"\u20AC\u0081\u201A\u0192\u201E\u2026\u2020\u2021\u02C6\u2030\u0160\u2039\u0152\u008D"
        u"\u017D\u008F\u0090\u2018\u2019\u201C\u201D\u2022\u2013\u2014\u02DC\u2122\u0161\u203A"
        u"\u0153\u009D\u017E\u0178";
    std::string bytes;
    for (int b = 0x80; b <= 0x9F; ++b) bytes += static_cast<char>(b);
    EXPECT_EQ(from_cp1252(bytes), expected);
    EXPECT_EQ(to_cp1252(expected), bytes);
}

TEST(Cp1252, EveryByteRoundTrips) {
    std::string bytes;
    for (int b = 0; b <= 0xFF; ++b) bytes += static_cast<char>(b);
    const std::u16string text = from_cp1252(bytes);
    ASSERT_EQ(text.size(), 256u);
    EXPECT_EQ(text[0xE9], u'\u00E9');
    EXPECT_EQ(text[0xA0], u'\u00A0');
    EXPECT_EQ(to_cp1252(text), bytes);
}

TEST(Cp1252, UnmappableCharactersBecomeTheReplacement) {
    const struct {
        std::u16string text;
        char replacement;
        std::string expected;
    } cases[] = {
        // U+0080 and U+009F are not in the code page: bytes 0x80 and 0x9F are € and Ÿ.
        {u"\u0080\u009F", '?', "??"},
        {u"a\u0100b\u4E2D", '?', "a?b?"},
        {u"\U0001F600", '_', "_"},  // one replacement for a whole surrogate pair
        {u"\xD800z", '?', "?z"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(to_cp1252(c.text, c.replacement), c.expected);
    }
}

TEST(Ansi, ValidUtf8IsUtf8AndAnythingElseIsCp1252) {
    const struct {
        std::string bytes;
        std::u16string expected;
    } cases[] = {
        {"plain", u"plain"},
        {"caf\xC3\xA9", u"caf\u00E9"},
        {"caf\xE9", u"caf\u00E9"},
        {"\x80 and \xC3\xA9", u"\u20AC and \u00C3\u00A9"},  // one bad byte decides for all
        {"\xC0\xAF", u"\u00C0\u00AF"},                      // overlong is not UTF-8
    };
    for (const auto& c : cases) {
        EXPECT_EQ(from_ansi(c.bytes), c.expected);
    }
}

// ---- UTF-16LE -------------------------------------------------------------------------------

TEST(Utf16le, DecodeStopsAtNulLimitOrEnd) {
    const std::array<uint8_t, 9> bytes{'A', 0, 0x3D, 0xD8, 0x00, 0xDE, 0, 0, 'Z'};
    const struct {
        size_t size;
        size_t max_units;
        std::u16string expected;
    } cases[] = {
        {9, SIZE_MAX, u"A\U0001F600"},  // stops at the zero unit
        {9, 2, u"A\xD83D"},
        {9, 0, u""},
        {5, SIZE_MAX, u"A\xD83D"},  // odd trailing byte ignored
        {1, SIZE_MAX, u""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(utf16le_decode(std::span(bytes).first(c.size), c.max_units), c.expected);
    }
}

TEST(Utf16le, EncodeIsLittleEndianAndDecodesBack) {
    const std::u16string text = u"A\u20AC\U0001F600";
    const std::vector<uint8_t> bytes = utf16le_encode(text);
    EXPECT_EQ(bytes, (std::vector<uint8_t>{0x41, 0x00, 0xAC, 0x20, 0x3D, 0xD8, 0x00, 0xDE}));
    EXPECT_EQ(utf16le_decode(bytes), text);
}

TEST(Utf16le, WriteCutsToFitAndLeavesTheRest) {
    std::array<uint8_t, 7> out;
    out.fill(0xEE);
    EXPECT_EQ(utf16le_write(u"abcdef", out), 3u);
    EXPECT_EQ(out, (std::array<uint8_t, 7>{'a', 0, 'b', 0, 'c', 0, 0xEE}));

    out.fill(0xEE);
    EXPECT_EQ(utf16le_write(u"x", out), 1u);
    EXPECT_EQ(out, (std::array<uint8_t, 7>{'x', 0, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE}));
}

// ---- helpers --------------------------------------------------------------------------------

TEST(TextHelpers, UntilNul) {
    EXPECT_EQ(until_nul(std::u16string_view(u"ab\0cd", 5)), u"ab");
    EXPECT_EQ(until_nul(u"abc"), u"abc");
    EXPECT_EQ(until_nul(std::u16string_view(u"\0x", 2)), u"");
}

TEST(TextHelpers, AsciiCaseOnly) {
    const struct {
        std::u16string a;
        std::u16string b;
        bool equal;
    } cases[] = {
        {u"Keystash", u"kEYSTASH", true},
        {u"abc", u"abcd", false},
        {u"\u00C9t\u00E9", u"\u00E9T\u00E9", false},  // no case mapping beyond ASCII
        {u"@[`{", u"@[`{", true},
        {u"@", u"`", false},  // 0x40/0x60 differ by the case bit but are not letters
        {u"[", u"{", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(iequals_ascii(c.a, c.b), c.equal) << to_utf8(c.a) << " vs " << to_utf8(c.b);
    }
    EXPECT_EQ(to_lower_ascii(u"AbZ@[\u00C9\u0130"), u"abz@[\u00C9\u0130");
}

}  // namespace
}  // namespace ks
