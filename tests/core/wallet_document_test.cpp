#include "core/wallet_document.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "core/keys.h"
#include "core/wallet_file.h"
#include "support/crash_harness.h"
#include "support/test_support.h"
#include "support/wallet_builder.h"

namespace ks {
namespace {

namespace fs = std::filesystem;

constexpr uint32_t kOtherUser = 65534;

int index_in(const WalletDocument& d, std::u16string_view name) {
    for (size_t i = 0; i < d.nodes().size(); ++i)
        if (d.nodes()[i].name() == name && !d.nodes()[i].deleted()) return static_cast<int>(i);
    return kNoIndex;
}

fs::path with_suffix(fs::path p, const char* suffix) {
    p += suffix;
    return p;
}

class DocumentTest : public ::testing::Test {
  protected:
    void SetUp() override {
        path = dir / "wallet.ks5";
        ASSERT_EQ(doc.create(path, u"secret", u"hint", true), CreateResult::Created);
        ASSERT_EQ(doc.load(path, u"secret"), OpenResult::Opened);
    }

    // Closes and loads the wallet again, as the next start of the program would.
    void reload(std::u16string_view password = u"secret") {
        ASSERT_EQ(doc.save_blocks(), SaveResult::Saved);
        doc.close();
        ASSERT_EQ(doc.load(path, password), OpenResult::Opened);
    }

    int add_card(std::u16string_view name, int folder, std::vector<test::FieldSpec> fields = {}) {
        NodeId parent = folder == kNoIndex ? NodeId{} : doc.node(folder)->id();
        Card card = doc.new_card(parent);
        card.node()->set_name(name);
        for (auto& [label, value] : fields) {
            FieldRecord f;
            f.set_label(label);
            f.set_value(value);
            card.insert_field(f);
        }
        return doc.store_card(card);
    }

    int add_folder(std::u16string_view name, int parent = kNoIndex) {
        TreeNode folder = doc.new_folder(parent == kNoIndex ? NodeId{} : doc.node(parent)->id());
        folder.set_name(name);
        return doc.store_folder(folder);
    }

    int index_named(std::u16string_view name) const {
        for (size_t i = 0; i < doc.nodes().size(); ++i)
            if (doc.nodes()[i].name() == name && !doc.nodes()[i].deleted())
                return static_cast<int>(i);
        return kNoIndex;
    }

