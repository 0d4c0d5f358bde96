#include "core/wallet_file.h"

#include <gtest/gtest.h>

#include "core/cipher.h"
#include "core/keys.h"
#include "core/wallet_open.h"
#include "platform/text.h"
#include "support/test_support.h"
#include "support/wallet_builder.h"

namespace ks {
namespace {

namespace fmt = format;

class WalletFileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        path = dir / "wallet.ks5";
        test::create_wallet(storage, path, u"secret", u"my hint");
    }

    // Reopens the file for writing, as a later session would.
    OpenResult reopen(std::optional<std::u16string_view> password = u"secret") {
        storage.close();
        return open_wallet_storage(storage, path, password, false);
    }

    test::DeterministicEnvironment env;
    test::ScopedCoreTexts texts;
    test::TempDir dir;
    std::filesystem::path path;
    WalletStorage storage;
};

TEST_F(WalletFileTest, NewWalletBlocksReadBack) {
    TreeNode my_forms = test::make_folder(storage, u"My Forms", {}, NodeKind::MyForms);
    test::append_node(storage, my_forms);
    EXPECT_EQ(storage.file.size(), fmt::kFirstNodeOffset + 748);

    ASSERT_EQ(reopen(), OpenResult::Opened);
    EXPECT_EQ(get_hint(storage.info), u"my hint");
    EXPECT_EQ(get_caption(storage.info, 2).icon, 128);
    EXPECT_EQ(storage.info.creation_time(), test::kFixedTime);
    EXPECT_EQ(get_u32(storage.info.bytes.span(), fmt::info::kCreatedWord), 1u);
    EXPECT_EQ(storage.settings.default_card_style(), default_card_style());
    EXPECT_EQ(storage.settings.value(fmt::settings::kAutoCloseMinutes), 5u);
    EXPECT_EQ(storage.settings.value(fmt::settings::kTreeColour), 0xFF0000u);

    const Bytes bytes = test::read_file_bytes(path);
    const std::string signature(bytes.begin(), bytes.begin() + 64);
    EXPECT_EQ(signature.substr(0, 12), "Brightloom\xAE ");
    EXPECT_EQ(std::string(bytes.begin() + 64, bytes.begin() + 71), "(5.00a)");
    EXPECT_EQ(std::string(bytes.begin() + 72, bytes.begin() + 74), "WM");
}

TEST_F(WalletFileTest, InfoBlockWritesRenewTheRandomValues) {
    auto write_info = [&] {
        storage.file.seek(fmt::kInfoBlockOffset);
        EXPECT_EQ(write_info_block(storage.file, storage.info), StorageResult::Done);
        return test::read_file_bytes(path);
    };
    const Bytes first = write_info();
    const Bytes second = write_info();
    const size_t at72 = fmt::kInfoBlockOffset + 72, at108 = fmt::kInfoBlockOffset + 108;
    EXPECT_NE(Bytes(first.begin() + at72, first.begin() + at72 + 4),
              Bytes(second.begin() + at72, second.begin() + at72 + 4));
    EXPECT_NE(Bytes(first.begin() + at108, first.begin() + at108 + 4),
              Bytes(second.begin() + at108, second.begin() + at108 + 4));
    Bytes a = first, b = second;
    for (size_t o : {at72, at108})
        std::fill_n(a.begin() + o, 4, 0), std::fill_n(b.begin() + o, 4, 0);
    EXPECT_EQ(a, b);
}

TEST_F(WalletFileTest, BlockReadResults) {
    storage.close();
    File f = File::open(path, FileMode::ReadWrite);
    WalletHeader header;
    WalletInfoBlock info;
    WalletSettingsBlock settings;

    f.seek(fmt::kInfoBlockOffset + 1);  // off by one: the markers do not match
    EXPECT_EQ(read_info_block(f, info), StorageResult::NotRecognised);
    f.seek(fmt::kSettingsBlockOffset + 4);
    EXPECT_EQ(read_settings_block(f, settings), StorageResult::ShortTransfer);
    f.seek(1 << 20);
    EXPECT_EQ(read_header(f, header), StorageResult::NothingTransferred);
    File closed;
    EXPECT_EQ(read_header(closed, header), StorageResult::NoFile);
    WalletHeader never_filled;
    EXPECT_EQ(write_header(f, never_filled), StorageResult::NothingGiven);
    File read_only = File::open(path, FileMode::ReadOnly);
    header.fill_new();
    EXPECT_EQ(write_header(read_only, header), StorageResult::CallFailed);
}

