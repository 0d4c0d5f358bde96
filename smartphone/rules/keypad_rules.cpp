#include "smartphone/rules/keypad_rules.h"

#include <algorithm>
#include <cstdio>
#include <system_error>

#include "platform/text.h"
#include "platform/text_ids.h"
#include "platform/texts.h"

namespace ks::keypad {

namespace fs = std::filesystem;

namespace {

std::u16string folded(const fs::path& path) { return to_lower(from_utf8(path.string())); }

bool is_previous_version(const fs::path& path) {
    return folded(path).find(u".wal") != std::u16string::npos;
}

bool ends_with_ignoring_case(const fs::path& path, std::u16string_view end) {
    const std::u16string name = folded(path);
    return name.size() >= end.size() && name.compare(name.size() - end.size(), end.size(), end) == 0;
}

std::u16string file_name(const fs::path& path) { return from_utf8(path.filename().string()); }

}  // namespace

std::vector<PickerEntry> picker_entries(const std::vector<fs::path>& found) {
    std::vector<PickerEntry> entries;
    std::vector<std::u16string> seen;
    for (const fs::path& path : found) {
        const std::u16string key = folded(path);
        if (std::ranges::find(seen, key) != seen.end()) continue;
        seen.push_back(key);
        const std::u16string name = file_name(path);
        entries.push_back({name.substr(0, name.find(u'.')),
                           ends_with_ignoring_case(path, u"ks5") ? 0 : 1, path});
    }
    std::ranges::stable_sort(entries, [](const PickerEntry& a, const PickerEntry& b) {
        const bool a_old = is_previous_version(a.path);
        const bool b_old = is_previous_version(b.path);
        if (a_old != b_old) return b_old;
        return folded(a.path) < folded(b.path);
    });
    return entries;
}

std::vector<fs::path> find_wallet_files(const std::vector<fs::path>& folders) {
    std::vector<fs::path> found;
    for (const std::u16string_view extension : {u".wal", u".ks5"}) {
        for (const fs::path& folder : folders) {
            std::error_code error;
            for (fs::directory_iterator it(folder, error), end; !error && it != end;
                 it.increment(error)) {
                std::error_code type_error;
                if (!it->is_regular_file(type_error)) continue;
                if (ends_with_ignoring_case(it->path(), extension)) found.push_back(it->path());
            }
        }
    }
    return found;
}

std::vector<SaveInChoice> save_in_choices(const std::vector<StorageLocation>& locations) {
    std::vector<SaveInChoice> choices;
    for (const StorageLocation& place : locations) {
        choices.push_back({place.on_storage_card ? text_id::kSaveInStorageCard : text_id::kSaveInMainMemory,
                           place.path, place.on_storage_card});
    }
    return choices;
}

bool valid_wallet_name(std::u16string_view name) {
    return !name.empty() && name.find_first_of(u"\\/:*?\"<>|") == std::u16string_view::npos;
}

NewWalletPath new_wallet_path(const fs::path& folder, std::u16string_view name,
                              bool create_folder) {
    if (!valid_wallet_name(name)) return {NewWalletProblem::BadName, text_id::kBadWalletName, {}};
    std::error_code error;
    if (create_folder) fs::create_directories(folder, error);
    const fs::path path = folder / (to_utf8(name) + ".ks5");
    const fs::file_status status = fs::symlink_status(path, error);
    if (fs::exists(status)) return {NewWalletProblem::Exists, text_id::kWalletExists, path};
    if (error && error != std::errc::no_such_file_or_directory)
        return {NewWalletProblem::CannotCreate, text_id::kWalletCannotBeMade, path};
    if (!fs::is_directory(folder, error)) return {NewWalletProblem::CannotCreate, text_id::kWalletCannotBeMade, path};
    return {NewWalletProblem::None, 0, path};
}

std::vector<std::u16string> picker_patterns(std::u16string_view pattern) {
    const std::u16string lower = to_lower(pattern);
    const bool pictures = lower.find(u"*.jpg") != std::u16string::npos &&
                          lower.find(u"*.bmp") != std::u16string::npos &&
                          lower.find(u"*.gif") != std::u16string::npos;
    if (pictures) return {u"*.jpg", u"*.bmp", u"*.gif"};
    return {std::u16string(pattern)};
}

std::u16string picker_file_text(const fs::path& path) { return from_utf8(path.stem().string()); }

ColourList colour_list(uint32_t current) {
    ColourList list;
    for (size_t i = 0; i < kNamedColours.size(); ++i) {
        list.items.push_back({load_string(kNamedColours[i].text_id), kNamedColours[i].value});
        if (kNamedColours[i].value == current) list.selected = i;
    }
    const bool named = std::ranges::any_of(
        kNamedColours, [current](const NamedColour& c) { return c.value == current; });
    if (!named) {
        char text[40];
        std::snprintf(text, sizeof text, "RGB (%u,%u,%u)", current & 0xFF, (current >> 8) & 0xFF,
                      (current >> 16) & 0xFF);
        list.items.push_back({from_utf8(text), current});
        list.selected = list.items.size() - 1;
    }
    return list;
}

KeyAction key_action(const KeyActions& keys, uint32_t virtual_key) {
    const int slot = key_slot(virtual_key);
    if (slot < 0) return KeyAction::Nothing;
    const uint32_t code = keys[static_cast<size_t>(slot)];
    return code <= kLastKeyAction ? static_cast<KeyAction>(code) : KeyAction::Nothing;
}

}  // namespace ks::keypad
