#include "platform/registry_text.h"

#include <utility>

#include "platform/text.h"

namespace ks::registry_text {
namespace {

constexpr std::u16string_view kHeader = u"Windows Registry Editor Version 5.00";
constexpr std::u16string_view kHeader4 = u"REGEDIT4";
constexpr std::u16string_view kClassesRootName = u"HKEY_CLASSES_ROOT";
constexpr std::u16string_view kCurrentUserName = u"HKEY_CURRENT_USER";
constexpr size_t kMaxKeyNameUnits = 255;
// Keys nest at most this deep below a root. The bound keeps the key tree's recursive walks and
// destruction off the end of the stack when a damaged file holds a path of millions of parts.
constexpr size_t kMaxKeyDepth = 512;
// A value whose line would take more than this is refused when set: a quarter of the file keeps
// room for the rest of the store.
constexpr size_t kMaxValueLineBytes = 4u * 1024 * 1024;

}  // namespace

std::u16string fold(std::u16string_view name) {
    return to_lower(name);
}

std::vector<std::pair<std::u16string, RegistryValue>>::iterator Key::find_value(
    std::u16string_view value_name) {
    const std::u16string folded = fold(value_name);
    for (auto it = values.begin(); it != values.end(); ++it)
        if (fold(it->first) == folded) return it;
    return values.end();
}

size_t root_index(RegistryRoot root) {
    return root == RegistryRoot::ClassesRoot ? 0 : 1;
}

// A name the text can hold as it is: a line feed would end its line, and an unpaired surrogate
// would be written as U+FFFD and read back as another name.
bool writable_name(std::u16string_view name) {
    for (size_t i = 0; i < name.size(); ++i) {
        const char16_t c = name[i];
        if (c == u'\n') return false;
        if (c >= 0xD800 && c <= 0xDBFF) {
            if (i + 1 == name.size() || name[i + 1] < 0xDC00 || name[i + 1] > 0xDFFF) return false;
            ++i;
        } else if (c >= 0xDC00 && c <= 0xDFFF) {
            return false;
        }
    }
    return true;
}

// Splits a key path at "\"; nothing when a part is empty, too long or not writable, or the path
// too deep.
std::optional<std::vector<std::u16string>> split_path(std::u16string_view path) {
    std::vector<std::u16string> parts;
    if (path.empty()) return parts;
    size_t start = 0;
    while (true) {
        const size_t end = path.find(u'\\', start);
        const std::u16string_view part = path.substr(
            start, end == std::u16string_view::npos ? std::u16string_view::npos : end - start);
        if (part.empty() || part.size() > kMaxKeyNameUnits || parts.size() == kMaxKeyDepth ||
            !writable_name(part))
            return std::nullopt;
        parts.emplace_back(part);
        if (end == std::u16string_view::npos) break;
        start = end + 1;
    }
    return parts;
}

Key* find_key(Roots& roots, RegistryRoot root, const std::vector<std::u16string>& parts) {
    Key* key = &roots[root_index(root)];
    for (const auto& part : parts) {
        auto it = key->children.find(fold(part));
        if (it == key->children.end()) return nullptr;
        key = &it->second;
    }
    return key;
}

bool delete_key(Roots& roots, RegistryRoot root, const std::vector<std::u16string>& parts) {
    if (parts.empty()) return false;
    const std::vector<std::u16string> parent_path(parts.begin(), parts.end() - 1);
    Key* parent = find_key(roots, root, parent_path);
    return parent && parent->children.erase(fold(parts.back())) > 0;
}

Key& make_key(Roots& roots, RegistryRoot root, const std::vector<std::u16string>& parts,
              bool* created) {
    Key* key = &roots[root_index(root)];
    bool any_new = false;
    for (const auto& part : parts) {
        auto [it, inserted] = key->children.try_emplace(fold(part));
        if (inserted) {
            it->second.name = part;
            any_new = true;
        }
        key = &it->second;
    }
    if (created) *created = any_new;
    return *key;
}

// The value that "hex(kind):" data stands for: four bytes of kind 4 are a DWORD, an even
// number of bytes of kind 1 a string (without one terminating zero), anything else binary data
// of that kind.
RegistryValue value_of_hex(uint32_t kind, std::vector<uint8_t> bytes) {
    if (kind == 4 && bytes.size() == 4)
        return RegistryValue::of_dword(uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 |
                                       uint32_t(bytes[2]) << 16 | uint32_t(bytes[3]) << 24);
    if (kind == 1 && bytes.size() % 2 == 0) {
        std::u16string text;
        text.reserve(bytes.size() / 2);
        for (size_t i = 0; i < bytes.size(); i += 2)
            text.push_back(char16_t(bytes[i] | (bytes[i + 1] << 8)));
        if (!text.empty() && text.back() == 0) text.pop_back();
        return RegistryValue::of_string(text);
    }
    RegistryValue value;
    value.type = RegistryValueType::Binary;
    value.binary = std::move(bytes);
    value.binary_kind = kind;
    return value;
}

// `value` as it reads back once written: only the members of its type, and binary data of the
// string and DWORD kinds as value_of_hex reads it.
RegistryValue as_read_back(const RegistryValue& value) {
    switch (value.type) {
        case RegistryValueType::Dword:
            return RegistryValue::of_dword(value.dword);
        case RegistryValueType::String:
            return RegistryValue::of_string(value.string);
        case RegistryValueType::Binary:
            break;
    }
    return value_of_hex(value.binary_kind, value.binary);
}

namespace {

// ---- Reading the text ---------------------------------------------------------------------

std::u16string decode_file_text(std::string_view bytes) {
    if (bytes.size() >= 2 && uint8_t(bytes[0]) == 0xFF && uint8_t(bytes[1]) == 0xFE) {
        std::u16string out;
        out.reserve(bytes.size() / 2);
        for (size_t i = 2; i + 1 < bytes.size(); i += 2)
            out.push_back(char16_t(uint8_t(bytes[i]) | (uint8_t(bytes[i + 1]) << 8)));
        // Unpaired surrogates become U+FFFD now, as the written text will have them, so that
        // names compare and sort the same before and after a save.
        return from_utf8(to_utf8(out));
    }
    if (bytes.size() >= 3 && uint8_t(bytes[0]) == 0xEF && uint8_t(bytes[1]) == 0xBB &&
        uint8_t(bytes[2]) == 0xBF)
        return from_utf8(bytes.substr(3));
    return from_ansi(bytes);
}

bool is_blank(char16_t c) {
    return c == u' ' || c == u'\t';
}

std::u16string_view trim(std::u16string_view s) {
    while (!s.empty() && is_blank(s.front())) s.remove_prefix(1);
    while (!s.empty() && is_blank(s.back())) s.remove_suffix(1);
    return s;
}

int hex_digit(char16_t c) {
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
    return -1;
}

bool starts_with_ci(std::u16string_view s, std::u16string_view prefix) {
    return s.size() >= prefix.size() && iequals_ascii(s.substr(0, prefix.size()), prefix);
}

class Parser {
  public:
    explicit Parser(std::u16string_view text) {
        size_t start = 0;
        while (start <= text.size()) {
            size_t end = text.find(u'\n', start);
            if (end == std::u16string_view::npos) end = text.size();
            std::u16string_view line = text.substr(start, end - start);
            if (!line.empty() && line.back() == u'\r') line.remove_suffix(1);
            lines_.push_back(line);
            start = end + 1;
        }
    }

