// What item models and windows rely on: change notifications in before/after pairs that a mirror
// of the tree can follow, the sorted children index, cards that outlive their wallet, and a
// document that refuses re-entry while an operation's question is open.
#include <algorithm>
#include <functional>
#include <map>
#include <random>

#include <gtest/gtest.h>

#include "core/wallet_document.h"
#include "platform/fault_injection.h"
#include "platform/text.h"
#include "support/test_support.h"

namespace ks {
namespace {

namespace fs = std::filesystem;

// The children of `parent` as a plain scan of the list would order them.
std::vector<int> children_by_scan(const WalletDocument& doc, int parent) {
    const NodeId parent_id = parent == kNoIndex ? NodeId{} : doc.node(parent)->id();
    std::vector<int> children;
    for (size_t i = 0; i < doc.nodes().size(); ++i) {
        const TreeNode& n = doc.nodes()[i];
        if (!n.deleted() && n.parent() == parent_id && n.id() != parent_id)
            children.push_back(static_cast<int>(i));
    }
    auto key = [&](int index) {
        const TreeNode& n = *doc.node(index);
        const int rank = n.kind() == NodeKind::Card ? 0 : n.kind() == NodeKind::MyForms ? 2 : 1;
        return std::tuple(rank, to_lower(n.name().substr(0, 64)), index);
    };
    std::sort(children.begin(), children.end(), [&](int a, int b) { return key(a) < key(b); });
    return children;
}

// Follows the notifications as a tree model would, keeping its own rows, and checks each
// notification against the document before and after the change.
class MirrorModel final : public ListListener {
  public:
    explicit MirrorModel(WalletDocument& doc) : doc_(doc) {
        doc_.add_listener(*this);
        rebuild();
    }
    ~MirrorModel() override { doc_.remove_listener(*this); }

    void before_change(const ListChange& change) override {
        ASSERT_FALSE(inside_) << "notifications must come in pairs";
        inside_ = true;
        if (change.kind == ListChangeKind::Reset || change.kind == ListChangeKind::SpecialEntry)
            return;
        if (change.from) {
            EXPECT_EQ(doc_.place_of(change.index), change.from);
            EXPECT_EQ(rows_[change.from->parent].at(static_cast<size_t>(change.from->row)),
                      change.index);
        } else if (change.kind == ListChangeKind::Inserted &&
                   static_cast<size_t>(change.index) < doc_.nodes().size()) {
            EXPECT_FALSE(doc_.place_of(change.index).has_value());
        }
    }

    void after_change(const ListChange& change) override {
        ASSERT_TRUE(inside_);
        inside_ = false;
        events.push_back(change.kind);
        switch (change.kind) {
            case ListChangeKind::Reset:
                rebuild();
                return;
            case ListChangeKind::SpecialEntry:
                return;
            case ListChangeKind::Inserted:
                ASSERT_TRUE(change.to && !change.from);
                insert(*change.to, change.index);
                break;
            case ListChangeKind::Removed:
                ASSERT_TRUE(change.from && !change.to);
                erase(*change.from);
                break;
            case ListChangeKind::Moved:
                ASSERT_TRUE(change.from && change.to);
                EXPECT_NE(change.from, change.to);
                erase(*change.from);
                insert(*change.to, change.index);
                break;
            case ListChangeKind::Changed:
                EXPECT_EQ(change.from, change.to);
                break;
        }
        EXPECT_EQ(doc_.place_of(change.index), change.to);
    }

    // Every parent the mirror knows holds what the document's index holds, and that is the order
    // a scan of the list gives.
    void expect_matches_document() const {
        for (const auto& [parent, rows] : rows_) {
            if (parent != kNoIndex && (parent < 0 || doc_.node(parent)->deleted())) continue;
            EXPECT_EQ(rows, doc_.children_of(parent)) << "parent " << parent;
            EXPECT_EQ(rows, children_by_scan(doc_, parent)) << "parent " << parent;
            EXPECT_EQ(rows.size(), doc_.child_count(parent));
        }
        EXPECT_EQ(doc_.children_of(kNoIndex), children_by_scan(doc_, kNoIndex));
        for (size_t i = 0; i < doc_.nodes().size(); ++i) {
            const int index = static_cast<int>(i);
            if (doc_.node(index)->deleted()) continue;
            EXPECT_EQ(doc_.children_of(index), children_by_scan(doc_, index));
        }
    }

    std::vector<ListChangeKind> events;

