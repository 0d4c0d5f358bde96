#pragma once
// The user's locale formats, expressed as Windows-style format pictures ("M/d/yyyy",
// "h:mm:ss tt"), and our formatter for them. The formats are derived once from the C library's
// LC_TIME and LC_NUMERIC; tests install fixed ones.
#include <array>
#include <string>
#include <string_view>

#include "platform/datetime.h"

namespace ks {

struct LocaleFormats {
    std::u16string short_date = u"M/d/yyyy";
    std::u16string long_date = u"dddd, MMMM d, yyyy";
    std::u16string time = u"h:mm:ss tt";
    std::u16string date_separator = u"/";
    std::u16string time_separator = u":";
    std::u16string am = u"AM";
    std::u16string pm = u"PM";
    std::u16string decimal_separator = u".";
    std::u16string thousands_separator = u",";
    int grouping = 3;         // digits per group; 0 = no grouping
    int fraction_digits = 2;  // digits after the decimal separator in number formats
    std::array<std::u16string, 12> month_names{u"January",   u"February", u"March",    u"April",
                                               u"May",       u"June",     u"July",     u"August",
                                               u"September", u"October",  u"November", u"December"};
    std::array<std::u16string, 12> month_abbrevs{u"Jan", u"Feb", u"Mar", u"Apr", u"May", u"Jun",
                                                 u"Jul", u"Aug", u"Sep", u"Oct", u"Nov", u"Dec"};
    std::array<std::u16string, 7> day_names{u"Sunday",   u"Monday", u"Tuesday", u"Wednesday",
                                            u"Thursday", u"Friday", u"Saturday"};
    std::array<std::u16string, 7> day_abbrevs{u"Sun", u"Mon", u"Tue", u"Wed",
                                              u"Thu", u"Fri", u"Sat"};

    // United States English; what the defaults above are.
    static LocaleFormats en_us() { return {}; }
};

// Derives the formats from the C library's current LC_TIME and LC_NUMERIC (after
// setlocale(LC_ALL, "") in the program): nl_langinfo's D_FMT and T_FMT turned into pictures,
// its month and day names, AM/PM strings, and localeconv's separators.
LocaleFormats derive_locale_formats();

// The parts of the derivation: a strftime format ("%d.%m.%Y") as a picture ("dd.MM.yyyy"),
// with literal letters quoted and unsupported conversions dropped; and a picture's separator,
// the first non-letter character after its first field, or `fallback` when there is none.
std::u16string picture_from_strftime(std::string_view format);
std::u16string picture_separator(std::u16string_view picture, std::u16string_view fallback);

// The process-wide formats: derived on first use unless installed.
const LocaleFormats& locale_formats();
void set_locale_formats(const LocaleFormats& formats);

class ScopedLocaleFormats {
  public:
    explicit ScopedLocaleFormats(const LocaleFormats& formats);
    ~ScopedLocaleFormats();
    ScopedLocaleFormats(const ScopedLocaleFormats&) = delete;
    ScopedLocaleFormats& operator=(const ScopedLocaleFormats&) = delete;

  private:
    LocaleFormats previous_;
    bool had_previous_;
};

// Formats with a Windows date picture: d dd ddd dddd, M MM MMM MMMM, y yy yyyy (yyy and
// yyyyy as yyyy), g gg (ignored), '...' literal text ('' a quote); other characters as
// they are.
std::u16string format_date(const DateTime& t, std::u16string_view picture,
                           const LocaleFormats& formats = locale_formats());

// Formats with a Windows time picture: h hh (12-hour), H HH (24-hour), m mm, s ss, t (first
// character of the AM/PM text), tt, '...' literal text; other characters as they are.
std::u16string format_time(const DateTime& t, std::u16string_view picture,
                           const LocaleFormats& formats = locale_formats());

// The time picture without seconds: the first time separator + "ss" is removed, or when there
// is none, the first time separator + "s".
std::u16string time_format_no_seconds(const LocaleFormats& formats = locale_formats());

// The short date picture with a four-digit year: the first "yy" becomes "yyyy" when the
// picture has "yy" but no "yyyy".
std::u16string short_date_format4(const LocaleFormats& formats = locale_formats());

// A plain decimal number ("-1234.5", "." as its point) in the locale's number format: grouped
// integer digits, the locale's separators and exactly `fraction_digits` fraction digits
// (rounded half away from zero).
std::u16string format_number(std::string_view plain_decimal,
                             const LocaleFormats& formats = locale_formats());

}  // namespace ks
