#include "shell/session_rules.h"

#include <algorithm>

#include "platform/message_format.h"
#include "platform/text.h"
#include "platform/texts.h"
#include "shell/settings.h"

namespace ks {

namespace fs = std::filesystem;

StartDecision decide_start(std::u16string_view command_line, const AppSettings& settings,
                           const FileExists& exists) {
    if (!command_line.empty()) {
        const fs::path path = fs::path(to_utf8(command_line));
        if (exists(path)) return {StartAction::OpenPath, path};
        return {};
    }
    if (settings.OpenLast != 0 && !settings.MRU.empty()) {
        const fs::path path = fs::path(to_utf8(settings.MRU));
        if (exists(path)) return {StartAction::OpenPath, path};
    }
    return {};
}

bool show_welcome_message(const AppSettings& settings) {
    return settings.Count6 == 0 || (settings.Info & 1) != 0;
}

FindRequest classify_find(std::u16string_view text) {
    if (text.size() < 2) return {FindKind::TooShort, {}, false};
    static constexpr std::pair<std::u16string_view, FindKind> kSwitches[] = {
        {u"::reset", FindKind::ResetSwitch},
        {u"::cleartype", FindKind::ClearTypeSwitch},
        {u"::openlast", FindKind::OpenLastSwitch},
    };
    for (const auto& [word, kind] : kSwitches) {
        if (iequals_ascii(text, word)) return {kind, {}, false};
    }
    if (text.size() > kFindTextLimit) {
        return {FindKind::Search, std::u16string(cut_units(text, kFindTextLimit)), true};
    }
    return {FindKind::Search, std::u16string(text), false};
}

bool apply_find_switch(FindKind kind, AppSettings& settings) {
    switch (kind) {
        case FindKind::ResetSwitch:
            settings.reset_to_defaults();
            return true;
        case FindKind::ClearTypeSwitch:
            settings.set(&AppSettings::ClearType, settings.ClearType ? 0 : 1);
            return true;
        case FindKind::OpenLastSwitch:
            settings.set(&AppSettings::OpenLast, settings.OpenLast ? 0 : 1);
            return true;
        default:
            return false;
    }
}

int64_t whole_minutes(const DateTime& t) {
    // Days from 1601-01-01 by the civil-calendar count; months outside 1..12 count as January.
    const int64_t month = (t.month >= 1 && t.month <= 12) ? t.month : 1;
    const int64_t year = static_cast<int64_t>(t.year) - (month <= 2 ? 1 : 0);
    const int64_t era = (year >= 0 ? year : year - 399) / 400;
    const int64_t year_of_era = year - era * 400;
    const int64_t day_of_year = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + t.day - 1;
    const int64_t day_of_era = year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
    const int64_t days = era * 146097 + day_of_era;
    return (days * 24 + t.hour) * 60 + t.minute;
}

bool auto_close_due_minutes(bool wallet_open, uint32_t period_minutes, int64_t last_activity,
                            int64_t now) {
    if (!wallet_open || period_minutes == 0) return false;
    return now - last_activity >= static_cast<int64_t>(period_minutes);
}

bool auto_close_due(bool wallet_open, uint32_t period_minutes, const DateTime& last_activity,
                    const DateTime& now) {
    return auto_close_due_minutes(wallet_open, period_minutes, whole_minutes(last_activity),
                                  whole_minutes(now));
}

HeaderLayout header_layout(int width, bool find_mode, bool edit_has_text) {
    constexpr int s = 20, m = 2, t = 1;
    HeaderLayout l;
    l.mode = {m, t, s, s};
    l.search = {width - m - s, t, s, s};
    l.expand = l.search;
    l.clear = {width - 2 * (m + s), t, s, s};
    const int edit_x = s + 2 * m;
    int edit_end;
    if (find_mode && edit_has_text) {
        l.show_clear = l.show_search = true;
        l.show_expand = false;
        edit_end = width - 2 * (m + s) - m;
    } else {
        edit_end = find_mode ? width - m : width - m - s - m;
    }
    l.show_edit = find_mode;
    l.edit = {edit_x, 2, std::max(0, edit_end - edit_x), s};
    if (find_mode) l.show_expand = false;
    const int name_x = s + 2 * m + 3;
    l.name = {name_x, 2, std::max(0, width - 2 * m - s - name_x), s};
    return l;
}

bool has_visible_text(std::u16string_view text) {
    for (char16_t c : text) {
        if (c != u' ') return true;
    }
    return false;
}

bool time_jumped(const DateTime& previous, const DateTime& now) {
    if (now.day != previous.day || now.hour != previous.hour) return true;
    const int64_t seconds = (whole_minutes(now) - whole_minutes(previous)) * 60 +
                            static_cast<int64_t>(now.second) - previous.second;
    return seconds > 10 || seconds < 0;  // a sleep of whole minutes counts too
}

std::u16string wallet_display_name(const fs::path& path) {
    std::u16string name = from_utf8(path.filename().string());
    if (const size_t dot = name.rfind(u'.'); dot != std::u16string::npos) name.resize(dot);
    return name;
}

std::u16string open_refused_message(std::u16string_view display_name, int open_result) {
    return format_message(u"%s\n%s\n(%02d)", {load_string(text_id::kOpenFailed),
                                              std::u16string(display_name), open_result});
}

uint32_t load_failure_reason_id(int open_result) {
    switch (open_result) {
        case 7: return text_id::kOpenNotAWallet;
        case 10: return text_id::kOpenWrongPassword;
        case 12: return text_id::kOpenNoMemory;
        default: return text_id::kOpenDamaged;
    }
}

std::u16string load_failed_message(std::u16string_view display_name, int open_result) {
    return format_message(u"%s\n%s\n(%s:%d)",
                          {load_string(text_id::kOpenFailed), std::u16string(display_name),
                           load_string(load_failure_reason_id(open_result)), open_result});
}

bool open_needs_password(int open_result) { return open_result == 10 || open_result == 9; }

}  // namespace ks