  private:
    void rebuild() {
        rows_.clear();
        rows_[kNoIndex] = doc_.children_of(kNoIndex);
        for (size_t i = 0; i < doc_.nodes().size(); ++i)
            if (!doc_.nodes()[i].deleted())
                rows_[static_cast<int>(i)] = doc_.children_of(static_cast<int>(i));
    }
    void insert(const TreePlace& place, int index) {
        auto& rows = rows_[place.parent];
        ASSERT_LE(static_cast<size_t>(place.row), rows.size());
        rows.insert(rows.begin() + place.row, index);
    }
    void erase(const TreePlace& place) {
        auto& rows = rows_[place.parent];
        ASSERT_LT(static_cast<size_t>(place.row), rows.size());
        rows.erase(rows.begin() + place.row);
    }

    WalletDocument& doc_;
    std::map<int, std::vector<int>> rows_;
    bool inside_ = false;
};

class DocumentViewsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        path = dir / "wallet.ks5";
        ASSERT_EQ(doc.create(path, u"secret", u"hint", true), CreateResult::Created);
        ASSERT_EQ(doc.load(path, u"secret"), OpenResult::Opened);
    }

    int add_card(std::u16string_view name, int folder = kNoIndex) {
        Card card = doc.new_card(folder == kNoIndex ? NodeId{} : doc.node(folder)->id());
        card.node()->set_name(name);
        FieldRecord field;
        field.set_label(u"PIN");
        field.set_value(u"4711");
        card.insert_field(field);
        return doc.store_card(card);
    }

    int add_folder(std::u16string_view name, int parent = kNoIndex) {
        TreeNode folder = doc.new_folder(parent == kNoIndex ? NodeId{} : doc.node(parent)->id());
        folder.set_name(name);
        return doc.store_folder(folder);
    }

    std::vector<std::u16string> names_below(int parent) const {
        std::vector<std::u16string> names;
        for (int child : doc.children_of(parent)) names.push_back(doc.node(child)->name());
        return names;
    }

    test::TempDir dir;
    fs::path path;
    WalletDocument doc;
};

TEST_F(DocumentViewsTest, ChildrenAreSortedCardsFirstByNameWithoutCaseAndMyFormsLast) {
    add_folder(u"beta");
    add_card(u"Zulu");
    add_folder(u"Alpha");
    add_card(u"alpha");
    add_card(u"ALPHA");  // equal names keep list order
    // The sample folder and My Forms were made with the wallet.
    const auto names = names_below(kNoIndex);
    ASSERT_EQ(names.size(), 7u);
    EXPECT_EQ(std::vector(names.begin(), names.begin() + 3),
              (std::vector<std::u16string>{u"alpha", u"ALPHA", u"Zulu"}));
    const std::u16string sample = names[3] == u"Alpha" ? names[5] : names[3];
    std::vector<std::u16string> folders = {u"Alpha", u"beta", sample};
    std::sort(folders.begin(), folders.end(),
              [](const auto& a, const auto& b) { return to_lower(a) < to_lower(b); });
    EXPECT_EQ(std::vector(names.begin() + 3, names.begin() + 6), folders);
    EXPECT_EQ(doc.node(doc.child_at(kNoIndex, 6))->kind(), NodeKind::MyForms);
    EXPECT_EQ(doc.child_at(kNoIndex, 7), kNoIndex);
}

TEST_F(DocumentViewsTest, NotificationsComeInPairsWithPlacesAModelCanFollow) {
    MirrorModel model(doc);
    const int folder = add_folder(u"M");
    const int card = add_card(u"b", folder);
    add_card(u"a", folder);
    EXPECT_EQ(doc.place_of(card), (TreePlace{folder, 1}));
    ASSERT_TRUE(doc.rename(card, u"0 first"));  // same parent, new row: a move
    ASSERT_TRUE(doc.rename(card, u"0 First"));  // same row: a change
    ASSERT_TRUE(doc.move(card, kNoIndex));      // another parent
    ASSERT_TRUE(doc.remove(card));
    ASSERT_TRUE(doc.add_favourite(doc.node(folder)->id()));
    ASSERT_TRUE(doc.rename(kFavouritesEntry, u"Stars"));
    using K = ListChangeKind;
    EXPECT_EQ(model.events,
              (std::vector<K>{K::Inserted, K::Inserted, K::Inserted, K::Moved, K::Changed, K::Moved,
                              K::Removed, K::SpecialEntry, K::SpecialEntry}));
    model.expect_matches_document();

    model.events.clear();
    ASSERT_TRUE(doc.change_password(u"secret", u"another", std::nullopt));
    ASSERT_TRUE(doc.close());
    ASSERT_EQ(doc.load(path, u"another"), OpenResult::Opened);
    EXPECT_EQ(model.events, (std::vector<K>{K::Reset, K::Reset, K::Reset}));
    model.expect_matches_document();
}

