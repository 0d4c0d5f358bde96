#include "platform/locale_format.h"

#include <langinfo.h>

#include <algorithm>
#include <climits>
#include <clocale>
#include <mutex>
#include <optional>

#include "platform/text.h"

namespace ks {

namespace {

bool is_ascii_letter(char16_t c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

// ---- strftime -> picture ----------------------------------------------------------------

// Appends literal text to a picture, quoting ASCII letters (which a picture would read as
// fields) and doubling apostrophes inside the quotes.
void append_literal(std::u16string& out, std::u16string_view text) {
    bool quoted = false;
    for (char16_t c : text) {
        const bool needs_quotes = is_ascii_letter(c) || c == u'\'';
        if (needs_quotes != quoted) {
            out += u'\'';
            quoted = needs_quotes;
        }
        out += c;
        if (c == u'\'') out += u'\'';
    }
    if (quoted) out += u'\'';
}

struct Conversion {
    char name;
    std::u16string_view picture;
    std::u16string_view unpadded;  // with glibc's '-' flag ("%-d")
};

// strftime conversions that have a picture equivalent. Others (time zones, week numbers and
// the like) are dropped.
constexpr Conversion kConversions[] = {
    {'d', u"dd", u"d"},
    {'e', u"d", u"d"},
    {'m', u"MM", u"M"},
    {'y', u"yy", u"y"},
    {'g', u"yy", u"y"},
    {'Y', u"yyyy", u"yyyy"},
    {'G', u"yyyy", u"yyyy"},
    {'b', u"MMM", u"MMM"},
    {'h', u"MMM", u"MMM"},
    {'B', u"MMMM", u"MMMM"},
    {'a', u"ddd", u"ddd"},
    {'A', u"dddd", u"dddd"},
    {'H', u"HH", u"H"},
    {'k', u"H", u"H"},
    {'I', u"hh", u"h"},
    {'l', u"h", u"h"},
    {'M', u"mm", u"m"},
    {'S', u"ss", u"s"},
    {'p', u"tt", u"tt"},
    {'P', u"tt", u"tt"},
    {'D', u"MM/dd/yy", u"MM/dd/yy"},
    {'T', u"HH:mm:ss", u"HH:mm:ss"},
    {'R', u"HH:mm", u"HH:mm"},
    {'r', u"hh:mm:ss tt", u"hh:mm:ss tt"},
    {'F', u"yyyy-MM-dd", u"yyyy-MM-dd"},
};

// Positions of the first day, month and year fields of a picture (npos when absent).
struct FieldOrder {
    size_t day = std::u16string_view::npos;
    size_t month = std::u16string_view::npos;
    size_t year = std::u16string_view::npos;
};

FieldOrder field_order(std::u16string_view picture) {
    FieldOrder order;
    bool quoted = false;
    for (size_t i = 0; i < picture.size(); ++i) {
        const char16_t c = picture[i];
        if (c == u'\'') {
            quoted = !quoted;
        } else if (!quoted) {
            size_t* slot = c == u'd'   ? &order.day
                           : c == u'M' ? &order.month
                           : c == u'y' ? &order.year
                                       : nullptr;
            if (slot != nullptr && *slot == std::u16string_view::npos) *slot = i;
        }
    }
    return order;
}

// The C library has no long date format; this one follows the short date's field order.
std::u16string long_date_for(std::u16string_view short_date) {
    const FieldOrder order = field_order(short_date);
    if (order.year < order.month && order.year < order.day) return u"dddd, yyyy MMMM d";
    if (order.day < order.month) return u"dddd, d MMMM yyyy";
    return LocaleFormats{}.long_date;
}

std::u16string langinfo_text(nl_item item) {
    const char* text = nl_langinfo(item);
    return text != nullptr ? from_ansi(text) : std::u16string{};
}

// Replaces `target` with the locale's text unless the locale has none.
void take_langinfo(std::u16string& target, nl_item item) {
    std::u16string text = langinfo_text(item);
    if (!text.empty()) target = std::move(text);
}

// ---- process-wide storage -------------------------------------------------------------------

struct Storage {
    std::mutex mutex;
    std::optional<LocaleFormats> formats;
};

Storage& storage() {
    static Storage s;
    return s;
}

// ---- formatting -----------------------------------------------------------------------------

void append_number(std::u16string& out, unsigned value, size_t min_digits) {
    std::u16string digits;
    do {
        digits += static_cast<char16_t>(u'0' + value % 10);
        value /= 10;
    } while (value != 0);
    if (digits.size() < min_digits) digits.append(min_digits - digits.size(), u'0');
    out.append(digits.rbegin(), digits.rend());
}

// Walks a picture: quoted text is copied without its quotes ('' inside quotes is a quote),
// each run of a letter `field` accepts is handed to it with its length, everything else is
// copied as it is.
template <typename Field>
std::u16string format_picture(std::u16string_view picture, Field field) {
    std::u16string out;
    size_t i = 0;
    while (i < picture.size()) {
        const char16_t c = picture[i];
        if (c == u'\'') {
            ++i;
            while (i < picture.size()) {
                if (picture[i] != u'\'') {
                    out += picture[i++];
                } else if (i + 1 < picture.size() && picture[i + 1] == u'\'') {
                    out += u'\'';
                    i += 2;
                } else {
                    ++i;
                    break;
                }
            }
            continue;
        }
        size_t run = 1;
        while (i + run < picture.size() && picture[i + run] == c) ++run;
        if (field(c, run, out)) {
            i += run;
        } else {
            out += c;
            ++i;
        }
    }
    return out;
}

template <size_t N>
const std::u16string& name_or_empty(const std::array<std::u16string, N>& names, size_t index) {
    static const std::u16string empty;
    return index < N ? names[index] : empty;
}

}  // namespace

std::u16string picture_from_strftime(std::string_view format) {
    std::u16string out;
    std::string literal;
    auto flush = [&] {
        append_literal(out, from_ansi(literal));
        literal.clear();
    };
    size_t i = 0;
    while (i < format.size()) {
        if (format[i] != '%') {
            literal += format[i++];
            continue;
        }
        const size_t start = i++;
        bool no_pad = false;
        while (i < format.size() &&
               std::string_view("_-0^#").find(format[i]) != std::string_view::npos) {
            no_pad = no_pad || format[i] == '-';
            ++i;
        }
        while (i < format.size() && format[i] >= '0' && format[i] <= '9') ++i;
        if (i < format.size() && (format[i] == 'E' || format[i] == 'O')) ++i;
        if (i >= format.size()) {
            literal += format.substr(start);
            break;
        }
        const char conversion = format[i++];
        if (conversion == '%') {
            literal += '%';
        } else if (conversion == 'n' || conversion == 't') {
            literal += ' ';
        } else {
            const auto* it =
                std::find_if(std::begin(kConversions), std::end(kConversions),
                             [&](const Conversion& c) { return c.name == conversion; });
            if (it != std::end(kConversions)) {
                flush();
                out += no_pad ? it->unpadded : it->picture;
            }
        }
    }
    flush();
    return out;
}

std::u16string picture_separator(std::u16string_view picture, std::u16string_view fallback) {
    size_t i = 0;
    bool quoted = false;
    // Skip to the first field, then past it.
    for (; i < picture.size(); ++i) {
        if (picture[i] == u'\'') {
            quoted = !quoted;
        } else if (!quoted && is_ascii_letter(picture[i])) {
            break;
        }
    }
    const char16_t field = i < picture.size() ? picture[i] : u'\0';
    while (i < picture.size() && picture[i] == field) ++i;
    for (; i < picture.size(); ++i) {
        const char16_t c = picture[i];
        if (c == u'\'' || is_ascii_letter(c)) continue;
        const bool pair = c >= 0xD800 && c <= 0xDBFF && i + 1 < picture.size();
        return std::u16string(picture.substr(i, pair ? 2 : 1));
    }
    return std::u16string(fallback);
}

LocaleFormats derive_locale_formats() {
    LocaleFormats f;

    const std::u16string date_format = langinfo_text(D_FMT);
    if (!date_format.empty()) f.short_date = picture_from_strftime(to_utf8(date_format));
    const std::u16string time_format = langinfo_text(T_FMT);
    if (!time_format.empty()) f.time = picture_from_strftime(to_utf8(time_format));
    f.long_date = long_date_for(f.short_date);
    f.date_separator = picture_separator(f.short_date, u"/");
    f.time_separator = picture_separator(f.time, u":");
    take_langinfo(f.am, AM_STR);
    take_langinfo(f.pm, PM_STR);

    static constexpr std::array<nl_item, 12> kMonths{MON_1, MON_2, MON_3, MON_4,  MON_5,  MON_6,
                                                     MON_7, MON_8, MON_9, MON_10, MON_11, MON_12};
    static constexpr std::array<nl_item, 12> kMonthAbbrevs{ABMON_1, ABMON_2,  ABMON_3,  ABMON_4,
                                                           ABMON_5, ABMON_6,  ABMON_7,  ABMON_8,
                                                           ABMON_9, ABMON_10, ABMON_11, ABMON_12};
    static constexpr std::array<nl_item, 7> kDays{DAY_1, DAY_2, DAY_3, DAY_4, DAY_5, DAY_6, DAY_7};
    static constexpr std::array<nl_item, 7> kDayAbbrevs{ABDAY_1, ABDAY_2, ABDAY_3, ABDAY_4,
                                                        ABDAY_5, ABDAY_6, ABDAY_7};
    for (size_t m = 0; m < 12; ++m) {
        take_langinfo(f.month_names[m], kMonths[m]);
        take_langinfo(f.month_abbrevs[m], kMonthAbbrevs[m]);
    }
    for (size_t d = 0; d < 7; ++d) {
        take_langinfo(f.day_names[d], kDays[d]);
        take_langinfo(f.day_abbrevs[d], kDayAbbrevs[d]);
    }

    if (const lconv* conv = localeconv()) {
        if (conv->decimal_point != nullptr && *conv->decimal_point != '\0') {
            f.decimal_separator = from_ansi(conv->decimal_point);
        }
        f.thousands_separator =
            conv->thousands_sep != nullptr ? from_ansi(conv->thousands_sep) : std::u16string{};
        const char* grouping = conv->grouping;
        const bool grouped = grouping != nullptr && grouping[0] > 0 && grouping[0] != CHAR_MAX;
        f.grouping = grouped ? grouping[0] : 0;
    }
    // The C library has no such setting; two digits is the usual system default.
    f.fraction_digits = 2;
    return f;
}

const LocaleFormats& locale_formats() {
    Storage& s = storage();
    std::lock_guard lock(s.mutex);
    if (!s.formats) s.formats = derive_locale_formats();
    return *s.formats;
}

void set_locale_formats(const LocaleFormats& formats) {
    Storage& s = storage();
    std::lock_guard lock(s.mutex);
    s.formats = formats;
}

ScopedLocaleFormats::ScopedLocaleFormats(const LocaleFormats& formats) {
    Storage& s = storage();
    std::lock_guard lock(s.mutex);
    had_previous_ = s.formats.has_value();
    if (had_previous_) previous_ = *s.formats;
    s.formats = formats;
}

ScopedLocaleFormats::~ScopedLocaleFormats() {
    Storage& s = storage();
    std::lock_guard lock(s.mutex);
    if (had_previous_) {
        s.formats = previous_;
    } else {
        s.formats.reset();
    }
}

std::u16string format_date(const DateTime& t, std::u16string_view picture,
                           const LocaleFormats& formats) {
    return format_picture(picture, [&](char16_t c, size_t run, std::u16string& out) {
        switch (c) {
            case u'd':
                if (run <= 2) {
                    append_number(out, t.day, run);
                } else {
                    out += name_or_empty(run == 3 ? formats.day_abbrevs : formats.day_names,
                                         t.day_of_week);
                }
                return true;
            case u'M':
                if (run <= 2) {
                    append_number(out, t.month, run);
                } else {
                    out += name_or_empty(run == 3 ? formats.month_abbrevs : formats.month_names,
                                         t.month - size_t{1});
                }
                return true;
            case u'y':
                if (run <= 2) {
                    append_number(out, t.year % 100u, run);
                } else {
                    append_number(out, t.year, 4);
                }
                return true;
            case u'g':
                return true;
            default:
                return false;
        }
    });
}

std::u16string format_time(const DateTime& t, std::u16string_view picture,
                           const LocaleFormats& formats) {
    return format_picture(picture, [&](char16_t c, size_t run, std::u16string& out) {
        const size_t digits = std::min<size_t>(run, 2);
        switch (c) {
            case u'h': {
                const unsigned hour = t.hour % 12u;
                append_number(out, hour == 0 ? 12 : hour, digits);
                return true;
            }
            case u'H':
                append_number(out, t.hour, digits);
                return true;
            case u'm':
                append_number(out, t.minute, digits);
                return true;
            case u's':
                append_number(out, t.second, digits);
                return true;
            case u't': {
                const std::u16string& marker = t.hour < 12 ? formats.am : formats.pm;
                out += run == 1 ? marker.substr(0, 1) : marker;
                return true;
            }
            default:
                return false;
        }
    });
}

std::u16string time_format_no_seconds(const LocaleFormats& formats) {
    std::u16string picture = formats.time;
    for (std::u16string_view seconds : {u"ss", u"s"}) {
        const std::u16string target = formats.time_separator + std::u16string(seconds);
        const size_t at = picture.find(target);
        if (at != std::u16string::npos) {
            picture.erase(at, target.size());
            break;
        }
    }
    return picture;
}

std::u16string short_date_format4(const LocaleFormats& formats) {
    std::u16string picture = formats.short_date;
    const size_t at = picture.find(u"yy");
    if (at != std::u16string::npos && picture.find(u"yyyy") == std::u16string::npos) {
        picture.replace(at, 2, u"yyyy");
    }
    return picture;
}

std::u16string format_number(std::string_view plain_decimal, const LocaleFormats& formats) {
    std::string_view rest = plain_decimal;
    bool negative = false;
    if (!rest.empty() && (rest.front() == '-' || rest.front() == '+')) {
        negative = rest.front() == '-';
        rest.remove_prefix(1);
    }
    const size_t point = rest.find('.');
    std::string integer(rest.substr(0, point));
    std::string fraction(point == std::string_view::npos ? std::string_view{}
                                                         : rest.substr(point + 1));
    auto all_digits = [](std::string_view s) {
        return std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
    };
    if ((integer.empty() && fraction.empty()) || !all_digits(integer) || !all_digits(fraction)) {
        return from_utf8(plain_decimal);
    }

    const size_t wanted = static_cast<size_t>(std::max(formats.fraction_digits, 0));
    if (fraction.size() > wanted) {
        const bool round_up = fraction[wanted] >= '5';
        fraction.resize(wanted);
        if (round_up) {
            // Adds one unit in the last kept place to the magnitude, carrying leftwards.
            std::string digits = integer + fraction;
            size_t k = digits.size();
            while (k > 0 && digits[k - 1] == '9') digits[--k] = '0';
            if (k > 0) {
                ++digits[k - 1];
            } else {
                digits.insert(digits.begin(), '1');
            }
            integer = digits.substr(0, digits.size() - wanted);
            fraction = digits.substr(digits.size() - wanted);
        }
    } else {
        fraction.append(wanted - fraction.size(), '0');
    }
    integer.erase(0, std::min(integer.find_first_not_of('0'), integer.size()));
    if (integer.empty()) integer.push_back('0');
    // A value that rounds to zero is shown without a sign.
    if (integer == "0" && fraction.find_first_not_of('0') == std::string::npos) negative = false;

    std::u16string out;
    if (negative) out += u'-';
    const size_t group = formats.grouping > 0 ? static_cast<size_t>(formats.grouping) : 0;
    for (size_t k = 0; k < integer.size(); ++k) {
        if (group != 0 && k != 0 && (integer.size() - k) % group == 0) {
            out += formats.thousands_separator;
        }
        out += static_cast<char16_t>(integer[k]);
    }
    if (wanted > 0) {
        out += formats.decimal_separator;
        out.append(fraction.begin(), fraction.end());
    }
    return out;
}

}  // namespace ks
