#include "platform/file_name.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include "platform/text.h"
#include "support/test_support.h"

namespace ks {
namespace {

std::u16string repeated(std::u16string_view unit, size_t times) {
    std::u16string text;
    for (size_t i = 0; i < times; ++i) text += unit;
    return text;
}

TEST(FileNameTest, NamesAreMadeSafeAndCutToTheLimitByBytes) {
    struct Case {
        const char* what;
        std::u16string stem, suffix;
        size_t limit;
        std::u16string expected;
    };
    const Case cases[] = {
        {"as it is", u"Visa", u"_05032006.txt", 255, u"Visa_05032006.txt"},
        {"controls and slashes", u"a\x1b]0;t\x07\nb/c\\d\u0085", u".ksx", 255,
         u"a_]0;t__b_c_d_.ksx"},
        {"reordering", u"invoice\u202Efdp.exe", u"", 255, u"invoice_fdp.exe"},
        {"three-byte characters cut whole", repeated(u"€", 200), u".txt", 255,
         repeated(u"€", 83) + u".txt"},
        {"surrogate pairs never split", repeated(u"\U0001F600", 100), u"", 255,
         repeated(u"\U0001F600", 63)},
        {"a tight limit", u"€€€", u"", 5, u"€"},
        {"a suffix with no room is cut too", u"abc", u"0123456789", 8, u"abc01234"},
        {"dot", u".", u"", 255, u"_"},
        {"dot dot", u"..", u"", 255, u"_"},
        {"empty", u"", u"", 255, u"_"},
        {"empty stem, a suffix", u"", u"_05032006.ksx", 255, u"_05032006.ksx"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::u16string name = fit_file_name(c.stem, c.suffix, c.limit);
        EXPECT_EQ(to_utf8(name), to_utf8(c.expected));
        EXPECT_LE(to_utf8(name).size(), c.limit);
    }
}

TEST(FileNameTest, AnAttachmentKeepsItsExtension) {
    struct Case {
        std::u16string prefix, name, expected;
    };
    const Case cases[] = {
        {u"", u"scan.pdf", u"scan.pdf"},
        {u"001_", repeated(u"€", 200) + u".pdf", u"001_" + repeated(u"€", 82) + u".pdf"},
        {u"", u"report.tar.gz", u"report.tar.gz"},
        {u"", u".profile", u".profile"},
        {u"", u"..", u"_"},
        {u"", u"a\nb.t\x1bt", u"a_b.t_t"},
        {u"", u"x." + repeated(u"y", 40), u"x." + repeated(u"y", 40)},  // no extension that long
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(to_utf8(c.name));
        EXPECT_EQ(to_utf8(fit_file_name_keeping_extension(c.prefix, c.name, 255)),
                  to_utf8(c.expected));
    }
}

TEST(FileNameTest, TheLimitIsTheFileSystemsOwn) {
    test::TempDir dir;
    EXPECT_EQ(file_name_limit(dir.path()),
              static_cast<size_t>(::pathconf(dir.path().c_str(), _PC_NAME_MAX)));
    EXPECT_EQ(file_name_limit(dir / "missing"), kDefaultNameLimit);
}

}  // namespace
}  // namespace ks
