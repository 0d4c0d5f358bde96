#include "platform/string_table.h"

#include <cstdio>
#include <cstdlib>
#include <span>
#include <system_error>
#include <utility>

#include "platform/file.h"
#include "platform/text.h"

namespace ks {
namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr uint64_t kMaxTableBytes = 16u * 1024 * 1024;

StringTableParse failure(size_t line, std::string message) {
    StringTableParse result;
    result.error = StringTableError{line, std::move(message)};
    return result;
}

bool is_blank(std::string_view line) {
    return line.find_first_not_of(" \t") == std::string_view::npos;
}

// A decimal id of digits only, below 2^32.
enum class IdStatus { Ok, NotDecimal, TooLarge };

IdStatus parse_id(std::string_view digits, uint32_t& id) {
    if (digits.empty()) return IdStatus::NotDecimal;
    uint64_t value = 0;
    bool too_large = false;
    for (char c : digits) {
        if (c < '0' || c > '9') return IdStatus::NotDecimal;
        // Keep scanning after an overflow so that a stray letter still reads as "not decimal".
        if (!too_large) {
            value = value * 10 + static_cast<uint64_t>(c - '0');
            too_large = value > UINT32_MAX;
        }
    }
    if (too_large) return IdStatus::TooLarge;
    id = static_cast<uint32_t>(value);
    return IdStatus::Ok;
}

// Resolves \n, \t and \\; any other escape, or a backslash ending the text, is an error.
bool unescape(std::string_view text, std::string& out, std::string& error) {
    out.clear();
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c != '\\') {
            out += c;
            continue;
        }
        if (i + 1 == text.size()) {
            error = "backslash at the end of the line";
            return false;
        }
        const char next = text[++i];
        switch (next) {
            case 'n':
                out += '\n';
                break;
            case 't':
                out += '\t';
                break;
            case '\\':
                out += '\\';
                break;
            default: {
                // Name the escape only when it is printable ASCII; anything else would garble
                // the message.
                const auto b = static_cast<unsigned char>(next);
                error = (b >= 0x20 && b < 0x7F) ? std::string("unknown escape \\") + next
                                                : std::string("unknown escape");
                return false;
            }
        }
    }
    return true;
}

}  // namespace

std::optional<std::u16string> StringTable::find(uint32_t id) const {
    auto it = texts_.find(id);
    if (it == texts_.end()) return std::nullopt;
    return it->second;
}

StringTableParse parse_string_table(std::string_view text) {
    if (text.starts_with(kByteOrderMark)) text.remove_prefix(kByteOrderMark.size());

    StringTable table;
    std::string unescaped;
    std::string escape_error;
    size_t line_number = 0;
    size_t pos = 0;
    while (pos < text.size()) {
        ++line_number;
        // A line ends at LF, CR LF or a lone CR; the last line may have no ending.
        const size_t end = text.find_first_of("\r\n", pos);
        const std::string_view line =
            text.substr(pos, end == std::string_view::npos ? std::string_view::npos : end - pos);
        if (end == std::string_view::npos) {
            pos = text.size();
        } else if (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') {
            pos = end + 2;
        } else {
            pos = end + 1;
        }

        if (!is_valid_utf8(line)) return failure(line_number, "invalid UTF-8");
        if (line.starts_with('#') || is_blank(line)) continue;

        const size_t tab = line.find('\t');
        if (tab == std::string_view::npos) return failure(line_number, "missing tab after the id");

        uint32_t id = 0;
        switch (parse_id(line.substr(0, tab), id)) {
            case IdStatus::Ok:
                break;
            case IdStatus::NotDecimal:
                return failure(line_number, "the id is not a decimal number");
            case IdStatus::TooLarge:
                return failure(line_number, "the id is too large");
        }
        if (table.texts().contains(id)) {
            return failure(line_number, "id " + std::to_string(id) + " appears more than once");
        }
        if (!unescape(line.substr(tab + 1), unescaped, escape_error)) {
            return failure(line_number, escape_error);
        }
        table.set(id, from_utf8(unescaped));
    }

    StringTableParse result;
    result.table = std::move(table);
    return result;
}

StringTableParse load_string_table(const std::filesystem::path& path) {
    const auto cannot_read = [&path](int error) {
        return failure(
            0, "cannot read " + path.string() + ": " + std::generic_category().message(error));
    };
    const auto too_large = [&path] { return failure(0, path.string() + " is larger than 16 MiB"); };

    int error = 0;
    File file = File::open(path, FileMode::ReadOnly, &error);
    if (!file.is_open()) return cannot_read(error);
    if (auto size = file.size(); size && *size > kMaxTableBytes) return too_large();

    // Read to the end rather than trust the reported size, which some files (pipes, /proc)
    // do not give; stop once past the limit.
    std::string bytes;
    uint8_t chunk[64 * 1024];
    for (;;) {
        const IoResult r = file.read(chunk);
        if (r.failed()) return cannot_read(r.error);
        bytes.append(reinterpret_cast<const char*>(chunk), r.bytes);
        if (bytes.size() > kMaxTableBytes) return too_large();
        if (r.bytes < sizeof chunk) break;
    }
    return parse_string_table(bytes);
}

std::string language_module_name(uint16_t language_id) {
    char name[32];
    std::snprintf(name, sizeof name, "keystash.exe.%04x.mui", static_cast<unsigned>(language_id));
    return name;
}

std::filesystem::path data_directory() {
    if (const char* dir = std::getenv("KEYSTASH_DATA_DIR"); dir != nullptr && *dir != '\0') {
        return dir;
    }
    std::error_code ec;
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    // Without /proc there is no way to find the program; the current folder is the best guess.
    if (ec || !exe.has_parent_path()) return ".";
    const std::filesystem::path exe_dir = exe.parent_path();
    const std::filesystem::path shared = (exe_dir / ".." / "share" / "keystash").lexically_normal();
    if (std::filesystem::is_directory(shared, ec)) return shared;
    return exe_dir;
}

}  // namespace ks
