#include <gtest/gtest.h>

#include <fstream>

#include "platform/string_table.h"
#include "platform/texts.h"
#include "smartphone/rules/keypad_rules.h"
#include "support/test_support.h"

namespace ks::keypad {
namespace {

namespace fs = std::filesystem;

void touch(const fs::path& path) { std::ofstream(path) << "x"; }

TEST(WalletPickerTest, EachWalletOnceByNamePreviousVersionsLast) {
    const std::vector<fs::path> found = {
        "/m/Docs/old.wal", "/m/Docs/b.KS5", "/m/Docs/a.b.ks5", "/card/Docs/a.ks5",
        "/M/DOCS/B.KS5",  // the same file again
        "/m/Docs/Archive.wal",
    };
    const auto entries = picker_entries(found);
    std::vector<std::u16string> texts;
    for (const auto& e : entries) texts.push_back(e.text);
    EXPECT_EQ(texts, (std::vector<std::u16string>{u"a", u"a", u"b", u"Archive", u"old"}));
    EXPECT_EQ(entries[0].path, fs::path("/card/Docs/a.ks5"));
    EXPECT_EQ(entries[1].path, fs::path("/m/Docs/a.b.ks5"));  // "a.b" is listed as "a"
    EXPECT_EQ(entries[0].image, 0);
    EXPECT_EQ(entries[4].image, 1);
}

TEST(WalletPickerTest, FindsWalletsOfBothKindsInEachFolder) {
    test::TempDir dir;
    fs::create_directories(dir / "main");
    fs::create_directories(dir / "card");
    touch(dir / "main" / "Home.ks5");
    touch(dir / "main" / "Old.WAL");
    touch(dir / "main" / "notes.txt");
    touch(dir / "card" / "Travel.ks5");
    fs::create_directories(dir / "main" / "folder.ks5");  // a folder is no wallet
    const auto found = find_wallet_files({dir / "main", dir / "card", dir / "missing"});
    ASSERT_EQ(found.size(), 3u);
    EXPECT_EQ(found[0], dir / "main" / "Old.WAL");  // *.wal first
}

TEST(NewWalletTest, SaveInOffersMainMemoryAndEachCard) {
    const std::vector<StorageLocation> main_only = {{"/home/u/Documents", "/home/u", false}};
    const auto one = save_in_choices(main_only);
    ASSERT_EQ(one.size(), 1u);
    EXPECT_EQ(one[0].text_id, 20850u);
    auto with_card = main_only;
    with_card.push_back({"/media/u/SD/Documents", "/media/u/SD", true});
    const auto two = save_in_choices(with_card);
    ASSERT_EQ(two.size(), 2u);
    EXPECT_TRUE(two[1].on_storage_card);
}

TEST(NewWalletTest, NamesAndPaths) {
    test::TempDir dir;
    for (std::u16string_view bad : {u"", u"a/b", u"a\\b", u"a:b", u"a*", u"a?", u"\"a", u"<a",
                                    u"a>", u"a|b"}) {
        EXPECT_FALSE(valid_wallet_name(bad));
        EXPECT_EQ(new_wallet_path(dir.path(), bad, false).text_id, 23007u);
    }
    const NewWalletPath made = new_wallet_path(dir.path(), u"a.b", false);
    EXPECT_EQ(made.problem, NewWalletProblem::None);
    EXPECT_EQ(made.path, dir / "a.b.ks5");
    touch(made.path);
    EXPECT_EQ(new_wallet_path(dir.path(), u"a.b", false).text_id, 23010u);
    // A missing folder on a storage card is made; in main memory it is not.
    EXPECT_EQ(new_wallet_path(dir / "card" / "Documents", u"x", false).text_id, 23011u);
    EXPECT_EQ(new_wallet_path(dir / "card" / "Documents", u"x", true).problem,
              NewWalletProblem::None);
    EXPECT_TRUE(fs::is_directory(dir / "card" / "Documents"));
}

TEST(FilePickerTest, PicturePatternsAreListedOneAfterTheOther) {
    EXPECT_EQ(picker_patterns(u"*.jpg;*.bmp;*.gif"),
              (std::vector<std::u16string>{u"*.jpg", u"*.bmp", u"*.gif"}));
    EXPECT_EQ(picker_patterns(u"*.wav"), (std::vector<std::u16string>{u"*.wav"}));
    EXPECT_EQ(picker_file_text("/m/Docs/ring.tone.wav"), u"ring.tone");
}

class NamedColoursTest : public ::testing::Test {
  protected:
    void SetUp() override {
        english_ = load_string_table(fs::path(KEYSTASH_LANGUAGE_DIR) / "keystash.exe.0409.mui");
        ASSERT_TRUE(english_.table);
        scope_.emplace(&*english_.table);
    }
    StringTableParse english_;
    std::optional<ScopedTextSource> scope_;
};

TEST_F(NamedColoursTest, ANamedColourIsSelectedAndAnyOtherIsOneMoreItem) {
    const ColourList navy = colour_list(0x800000);
    ASSERT_EQ(navy.items.size(), 16u);
    EXPECT_EQ(navy.selected, 4u);
    for (const ColourItem& item : navy.items) EXPECT_NE(item.text, u"?");
    EXPECT_EQ(navy.items[0].text, u"Black");

    const ColourList other = colour_list(0x336699);  // red 0x99, green 0x66, blue 0x33
    ASSERT_EQ(other.items.size(), 17u);
    EXPECT_EQ(other.selected, 16u);
    EXPECT_EQ(other.items[16].text, u"RGB (153,102,51)");
    EXPECT_EQ(other.items[16].value, 0x336699u);
}

TEST(KeyActionsTest, TheDefaultKeysAndUnknownCodes) {
    const KeyActions keys = default_key_actions();
    EXPECT_EQ(key_action(keys, '1'), KeyAction::NewCard);
    EXPECT_EQ(key_action(keys, '3'), KeyAction::Find);
    EXPECT_EQ(key_action(keys, 119), KeyAction::CloseWallet);
    EXPECT_EQ(key_action(keys, 120), KeyAction::ExpandAll);
    EXPECT_EQ(key_action(keys, '5'), KeyAction::Nothing);
    EXPECT_EQ(key_action(keys, 'A'), KeyAction::Nothing);
    KeyActions odd = keys;
    odd[0] = 99;
    EXPECT_EQ(key_action(odd, '0'), KeyAction::Nothing);
}

}  // namespace
}  // namespace ks::keypad
