#include "platform/atomic_file.h"

#include <sys/stat.h>

#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/test_support.h"

namespace ks {
namespace {

namespace fs = std::filesystem;

std::vector<uint8_t> text(std::string_view s) {
    return std::vector<uint8_t>(s.begin(), s.end());
}

TEST(AtomicReplacement, ReplacesOnlyWhenCommittedAndLeavesNoTemporary) {
    test::TempDir dir;
    const fs::path target = dir / "prefs.reg";
    test::write_file_bytes(target, text("old"));
    {
        AtomicReplacement out(target);
        ASSERT_TRUE(out.is_open());
        struct stat st {};
        ASSERT_EQ(::stat(out.temporary().c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0600u);
        ASSERT_FALSE(out.file().write(text("dropped")).failed());
    }  // not committed
    EXPECT_EQ(test::read_file_bytes(target), text("old"));
    EXPECT_EQ(test::file_names(dir.path()), std::vector<std::string>{"prefs.reg"});

    ASSERT_TRUE(replace_file_contents(target, text("new")));
    EXPECT_EQ(test::read_file_bytes(target), text("new"));
    EXPECT_EQ(test::file_names(dir.path()), std::vector<std::string>{"prefs.reg"});
}

TEST(AtomicReplacement, KeepExistingNeverReplacesAFile) {
    test::TempDir dir;
    const fs::path target = dir / "Old.ks5";
    test::write_file_bytes(target, text("mine"));
    AtomicReplacement out(target, ReplaceMode::KeepExisting);
    ASSERT_TRUE(out.is_open());
    EXPECT_FALSE(out.commit());
    EXPECT_EQ(out.result(), PlaceResult::TargetExists);
    EXPECT_EQ(test::read_file_bytes(target), text("mine"));
    EXPECT_EQ(test::file_names(dir.path()), std::vector<std::string>{"Old.ks5"});
}

TEST(AtomicReplacement, ALongNameIsCutSoThatItsTemporaryFits) {
    test::TempDir dir;
    std::string euros;
    for (int i = 0; i < 84; ++i) euros += "\xE2\x82\xAC";  // 252 bytes: cut between characters
    for (const std::string& shown : {std::string(250, 'n'), euros}) {
        const fs::path target = dir / shown;
        ASSERT_TRUE(replace_file_contents(target, text("x"))) << shown.size();
        EXPECT_EQ(test::read_file_bytes(target), text("x"));
        fs::path made;
        File temporary = create_temporary_beside(target, made);
        ASSERT_TRUE(temporary.is_open());
        EXPECT_LE(made.filename().string().size() + 4, 255u) << "room for a journal's .cut";
        EXPECT_TRUE(is_temporary_name(made.filename().string(), shown));
        temporary.close();
        EXPECT_EQ(remove_stale_temporaries(target), 1);
    }
}

TEST(AtomicReplacement, StaleTemporariesGoButLockedOnesAndOthersStay) {
    test::TempDir dir;
    const fs::path target = dir / "forms.ksx";
    test::write_file_bytes(target, text("t"));
    const std::vector<std::string> others = {"forms.ksx.0000000g.tmp", "forms.ksx.0000000.tmp",
                                             "other.ksx.00000000.tmp", "forms.ksx.tmp"};
    for (const std::string& name : others) test::write_file_bytes(dir / name, text("o"));
    test::write_file_bytes(dir / "forms.ksx.0badc0de.tmp", text("stale"));
    fs::path busy_path;
    File busy = create_temporary_beside(target, busy_path);
    ASSERT_TRUE(busy.try_lock_exclusive());  // a write still going on
    fs::create_symlink(target, dir / "forms.ksx.12345678.tmp");

    EXPECT_EQ(remove_stale_temporaries(target), 1);
    EXPECT_FALSE(fs::exists(dir / "forms.ksx.0badc0de.tmp"));
    EXPECT_TRUE(fs::exists(busy_path));
    EXPECT_TRUE(fs::is_symlink(dir / "forms.ksx.12345678.tmp"));
    for (const std::string& name : others) EXPECT_TRUE(fs::exists(dir / name)) << name;
}

}  // namespace
}  // namespace ks
