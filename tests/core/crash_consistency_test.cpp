// Every change of every document operation is interrupted in turn — the process "dies" there,
// or the change fails or comes out short — and the wallet is then opened again (and repaired
// where the program offers it). Every item must be as it was before the operation or as the
// operation meant to leave it; nothing may be lost, and a reported success must be complete.
#include <gtest/gtest.h>

#include <functional>

#include "core/format.h"
#include "core/wallet_document.h"
#include "platform/prompt.h"
#include "support/crash_harness.h"
#include "support/test_support.h"
#include "support/wallet_builder.h"

namespace ks {
namespace {

struct Operation {
    std::string name;
    std::function<bool(WalletDocument&)> run;
};

class CrashConsistencyTest : public ::testing::Test {
  protected:
    void SetUp() override {
        original = dir / "original.ks5";
        ASSERT_EQ(doc.create(original, u"secret", std::nullopt, true), CreateResult::Created);
        ASSERT_EQ(doc.load(original, u"secret"), OpenResult::Opened);
        a = add_folder(u"A", kNoIndex);
        b = add_folder(u"B", kNoIndex);
        c1 = add_card(u"C1", a, {{u"User", u"me"}, {u"PIN", u"1234"}}, true);
        c2 = add_card(u"C2", b, {{u"Note", std::u16string(300, u'n')}}, false);
        c3 = add_card(u"C3", kNoIndex, {{u"Site", u"example.com"}}, false);
        ASSERT_TRUE(doc.add_favourite(doc.node(c1)->id()));
        ASSERT_EQ(doc.save_blocks(), SaveResult::Saved);
        doc.close();
    }

    int add_folder(std::u16string_view name, int parent) {
        TreeNode f = doc.new_folder(parent == kNoIndex ? NodeId{} : doc.node(parent)->id());
        f.set_name(name);
        return doc.store_folder(f);
    }

    int add_card(std::u16string_view name, int parent,
                 std::vector<std::pair<std::u16string, std::u16string>> fields, bool attachment) {
        Card card = doc.new_card(parent == kNoIndex ? NodeId{} : doc.node(parent)->id());
        card.node()->set_name(name);
        for (auto& [l, v] : fields) {
            FieldRecord f;
            f.set_label(l);
            f.set_value(v);
            card.insert_field(f);
        }
        if (attachment) {
            FileAttachment file;
            file.set_from_bytes(Bytes(5000, 0x5A), u"scan.bin", std::nullopt);
            card.add_file(file);
        }
        return doc.store_card(card);
    }

    std::filesystem::path fresh_copy(const std::filesystem::path& from) {
        const auto path = dir / "faulted.ks5";
        std::filesystem::remove(path);
        std::filesystem::copy_file(from, path);
        return path;
    }

    // A document operation on a fresh copy of `from`, with the fault armed around it only.
    test::FaultedOperation on_document(const Operation& op, const std::filesystem::path& from) {
        return {op.name,
                [this, op, from](std::optional<FaultPlan> plan) {
                    WalletDocument d;
                    EXPECT_EQ(d.load(fresh_copy(from), u"secret"), OpenResult::Opened);
                    test::RepeatableIds same_ids(99);
                    bool ok = false;
                    {
                        test::ArmedFault fault(plan);
                        ok = op.run(d);
                    }
                    d.close();
                    return ok;
                },
                [this] { return test::reopen(dir / "faulted.ks5", {u"secret", u"newpass"}); }};
    }

    // The repair the program offers, run on a fresh copy of the damaged wallet `damaged` (the
    // document cannot load it), with the fault armed around it only.
    test::FaultedOperation repair_of(const std::filesystem::path& damaged) {
        return {"repair",
                [this, damaged](std::optional<FaultPlan> plan) {
                    WalletDocument d;
                    const auto path = fresh_copy(damaged);
                    test::ArmedFault fault(plan);
                    AcceptingPrompt yes;
                    return d.repair(path, u"secret", yes).status == RepairStatus::Done;
                },
                [this] { return test::reopen(dir / "faulted.ks5", {u"secret"}); }};
    }