TEST_F(DocumentViewsTest, AMirrorFollowsEveryOperationInAnyOrder) {
    MirrorModel model(doc);
    std::mt19937 random(20261210);
    const std::u16string names[] = {u"alpha", u"Alpha", u"beta", u"Gamma", u"gamma", u"", u"z"};
    auto pick_name = [&] { return names[random() % std::size(names)]; };
    auto pick_live = [&](bool folders_only) {
        std::vector<int> live;
        for (size_t i = 0; i < doc.nodes().size(); ++i) {
            const TreeNode& n = doc.nodes()[i];
            if (!n.deleted() && n.kind() != NodeKind::MyForms &&
                (!folders_only || n.kind() == NodeKind::Folder))
                live.push_back(static_cast<int>(i));
        }
        return live.empty() ? kNoIndex : live[random() % live.size()];
    };
    for (int step = 0; step < 300; ++step) {
        const int folder = random() % 4 == 0 ? kNoIndex : pick_live(true);
        const int any = pick_live(false);
        switch (random() % 8) {
            case 0:
                add_folder(pick_name(), folder);
                break;
            case 1:
            case 2:
                add_card(pick_name(), folder);
                break;
            case 3:
                if (any != kNoIndex) doc.rename(any, pick_name());
                break;
            case 4:
                if (any != kNoIndex) doc.move(any, folder);
                break;
            case 5:
                if (any != kNoIndex && random() % 3 == 0) doc.remove(any);
                break;
            case 6:
                if (any != kNoIndex && doc.node(any)->kind() == NodeKind::Card &&
                    folder != kNoIndex)
                    doc.copy_card_to_folder(any, folder);
                break;
            case 7:
                if (any != kNoIndex && doc.node(any)->kind() == NodeKind::Card) {
                    auto card = doc.load_card(any);
                    ASSERT_TRUE(card);
                    card->node()->set_name(pick_name());
                    ASSERT_GE(doc.update_card(*card), 0);
                }
                break;
        }
        if (step % 50 == 49) {
            ASSERT_EQ(doc.save_blocks(), SaveResult::Saved);
            ASSERT_EQ(doc.load(path, u"secret"), OpenResult::Opened);
        }
        model.expect_matches_document();
        if (HasFailure()) FAIL() << "at step " << step;
    }
}

TEST_F(DocumentViewsTest, ARemovedListenerIsToldNothingMore) {
    struct Counter : ListListener {
        int told = 0;
        void after_change(const ListChange&) override { ++told; }
    } first, second;
    doc.add_listener(first);
    doc.add_listener(second);
    doc.add_listener(first);  // once only
    add_folder(u"A");
    doc.remove_listener(first);
    add_folder(u"B");
    EXPECT_EQ(first.told, 1);
    EXPECT_EQ(second.told, 2);
    doc.remove_listener(second);
}

