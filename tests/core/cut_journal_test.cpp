// The cut journal: every change is whole or absent after an interruption at any step, the
// journal never needs much more room than one segment, and only a journal this user wrote for
// this very file is ever applied.
#include "core/cut_journal.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "core/cipher.h"
#include "platform/bytes.h"
#include "platform/fault_injection.h"
#include "support/crash_harness.h"
#include "support/test_support.h"

namespace ks {
namespace {

namespace fs = std::filesystem;

constexpr uint32_t kOtherUser = 65534;

Bytes pattern(size_t n, uint8_t seed) {
    Bytes b(n);
    for (size_t i = 0; i < n; ++i) b[i] = static_cast<uint8_t>(i * 131 + i / 251 + seed);
    return b;
}

struct ChangeCase {
    std::string what;
    uint64_t cut_offset = 0;
    uint64_t cut_length = 0;
    Bytes patch;
    uint64_t patch_offset = 0;
    Bytes append;
    uint64_t segment = kJournalSegment;

    JournaledChange change() const {
        return {cut_offset, cut_length, patch, patch_offset, append, segment};
    }
    Bytes after(Bytes data) const {
        std::copy(patch.begin(), patch.end(), data.begin() + static_cast<ptrdiff_t>(patch_offset));
        if (cut_length != 0)
            data.erase(data.begin() + static_cast<ptrdiff_t>(cut_offset),
                       data.begin() + static_cast<ptrdiff_t>(cut_offset + cut_length));
        data.insert(data.end(), append.begin(), append.end());
        return data;
    }
    // The most the journal may ever hold.
    uint64_t journal_bound() const { return 512 + patch.size() + append.size() + segment; }
};

class CutJournalTest : public ::testing::Test {
  protected:
    // Writes `data` as the file and removes any journal.
    void reset(const Bytes& bytes) {
        fs::remove_all(journal);
        test::write_file_bytes(path, bytes);
    }

    bool apply(const ChangeCase& c) {
        File f = File::open(path, FileMode::ReadWrite);
        return apply_journaled(f, c.change());
    }

    JournalStatus recover() {
        File f = File::open(path, FileMode::ReadWrite);
        return recover_interrupted_cut(f);
    }

    JournalStatus inspect() {
        const File f = File::open(path, FileMode::ReadOnly);
        return inspect_interrupted_cut(f);
    }