TEST_F(WalletFileTest, OpenResults) {
    storage.close();
    auto write_variant = [&](const std::string& name, auto&& change) {
        Bytes bytes = test::read_file_bytes(path);
        change(bytes);
        test::write_file_bytes(dir / name, bytes);
        return dir / name;
    };
    struct Case {
        std::string what;
        std::filesystem::path path;
        std::optional<std::u16string> password;
        OpenResult expected;
    };
    const std::vector<Case> cases = {
        {"path of five characters", "a.ks5", u"secret", OpenResult::BadPath},
        {"missing file", dir / "missing.ks5", u"secret", OpenResult::Missing},
        {"a folder", dir.path(), u"secret", OpenResult::CannotOpen},
        {"shorter than a header", write_variant("short.ks5", [](Bytes& b) { b.resize(75); }),
         u"secret", OpenResult::NotAWallet},
        {"other signature", write_variant("sig.ks5", [](Bytes& b) { b[3] = 'X'; }), u"secret",
         OpenResult::NotAWallet},
        {"other version", write_variant("ver.ks5", [](Bytes& b) { b[66] = '4'; }), u"secret",
         OpenResult::WrongVersion},
        {"info marker", write_variant("info.ks5", [](Bytes& b) { b[76 + 3148 - 1] ^= 1; }),
         u"secret", OpenResult::BadInfoBlock},
        {"settings cut", write_variant("set.ks5", [](Bytes& b) { b.resize(4000); }), u"secret",
         OpenResult::BadSettingsBlock},
        {"wrong password", path, u"Secret", OpenResult::WrongPassword},
        {"no password given", path, std::nullopt, OpenResult::WrongPassword},
        {"right password", path, u"secret", OpenResult::Opened},
    };
    for (const Case& c : cases) {
        WalletStorage s;
        auto password = c.password ? std::optional<std::u16string_view>(*c.password) : std::nullopt;
        EXPECT_EQ(open_wallet_storage(s, c.path, password, true), c.expected) << c.what;
        EXPECT_EQ(s.open, c.expected == OpenResult::Opened) << c.what;
    }
}

TEST_F(WalletFileTest, AllZeroVerifierOpensWithoutPassword) {
    storage.close();
    WalletStorage open_one;
    test::create_wallet(open_one, dir / "nopass.ks5", std::nullopt);
    const auto record_key = open_one.info.record_key.key();
    open_one.close();
    ASSERT_EQ(open_wallet_storage(storage, dir / "nopass.ks5", std::nullopt, true),
              OpenResult::Opened);
    EXPECT_EQ(storage.info.record_key.key(), record_key);
}

// A writer holds the wallet alone; readers share it, so that no reader sees a change half done.
TEST_F(WalletFileTest, WritersExcludeReadersAndOtherWriters) {
    struct Case {
        const char* what;
        bool first_read_only;
        bool second_read_only;
        OpenResult expected;
    };
    const Case cases[] = {
        {"writer, then writer", false, false, OpenResult::Locked},
        {"writer, then reader", false, true, OpenResult::Locked},
        {"reader, then writer", true, false, OpenResult::Locked},
        {"reader, then reader", true, true, OpenResult::Opened},
    };
    storage.close();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        WalletStorage first, second;
        ASSERT_EQ(open_wallet_storage(first, path, u"secret", c.first_read_only),
                  OpenResult::Opened);
        EXPECT_EQ(open_wallet_storage(second, path, u"secret", c.second_read_only), c.expected);
        first.close();
        second.close();
        EXPECT_EQ(open_wallet_storage(second, path, u"secret", c.second_read_only),
                  OpenResult::Opened);
    }
}

