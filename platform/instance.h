#pragma once
// The single running program: a lock file held while it runs and a local socket, both in the
// user's runtime folder, through which other starts and the setup library reach it.
#include <filesystem>
#include <optional>
#include <string_view>

namespace ks {

inline constexpr std::string_view kInstanceLockName = "vokspro5.mtx";
inline constexpr std::string_view kMainWindowClass = "Brightloom Keystash Pro 2006";

// One request per line sent to the running program's socket.
enum class InstanceRequest {
    Activate,   // a second start: bring the running window to the front
    SyncStart,  // wallet files are about to be synchronised
    SyncEnd,    // synchronisation ended
    Close,      // the setup library replaces the program: save and end
};
std::string_view instance_request_text(InstanceRequest request);  // "ACTIVATE\n"...
std::optional<InstanceRequest> parse_instance_request(std::string_view line);  // without "\n"

// $XDG_RUNTIME_DIR when it is an existing folder, else /tmp/keystash-<uid> (created with mode
// 0700 and refused unless it is this user's own folder); empty when neither can be used.
std::filesystem::path instance_runtime_dir();

std::filesystem::path instance_lock_path(const std::filesystem::path& runtime_dir);
std::filesystem::path instance_socket_path(const std::filesystem::path& runtime_dir);

// Holds the lock file for as long as it lives. `held()` is false when another process holds
// it (or the file cannot be made): a program runs already.
class InstanceLock {
  public:
    explicit InstanceLock(const std::filesystem::path& runtime_dir);
    ~InstanceLock();
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;
    bool held() const { return fd_ >= 0; }
    bool taken_by_another() const { return taken_by_another_; }

  private:
    int fd_ = -1;
    bool taken_by_another_ = false;
};

// Whether a process holds the lock in `runtime_dir`.
bool program_running(const std::filesystem::path& runtime_dir);

// Sends one request to the program listening in `runtime_dir`; false when none listens.
bool send_instance_request(const std::filesystem::path& runtime_dir, InstanceRequest request);

}  // namespace ks
