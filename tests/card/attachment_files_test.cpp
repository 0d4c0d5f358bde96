#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <map>
#include <optional>
#include <string>

#include "card/rules/attachment_files.h"
#include "platform/text.h"
#include "support/test_support.h"

namespace ks {
namespace {

namespace fs = std::filesystem;

using test::ScopedEnv;

unsigned mode_of(const fs::path& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

FileAttachment attachment(std::u16string_view name, const std::vector<uint8_t>& data) {
    FileAttachment a;
    EXPECT_TRUE(a.set_from_bytes(data, name, std::nullopt));
    return a;
}

// On 5 March 2006 (the fixed clock), with the opened copies and the documents in a temporary
// folder of their own.
class AttachmentFilesTest : public ::testing::Test {
  protected:
    void SetUp() override {
        fs::create_directories(runtime_);
        ::chmod(runtime_.c_str(), 0700);
        env_.set("XDG_RUNTIME_DIR", runtime_.string());
        env_.set("XDG_CACHE_HOME", (dir_ / "cache").string());
        fs::create_directories(documents_);
    }
    fs::path opened_folder() const { return runtime_ / "keystash" / "opened"; }

    test::DeterministicEnvironment environment_;
    test::TempDir dir_;
    fs::path runtime_ = dir_ / "run";
    fs::path documents_ = dir_ / "Documents";
    ScopedEnv env_;
};

TEST(AttachmentFileNamesTest, CarryTheDayAndASafeName) {
    struct Case {
        DateTime day;
        std::u16string name;
        std::u16string attachment;
        std::u16string exported;
    };
    const Case cases[] = {
        {{2006, 3, 0, 5}, u"x", u"20060305_x", u"2006035_x"},
        {{2006, 12, 1, 25}, u"Report.PDF", u"20061225_Report.PDF", u"20061225_Report.PDF"},
        {{2010, 1, 5, 1}, u"", u"20100101_", u"2010011_"},
        // A name out of a wallet can hold what no file name may.
        {{2006, 3, 0, 5}, u"../etc/passwd", u"20060305_.._etc_passwd", u"2006035_.._etc_passwd"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(attachment_file_name(c.day, c.name), c.attachment) << to_utf8(c.name);
        EXPECT_EQ(export_file_name(c.day, c.name), c.exported) << to_utf8(c.name);
    }
}

TEST(AttachmentFileNamesTest, WalletFilesAreKnownByExtensionInAnyCase) {
    const std::pair<std::u16string_view, bool> cases[] = {
        {u"20060305_Home.ks5", true}, {u"20060305_HOME.KS5", true}, {u"old.Wal", true},
        {u"backup.wal.zip", true},    {u"notes.txt", false},        {u"ks5.txt", false},
    };
    for (const auto& [path, wallet] : cases) EXPECT_EQ(is_wallet_file_path(path), wallet);
}

TEST_F(AttachmentFilesTest, AnExportedAttachmentReplacesTheDaysEarlierCopy) {
    const auto first = export_attachment(attachment(u"a.txt", {1, 2, 3}), documents_);
    ASSERT_TRUE(first);
    EXPECT_EQ(*first, documents_ / "20060305_a.txt");
    const auto second = export_attachment(attachment(u"a.txt", {9}), documents_);
    ASSERT_TRUE(second);
    EXPECT_EQ(*second, *first);
    EXPECT_EQ(test::read_file_bytes(*first), std::vector<uint8_t>{9});
    EXPECT_EQ(mode_of(*first), 0600u);
    EXPECT_FALSE(export_attachment(FileAttachment{}, documents_));
}

TEST_F(AttachmentFilesTest, AnExportedSoundIsNeverReplaced) {
    const std::vector<uint8_t> sound = {1, 2, 3, 4};
    const auto first = export_new_copy(sound, u"ring.wav", documents_);
    ASSERT_TRUE(first);
    EXPECT_EQ(*first, documents_ / "2006035_ring.wav");
    EXPECT_EQ(mode_of(*first), 0600u);
    EXPECT_FALSE(export_new_copy(std::vector<uint8_t>{7}, u"ring.wav", documents_));
    EXPECT_EQ(test::read_file_bytes(*first), sound);
    EXPECT_EQ(test::file_names(documents_).size(), 1u);  // nothing left behind

    environment_.clock().set({2006, 3, 1, 6, 9, 0, 0, 0});
    EXPECT_EQ(export_new_copy(sound, u"ring.wav", documents_), documents_ / "2006036_ring.wav");
}

TEST_F(AttachmentFilesTest, TheOpenedFolderIsPrivate) {
    fs::create_directories(runtime_ / "keystash");
    ::chmod((runtime_ / "keystash").c_str(), 0755);
    EXPECT_EQ(OpenedFiles::folder(), opened_folder());
    EXPECT_EQ(mode_of(runtime_ / "keystash"), 0700u);
    EXPECT_EQ(mode_of(opened_folder()), 0700u);

    // A folder put there as a link is not used; the cache folder is.
    fs::remove_all(runtime_ / "keystash");
    fs::create_directories(dir_ / "elsewhere");
    fs::create_directory_symlink(dir_ / "elsewhere", runtime_ / "keystash");
    EXPECT_EQ(OpenedFiles::folder(), dir_ / "cache" / "keystash" / "opened");
    EXPECT_TRUE(fs::is_empty(dir_ / "elsewhere"));

    env_.set("XDG_RUNTIME_DIR", std::nullopt);
    EXPECT_EQ(OpenedFiles::folder(), dir_ / "cache" / "keystash" / "opened");
    EXPECT_EQ(mode_of(dir_ / "cache" / "keystash"), 0700u);
}

TEST_F(AttachmentFilesTest, OpeningWritesAPrivateCopyListedOnce) {
    OpenedFiles opened;
    const FileAttachment notes = attachment(u"notes.txt", {'h', 'i'});
    const auto first = write_opened_attachment(notes, opened, documents_);
    ASSERT_TRUE(first);
    EXPECT_TRUE(first->may_open);
    EXPECT_EQ(first->path, opened_folder() / "20060305_notes.txt");
    EXPECT_EQ(mode_of(first->path), 0600u);
    ASSERT_TRUE(write_opened_attachment(notes, opened, documents_));
    EXPECT_EQ(opened.paths(), std::vector<fs::path>{first->path});

    // A wallet is saved with the documents, never opened and not listed.
    const auto wallet = write_opened_attachment(attachment(u"Home.KS5", {1}), opened, documents_);
    ASSERT_TRUE(wallet);
    EXPECT_FALSE(wallet->may_open);
    EXPECT_EQ(wallet->path, documents_ / "20060305_Home.KS5");
    EXPECT_EQ(opened.paths().size(), 1u);

    EXPECT_FALSE(write_opened_attachment(FileAttachment{}, opened, documents_));
}

TEST(OpenedFilesTest, ListsAPathOnceWhateverItsCaseAndAtMostTwenty) {
    OpenedFiles opened;
    EXPECT_TRUE(opened.add("/run/x/20060305_A.txt"));
    EXPECT_FALSE(opened.add("/run/x/20060305_a.TXT"));
    for (int i = 1; i < 20; ++i) EXPECT_TRUE(opened.add("/run/x/" + std::to_string(i)));
    EXPECT_FALSE(opened.add("/run/x/twenty-first"));
    EXPECT_EQ(opened.paths().size(), OpenedFiles::kMaxFiles);
}

TEST_F(AttachmentFilesTest, DeletingCountsAFileGoneAsDeleted) {
    OpenedFiles opened;
    const fs::path kept = opened_folder() / "kept";
    const fs::path gone = opened_folder() / "gone";
    const fs::path stuck = opened_folder() / "stuck";  // a folder with a file cannot be removed
    fs::create_directories(stuck / "inside");
    test::write_file_bytes(kept, {1});
    for (const fs::path& path : {kept, gone, stuck}) opened.add(path);
    EXPECT_EQ(opened.delete_all(), std::vector<fs::path>{stuck});
    EXPECT_FALSE(fs::exists(kept));
    EXPECT_TRUE(opened.empty());

    test::write_file_bytes(opened_folder() / "left by a crash", {1});
    OpenedFiles::empty_folder();
    EXPECT_EQ(test::file_names(opened_folder()), std::vector<std::string>{"stuck"});
}

TEST(LeftoverFilesTextTest, NamesTheFilesUnlessThereAreTooManyOrTheyAreLong) {
    test::MapTextSource texts({{28207, u"%d left"}, {28208, u"Left:\n"}});
    ScopedTextSource scope(&texts);
    EXPECT_EQ(leftover_files_text({"/o/a", "/o/b"}), u"Left:\n/o/a\n/o/b\n");
    const std::vector<fs::path> six(6, "/o/a");
    EXPECT_EQ(leftover_files_text(six), u"6 left");
    const std::vector<fs::path> five(5, "/o/a");
    EXPECT_EQ(leftover_files_text(five).substr(0, 6), u"Left:\n");
    // 2 x (127 + 2) + 1 = 259 still fits; one character more does not.
    const std::string fits(127, 'n');
    EXPECT_EQ(leftover_files_text({fits, fits}).substr(0, 6), u"Left:\n");
    EXPECT_EQ(leftover_files_text({fits + "n", fits}), u"2 left");
}

TEST(ReadCardFileTest, TakesOnlyWholeRegularFilesOfAUsableSize) {
    test::TempDir dir;
    test::write_file_bytes(dir / "small", {1, 2, 3});
    test::write_file_bytes(dir / "empty", {});
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
    fs::create_directory(dir / "folder");
    test::write_file_bytes(dir / "huge", {});
    fs::resize_file(dir / "huge", kMaxCardFileBytes + 1);  // sparse: costs no disk
    const std::pair<const char*, CardFileStatus> cases[] = {
        {"small", CardFileStatus::Read},         {"empty", CardFileStatus::Unreadable},
        {"missing", CardFileStatus::Unreadable}, {"fifo", CardFileStatus::Unreadable},
        {"folder", CardFileStatus::Unreadable},  {"huge", CardFileStatus::TooLarge},
    };
    for (const auto& [name, status] : cases) {
        const CardFileBytes read = read_card_file(dir / name);
        EXPECT_EQ(read.status, status) << name;
        EXPECT_EQ(read.bytes.empty(), status != CardFileStatus::Read) << name;
    }
}

}  // namespace
}  // namespace ks