TEST_F(WalletFileTest, NodeRecordsRoundTripAndWalk) {
    TreeNode folder = test::make_folder(storage, u"Bank");
    ASSERT_TRUE(folder.set_icon_image(Bytes{1, 2, 3, 4, 5}));
    test::append_node(storage, folder);
    Card card = test::make_card(storage, u"Visa", folder.id(), {{u"Number", u"4111"}});
    const uint64_t card_offset = test::append_card(storage, card);
    TreeNode gone = test::make_folder(storage, u"Gone");
    gone.mark_deleted(true);
    const uint64_t gone_offset = test::append_node(storage, gone);

    ASSERT_EQ(reopen(), OpenResult::Opened);
    File& f = storage.file;
    ASSERT_TRUE(skip_to_nodes(f));
    TreeNode read;
    uint64_t consumed = 0;
    ASSERT_EQ(read_node(f, read, &storage.info.record_key, &consumed), StorageResult::Done);
    EXPECT_EQ(consumed, 748u + 8);
    EXPECT_EQ(read.name(), u"Bank");
    EXPECT_EQ(Bytes(read.icon_image_unpadded().begin(), read.icon_image_unpadded().end()),
              (Bytes{1, 2, 3, 4, 5}));

    auto loc = find_node_record(f, card.node()->id(), RecordFilter::LiveCard);
    ASSERT_TRUE(loc);
    EXPECT_EQ(loc->offset, card_offset);
    EXPECT_EQ(f.position(), card_offset);
    EXPECT_EQ(loc->header_and_image, 748u);
    EXPECT_FALSE(find_node_record(f, folder.id(), RecordFilter::LiveCard));
    EXPECT_FALSE(find_node_record(f, gone.id(), RecordFilter::NotDeleted));
    auto deleted = find_node_record(f, gone.id(), RecordFilter::Any);
    ASSERT_TRUE(deleted);
    EXPECT_EQ(deleted->offset, gone_offset);
    EXPECT_FALSE(find_node_record(f, new_node_id()));
}

TEST_F(WalletFileTest, WriteNodeRules) {
    TreeNode invalid;
    EXPECT_EQ(write_node(storage.file, invalid), StorageResult::NotRecognised);

    TreeNode node = test::make_folder(storage, u"x");
    node.header().set_icon(kCustomIcon);  // custom icon without an image becomes icon 0
    node.header().set_change_bits(0);
    test::append_node(storage, node);
    EXPECT_EQ(node.icon(), 0);
    EXPECT_EQ(node.header().change_bits(), node_change::kCreated);
    EXPECT_EQ(storage.file.size(), fmt::kFirstNodeOffset + 748);
}

TEST_F(WalletFileTest, IconImageRunningPastTheEndIsDropped) {
    TreeNode node = test::make_folder(storage, u"x");
    ASSERT_TRUE(node.set_icon_image(Bytes(16, 1)));
    test::append_node(storage, node);
    storage.file.set_size(*storage.file.size() - 4);
    skip_to_nodes(storage.file);
    TreeNode read;
    ASSERT_EQ(read_node(storage.file, read, nullptr), StorageResult::Done);
    EXPECT_EQ(read.icon(), 0);
    EXPECT_TRUE(read.icon_image().empty());

    // An absurd image length is never allocated.
    Bytes bytes = test::read_file_bytes(path);
    put_u32(bytes, fmt::kFirstNodeOffset + fmt::node::kIconImageLength, 0xFFFFFFF0);
    test::write_file_bytes(path, bytes);
    skip_to_nodes(storage.file);
    ASSERT_EQ(read_node(storage.file, read, nullptr), StorageResult::Done);
    EXPECT_EQ(read.icon(), 0);
}

TEST_F(WalletFileTest, UnknownKindStopsTheWalk) {
    TreeNode node = test::make_folder(storage, u"x");
    test::append_node(storage, node);
    Bytes bytes = test::read_file_bytes(path);
    bytes[fmt::kFirstNodeOffset] ^= 0xFF;
    bytes.resize(bytes.size() + 100);
    test::write_file_bytes(path, bytes);
    skip_to_nodes(storage.file);
    TreeNode read;
    EXPECT_EQ(read_node(storage.file, read, nullptr), StorageResult::NotRecognised);
    storage.file.seek(bytes.size() - 100);
    EXPECT_EQ(read_node(storage.file, read, nullptr), StorageResult::ShortTransfer);
}

TEST(CutRange, MovesTheTailDown) {
    test::TempDir dir;
    const auto path = dir / "data";
    Bytes data(3 << 20);  // larger than the copy buffer
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 31 + i / 256);
    struct Case {
        uint64_t offset, length;
    };
    for (const Case& c : std::vector<Case>{
             {0, 10}, {100, 1 << 20}, {data.size() - 7, 7}, {5, 0}, {data.size() - 7, 100}}) {
        test::write_file_bytes(path, data);
        File f = File::open(path, FileMode::ReadWrite);
        ASSERT_TRUE(cut_range(f, c.offset, c.length));
        Bytes expected = data;
        const uint64_t end = std::min<uint64_t>(c.offset + c.length, data.size());
        expected.erase(expected.begin() + static_cast<ptrdiff_t>(c.offset),
                       expected.begin() + static_cast<ptrdiff_t>(end));
        EXPECT_EQ(test::read_file_bytes(path), expected) << c.offset << "+" << c.length;
    }
    File f = File::open(path, FileMode::ReadWrite);
    EXPECT_FALSE(cut_range(f, data.size() + 1, 1));
}