    bool run(Roots& roots, RegistryError& error) {
        size_t i = 0;
        // Skip leading blank lines; an empty file is an empty store.
        while (i < lines_.size() && trim(lines_[i]).empty()) ++i;
        if (i == lines_.size()) return true;
        const std::u16string_view header = trim(lines_[i]);
        if (header != kHeader && header != kHeader4)
            return fail(error, i, RegistryProblem::MissingHeader);
        ++i;
        Key* current = nullptr;
        for (; i < lines_.size(); ++i) {
            const std::u16string_view line = trim(lines_[i]);
            if (line.empty() || line.front() == u';') continue;
            if (line.front() == u'[') {
                if (!section(roots, line, current))
                    return fail(error, i, RegistryProblem::BadSection);
                continue;
            }
            if (line.front() != u'"' && line.front() != u'@')
                return fail(error, i, RegistryProblem::BadName);
            if (!current) return fail(error, i, RegistryProblem::ValueOutsideKey);
            const size_t first_line = i;
            const RegistryProblem problem = value_line(*current, line, i);
            if (problem != RegistryProblem::None)
                return fail(error, problem == RegistryProblem::UnexpectedEnd ? first_line : i,
                            problem);
        }
        return true;
    }

  private:
    static bool fail(RegistryError& error, size_t line, RegistryProblem problem) {
        error.code = RegistryErrorCode::Damaged;
        error.problem = problem;
        error.line = int(line + 1);
        return false;
    }

    static bool section(Roots& roots, std::u16string_view line, Key*& current) {
        if (line.size() < 3 || line.back() != u']') return false;
        std::u16string_view inner = line.substr(1, line.size() - 2);
        const bool remove = !inner.empty() && inner.front() == u'-';
        if (remove) inner.remove_prefix(1);
        const size_t slash = inner.find(u'\\');
        const std::u16string_view root_name = inner.substr(0, slash);
        RegistryRoot root;
        if (iequals_ascii(root_name, kCurrentUserName))
            root = RegistryRoot::CurrentUser;
        else if (iequals_ascii(root_name, kClassesRootName))
            root = RegistryRoot::ClassesRoot;
        else
            return false;
        std::u16string_view rest;
        if (slash != std::u16string_view::npos) {
            rest = inner.substr(slash + 1);
            if (rest.empty()) return false;
        }
        const auto parts = split_path(rest);
        if (!parts) return false;
        if (remove) {
            if (parts->empty()) return false;
            delete_key(roots, root, *parts);
            current = nullptr;
        } else {
            current = &make_key(roots, root, *parts, nullptr);
        }
        return true;
    }

