#include "platform/locale_format.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <ctime>
#include <string>

#include "platform/text.h"

namespace ks {
namespace {

DateTime make_date(uint16_t year, uint16_t month, uint16_t day, uint16_t day_of_week) {
    DateTime t;
    t.year = year;
    t.month = month;
    t.day = day;
    t.day_of_week = day_of_week;
    return t;
}

DateTime make_time(uint16_t hour, uint16_t minute, uint16_t second) {
    DateTime t;
    t.hour = hour;
    t.minute = minute;
    t.second = second;
    return t;
}

// Switches the C library locale for one category and restores it afterwards.
class ScopedCLocale {
  public:
    ScopedCLocale(int category, const char* name) : category_(category) {
        const char* current = std::setlocale(category, nullptr);
        previous_ = current != nullptr ? current : "C";
        ok_ = std::setlocale(category, name) != nullptr;
    }
    ~ScopedCLocale() { std::setlocale(category_, previous_.c_str()); }
    ScopedCLocale(const ScopedCLocale&) = delete;
    ScopedCLocale& operator=(const ScopedCLocale&) = delete;

    bool ok() const { return ok_; }

  private:
    int category_;
    std::string previous_;
    bool ok_ = false;
};

LocaleFormats german() {
    LocaleFormats f;
    f.short_date = u"dd.MM.yyyy";
    f.long_date = u"dddd, d. MMMM yyyy";
    f.time = u"HH:mm:ss";
    f.date_separator = u".";
    f.decimal_separator = u",";
    f.thousands_separator = u".";
    f.am = u"";
    f.pm = u"";
    f.month_names[2] = u"M\u00E4rz";
    f.month_abbrevs[2] = u"M\u00E4r";
    f.day_names[2] = u"Dienstag";
    f.day_abbrevs[2] = u"Di";
    return f;
}

// ---- strftime formats to pictures ---------------------------------------------------------

TEST(PictureFromStrftime, ConvertsConversionsAndQuotesLiteralLetters) {
    const struct {
        const char* format;
        std::u16string picture;
    } cases[] = {
        {"%m/%d/%y", u"MM/dd/yy"},
        {"%H:%M:%S", u"HH:mm:ss"},
        {"%d.%m.%Y", u"dd.MM.yyyy"},
        {"%e/%m/%y", u"d/MM/yy"},
        {"%-d.%-m.%Y %-H:%M", u"d.M.yyyy H:mm"},
        {"%a %b %h, %A %B", u"ddd MMM MMM, dddd MMMM"},
        {"%I:%M:%S %p", u"hh:mm:ss tt"},
        {"%l:%M %P / %k", u"h:mm tt / H"},
        {"%D|%T|%R|%r|%F", u"MM/dd/yy|HH:mm:ss|HH:mm|hh:mm:ss tt|yyyy-MM-dd"},
        {"%Ey %OH:%OM", u"yy HH:mm"},
        {"%H%n%M%t%S", u"HH mm ss"},
        {"100%% %Z%z%j", u"100% "},
        {"%H h %M", u"HH 'h' mm"},
        {"%H o'clock", u"HH 'o''clock'"},
        {"'%d'", u"''''dd''''"},
        {"%Y\xE5\xB9\xB4%m\xE6\x9C\x88%d\xE6\x97\xA5", u"yyyy\u5E74MM\u6708dd\u65E5"},
        {"%d\xB7%m", u"dd\u00B7MM"},  // not UTF-8: read as Windows-1252
        {"%H:%", u"HH:%"},
        {"", u""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(picture_from_strftime(c.format), c.picture) << c.format;
    }
}

// The converted picture, formatted by us, must give what strftime gives in the C locale.
TEST(PictureFromStrftime, FormatsLikeStrftime) {
    ScopedCLocale c_time(LC_TIME, "C");
    ASSERT_TRUE(c_time.ok());
    const char* const date_formats[] = {
        "%m/%d/%y", "%d.%m.%Y", "%-d.%-m.%y", "%A, %B %d, %Y",
        "%a %b %d", "%F",       "%D",         "%d de %B de %Y",
    };
    const char* const time_formats[] = {
        "%H:%M:%S", "%I:%M:%S %p", "%r", "%T", "%R", "%-H.%M", "%H h %M", "%I o'clock %p",
    };
    const DateTime dates[] = {make_date(2024, 3, 5, 2), make_date(1999, 12, 25, 6),
                              make_date(2000, 1, 1, 6)};
    const DateTime times[] = {make_time(0, 5, 9), make_time(12, 0, 0), make_time(23, 59, 59),
                              make_time(9, 30, 0)};
    const LocaleFormats formats = LocaleFormats::en_us();
    char buffer[128];

    for (const char* format : date_formats) {
        const std::u16string picture = picture_from_strftime(format);
        for (const DateTime& d : dates) {
            std::tm tm{};
            tm.tm_year = d.year - 1900;
            tm.tm_mon = d.month - 1;
            tm.tm_mday = d.day;
            tm.tm_wday = d.day_of_week;
            const size_t n = std::strftime(buffer, sizeof buffer, format, &tm);
            EXPECT_EQ(format_date(d, picture, formats), u16(std::string_view(buffer, n)))
                << format << " on " << d.year << "-" << d.month << "-" << d.day;
        }
    }
    for (const char* format : time_formats) {
        const std::u16string picture = picture_from_strftime(format);
        for (const DateTime& t : times) {
            std::tm tm{};
            tm.tm_hour = t.hour;
            tm.tm_min = t.minute;
            tm.tm_sec = t.second;
            const size_t n = std::strftime(buffer, sizeof buffer, format, &tm);
            EXPECT_EQ(format_time(t, picture, formats), u16(std::string_view(buffer, n)))
                << format << " at " << t.hour << ":" << t.minute << ":" << t.second;
        }
    }
}

TEST(PictureSeparator, FirstNonLetterAfterTheFirstField) {
    const struct {
        std::u16string picture;
        std::u16string separator;
    } cases[] = {
        {u"MM/dd/yy", u"/"},  {u"dd.MM.yyyy", u"."}, {u"yyyy-MM-dd", u"-"},
        {u"HH:mm:ss", u":"},  {u"H.mm", u"."},       {u"HH 'h' mm", u" "},
        {u"'Day' d/M", u"/"}, {u"tt hh:mm", u" "},   {u"yyyy\u5E74MM\u6708dd\u65E5", u"\u5E74"},
        {u"HHmm", u"#"},      {u"HH", u"#"},         {u"", u"#"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(picture_separator(c.picture, u"#"), c.separator) << to_utf8(c.picture);
    }
}

// ---- deriving from the C library ------------------------------------------------------------

void expect_names(const LocaleFormats& actual, const LocaleFormats& expected) {
    EXPECT_EQ(actual.month_names, expected.month_names);
    EXPECT_EQ(actual.month_abbrevs, expected.month_abbrevs);
    EXPECT_EQ(actual.day_names, expected.day_names);
    EXPECT_EQ(actual.day_abbrevs, expected.day_abbrevs);
}

TEST(DeriveLocaleFormats, CLocale) {
    for (const char* name : {"C", "POSIX"}) {
        SCOPED_TRACE(name);
        ScopedCLocale c(LC_ALL, name);
        ASSERT_TRUE(c.ok());
        const LocaleFormats f = derive_locale_formats();
        EXPECT_EQ(f.short_date, u"MM/dd/yy");
        EXPECT_EQ(f.long_date, LocaleFormats::en_us().long_date);
        EXPECT_EQ(f.time, u"HH:mm:ss");
        EXPECT_EQ(f.date_separator, u"/");
        EXPECT_EQ(f.time_separator, u":");
        EXPECT_EQ(f.am, u"AM");
        EXPECT_EQ(f.pm, u"PM");
        EXPECT_EQ(f.decimal_separator, u".");
        EXPECT_EQ(f.thousands_separator, u"");
        EXPECT_EQ(f.grouping, 0);
        EXPECT_EQ(f.fraction_digits, 2);
        expect_names(f, LocaleFormats::en_us());
        EXPECT_EQ(time_format_no_seconds(f), u"HH:mm");
        EXPECT_EQ(short_date_format4(f), u"MM/dd/yyyy");
    }
}

// The test command generates the locales these tests need and sets KEYSTASH_REQUIRE_LOCALES, so
// that there a missing locale fails instead of skipping.
bool locales_required() { return std::getenv("KEYSTASH_REQUIRE_LOCALES") != nullptr; }

TEST(DeriveLocaleFormats, UnitedStatesEnglish) {
    ScopedCLocale c(LC_ALL, "en_US.UTF-8");
    if (!c.ok()) {
        ASSERT_FALSE(locales_required()) << "en_US.UTF-8 is not installed";
        GTEST_SKIP() << "en_US.UTF-8 is not installed";
    }
    const LocaleFormats f = derive_locale_formats();
    EXPECT_EQ(f.short_date, u"MM/dd/yyyy");
    EXPECT_EQ(f.time, u"hh:mm:ss tt");
    EXPECT_EQ(f.decimal_separator, u".");
    EXPECT_EQ(f.thousands_separator, u",");
    EXPECT_EQ(f.grouping, 3);
    expect_names(f, LocaleFormats::en_us());
}

TEST(DeriveLocaleFormats, German) {
    ScopedCLocale c(LC_ALL, "de_DE.UTF-8");
    if (!c.ok()) {
        ASSERT_FALSE(locales_required()) << "de_DE.UTF-8 is not installed";
        GTEST_SKIP() << "de_DE.UTF-8 is not installed";
    }
    const LocaleFormats f = derive_locale_formats();
    EXPECT_EQ(f.short_date, u"dd.MM.yyyy");
    EXPECT_EQ(f.long_date, u"dddd, d MMMM yyyy");
    EXPECT_EQ(f.time, u"HH:mm:ss");
    EXPECT_EQ(f.date_separator, u".");
    EXPECT_EQ(f.decimal_separator, u",");
    EXPECT_EQ(f.thousands_separator, u".");
    EXPECT_EQ(f.grouping, 3);
    EXPECT_EQ(f.month_names[2], u"M\u00E4rz");
    EXPECT_EQ(f.day_names[0], u"Sonntag");
}

// ---- process-wide formats -------------------------------------------------------------------

TEST(LocaleFormatsStorage, ScopesNestAndRestore) {
    const std::u16string before = locale_formats().short_date;
    LocaleFormats outer;
    outer.short_date = u"outer";
    LocaleFormats inner;
    inner.short_date = u"inner";
    {
        ScopedLocaleFormats a(outer);
        EXPECT_EQ(locale_formats().short_date, u"outer");
        {
            ScopedLocaleFormats b(inner);
            EXPECT_EQ(locale_formats().short_date, u"inner");
            LocaleFormats replaced;
            replaced.short_date = u"replaced";
            set_locale_formats(replaced);
            EXPECT_EQ(locale_formats().short_date, u"replaced");
        }
        EXPECT_EQ(locale_formats().short_date, u"outer");
    }
    EXPECT_EQ(locale_formats().short_date, before);
}

// A scope installed before anything derived the formats leaves them underived, so the next use
// derives them. The check runs in a fresh process where nothing has used the formats yet.
TEST(LocaleFormatsStorage, ScopeBeforeFirstUseLeavesFormatsUnderived) {
    const std::string style = GTEST_FLAG_GET(death_test_style);
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            std::setlocale(LC_ALL, "C");
            LocaleFormats custom;
            custom.short_date = u"custom";
            {
                ScopedLocaleFormats scope(custom);
                if (locale_formats().short_date != u"custom") std::exit(1);
            }
            std::exit(locale_formats().short_date == u"MM/dd/yy" ? 0 : 2);
        },
        testing::ExitedWithCode(0), "");
    GTEST_FLAG_SET(death_test_style, style);
}

TEST(LocaleFormatsStorage, FormattersDefaultToTheInstalledFormats) {
    ScopedLocaleFormats scope(german());
    EXPECT_EQ(format_date(make_date(2024, 3, 5, 2), u"dddd, d. MMMM yyyy"),
              u"Dienstag, 5. M\u00E4rz 2024");
    EXPECT_EQ(format_number("1234.5"), u"1.234,50");
    EXPECT_EQ(short_date_format4(), u"dd.MM.yyyy");
    EXPECT_EQ(time_format_no_seconds(), u"HH:mm");
}

// ---- date and time pictures -----------------------------------------------------------------

TEST(FormatDate, Pictures) {
    const DateTime tuesday = make_date(2024, 3, 5, 2);
    const struct {
        DateTime date;
        std::u16string picture;
        std::u16string expected;
    } cases[] = {
        {tuesday, u"d/M/y", u"5/3/24"},
        {tuesday, u"dd/MM/yy", u"05/03/24"},
        {make_date(2024, 11, 25, 1), u"d/M", u"25/11"},
        {tuesday, u"ddd, MMM", u"Tue, Mar"},
        {tuesday, u"dddd MMMM", u"Tuesday March"},
        {tuesday, u"ddddd MMMMM", u"Tuesday March"},
        {make_date(2005, 1, 1, 6), u"y|yy|yyy|yyyy|yyyyy", u"5|05|2005|2005|2005"},
        {make_date(2000, 1, 1, 6), u"y/yy", u"0/00"},
        {make_date(987, 1, 1, 0), u"yyyy", u"0987"},
        {tuesday, u"gg yyyy g", u" 2024 "},
        {tuesday, u"'day' d", u"day 5"},
        {tuesday, u"'it''s' d", u"it's 5"},
        {tuesday, u"d''M", u"53"},
        {tuesday, u"d 'unclosed M", u"5 unclosed M"},
        {tuesday, u"h:mm:ss tt d", u"h:mm:ss tt 5"},  // time letters are plain text here
        {tuesday, u"yyyy\u5E74M\u6708d\u65E5", u"2024\u5E743\u67085\u65E5"},
        {make_date(2024, 0, 5, 7), u"[MMM][MMMM][ddd][dddd] M", u"[][][][] 0"},
        {make_date(2024, 13, 5, 2), u"[MMM] MM", u"[] 13"},
    };
    const LocaleFormats formats = LocaleFormats::en_us();
    for (const auto& c : cases) {
        EXPECT_EQ(format_date(c.date, c.picture, formats), c.expected) << to_utf8(c.picture);
    }
    EXPECT_EQ(format_date(tuesday, u"ddd d. MMM", german()), u"Di 5. M\u00E4r");
}

TEST(FormatTime, Pictures) {
    const struct {
        DateTime time;
        std::u16string picture;
        std::u16string expected;
    } cases[] = {
        {make_time(0, 5, 9), u"h:mm:ss tt", u"12:05:09 AM"},   // midnight hour
        {make_time(12, 0, 0), u"h:mm:ss tt", u"12:00:00 PM"},  // noon
        {make_time(11, 59, 59), u"hh:mm:ss t", u"11:59:59 A"},
        {make_time(13, 1, 2), u"hh:mm tt", u"01:01 PM"},
        {make_time(23, 59, 59), u"h t", u"11 P"},
        {make_time(0, 0, 0), u"HH:mm:ss", u"00:00:00"},
        {make_time(9, 7, 3), u"H:m:s", u"9:7:3"},
        {make_time(9, 7, 3), u"HHH:mmm:sss ttt", u"09:07:03 AM"},
        {make_time(14, 5, 0), u"H 'h' mm", u"14 h 05"},
        {make_time(14, 5, 0), u"H 'o''clock' d/M/y", u"14 o'clock d/M/y"},
    };
    const LocaleFormats formats = LocaleFormats::en_us();
    for (const auto& c : cases) {
        EXPECT_EQ(format_time(c.time, c.picture, formats), c.expected) << to_utf8(c.picture);
    }
    LocaleFormats markers;
    markers.am = u"vorm.";
    markers.pm = u"";
    EXPECT_EQ(format_time(make_time(8, 0, 0), u"h t|tt", markers), u"8 v|vorm.");
    EXPECT_EQ(format_time(make_time(20, 0, 0), u"h t|tt", markers), u"8 |");
}

TEST(DerivedPictures, TimeWithoutSeconds) {
    const struct {
        std::u16string time;
        std::u16string separator;
        std::u16string expected;
    } cases[] = {
        {u"h:mm:ss tt", u":", u"h:mm tt"},   {u"HH:mm:ss", u":", u"HH:mm"},
        {u"tt hh:mm:ss", u":", u"tt hh:mm"}, {u"H:m:s", u":", u"H:m"},
        {u"HH.mm.ss", u".", u"HH.mm"},       {u"H.mm", u".", u"H.mm"},
        {u"HH:mm", u":", u"HH:mm"},
    };
    for (const auto& c : cases) {
        LocaleFormats f;
        f.time = c.time;
        f.time_separator = c.separator;
        EXPECT_EQ(time_format_no_seconds(f), c.expected) << to_utf8(c.time);
    }
}

TEST(DerivedPictures, ShortDateWithFourDigitYear) {
    const struct {
        std::u16string short_date;
        std::u16string expected;
    } cases[] = {
        {u"M/d/yy", u"M/d/yyyy"},
        {u"yy-MM-dd", u"yyyy-MM-dd"},
        {u"dd.MM.yyyy", u"dd.MM.yyyy"},
        {u"dd/MM", u"dd/MM"},
    };
    for (const auto& c : cases) {
        LocaleFormats f;
        f.short_date = c.short_date;
        EXPECT_EQ(short_date_format4(f), c.expected) << to_utf8(c.short_date);
    }
}

// ---- numbers --------------------------------------------------------------------------------

TEST(FormatNumber, GroupingSeparatorsAndRounding) {
    const LocaleFormats us = LocaleFormats::en_us();
    const LocaleFormats de = german();
    LocaleFormats no_grouping = de;
    no_grouping.grouping = 0;
    LocaleFormats whole = us;
    whole.fraction_digits = 0;
    LocaleFormats odd = us;
    odd.grouping = 4;
    odd.thousands_separator = u"\u202F";
    odd.fraction_digits = 3;

    const struct {
        const char* input;
        const LocaleFormats* formats;
        std::u16string expected;
    } cases[] = {
        {"1234567.891", &us, u"1,234,567.89"},
        {"-1234.5", &us, u"-1,234.50"},
        {"123", &us, u"123.00"},
        {"1000", &us, u"1,000.00"},
        {"100", &us, u"100.00"},
        {"0.005", &us, u"0.01"},  // half rounds away from zero
        {"-0.005", &us, u"-0.01"},
        {"0.00499", &us, u"0.00"},
        {"-0.004", &us, u"0.00"},  // rounds to zero: no sign
        {"999.995", &us, u"1,000.00"},
        {"9.999", &us, u"10.00"},
        {".5", &us, u"0.50"},
        {"007", &us, u"7.00"},
        {"+5.", &us, u"5.00"},
        {"1234567.891", &de, u"1.234.567,89"},
        {"-1234567.891", &no_grouping, u"-1234567,89"},
        {"2.5", &whole, u"3"},
        {"-2.5", &whole, u"-3"},
        {"2.49", &whole, u"2"},
        {"123456789.1", &odd, u"1\u202F2345\u202F6789.100"},
        // Not a plain decimal: returned as it is.
        {"", &us, u""},
        {"-", &us, u"-"},
        {"abc", &us, u"abc"},
        {"1e5", &us, u"1e5"},
        {"1.2.3", &us, u"1.2.3"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(format_number(c.input, *c.formats), c.expected) << c.input;
    }
}

}  // namespace
}  // namespace ks
