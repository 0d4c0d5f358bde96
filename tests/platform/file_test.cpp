#include "platform/file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "platform/bytes.h"

namespace fs = std::filesystem;

namespace ks {
namespace {

Bytes read_all(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void write_all(const fs::path& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

Bytes sequence(size_t n) {
    Bytes b(n);
    for (size_t i = 0; i < n; ++i) b[i] = static_cast<uint8_t>(i + 1);
    return b;
}

class FileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string base = ::testing::TempDir();
        if (base.empty() || base.back() != '/') base += '/';
        std::string pattern = base + "ks_file_XXXXXX";
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr) << "errno " << errno;
        dir_ = pattern;
    }
    void TearDown() override {
        std::error_code ec;
        if (!dir_.empty()) fs::remove_all(dir_, ec);
    }

    // A file holding `content`, opened in `mode`.
    File open_with(const Bytes& content, FileMode mode, const std::string& name = "data") {
        write_all(dir_ / name, content);
        int error = -1;
        File f = File::open(dir_ / name, mode, &error);
        EXPECT_TRUE(f.is_open()) << "errno " << error;
        EXPECT_EQ(error, 0);
        return f;
    }

    fs::path dir_;
};

TEST_F(FileTest, CreateNewMakesAPrivateFile) {
    const mode_t old_mask = ::umask(022);
    int error = -1;
    File f = File::open(dir_ / "new", FileMode::CreateNew, &error);
    ::umask(old_mask);
    ASSERT_TRUE(f.is_open()) << "errno " << error;
    EXPECT_EQ(error, 0);
    EXPECT_TRUE(f.writable());
    EXPECT_EQ(f.path(), dir_ / "new");
    EXPECT_EQ(f.size(), 0u);

    struct stat st {};
    ASSERT_EQ(::stat((dir_ / "new").c_str(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode));
    EXPECT_EQ(st.st_mode & 0777, 0600u);

    // Read and write on the new handle.
    const Bytes data = sequence(5);
    EXPECT_EQ(f.write(data).bytes, 5u);
    Bytes back(5);
    EXPECT_EQ(f.read_at(0, back).bytes, 5u);
    EXPECT_EQ(back, data);
}

TEST_F(FileTest, CreateNewRefusesAnExistingPath) {
    const Bytes original = {'k', 'e', 'e', 'p'};
    write_all(dir_ / "existing", original);
    int error = 0;
    File f = File::open(dir_ / "existing", FileMode::CreateNew, &error);
    EXPECT_FALSE(f.is_open());
    EXPECT_EQ(error, EEXIST);
    EXPECT_EQ(read_all(dir_ / "existing"), original);

    // A dangling symlink is an existing path too; nothing may be created through it.
    fs::create_symlink(dir_ / "target", dir_ / "link");
    f = File::open(dir_ / "link", FileMode::CreateNew, &error);
    EXPECT_FALSE(f.is_open());
    EXPECT_EQ(error, EEXIST);
    EXPECT_FALSE(fs::exists(dir_ / "target"));
}

TEST_F(FileTest, OpenFailuresReportErrno) {
    fs::create_directory(dir_ / "sub");
    struct Case {
        const char* name;
        fs::path path;
        FileMode mode;
        int error;
    };
    const Case cases[] = {
        {"missing, read-only", dir_ / "absent", FileMode::ReadOnly, ENOENT},
        {"missing, read-write", dir_ / "absent", FileMode::ReadWrite, ENOENT},
        {"missing folder", dir_ / "absent" / "new", FileMode::CreateNew, ENOENT},
        {"folder, read-only", dir_ / "sub", FileMode::ReadOnly, EISDIR},
        {"folder, read-write", dir_ / "sub", FileMode::ReadWrite, EISDIR},
    };
    for (const auto& c : cases) {
        int error = 0;
        File f = File::open(c.path, c.mode, &error);
        EXPECT_FALSE(f.is_open()) << c.name;
        EXPECT_FALSE(f.writable()) << c.name;
        EXPECT_EQ(error, c.error) << c.name;
    }
    // The error out-parameter is optional.
    EXPECT_FALSE(File::open(dir_ / "sub", FileMode::ReadOnly).is_open());
}

TEST_F(FileTest, ReadOnlyCannotWrite) {
    const Bytes original = sequence(8);
    File f = open_with(original, FileMode::ReadOnly);
    EXPECT_FALSE(f.writable());

    const Bytes junk(4, 0xEE);
    IoResult r = f.write(junk);
    EXPECT_TRUE(r.failed());
    EXPECT_EQ(r.bytes, 0u);
    EXPECT_EQ(f.position(), 0u);
    EXPECT_TRUE(f.write_at(2, junk).failed());
    EXPECT_FALSE(f.set_size(0));
    EXPECT_EQ(read_all(dir_ / "data"), original);
}

TEST_F(FileTest, ReadsStopAtTheEnd) {
    const Bytes content = sequence(10);
    File f = open_with(content, FileMode::ReadOnly);
    struct Case {
        const char* name;
        uint64_t offset;
        size_t asked;
        size_t got;
    };
    const Case cases[] = {
        {"whole", 0, 10, 10}, {"short near end", 7, 8, 3}, {"last byte", 9, 1, 1},
        {"at end", 10, 4, 0}, {"past end", 25, 4, 0},      {"nothing asked", 3, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes out(c.asked, 0xEE);
        IoResult r = f.read_at(c.offset, out);
        EXPECT_FALSE(r.failed());
        ASSERT_EQ(r.bytes, c.got);
        for (size_t i = 0; i < c.got; ++i) EXPECT_EQ(out[i], content[c.offset + i]);
        for (size_t i = c.got; i < c.asked; ++i) EXPECT_EQ(out[i], 0xEE);  // untouched

        // The same through the current position, which moves by what was read.
        ASSERT_TRUE(f.seek(c.offset));
        Bytes out2(c.asked);
        r = f.read(out2);
        EXPECT_EQ(r.bytes, c.got);
        EXPECT_EQ(f.position(), c.offset + c.got);
    }
}

TEST_F(FileTest, CurrentPositionMovesPositionalDoesNot) {
    File f = open_with({}, FileMode::ReadWrite);
    EXPECT_EQ(f.position(), 0u);

    EXPECT_EQ(f.write(Bytes{1, 2, 3, 4}).bytes, 4u);
    EXPECT_EQ(f.position(), 4u);
    EXPECT_EQ(f.write(Bytes{5, 6}).bytes, 2u);
    EXPECT_EQ(f.position(), 6u);

    // Positional write in the middle and past the end: the position stays.
    EXPECT_EQ(f.write_at(1, Bytes{0xA1, 0xA2}).bytes, 2u);
    EXPECT_EQ(f.write_at(8, Bytes{0xB8}).bytes, 1u);
    EXPECT_EQ(f.position(), 6u);
    EXPECT_EQ(f.size(), 9u);

    Bytes two(2);
    EXPECT_EQ(f.read_at(0, two).bytes, 2u);
    EXPECT_EQ(f.position(), 6u);

    // Reading at the current position picks up where the writes left off; the hole is zeros.
    Bytes rest(3);
    EXPECT_EQ(f.read(rest).bytes, 3u);
    EXPECT_EQ(rest, (Bytes{0, 0, 0xB8}));
    EXPECT_EQ(f.position(), 9u);

    f.close();
    EXPECT_EQ(read_all(dir_ / "data"), (Bytes{1, 0xA1, 0xA2, 4, 5, 6, 0, 0, 0xB8}));
}

TEST_F(FileTest, Seeking) {
    File f = open_with(sequence(10), FileMode::ReadWrite);
    struct Step {
        bool relative;
        int64_t amount;
        bool ok;
        uint64_t position;  // afterwards
    };
    const Step steps[] = {
        {false, 4, true, 4},          {true, 3, true, 7},
        {true, -7, true, 0},          {true, -1, false, 0},  // below the start
        {false, 20, true, 20},                               // past the end is allowed
        {true, -21, false, 20},       {true, 0, true, 20},
        {true, INT64_MIN, false, 20}, {true, -20, true, 0},
    };
    for (size_t i = 0; i < std::size(steps); ++i) {
        const Step& s = steps[i];
        const bool ok =
            s.relative ? f.seek_relative(s.amount) : f.seek(static_cast<uint64_t>(s.amount));
        EXPECT_EQ(ok, s.ok) << "step " << i;
        EXPECT_EQ(f.position(), s.position) << "step " << i;
    }

    // A write after seeking past the end extends the file with zeros.
    ASSERT_TRUE(f.seek(12));
    EXPECT_EQ(f.write(Bytes{0xCC}).bytes, 1u);
    Bytes gap(3);
    EXPECT_EQ(f.read_at(10, gap).bytes, 3u);
    EXPECT_EQ(gap, (Bytes{0, 0, 0xCC}));
}

TEST_F(FileTest, SetSizeTruncatesAndExtendsWithZeros) {
    File f = open_with(sequence(8), FileMode::ReadWrite);
    ASSERT_TRUE(f.set_size(3));
    EXPECT_EQ(f.size(), 3u);
    EXPECT_EQ(read_all(dir_ / "data"), sequence(3));

    ASSERT_TRUE(f.set_size(6));
    EXPECT_EQ(f.size(), 6u);
    EXPECT_EQ(read_all(dir_ / "data"), (Bytes{1, 2, 3, 0, 0, 0}));

    ASSERT_TRUE(f.set_size(0));
    EXPECT_EQ(f.size(), 0u);
    Bytes out(1);
    EXPECT_EQ(f.read_at(0, out).bytes, 0u);
}

TEST_F(FileTest, ExclusiveLockConflictsBetweenHandles) {
    File first = open_with(sequence(4), FileMode::ReadWrite);
    File second = File::open(dir_ / "data", FileMode::ReadWrite);
    ASSERT_TRUE(second.is_open());

    ASSERT_TRUE(first.try_lock_exclusive());
    EXPECT_FALSE(second.try_lock_exclusive());
    EXPECT_FALSE(second.try_lock_shared());

    first.close();  // closing releases the lock
    EXPECT_TRUE(second.try_lock_exclusive());

    File third = File::open(dir_ / "data", FileMode::ReadOnly);
    ASSERT_TRUE(third.is_open());
    EXPECT_FALSE(third.try_lock_exclusive());
    second.unlock();
    EXPECT_TRUE(third.try_lock_exclusive());
}

TEST_F(FileTest, SharedLocksCoexistButBlockExclusive) {
    File a = open_with(sequence(4), FileMode::ReadOnly);
    File b = File::open(dir_ / "data", FileMode::ReadOnly);
    File c = File::open(dir_ / "data", FileMode::ReadWrite);
    ASSERT_TRUE(b.is_open());
    ASSERT_TRUE(c.is_open());

    ASSERT_TRUE(a.try_lock_shared());
    EXPECT_TRUE(b.try_lock_shared());
    EXPECT_FALSE(c.try_lock_exclusive());
    a.unlock();
    EXPECT_FALSE(c.try_lock_exclusive());
    b.unlock();
    EXPECT_TRUE(c.try_lock_exclusive());
}

TEST_F(FileTest, MoveTransfersTheHandle) {
    File a = open_with(sequence(6), FileMode::ReadWrite);
    ASSERT_TRUE(a.seek(2));
    ASSERT_TRUE(a.try_lock_exclusive());

    File b(std::move(a));
    EXPECT_FALSE(a.is_open());  // NOLINT(bugprone-use-after-move)
    ASSERT_TRUE(b.is_open());
    EXPECT_TRUE(b.writable());
    EXPECT_EQ(b.position(), 2u);
    EXPECT_EQ(b.path(), dir_ / "data");
    Bytes out(1);
    EXPECT_TRUE(a.read_at(0, out).failed());  // NOLINT(bugprone-use-after-move)
    EXPECT_TRUE(a.write(out).failed());       // NOLINT(bugprone-use-after-move)

    // Move assignment closes what the target held, which releases its lock.
    File other = File::open(dir_ / "data", FileMode::ReadOnly);
    ASSERT_TRUE(other.is_open());
    EXPECT_FALSE(other.try_lock_shared());  // b still holds the exclusive lock
    File c = open_with(sequence(2), FileMode::ReadWrite, "other");
    c = std::move(b);
    EXPECT_FALSE(b.is_open());  // NOLINT(bugprone-use-after-move)
    ASSERT_TRUE(c.is_open());
    EXPECT_EQ(c.position(), 2u);
    EXPECT_EQ(c.size(), 6u);
    EXPECT_FALSE(other.try_lock_shared());  // the lock moved with the handle
    c = File();
    EXPECT_FALSE(c.is_open());
    EXPECT_TRUE(other.try_lock_shared());
}

// A file knows whether a path names it, through links too, and keeps its name when renamed.
TEST_F(FileTest, IdentityAndRenaming) {
    File f = open_with(sequence(4), FileMode::ReadWrite);
    write_all(dir_ / "other", sequence(4));
    fs::create_symlink("data", dir_ / "link");
    EXPECT_TRUE(f.is_at(dir_ / "data"));
    EXPECT_TRUE(f.is_at(dir_ / "link"));
    EXPECT_FALSE(f.is_at(dir_ / "other")) << "equal content is not the same file";
    EXPECT_FALSE(f.is_at(dir_ / "missing"));

    ASSERT_TRUE(f.rename_to(dir_ / "other"));
    EXPECT_EQ(f.path(), dir_ / "other");
    EXPECT_TRUE(f.is_at(dir_ / "other"));
    EXPECT_FALSE(fs::exists(dir_ / "data"));
    EXPECT_FALSE(f.rename_to(dir_ / "no" / "such" / "folder"));
    EXPECT_EQ(f.path(), dir_ / "other");
    f.close();
    EXPECT_FALSE(f.is_at(dir_ / "other"));
}

TEST_F(FileTest, ClosedFileRefusesEverything) {
    File f = open_with(sequence(3), FileMode::ReadWrite);
    f.close();
    EXPECT_FALSE(f.is_open());
    EXPECT_FALSE(f.writable());
    f.close();  // closing twice is harmless

    Bytes out(1);
    EXPECT_EQ(f.read(out).error, EBADF);
    EXPECT_EQ(f.write(out).error, EBADF);
    EXPECT_FALSE(f.seek(0));
    EXPECT_FALSE(f.seek_relative(0));
    EXPECT_FALSE(f.size().has_value());
    EXPECT_FALSE(f.set_size(0));
    EXPECT_FALSE(f.sync());
    EXPECT_FALSE(f.try_lock_exclusive());
    EXPECT_FALSE(f.try_lock_shared());
    f.unlock();
    EXPECT_EQ(read_all(dir_ / "data"), sequence(3));
}

TEST_F(FileTest, SyncFileAndDirectory) {
    File f = open_with(sequence(3), FileMode::ReadWrite);
    EXPECT_TRUE(f.sync());
    EXPECT_TRUE(sync_directory(dir_));
    EXPECT_FALSE(sync_directory(dir_ / "absent"));
    EXPECT_FALSE(sync_directory(dir_ / "data"));  // not a folder
}

// The no-follow modes open only what is at the path itself, without waiting on a FIFO; the
// status tells a private regular file from links, second names and other things.
TEST_F(FileTest, NoFollowModesAndStatus) {
    write_all(dir_ / "data", sequence(10));
    fs::create_symlink(dir_ / "data", dir_ / "link");
    ASSERT_EQ(::mkfifo((dir_ / "fifo").c_str(), 0600), 0);
    fs::create_hard_link(dir_ / "data", dir_ / "second");

    for (FileMode mode : {FileMode::ReadOnlyNoFollow, FileMode::ReadWriteNoFollow}) {
        int error = 0;
        EXPECT_FALSE(File::open(dir_ / "link", mode, &error).is_open());
        EXPECT_EQ(error, ELOOP);
        File fifo = File::open(dir_ / "fifo", mode, &error);  // returns at once
        ASSERT_TRUE(fifo.is_open()) << error;
        EXPECT_FALSE(fifo.status()->regular);
        File data = File::open(dir_ / "data", mode);
        ASSERT_TRUE(data.is_open());
        EXPECT_EQ(data.writable(), mode == FileMode::ReadWriteNoFollow);
    }

    const auto link = link_status(dir_ / "link");
    ASSERT_TRUE(link);
    EXPECT_TRUE(link->link);
    EXPECT_FALSE(link->private_regular_file());
    EXPECT_FALSE(link_status(dir_ / "missing"));
    const auto data = link_status(dir_ / "data");
    ASSERT_TRUE(data);
    EXPECT_EQ(data->links, 2u);
    EXPECT_FALSE(data->private_regular_file()) << "a file with a second name";
    fs::remove(dir_ / "second");
    File opened = File::open(dir_ / "data", FileMode::ReadOnly);
    const auto status = opened.status();
    ASSERT_TRUE(status);
    EXPECT_TRUE(status->private_regular_file());
    EXPECT_EQ(status->owner, effective_user());
    EXPECT_EQ(status->size, 10u);
    EXPECT_EQ(status->inode, link_status(dir_ / "data")->inode);
}

}  // namespace
}  // namespace ks