    // Reads a quoted text starting at s[pos] == '"'; pos ends after the closing quote.
    static bool quoted(std::u16string_view s, size_t& pos, std::u16string& out) {
        ++pos;
        while (pos < s.size()) {
            const char16_t c = s[pos++];
            if (c == u'"') return true;
            if (c == u'\\' && pos < s.size() && (s[pos] == u'"' || s[pos] == u'\\')) {
                out.push_back(s[pos++]);
                continue;
            }
            // Any other backslash stands for itself, as a path typed by hand would have it.
            out.push_back(c);
        }
        return false;
    }

    RegistryProblem value_line(Key& key, std::u16string_view line, size_t& index) {
        size_t pos = 0;
        std::u16string name;
        if (line.front() == u'@') {
            pos = 1;
        } else if (!quoted(line, pos, name)) {
            return RegistryProblem::BadName;
        }
        if (name.size() > kMaxValueNameUnits) return RegistryProblem::BadName;
        while (pos < line.size() && is_blank(line[pos])) ++pos;
        if (pos >= line.size() || line[pos] != u'=') return RegistryProblem::BadName;
        ++pos;
        const std::u16string_view data = trim(line.substr(pos));

        if (data == u"-") {
            auto it = key.find_value(name);
            if (it != key.values.end()) key.values.erase(it);
            return RegistryProblem::None;
        }
        RegistryValue value;
        if (!data.empty() && data.front() == u'"') {
            size_t p = 0;
            std::u16string text;
            if (!quoted(data, p, text)) return RegistryProblem::UnterminatedText;
            if (!trim(data.substr(p)).empty()) return RegistryProblem::BadData;
            value = RegistryValue::of_string(text);
        } else if (starts_with_ci(data, u"dword:")) {
            const std::u16string_view digits = data.substr(6);
            if (digits.empty() || digits.size() > 8) return RegistryProblem::BadDword;
            uint32_t v = 0;
            for (char16_t c : digits) {
                const int d = hex_digit(c);
                if (d < 0) return RegistryProblem::BadDword;
                v = (v << 4) | uint32_t(d);
            }
            value = RegistryValue::of_dword(v);
        } else if (starts_with_ci(data, u"hex")) {
            const RegistryProblem p = hex_value(data.substr(3), index, value);
            if (p != RegistryProblem::None) return p;
        } else {
            return RegistryProblem::BadData;
        }
        auto it = key.find_value(name);
        if (it != key.values.end())
            it->second = std::move(value);
        else
            key.values.emplace_back(std::move(name), std::move(value));
        return RegistryProblem::None;
    }

    // `rest` follows "hex": an optional "(n)", then ":" and the bytes, continued over further
    // lines while a line ends in "\".
    RegistryProblem hex_value(std::u16string_view rest, size_t& index, RegistryValue& value) {
        uint32_t kind = 3;
        if (!rest.empty() && rest.front() == u'(') {
            const size_t close = rest.find(u')');
            if (close == std::u16string_view::npos || close == 1 || close > 9)
                return RegistryProblem::BadData;
            kind = 0;
            for (char16_t c : rest.substr(1, close - 1)) {
                const int d = hex_digit(c);
                if (d < 0) return RegistryProblem::BadData;
                kind = (kind << 4) | uint32_t(d);
            }
            rest.remove_prefix(close + 1);
        }
        if (rest.empty() || rest.front() != u':') return RegistryProblem::BadData;
        rest.remove_prefix(1);

        std::u16string all;
        std::u16string_view part = trim(rest);
        while (!part.empty() && part.back() == u'\\') {
            part.remove_suffix(1);
            all.append(part);
            if (index + 1 >= lines_.size()) return RegistryProblem::UnexpectedEnd;
            part = trim(lines_[++index]);
        }
        all.append(part);

        std::vector<uint8_t> bytes;
        std::u16string_view list = trim(all);
        while (!list.empty()) {
            const size_t comma = list.find(u',');
            const std::u16string_view token = trim(list.substr(0, comma));
            if (token.empty() || token.size() > 2) return RegistryProblem::BadHex;
            int v = 0;
            for (char16_t c : token) {
                const int d = hex_digit(c);
                if (d < 0) return RegistryProblem::BadHex;
                v = v * 16 + d;
            }
            bytes.push_back(uint8_t(v));
            if (comma == std::u16string_view::npos) break;
            list = trim(list.substr(comma + 1));
        }

        value = value_of_hex(kind, std::move(bytes));
        return RegistryProblem::None;
    }

