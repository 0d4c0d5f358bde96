#pragma once
// A switch for tests: makes the k-th change to any file (write, set-end, fsync, rename) fail,
// come out short, or stop the "process" there — from that change on nothing more reaches the
// disk, exactly as if the program had died. Off unless a test arms it.
#include <cerrno>
#include <cstdint>

namespace ks {

enum class FaultKind {
    Error,  // the change fails with `error` and has no effect
    Short,  // a write moves half its bytes; other changes fail
    Stop,   // this and every later change fail without effect
};

struct FaultPlan {
    uint64_t at = 1;  // 1-based index of the change to fault
    FaultKind kind = FaultKind::Error;
    int error = EIO;  // EIO, ENOSPC, ...
};

// What a guarded change is to do.
enum class FaultAction { Proceed, Fail, Shorten };

class FaultInjector {
  public:
    static void arm(const FaultPlan& plan);
    static void disarm();
    // Changes seen since the last arm (also counted while disarmed, for sizing loops).
    static uint64_t changes();
    static void reset_count();
    // Called by the file layer before each change.
    static FaultAction next_change(int& error);
};

// Arms a plan for the life of the object.
class ScopedFault {
  public:
    explicit ScopedFault(const FaultPlan& plan) { FaultInjector::arm(plan); }
    ~ScopedFault() { FaultInjector::disarm(); }
    ScopedFault(const ScopedFault&) = delete;
    ScopedFault& operator=(const ScopedFault&) = delete;
};

}  // namespace ks
