#pragma once
// Interrupts an operation at each of its changes to files in turn — the process "dies" there, or
// the change fails or comes out short — and checks what can be read afterwards: every item must
// be as it was before the operation or as the operation meant to leave it, and a reported
// success must be complete.
#include <cstddef>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "core/wallet_document.h"
#include "platform/clock.h"
#include "platform/fault_injection.h"

namespace ks::test {

// What a wallet's items look like from outside, by id: kind, name, parent, icon and, for cards,
// every field and attachment; "favourites" is one more pseudo-item.
using Snapshot = std::map<std::string, std::string>;

Snapshot snapshot(WalletDocument& document);

// Opens `path` as the program would, with each of `passwords`, repairing when it offers to.
// Nothing when it cannot be opened even so.
std::optional<Snapshot> reopen(const std::filesystem::path& path,
                               const std::vector<std::u16string>& passwords);

// An operation under test. `run` makes a fresh copy of the starting files, arms `plan` (when
// given) around the operation only, and returns whether the operation reported success.
// `inspect` reads what the last run left.
struct FaultedOperation {
    std::string name;
    std::function<bool(std::optional<FaultPlan> plan)> run;
    std::function<std::optional<Snapshot>()> inspect;
};

struct CrashTally {
    size_t points = 0;
    size_t losses = 0;
};

// The three kinds of interruption tried at every change.
const std::vector<FaultPlan>& fault_kinds();

// Runs `op` once undisturbed, then with every fault kind at every change it made, comparing
// each outcome with `before` and the undisturbed result. Every loss is reported as a test
// failure and counted.
CrashTally run_fault_loop(const FaultedOperation& op, const Snapshot& before);

// Arms `plan` for the life of the object, counting changes from zero; does nothing without one.
class ArmedFault {
  public:
    explicit ArmedFault(std::optional<FaultPlan> plan);
    ~ArmedFault();
    ArmedFault(const ArmedFault&) = delete;
    ArmedFault& operator=(const ArmedFault&) = delete;
};

// Makes every run of an operation create the same new ids, so that runs compare item by item.
// New ids are never the same twice in a row, so one id from another seed is made first: the
// previous run's last id cannot then turn away this run's first.
class RepeatableIds {
  public:
    explicit RepeatableIds(uint64_t seed);

  private:
    SeededRandom random_;
    ScopedRandom scope_;
};

// Runs `op` on fresh starting files (`reset` makes them) with the process stopping at its first,
// second, ... change, until it stops where its change is decided (the journal beside the file at
// `real_path` is whole) but not yet finished. False when no run stops there.
bool interrupt_once_decided(const std::filesystem::path& real_path,
                            const std::function<void()>& reset, const std::function<void()>& op);

// Prints and records the figure for the test's report.
void report_tally(const CrashTally& tally);

}  // namespace ks::test
