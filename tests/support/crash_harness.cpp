#include "support/crash_harness.h"

#include <gtest/gtest.h>

#include <iostream>
#include <set>

#include "core/node_id.h"
#include "core/repair.h"
#include "core/wallet_file.h"
#include "platform/prompt.h"
#include "platform/text.h"

namespace ks::test {
namespace {

std::string describe_card(WalletDocument& document, const TreeNode& node) {
    auto card = document.load_card(node.id());
    if (!card) return "<unreadable card>";
    std::string text;
    for (const FieldRecord& f : card->fields())
        text += to_utf8(f.label()) + "=" + to_utf8(f.value()) + ";";
    for (const FileAttachment& a : card->files())
        if (a.has_data())
            text += "file:" + to_utf8(a.name()) + ":" + std::to_string(a.data_view().size()) + ";";
    return text;
}

std::string state_of(const Snapshot& s, const std::string& id) {
    auto it = s.find(id);
    return it == s.end() ? std::string("<absent>") : it->second;
}

// The items of `now` that are neither as before nor as after (only as after when the
// operation reported success), one line each.
std::string unexplained(const Snapshot& before, const Snapshot& after, const Snapshot& now,
                        bool reported_ok) {
    std::set<std::string> ids;
    for (const Snapshot* s : {&before, &after, &now})
        for (const auto& [id, value] : *s) ids.insert(id);
    std::string detail;
    for (const std::string& id : ids) {
        const std::string got = state_of(now, id);
        const bool allowed = got == state_of(after, id) ||
                             (!reported_ok && got == state_of(before, id));
        if (!allowed)
            detail += id + ": " + got + " (before " + state_of(before, id) + ", after " +
                      state_of(after, id) + ")\n";
    }
    return detail;
}

// The ids that have more than one live record in the file: an update that stopped half way
// would leave a superseded version (with its old secrets) beside the current one.
std::string ids_with_several_live_records(const std::filesystem::path& path) {
    File file = File::open(path, FileMode::ReadOnly);
    std::map<std::string, int> live;
    for_each_node_record(file, [&](const RecordLocation& loc) {
        if (!loc.header.deleted()) ++live[loc.header.id().to_string()];
    });
    std::string ids;
    for (const auto& [id, count] : live)
        if (count > 1) ids += id + " ";
    return ids;
}

}  // namespace

Snapshot snapshot(WalletDocument& document) {
    Snapshot s;
    for (const TreeNode& n : document.nodes()) {
        if (n.deleted()) continue;
        std::string value = std::to_string(static_cast<int>(n.kind())) + "|" + to_utf8(n.name()) +
                            "|" + n.parent().to_string() + "|" + std::to_string(n.icon());
        if (n.kind() == NodeKind::Card) value += "|" + describe_card(document, n);
        s[n.id().to_string()] = value;
    }
    std::string favourites;
    for (const NodeId& id : document.favourites()) favourites += id.to_string();
    s["favourites"] = favourites;
    if (std::string several = ids_with_several_live_records(document.path()); !several.empty())
        s["several live records"] = several;
    return s;
}

std::optional<Snapshot> reopen(const std::filesystem::path& path,
                               const std::vector<std::u16string>& passwords) {
    WalletDocument document;
    for (int attempt = 0; attempt < 2; ++attempt) {
        for (const std::u16string& password : passwords) {
            const OpenResult r = document.load(path, password);
            if (r == OpenResult::Opened) return snapshot(document);
            if (r == OpenResult::Damaged || r == OpenResult::NodesUnreadable) {
                AcceptingPrompt yes;
                document.repair(path, password, yes);
                break;
            }
        }
    }
    return std::nullopt;
}

const std::vector<FaultPlan>& fault_kinds() {
    static const std::vector<FaultPlan> kinds = {
        {0, FaultKind::Stop, EIO}, {0, FaultKind::Error, ENOSPC}, {0, FaultKind::Short, EIO}};
    return kinds;
}

ArmedFault::ArmedFault(std::optional<FaultPlan> plan) {
    FaultInjector::reset_count();
    if (plan) FaultInjector::arm(*plan);
}

ArmedFault::~ArmedFault() { FaultInjector::disarm(); }

CrashTally run_fault_loop(const FaultedOperation& op, const Snapshot& before) {
    CrashTally tally;
    if (!op.run(std::nullopt)) {
        ADD_FAILURE() << op.name << ": failed without a fault";
        return tally;
    }
    const uint64_t changes = FaultInjector::changes();
    const std::optional<Snapshot> after = op.inspect();
    if (!after) {
        ADD_FAILURE() << op.name << ": its result cannot be read";
        return tally;
    }
    EXPECT_GT(changes, 0u) << op.name << " changed no file";
    for (FaultPlan plan : fault_kinds()) {
        for (uint64_t k = 1; k <= changes; ++k) {
            plan.at = k;
            const bool reported_ok = op.run(plan);
            const std::optional<Snapshot> now = op.inspect();
            ++tally.points;
            const std::string detail =
                now ? unexplained(before, *after, *now, reported_ok) : "it cannot be opened\n";
            if (!detail.empty()) {
                ++tally.losses;
                ADD_FAILURE() << op.name << ": fault " << static_cast<int>(plan.kind)
                              << " at change " << k << " of " << changes
                              << (reported_ok ? " (reported success)" : "") << "\n"
                              << detail;
            }
        }
    }
    return tally;
}

RepeatableIds::RepeatableIds(uint64_t seed) : random_(seed), scope_(random_) {
    SeededRandom other(~seed);
    ScopedRandom once(other);
    new_node_id();
}

bool interrupt_once_decided(const std::filesystem::path& real_path,
                            const std::function<void()>& reset, const std::function<void()>& op) {
    for (uint64_t k = 1; k <= 200; ++k) {
        reset();
        {
            ArmedFault fault(FaultPlan{k, FaultKind::Stop, EIO});
            op();
        }
        const File file = File::open(real_path, FileMode::ReadOnly);
        if (inspect_interrupted_cut(file) == JournalStatus::Pending) return true;
    }
    return false;
}

void report_tally(const CrashTally& tally) {
    std::cout << "[ crash points tried: " << tally.points
              << ", points where something was lost: " << tally.losses << " ]\n";
    ::testing::Test::RecordProperty("points", static_cast<int>(tally.points));
    ::testing::Test::RecordProperty("losses", static_cast<int>(tally.losses));
}

}  // namespace ks::test
