#pragma once
// A binary file with a current position (for the record routines that work "at the current
// position") and positional access, size, set-end, fsync and an advisory lock.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>

namespace ks {

enum class FileMode {
    ReadOnly,
    ReadWrite,
    CreateNew,  // read and write; fails when the path exists; mode 0600
    // An existing file that is not a symbolic link (and without waiting on a FIFO): for files
    // beside a wallet that another user may have put there.
    ReadOnlyNoFollow,
    ReadWriteNoFollow,
};

// What fstat or lstat says of a file.
struct FileStatus {
    uint64_t device = 0;
    uint64_t inode = 0;
    uint32_t owner = 0;
    uint64_t links = 0;
    uint64_t size = 0;
    bool regular = false;
    bool link = false;  // a symbolic link (lstat only)

    // A regular file with one name, owned by the user the program runs as.
    bool private_regular_file() const;
};

// Why a file call failed. Every failing call of this layer notes its errno for the thread, so
// that code several layers up can tell a full disk from a missing, unreadable or locked file.
enum class FileProblem { None, Missing, AccessDenied, Locked, NoSpace, Other };
struct FileFailure {
    FileProblem problem = FileProblem::None;
    int error = 0;  // errno; 0 when there is none
    bool operator==(const FileFailure&) const = default;
};
FileFailure file_failure_of(int error);
// The last failed call's failure on this thread since clear_file_failure (None when none).
FileFailure last_file_failure();
void clear_file_failure();

// Outcome of one transfer: bytes moved, and the errno of a failed call (0 when none failed).
struct IoResult {
    size_t bytes = 0;
    int error = 0;
    bool failed() const { return error != 0; }
};

class File {
  public:
    File() = default;
    ~File();
    File(File&& other) noexcept;
    File& operator=(File&& other) noexcept;
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    // Opens `path`; on failure the result is closed and `error` (when given) holds errno.
    static File open(const std::filesystem::path& path, FileMode mode, int* error = nullptr);

    bool is_open() const { return fd_ >= 0; }
    bool writable() const { return writable_; }
    const std::filesystem::path& path() const { return path_; }
    // Whether `path` names this very file (the same device and inode).
    bool is_at(const std::filesystem::path& path) const;
    // Renames the file over `to` in one step (as rename_file); the file then goes by `to`.
    bool rename_to(const std::filesystem::path& to);
    // The file was renamed: the path it has now.
    void set_path(std::filesystem::path path) { path_ = std::move(path); }
    void close();

    // Transfers at the current position, which then moves past what was transferred. A read
    // returns fewer bytes than asked only at the end of the file or on error.
    IoResult read(std::span<uint8_t> out);
    IoResult write(std::span<const uint8_t> in);
    bool seek(uint64_t offset);
    bool seek_relative(int64_t delta);
    uint64_t position() const { return pos_; }

    // Positional transfers; the current position is not used or changed.
    IoResult read_at(uint64_t offset, std::span<uint8_t> out) const;
    IoResult write_at(uint64_t offset, std::span<const uint8_t> in);

    std::optional<uint64_t> size() const;
    std::optional<FileStatus> status() const;
    bool set_size(uint64_t size);  // truncate or extend (with zeros)
    bool set_mode(uint32_t mode);  // the permission bits
    bool sync();                   // data and metadata reach the disk

    // Advisory whole-file lock held until unlock or close; false when another holds it.
    bool try_lock_exclusive();
    bool try_lock_shared();
    void unlock();

  private:
    void release();  // forgets the descriptor without closing it
    IoResult read_at_unnoted(uint64_t offset, std::span<uint8_t> out) const;
    IoResult write_at_unnoted(uint64_t offset, std::span<const uint8_t> in);

    int fd_ = -1;
    bool writable_ = false;
    uint64_t pos_ = 0;
    std::filesystem::path path_;
};

// The status of `path` itself (a symbolic link is not followed); nothing when it is missing.
std::optional<FileStatus> link_status(const std::filesystem::path& path);

// The user id the program runs as.
uint32_t effective_user();

// Renames a file over another in one step (the change a fault plan can stop).
bool rename_file(const std::filesystem::path& from, const std::filesystem::path& to);
// The same, but never over an existing file: false with errno EEXIST when `to` exists. Where the
// file system has no such rename, a hard link to `to` and the removal of `from` stand in.
bool rename_file_no_replace(const std::filesystem::path& from, const std::filesystem::path& to);

// fsync of a folder, so that a rename or a new entry in it is durable.
bool sync_directory(const std::filesystem::path& dir);

}  // namespace ks
