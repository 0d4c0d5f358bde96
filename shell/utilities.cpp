#include "shell/utilities.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>

#include "platform/locale_format.h"
#include "platform/texts.h"
#include "platform/user_dirs.h"

namespace ks {

namespace {

constexpr std::array<MenuText, 70> kMenuTexts{{
    {u"ABOUT", 20710},
    {u"ADD", 28721},
    {u"Add to Favorites", 20760},
    {u"ATTACHMENTS", 20756},
    {u"BACKGROUND", 20754},
    {u"ADD FIELD", 20732},
    {u"BOTTOM", 20739},
    {u"CANCEL", 20704},
    {u"Change Password", 20767},
    {u"Check for Updates", 20585},
    {u"CLEAR", 20726},
    {u"COPY", 20723},
    {u"COPY FIELD", 20733},
    {u"COPY TEXT", 20750},
    {u"CREATE", 20714},
    {u"CUSTOMIZE", 20751},
    {u"CUT", 20722},
    {u"DELETE", 20725},
    {u"DELETE CARD", 20757},
    {u"DELETE FIELD", 20734},
    {u"DISPLAY", 20765},
    {u"DONE", 20717},
    {u"DOWN", 20737},
    {u"EDIT", 20719},
    {u"Edit Selection Field", 20773},
    {u"EXIT", 20709},
    {u"EXPORT", 20729},
    {u"EXPORT FORM", 20772},
    {u"FIND", 20720},
    {u"FORM DESIGN", 20740},
    {u"GO", 20721},
    {u"HELP", 20511},
    {u"ICON", 20752},
    {u"IMPORT", 20730},
    {u"IMPORT FORM", 20771},
    {u"INSERT DATE", 20741},
    {u"INSERT TIME", 20742},
    {u"LOCK", 20700},
    {u"MENU", 20703},
    {u"MORE", 20712},
    {u"MOVE UP", 28723},
    {u"MOVE FIELD", 20735},
    {u"MOVE DOWN", 28724},
    {u"NEW", 20718},
    {u"NEW CARD", 20706},
    {u"NEW FOLDER", 20707},
    {u"NEW WALLET", 20708},
    {u"NONE", 20743},
    {u"OK", 20705},
    {u"OPEN", 20715},
    {u"OPTIONS", 20762},
    {u"PASTE", 20724},
    {u"PROPERTIES", 20728},
    {u"REMOVE", 20727},
    {u"RENAME", 20770},
    {u"Save to My Forms", 20769},
    {u"SECURITY", 20766},
    {u"SELECT ALL", 20731},
    {u"SOUND", 20755},
    {u"TEXT/COLORS", 20753},
    {u"TOP", 20738},
    {u"UNLOCK", 20701},
    {u"UP", 20736},
    {u"WALLETS", 20761},
    {u"WEB SITE", 20713},
    {u"PRINT", 20776},
    {u"PAGE SETUP", 20777},
    {u"SYNCHRONIZE NOW", 20778},
    {u"SYNCHRONIZATION SETTINGS", 20779},
    {u"File", 20780},
}};

constexpr size_t kMaxMenuText = 127;
constexpr size_t kMaxLinkWork = 1023;
constexpr size_t kMaxLinkText = 255;

bool is_blank(char16_t c) {
    return c == u' ' || c == u'\t';
}

bool is_digit(char16_t c) {
    return c >= u'0' && c <= u'9';
}

// Whole units and truncated hundredths of `bytes` in units of 2^shift bytes.
std::pair<uint32_t, uint32_t> units_and_hundredths(uint32_t bytes, unsigned shift) {
    const uint64_t unit = uint64_t{1} << shift;
    const auto whole = static_cast<uint32_t>(bytes >> shift);
    const auto hundredths = static_cast<uint32_t>((bytes & (unit - 1)) * 100 / unit);
    return {whole, hundredths};
}

std::string with_hundredths(uint32_t whole, uint32_t hundredths) {
    char text[32];
    std::snprintf(text, sizeof text, "%u.%02u", whole, hundredths);
    return text;
}

std::string user_name() {
    if (const char* user = std::getenv("USER"); user != nullptr && *user != '\0') return user;
    std::array<char, 4096> buffer{};
    passwd entry{};
    passwd* found = nullptr;
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 &&
        found != nullptr && found->pw_name != nullptr) {
        return found->pw_name;
    }
    return {};
}

// A folder on another device than its parent is where a medium is mounted.
bool is_mount_point(const std::filesystem::path& dir) {
    struct stat self {};
    struct stat parent {};
    if (::stat(dir.c_str(), &self) != 0) return false;
    if (::stat((dir / "..").c_str(), &parent) != 0) return false;
    return self.st_dev != parent.st_dev;
}

std::vector<std::filesystem::path> storage_cards(const StorageSearch& search) {
    std::vector<std::filesystem::path> cards;
    for (const auto& media_root : search.media_roots) {
        std::error_code ec;
        std::vector<std::filesystem::path> found;
        for (std::filesystem::directory_iterator it(media_root, ec), end; !ec && it != end;
             it.increment(ec)) {
            std::error_code type_ec;
            if (!it->is_directory(type_ec)) continue;
            if (search.mount_points_only && !is_mount_point(it->path())) continue;
            found.push_back(it->path());
        }
        std::sort(found.begin(), found.end());
        cards.insert(cards.end(), found.begin(), found.end());
    }
    return cards;
}

bool same_folder(const std::filesystem::path& a, const std::filesystem::path& b) {
    std::error_code ec;
    if (std::filesystem::equivalent(a, b, ec) && !ec) return true;
    return a.lexically_normal() == b.lexically_normal();
}

}  // namespace

