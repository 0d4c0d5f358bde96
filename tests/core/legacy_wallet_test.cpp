#include "core/legacy_wallet.h"

#include <gtest/gtest.h>

#include "platform/text.h"
#include "support/legacy_writer.h"
#include "support/test_support.h"

namespace ks {
namespace {

namespace lf = legacy_format;
using test::LegacyFolder;
using test::LegacyItem;
using test::LegacyTag;
using test::LegacyWallet;

std::vector<uint32_t> folder_ids(const std::vector<LegacyFolderRecord>& folders) {
    std::vector<uint32_t> ids;
    for (const auto& f : folders) ids.push_back(f.id());
    return ids;
}

std::vector<uint32_t> item_ids(const std::vector<LegacyItemRecord>& items) {
    std::vector<uint32_t> ids;
    for (const auto& i : items) ids.push_back(i.id());
    return ids;
}

// Two folders with a card each, and a third card in the first folder stored in plain.
LegacyWallet sample_wallet() {
    LegacyWallet w;
    w.values = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 0xFFFFFFFF};
    w.custom_forms = true;
    w.custom_forms_name = u"C:\\Program Files\\Old\\mine.ccd";
    LegacyItem visa = test::legacy_item(
        100, 10, u"Visa", 500,
        {{501, test::legacy_text(u"4111"), {}}, {400, test::legacy_text(u"call the bank"), {}}});
    visa.icon = 12;
    visa.style1 = 0x0000FF;
    visa.style2 = 0x00FF00;
    visa.picture = true;
    visa.flags = 3;
    visa.sound = true;
    LegacyItem plain =
        test::legacy_item(101, 10, u"Plain", 500, {{501, test::legacy_text(u"plain text"), {}}});
    plain.enciphered = false;
    w.records = {
        LegacyFolder{10, u"Bank", 503, 7},
        visa,
        LegacyFolder{20, u"Web", 0, 8},
        test::legacy_item(200, 20, u"Mail", 520, {{503, test::legacy_text(u"me@example.org"), {}}}),
        plain,
    };
    return w;
}

class LegacyWalletTest : public ::testing::Test {
  protected:
    std::filesystem::path write(const LegacyWallet& w, const std::string& name = "old.wal") {
        const auto path = dir / name;
        test::write_legacy_wallet(path, w);
        return path;
    }