    test::DeterministicEnvironment env;
    test::ScopedCoreTexts texts;
    test::TempDir dir;
    std::filesystem::path path;
    WalletDocument doc;
};

TEST(DocumentCreate, Results) {
    test::DeterministicEnvironment env;
    test::TempDir dir;
    test::write_file_bytes(dir / "existing.ks5", {1, 2, 3});
    struct Case {
        std::string what;
        std::filesystem::path path;
        std::optional<std::u16string> password;
        CreateResult expected;
    };
    const std::vector<Case> cases = {
        {"path of five characters", "a.ks5", u"secret", CreateResult::BadPath},
        {"no password", dir / "a.ks5", std::nullopt, CreateResult::NoPassword},
        {"two characters", dir / "b.ks5", u"ab", CreateResult::BadPasswordLength},
        {"24 characters", dir / "c.ks5", std::u16string(24, u'p'), CreateResult::BadPasswordLength},
        {"23 characters", dir / "d.ks5", std::u16string(23, u'p'), CreateResult::Created},
        {"existing file", dir / "existing.ks5", u"secret", CreateResult::Exists},
        {"missing folder", dir / "no" / "e.ks5", u"secret", CreateResult::CannotCreate},
    };
    for (const Case& c : cases) {
        WalletDocument doc;
        auto password = c.password ? std::optional<std::u16string_view>(*c.password) : std::nullopt;
        EXPECT_EQ(doc.create(c.path, password, std::nullopt, false), c.expected) << c.what;
        EXPECT_FALSE(doc.is_open()) << c.what;
    }
    EXPECT_EQ(test::read_file_bytes(dir / "existing.ks5"), (Bytes{1, 2, 3}));
    // Without the sample folder: the blocks and one My Forms record.
    EXPECT_EQ(std::filesystem::file_size(dir / "d.ks5"), format::kFirstNodeOffset + 748);
    struct stat st {};
    ASSERT_EQ(stat((dir / "d.ks5").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST_F(DocumentTest, NewWalletContents) {
    ASSERT_EQ(doc.nodes().size(), 2u);
    EXPECT_EQ(doc.kind_of(0), 2);
    EXPECT_EQ(doc.nodes()[0].icon(), kSampleFolderIcon);
    EXPECT_EQ(doc.kind_of(1), 3);
    EXPECT_EQ(doc.my_forms_index(), 1);
    EXPECT_EQ(doc.my_forms_folder()->icon(), kMyFormsIcon);
    EXPECT_EQ(doc.kind_of(kFavouritesEntry), 100);
    EXPECT_EQ(doc.kind_of(kSearchResultsEntry), 200);
    EXPECT_EQ(doc.kind_of(kThirdEntry), 300);
    EXPECT_EQ(doc.kind_of(99), 0);
    EXPECT_EQ(get_hint(doc.info()), u"hint");
}

TEST_F(DocumentTest, OpenChecksThePassword) {
    doc.close();
    EXPECT_EQ(doc.open(path, std::nullopt, true), OpenResult::WrongPassword);
    EXPECT_EQ(doc.open(path, u"Secret", true), OpenResult::WrongPassword);
    EXPECT_EQ(doc.open(path, u"secret", true), OpenResult::Opened);
    EXPECT_TRUE(doc.read_only());
    EXPECT_EQ(add_folder(u"refused"), kNoIndex);
}

TEST_F(DocumentTest, StoreUpdateAndLoadCards) {
    const int bank = add_folder(u"Bank");
    const int visa = add_card(u"Visa", bank, {{u"Number", u"4111"}});
    ASSERT_GE(visa, 0);
    EXPECT_EQ(doc.parent_folder_index_of(visa), bank);
    EXPECT_EQ(doc.parent_of(visa), doc.node(bank));

    auto card = doc.load_card(visa);
    ASSERT_TRUE(card);
    EXPECT_EQ(card->fields()[0].value(), u"4111");
    card->field(0).set_value(u"5500");
    const auto size_before = std::filesystem::file_size(path);
    EXPECT_EQ(doc.update_card(*card), visa);
    EXPECT_EQ(std::filesystem::file_size(path), size_before);  // cut out and appended
    reload();
    EXPECT_EQ(doc.load_card(index_named(u"Visa"))->fields()[0].value(), u"5500");
}

TEST_F(DocumentTest, CrashBetweenAppendAndCutKeepsTheLaterVersion) {
    const int folder = add_folder(u"Old name");
    TreeNode later = *doc.node(folder);
    later.set_name(u"New name");
    // What an update leaves when it stops after appending: both records.
    ASSERT_GE(doc.store_folder(later), 0);
    reload();
    EXPECT_EQ(index_named(u"Old name"), kNoIndex);
    EXPECT_NE(index_named(u"New name"), kNoIndex);
    EXPECT_EQ(doc.nodes().size(), 3u);
}

TEST_F(DocumentTest, RenameMoveAndCycles) {
    const int a = add_folder(u"A");
    const int b = add_folder(u"B", a);
    const int card = add_card(u"Card", kNoIndex);
    const auto size = std::filesystem::file_size(path);
    EXPECT_TRUE(doc.rename(card, u"Renamed"));
    EXPECT_TRUE(doc.move(card, b));
    EXPECT_FALSE(doc.move(a, b)) << "a folder cannot go below itself";
    EXPECT_FALSE(doc.move(a, a));
    EXPECT_FALSE(doc.move(a, card)) << "a card holds nothing";
    EXPECT_FALSE(doc.move(doc.my_forms_index(), a));
    EXPECT_TRUE(doc.move(b, kNoIndex));
    EXPECT_EQ(std::filesystem::file_size(path), size) << "headers are rewritten in place";
    EXPECT_TRUE(doc.rename(kSearchResultsEntry, u"Found"));
    reload();
    const int renamed = index_named(u"Renamed");
    ASSERT_NE(renamed, kNoIndex);
    EXPECT_EQ(doc.parent_folder_index_of(renamed), index_named(u"B"));
    EXPECT_EQ(doc.parent_folder_index_of(index_named(u"B")), kNoIndex);
    EXPECT_EQ(get_caption(doc.info(), 2).text, u"Found");
}

// A header can record an icon image while its icon number is not −1 (files written elsewhere).
// A change rewritten in place keeps that image, so that the record keeps its length and the
// records after it stay where they are.
TEST_F(DocumentTest, InPlaceChangesKeepAnImageTheIconNumberDoesNotUse) {
    struct Case {
        std::string what;
        std::u16string item;
        std::function<bool(WalletDocument&, int item, int target)> change;
    };
    const auto rename = [](WalletDocument& d, int item, int) { return d.rename(item, u"New"); };
    const auto move = [](WalletDocument& d, int item, int target) { return d.move(item, target); };
    const std::vector<Case> cases = {
        {"card renamed", u"Pictured card", rename},
        {"card moved", u"Pictured card", move},
        {"folder renamed", u"Pictured folder", rename},
        {"folder moved", u"Pictured folder", move},
        {"folder's default form set", u"Pictured folder",
         [](WalletDocument& d, int item, int) {
             TreeNode changed = *d.node(item);
             changed.set_default_form(new_node_id());
             return d.rewrite_node(changed);
         }},
    };
    const Bytes image(37, 0x5C);
    for (size_t i = 0; i < cases.size(); ++i) {
        const Case& c = cases[i];
        doc.close();
        path = dir / ("pictured" + std::to_string(i) + ".ks5");
        ASSERT_EQ(doc.create(path, u"secret", std::nullopt, false), CreateResult::Created);
        ASSERT_EQ(doc.load(path, u"secret"), OpenResult::Opened);
        add_folder(u"Target");
        TreeNode folder = doc.new_folder({});
        folder.set_name(u"Pictured folder");
        ASSERT_TRUE(folder.set_icon_image(image));
        ASSERT_GE(doc.store_folder(folder), 0);
        Card card = doc.new_card({});
        card.node()->set_name(u"Pictured card");
        ASSERT_TRUE(card.node()->set_icon_image(image));
        FieldRecord field;
        field.set_label(u"PIN");
        field.set_value(u"1234");
        card.insert_field(field);
        ASSERT_GE(doc.store_card(card), 0);
        add_card(u"After", kNoIndex, {{u"User", u"me"}});
        doc.close();
        test::set_stored_icon_number(path, folder.id(), 7);
        test::set_stored_icon_number(path, card.node()->id(), 7);
        ASSERT_EQ(doc.load(path, u"secret"), OpenResult::Opened);
        const auto size = std::filesystem::file_size(path);

        ASSERT_TRUE(c.change(doc, index_named(c.item), index_named(u"Target"))) << c.what;
        EXPECT_EQ(std::filesystem::file_size(path), size) << c.what;
        doc.close();
        ASSERT_EQ(doc.load(path, u"secret"), OpenResult::Opened) << c.what;
        const NodeId changed = c.item == u"Pictured card" ? card.node()->id() : folder.id();
        const TreeNode* stored = doc.node(doc.list_index_of(changed));
        ASSERT_TRUE(stored) << c.what;
        EXPECT_EQ(stored->icon(), 7) << c.what;
        EXPECT_EQ(stored->icon_image().size(), stored->header().icon_image_length()) << c.what;
        EXPECT_EQ(Bytes(stored->icon_image_unpadded().begin(), stored->icon_image_unpadded().end()),
                  image)
            << c.what;
        EXPECT_EQ(doc.load_card(card.node()->id())->fields()[0].value(), u"1234") << c.what;
        EXPECT_EQ(doc.load_card(index_named(u"After"))->fields()[0].value(), u"me") << c.what;
    }
}

// The leading blocks that changed are written, and only those: the info block keeps its random
// values when only the settings changed, and a change is saved whether or not it marked its block.
TEST_F(DocumentTest, SavingWritesOnlyTheBlocksThatChanged) {
    const NodeId card = doc.node(add_card(u"Card", kNoIndex))->id();
    struct Case {
        std::string what;
        std::function<void()> change;
        bool info_written;
        bool settings_written;
    };
    const std::vector<Case> cases = {
        {"nothing", [] {}, false, false},
        {"a favourite", [&] { doc.add_favourite(card); }, false, true},
        {"a settings value",
         [&] { doc.settings().set_value(format::settings::kTreeColour, 0x123456); }, false, true},
        {"the hint", [&] { set_hint(doc.info(), u"new hint"); }, true, false},
        {"a caption and a favourite",
         [&] {
             set_caption(doc.info(), 3, u"Third", -1);
             doc.remove_favourite(card);
         },
         true, true},
    };
    const auto block = [](const Bytes& file, size_t offset, size_t size) {
        return Bytes(file.begin() + static_cast<ptrdiff_t>(offset),
                     file.begin() + static_cast<ptrdiff_t>(offset + size));
    };
    namespace f = format;
    for (const Case& c : cases) {
        const Bytes before = test::read_file_bytes(path);
        c.change();
        ASSERT_EQ(doc.save_blocks(), SaveResult::Saved) << c.what;
        const Bytes after = test::read_file_bytes(path);
        EXPECT_EQ(block(after, 0, f::kHeaderSize), block(before, 0, f::kHeaderSize)) << c.what;
        EXPECT_EQ(block(after, f::kInfoBlockOffset, f::kInfoBlockSize) !=
                      block(before, f::kInfoBlockOffset, f::kInfoBlockSize),
                  c.info_written)
            << c.what;
        for (size_t random : {f::info::kRandom1, f::info::kRandom2})
            EXPECT_EQ(get_u32(after, f::kInfoBlockOffset + random) !=
                          get_u32(before, f::kInfoBlockOffset + random),
                      c.info_written)
                << c.what << ": random value at " << random;
        EXPECT_EQ(block(after, f::kSettingsBlockOffset, f::kSettingsBlockSize) !=
                      block(before, f::kSettingsBlockOffset, f::kSettingsBlockSize),
                  c.settings_written)
            << c.what;
        const auto nodes = static_cast<ptrdiff_t>(f::kFirstNodeOffset);
        EXPECT_EQ(Bytes(after.begin() + nodes, after.end()),
                  Bytes(before.begin() + nodes, before.end()))
            << c.what;
    }
    reload();
    EXPECT_EQ(doc.settings().value(format::settings::kTreeColour), 0x123456u);
    EXPECT_EQ(get_hint(doc.info()), u"new hint");
    EXPECT_EQ(get_caption(doc.info(), 3).text, u"Third");
    EXPECT_EQ(doc.favourites_count(), 0u);
}

TEST_F(DocumentTest, CopyCardToFolder) {
    const int folder = add_folder(u"Target");
    const int source = add_card(u"Mail", kNoIndex, {{u"User", u"me"}});
    const int copy = doc.copy_card_to_folder(source, folder);
    ASSERT_GE(copy, 0);
    const TreeNode& c = *doc.node(copy);
    EXPECT_EQ(c.name(), u"Mail*");
    EXPECT_NE(c.id(), doc.node(source)->id());
    EXPECT_EQ(c.parent(), doc.node(folder)->id());
    EXPECT_EQ(doc.node(source)->name(), u"Mail");
    EXPECT_EQ(doc.load_card(copy)->fields()[0].value(), u"me");
    EXPECT_EQ(doc.copy_card_to_folder(source, source), kNoIndex);
    EXPECT_EQ(doc.copy_card_to_folder(folder, folder), kNoIndex);

    const int long_name = add_card(std::u16string(255, u'n'), kNoIndex);
    EXPECT_EQ(doc.node(doc.copy_card_to_folder(long_name, folder))->name(),
              std::u16string(254, u'n') + u"*");
}

TEST_F(DocumentTest, SaveToMyFormsAndNewCardFromIt) {
    Card card = doc.new_card({});
    card.node()->set_name(u"Bank");
    FieldRecord list;
    list.set_kind(12);
    list.set_label(u"Type");
    list.add_list_item(u"Savings");
    list.set_value(u"Savings");
    card.insert_field(list);
    FieldRecord date;
    date.set_kind(8);
    date.set_label(u"Opened");
    date.set_date(DateTime{2001, 1, 1, 1});
    card.insert_field(date);
    ASSERT_TRUE(card.picture().set_from_bytes(Bytes{1, 2, 3}, u"logo.bmp", std::nullopt));
    const int source = doc.store_card(card);

    const int form = doc.save_to_my_forms(source);
    ASSERT_GE(form, 0);
    EXPECT_EQ(doc.node(form)->parent(), doc.my_forms_folder()->id());
    EXPECT_EQ(doc.node(form)->name(), u"Bank");
    auto saved = doc.load_card(form);
    ASSERT_EQ(saved->fields().size(), 2u);
    EXPECT_EQ(saved->fields()[0].label(), u"Type");
    EXPECT_EQ(saved->fields()[0].kind(), 12);
    EXPECT_EQ(saved->fields()[0].list(), (std::vector<std::u16string>{u"Savings"}));
    EXPECT_EQ(saved->fields()[0].value(), u"");
    EXPECT_TRUE(saved->fields()[1].date().is_zero());
    EXPECT_TRUE(saved->picture().has_data());

    auto made = doc.new_card_from_my_forms({}, doc.node(form)->id());
    ASSERT_TRUE(made);
    EXPECT_EQ(made->node()->name(), u"Bank*");
    EXPECT_NE(made->node()->id(), doc.node(form)->id());
    EXPECT_FALSE(doc.new_card_from_my_forms({}, doc.node(source)->id())) << "not in My Forms";
    EXPECT_EQ(doc.save_to_my_forms(doc.my_forms_index()), kNoIndex);
}

TEST_F(DocumentTest, DeleteKeepsADeletedHeader) {
    const int card = add_card(u"Fav", kNoIndex, {{u"a", u"b"}});
    const NodeId id = doc.node(card)->id();
    ASSERT_TRUE(doc.add_favourite(id));
    EXPECT_TRUE(doc.is_favourite(id));
    const auto size = std::filesystem::file_size(path);
    const uint32_t payload = doc.node(card)->header().payload_length();
    ASSERT_TRUE(doc.remove(card));
    EXPECT_FALSE(doc.is_favourite(id));
    EXPECT_TRUE(doc.node(card)->deleted());
    EXPECT_EQ(std::filesystem::file_size(path), size - payload);
    EXPECT_FALSE(doc.remove(doc.my_forms_index()));
    EXPECT_FALSE(doc.load_card(id));

    reload();
    EXPECT_EQ(doc.list_index_of(id), kNoIndex);
    EXPECT_FALSE(doc.is_favourite(id));
    File f = File::open(path, FileMode::ReadOnly);
    auto loc = find_node_record(f, id, RecordFilter::Any);
    ASSERT_TRUE(loc);
    EXPECT_TRUE(loc->header.deleted());
    EXPECT_EQ(loc->payload_length, 0u);
}

TEST_F(DocumentTest, Favourites) {
    std::vector<NodeId> ids;
    for (int i = 0; i < 33; ++i) ids.push_back(new_node_id());
    for (int i = 0; i < 32; ++i) ASSERT_TRUE(doc.add_favourite(ids[static_cast<size_t>(i)]));
    EXPECT_FALSE(doc.add_favourite(ids[32]));
    EXPECT_EQ(doc.favourites_count(), 32u);
    doc.remove_favourite(ids[3]);
    EXPECT_EQ(doc.favourites()[3], ids[4]) << "later slots move down";
    EXPECT_TRUE(doc.settings().flags() & format::settings::kFlagFavouritesChanged);
    reload();
    EXPECT_EQ(doc.favourites_count(), 31u);
}

TEST_F(DocumentTest, ChangePassword) {
    add_card(u"Secret card", kNoIndex, {{u"PIN", u"1234"}});
    const auto size = std::filesystem::file_size(path);
    EXPECT_FALSE(doc.change_password(u"wrong", u"newpass", std::nullopt));
    EXPECT_FALSE(doc.change_password(u"secret", u"no", std::nullopt));
    ASSERT_TRUE(doc.change_password(u"secret", u"newpass", u"new hint"));
    EXPECT_EQ(std::filesystem::file_size(path), size);
    EXPECT_EQ(doc.node(index_named(u"Secret card"))->name(), u"Secret card");
    // Files beside the wallet are gone.
    size_t files = 0;
    for ([[maybe_unused]] auto& e : std::filesystem::directory_iterator(dir.path())) ++files;
    EXPECT_EQ(files, 1u);

    doc.close();
    EXPECT_EQ(doc.load(path, u"secret"), OpenResult::WrongPassword);
    reload(u"newpass");
    EXPECT_EQ(get_hint(doc.info()), u"new hint");
    auto card = doc.load_card(index_named(u"Secret card"));
    ASSERT_TRUE(card);
    EXPECT_EQ(card->fields()[0].value(), u"1234");
    EXPECT_GE(add_folder(u"After"), 0) << "the wallet stays writable and locked";
    WalletDocument second;
    EXPECT_EQ(second.open(path, u"newpass", false), OpenResult::Locked);
}

TEST_F(DocumentTest, ChangePasswordFailureLeavesTheOldWallet) {
    add_card(u"Card", kNoIndex, {{u"a", u"b"}});
    // A damaged record makes the re-enciphering stop before anything is replaced.
    File raw = File::open(path, FileMode::ReadWrite);
    const uint64_t size = *raw.size();
    Bytes junk(100, 0x41);
    raw.write_at(size, junk);
    const Bytes before = test::read_file_bytes(path);
    EXPECT_FALSE(doc.change_password(u"secret", u"newpass", std::nullopt));
    EXPECT_EQ(test::read_file_bytes(path), before);
    doc.close();
    WalletDocument again;
    EXPECT_EQ(again.open(path, u"secret", true), OpenResult::Opened);
}

// A wallet opened through a symbolic link: the password change replaces the file the link leads
// to, built beside that file, and the link stays, wherever it stands and however it names its
// target. Later changes reach the same file.
TEST_F(DocumentTest, ChangePasswordThroughASymbolicLink) {
    doc.close();
    const auto real = dir / "real";
    const auto links = dir / "links";
    struct Case {
        std::string what;
        std::vector<std::pair<std::filesystem::path, std::filesystem::path>> links;  // link, text
        std::vector<std::string> in_real;
        std::vector<std::string> in_links;
    };
    const std::vector<Case> cases = {
        {"beside the wallet", {{real / "link.ks5", "wallet.ks5"}}, {"link.ks5", "wallet.ks5"}, {}},
        {"in another folder",
         {{links / "link.ks5", real / "wallet.ks5"}},
         {"wallet.ks5"},
         {"link.ks5"}},
        {"relative, in another folder",
         {{links / "link.ks5", "../real/wallet.ks5"}},
         {"wallet.ks5"},
         {"link.ks5"}},
        {"to another link",
         {{links / "first.ks5", "../real/wallet.ks5"}, {links / "second.ks5", "first.ks5"}},
         {"wallet.ks5"},
         {"first.ks5", "second.ks5"}},
    };
    for (const Case& c : cases) {
        std::filesystem::remove_all(real);
        std::filesystem::remove_all(links);
        std::filesystem::create_directories(real);
        std::filesystem::create_directories(links);
        path = real / "wallet.ks5";
        ASSERT_EQ(doc.create(path, u"secret", std::nullopt, false), CreateResult::Created);
        for (const auto& [link, text] : c.links) std::filesystem::create_symlink(text, link);
        const auto opened = c.links.back().first;
        ASSERT_EQ(doc.load(opened, u"secret"), OpenResult::Opened) << c.what;
        add_card(u"Card", kNoIndex, {{u"PIN", u"1234"}});

        ASSERT_TRUE(doc.change_password(u"secret", u"newpass", std::nullopt)) << c.what;
        EXPECT_GE(add_folder(u"After"), 0) << c.what;
        doc.close();
        for (const auto& [link, text] : c.links) {
            EXPECT_TRUE(std::filesystem::is_symlink(link)) << c.what;
            EXPECT_EQ(std::filesystem::read_symlink(link), text) << c.what;
        }
        EXPECT_EQ(test::file_names(real), c.in_real) << c.what;
        EXPECT_EQ(test::file_names(links), c.in_links) << c.what;
        EXPECT_EQ(doc.open(path, u"secret", true), OpenResult::WrongPassword) << c.what;
        ASSERT_EQ(doc.load(path, u"newpass"), OpenResult::Opened) << c.what;
        EXPECT_NE(index_named(u"After"), kNoIndex) << c.what;
        EXPECT_EQ(doc.load_card(index_named(u"Card"))->fields()[0].value(), u"1234") << c.what;
        doc.close();
    }
}

// After a password change the open file goes by the wallet's name: a journaled change that stops
// part-way leaves its journal where the next opening finds it, not beside a name that is gone.
TEST_F(DocumentTest, JournaledChangeAfterAPasswordChangeIsFoundAtTheNextOpen) {
    add_card(u"Card", kNoIndex, {{u"PIN", u"1234"}});
    doc.close();
    const Bytes start = test::read_file_bytes(path);
    for (uint64_t k = 1;; ++k) {
        test::write_file_bytes(path, start);
        ASSERT_EQ(doc.load(path, u"secret"), OpenResult::Opened);
        ASSERT_TRUE(doc.change_password(u"secret", u"newpass", std::nullopt));
        bool renamed = false;
        {
            test::ArmedFault fault(FaultPlan{k, FaultKind::Stop, EIO});
            renamed = doc.rename(index_named(u"Card"), u"Renamed");
        }
        doc.close();
        ASSERT_EQ(doc.load(path, u"newpass"), OpenResult::Opened) << "stopped at change " << k;
        EXPECT_EQ(test::file_names(dir.path()), std::vector<std::string>{"wallet.ks5"})
            << "stopped at change " << k;
        EXPECT_TRUE(index_named(u"Renamed") != kNoIndex ||
                    (!renamed && index_named(u"Card") != kNoIndex))
            << "stopped at change " << k;
        doc.close();
        if (renamed) break;
    }
}

TEST_F(DocumentTest, DamagedWalksGiveDamaged) {
    add_card(u"Card", kNoIndex, {{u"a", u"b"}});
    doc.close();
    const Bytes good = test::read_file_bytes(path);
    struct Case {
        std::string what;
        size_t keep;
        OpenResult expected;
    };
    const std::vector<Case> cases = {
        {"last payload cut short", good.size() - 3, OpenResult::Damaged},
        {"a header cut short", format::kFirstNodeOffset + 2 * 748 + 10, OpenResult::Damaged},
        {"blocks only", format::kFirstNodeOffset, OpenResult::Opened},
    };
    for (const Case& c : cases) {
        test::write_file_bytes(path,
                               Bytes(good.begin(), good.begin() + static_cast<ptrdiff_t>(c.keep)));
        EXPECT_EQ(doc.load(path, u"secret"), c.expected) << c.what;
        EXPECT_EQ(doc.is_open(), c.expected == OpenResult::Opened) << c.what;
        doc.close();
    }
    Bytes unknown = good;
    unknown[format::kFirstNodeOffset] ^= 1;
    test::write_file_bytes(path, unknown);
    EXPECT_EQ(doc.load(path, u"secret"), OpenResult::Damaged);

    test::ScriptedPrompt prompt({PromptAnswer::Yes, PromptAnswer::Ok, PromptAnswer::Ok});
    test::write_file_bytes(path, Bytes(good.begin(), good.end() - 3));
    EXPECT_EQ(doc.repair(path, u"secret", prompt).status, RepairStatus::Done);
    EXPECT_EQ(doc.load(path, u"secret"), OpenResult::Opened);
}

TEST_F(DocumentTest, CloseWipesKeys) {
    const KeyContext* key = &doc.record_key();
    doc.close();
    EXPECT_FALSE(key->valid());
    EXPECT_TRUE(doc.nodes().empty());
    EXPECT_TRUE(all_zero(doc.info().bytes.span()));
}

TEST_F(DocumentTest, NoPasswordWalletOpensAndGetsOne) {
    doc.close();
    WalletStorage s;
    test::create_wallet(s, dir / "open.ks5", std::nullopt);
    TreeNode forms = test::make_folder(s, u"My Forms", {}, NodeKind::MyForms);
    test::append_node(s, forms);
    s.close();
    ASSERT_EQ(doc.load(dir / "open.ks5", std::nullopt), OpenResult::Opened);
    ASSERT_TRUE(doc.change_password(std::nullopt, u"now set", std::nullopt));
    doc.close();
    EXPECT_EQ(doc.open(dir / "open.ks5", std::nullopt, true), OpenResult::WrongPassword);
    EXPECT_EQ(doc.open(dir / "open.ks5", u"now set", true), OpenResult::Opened);
}

// Interrupted changes ---------------------------------------------------------------------

// Removes the card named `name` from the wallet at `path` (a change through the journal).
void remove_card(const fs::path& path, std::u16string_view name) {
    WalletDocument d;
    if (d.load(path, u"secret") == OpenResult::Opened) d.remove(index_in(d, name));
}

// Removes the card `name` through `open_as` (the wallet `real`, or a link to it) and stops once
// the removal's journal is whole; the wallet is put back as it was before each try.
bool stop_removal_after_journal(const fs::path& real, const fs::path& open_as,
                                std::u16string_view name) {
    const Bytes start = test::read_file_bytes(real);
    return test::interrupt_once_decided(
        real,
        [&] {
            fs::remove(with_suffix(real, ".cut"));
            test::write_file_bytes(real, start);
        },
        [&] { remove_card(open_as, name); });
}

// A delete stopped once its journal is whole: a reader is told that a change was interrupted
// (not that the wallet is damaged) and the next writer finishes it.
TEST_F(DocumentTest, AnInterruptedChangeIsNamedToReadersAndFinishedByTheNextWriter) {
    add_card(u"Gone", kNoIndex, {{u"PIN", u"1234"}});
    add_card(u"Kept", kNoIndex, {{u"PIN", u"5678"}});
    doc.close();
    ASSERT_TRUE(stop_removal_after_journal(path, path, u"Gone"));

    WalletDocument reader;
    EXPECT_EQ(reader.open(path, std::nullopt, true), OpenResult::ChangeInterrupted);
    EXPECT_EQ(reader.load(path, u"secret", true), OpenResult::ChangeInterrupted);
    EXPECT_FALSE(reader.is_open());
    ASSERT_EQ(doc.load(path, u"secret"), OpenResult::Opened);
    EXPECT_EQ(index_named(u"Gone"), kNoIndex);
    EXPECT_EQ(doc.load_card(index_named(u"Kept"))->fields()[0].value(), u"5678");
    doc.close();
    EXPECT_EQ(reader.load(path, u"secret", true), OpenResult::Opened);
    EXPECT_FALSE(fs::exists(with_suffix(path, ".cut")));
}

// Deleting a card before a large one journals one segment of the rest of the file at a time,
// not all of it.
TEST_F(DocumentTest, DeletingNeedsRoomForOneSegmentOnly) {
    add_card(u"Small", kNoIndex, {{u"PIN", u"1234"}});
    Card big = doc.new_card({});
    big.node()->set_name(u"Big");
    FileAttachment scan;
    scan.set_from_bytes(Bytes(2 * kJournalSegment + 1000, 0x3C), u"scan.bin", std::nullopt);
    big.add_file(scan);
    ASSERT_GE(doc.store_card(big), 0);
    doc.close();
    // The journal is largest once its first segment is committed.
    ASSERT_TRUE(stop_removal_after_journal(path, path, u"Small"));
    EXPECT_LE(fs::file_size(with_suffix(path, ".cut")), kJournalSegment + 2 * 748);
    ASSERT_EQ(doc.load(path, u"secret"), OpenResult::Opened);
    EXPECT_EQ(index_named(u"Small"), kNoIndex);
    auto card = doc.load_card(index_named(u"Big"));
    ASSERT_TRUE(card);
    EXPECT_EQ(card->files()[0].data_view().size(), 2 * kJournalSegment + 1000);
}

// A journal the user did not write for this wallet is never applied: opening for writing says
// so and leaves both files as they are; reading is not hindered.
TEST_F(DocumentTest, AJournalNotWrittenForThisWalletIsLeftAlone) {
    add_card(u"Card", kNoIndex, {{u"PIN", u"1234"}});
    doc.close();
    const Bytes wallet = test::read_file_bytes(path);
    // An earlier-layout journal whose sizes fit: it would cut the wallet down to its blocks.
    Bytes planted(72, 0);
    const char magic[] = "KSCUT2";
    std::copy(magic, magic + 6, planted.begin());
    put_u32(planted, 8, format::kFirstNodeOffset);
    put_u32(planted, 16, static_cast<uint32_t>(wallet.size() - format::kFirstNodeOffset));
    put_u32(planted, 24, static_cast<uint32_t>(wallet.size()));
    const fs::path journal = with_suffix(path, ".cut");
    const fs::path elsewhere = dir / "planted";
    struct Case {
        std::string what;
        std::function<void()> plant;
        bool needs_root;
    };
    const std::vector<Case> cases = {
        {"a link", [&] { fs::create_symlink(elsewhere, journal); }, false},
        {"another user's file",
         [&] {
             test::write_file_bytes(journal, planted);
             ASSERT_EQ(chown(journal.c_str(), kOtherUser, kOtherUser), 0);
         },
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.needs_root && geteuid() != 0) continue;  // only root can give a file away
        fs::remove(journal);
        test::write_file_bytes(elsewhere, planted);
        c.plant();
        EXPECT_EQ(doc.load(path, u"secret"), OpenResult::JournalNotTrusted);
        EXPECT_FALSE(doc.is_open());
        EXPECT_EQ(test::read_file_bytes(path), wallet);
        EXPECT_EQ(test::read_file_bytes(journal), planted);
        EXPECT_EQ(doc.load(path, u"secret", true), OpenResult::Opened);
        EXPECT_NE(index_named(u"Card"), kNoIndex);
        doc.close();
    }
}

// Through a link the wallet's journal lies beside the real file, where an open by any name
// finds it.
TEST(DocumentLinks, TheJournalOfAWalletOpenedThroughALinkLiesBesideTheRealFile) {
    test::DeterministicEnvironment env;
    test::ScopedCoreTexts texts;
    test::TempDir dir;
    fs::create_directory(dir / "real");
    const fs::path real = dir / "real" / "wallet.ks5";
    const fs::path link = dir / "link.ks5";
    WalletDocument doc;
    ASSERT_EQ(doc.create(real, u"secret", std::nullopt, true), CreateResult::Created);
    fs::create_symlink(real, link);
    ASSERT_EQ(doc.load(link, u"secret"), OpenResult::Opened);
    Card card = doc.new_card({});
    card.node()->set_name(u"Gone");
    ASSERT_GE(doc.store_card(card), 0);
    EXPECT_EQ(doc.path(), link);
    doc.close();
    ASSERT_TRUE(stop_removal_after_journal(real, link, u"Gone"));
    EXPECT_FALSE(fs::exists(with_suffix(link, ".cut")));
    ASSERT_EQ(doc.load(real, u"secret"), OpenResult::Opened);
    EXPECT_EQ(index_in(doc, u"Gone"), kNoIndex);
    EXPECT_TRUE(fs::is_symlink(link));
}

// After a password change the wallet's journal still lies beside it, not beside the temporary
// name its new file had.
TEST_F(DocumentTest, AfterAPasswordChangeTheJournalLiesBesideTheWallet) {
    add_card(u"Gone", kNoIndex, {{u"PIN", u"1234"}});
    reload();
    const Bytes start = test::read_file_bytes(path);
    ASSERT_TRUE(test::interrupt_once_decided(
        path,
        [&] {
            doc.close();
            for (const auto& entry : fs::directory_iterator(dir.path()))
                if (entry.path() != path) fs::remove(entry.path());
            test::write_file_bytes(path, start);
            ASSERT_EQ(doc.load(path, u"secret"), OpenResult::Opened);
            ASSERT_TRUE(doc.change_password(u"secret", u"changed", std::nullopt));
        },
        [&] { doc.remove(index_named(u"Gone")); }));
    doc.close();
    ASSERT_EQ(doc.load(path, u"changed"), OpenResult::Opened);
    EXPECT_EQ(index_named(u"Gone"), kNoIndex);
}

// Leftovers -------------------------------------------------------------------------------

// What a killed password change or conversion leaves beside the wallet is removed by its next
// writable open; nothing else is, nor a copy that another process still holds.
TEST_F(DocumentTest, AWritableOpenRemovesOnlyItsOwnStaleTemporaryFiles) {
    doc.close();
    const Bytes copy = test::read_file_bytes(path);
    enum class Make { File, Link, Folder, OtherUsers, SecondName, Locked };
    struct Sibling {
        std::string name;
        Make make;
        bool removed;
    };
    const std::vector<Sibling> siblings = {
        {"wallet.ks5.0123abcd.tmp", Make::File, true},
        {"wallet.ks5.0123abcd.tmp.cut", Make::File, true},
        {"wallet.ks5.89abcdef.tmp.cut", Make::File, true},
        {"wallet.ks5.fedcba98.tmp", Make::Locked, false},
        {"wallet.ks5.fedcba98.tmp.cut", Make::File, false},  // its copy is in use
        {"wallet.ks5.ABCDEF01.tmp", Make::File, false},
        {"wallet.ks5.0123abc.tmp", Make::File, false},
        {"wallet.ks5.0123abcd.tmp.bak", Make::File, false},
        {"wallet.ks5.0123abcd.tmpx", Make::File, false},
        {"other.ks5.0123abcd.tmp", Make::File, false},
        {"wallet.ks5.11111111.tmp", Make::Link, false},
        {"wallet.ks5.22222222.tmp", Make::Folder, false},
        {"wallet.ks5.33333333.tmp", Make::OtherUsers, false},
        {"wallet.ks5.44444444.tmp", Make::SecondName, false},
    };
    const bool root = geteuid() == 0;
    std::vector<File> held;
    for (const Sibling& s : siblings) {
        const fs::path p = dir / s.name;
        switch (s.make) {
            case Make::Link:
                test::write_file_bytes(dir / "target", copy);
                fs::create_symlink(dir / "target", p);
                break;
            case Make::Folder:
                fs::create_directory(p);
                break;
            case Make::File:
            case Make::OtherUsers:
            case Make::SecondName:
            case Make::Locked:
                test::write_file_bytes(p, copy);
                break;
        }
        if (s.make == Make::OtherUsers && root) {
            EXPECT_EQ(chown(p.c_str(), kOtherUser, kOtherUser), 0);
        }
        if (s.make == Make::SecondName) fs::create_hard_link(p, dir / "second name");
        if (s.make == Make::Locked) {
            held.push_back(File::open(p, FileMode::ReadOnly));
            ASSERT_TRUE(held.back().try_lock_exclusive());
        }
    }
    ASSERT_EQ(doc.open(path, u"secret", true), OpenResult::Opened);
    doc.close();
    for (const Sibling& s : siblings)
        EXPECT_TRUE(fs::exists(fs::symlink_status(dir / s.name))) << s.name << ": read only";

    ASSERT_EQ(doc.load(path, u"secret"), OpenResult::Opened);
    for (const Sibling& s : siblings) {
        if (s.make == Make::OtherUsers && !root) continue;  // then it is the user's own
        EXPECT_EQ(!fs::exists(fs::symlink_status(dir / s.name)), s.removed) << s.name;
    }
    EXPECT_EQ(test::read_file_bytes(dir / "target"), copy);
    EXPECT_TRUE(fs::exists(dir / "second name"));
}

}  // namespace
}  // namespace ks
