#include "platform/message_format.h"

#include <gtest/gtest.h>

#include <limits>

#include "platform/text.h"

namespace ks {
namespace {

struct MessageCase {
    std::u16string_view pattern;
    std::initializer_list<FormatArg> args;
    std::u16string_view expected;
};

template <size_t N>
void check_all(const MessageCase (&cases)[N]) {
    for (const auto& c : cases) {
        EXPECT_EQ(format_message(c.pattern, c.args), c.expected)
            << to_utf8(c.pattern) << " -> " << to_utf8(c.expected);
    }
}

TEST(FormatMessage, Text) {
    const MessageCase cases[] = {
        {u"Hello, %s!", {u"world"}, u"Hello, world!"},
        {u"%s and %s", {u"one", u"two"}, u"one and two"},
        {u"[%6s][%-6s]", {u"ab", u"cd"}, u"[    ab][cd    ]"},
        {u"[%.3s][%.0s][%.9s]", {u"abcdef", u"x", u"abc"}, u"[abc][][abc]"},
        {u"[%5.2s]", {u"abcdef"}, u"[   ab]"},
        {u"[%2s]", {u"toolong"}, u"[toolong]"},
        {u"%ls %hs", {u"wide", u"narrow"}, u"wide narrow"},
        {u"%s", {u"caf\u00E9 \U0001F600"}, u"caf\u00E9 \U0001F600"},
        {u"%s", {u""}, u""},
    };
    check_all(cases);
}

TEST(FormatMessage, Integers) {
    constexpr int64_t kMin = std::numeric_limits<int64_t>::min();
    const MessageCase cases[] = {
        {u"%d %i", {42, -7}, u"42 -7"},
        {u"%d", {0}, u"0"},
        {u"%d", {kMin}, u"-9223372036854775808"},
        {u"[%5d][%-5d][%05d]", {42, 42, -42}, u"[   42][42   ][-0042]"},
        {u"[%02d:%02d]", {7, 30}, u"[07:30]"},
        {u"[%-05d]", {3}, u"[3    ]"},  // '-' wins over '0'
        {u"[%.3d][%6.3d]", {5, -5}, u"[005][  -005]"},
        {u"[%06.3d]", {5}, u"[   005]"},  // a precision turns zero padding off
        {u"[%.0d]", {0}, u"[]"},
        {u"%ld %lld %hd %lu", {1, 2, 3, 4}, u"1 2 3 4"},
        {u"%u", {4000000000}, u"4000000000"},
        {u"%u", {-1}, u"18446744073709551615"},
        {u"%x %X", {255, 255}, u"ff FF"},
        {u"%08X", {0xBEEF}, u"0000BEEF"},
        {u"%x", {-1}, u"ffffffffffffffff"},
        {u"%d%%", {50}, u"50%"},
    };
    check_all(cases);
}

TEST(FormatMessage, Characters) {
    const MessageCase cases[] = {
        {u"%c%c", {u'O', 'k'}, u"Ok"},
        {u"[%3c][%-3c]", {u'a', u'b'}, u"[  a][b  ]"},
        {u"%c", {0x20AC}, u"\u20AC"},
        {u"%c", {0x1F600}, u"\U0001F600"},
        {u"%c%c", {-1, 0x110000}, u"\uFFFD\uFFFD"},
    };
    check_all(cases);
}

TEST(FormatMessage, MissingAndMismatchedArguments) {
    const MessageCase cases[] = {
        {u"a%sb%dc", {}, u"abc"},
        {u"%s %s", {u"one"}, u"one "},
        {u"[%5d]", {}, u"[]"},                         // no padding for nothing
        {u"[%d][%s]", {u"text", 5}, u"[][]"},          // each kind mismatched, both used up
        {u"[%s][%d][%s]", {5, 6, u"x"}, u"[][6][x]"},  // a mismatch still takes its argument
        {u"[%c]", {u"x"}, u"[]"},
        {u"%d", {1, 2, 3}, u"1"},  // extra arguments are ignored
    };
    check_all(cases);
}

TEST(FormatMessage, LiteralsAndUnknownConversions) {
    const MessageCase cases[] = {
        {u"", {}, u""},
        {u"no conversions", {1}, u"no conversions"},
        {u"100%%", {}, u"100%"},
        {u"%%d %d", {7}, u"%d 7"},
        {u"%q %d", {7}, u"%q 7"},  // unknown conversion copied, takes no argument
        {u"%-5q|%d", {7}, u"%-5q|7"},
        {u"%f", {u"x"}, u"%f"},
        {u"end %", {}, u"end %"},
        {u"end %05", {1}, u"end %05"},
        {u"end %l", {1}, u"end %l"},
    };
    check_all(cases);
}

TEST(FormatMessage, HugeWidthIsClamped) {
    const std::u16string out = format_message(u"%99999999999999999999d", {1});
    EXPECT_LE(out.size(), 100000u);
    EXPECT_EQ(out.back(), u'1');
}

}  // namespace
}  // namespace ks
