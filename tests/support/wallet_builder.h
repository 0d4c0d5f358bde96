#pragma once
// Builds wallet files for the tests with the storage routines themselves.
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/card.h"
#include "core/node.h"
#include "core/wallet_open.h"

namespace ks::test {

// A prepared key whose sixteen bytes all equal `fill`.
KeyContext key_filled_with(uint8_t fill);

// Creates a wallet at `path` (blocks only) and leaves it open for writing in `storage`.
void create_wallet(WalletStorage& storage, const std::filesystem::path& path,
                   std::optional<std::u16string_view> password = u"secret",
                   std::optional<std::u16string_view> hint = std::nullopt);

TreeNode make_folder(const WalletStorage& storage, std::u16string_view name,
                     const NodeId& parent = {}, NodeKind kind = NodeKind::Folder);

using FieldSpec = std::pair<std::u16string, std::u16string>;  // label, value
Card make_card(const WalletStorage& storage, std::u16string_view name, const NodeId& parent,
               const std::vector<FieldSpec>& fields);

// Appends the record at the end of the file; returns the record's offset.
uint64_t append_node(WalletStorage& storage, TreeNode& node);
uint64_t append_card(WalletStorage& storage, Card& card);

// Sets the icon number in the header of the last record of `id` in the wallet at `path`, leaving
// the rest as stored: with a number other than −1, a header that records an icon image its icon
// number does not use, as files written elsewhere can hold.
void set_stored_icon_number(const std::filesystem::path& path, const NodeId& id, int32_t icon);

// Zeroes the image fields in the header of the last record of `id`, leaving the image's bytes
// behind it: what rewriting such a header in place as one without an image once did, shifting
// every later record.
void forget_stored_image(const std::filesystem::path& path, const NodeId& id);

// Appends the records of `nodes` (folders) in one write, for trees of many thousands.
void append_nodes(WalletStorage& storage, std::vector<TreeNode>& nodes);

// `depth` folders named "F0", "F1", ..., each inside the one before, F0 inside `top`.
std::vector<TreeNode> folder_chain(const WalletStorage& storage, size_t depth,
                                   const NodeId& top = {});

// Folders named `names`, each inside the one after it and the last inside the first: a cycle of
// parents, which no walk from the top level reaches.
std::vector<TreeNode> folder_cycle(const WalletStorage& storage,
                                   const std::vector<std::u16string>& names);

// A wallet at `path` (password "secret") holding My Forms, the card Bank/Visa, and the folders A
// and B each other's parent, A holding the card Lost (its field Note is "found"). A's id.
NodeId create_folder_cycle_wallet(const std::filesystem::path& path);

}  // namespace ks::test
