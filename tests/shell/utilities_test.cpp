#include "shell/utilities.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "platform/locale_format.h"
#include "support/test_support.h"

namespace ks {
namespace {

LocaleFormats german_numbers() {
    LocaleFormats f;
    f.decimal_separator = u",";
    f.thousands_separator = u".";
    return f;
}

// ---- format_size ---------------------------------------------------------------------------

TEST(FormatSize, PlainNumberAndUnitByRange) {
    const struct {
        uint32_t bytes;
        const char* number;
        char16_t unit;
    } cases[] = {
        {0, "0", u'B'},
        {1, "1", u'B'},
        {1023, "1023", u'B'},
        {1024, "1.00", u'K'},
        {1536, "1.50", u'K'},
        {1034, "1.00", u'K'},        // 0.0097 KiB: hundredths are truncated, not rounded
        {1048575, "1023.99", u'K'},  // just below 1 MiB
        {1048576, "1", u'M'},        // no fraction when the hundredths are zero
        {3145728, "3", u'M'},
        {3250586, "3.10", u'M'},
        {3156213, "3", u'M'},           // 0.0099 MiB: truncated to no fraction
        {3156214, "3.01", u'M'},        // one hundredth keeps its leading zero
        {1073741823, "1023.99", u'M'},  // just below 1 GiB
        {1073741824, "1", u'G'},
        {1610612736, "1.50", u'G'},
        {4294967295u, "3.99", u'G'},  // the largest size: no overflow in the hundredths
    };
    for (const auto& c : cases) {
        const SizeParts parts = format_size_parts(c.bytes);
        EXPECT_EQ(parts.number, c.number) << c.bytes;
        EXPECT_EQ(parts.unit, c.unit) << c.bytes;
    }
}

TEST(FormatSize, PassesThroughTheLocaleNumberFormat) {
    const struct {
        uint32_t bytes;
        std::u16string us;
        std::u16string german;
    } cases[] = {
        {1023, u"1,023.00B", u"1.023,00B"},    {1536, u"1.50K", u"1,50K"},
        {3145728, u"3.00M", u"3,00M"},         {3250586, u"3.10M", u"3,10M"},
        {1048575, u"1,023.99K", u"1.023,99K"},
    };
    for (const auto& c : cases) {
        {
            ScopedLocaleFormats pinned(LocaleFormats::en_us());
            EXPECT_EQ(format_size(c.bytes), c.us) << c.bytes;
        }
        {
            ScopedLocaleFormats pinned(german_numbers());
            EXPECT_EQ(format_size(c.bytes), c.german) << c.bytes;
        }
    }
}

TEST(FormatSize, LocaleWithoutFractionDigitsRounds) {
    LocaleFormats f = LocaleFormats::en_us();
    f.fraction_digits = 0;
    ScopedLocaleFormats pinned(f);
    EXPECT_EQ(format_size(1536), u"2K");
    EXPECT_EQ(format_size(512), u"512B");
}

// ---- classify_link ------------------------------------------------------------------------

TEST(ClassifyLink, Kinds) {
    const struct {
        std::u16string text;
        LinkKind kind;
    } cases[] = {
        {u"555-1234", LinkKind::Telephone},  // seven digits, one hyphen
        {u"+1 (425) 555-0100", LinkKind::Telephone},
        {u"12ab", LinkKind::None},   // exactly half digits is not enough
        {u"123ab", LinkKind::None},  // 0.6 exactly is not more than 0.6
        {u"1234a", LinkKind::Telephone},
        {u"jane@example.com", LinkKind::Email},
        {u"jane.doe@example", LinkKind::None},  // the dot must follow the at sign
        {u"a.b@c", LinkKind::None},
        {u"www.example.com", LinkKind::Web},
        {u"host.example.org", LinkKind::Web},  // two dots
        {u"example.com", LinkKind::None},      // one dot only
        {u"WWW.Example", LinkKind::Web},       // case is ignored
        {u"HTTP://x", LinkKind::Web},
        {u"ftpserver", LinkKind::Web},
        {u"Bank", LinkKind::None},
        {u"", LinkKind::None},
        {u"   ", LinkKind::None},
        {u"  jane@example.com", LinkKind::Email},
        {u"2006.03.05", LinkKind::Telephone},  // digits are checked first
    };
    for (const auto& c : cases) {
        EXPECT_EQ(classify_link(c.text).kind, c.kind) << to_utf8(c.text);
    }
}

TEST(ClassifyLink, CleanedTextLosesLeadingBlanksAndIsCut) {
    EXPECT_EQ(classify_link(u" \t www.example.com ").text, u"www.example.com ");
    const std::u16string long_text(600, u'x');
    EXPECT_EQ(classify_link(long_text).text, std::u16string(255, u'x'));
    // Only the first 1023 characters are looked at: the dots beyond them do not count.
    std::u16string far = std::u16string(1023, u'x') + u"..";
    EXPECT_EQ(classify_link(far).kind, LinkKind::None);
    far = std::u16string(1000, u'x') + u"..";
    EXPECT_EQ(classify_link(far).kind, LinkKind::Web);
}

// ---- menu texts ---------------------------------------------------------------------------

TEST(MenuTextTable, IdsAreFoundIgnoringCase) {
    const struct {
        std::u16string text;
        std::optional<uint32_t> id;
    } cases[] = {
        {u"ABOUT", 20710},
        {u"about", 20710},
        {u"Add to Favorites", 20760},
        {u"ADD TO FAVORITES", 20760},
        {u"MOVE UP", 28723},
        {u"Move Down", 28724},
        {u"file", 20780},
        {u"HELP", 20511},
        {u"Check for Updates", 20585},
        {u"SYNCHRONIZATION SETTINGS", 20779},
        {u"MENU", 20703},
        {u"ABOUT ", std::nullopt},
        {u"", std::nullopt},
        {u"Nonsense", std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(menu_text_id(c.text), c.id) << to_utf8(c.text);
}

TEST(MenuTextTable, HasSeventyDistinctTextsAndIds) {
    EXPECT_EQ(MenuTextTable.size(), 70u);
    std::set<std::u16string> texts;
    std::set<uint32_t> ids;
    for (const MenuText& entry : MenuTextTable) {
        texts.insert(to_lower_ascii(entry.english));
        ids.insert(entry.string_id);
    }
    EXPECT_EQ(texts.size(), MenuTextTable.size());
    EXPECT_EQ(ids.size(), MenuTextTable.size());
}

TEST(MenuTextTable, TranslationKeepsEnglishWhenTheStringIsMissingOrEmpty) {
    test::MapTextSource texts(
        {{20710, u"\u00DCber"}, {20704, u""}, {20705, std::u16string(200, u'k')}});
    {
        ScopedTextSource scope(&texts);
        EXPECT_EQ(translate_menu_text(u"About"), u"\u00DCber");
        EXPECT_EQ(translate_menu_text(u"CANCEL"), u"CANCEL");    // empty string
        EXPECT_EQ(translate_menu_text(u"DELETE"), u"DELETE");    // missing string
        EXPECT_EQ(translate_menu_text(u"Unknown"), u"Unknown");  // not in the table
        EXPECT_EQ(translate_menu_text(u"OK"), std::u16string(127, u'k'));
    }
    ScopedTextSource none(nullptr);
    EXPECT_EQ(translate_menu_text(u"ABOUT"), u"ABOUT");  // no module: not "*"
}

// ---- paths --------------------------------------------------------------------------------

TEST(PathParts, DirAndName) {
    const struct {
        std::u16string path;
        std::u16string dir;
        std::u16string name;
    } cases[] = {
        {u"/home/jane/Documents/My.ks5", u"/home/jane/Documents", u"My.ks5"},
        {u"/My.ks5", u"", u"My.ks5"},
        {u"My.ks5", u"", u"My.ks5"},
        {u"/home/jane/", u"/home/jane", u""},
        {u"a\\b/c", u"a\\b", u"c"},  // a backslash is an ordinary character here
        {u"", u"", u""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(dir_part(c.path), c.dir) << to_utf8(c.path);
        EXPECT_EQ(name_part(c.path), c.name) << to_utf8(c.path);
    }
}

// ---- write_line ----------------------------------------------------------------------------

TEST(WriteLine, WritesUtf16LeAndLineEndsAtThePosition) {
    test::TempDir dir;
    const auto path = dir / "out.txt";
    {
        File file = File::open(path, FileMode::CreateNew);
        ASSERT_TRUE(file.is_open());
        EXPECT_TRUE(write_line(file, u"A\u00E9", 1));
        EXPECT_TRUE(write_line(file, u"\U0001F600", 0));
        EXPECT_TRUE(write_line(file, u"", 2));
        EXPECT_TRUE(write_line(file, u"", 0));
        EXPECT_EQ(file.position(), 20u);
    }
    const std::vector<uint8_t> expected{'A',  0,    0xE9, 0, 0x0D, 0, 0x0A, 0, 0x3D, 0xD8,
                                        0x00, 0xDE, 0x0D, 0, 0x0A, 0, 0x0D, 0, 0x0A, 0};
    EXPECT_EQ(test::read_file_bytes(path), expected);
}

TEST(WriteLine, ReportsAFileThatCannotBeWritten) {
    test::TempDir dir;
    const auto path = dir / "ro.txt";
    test::write_file_bytes(path, {});
    File file = File::open(path, FileMode::ReadOnly);
    ASSERT_TRUE(file.is_open());
    EXPECT_FALSE(write_line(file, u"x", 1));
    File closed;
    EXPECT_FALSE(write_line(closed, u"x", 0));
}

// ---- formats ------------------------------------------------------------------------------

TEST(LocaleFormatNames, FollowTheInstalledFormats) {
    LocaleFormats f;
    f.time = u"h:mm:ss tt";
    f.short_date = u"M/d/yy";
    {
        ScopedLocaleFormats pinned(f);
        EXPECT_EQ(time_format_no_seconds(), u"h:mm tt");
        EXPECT_EQ(short_date_format4(), u"M/d/yyyy");
    }
    f.time = u"HH.mm.ss";
    f.time_separator = u".";
    f.short_date = u"dd.MM.yyyy";
    ScopedLocaleFormats pinned(f);
    EXPECT_EQ(time_format_no_seconds(), u"HH.mm");
    EXPECT_EQ(short_date_format4(), u"dd.MM.yyyy");
}

// ---- storage locations --------------------------------------------------------------------

class StorageLocationsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::filesystem::create_directories(documents_);
        std::filesystem::create_directories(media_);
    }
    StorageSearch search() const {
        StorageSearch s;
        s.documents = documents_;
        s.media_roots = {media_, dir_ / "absent"};
        s.mount_points_only = false;
        return s;
    }
    test::TempDir dir_;
    std::filesystem::path documents_ = dir_ / "home" / "Documents";
    std::filesystem::path media_ = dir_ / "media" / "jane";
};

TEST_F(StorageLocationsTest, DocumentsFirstThenCardsInNameOrder) {
    std::filesystem::create_directories(media_ / "SDCARD");
    std::filesystem::create_directories(media_ / "BACKUP");
    test::write_file_bytes(media_ / "not-a-card", {1});
    const auto locations = storage_locations(search());
    ASSERT_EQ(locations.size(), 3u);
    EXPECT_EQ(locations[0].path, documents_);
    EXPECT_EQ(locations[0].root, dir_ / "home");
    EXPECT_FALSE(locations[0].on_storage_card);
    EXPECT_EQ(locations[1].path, media_ / "BACKUP" / "Documents");
    EXPECT_EQ(locations[1].root, media_ / "BACKUP");
    EXPECT_TRUE(locations[1].on_storage_card);
    EXPECT_EQ(locations[2].path, media_ / "SDCARD" / "Documents");
}

TEST_F(StorageLocationsTest, AtMostFiveAndTheDocumentsFolderIsNotACard) {
    for (const char* name : {"a", "b", "c", "d", "e", "f"}) {
        std::filesystem::create_directories(media_ / name);
    }
    auto s = search();
    s.media_roots.insert(s.media_roots.begin(), documents_.parent_path());  // holds Documents
    const auto locations = storage_locations(s);
    ASSERT_EQ(locations.size(), kMaxStorageLocations);
    EXPECT_EQ(locations[1].path, media_ / "a" / "Documents");
    EXPECT_EQ(locations[4].path, media_ / "d" / "Documents");
}

TEST_F(StorageLocationsTest, NothingWithoutADocumentsFolder) {
    std::filesystem::create_directories(media_ / "SDCARD");
    auto s = search();
    s.documents = dir_ / "missing";
    EXPECT_TRUE(storage_locations(s).empty());
    test::write_file_bytes(dir_ / "file", {1});
    s.documents = dir_ / "file";
    EXPECT_TRUE(storage_locations(s).empty());
}

TEST_F(StorageLocationsTest, PlainFoldersAreNotMountedCards) {
    std::filesystem::create_directories(media_ / "SDCARD");
    auto s = search();
    s.mount_points_only = true;
    const auto locations = storage_locations(s);
    ASSERT_EQ(locations.size(), 1u);
    EXPECT_EQ(locations[0].path, documents_);
}

TEST_F(StorageLocationsTest, TrailingSlashOnTheDocumentsFolder) {
    std::filesystem::create_directories(media_ / "SDCARD");
    auto s = search();
    s.documents = documents_.string() + "/";
    const auto locations = storage_locations(s);
    ASSERT_EQ(locations.size(), 2u);
    EXPECT_EQ(locations[0].path, documents_);
    EXPECT_EQ(locations[1].path, media_ / "SDCARD" / "Documents");
}

}  // namespace
}  // namespace ks
