#include "support/wallet_builder.h"

#include <gtest/gtest.h>

#include "core/wallet_file.h"
#include "platform/text.h"

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

void append_nodes(WalletStorage& storage, std::vector<TreeNode>& nodes) {
    Bytes records;
    for (TreeNode& node : nodes) {
        auto record = node_record_bytes(node);
        ASSERT_TRUE(record);
        records.insert(records.end(), record->begin(), record->end());
    }
    const uint64_t end = storage.file.size().value_or(0);
    const IoResult w = storage.file.write_at(end, records);
    ASSERT_FALSE(w.failed());
    ASSERT_EQ(w.bytes, records.size());
}

std::vector<TreeNode> folder_chain(const WalletStorage& storage, size_t depth, const NodeId& top) {
    std::vector<TreeNode> chain;
    chain.reserve(depth);
    for (size_t i = 0; i < depth; ++i) {
        const NodeId parent = chain.empty() ? top : chain.back().id();
        chain.push_back(make_folder(storage, u"F" + from_utf8(std::to_string(i)), parent));
    }
    return chain;
}

std::vector<TreeNode> folder_cycle(const WalletStorage& storage,
                                   const std::vector<std::u16string>& names) {
    std::vector<TreeNode> cycle;
    for (const std::u16string& name : names) cycle.push_back(make_folder(storage, name));
    for (size_t i = 0; i < cycle.size(); ++i)
        cycle[i].set_parent(cycle[(i + 1) % cycle.size()].id());
    return cycle;
}

NodeId create_folder_cycle_wallet(const std::filesystem::path& path) {
    WalletStorage storage;
    create_wallet(storage, path);
    TreeNode forms = make_folder(storage, u"My Forms", {}, NodeKind::MyForms);
    append_node(storage, forms);
    TreeNode bank = make_folder(storage, u"Bank");
    append_node(storage, bank);
    Card visa = make_card(storage, u"Visa", bank.id(), {{u"Number", u"4111"}});
    append_card(storage, visa);
    std::vector<TreeNode> cycle = folder_cycle(storage, {u"A", u"B"});
    append_nodes(storage, cycle);
    Card lost = make_card(storage, u"Lost", cycle[0].id(), {{u"Note", u"found"}});
    append_card(storage, lost);
    return cycle[0].id();
}

}  // namespace ks::test
