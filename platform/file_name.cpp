#include "platform/file_name.h"

#include <unistd.h>

#include "platform/text.h"

namespace ks {
namespace {

// An extension longer than this is taken as part of the name.
constexpr size_t kMaxExtensionUnits = 16;

// The longest start of `text` (UTF-8) of at most `budget` bytes that ends between two
// characters.
std::string_view cut_to_bytes(std::string_view text, size_t budget) {
    if (text.size() <= budget) return text;
    size_t end = budget;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
    return text.substr(0, end);
}

}  // namespace

size_t file_name_limit(const std::filesystem::path& folder) {
    const long limit = ::pathconf(folder.c_str(), _PC_NAME_MAX);
    return limit > 0 ? static_cast<size_t>(limit) : kDefaultNameLimit;
}

std::u16string fit_file_name(std::u16string_view stem, std::u16string_view suffix, size_t limit) {
    std::u16string safe(stem);
    make_safe_file_name(safe);
    std::string name = to_utf8(safe);
    std::string tail = to_utf8(suffix);
    if (tail.size() + 1 > limit) {  // no room for the suffix and one character
        name += tail;
        tail.clear();
    }
    name.resize(cut_to_bytes(name, limit - tail.size()).size());
    name += tail;
    if (name.empty() || name == "." || name == "..") return u"_";
    return from_utf8(name);
}

std::u16string fit_file_name_keeping_extension(std::u16string_view prefix, std::u16string_view name,
                                               size_t limit) {
    const size_t dot = name.rfind(u'.');
    const bool has_extension =
        dot != std::u16string_view::npos && dot > 0 && name.size() - dot <= kMaxExtensionUnits;
    const size_t stem_units = has_extension ? dot : name.size();
    std::u16string extension(name.substr(stem_units));
    make_safe_file_name(extension);
    return fit_file_name(std::u16string(prefix) + std::u16string(name.substr(0, stem_units)),
                         extension, limit);
}

}  // namespace ks
