#include "platform/fault_injection.h"

namespace ks {
namespace {

struct State {
    bool armed = false;
    FaultPlan plan;
    uint64_t count = 0;
    bool stopped = false;
};
State g_state;

}  // namespace

void FaultInjector::arm(const FaultPlan& plan) {
    g_state = State{true, plan, 0, false};
}

void FaultInjector::disarm() {
    g_state.armed = false;
    g_state.stopped = false;
}

uint64_t FaultInjector::changes() {
    return g_state.count;
}
void FaultInjector::reset_count() {
    g_state.count = 0;
}

FaultAction FaultInjector::next_change(int& error) {
    ++g_state.count;
    if (!g_state.armed) return FaultAction::Proceed;
    error = g_state.plan.error;
    if (g_state.stopped) return FaultAction::Fail;
    if (g_state.count != g_state.plan.at) return FaultAction::Proceed;
    switch (g_state.plan.kind) {
        case FaultKind::Error:
            return FaultAction::Fail;
        case FaultKind::Short:
            return FaultAction::Shorten;
        case FaultKind::Stop:
            g_state.stopped = true;
            return FaultAction::Fail;
    }
    return FaultAction::Proceed;
}

}  // namespace ks
