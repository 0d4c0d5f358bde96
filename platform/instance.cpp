#include "platform/instance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

namespace ks {

namespace fs = std::filesystem;

namespace {
constexpr std::pair<InstanceRequest, std::string_view> kRequestTexts[] = {
    {InstanceRequest::Activate, "ACTIVATE\n"},
    {InstanceRequest::SyncStart, "SYNC_START\n"},
    {InstanceRequest::SyncEnd, "SYNC_END\n"},
    {InstanceRequest::Close, "CLOSE\n"},
};

bool own_private_folder(const fs::path& folder) {
    struct stat st{};
    return ::lstat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::getuid() &&
           (st.st_mode & 077) == 0;
}
}  // namespace

std::string_view instance_request_text(InstanceRequest request) {
    for (const auto& [r, text] : kRequestTexts) {
        if (r == request) return text;
    }
    return {};
}

std::optional<InstanceRequest> parse_instance_request(std::string_view line) {
    for (const auto& [r, text] : kRequestTexts) {
        if (text.substr(0, text.size() - 1) == line) return r;
    }
    return std::nullopt;
}

fs::path instance_runtime_dir() {
    if (const char* dir = std::getenv("XDG_RUNTIME_DIR"); dir && *dir) {
        std::error_code ec;
        if (fs::is_directory(dir, ec)) return dir;
    }
    const fs::path fallback = fs::temp_directory_path() / ("keystash-" + std::to_string(::getuid()));
    ::mkdir(fallback.c_str(), 0700);
    return own_private_folder(fallback) ? fallback : fs::path{};
}

fs::path instance_lock_path(const fs::path& runtime_dir) {
    return runtime_dir / std::string(kInstanceLockName);
}

fs::path instance_socket_path(const fs::path& runtime_dir) {
    return runtime_dir / std::string(kMainWindowClass);
}

InstanceLock::InstanceLock(const fs::path& runtime_dir) {
    if (runtime_dir.empty()) return;
    const int fd = ::open(instance_lock_path(runtime_dir).c_str(),
                          O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) return;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        taken_by_another_ = errno == EWOULDBLOCK;
        ::close(fd);
        return;
    }
    fd_ = fd;
}

InstanceLock::~InstanceLock() {
    if (fd_ >= 0) ::close(fd_);  // closing releases the lock; the file stays for the next start
}

bool program_running(const fs::path& runtime_dir) {
    if (runtime_dir.empty()) return false;
    const int fd = ::open(instance_lock_path(runtime_dir).c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) return false;
    bool held = false;
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
        ::flock(fd, LOCK_UN);
    } else {
        held = errno == EWOULDBLOCK;
    }
    ::close(fd);
    return held;
}

bool send_instance_request(const fs::path& runtime_dir, InstanceRequest request) {
    if (runtime_dir.empty()) return false;
    const std::string socket_path = instance_socket_path(runtime_dir).string();
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (socket_path.size() >= sizeof(address.sun_path)) return false;
    std::memcpy(address.sun_path, socket_path.data(), socket_path.size());
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    const std::string_view text = instance_request_text(request);
    bool sent = false;
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0) {
        sent = ::send(fd, text.data(), text.size(), MSG_NOSIGNAL) ==
               static_cast<ssize_t>(text.size());
    }
    ::close(fd);
    return sent;
}

}  // namespace ks
