#include "platform/file.h"

#include "platform/fault_injection.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace ks {
namespace {

thread_local int last_failed_errno = 0;

// Notes a failed call's errno and passes the failure on.
bool noted(bool ok) {
    if (!ok) last_failed_errno = errno != 0 ? errno : EIO;
    return ok;
}
IoResult noted(IoResult r) {
    if (r.failed()) last_failed_errno = r.error;
    return r;
}

}  // namespace

FileFailure file_failure_of(int error) {
    switch (error) {
        case 0:
            return {};
        case ENOENT:
        case ENOTDIR:
            return {FileProblem::Missing, error};
        case EACCES:
        case EPERM:
        case EROFS:
            return {FileProblem::AccessDenied, error};
        case EWOULDBLOCK:
            return {FileProblem::Locked, error};
        case ENOSPC:
        case EDQUOT:
            return {FileProblem::NoSpace, error};
        default:
            return {FileProblem::Other, error};
    }
}

FileFailure last_file_failure() {
    return file_failure_of(last_failed_errno);
}

void clear_file_failure() {
    last_failed_errno = 0;
}

File::~File() {
    close();
}

File::File(File&& other) noexcept
    : fd_(other.fd_), writable_(other.writable_), pos_(other.pos_), path_(std::move(other.path_)) {
    other.release();
}

File& File::operator=(File&& other) noexcept {
    if (this != &other) {
        close();
        fd_ = other.fd_;
        writable_ = other.writable_;
        pos_ = other.pos_;
        path_ = std::move(other.path_);
        other.release();
    }
    return *this;
}

File File::open(const std::filesystem::path& path, FileMode mode, int* error) {
    int flags = O_CLOEXEC;
    switch (mode) {
        case FileMode::ReadOnly:
            flags |= O_RDONLY;
            break;
        case FileMode::ReadWrite:
            flags |= O_RDWR;
            break;
        case FileMode::CreateNew:
            flags |= O_RDWR | O_CREAT | O_EXCL;
            break;
        case FileMode::ReadOnlyNoFollow:
            flags |= O_RDONLY | O_NOFOLLOW | O_NONBLOCK;
            break;
        case FileMode::ReadWriteNoFollow:
            flags |= O_RDWR | O_NOFOLLOW | O_NONBLOCK;
            break;
    }
    File f;
    int fd;
    do {
        fd = ::open(path.c_str(), flags, S_IRUSR | S_IWUSR);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        noted(false);
        if (error) *error = errno;
        return f;
    }
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        ::close(fd);
        errno = EISDIR;
        noted(false);
        if (error) *error = EISDIR;
        return f;
    }
    f.fd_ = fd;
    f.writable_ = mode != FileMode::ReadOnly && mode != FileMode::ReadOnlyNoFollow;
    f.path_ = path;
    if (error) *error = 0;
    return f;
}

bool File::is_at(const std::filesystem::path& path) const {
    struct stat mine {};
    struct stat there {};
    return fd_ >= 0 && ::fstat(fd_, &mine) == 0 && ::stat(path.c_str(), &there) == 0 &&
           mine.st_dev == there.st_dev && mine.st_ino == there.st_ino;
}

bool File::rename_to(const std::filesystem::path& to) {
    if (fd_ < 0 || !rename_file(path_, to)) return false;
    path_ = to;
    return true;
}

void File::release() {
    fd_ = -1;
    writable_ = false;
    pos_ = 0;
    path_.clear();
}

void File::close() {
    if (fd_ >= 0) ::close(fd_);  // also releases the advisory lock
    fd_ = -1;
    writable_ = false;
    pos_ = 0;
    path_.clear();
}

IoResult File::read_at(uint64_t offset, std::span<uint8_t> out) const {
    return noted(read_at_unnoted(offset, out));
}

IoResult File::read_at_unnoted(uint64_t offset, std::span<uint8_t> out) const {
    IoResult r;
    if (fd_ < 0) {
        r.error = EBADF;
        return r;
    }
    while (r.bytes < out.size()) {
        ssize_t n = ::pread(fd_, out.data() + r.bytes, out.size() - r.bytes,
                            static_cast<off_t>(offset + r.bytes));
        if (n < 0) {
            if (errno == EINTR) continue;
            r.error = errno;
            break;
        }
        if (n == 0) break;
        r.bytes += static_cast<size_t>(n);
    }
    return r;
}

IoResult File::write_at(uint64_t offset, std::span<const uint8_t> in) {
    return noted(write_at_unnoted(offset, in));
}

