#include "core/repair.h"

#include <gtest/gtest.h>

#include "core/wallet_file.h"
#include "platform/text.h"
#include "support/test_support.h"
#include "support/wallet_builder.h"

namespace ks {
namespace {

using Names = std::vector<std::u16string>;

struct Walk {
    Names names;
    StorageResult end = StorageResult::Done;  // NothingTransferred: reached the end cleanly
    bool payloads_inside = true;              // every record lies wholly inside the file
    size_t fields = 0;                        // fields of all cards that could be read
};

// Walks the records as the loader does, noting each name and how the walk ended.
Walk walk(const std::filesystem::path& path) {
    WalletStorage storage;
    Walk w;
    if (open_wallet_storage(storage, path, u"secret", true) != OpenResult::Opened) {
        w.end = StorageResult::NoFile;
        return w;
    }
    const uint64_t size = *storage.file.size();
    skip_to_nodes(storage.file);
    for (;;) {
        TreeNode node;
        w.end = read_node(storage.file, node, &storage.info.record_key);
        if (w.end != StorageResult::Done) break;
        w.names.push_back(node.name());
        const uint64_t payload = storage.file.position();
        if (node.kind() == NodeKind::Card) {
            Card card;
            card.set_node(node);
            if (card.read(storage.file, storage.info.record_key)) w.fields += card.fields().size();
        }
        storage.file.seek(payload + node.header().payload_length());
        if (storage.file.position() > size) w.payloads_inside = false;
    }
    return w;
}

// Puts 40 bytes of icon image behind the header of the record at `at`. With `recorded`, the
// header records them (length and pad) while its icon number stays what it is: an image the icon
// number does not use. Without, the header says "no image": what rewriting such a header in place
// as one without an image once left, every later record shifted.
void insert_image(Bytes& b, size_t at, bool recorded) {
    constexpr uint32_t kImage = 40;
    b.insert(b.begin() + static_cast<ptrdiff_t>(at + format::node::kHeaderSize), kImage, 0x5C);
    if (!recorded) return;
    put_u32(b, at + format::node::kIconImageLength, kImage);
    put_u32(b, at + format::node::kIconImagePad, 4);
}

class RepairTest : public ::testing::Test {
  protected:
    void SetUp() override {
        path = dir / "damaged.ks5";
        test::create_wallet(storage, path);
        TreeNode forms = test::make_folder(storage, u"My Forms", {}, NodeKind::MyForms);
        offsets.push_back(test::append_node(storage, forms));
        TreeNode bank = test::make_folder(storage, u"Bank");
        offsets.push_back(test::append_node(storage, bank));
        Card visa = test::make_card(storage, u"Visa", bank.id(), {{u"Number", u"4111 1111"}});
        offsets.push_back(test::append_card(storage, visa));
        Card mail = test::make_card(storage, u"Mail", {}, {{u"User", u"me"}, {u"PIN", u"0000"}});
        offsets.push_back(test::append_card(storage, mail));
        offsets.push_back(*storage.file.size());
        storage.close();
        original = test::read_file_bytes(path);
    }

    RepairResult repair(std::vector<PromptAnswer> answers = {PromptAnswer::Yes, PromptAnswer::Ok,
                                                             PromptAnswer::Ok}) {
        prompt = test::ScriptedPrompt(std::move(answers));
        return repair_wallet(path, u"secret", prompt);
    }

    size_t record_start(size_t i) const { return static_cast<size_t>(offsets[i]); }

    // The places a check finds, on the file opened for reading only; the file must not change.
    int check() {
        const Bytes before = test::read_file_bytes(path);
        File file = File::open(path, FileMode::ReadOnly);
        const std::optional<int> found = check_node_records(file);
        EXPECT_EQ(test::read_file_bytes(path), before);
        return found.value_or(-1);
    }