    std::vector<std::u16string_view> lines_;
};

// ---- Writing the text ---------------------------------------------------------------------

void append_escaped(std::string& out, std::u16string_view text) {
    std::u16string escaped;
    escaped.reserve(text.size() + 2);
    escaped.push_back(u'"');
    for (char16_t c : text) {
        if (c == u'"' || c == u'\\') escaped.push_back(u'\\');
        escaped.push_back(c);
    }
    escaped.push_back(u'"');
    out += to_utf8(escaped);  // whole, so that surrogate pairs stay one character
}

void append_name(std::string& out, std::u16string_view name) {
    if (name.empty())
        out.push_back('@');
    else
        append_escaped(out, name);
}

void append_hex(std::string& out, std::span<const uint8_t> bytes, size_t line_start) {
    static const char digits[] = "0123456789abcdef";
    for (size_t i = 0; i < bytes.size(); ++i) {
        // Lines stay within 80 columns, as the registry editor writes them.
        if (out.size() - line_start + 3 > 77) {
            out += "\\\n  ";
            line_start = out.size() - 2;
        }
        out.push_back(digits[bytes[i] >> 4]);
        out.push_back(digits[bytes[i] & 15]);
        if (i + 1 < bytes.size()) out.push_back(',');
    }
}

// A quoted text holds every character a name can: tabs and other controls stay as they are, one
// byte each. Only a line feed or an unpaired surrogate needs the hexadecimal form, which takes
// six bytes or more per unit.
bool needs_hex_string(std::u16string_view text) {
    return !writable_name(text);
}

void append_value(std::string& out, std::u16string_view name, const RegistryValue& value) {
    const size_t line_start = out.size();
    append_name(out, name);
    out.push_back('=');
    switch (value.type) {
        case RegistryValueType::Dword: {
            char buf[16];
            std::snprintf(buf, sizeof buf, "dword:%08x", value.dword);
            out += buf;
            break;
        }
        case RegistryValueType::String:
            if (needs_hex_string(value.string)) {
                out += "hex(1):";
                std::vector<uint8_t> bytes = utf16le_encode(value.string);
                bytes.push_back(0);
                bytes.push_back(0);
                append_hex(out, bytes, line_start);
            } else {
                append_escaped(out, value.string);
            }
            break;
        case RegistryValueType::Binary:
            if (value.binary_kind == 3) {
                out += "hex:";
            } else {
                char buf[24];
                std::snprintf(buf, sizeof buf, "hex(%x):", value.binary_kind);
                out += buf;
            }
            append_hex(out, value.binary, line_start);
            break;
    }
    out.push_back('\n');
}

// A key with subkeys but no values gets no line of its own: its subkeys' lines create it when
// read. Writing it would repeat its path once per level, so deep trees would write far more text
// than they hold.
void append_key(std::string& out, const Key& key, const std::string& full_name, bool is_root) {
    if (!key.values.empty() || (!is_root && key.children.empty())) {
        out += "[" + full_name + "]\n";
        for (const auto& [name, value] : key.values) append_value(out, name, value);
        out.push_back('\n');
    }
    for (const auto& [folded, child] : key.children)
        append_key(out, child, full_name + "\\" + to_utf8(child.name), false);
}

}  // namespace

// Whether the line of `value` stays within kMaxValueLineBytes. Values far beyond it are told
// by their length alone, without writing them out.
bool value_line_fits(std::u16string_view name, const RegistryValue& value) {
    size_t least = 0;  // the fewest bytes the data can take
    if (value.type == RegistryValueType::String)
        least = needs_hex_string(value.string) ? 6 * value.string.size() : value.string.size();
    else if (value.type == RegistryValueType::Binary)
        least = 3 * value.binary.size();
    if (least > kMaxValueLineBytes) return false;
    std::string line;
    append_value(line, name, value);
    return line.size() <= kMaxValueLineBytes;
}

std::string serialise(const Roots& roots) {
    std::string out = to_utf8(kHeader);
    out += "\n\n";
    append_key(out, roots[0], to_utf8(kClassesRootName), true);
    append_key(out, roots[1], to_utf8(kCurrentUserName), true);
    return out;
}

bool parse_into(std::string_view bytes, Roots& roots, RegistryError& error) {
    const std::u16string text = decode_file_text(bytes);
    Parser parser(text);
    Roots fresh;
    if (!parser.run(fresh, error)) return false;
    roots = std::move(fresh);
    return true;
}

}  // namespace ks::registry_text