IoResult File::write_at_unnoted(uint64_t offset, std::span<const uint8_t> in) {
    IoResult r;
    if (fd_ < 0) {
        r.error = EBADF;
        return r;
    }
    int injected = 0;
    switch (FaultInjector::next_change(injected)) {
        case FaultAction::Fail:
            r.error = injected;
            return r;
        case FaultAction::Shorten:
            in = in.first(in.size() / 2);
            break;
        case FaultAction::Proceed:
            break;
    }
    while (r.bytes < in.size()) {
        ssize_t n = ::pwrite(fd_, in.data() + r.bytes, in.size() - r.bytes,
                             static_cast<off_t>(offset + r.bytes));
        if (n < 0) {
            if (errno == EINTR) continue;
            r.error = errno;
            break;
        }
        if (n == 0) {
            r.error = EIO;
            break;
        }
        r.bytes += static_cast<size_t>(n);
    }
    return r;
}

IoResult File::read(std::span<uint8_t> out) {
    IoResult r = read_at(pos_, out);
    pos_ += r.bytes;
    return r;
}

IoResult File::write(std::span<const uint8_t> in) {
    IoResult r = write_at(pos_, in);
    pos_ += r.bytes;
    return r;
}

bool File::seek(uint64_t offset) {
    if (fd_ < 0) return false;
    pos_ = offset;
    return true;
}

bool File::seek_relative(int64_t delta) {
    if (fd_ < 0) return false;
    const uint64_t step = static_cast<uint64_t>(delta);  // two's complement for negatives
    if (delta < 0 && uint64_t{0} - step > pos_) return false;
    pos_ += step;
    return true;
}

std::optional<uint64_t> File::size() const {
    struct stat st {};
    if (fd_ < 0 || ::fstat(fd_, &st) != 0) return std::nullopt;
    return static_cast<uint64_t>(st.st_size);
}

namespace {

FileStatus status_from(const struct stat& st) {
    FileStatus s;
    s.device = static_cast<uint64_t>(st.st_dev);
    s.inode = static_cast<uint64_t>(st.st_ino);
    s.owner = static_cast<uint32_t>(st.st_uid);
    s.links = static_cast<uint64_t>(st.st_nlink);
    s.size = static_cast<uint64_t>(st.st_size);
    s.regular = S_ISREG(st.st_mode);
    s.link = S_ISLNK(st.st_mode);
    return s;
}

}  // namespace

bool FileStatus::private_regular_file() const {
    return regular && !link && links == 1 && owner == effective_user();
}

std::optional<FileStatus> File::status() const {
    struct stat st {};
    if (fd_ < 0 || ::fstat(fd_, &st) != 0) return std::nullopt;
    return status_from(st);
}

std::optional<FileStatus> link_status(const std::filesystem::path& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) return std::nullopt;
    return status_from(st);
}

uint32_t effective_user() {
    return static_cast<uint32_t>(::geteuid());
}

bool File::set_size(uint64_t size) {
    if (fd_ < 0) return false;
    int injected = 0;
    if (FaultInjector::next_change(injected) != FaultAction::Proceed) {
        errno = injected;
        return noted(false);
    }
    int rc;
    do {
        rc = ::ftruncate(fd_, static_cast<off_t>(size));
    } while (rc != 0 && errno == EINTR);
    return noted(rc == 0);
}

bool File::set_mode(uint32_t mode) {
    return fd_ >= 0 && noted(::fchmod(fd_, static_cast<mode_t>(mode)) == 0);
}

bool File::sync() {
    if (fd_ < 0) return false;
    int injected = 0;
    if (FaultInjector::next_change(injected) != FaultAction::Proceed) {
        errno = injected;
        return noted(false);
    }
    int rc;
    do {
        rc = ::fsync(fd_);
    } while (rc != 0 && errno == EINTR);
    return noted(rc == 0);
}

bool File::try_lock_exclusive() {
    return fd_ >= 0 && noted(::flock(fd_, LOCK_EX | LOCK_NB) == 0);
}
bool File::try_lock_shared() {
    return fd_ >= 0 && noted(::flock(fd_, LOCK_SH | LOCK_NB) == 0);
}
void File::unlock() {
    if (fd_ >= 0) ::flock(fd_, LOCK_UN);
}

bool rename_file(const std::filesystem::path& from, const std::filesystem::path& to) {
    int injected = 0;
    if (FaultInjector::next_change(injected) != FaultAction::Proceed) {
        errno = injected;
        return noted(false);
    }
    return noted(::rename(from.c_str(), to.c_str()) == 0);
}

bool rename_file_no_replace(const std::filesystem::path& from, const std::filesystem::path& to) {
    int injected = 0;
    if (FaultInjector::next_change(injected) != FaultAction::Proceed) {
        errno = injected;
        return noted(false);
    }
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP) return noted(false);
    if (::link(from.c_str(), to.c_str()) != 0) return noted(false);
    ::unlink(from.c_str());
    return true;
}

bool sync_directory(const std::filesystem::path& dir) {
    int fd = ::open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;
    bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

}  // namespace ks