// A journal found at the next open: applied when it is whole, removed without touching the
// file otherwise. Journals of the first layout carry a digest, which must match.
TEST(CutRange, JournalFoundAtOpen) {
    test::TempDir dir;
    const auto path = dir / "data";
    const auto journal = dir / "data.cut";
    Bytes data(1000);
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 7);
    Bytes cut = data;  // [100, 300) cut out
    cut.erase(cut.begin() + 100, cut.begin() + 300);
    const Bytes tail(data.begin() + 300, data.end());

    auto journal_bytes = [&](const char* magic, bool digest, size_t tail_kept) {
        Bytes j(72, 0);
        std::copy(magic, magic + 6, j.begin());
        put_u32(j, 8, 100);
        put_u32(j, 16, 200);
        put_u32(j, 24, static_cast<uint32_t>(data.size()));
        put_u32(j, 32, static_cast<uint32_t>(tail.size()));
        if (digest) {
            Md5 md5;
            md5.update(std::span(j).first(56));
            md5.update(tail);
            const Digest d = md5.finish();
            std::copy(d.begin(), d.end(), j.begin() + 56);
        }
        j.insert(j.end(), tail.begin(), tail.begin() + static_cast<ptrdiff_t>(tail_kept));
        return j;
    };
    Bytes wrong_digest = journal_bytes("KSCUT1", true, tail.size());
    wrong_digest[60] ^= 1;
    struct Case {
        const char* what;
        Bytes journal;
        const Bytes& expected;
        JournalStatus status;
    };
    const Case cases[] = {
        {"whole", journal_bytes("KSCUT2", false, tail.size()), cut, JournalStatus::Finished},
        {"whole, first layout", journal_bytes("KSCUT1", true, tail.size()), cut,
         JournalStatus::Finished},
        {"first layout, wrong digest", wrong_digest, data, JournalStatus::None},
        {"tail cut short", journal_bytes("KSCUT2", false, tail.size() - 1), data,
         JournalStatus::None},
        {"no magic yet", journal_bytes("\0\0\0\0\0\0", false, tail.size()), data,
         JournalStatus::None},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        test::write_file_bytes(path, data);
        test::write_file_bytes(journal, c.journal);
        File f = File::open(path, FileMode::ReadWrite);
        EXPECT_EQ(recover_interrupted_cut(f), c.status);
        EXPECT_EQ(test::read_file_bytes(path), c.expected);
        EXPECT_FALSE(std::filesystem::exists(journal));
    }
}

TEST(FindNextValidHeader, AcrossWindowsAndAtTheEnd) {
    test::DeterministicEnvironment env;
    test::TempDir dir;
    TreeNode node = TreeNode::create(NodeKind::Card, {}, nullptr);
    const auto& header = node.header().bytes;
    struct Case {
        size_t file_size;
        std::optional<size_t> at;  // where the header is placed
        uint64_t start;
        uint64_t expected;
    };
    const size_t window = 1 << 20;
    const std::vector<Case> cases = {
        {4000, 1000, 0, 1000},
        {4000, 1000, 1000, 1000},
        {4000, 1000, 1001, 0},
        {4000, 4000 - 748, 0, 4000 - 748},             // the last possible offset
        {window * 3, window - 100, 10, window - 100},  // straddles a window edge
        {window * 3, 2 * window + 5, 1, 2 * window + 5},
        {window * 3, std::nullopt, 0, 0},
        {500, std::nullopt, 0, 0},
    };
    for (const Case& c : cases) {
        Bytes data(c.file_size, 0);
        // Decoys: the first bytes of the kind GUIDs without the rest.
        for (size_t i = 0; i + 16 < data.size(); i += 997) data[i] = fmt::node::kCardGuid[0];
        if (c.at)
            std::copy(header.begin(), header.end(), data.begin() + static_cast<ptrdiff_t>(*c.at));
        test::write_file_bytes(dir / "scan", data);
        File f = File::open(dir / "scan", FileMode::ReadOnly);
        f.seek(c.start);
        EXPECT_EQ(find_next_valid_header(f), c.expected) << c.file_size << " " << c.start;
        EXPECT_EQ(f.position(), c.start);
    }
}

}  // namespace
}  // namespace ks
