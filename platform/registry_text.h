#pragma once
// The registry store's key tree and its REGEDIT text: reading a file's text into the tree and
// writing the tree back out. The store (registry.cpp) adds the file, its lock and the merging of
// concurrent changes. Private to the platform library.
#include <array>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/registry.h"

namespace ks::registry_text {

constexpr size_t kMaxValueNameUnits = 16383;

struct Key {
    std::u16string name;
    std::vector<std::pair<std::u16string, RegistryValue>> values;
    std::map<std::u16string, Key> children;  // by folded name

    std::vector<std::pair<std::u16string, RegistryValue>>::iterator find_value(
        std::u16string_view value_name);
};

using Roots = std::array<Key, 2>;

// Key and value names compare without regard to case.
std::u16string fold(std::u16string_view name);
size_t root_index(RegistryRoot root);
// A name the text can hold as it is.
bool writable_name(std::u16string_view name);
// Splits a key path at "\"; nothing when a part is empty, too long or not writable, or the path
// too deep.
std::optional<std::vector<std::u16string>> split_path(std::u16string_view path);
Key* find_key(Roots& roots, RegistryRoot root, const std::vector<std::u16string>& parts);
Key& make_key(Roots& roots, RegistryRoot root, const std::vector<std::u16string>& parts,
              bool* created);
// Removes the key with its subkeys and values; false when it did not exist (or is a root).
bool delete_key(Roots& roots, RegistryRoot root, const std::vector<std::u16string>& parts);
// `value` as it reads back once written.
RegistryValue as_read_back(const RegistryValue& value);
// Whether the line of `value` stays within the bound a value's line may take.
bool value_line_fits(std::u16string_view name, const RegistryValue& value);

// The REGEDIT text of the whole tree (UTF-8).
std::string serialise(const Roots& roots);
// Replaces `roots` with the tree of a REGEDIT text (UTF-8, UTF-16LE with its byte-order mark,
// or Windows-1252); on failure `roots` stays and `error` tells where and why.
bool parse_into(std::string_view bytes, Roots& roots, RegistryError& error);

}  // namespace ks::registry_text