    test::TempDir dir;
    LegacyWalletReader reader;
};

// Header --------------------------------------------------------------------------------------

TEST(LegacyHeader, AcceptsOnlyTheSignaturePrefixAndBothMagics) {
    const Bytes good = test::build_legacy_wallet(LegacyWallet{});
    struct Case {
        const char* what;
        size_t size;    // bytes of the header given
        size_t offset;  // byte changed, or SIZE_MAX
        bool accepted;
    };
    const Case cases[] = {
        {"whole header", 844, SIZE_MAX, true},
        {"843 bytes", 843, SIZE_MAX, false},
        {"first signature byte", 844, 0, false},
        {"40th signature byte", 844, 39, false},
        {"41st signature byte is not compared", 844, 40, true},
        {"end of the signature area is not compared", 844, 75, true},
        {"first magic", 844, 76, false},
        {"last byte of the first magic", 844, 79, false},
        {"second magic", 844, 840, false},
        {"last byte of the second magic", 844, 843, false},
        {"unused area", 844, 100, true},
    };
    for (const Case& c : cases) {
        Bytes header(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(c.size));
        if (c.offset != SIZE_MAX) header[c.offset] ^= 0x5A;
        EXPECT_EQ(legacy_header_accepted(header), c.accepted) << c.what;
    }
}

TEST(LegacyHeader, HandsOnValuesAndCustomFormsName) {
    const Bytes image = test::build_legacy_wallet(sample_wallet());
    EXPECT_EQ(legacy_header_values(image),
              (LegacyWalletValues{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 0xFFFFFFFF}));
    EXPECT_TRUE(legacy_header_has_custom_forms(image));
    EXPECT_EQ(legacy_header_custom_forms_name(image), u"C:\\Program Files\\Old\\mine.ccd");
    EXPECT_FALSE(legacy_header_has_custom_forms(test::build_legacy_wallet(LegacyWallet{})));
}

TEST(LegacyHeader, CustomFormsNameWithoutTerminatorStopsAt260Units) {
    Bytes image = test::build_legacy_wallet(LegacyWallet{});
    std::fill(image.begin() + 128, image.begin() + 648, 'A');  // "䅁" units, no zero
    EXPECT_EQ(legacy_header_custom_forms_name(image).size(), 260u);
}

// Password ------------------------------------------------------------------------------------

TEST(LegacyPassword, BytesAreAnsiCutToSixtyFourWithTheTerminator) {
    struct Case {
        std::u16string password;
        size_t size;  // terminator included
    };
    const Case cases[] = {
        {u"", 0},
        {u"a", 2},
        {std::u16string(62, u'x'), 63},
        {std::u16string(63, u'x'), 64},
        {std::u16string(64, u'x'), 64},
        {std::u16string(200, u'x'), 64},
    };
    for (const Case& c : cases) {
        const Bytes bytes = legacy_password_bytes(c.password);
        ASSERT_EQ(bytes.size(), c.size) << c.password.size();
        if (!bytes.empty()) {
            EXPECT_EQ(bytes.back(), 0);
        }
    }
    // Windows-1252: the euro sign is one byte, 0x80.
    EXPECT_EQ(legacy_password_bytes(u"\u20ac1"), (Bytes{0x80, '1', 0}));
}

TEST_F(LegacyWalletTest, OpenResults) {
    const auto wallet = write(sample_wallet());
    Bytes short_file = test::build_legacy_wallet(LegacyWallet{});
    short_file.resize(843);
    test::write_file_bytes(dir / "short.wal", short_file);
    test::write_file_bytes(dir / "empty.wal", {});

    struct Case {
        std::filesystem::path path;
        std::u16string password;
        LegacyOpenResult result;
    };
    const Case cases[] = {
        {wallet, u"secret", LegacyOpenResult::Opened},
        {wallet, u"Secret", LegacyOpenResult::WrongPassword},
        {wallet, u"secret2", LegacyOpenResult::WrongPassword},
        {wallet, u"", LegacyOpenResult::WrongPassword},
        {dir / "missing.wal", u"secret", LegacyOpenResult::CannotOpen},
        {dir.path(), u"secret", LegacyOpenResult::CannotOpen},  // a folder
        {dir / "short.wal", u"secret", LegacyOpenResult::NotLegacyWallet},
        {dir / "empty.wal", u"secret", LegacyOpenResult::NotLegacyWallet},
    };
    for (const Case& c : cases) {
        const auto r = reader.open(c.path, c.password);
        EXPECT_EQ(r, c.result) << c.path << " " << to_utf8(c.password);
        const bool opened = r == LegacyOpenResult::Opened;
        EXPECT_EQ(reader.is_open(), opened);
        EXPECT_EQ(reader.locked(), !opened);
        EXPECT_EQ(reader.path(), opened ? c.path : std::filesystem::path());
        reader.close();
    }
}

TEST_F(LegacyWalletTest, WrongPasswordDoesNotHandOutData) {
    const auto wallet = write(sample_wallet());
    ASSERT_EQ(reader.open(wallet, u"wrong"), LegacyOpenResult::WrongPassword);
    EXPECT_FALSE(reader.read_item(100));
    EXPECT_TRUE(reader.list_folders().empty());
}

TEST_F(LegacyWalletTest, LongPasswordIsCutAtSixtyFourBytes) {
    LegacyWallet w;
    w.password = std::u16string(63, u'k');
    w.records = {LegacyFolder{1, u"F", 0, 0}};
    const auto wallet = write(w);
    EXPECT_EQ(reader.open(wallet, std::u16string(63, u'k') + u"anything"),
              LegacyOpenResult::Opened);
    EXPECT_EQ(reader.open(wallet, std::u16string(62, u'k')), LegacyOpenResult::WrongPassword);
}

TEST_F(LegacyWalletTest, KeyIsTheDigestReversed) {
    // Enciphering the check value under the unreversed digest must not open the wallet.
    LegacyWallet w;
    Bytes image = test::build_legacy_wallet(w);
    Bytes input(w.salt.begin(), w.salt.end());
    for (char c : std::string("secret")) input.push_back(static_cast<uint8_t>(c));
    input.push_back(0);
    Digest check = md5(input);
    const Digest digest = check;
    Rc4(digest).apply(check);
    std::copy(check.begin(), check.end(), image.begin() + 816);
    EXPECT_FALSE(legacy_check_password(image, u"secret"));

    const Bytes good = test::build_legacy_wallet(w);
    auto key = legacy_check_password(good, u"secret");
    ASSERT_TRUE(key);
    Digest reversed;
    std::reverse_copy(digest.begin(), digest.end(), reversed.begin());
    EXPECT_EQ(*key, reversed);
}

TEST(LegacyPassword, KnownAnswer) {
    // A header made by hand: the documented example of salt, password and check value.
    Bytes header(844, 0);
    const std::string_view signature =
        "Brightloom\xAE Keystash\xAE File\r\nhttps://keystash.invalid";
    std::copy(signature.begin(), signature.end(), header.begin());
    put_u32(header, 76, 0xB8161967);
    put_u32(header, 840, 0xB1281966);
    const Bytes salt{0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88};
    std::copy(salt.begin(), salt.end(), header.begin() + 752);
    const Bytes check{0xf2, 0x3b, 0xa7, 0x2a, 0xd0, 0x58, 0x07, 0x22,
                      0x4c, 0x5a, 0x18, 0x7c, 0x69, 0xbb, 0x1c, 0xe0};
    std::copy(check.begin(), check.end(), header.begin() + 816);
    auto key = legacy_check_password(header, u"secret");
    ASSERT_TRUE(key);
    EXPECT_EQ(*key, (Digest{0x19, 0xc7, 0x37, 0xa8, 0x69, 0x7a, 0x3c, 0xa1, 0x84, 0xd8, 0xa1, 0xe9,
                            0xdb, 0x4a, 0x39, 0x1c}));
    EXPECT_FALSE(legacy_check_password(header, u"secreT"));
}

TEST_F(LegacyWalletTest, ObserverHearsLockChanges) {
    const auto wallet = write(sample_wallet());
    std::vector<bool> heard;
    reader.set_lock_observer([&](bool locked) { heard.push_back(locked); });
    ASSERT_EQ(reader.open(wallet, u"secret"), LegacyOpenResult::Opened);
    reader.close();
    // open: reset (locked), unlocked; close: reset (locked).
    EXPECT_EQ(heard, (std::vector<bool>{true, false, true}));
}

TEST_F(LegacyWalletTest, FileIsNotChangedByReading) {
    const auto wallet = write(sample_wallet());
    const Bytes before = test::read_file_bytes(wallet);
    ASSERT_EQ(reader.open(wallet, u"secret"), LegacyOpenResult::Opened);
    reader.list_folders();
    reader.read_item(100);
    reader.close();
    EXPECT_EQ(test::read_file_bytes(wallet), before);
}

// Records -------------------------------------------------------------------------------------

TEST_F(LegacyWalletTest, ListsFoldersAndItemsInFileOrder) {
    ASSERT_EQ(reader.open(write(sample_wallet()), u"secret"), LegacyOpenResult::Opened);
    const auto counts = reader.count_records();
    EXPECT_EQ(counts.folders, 2u);
    EXPECT_EQ(counts.items, 3u);

    const auto folders = reader.list_folders();
    EXPECT_EQ(folder_ids(folders), (std::vector<uint32_t>{10, 20}));
    EXPECT_EQ(folders[0].name(), u"Bank");
    EXPECT_EQ(folders[0].default_form(), 503);
    EXPECT_EQ(folders[0].icon(), 7);

    EXPECT_EQ(item_ids(reader.list_items(10)), (std::vector<uint32_t>{100, 101}));
    EXPECT_EQ(item_ids(reader.list_items(20)), (std::vector<uint32_t>{200}));
    EXPECT_TRUE(reader.list_items(30).empty());
    EXPECT_EQ(reader.count_items(10), 2u);
    EXPECT_EQ(reader.count_items(30), 0u);
}

// One walk gives what the listings give folder by folder; items of no folder are left out.
TEST_F(LegacyWalletTest, TreeGroupsItemsUnderTheirFolders) {
    LegacyWallet w = sample_wallet();
    w.records.push_back(test::legacy_item(300, 30, u"Orphan", 500));
    ASSERT_EQ(reader.open(write(w), u"secret"), LegacyOpenResult::Opened);
    const auto tree = reader.read_tree();
    ASSERT_TRUE(tree);
    EXPECT_EQ(folder_ids(tree->folders), (std::vector<uint32_t>{10, 20}));
    ASSERT_EQ(tree->items.size(), 2u);
    EXPECT_EQ(item_ids(tree->items[0]), (std::vector<uint32_t>{100, 101}));
    EXPECT_EQ(item_ids(tree->items[1]), (std::vector<uint32_t>{200}));
}

// Two folders of one id would each hold every item of that id: a few hundred kilobytes could
// stand for a million cards. Such a file is damaged.
TEST_F(LegacyWalletTest, TreeRefusesTwoFoldersOfOneId) {
    LegacyWallet w;
    w.records = {LegacyFolder{1, u"A", 0, 0}, LegacyFolder{2, u"B", 0, 0},
                 LegacyFolder{1, u"C", 0, 0}, test::legacy_item(5, 1, u"Card", 0)};
    ASSERT_EQ(reader.open(write(w), u"secret"), LegacyOpenResult::Opened);
    EXPECT_FALSE(reader.read_tree());
}

TEST_F(LegacyWalletTest, ReadsItemRecordAndDecipheredData) {
    ASSERT_EQ(reader.open(write(sample_wallet()), u"secret"), LegacyOpenResult::Opened);
    auto visa = reader.read_item(100);
    ASSERT_TRUE(visa);
    const LegacyItemRecord& r = visa->record;
    EXPECT_EQ(r.name(), u"Visa");
    EXPECT_TRUE(r.enciphered());
    EXPECT_EQ(r.folder_id(), 10u);
    EXPECT_EQ(r.form_code(), 500);
    EXPECT_EQ(r.icon(), 12);
    EXPECT_EQ(r.style1(), 0x0000FFu);
    EXPECT_EQ(r.style2(), 0x00FF00u);
    EXPECT_TRUE(r.has_picture());
    EXPECT_EQ(r.flags(), 3);
    EXPECT_TRUE(r.has_sound());
    EXPECT_EQ(legacy_tag_text(visa->data.span(), 501), u"4111");
    EXPECT_EQ(legacy_tag_text(visa->data.span(), 400), u"call the bank");

    auto plain = reader.read_item(101);
    ASSERT_TRUE(plain);
    EXPECT_FALSE(plain->record.enciphered());
    EXPECT_EQ(legacy_tag_text(plain->data.span(), 501), u"plain text");

    EXPECT_FALSE(reader.read_item(999));
}

TEST_F(LegacyWalletTest, FirstItemWithAnIdWins) {
    LegacyWallet w;
    w.records = {LegacyFolder{1, u"F", 0, 0}, test::legacy_item(5, 1, u"first", 0),
                 test::legacy_item(5, 1, u"second", 0)};
    ASSERT_EQ(reader.open(write(w), u"secret"), LegacyOpenResult::Opened);
    auto item = reader.read_item(5);
    ASSERT_TRUE(item);
    EXPECT_EQ(item->record.name(), u"first");
    EXPECT_TRUE(item->data.empty());
}

TEST_F(LegacyWalletTest, WalkStopsAtAnUnknownMagicAndAtACutRecord) {
    Bytes image = test::build_legacy_wallet(sample_wallet());
    const size_t folders_before = 2;
    // Half a record after the last one is never listed.
    Bytes cut = image;
    cut.insert(cut.end(), 100, 0x40);
    test::write_file_bytes(dir / "cut.wal", cut);
    ASSERT_EQ(reader.open(dir / "cut.wal", u"secret"), LegacyOpenResult::Opened);
    EXPECT_EQ(reader.count_records().folders, folders_before);
    EXPECT_EQ(reader.count_records().items, 3u);
    reader.close();

    // A record with another magic ends the walk: the records after it are not seen.
    Bytes stopped = test::build_legacy_wallet(sample_wallet());
    put_u32(stopped, 844, 0x12345678);  // the first folder record
    test::write_file_bytes(dir / "stopped.wal", stopped);
    ASSERT_EQ(reader.open(dir / "stopped.wal", u"secret"), LegacyOpenResult::Opened);
    EXPECT_EQ(reader.count_records().folders, 0u);
    EXPECT_EQ(reader.count_records().items, 0u);
}

TEST_F(LegacyWalletTest, DataLengthBeyondTheFileIsRefused) {
    struct Case {
        const char* what;
        uint32_t stored_length;
    };
    const Case cases[] = {
        {"one byte too many", 0},  // filled in below
        {"huge", 0xFFFFFFFF},
        {"half the address space", 0x80000000},
    };
    for (Case c : cases) {
        LegacyWallet w;
        LegacyItem item =
            test::legacy_item(7, 1, u"Card", 500, {{501, test::legacy_text(u"value"), {}}});
        const uint32_t real = static_cast<uint32_t>(test::legacy_item_data(item.tags).size());
        item.stored_length = c.stored_length ? c.stored_length : real + 1;
        w.records = {LegacyFolder{1, u"F", 0, 0}, item};
        ASSERT_EQ(reader.open(write(w, "long.wal"), u"secret"), LegacyOpenResult::Opened);
        // Listed, but its data is not handed out.
        EXPECT_EQ(item_ids(reader.list_items(1)), (std::vector<uint32_t>{7})) << c.what;
        EXPECT_FALSE(reader.read_item(7)) << c.what;
        reader.close();
    }
}

TEST(LegacyRecords, EveryTruncationWalksSafely) {
    const Bytes image = test::build_legacy_wallet(sample_wallet());
    const size_t whole = legacy_walk_records(image).size();
    ASSERT_EQ(whole, 5u);
    size_t last = 0;
    for (size_t size = 0; size <= image.size(); ++size) {
        const auto records = legacy_walk_records(std::span(image).first(size));
        // A shorter file never shows more records, and never one that runs past its end.
        EXPECT_GE(records.size(), last) << size;
        EXPECT_LE(records.size(), whole);
        for (const LegacyRecord& r : records) {
            if (r.item) {
                EXPECT_LE(r.item->data_offset, size + 0u);
            }
        }
        last = records.size();
    }
    EXPECT_EQ(last, whole);
}

// Tags ----------------------------------------------------------------------------------------

TEST(LegacyTags, FindTag) {
    const Bytes two = test::legacy_item_data(
        {{501, test::legacy_text(u"a"), {}}, {502, test::legacy_text(u"bc"), {}}});
    const Bytes empty_first =
        test::legacy_item_data({{501, {}, {}}, {501, test::legacy_text(u"later"), {}}});
    Bytes overlong = test::legacy_item_data({{501, {1, 2, 3}, 100}});
    Bytes head_cut = two;
    head_cut.resize(two.size() - test::legacy_text(u"bc").size() - 1);  // second head cut
    struct Case {
        const char* what;
        Bytes data;
        uint32_t tag;
        std::optional<Bytes> expected;
    };
    const Case cases[] = {
        {"first entry", two, 501, test::legacy_text(u"a")},
        {"second entry", two, 502, test::legacy_text(u"bc")},
        {"absent", two, 503, std::nullopt},
        {"seven bytes hold no tags", Bytes{0xF5, 1, 0, 0, 0, 0, 0}, 501, std::nullopt},
        {"length 0 is absent", empty_first, 501, std::nullopt},
        {"value cut to the bytes present", overlong, 501, Bytes{1, 2, 3}},
        {"next head not wholly inside", head_cut, 502, std::nullopt},
        {"empty data", Bytes{}, 501, std::nullopt},
    };
    for (const Case& c : cases) {
        auto found = legacy_find_tag(c.data, c.tag);
        ASSERT_EQ(found.has_value(), c.expected.has_value()) << c.what;
        if (found) {
            EXPECT_EQ(Bytes(found->begin(), found->end()), *c.expected) << c.what;
        }
    }
}

TEST(LegacyTags, HugeLengthsEndTheWalk) {
    Bytes data = test::legacy_item_data({{501, {9}, 0xFFFFFFF0}, {502, {8}, {}}});
    EXPECT_FALSE(legacy_find_tag(data, 502));
    EXPECT_EQ(legacy_tag_entries(data).size(), 1u);
}

TEST(LegacyTags, TextStopsAtTerminatorOrLimit) {
    const Bytes data = test::legacy_item_data(
        {{1, test::legacy_text(u"abcdef"), {}}, {2, utf16le_encode(u"xyz"), {}}});
    EXPECT_EQ(legacy_tag_text(data, 1), u"abcdef");
    EXPECT_EQ(legacy_tag_text(data, 1, 3), u"abc");
    EXPECT_EQ(legacy_tag_text(data, 2), u"xyz");  // no terminator: ends with the value
    EXPECT_EQ(legacy_tag_text(data, 3), u"");
}

}  // namespace
}  // namespace ks
