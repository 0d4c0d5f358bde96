// The per-walk folder tree: which folders sit in a cycle of parents, how a walk goes, and the
// repair that moves a cycle's folders to the top level, interrupted at every change.
#include "core/folder_tree.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "core/repair.h"
#include "core/wallet_document.h"
#include "platform/prompt.h"
#include "platform/text.h"
#include "support/crash_harness.h"
#include "support/test_support.h"
#include "support/wallet_builder.h"

namespace ks {
namespace {

// A node of a made-up list: its name, kind, its parent's name ("" for the top level) and
// whether it is deleted.
struct Node {
    std::string name;
    NodeKind kind;
    std::string parent;
    bool deleted = false;
};

NodeId id_of(const std::string& name) {
    NodeId id;
    for (size_t i = 0; i < name.size() && i < id.bytes.size(); ++i)
        id.bytes[i] = static_cast<uint8_t>(name[i]);
    id.bytes[15] = 1;  // never all zero
    return id;
}

std::vector<NodeLink> links_of(const std::vector<Node>& nodes) {
    std::vector<NodeLink> links;
    for (const Node& n : nodes)
        links.push_back(
            {id_of(n.name), n.parent.empty() ? NodeId{} : id_of(n.parent), n.kind, n.deleted});
    return links;
}

constexpr NodeKind kFolder = NodeKind::Folder;
constexpr NodeKind kCard = NodeKind::Card;

TEST(FolderTreeTest, FoldersInACycleOfParentsAreFoundAndNothingElse) {
    struct Case {
        const char* what;
        std::vector<Node> nodes;
        std::vector<std::string> in_cycle;
    };
    const std::vector<Case> cases = {
        {"a whole tree",
         {{"A", kFolder, ""}, {"a1", kCard, "A"}, {"B", kFolder, "A"}, {"b1", kCard, "B"}},
         {}},
        {"two folders each other's parent",
         {{"top", kFolder, ""}, {"A", kFolder, "B"}, {"B", kFolder, "A"}, {"a1", kCard, "A"}},
         {"A", "B"}},
        {"a folder its own parent", {{"X", kFolder, "X"}}, {"X"}},
        {"three in a ring with a folder hanging below",
         {{"A", kFolder, "C"}, {"B", kFolder, "A"}, {"C", kFolder, "B"}, {"D", kFolder, "C"}},
         {"A", "B", "C"}},
        {"two rings",
         {{"A", kFolder, "B"}, {"B", kFolder, "A"}, {"C", kFolder, "C"}},
         {"A", "B", "C"}},
        {"a missing parent is no cycle", {{"A", kFolder, "gone"}, {"B", kFolder, "A"}}, {}},
        {"a card is no parent", {{"c", kCard, ""}, {"A", kFolder, "c"}}, {}},
        {"a deleted folder breaks the ring", {{"A", kFolder, "B"}, {"B", kFolder, "A", true}}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const FolderTree tree(links_of(c.nodes));
        std::vector<std::string> found;
        for (int i : tree.cycle_folders()) found.push_back(c.nodes[static_cast<size_t>(i)].name);
        EXPECT_EQ(found, c.in_cycle);
        EXPECT_EQ(tree.walk_meets_cycle(kNoIndex), !c.in_cycle.empty());
    }
}

TEST(FolderTreeTest, AWalkGoesDepthFirstAndPassesEveryNodeOnce) {
    const std::vector<Node> nodes = {
        {"A", kFolder, ""}, {"a1", kCard, "A"},  {"B", kFolder, "A"}, {"b1", kCard, "B"},
        {"top", kCard, ""}, {"R", kFolder, "S"}, {"S", kFolder, "R"}, {"r1", kCard, "R"},
    };
    const FolderTree tree(links_of(nodes));
    auto walked = [&](int root) {
        std::string text;
        for (const FolderTree::Step& s : tree.below(root))
            text += nodes[static_cast<size_t>(s.index)].name + "@" + std::to_string(s.depth) + " ";
        return text;
    };
    EXPECT_EQ(walked(kNoIndex), "A@0 a1@1 B@1 b1@2 top@0 ");
    EXPECT_EQ(walked(2), "b1@0 ");
    EXPECT_EQ(walked(5), "S@0 r1@0 ");  // R again below S is passed over
    EXPECT_TRUE(tree.walk_meets_cycle(5));
    EXPECT_FALSE(tree.walk_meets_cycle(0));
    EXPECT_TRUE(tree.children(1).empty());
    EXPECT_TRUE(tree.children(99).empty());
}

// A wallet with Bank/Visa and the folders A and B each other's parent, A holding Lost.
class FolderCycleRepairTest : public ::testing::Test {
  protected:
    void SetUp() override { test::create_folder_cycle_wallet(original); }

    static std::optional<int> check(const std::filesystem::path& path) {
        File file = File::open(path, FileMode::ReadOnly);
        return check_node_records(file);
    }

    test::DeterministicEnvironment env;
    test::ScopedCoreTexts texts;
    test::TempDir dir;
    const std::filesystem::path original = dir / "cycle.ks5";
};

TEST_F(FolderCycleRepairTest, RepairMovesTheCyclesFoldersToTheTopLevel) {
    EXPECT_EQ(check(original), 2);
    AcceptingPrompt yes;
    const RepairResult r = repair_wallet(original, u"secret", yes);
    EXPECT_EQ(r.status, RepairStatus::Done);
    EXPECT_EQ(r.repairs, 2);
    EXPECT_EQ(check(original), 0);

    WalletDocument doc;
    ASSERT_EQ(doc.load(original, u"secret"), OpenResult::Opened);
    const FolderTree tree(doc, ChildOrder::Tree);
    std::string top;
    for (int i : tree.children(kNoIndex)) top += to_utf8(doc.node(i)->name()) + " ";
    EXPECT_EQ(top, "A B Bank My Forms ");
    ASSERT_EQ(tree.children(tree.children(kNoIndex)[0]).size(), 1u);
    EXPECT_EQ(doc.node(tree.children(tree.children(kNoIndex)[0])[0])->name(), u"Lost");
}

// Each folder is moved by a journaled rewrite of its header: interrupted anywhere, every folder
// stays where it was or reaches the top level, and nothing else changes.
TEST_F(FolderCycleRepairTest, InterruptedRepairMovesEachFolderWholeOrNotAtAll) {
    const auto faulted = dir / "faulted.ks5";
    test::FaultedOperation op{"mend folder cycle",
                              [&](std::optional<FaultPlan> plan) {
                                  std::filesystem::remove(faulted);
                                  std::filesystem::copy_file(original, faulted);
                                  AcceptingPrompt yes;
                                  test::ArmedFault fault(plan);
                                  return repair_wallet(faulted, u"secret", yes).status ==
                                         RepairStatus::Done;
                              },
                              [&] { return test::reopen(faulted, {u"secret"}); }};
    const auto before = test::reopen(original, {u"secret"});
    ASSERT_TRUE(before);
    test::report_tally(test::run_fault_loop(op, *before));
}

}  // namespace
}  // namespace ks
