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
    keep_running_ = false;
    if (thread_.joinable()) thread_.join();
}

void IdleWatcher::sample(const DateTime& now) {
    const bool slept = time_jumped(previous_, now);
    previous_ = now;
    if (slept && state_.due(now)) on_due_();
}

void IdleWatcher::run() {
    using namespace std::chrono_literals;
    while (keep_running_) {
        for (int half = 0; half < 2 && keep_running_; ++half) std::this_thread::sleep_for(600ms);
        if (!keep_running_) break;
        sample(SystemClock().now());
    }
}

}  // namespace ks
