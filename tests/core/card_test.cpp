#include "core/card.h"

#include <gtest/gtest.h>

#include "core/wallet_file.h"
#include "support/test_support.h"
#include "support/wallet_builder.h"

namespace ks {
namespace {

class CardTest : public ::testing::Test {
  protected:
    void SetUp() override { test::create_wallet(storage, dir / "cards.ks5"); }

    // Writes the card at the end of the file and reads it back as the loader would.
    Card write_and_read(Card& card) {
        const uint64_t offset = test::append_card(storage, card);
        storage.file.seek(offset);
        TreeNode node;
        uint64_t consumed = 0;
        EXPECT_EQ(read_node(storage.file, node, &storage.info.record_key, &consumed),
                  StorageResult::Done);
        Card back;
        back.set_node(node);
        EXPECT_TRUE(back.read(storage.file, storage.info.record_key));
        return back;
    }

    test::DeterministicEnvironment env;
    test::TempDir dir;
    WalletStorage storage;
};

TEST_F(CardTest, EveryRecordKindRoundTrips) {
    Card card = test::make_card(storage, u"Visa", {}, {{u"Number", u"4111"}, {u"PIN", u"1234"}});
    card.field(1).set_kind(7);
    FieldRecord list;
    list.set_kind(12);
    list.add_list_item(u"One");
    card.insert_field(list, 0);
    ASSERT_TRUE(card.picture().set_from_bytes(Bytes{1, 2, 3}, u"p.bmp", std::nullopt));
    ASSERT_TRUE(card.sound().set_from_bytes(Bytes{4, 5}, u"s.wav"));
    for (int i = 0; i < 3; ++i) {
        FileAttachment f;
        ASSERT_TRUE(
            f.set_from_bytes(Bytes(static_cast<size_t>(i + 1), 0xAA), u"f.bin", std::nullopt));
        ASSERT_TRUE(card.add_file(f));
    }
    ASSERT_TRUE(card.file(1).data());
    card.file(1).clear();  // a gap in the slots is closed up on reading

    Card back = write_and_read(card);
    EXPECT_TRUE(back.loaded());
    EXPECT_FALSE(back.dirty());
    EXPECT_EQ(back.node()->name(), u"Visa");
    EXPECT_EQ(back.style(), default_card_style());
    ASSERT_EQ(back.fields().size(), 3u);
    EXPECT_EQ(back.fields()[0].list(), (std::vector<std::u16string>{u"One"}));
    EXPECT_EQ(back.fields()[1].value(), u"4111");
    EXPECT_EQ(back.fields()[2].kind(), 7);
    EXPECT_EQ(back.picture().data(), (Bytes{1, 2, 3}));
    EXPECT_EQ(back.sound().name(), u"s.wav");
    EXPECT_EQ(back.file_count(), 2u);
    EXPECT_EQ(back.files()[1].data()->size(), 3u);
    EXPECT_EQ(back.node()->header().payload_length(), card.payload_size());
}

TEST_F(CardTest, ChunkOrderAndPayloadLength) {
    Card card = test::make_card(storage, u"c", {}, {{u"a", u"b"}});
    ASSERT_TRUE(card.sound().set_from_bytes(Bytes{1}, u"s.wav"));
    ASSERT_TRUE(card.picture().set_from_bytes(Bytes{1}, u"p.gif", std::nullopt));
    FileAttachment f;
    ASSERT_TRUE(f.set_from_bytes(Bytes{1}, u"f", std::nullopt));
    card.add_file(f);
    Bytes payload = card.payload(storage.info.record_key);
    ASSERT_EQ(payload.size(), card.payload_size());
    std::vector<uint32_t> types;
    for (size_t p = 64; p < payload.size(); p += 12 + get_u32(payload, p + 8)) {
        EXPECT_EQ(get_u32(payload, p), 0u);
        types.push_back(get_u32(payload, p + 4));
    }
    EXPECT_EQ(types, (std::vector<uint32_t>{1, 3, 4, 6}));
}

TEST_F(CardTest, Limits) {
    Card card;
    for (int i = 0; i < 255; ++i) ASSERT_TRUE(card.insert_field(FieldRecord{}));
    EXPECT_FALSE(card.insert_field(FieldRecord{}));
    for (int i = 0; i < 10; ++i) {
        FileAttachment f;
        ASSERT_TRUE(f.set_from_bytes(Bytes{1}, u"f", std::nullopt));
        ASSERT_TRUE(card.add_file(f));
    }
    FileAttachment eleventh;
    ASSERT_TRUE(eleventh.set_from_bytes(Bytes{1}, u"f", std::nullopt));
    EXPECT_FALSE(card.add_file(eleventh));
}

TEST_F(CardTest, InsertPositions) {
    Card card;
    for (auto [label, pos] : {std::pair{u"b", -1}, {u"c", -1}, {u"a", 0}, {u"z", 99}}) {
        FieldRecord f;
        f.set_label(label);
        card.insert_field(f, pos);
    }
    std::u16string order;
    for (const auto& f : card.fields()) order += f.label();
    EXPECT_EQ(order, u"abcz");
}

TEST_F(CardTest, WriteWithoutNodeIsRefused) {
    Card card;
    EXPECT_EQ(card.write(storage.file, storage.info.record_key), StorageResult::NotRecognised);
}

TEST_F(CardTest, PayloadOfExactly64BytesHasNoFields) {
    Card card = test::make_card(storage, u"empty", {}, {});
    Card back = write_and_read(card);
    EXPECT_EQ(back.node()->header().payload_length(), 64u);
    EXPECT_TRUE(back.loaded());
    EXPECT_TRUE(back.fields().empty());
}

TEST_F(CardTest, DamagedPayloads) {
    const KeyContext& key = storage.info.record_key;
    Card source = test::make_card(storage, u"c", {}, {{u"a", u"b"}, {u"c", u"d"}});
    const Bytes good = source.payload(key);
    struct Case {
        const char* what;
        size_t offset;
        uint32_t value;
        std::optional<size_t> fields;  // nothing: only that the walk survives
    };
    const size_t second = 64 + 12 + get_u32(good, 64 + 8);
    const Case cases[] = {
        {"first chunk claims more than the payload", 64 + 8, 0xFFFFFF00, 1},
        {"unknown chunk type is passed over", 64 + 4, 5, 1},
        {"field chunk shorter than its header", 64 + 8, 10, std::nullopt},
        {"second chunk cut at its header", second + 8, 71, 1},
    };
    for (const Case& c : cases) {
        Bytes raw = good;
        put_u32(raw, c.offset, c.value);
        Card card;
        ASSERT_TRUE(card.parse_payload(raw, key)) << c.what;
        if (c.fields)
            EXPECT_EQ(card.fields().size(), *c.fields) << c.what;
        else
            EXPECT_LE(card.fields().size(), 2u) << c.what;
    }
    Card tiny;
    EXPECT_FALSE(tiny.parse_payload(Bytes(63), key));
}

TEST_F(CardTest, ReadingACutShortPayloadFailsWholly) {
    Card card = test::make_card(storage, u"c", {}, {{u"a", u"b"}});
    const uint64_t offset = test::append_card(storage, card);
    const uint64_t size = *storage.file.size();
    ASSERT_TRUE(storage.file.set_size(size - 5));
    storage.file.seek(offset);
    TreeNode node;
    ASSERT_EQ(read_node(storage.file, node, &storage.info.record_key), StorageResult::Done);
    Card back;
    back.set_node(node);
    EXPECT_FALSE(back.read(storage.file, storage.info.record_key));
    EXPECT_TRUE(back.fields().empty());
    EXPECT_FALSE(back.loaded());

    // A payload length below the style size is refused before any read.
    node.header().set_payload_length(63);
    Card small;
    small.set_node(node);
    EXPECT_FALSE(small.read(storage.file, storage.info.record_key));
}

}  // namespace
}  // namespace ks
