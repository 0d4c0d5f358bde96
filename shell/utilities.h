#pragma once
// Small services shared by the program's windows that need no window themselves: menu text
// translation, link classification, locale-aware size, date and time formats, path parts,
// UTF-16 line output and the "Save in" locations.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/file.h"
#include "platform/text.h"  // make_safe_file_name lives there and is used from here as it stands

namespace ks {

// ---- Menu texts ----

struct MenuText {
    std::u16string_view english;
    uint32_t string_id;
};

// The English menu-template texts and the string ids of their translations.
extern const std::span<const MenuText> MenuTextTable;

// The string id for an English menu text; case is ignored.
std::optional<uint32_t> menu_text_id(std::u16string_view english);

// The translated text for a menu item: the installed language's string for the item's id when
// it exists and is not empty (at most 127 characters), else the English text unchanged.
std::u16string translate_menu_text(std::u16string_view english);

// ---- Links ----

enum class LinkKind : int { None = 0, Telephone = 1, Web = 2, Email = 3 };

struct LinkClass {
    LinkKind kind = LinkKind::None;
    std::u16string text;  // leading blanks removed, at most 255 characters
};

// Tells what a field text links to: mostly digits is a telephone number, an at sign with a
// later dot an e-mail address, several dots or "www." / "http" / "ftp" a web address.
LinkClass classify_link(std::u16string_view text);

// ---- Formats ----

// The locale's time and short-date pictures: time_format_no_seconds and short_date_format4 of
// platform/locale_format.h.

// A size as a plain decimal number ("." as its point) and its unit letter (B, K, M or G).
struct SizeParts {
    std::string number;
    char16_t unit = u'B';
};
SizeParts format_size_parts(uint32_t bytes);

// The size in the locale's number format followed by its unit: "1.50K", "3.10M".
std::u16string format_size(uint32_t bytes);

// ---- Paths ----

// The part of a "/" path before its last "/" (empty when there is none), and the part after it
// (the whole text when there is none).
std::u16string dir_part(std::u16string_view path);
std::u16string name_part(std::u16string_view path);

// Writes `text` as UTF-16LE without a terminator, then `line_ends` CR LF pairs, at the file's
// current position. False when any byte could not be written.
bool write_line(File& file, std::u16string_view text, int line_ends);

// ---- Storage locations ----

struct StorageLocation {
    std::filesystem::path path;  // the folder to save in
    std::filesystem::path root;  // the path without its last component
    bool on_storage_card = false;
};

// Where to look. The defaults are the user's documents folder and the removable-media folders
// /media/$USER and /run/media/$USER, whose entries count only when they are mount points.
struct StorageSearch {
    std::filesystem::path documents;  // empty: the platform's documents folder
    std::vector<std::filesystem::path> media_roots;
    bool mount_points_only = true;
    static StorageSearch system_default();
};

constexpr size_t kMaxStorageLocations = 5;

// The documents folder first (none at all when it is not a directory), then for each mounted
// card whose root differs from it, the card's root followed by the documents folder's name;
// at most kMaxStorageLocations in all, cards in name order.
std::vector<StorageLocation> storage_locations(
    const StorageSearch& search = StorageSearch::system_default());

}  // namespace ks
