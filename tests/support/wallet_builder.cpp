#include "support/wallet_builder.h"

#include <gtest/gtest.h>

#include "core/wallet_file.h"

namespace ks::test {

KeyContext key_filled_with(uint8_t fill) {
    KeyContext key;
    std::array<uint8_t, 16> bytes{};
    bytes.fill(fill);
    key.prepare(bytes);
    return key;
}

void create_wallet(WalletStorage& storage, const std::filesystem::path& path,
                   std::optional<std::u16string_view> password,
                   std::optional<std::u16string_view> hint) {
    storage.close();
    storage.file = File::open(path, FileMode::CreateNew);
    ASSERT_TRUE(storage.file.is_open()) << path;
    storage.path = path;
    ASSERT_TRUE(fill_new_wallet_blocks(storage, password, hint));
    ASSERT_EQ(write_leading_blocks(storage, false).block, -1);
    storage.open = true;
}

TreeNode make_folder(const WalletStorage& storage, std::u16string_view name, const NodeId& parent,
                     NodeKind kind) {
    TreeNode node = TreeNode::create(kind, parent, &storage.info.record_key);
    node.set_name(name);
    return node;
}

Card make_card(const WalletStorage& storage, std::u16string_view name, const NodeId& parent,
               const std::vector<FieldSpec>& fields) {
    Card card;
    card.set_node(make_folder(storage, name, parent, NodeKind::Card));
    card.set_style(storage.settings.default_card_style());
    for (const auto& [label, value] : fields) {
        FieldRecord f;
        f.set_label(label);
        f.set_value(value);
        card.insert_field(std::move(f));
    }
    return card;
}

uint64_t append_node(WalletStorage& storage, TreeNode& node) {
    const uint64_t offset = storage.file.size().value_or(0);
    storage.file.seek(offset);
    EXPECT_EQ(write_node(storage.file, node), StorageResult::Done);
    return offset;
}

uint64_t append_card(WalletStorage& storage, Card& card) {
    const uint64_t offset = storage.file.size().value_or(0);
    storage.file.seek(offset);
    EXPECT_EQ(card.write(storage.file, storage.info.record_key), StorageResult::Done);
    return offset;
}

namespace {

// Overwrites `bytes` at `at` inside the header of the last record of `id`.
void patch_header(const std::filesystem::path& path, const NodeId& id, size_t at,
                  std::span<const uint8_t> bytes) {
    File file = File::open(path, FileMode::ReadWrite);
    const auto record = find_node_record(file, id);
    ASSERT_TRUE(record) << path;
    ASSERT_EQ(file.write_at(record->offset + at, bytes).bytes, bytes.size());
}

}  // namespace

void set_stored_icon_number(const std::filesystem::path& path, const NodeId& id, int32_t icon) {
    Bytes number(4);
    put_i32(number, 0, icon);
    patch_header(path, id, format::node::kIcon, number);
}

void forget_stored_image(const std::filesystem::path& path, const NodeId& id) {
    const Bytes zeros(format::node::kPayloadLength - format::node::kIconImageLength, 0);
    patch_header(path, id, format::node::kIconImageLength, zeros);
}

}  // namespace ks::test