    test::DeterministicEnvironment env;
    test::ScopedCoreTexts texts;
    test::TempDir dir;
    std::filesystem::path original;
    WalletDocument doc;
    int a = 0, b = 0, c1 = 0, c2 = 0, c3 = 0;
};

int index_named(WalletDocument& d, std::u16string_view name) {
    for (size_t i = 0; i < d.nodes().size(); ++i)
        if (!d.nodes()[i].deleted() && d.nodes()[i].name() == name) return static_cast<int>(i);
    return kNoIndex;
}

TEST_F(CrashConsistencyTest, NoInterruptionLosesAnything) {
    const std::vector<Operation> operations = {
        {"store folder",
         [](WalletDocument& d) {
             TreeNode f = d.new_folder({});
             f.set_name(u"New folder");
             return d.store_folder(f) >= 0;
         }},
        {"store card",
         [](WalletDocument& d) {
             Card c = d.new_card(d.node(index_named(d, u"A"))->id());
             c.node()->set_name(u"New card");
             FieldRecord f;
             f.set_label(u"Secret");
             f.set_value(u"value");
             c.insert_field(f);
             return d.store_card(c) >= 0;
         }},
        {"update card",
         [](WalletDocument& d) {
             auto c = d.load_card(index_named(d, u"C1"));
             if (!c) return false;
             c->field(0).set_value(u"changed");
             return d.update_card(*c) >= 0;
         }},
        {"update folder",
         [](WalletDocument& d) {
             TreeNode f = *d.node(index_named(d, u"B"));
             f.set_icon(42);
             return d.update_folder(f) >= 0;
         }},
        {"delete card", [](WalletDocument& d) { return d.remove(index_named(d, u"C1")); }},
        {"delete folder", [](WalletDocument& d) { return d.remove(index_named(d, u"A")); }},
        {"move",
         [](WalletDocument& d) { return d.move(index_named(d, u"C3"), index_named(d, u"B")); }},
        {"rename",
         [](WalletDocument& d) { return d.rename(index_named(d, u"C2"), u"C2 renamed"); }},
        {"favourites",
         [](WalletDocument& d) {
             d.add_favourite(d.node(index_named(d, u"C3"))->id());
             return d.save_blocks() == SaveResult::Saved;
         }},
        {"change password",
         [](WalletDocument& d) {
             // Also a rename, so that the operation's effect shows in the items.
             return d.change_password(u"secret", u"newpass", u"hint") &&
                    d.rename(index_named(d, u"C3"), u"C3 after");
         }},
    };
    const auto before = test::reopen(original, {u"secret"});
    ASSERT_TRUE(before);
    test::CrashTally total;
    for (const Operation& op : operations) {
        const test::CrashTally t = test::run_fault_loop(on_document(op, original), *before);
        total.points += t.points;
        total.losses += t.losses;
    }
    test::report_tally(total);
}

// Changing the password of a wallet opened through a symbolic link in another folder: the link
// stays a link to the wallet, and a journaled change made after the password change leaves its
// journal where the next opening looks for it.
TEST_F(CrashConsistencyTest, ChangePasswordThroughALinkKeepsTheLink) {
    const auto real = dir / "real";
    const auto links = dir / "links";
    const auto link = links / "faulted.ks5";
    std::filesystem::create_directories(links);
    std::filesystem::create_symlink("../real/faulted.ks5", link);
    bool changed = false;
    test::FaultedOperation op{
        "change password through a link",
        [&](std::optional<FaultPlan> plan) {
            std::filesystem::remove_all(real);
            std::filesystem::create_directories(real);
            std::filesystem::copy_file(original, real / "faulted.ks5");
            WalletDocument d;
            EXPECT_EQ(d.load(link, u"secret"), OpenResult::Opened);
            test::RepeatableIds same_ids(99);
            test::ArmedFault fault(plan);
            changed = d.change_password(u"secret", u"newpass", u"hint");
            return changed && d.rename(index_named(d, u"C3"), u"C3 after");
        },
        [&]() -> std::optional<test::Snapshot> {
            EXPECT_TRUE(std::filesystem::is_symlink(link));
            // After a completed change, a journal beside the wallet's name only.
            for (const auto& entry : std::filesystem::directory_iterator(real)) {
                const std::string name = entry.path().filename().string();
                EXPECT_TRUE(!changed || name == "faulted.ks5" || name == "faulted.ks5.cut") << name;
            }
            return test::reopen(link, {u"secret", u"newpass"});
        }};
    const auto before = test::reopen(original, {u"secret"});
    ASSERT_TRUE(before);
    test::report_tally(test::run_fault_loop(op, *before));
}

// Creating a wallet: a failure leaves either no file or none that is in the way, and a
// reported success leaves a wallet that opens.
TEST_F(CrashConsistencyTest, CreateLeavesAWalletOrNothing) {
    const auto path = dir / "created.ks5";
    test::FaultedOperation create{
        "create",
        [&](std::optional<FaultPlan> plan) {
            std::filesystem::remove(path);
            test::RepeatableIds same_ids(7);
            WalletDocument d;
            test::ArmedFault fault(plan);
            return d.create(path, u"secret", u"hint", true) == CreateResult::Created;
        },
        [&]() -> std::optional<test::Snapshot> {
            if (!std::filesystem::exists(path)) return test::Snapshot{};
            return test::reopen(path, {u"secret"});
        }};
    test::report_tally(test::run_fault_loop(create, test::Snapshot{}));
}

// Repairing a damaged wallet: an interrupted repair, followed by the repair the program offers
// at the next opening, keeps every record the undisturbed repair keeps.
TEST_F(CrashConsistencyTest, InterruptedRepairKeepsEveryWholeRecord) {
    auto bytes = test::read_file_bytes(original);
    const Bytes garbage(300, 0xA7);
    bytes.insert(bytes.begin() + static_cast<ptrdiff_t>(format::kFirstNodeOffset), garbage.begin(),
                 garbage.end());
    bytes.insert(bytes.end(), garbage.begin(), garbage.begin() + 100);
    const auto damaged = dir / "damaged.ks5";
    test::write_file_bytes(damaged, bytes);

    const test::FaultedOperation op = repair_of(damaged);
    const auto whole = test::reopen(original, {u"secret"});
    ASSERT_TRUE(whole);
    test::report_tally(test::run_fault_loop(op, *whole));
}

// Repairing records around icon images: one that its header records although its icon number
// does not use it is cut out, and one left behind a header that no longer records it is cut
// from before the card's payload. An interruption loses nothing either.
TEST_F(CrashConsistencyTest, InterruptedRepairOfLeftImagesKeepsEveryField) {
    WalletDocument d;
    ASSERT_EQ(d.load(original, u"secret"), OpenResult::Opened);
    const NodeId c1 = d.node(index_named(d, u"C1"))->id();
    const NodeId c2 = d.node(index_named(d, u"C2"))->id();
    auto card = d.load_card(c1);
    ASSERT_TRUE(card);
    ASSERT_TRUE(card->node()->set_icon_image(Bytes(37, 0x5C)));
    ASSERT_GE(d.update_card(*card), 0);
    card = d.load_card(c2);
    ASSERT_TRUE(card && card->node()->set_icon_image(Bytes(61, 0x3A)));
    ASSERT_GE(d.update_card(*card), 0);
    d.close();
    const auto pictured = dir / "pictured.ks5";
    std::filesystem::copy_file(original, pictured);
    test::set_stored_icon_number(pictured, c1, 5);
    test::set_stored_icon_number(pictured, c2, 6);
    const auto whole = test::reopen(pictured, {u"secret"});
    ASSERT_TRUE(whole);
    test::forget_stored_image(pictured, c2);

    const test::FaultedOperation op = repair_of(pictured);
    ASSERT_TRUE(op.run(std::nullopt));
    EXPECT_EQ(op.inspect(), whole) << "the undisturbed repair keeps every item as it was";
    test::report_tally(test::run_fault_loop(op, *whole));
}

}  // namespace
}  // namespace ks
