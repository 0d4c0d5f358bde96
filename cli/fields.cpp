#include "cli/fields.h"

#include <algorithm>
#include <cstdio>

#include "cli/context.h"
#include "cli/shown_text.h"
#include "platform/clock.h"
#include "platform/text.h"
#include "platform/texts.h"

namespace ks::cli {
namespace {

constexpr size_t kAlwaysShowPinsStyle = 9;  // style value at byte 36

int days_in_month(int year, int month) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : kDays[month - 1];
}

std::optional<DateTime> parse_date_time(const std::string& text, uint16_t kind) {
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
    char tail = 0;
    bool ok = false;
    if (kind == 9) {
        ok = std::sscanf(text.c_str(), "%d:%d%c", &h, &mi, &tail) == 2 ||
             std::sscanf(text.c_str(), "%d:%d:%d%c", &h, &mi, &s, &tail) == 3;
        // A time keeps today's date, as a time picker does, so that it counts as set.
        const DateTime today = clock().now();
        y = today.year, mo = today.month, d = today.day;
    } else {
        ok = std::sscanf(text.c_str(), "%d-%d-%d%c", &y, &mo, &d, &tail) == 3 ||
             (kind == 10 &&
              (std::sscanf(text.c_str(), "%d-%d-%d %d:%d%c", &y, &mo, &d, &h, &mi, &tail) == 5 ||
               std::sscanf(text.c_str(), "%d-%d-%d %d:%d:%d%c", &y, &mo, &d, &h, &mi, &s, &tail) ==
                   6));
    }
    if (!ok || y < 1601 || y > 9999 || mo < 1 || mo > 12 || d < 1 || d > days_in_month(y, mo) ||
        h < 0 || h > 23 || mi < 0 || mi > 59 || s < 0 || s > 59)
        return std::nullopt;
    // Day of week by Zeller's congruence (0 = Sunday).
    int m = mo, yy = y;
    if (m < 3) m += 12, yy -= 1;
    const int dow = (d + 13 * (m + 1) / 5 + yy + yy / 4 - yy / 100 + yy / 400 + 6) % 7;
    return DateTime{static_cast<uint16_t>(y),   static_cast<uint16_t>(mo),
                    static_cast<uint16_t>(dow), static_cast<uint16_t>(d),
                    static_cast<uint16_t>(h),   static_cast<uint16_t>(mi),
                    static_cast<uint16_t>(s),   0};
}

}  // namespace

bool card_shows_pins(const Card& card) {
    return card.style()[kAlwaysShowPinsStyle] != 0;
}

SecretText shown_value(const FieldRecord& field, bool show_pins) {
    SecretText text = field.display_text();
    if (field.kind() == static_cast<uint16_t>(FieldKind::Pin) && !show_pins && !text.empty())
        return SecretText(kMaskedValue);
    return text;
}

Status split_assignment(std::string_view text, std::u16string& label, std::u16string& value) {
    const size_t eq = text.find('=');
    if (eq == std::string_view::npos || eq == 0)
        return fail(Exit::Usage, "\"" + std::string(text) + "\" is not of the form LABEL=VALUE.");
    label = from_utf8(text.substr(0, eq));
    value = from_utf8(text.substr(eq + 1));
    return Status::fine();
}

std::optional<size_t> field_by_label(const Card& card, std::u16string_view label) {
    const std::u16string wanted = to_lower(label);
    for (size_t i = 0; i < card.fields().size(); ++i)
        if (to_lower(card.fields()[i].label()) == wanted) return i;
    return std::nullopt;
}

Status set_field_text(FieldRecord& field, std::u16string_view text) {
    const uint16_t kind = field.kind();
    if (is_date_kind(kind)) {
        if (text.empty()) {
            field.set_date(std::nullopt);
            return Status::fine();
        }
        auto when = parse_date_time(to_utf8(text), kind);
        if (!when) {
            const char* form = kind == 8 ? "YYYY-MM-DD" : kind == 9 ? "HH:MM" : "YYYY-MM-DD HH:MM";
            return fail(Exit::Usage, "\"" + to_utf8(text) + "\" is not a valid value for " +
                                         shown_text(field.label()) + " (" + form + ").");
        }
        field.set_date(*when);
        return Status::fine();
    }
    if (kind == static_cast<uint16_t>(FieldKind::YesNo)) {
        const std::u16string t = to_lower(text);
        if (t == u"yes" || t == u"1" || t == u"true" || t == to_lower(load_string(text_id::kYes)))
            field.set_value(u"1");
        else if (t == u"no" || t == u"0" || t == u"false" ||
                 t == to_lower(load_string(text_id::kNo)))
            field.set_value(u"0");
        else if (t.empty())
            field.set_value(u"");
        else
            return fail(Exit::Usage, shown_text(field.label()) + " takes yes or no.");
        return Status::fine();
    }
    field.set_value(text);
    return Status::fine();
}

std::string kind_name(uint16_t kind) {
    return to_utf8(load_string(field_kind_name_id(kind)));
}

Status fill_fields(Context& context, const Args& args, Card& card, std::string_view owner) {
    auto field_for = [&](std::u16string_view label, size_t& field) -> Status {
        auto found = field_by_label(card, label);
        if (!found)
            return fail(Exit::NotFound,
                        std::string(owner) + " has no field \"" + to_utf8(label) + "\".");
        field = *found;
        return Status::fine();
    };
    size_t field = 0;
    for (const std::string& assignment : args.values("--set")) {
        std::u16string label, value;
        if (Status s = split_assignment(assignment, label, value); !s.ok()) return s;
        if (Status s = field_for(label, field); !s.ok()) return s;
        if (Status s = set_field_text(card.field(field), value); !s.ok()) return s;
    }
    const std::vector<std::string> from_input = args.values("--set-stdin");
    for (const std::string& label : from_input)
        if (Status s = field_for(from_utf8(label), field); !s.ok()) return s;
    for (const std::string& label : from_input) {
        auto value = context.read_password("Value for " + label + ": ");
        if (!value) return fail(Exit::Usage, "No value was given for " + label + ".");
        if (Status s = field_for(from_utf8(label), field); !s.ok()) return s;
        if (Status s = set_field_text(card.field(field), *value); !s.ok()) return s;
    }
    return Status::fine();
}

}  // namespace ks::cli
