#include "core/keys.h"

#include <gtest/gtest.h>

#include "platform/text.h"
#include "support/test_support.h"

namespace ks {
namespace {

class KeysTest : public ::testing::Test {
  protected:
    void SetUp() override {
        info.fill_new(test::kFixedTime);
        info.master_key.prepare(derive_master_key(info.creation_time()));
    }
    test::DeterministicEnvironment env;
    WalletInfoBlock info;
};

std::span<const uint8_t> area(const WalletInfoBlock& info, size_t offset, size_t n) {
    return info.bytes.span().subspan(offset, n);
}

TEST_F(KeysTest, MasterKeyDependsOnEveryMixedItem) {
    const DateTime base{2006, 3, 0, 5, 14, 7, 9, 250};
    const Digest reference = derive_master_key(base);
    EXPECT_EQ(derive_master_key(base), reference);
    for (int item = 0; item < 8; ++item) {
        DateTime t = base;
        uint16_t* fields[] = {&t.year, &t.month,  &t.day_of_week, &t.day,
                              &t.hour, &t.minute, &t.second,      &t.milliseconds};
        *fields[item] += 1;
        const bool mixed = item != 4 && item != 7;  // hour and milliseconds are not mixed in
        EXPECT_EQ(derive_master_key(t) != reference, mixed) << item;
    }
}

TEST_F(KeysTest, PasswordLengths) {
    struct Case {
        size_t length;
        bool accepted;
    };
    for (const Case& c : std::vector<Case>{{2, false}, {3, true}, {24, true}, {25, false}}) {
        std::u16string password(c.length, u'p');
        ASSERT_TRUE(set_password(info, password));
        EXPECT_EQ(check_password(info, password), c.accepted) << c.length;
        EXPECT_EQ(info.has_password(), c.accepted) << c.length;
    }
    ASSERT_TRUE(set_password(info, u"right"));
    EXPECT_FALSE(check_password(info, u"wrong"));
    EXPECT_FALSE(check_password(info, std::nullopt));
}

TEST_F(KeysTest, RecordKeyComesBackFromTheKeyCheckValue) {
    KeyContext old_key;
    ASSERT_TRUE(set_password(info, u"first", &old_key));
    ASSERT_TRUE(set_password(info, u"second", &old_key));
    const auto current = info.record_key.key();
    // The record key is the verifier itself.
    EXPECT_TRUE(std::equal(current.begin(), current.end(),
                           area(info, format::info::kPassVerifier, 16).begin()));
    EXPECT_NE(old_key.key(), current);
    EXPECT_TRUE(info.flags() & format::info::kFlagPassword);

    WalletInfoBlock reread;
    reread.bytes = info.bytes;
    derive_keys_from_info_block(reread);
    EXPECT_EQ(reread.record_key.key(), current);
}

TEST_F(KeysTest, NoPasswordUsesTheDefaultPhrase) {
    ASSERT_TRUE(set_password(info, u"abc"));
    ASSERT_TRUE(set_password(info, std::nullopt));
    EXPECT_FALSE(info.has_password());
    Digest d = password_digest(kDefaultPassPhrase);
    Digest v{};
    info.master_key.transform(d, v);
    EXPECT_EQ(info.record_key.key(), v);
}

TEST_F(KeysTest, WithoutMasterKeyNothingIsSet) {
    WalletInfoBlock blank;
    EXPECT_FALSE(set_password(blank, u"abcd"));
    EXPECT_FALSE(set_hint(blank, u"x"));
    EXPECT_FALSE(set_caption(blank, 1, u"x", 3));
    EXPECT_FALSE(check_password(blank, u"abcd"));
}

TEST_F(KeysTest, Hint) {
    EXPECT_FALSE(get_hint(info));
    ASSERT_TRUE(set_hint(info, std::u16string(300, u'h')));
    EXPECT_EQ(get_hint(info), std::u16string(255, u'h'));
    EXPECT_TRUE(info.flags() & format::info::kFlagHint);
    auto stored = area(info, format::info::kHint, 512);
    EXPECT_FALSE(all_zero(stored.subspan(510)));  // the whole area is enciphered
    ASSERT_TRUE(set_hint(info, std::nullopt));
    EXPECT_TRUE(all_zero(area(info, format::info::kHint, 512)));
    EXPECT_FALSE(get_hint(info));
}

TEST_F(KeysTest, Captions) {
    ASSERT_TRUE(set_caption(info, 1, u"Favourites", 88));
    ASSERT_TRUE(set_caption(info, 2, std::u16string(70, u'c'), 128));
    ASSERT_TRUE(set_caption(info, 3, u"Third", 78));
    ASSERT_TRUE(set_caption(info, 1, u"Starred", -1));
    EXPECT_EQ(get_caption(info, 1).text, u"Starred");
    EXPECT_EQ(get_caption(info, 1).icon, 88);
    EXPECT_EQ(get_caption(info, 2).text, std::u16string(63, u'c'));
    // Icons of entries 2 and 3 are stored in the reverse order of their texts.
    EXPECT_EQ(get_i32(info.bytes.span(), format::info::kCaptionIcon2), 128);
    EXPECT_EQ(get_i32(info.bytes.span(), 2996), 78);
    ASSERT_TRUE(set_caption(info, 3, std::nullopt, -1));
    EXPECT_EQ(get_caption(info, 3).text, u"");
    EXPECT_FALSE(set_caption(info, 4, u"x", 0));
}

TEST(FormFileKeyTest, DigestOfTheFirstEightCharacters) {
    KeyContext key = form_file_key();
    ASSERT_TRUE(key.valid());
    Bytes first_eight = utf16le_encode(u"qelmarvi");
    EXPECT_EQ(key.key(), md5(first_eight));
}

}  // namespace
}  // namespace ks
