#include "platform/file_name.h"

#include <unistd.h>

#include "platform/text.h"

namespace ks {
namespace {

// An extension longer than this is taken as part of the name.
constexpr size_t kMaxExtensionUnits = 16;

bool is_high_surrogate(char16_t c) {
    return c >= 0xD800 && c <= 0xDBFF;
}
bool is_low_surrogate(char16_t c) {
    return c >= 0xDC00 && c <= 0xDFFF;
}

// The UTF-8 bytes of the character at `i` and its length in units (2 for a surrogate pair).
std::pair<size_t, size_t> character_at(std::u16string_view text, size_t i) {
    const char16_t c = text[i];
    if (is_high_surrogate(c) && i + 1 < text.size() && is_low_surrogate(text[i + 1])) return {4, 2};
    if (c < 0x80) return {1, 1};
    if (c < 0x800) return {2, 1};
    return {3, 1};  // an unpaired surrogate becomes U+FFFD, three bytes too
}

size_t utf8_length(std::u16string_view text) {
    size_t bytes = 0;
    for (size_t i = 0; i < text.size();) {
        const auto [length, units] = character_at(text, i);
        bytes += length;
        i += units;
    }
    return bytes;
}

// The longest start of `text` whose UTF-8 takes at most `budget` bytes, never half a character.
std::u16string_view cut_to_bytes(std::u16string_view text, size_t budget) {
    size_t bytes = 0, i = 0;
    while (i < text.size()) {
        const auto [length, units] = character_at(text, i);
        if (bytes + length > budget) break;
        bytes += length;
        i += units;
    }
    return text.substr(0, i);
}

}  // namespace

size_t file_name_limit(const std::filesystem::path& folder) {
    const long limit = ::pathconf(folder.c_str(), _PC_NAME_MAX);
    return limit > 0 ? static_cast<size_t>(limit) : kDefaultNameLimit;
}

std::u16string fit_file_name(std::u16string_view stem, std::u16string_view suffix, size_t limit) {
    std::u16string safe(stem);
    safeFileName(safe);
    std::u16string tail(suffix);
    if (utf8_length(tail) + 1 > limit) {  // no room for the suffix and one character
        safe += tail;
        tail.clear();
    }
    std::u16string name = std::u16string(cut_to_bytes(safe, limit - utf8_length(tail))) + tail;
    if (name.empty() || name == u"." || name == u"..") name = u"_";
    return name;
}

std::u16string fit_file_name_keeping_extension(std::u16string_view prefix, std::u16string_view name,
                                               size_t limit) {
    const size_t dot = name.rfind(u'.');
    const bool has_extension =
        dot != std::u16string_view::npos && dot > 0 && name.size() - dot <= kMaxExtensionUnits;
    const size_t stem_units = has_extension ? dot : name.size();
    std::u16string extension(name.substr(stem_units));
    safeFileName(extension);
    return fit_file_name(std::u16string(prefix) + std::u16string(name.substr(0, stem_units)),
                         extension, limit);
}

}  // namespace ks
