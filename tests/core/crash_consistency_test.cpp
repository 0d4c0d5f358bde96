// Every change of every document operation is interrupted in turn — the process "dies" there,
// or the change fails or comes out short — and the wallet is then opened again (and repaired
// where the program offers it). Every item must be as it was before the operation or as the
// operation meant to leave it; nothing may be lost, and a reported success must be complete.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <set>

#include "core/wallet_document.h"
#include "platform/fault_injection.h"
#include "platform/text.h"
#include "support/test_support.h"

namespace ks {
namespace {

// What an item looks like from outside: kind, name, parent, icon and, for cards, every field
// and attachment. "favourites" is one more pseudo-item.
using Snapshot = std::map<std::string, std::string>;

std::string describe_card(WalletDocument& doc, const TreeNode& node) {
    std::string text;
    auto card = doc.load_card(node.id());
    if (!card) return "<unreadable card>";
    for (const FieldRecord& f : card->fields())
        text += to_utf8(f.label()) + "=" + to_utf8(f.value()) + ";";
    for (const FileAttachment& a : card->files())
        if (a.has_data())
            text += "file:" + to_utf8(a.name()) + ":" + std::to_string(a.data_view().size()) + ";";
    return text;
}

Snapshot snapshot(WalletDocument& doc) {
    Snapshot s;
    for (const TreeNode& n : doc.nodes()) {
        if (n.deleted()) continue;
        std::string value = std::to_string(static_cast<int>(n.kind())) + "|" + to_utf8(n.name()) +
                            "|" + n.parent().to_string() + "|" + std::to_string(n.icon());
        if (n.kind() == NodeKind::Card) value += "|" + describe_card(doc, n);
        s[n.id().to_string()] = value;
    }
    std::string favourites;
    for (const NodeId& id : doc.favourites()) favourites += id.to_string();
    s["favourites"] = favourites;
    return s;
}

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

    // Opens `path` as the program would: with either password, repairing when offered.
    std::optional<Snapshot> reopen(const std::filesystem::path& path) {
        WalletDocument d;
        for (int attempt = 0; attempt < 2; ++attempt) {
            for (auto password : {u"secret", u"newpass"}) {
                OpenResult r = d.load(path, std::u16string_view(password));
                if (r == OpenResult::Opened) return snapshot(d);
                if (r == OpenResult::Damaged || r == OpenResult::NodesUnreadable) {
                    AcceptingPrompt yes;
                    d.repair(path, std::u16string_view(password), yes);
                    break;
                }
            }
        }
        return std::nullopt;
    }

    std::filesystem::path fresh_copy(const std::string& name) {
        const auto path = dir / name;
        std::filesystem::remove(path);
        std::filesystem::copy_file(original, path);
        return path;
    }

    // Runs `op` on a fresh copy, with `plan` armed (or none); returns its result.
    bool run_on_copy(const Operation& op, const std::filesystem::path& path,
                     std::optional<FaultPlan> plan) {
        WalletDocument d;
        EXPECT_EQ(d.load(path, u"secret"), OpenResult::Opened);
        // Every run makes the same new ids, so that runs can be compared item by item.
        SeededRandom random(99);
        ScopedRandom same_ids(random);
        FaultInjector::reset_count();
        if (plan) FaultInjector::arm(*plan);
        const bool ok = op.run(d);
        FaultInjector::disarm();
        d.close();
        return ok;
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
    const std::vector<FaultPlan> kinds = {
        {0, FaultKind::Stop, EIO}, {0, FaultKind::Error, ENOSPC}, {0, FaultKind::Short, EIO}};
    auto before = reopen(original);
    ASSERT_TRUE(before);
    size_t points = 0, losses = 0;
    for (const Operation& op : operations) {
        const auto clean = fresh_copy("clean.ks5");
        ASSERT_TRUE(run_on_copy(op, clean, std::nullopt)) << op.name;
        const uint64_t changes = FaultInjector::changes();
        auto after = reopen(clean);
        ASSERT_TRUE(after) << op.name;
        ASSERT_NE(*after, *before) << op.name << " changed nothing";
        for (FaultPlan plan : kinds) {
            for (uint64_t k = 1; k <= changes; ++k) {
                plan.at = k;
                const auto path = fresh_copy("faulted.ks5");
                const bool reported_ok = run_on_copy(op, path, plan);
                auto now = reopen(path);
                ++points;
                bool lost = !now.has_value();
                std::string detail;
                if (now) {
                    std::set<std::string> ids;
                    for (auto& [id, v] : *before) ids.insert(id);
                    for (auto& [id, v] : *after) ids.insert(id);
                    for (auto& [id, v] : *now) ids.insert(id);
                    for (const std::string& id : ids) {
                        auto state = [&](const Snapshot& s) {
                            auto it = s.find(id);
                            return it == s.end() ? std::string("<absent>") : it->second;
                        };
                        const std::string got = state(*now);
                        const bool allowed = reported_ok
                                                 ? got == state(*after)
                                                 : (got == state(*before) || got == state(*after));
                        if (!allowed) {
                            lost = true;
                            detail += id + ": " + got + " (before " + state(*before) + ", after " +
                                      state(*after) + ")\n";
                        }
                    }
                }
                if (lost) {
                    ++losses;
                    ADD_FAILURE() << op.name << ": fault " << static_cast<int>(plan.kind)
                                  << " at change " << k << " of " << changes
                                  << (reported_ok ? " (reported success)" : "") << "\n"
                                  << (now ? detail : "the wallet could not be opened");
                }
            }
        }
    }
    std::cout << "[ crash points tried: " << points
              << ", points where something was lost: " << losses << " ]\n";
    RecordProperty("points", static_cast<int>(points));
    RecordProperty("losses", static_cast<int>(losses));
}

}  // namespace
}  // namespace ks
