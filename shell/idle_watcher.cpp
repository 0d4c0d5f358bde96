#include "shell/idle_watcher.h"

#include <chrono>

#include "platform/clock.h"
#include "shell/session_rules.h"

namespace ks {

void ActivityState::touch() { last_activity = whole_minutes(clock().now()); }

bool ActivityState::due(const DateTime& now) const {
    return auto_close_due_minutes(wallet_open, period_minutes, last_activity, whole_minutes(now));
}

void IdleWatcher::start() {
    if (running()) return;
    previous_ = clock().now();
    keep_running_ = true;
    thread_ = std::thread([this] { run(); });
}

void IdleWatcher::stop() {
    {
        std::lock_guard lock(mutex_);
        keep_running_ = false;
    }
    wake_.notify_all();
    if (thread_.joinable()) thread_.join();
}

void IdleWatcher::sample(const DateTime& now) {
    const bool slept = time_jumped(previous_, now);
    previous_ = now;
    if (slept && state_.due(now)) on_due_();
}

void IdleWatcher::run() {
    using namespace std::chrono_literals;
    std::unique_lock lock(mutex_);
    while (keep_running_) {
        // Two sleeps of 600 ms, each ended early by stop().
        if (wake_.wait_for(lock, 1200ms, [this] { return !keep_running_.load(); })) break;
        lock.unlock();
        sample(SystemClock().now());
        lock.lock();
    }
}

}  // namespace ks
