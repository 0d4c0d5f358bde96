#pragma once
// The main window's decisions that need no window: what to open at start, what a find text
// asks for, when an idle wallet closes, and the texts of failed opens.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

#include "platform/datetime.h"

namespace ks {

struct AppSettings;

// ---- Start-up ----

enum class StartAction {
    OpenPath,     // post MWM_OPENPATH for `path`
    ShowChooser,  // post MWM_SHOWCHOOSER
};

struct StartDecision {
    StartAction action = StartAction::ShowChooser;
    std::filesystem::path path;
};

using FileExists = std::function<bool(const std::filesystem::path&)>;

// A command line naming an existing file opens it; an empty one opens the MRU wallet when
// OpenLast is on and that file exists; anything else shows the chooser.
StartDecision decide_start(std::u16string_view command_line, const AppSettings& settings,
                           const FileExists& exists);

// The welcome message shows on the first run (Count6 0) or while bit 0 of Info is set.
bool show_welcome_message(const AppSettings& settings);

// ---- Find ----

constexpr size_t kFindTextLimit = 48;

enum class FindKind {
    TooShort,         // fewer than two characters: message 22007
    ResetSwitch,      // "::reset": every setting to its default, then the question tone
    ClearTypeSwitch,  // "::cleartype": toggle ClearType
    OpenLastSwitch,   // "::openlast": toggle OpenLast
    Search,
};

struct FindRequest {
    FindKind kind = FindKind::TooShort;
    std::u16string text;  // Search: the text to search, cut to kFindTextLimit characters
    bool was_cut = false;  // the edit must show the cut text
};

FindRequest classify_find(std::u16string_view text);

// Applies a switch to the settings (announcing the change); false for other kinds.
bool apply_find_switch(FindKind kind, AppSettings& settings);

// ---- Auto-close ----

// Minutes since 1601 of a local time with its seconds dropped.
int64_t whole_minutes(const DateTime& t);

// True when a wallet is open, its period is non-zero and the whole minutes between the last
// activity and now (both truncated to the minute) reach the period.
bool auto_close_due(bool wallet_open, uint32_t period_minutes, const DateTime& last_activity,
                    const DateTime& now);

// The same rule on whole minutes already taken.
bool auto_close_due_minutes(bool wallet_open, uint32_t period_minutes, int64_t last_activity,
                            int64_t now);

// The watcher's test for a sleep between two samples taken 1.2 s apart: more than 10 seconds
// passed (whole minutes with the same seconds too), the clock went back, or the day or the
// hour changed.
bool time_jumped(const DateTime& previous, const DateTime& now);

// ---- Header layout ----

struct Box {
    int x = 0, y = 0, width = 0, height = 0;
    bool operator==(const Box&) const = default;
};

struct HeaderLayout {
    int height = 23;  // the header band; the tree starts below it
    Box mode, search, clear, expand, edit, name;
    bool show_search = false, show_clear = false, show_expand = true, show_edit = false;
};

// Where the header's controls go for a window `width` wide: the mode button at the left, the
// search and expand/collapse buttons at the right with the clear button before them, the find
// edit between (in find mode), the wallet name otherwise.
HeaderLayout header_layout(int width, bool find_mode, bool edit_has_text);

// Whether the find edit holds a character other than a blank.
bool has_visible_text(std::u16string_view text);

// ---- Opening ----

// The file's name without its folder and without everything from its last ".".
std::u16string wallet_display_name(const std::filesystem::path& path);

// A file that is not a wallet or cannot be read (the read-only open failed):
// "<23016>\n<name>\n(<code, two digits>)".
std::u16string open_refused_message(std::u16string_view display_name, int open_result);

// The text id of the reason for a failed load: 23013 not a wallet, 23014 wrong password,
// 23002 no memory, 23015 otherwise.
uint32_t load_failure_reason_id(int open_result);

// A load that failed: "<23016>\n<name>\n(<reason>:<code>)".
std::u16string load_failed_message(std::u16string_view display_name, int open_result);

// Whether the read-only open's result means "a wallet that needs its password".
bool open_needs_password(int open_result);

}  // namespace ks