// A card window left open across a close, a password change or another wallet's open.
TEST_F(DocumentViewsTest, ACardFromAnEarlierOpenIsNeverStoredNorDeciphered) {
    const int index = add_card(u"Bank");
    std::optional<Card> kept = doc.load_card(index);
    ASSERT_TRUE(kept);
    EXPECT_TRUE(doc.owns(*kept->node()));

    struct Case {
        const char* what;
        std::function<void()> between;
    };
    const fs::path other = dir / "other.ks5";
    const Case cases[] = {
        {"closed and opened again",
         [&] {
             ASSERT_TRUE(doc.close());
             ASSERT_EQ(doc.load(path, u"secret"), OpenResult::Opened);
         }},
        {"password changed",
         [&] { ASSERT_TRUE(doc.change_password(u"secret", u"secret", std::nullopt)); }},
        {"another wallet opened",
         [&] {
             ASSERT_EQ(doc.create(other, u"different", std::nullopt, false), CreateResult::Created);
             ASSERT_EQ(doc.load(other, u"different"), OpenResult::Opened);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_EQ(doc.load(path, u"secret"), OpenResult::Opened);
        kept = doc.load_card(doc.list_index_of(kept->node()->id()));
        ASSERT_TRUE(kept);
        c.between();
        const auto size_before = fs::file_size(doc.path());
        EXPECT_FALSE(doc.owns(*kept->node()));
        EXPECT_EQ(kept->node()->name(), u"");           // its key was wiped with the wallet's
        EXPECT_EQ(kept->fields()[0].value(), u"4711");  // what the window shows stays
        EXPECT_EQ(doc.update_card(*kept), kNoIndex);
        EXPECT_EQ(doc.store_card(*kept), kNoIndex);
        EXPECT_FALSE(doc.rewrite_node(*kept->node()));
        EXPECT_EQ(fs::file_size(doc.path()), size_before);
    }
    // Reloaded, the card is whole and its name reads as stored.
    ASSERT_EQ(doc.load(path, u"secret"), OpenResult::Opened);
    EXPECT_EQ(doc.node(doc.list_index_of(kept->node()->id()))->name(), u"Bank");
}

// Answers every question after trying, from inside it, what a timer or a second command could.
class ReenteringPrompt final : public Prompt {
  public:
    ReenteringPrompt(WalletDocument& doc, fs::path path) : doc_(doc), path_(std::move(path)) {}
    PromptAnswer ask(const PromptMessage&) override {
        ++asked;
        EXPECT_TRUE(doc_.busy());
        EXPECT_TRUE(doc_.asking());
        EXPECT_FALSE(doc_.close());
        EXPECT_EQ(doc_.load(path_, u"secret"), OpenResult::Busy);
        EXPECT_EQ(doc_.open(path_, u"secret", true), OpenResult::Busy);
        EXPECT_EQ(doc_.create(path_.parent_path() / "new.ks5", u"secret", std::nullopt, false),
                  CreateResult::Busy);
        EXPECT_EQ(doc_.repair(path_, u"secret", *this).open_result, OpenResult::Busy);
        EXPECT_FALSE(doc_.begin_operation(*this).started());
        if (doc_.is_open()) {
            Card card = doc_.new_card({});
            EXPECT_EQ(doc_.store_card(card), kNoIndex);
            EXPECT_FALSE(doc_.add_favourite(card.node()->id()));
            EXPECT_FALSE(doc_.rename(kFavouritesEntry, u"x"));
            EXPECT_FALSE(doc_.change_password(u"secret", u"other", std::nullopt));
        }
        return PromptAnswer::No;
    }
    int asked = 0;

  private:
    WalletDocument& doc_;
    fs::path path_;
};

TEST_F(DocumentViewsTest, AnOperationsQuestionRefusesReentry) {
    const size_t listed = doc.nodes().size();
    ReenteringPrompt prompt(doc, path);
    {
        WalletDocument::Operation operation = doc.begin_operation(prompt);
        ASSERT_TRUE(operation.started());
        EXPECT_TRUE(doc.busy());
        EXPECT_FALSE(doc.asking());
        operation.ask({u"Go on?", u"", PromptButtons::YesNo, PromptIcon::Question});
        EXPECT_TRUE(doc.is_open());
        EXPECT_EQ(doc.nodes().size(), listed);
        EXPECT_GE(add_card(u"between questions"), 0);  // the operation's own work goes on
    }
    EXPECT_FALSE(doc.busy());
    EXPECT_EQ(prompt.asked, 1);

    // Repair is an operation of its own: its first question is declined.
    EXPECT_EQ(doc.repair(path, u"secret", prompt).status, RepairStatus::Declined);
    EXPECT_EQ(prompt.asked, 2);
    EXPECT_FALSE(doc.busy());
    EXPECT_EQ(doc.load(path, u"secret"), OpenResult::Opened);
    EXPECT_TRUE(doc.close());
}

// A window says why a change failed: the cause and errno of the failed call, not a guess.
TEST_F(DocumentViewsTest, AFailedChangeKeepsItsCause) {
    struct Case {
        const char* what;
        std::function<bool()> change;
    };
    const int folder = add_folder(u"F");
    const Case cases[] = {
        {"store", [&] { return add_card(u"new") >= 0; }},
        {"rename", [&] { return doc.rename(folder, u"G"); }},
        {"remove", [&] { return doc.remove(folder); }},
        {"password", [&] { return doc.change_password(u"secret", u"other", std::nullopt); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_EQ(doc.load(path, u"secret"), OpenResult::Opened);
        {
            ScopedFault full_disk(FaultPlan{1, FaultKind::Error, ENOSPC});
            EXPECT_FALSE(c.change());
        }
        EXPECT_EQ(doc.last_failure(), (FileFailure{FileProblem::NoSpace, ENOSPC}));
    }
    // A refusal touches no file and has no cause; a success clears the last one.
    ASSERT_EQ(doc.load(path, u"secret", true), OpenResult::Opened);
    EXPECT_EQ(add_card(u"read-only"), kNoIndex);
    EXPECT_EQ(doc.last_failure(), FileFailure{});

    WalletDocument second;
    ASSERT_EQ(doc.load(path, u"secret"), OpenResult::Opened);
    EXPECT_EQ(second.open(path, u"secret", true), OpenResult::Locked);
    EXPECT_EQ(second.last_failure().problem, FileProblem::Locked);
    EXPECT_EQ(second.open(dir / "missing.ks5", u"secret", true), OpenResult::Missing);
    EXPECT_EQ(second.last_failure(), (FileFailure{FileProblem::Missing, ENOENT}));
    EXPECT_EQ(second.open(path.parent_path(), u"secret", true), OpenResult::CannotOpen);
    EXPECT_EQ(second.last_failure(), (FileFailure{FileProblem::Other, EISDIR}));
}

}  // namespace
}  // namespace ks