    test::TempDir dir;
    const fs::path path = dir / "data";
    const fs::path journal = dir / "data.cut";
    const Bytes data = pattern(5000, 3);
};

const std::vector<ChangeCase>& change_cases() {
    static const std::vector<ChangeCase> cases = {
        {"cut in segments, with patch and append", 1500, 300, pattern(20, 7), 100, pattern(400, 9),
         1024},
        {"segments shorter than the cut", 1000, 2000, {}, 0, {}, 1000},
        {"cut up to the end", 4500, 500, pattern(8, 1), 4000, {}, 1024},
        {"rewrite in place", 0, 0, pattern(300, 5), 50, {}, 1024},
        {"cut and append in one segment", 100, 748, {}, 0, pattern(900, 2)},
    };
    return cases;
}

// Every change interrupted at each of its steps in every way, then the next writer: the file is
// as before or as after (only after when success was reported), the journal is gone, and it
// never held more than a segment's worth. A change reported as failed without a journal left
// has not touched the file.
TEST_F(CutJournalTest, EveryInterruptionLeavesTheChangeWholeOrAbsent) {
    test::CrashTally tally;
    for (const ChangeCase& c : change_cases()) {
        SCOPED_TRACE(c.what);
        const Bytes after = c.after(data);
        reset(data);
        FaultInjector::reset_count();
        ASSERT_TRUE(apply(c));
        const uint64_t changes = FaultInjector::changes();
        ASSERT_EQ(test::read_file_bytes(path), after);
        ASSERT_FALSE(fs::exists(journal));
        for (FaultPlan plan : test::fault_kinds()) {
            for (plan.at = 1; plan.at <= changes; ++plan.at) {
                SCOPED_TRACE(testing::Message() << "fault " << static_cast<int>(plan.kind)
                                                << " at change " << plan.at << " of " << changes);
                reset(data);
                bool reported = false;
                {
                    test::ArmedFault fault(plan);
                    reported = apply(c);
                }
                ++tally.points;
                if (fs::exists(journal)) {
                    EXPECT_FALSE(reported);
                    EXPECT_LE(fs::file_size(journal), c.journal_bound());
                } else if (!reported) {
                    EXPECT_EQ(test::read_file_bytes(path), data);
                }
                EXPECT_NE(recover(), JournalStatus::Failed);
                const Bytes now = test::read_file_bytes(path);
                const bool explained = now == after || (!reported && now == data);
                EXPECT_TRUE(explained);
                EXPECT_FALSE(fs::exists(journal));
                tally.losses += explained ? 0 : 1;
            }
        }
    }
    test::report_tally(tally);
}

// The next writer is itself interrupted, at every step, before a third one finishes.
TEST_F(CutJournalTest, AnInterruptedRecoveryIsFinishedByTheNextOne) {
    const ChangeCase c{"three segments", 1000, 200, pattern(20, 7), 100, pattern(50, 9), 1300};
    const Bytes after = c.after(data);
    size_t points = 0;
    for (uint64_t first = 1;; ++first) {
        reset(data);
        {
            test::ArmedFault fault(FaultPlan{first, FaultKind::Stop, EIO});
            if (apply(c)) break;  // the change ran to its end
        }
        if (inspect() != JournalStatus::Pending) continue;
        const Bytes interrupted = test::read_file_bytes(path);
        const Bytes pending = test::read_file_bytes(journal);
        for (uint64_t second = 1;; ++second) {
            test::write_file_bytes(path, interrupted);
            test::write_file_bytes(journal, pending);
            JournalStatus status;
            {
                test::ArmedFault fault(FaultPlan{second, FaultKind::Stop, EIO});
                status = recover();
            }
            ++points;
            EXPECT_EQ(recover(), status == JournalStatus::Finished ? JournalStatus::None
                                                                   : JournalStatus::Finished)
                << first << "/" << second;
            EXPECT_EQ(test::read_file_bytes(path), after) << first << "/" << second;
            if (status == JournalStatus::Finished) break;
        }
    }
    EXPECT_GT(points, 20u);
}

// A journal is applied only when it is a regular file of this user, with one name, made for this
// very file (its device and inode, its leading bytes) and whole; otherwise both files are left
// as they are.
TEST_F(CutJournalTest, OnlyItsOwnJournalIsApplied) {
    const ChangeCase& c = change_cases()[0];
    ASSERT_TRUE(test::interrupt_once_decided(
        path, [&] { reset(data); }, [&] { apply(c); }));
    const Bytes interrupted = test::read_file_bytes(path);
    const Bytes pending = test::read_file_bytes(journal);
    const bool root = geteuid() == 0;
    const fs::path elsewhere = dir / "elsewhere";

    struct Case {
        std::string what;
        std::function<void()> tamper;
        JournalStatus expected;
        bool needs_root = false;
    };
    auto set_journal_byte = [&](size_t at, uint8_t value) {
        Bytes j = pending;
        j[at] = value;
        test::write_file_bytes(journal, j);
    };
    const std::vector<Case> cases = {
        {"its own", [] {}, JournalStatus::Finished},
        {"a link to it",
         [&] {
             fs::rename(journal, elsewhere);
             fs::create_symlink(elsewhere, journal);
         },
         JournalStatus::NotTrusted},
        {"a second name of it", [&] { fs::create_hard_link(journal, elsewhere); },
         JournalStatus::NotTrusted},
        {"a FIFO",
         [&] {
             fs::remove(journal);
             ASSERT_EQ(mkfifo(journal.c_str(), 0600), 0);
         },
         JournalStatus::NotTrusted},
        {"a folder",
         [&] {
             fs::remove(journal);
             fs::create_directory(journal);
         },
         JournalStatus::NotTrusted},
        {"another user's", [&] { ASSERT_EQ(chown(journal.c_str(), kOtherUser, kOtherUser), 0); },
         JournalStatus::NotTrusted, true},
        {"made for another file with the same bytes",
         [&] {
             test::write_file_bytes(elsewhere, interrupted);
             fs::rename(elsewhere, path);
         },
         JournalStatus::NotTrusted},
        {"the file's leading bytes differ",
         [&] {
             Bytes d = interrupted;
             d[10] ^= 1;
             test::write_file_bytes(path, d);
         },
         JournalStatus::NotTrusted},
        {"its patch altered", [&] { set_journal_byte(512, pending[512] ^ 1); },
         JournalStatus::NotTrusted},
        {"a layout not known", [&] { set_journal_byte(5, '9'); }, JournalStatus::NotTrusted},
    };
    for (const Case& t : cases) {
        SCOPED_TRACE(t.what);
        if (t.needs_root && !root) continue;  // only root can give a file to another user
        fs::remove_all(elsewhere);
        reset(interrupted);
        test::write_file_bytes(journal, pending);
        t.tamper();
        const Bytes wallet_before = test::read_file_bytes(path);
        const bool regular = fs::is_regular_file(fs::symlink_status(journal));
        const Bytes journal_before = regular ? test::read_file_bytes(journal) : Bytes{};
        const bool applied = t.expected == JournalStatus::Finished;
        EXPECT_EQ(inspect(), applied ? JournalStatus::Pending : JournalStatus::NotTrusted);
        EXPECT_EQ(recover(), t.expected);
        if (applied) {
            EXPECT_EQ(test::read_file_bytes(path), c.after(data));
            EXPECT_FALSE(fs::exists(journal));
        } else {
            EXPECT_EQ(test::read_file_bytes(path), wallet_before);
            EXPECT_TRUE(fs::exists(fs::symlink_status(journal)));
            if (regular) {
                EXPECT_EQ(test::read_file_bytes(journal), journal_before);
            }
            // A change made now is refused rather than made over the stranger.
            EXPECT_FALSE(apply(change_cases()[3]));
            EXPECT_EQ(test::read_file_bytes(path), wallet_before);
        }
    }
}

// The attack from outside: a journal of the earlier layout whose sizes fit the file, planted by
// another user. It is never applied.
TEST_F(CutJournalTest, APlantedJournalOfAnotherUserIsLeftAlone) {
    if (geteuid() != 0) {
        GTEST_SKIP() << "only root can give a file to another user";
    }
    Bytes planted(72, 0);
    const char magic[] = "KSCUT2";
    std::copy(magic, magic + 6, planted.begin());
    put_u32(planted, 8, 2000);  // cut from here to the end
    put_u32(planted, 16, static_cast<uint32_t>(data.size() - 2000));
    put_u32(planted, 24, static_cast<uint32_t>(data.size()));
    reset(data);
    test::write_file_bytes(journal, planted);
    ASSERT_EQ(chown(journal.c_str(), kOtherUser, kOtherUser), 0);
    EXPECT_EQ(recover(), JournalStatus::NotTrusted);
    EXPECT_EQ(test::read_file_bytes(path), data);
    EXPECT_EQ(test::read_file_bytes(journal), planted);
}

}  // namespace
}  // namespace ks