const std::span<const MenuText> MenuTextTable{kMenuTexts};

std::optional<uint32_t> menu_text_id(std::u16string_view english) {
    for (const MenuText& entry : kMenuTexts) {
        if (iequals_ascii(entry.english, english)) return entry.string_id;
    }
    return std::nullopt;
}

std::u16string translate_menu_text(std::u16string_view english) {
    const std::optional<uint32_t> id = menu_text_id(english);
    const TextSource* source = text_source();
    if (!id || source == nullptr) return std::u16string(english);
    std::optional<std::u16string> text = source->find(*id);
    if (!text || text->empty()) return std::u16string(english);
    if (text->size() > kMaxMenuText) text->resize(kMaxMenuText);
    return *text;
}

LinkClass classify_link(std::u16string_view text) {
    std::u16string_view work = text.substr(0, kMaxLinkWork);
    while (!work.empty() && is_blank(work.front())) work.remove_prefix(1);

    LinkClass result;
    result.text = std::u16string(work.substr(0, kMaxLinkText));
    if (work.empty()) return result;

    const auto digits = static_cast<size_t>(std::count_if(work.begin(), work.end(), is_digit));
    // More than 0.6 of the characters, in integers: 10 * digits > 6 * length.
    if (digits * 10 > work.size() * 6) {
        result.kind = LinkKind::Telephone;
        return result;
    }
    const size_t at = work.find(u'@');
    if (at != std::u16string_view::npos && work.find(u'.', at + 1) != std::u16string_view::npos) {
        result.kind = LinkKind::Email;
        return result;
    }
    const std::u16string lower = to_lower(work);
    const auto dots = std::count(lower.begin(), lower.end(), u'.');
    if (dots > 1 || lower.find(u"www.") != std::u16string::npos ||
        lower.find(u"http") != std::u16string::npos || lower.find(u"ftp") != std::u16string::npos) {
        result.kind = LinkKind::Web;
    }
    return result;
}

SizeParts format_size_parts(uint32_t bytes) {
    constexpr uint32_t kKiB = 1024;
    constexpr uint32_t kMiB = 1024 * kKiB;
    constexpr uint32_t kGiB = 1024 * kMiB;
    if (bytes < kKiB) return {std::to_string(bytes), u'B'};
    if (bytes < kMiB) {
        const auto [whole, hundredths] = units_and_hundredths(bytes, 10);
        return {with_hundredths(whole, hundredths), u'K'};
    }
    const bool giga = bytes >= kGiB;
    const auto [whole, hundredths] = units_and_hundredths(bytes, giga ? 30 : 20);
    return {hundredths == 0 ? std::to_string(whole) : with_hundredths(whole, hundredths),
            giga ? u'G' : u'M'};
}

std::u16string format_size(uint32_t bytes) {
    const SizeParts parts = format_size_parts(bytes);
    std::u16string text = format_number(parts.number);
    text += parts.unit;
    return text;
}

std::u16string dir_part(std::u16string_view path) {
    const size_t slash = path.rfind(u'/');
    if (slash == std::u16string_view::npos) return {};
    return std::u16string(path.substr(0, slash));
}

std::u16string name_part(std::u16string_view path) {
    const size_t slash = path.rfind(u'/');
    if (slash == std::u16string_view::npos) return std::u16string(path);
    return std::u16string(path.substr(slash + 1));
}

bool write_line(File& file, std::u16string_view text, int line_ends) {
    std::vector<uint8_t> bytes = utf16le_encode(text);
    constexpr std::array<uint8_t, 4> kCrLf{0x0D, 0x00, 0x0A, 0x00};
    for (int i = 0; i < line_ends; ++i) bytes.insert(bytes.end(), kCrLf.begin(), kCrLf.end());
    if (bytes.empty()) return true;
    const IoResult r = file.write(bytes);
    return !r.failed() && r.bytes == bytes.size();
}

StorageSearch StorageSearch::system_default() {
    StorageSearch search;
    const std::string user = user_name();
    if (!user.empty()) {
        search.media_roots = {std::filesystem::path("/media") / user,
                              std::filesystem::path("/run/media") / user};
    }
    return search;
}

std::vector<StorageLocation> storage_locations(const StorageSearch& search) {
    std::vector<StorageLocation> locations;
    const std::filesystem::path documents =
        search.documents.empty() ? documents_directory() : search.documents;
    std::error_code ec;
    if (documents.empty() || !std::filesystem::is_directory(documents, ec)) return locations;

    // A trailing "/" would leave an empty last component.
    const std::filesystem::path docs = documents.lexically_normal().has_filename()
                                           ? documents.lexically_normal()
                                           : documents.lexically_normal().parent_path();
    locations.push_back({docs, docs.parent_path(), false});
    for (const auto& card : storage_cards(search)) {
        if (locations.size() >= kMaxStorageLocations) break;
        if (same_folder(card, docs)) continue;
        const std::filesystem::path path = card / docs.filename();
        locations.push_back({path, path.parent_path(), true});
    }
    return locations;
}

}  // namespace ks