    test::DeterministicEnvironment env;
    test::ScopedCoreTexts texts;
    test::TempDir dir;
    std::filesystem::path path;
    WalletStorage storage;
    std::vector<uint64_t> offsets;  // record starts, then the end of the file
    Bytes original;
    test::ScriptedPrompt prompt;
    const Names all{u"My Forms", u"Bank", u"Visa", u"Mail"};
};

TEST_F(RepairTest, WholeFileIsLeftAlone) {
    EXPECT_EQ(check(), 0);
    RepairResult r = repair();
    EXPECT_EQ(r.status, RepairStatus::Done);
    EXPECT_EQ(r.repairs, 0);
    EXPECT_EQ(test::read_file_bytes(path), original);
}

TEST_F(RepairTest, DamageCases) {
    struct Case {
        std::string what;
        std::function<void(Bytes&)> damage;
        Names survivors;
        int repairs;
        size_t fields;
    };
    const size_t visa = record_start(2), mail = record_start(3), end = record_start(4);
    const std::vector<Case> cases = {
        {"last record cut short",
         [&](Bytes& b) { b.resize(end - 5); },
         {u"My Forms", u"Bank", u"Visa"},
         1,
         1},
        {"last header cut short",
         [&](Bytes& b) { b.resize(mail + 700); },
         {u"My Forms", u"Bank", u"Visa"},
         1,
         1},
        {"garbage after the last record", [&](Bytes& b) { b.insert(b.end(), 300, 0x5C); }, all, 1,
         3},
        {"garbage between two records",
         [&](Bytes& b) { b.insert(b.begin() + static_cast<ptrdiff_t>(mail), 1000, 0x77); }, all, 1,
         3},
        {"a record's kind overwritten",
         [&](Bytes& b) { b[visa] ^= 0xFF; },
         {u"My Forms", u"Bank", u"Mail"},
         1,
         2},
        {"payload length runs into the next record",
         [&](Bytes& b) { put_u32(b, visa + 740, get_u32(b, visa + 740) + 64); }, all, 1, 3},
        {"payload length shorter than the chunks",
         [&](Bytes& b) { put_u32(b, visa + 740, get_u32(b, visa + 740) - 8); }, all, 1, 3},
        {"payload length zeroed", [&](Bytes& b) { put_u32(b, visa + 740, 0); }, all, 1, 3},
        {"a chunk length damaged inside a payload",
         [&](Bytes& b) { put_u32(b, visa + 748 + 64 + 8, 5000); }, all, 0, 3},
        {"an image the icon number does not use", [&](Bytes& b) { insert_image(b, visa, true); },
         all, 1, 3},
        {"an image left behind a card's header", [&](Bytes& b) { insert_image(b, visa, false); },
         all, 1, 3},
        {"an image left behind the last card's header",
         [&](Bytes& b) { insert_image(b, mail, false); }, all, 1, 3},
        {"an image left behind a folder's header",
         [&](Bytes& b) { insert_image(b, record_start(1), false); }, all, 1, 3},
    };
    for (const Case& c : cases) {
        Bytes damaged = original;
        c.damage(damaged);
        test::write_file_bytes(path, damaged);
        EXPECT_EQ(check(), c.repairs) << c.what;
        RepairResult r = repair();
        EXPECT_EQ(r.status, RepairStatus::Done) << c.what;
        EXPECT_EQ(r.repairs, c.repairs) << c.what;
        Walk w = walk(path);
        EXPECT_EQ(w.names, c.survivors) << c.what;
        EXPECT_EQ(w.end, StorageResult::NothingTransferred) << c.what;
        EXPECT_TRUE(w.payloads_inside) << c.what;
        EXPECT_EQ(w.fields, c.fields) << c.what;
        // A second repair finds nothing more to do.
        EXPECT_EQ(repair().repairs, 0) << c.what;
    }
}

// An image the icon number does not use is cut out and the header's image fields zeroed, as
// writing the node anew would leave it; everything else stays as stored.
TEST_F(RepairTest, ImageTheIconNumberDoesNotUseIsCutOut) {
    const size_t visa = record_start(2);
    Bytes damaged = original;
    insert_image(damaged, visa, true);
    put_i32(damaged, visa + format::node::kIcon, 7);
    test::write_file_bytes(path, damaged);
    ASSERT_EQ(walk(path).names, all) << "the loader takes such a record as it is";
    EXPECT_EQ(check(), 1);
    EXPECT_EQ(repair().repairs, 1);
    Bytes expected = original;
    put_i32(expected, visa + format::node::kIcon, 7);
    EXPECT_EQ(test::read_file_bytes(path), expected);
}

TEST_F(RepairTest, LastFolderOfExactlyOneHeaderIsKept) {
    WalletStorage s;
    ASSERT_EQ(open_wallet_storage(s, path, u"secret", false), OpenResult::Opened);
    TreeNode last = test::make_folder(s, u"Last");
    test::append_node(s, last);
    s.close();
    const Bytes before = test::read_file_bytes(path);
    RepairResult r = repair();
    EXPECT_EQ(r.repairs, 0);
    EXPECT_EQ(test::read_file_bytes(path), before);
    EXPECT_EQ(walk(path).names.back(), u"Last");
}

TEST_F(RepairTest, WholeRecordWithAHeaderInsideItsIconIsKept) {
    WalletStorage s;
    ASSERT_EQ(open_wallet_storage(s, path, u"secret", false), OpenResult::Opened);
    TreeNode decoy = test::make_folder(s, u"Decoy");
    TreeNode holder = test::make_folder(s, u"Holder");
    // The icon image is stored in plain, so it can hold bytes that look like a header.
    ASSERT_TRUE(holder.set_icon_image(decoy.header().bytes));
    test::append_node(s, holder);
    TreeNode after = test::make_folder(s, u"After");
    test::append_node(s, after);
    s.close();
    const Bytes before = test::read_file_bytes(path);
    EXPECT_EQ(repair().repairs, 0);
    EXPECT_EQ(test::read_file_bytes(path), before);
}

// A card larger than the repair's read window is checked chunk by chunk, with the same
// verdicts as a small one.
TEST_F(RepairTest, CardLargerThanTheReadWindow) {
    WalletStorage s;
    ASSERT_EQ(open_wallet_storage(s, path, u"secret", false), OpenResult::Opened);
    const std::u16string long_note(200'000, u'n');  // 400 000 bytes of text
    Card big = test::make_card(s, u"Big", {}, {{u"Note", long_note}, {u"PIN", u"1234"}});
    const uint64_t at = test::append_card(s, big);
    TreeNode after = test::make_folder(s, u"After");
    test::append_node(s, after);
    s.close();
    const Bytes whole = test::read_file_bytes(path);
    EXPECT_EQ(check(), 0);

    // A payload length short of the chunks: only the walk through every chunk header of the
    // card shows that they fill the space up to the next record, so the length is mended.
    Bytes damaged = whole;
    const size_t length_at = static_cast<size_t>(at) + 740;
    ASSERT_GT(get_u32(damaged, length_at), 400'000u);
    put_u32(damaged, length_at, get_u32(damaged, length_at) - 8);
    test::write_file_bytes(path, damaged);
    EXPECT_EQ(check(), 1);
    EXPECT_EQ(repair().repairs, 1);
    EXPECT_EQ(test::read_file_bytes(path), whole);
    Walk w = walk(path);
    EXPECT_EQ(w.end, StorageResult::NothingTransferred);
    EXPECT_EQ(w.fields, 5u);  // 3 in the small cards, both of the large one
    EXPECT_EQ(w.names.back(), u"After");
}

TEST_F(RepairTest, QuestionsAndReport) {
    test::write_file_bytes(path, Bytes(original.begin(), original.end() - 5));
    const Bytes damaged = test::read_file_bytes(path);
    for (auto answers :
         {std::vector{PromptAnswer::No}, std::vector{PromptAnswer::Yes, PromptAnswer::Cancel}}) {
        EXPECT_EQ(repair(answers).status, RepairStatus::Declined);
        EXPECT_EQ(test::read_file_bytes(path), damaged);
    }
    RepairResult r = repair();
    ASSERT_EQ(r.status, RepairStatus::Done);
    ASSERT_EQ(prompt.asked().size(), 3u);
    const std::string shown = path.string();
    EXPECT_EQ(prompt.asked()[0].text, from_utf8("The wallet " + shown + " is damaged. Repair it?"));
    EXPECT_EQ(prompt.asked()[0].buttons, PromptButtons::YesNo);
    EXPECT_EQ(prompt.asked()[0].icon, PromptIcon::Stop);
    EXPECT_EQ(prompt.asked()[0].caption, u"Keystash Pro");
    EXPECT_EQ(prompt.asked()[1].buttons, PromptButtons::OkCancel);
    EXPECT_EQ(prompt.asked()[2].text, from_utf8("1 repairs were made to " + shown + "."));
    EXPECT_EQ(prompt.asked()[2].icon, PromptIcon::Information);
}

// Random damage of every kind: reading never fails hard, and after repair every remaining
// record is readable and the walk reaches the end of the file.
TEST_F(RepairTest, RandomDamageIsAlwaysMended) {
    SeededRandom random(7);
    for (int round = 0; round < 300; ++round) {
        Bytes damaged = original;
        const uint32_t damage = random.next_u32() % 4;
        const size_t nodes = record_start(0);
        const size_t span = damaged.size() - nodes;
        const size_t at = nodes + random.next_u32() % span;
        if (damage == 0) {
            damaged.resize(at);
        } else if (damage == 1) {
            for (int i = 0; i < 4; ++i)
                damaged[nodes + random.next_u32() % span] = static_cast<uint8_t>(random.next_u32());
        } else if (damage == 2) {
            damaged.insert(damaged.begin() + static_cast<ptrdiff_t>(at), random.next_u32() % 2000,
                           0x41);
        } else {
            damaged.erase(damaged.begin() + static_cast<ptrdiff_t>(at),
                          damaged.begin() + static_cast<ptrdiff_t>(std::min<size_t>(
                                                damaged.size(), at + random.next_u32() % 900)));
        }
        test::write_file_bytes(path, damaged);
        const int found = check();
        AcceptingPrompt yes;
        RepairResult r = repair_wallet(path, u"secret", yes);
        ASSERT_EQ(r.status, RepairStatus::Done) << round;
        // A check finds damage exactly when a repair mends something.
        EXPECT_EQ(found > 0, r.repairs > 0) << round;
        EXPECT_LE(found, r.repairs) << round;
        Walk w = walk(path);
        EXPECT_EQ(w.end, StorageResult::NothingTransferred) << round;
        EXPECT_TRUE(w.payloads_inside) << round;
        EXPECT_EQ(repair().repairs, 0) << round;
    }
}

TEST_F(RepairTest, WrongPasswordOpensNothing) {
    prompt = test::ScriptedPrompt({PromptAnswer::Yes, PromptAnswer::Ok});
    RepairResult r = repair_wallet(path, u"wrong", prompt);
    EXPECT_EQ(r.status, RepairStatus::OpenFailed);
    EXPECT_EQ(r.open_result, OpenResult::WrongPassword);
    EXPECT_EQ(test::read_file_bytes(path), original);
}

}  // namespace
}  // namespace ks
