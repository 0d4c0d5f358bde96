#pragma once
// The auto-close watcher: a thread that samples the clock every 1.2 seconds and, when the time
// jumped (the machine slept), applies the auto-close rule. It touches no window: it only calls
// `on_due`, which posts to the main window.
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <cstdint>
#include <functional>
#include <thread>

#include "platform/datetime.h"

namespace ks {

// What the main thread shares with the watcher.
struct ActivityState {
    std::atomic<bool> wallet_open{false};
    std::atomic<uint32_t> period_minutes{0};
    std::atomic<int64_t> last_activity{0};  // whole minutes (whole_minutes)

    void touch();  // now, from the replaceable clock
    bool due(const DateTime& now) const;
};

class IdleWatcher {
  public:
    IdleWatcher(ActivityState& state, std::function<void()> on_due)
        : state_(state), on_due_(std::move(on_due)) {}
    ~IdleWatcher() { stop(); }
    IdleWatcher(const IdleWatcher&) = delete;
    IdleWatcher& operator=(const IdleWatcher&) = delete;

    void start();  // when not running
    void stop();   // asks it to end and waits for it
    bool running() const { return thread_.joinable(); }

    // One sample: when the time jumped since the previous one and the rule holds, calls on_due.
    // The thread calls it; tests call it with their own times.
    void sample(const DateTime& now);
    void prime(const DateTime& now) { previous_ = now; }

  private:
    void run();

    ActivityState& state_;
    std::function<void()> on_due_;
    std::atomic<bool> keep_running_{false};
    std::mutex mutex_;
    std::condition_variable wake_;  // stop() need not wait out a sleep
    std::thread thread_;
    DateTime previous_{};
};

}  // namespace ks
