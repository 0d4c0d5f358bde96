// The sample wallet: it opens with its password, holds the folders, cards, favourite and user
// form it is meant to, reads back the values it was given, and is the same bytes on every run.
#include "resources/sample_wallet.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "core/keys.h"
#include "core/wallet_document.h"
#include "platform/clock.h"
#include "platform/string_table.h"
#include "platform/text.h"
#include "platform/texts.h"
#include "support/list_order.h"
#include "support/test_support.h"

namespace ks {
namespace {

StringTable english() {
    auto parsed = load_string_table(std::filesystem::path(KEYSTASH_LANGUAGE_DIR) /
                                    language_module_name(0x409));
    EXPECT_FALSE(parsed.error) << parsed.error->line << ": " << parsed.error->message;
    return parsed.table.value_or(StringTable{});
}

// The child of `parent` (kNoIndex: the top level) with this name, or kNoIndex.
int child_named(const WalletDocument& doc, int parent, std::u16string_view name) {
    for (int index : test::children_in_list_order(doc, parent))
        if (doc.node(index)->name() == name) return index;
    return kNoIndex;
}

std::vector<std::u16string> child_names(const WalletDocument& doc, int parent) {
    std::vector<std::u16string> names;
    for (int index : test::children_in_list_order(doc, parent))
        names.push_back(doc.node(index)->name());
    return names;
}

const FieldRecord* field_labelled(const Card& card, std::u16string_view label) {
    for (const FieldRecord& field : card.fields())
        if (field.label() == label) return &field;
    return nullptr;
}

class SampleWalletTest : public ::testing::Test {
  protected:
    SampleWalletTest() : table_(english()), texts_(&table_) {}

    std::filesystem::path written(const std::string& name = "Sample Wallet.ks5") {
        const std::filesystem::path path = dir_ / name;
        std::string error;
        EXPECT_TRUE(write_sample_wallet(path, &error)) << error;
        return path;
    }

    // Loads a freshly written sample.
    void load(WalletDocument& doc) {
        ASSERT_EQ(doc.load(written(), kSamplePassword), OpenResult::Opened);
    }

    std::optional<Card> card(WalletDocument& doc, std::u16string_view folder,
                             std::u16string_view name) {
        const int index = child_named(doc, child_named(doc, kNoIndex, folder), name);
        EXPECT_NE(index, kNoIndex) << to_utf8(folder) << "/" << to_utf8(name);
        return doc.load_card(index);
    }

    StringTable table_;
    ScopedTextSource texts_;
    test::TempDir dir_;
};

TEST_F(SampleWalletTest, OpensWithItsPasswordOnly) {
    const std::filesystem::path path = written();
    const std::pair<std::u16string, OpenResult> cases[] = {
        {u"keystash", OpenResult::Opened},
        {u"Keystash", OpenResult::WrongPassword},
        {u"keystash ", OpenResult::WrongPassword},
        {u"password", OpenResult::WrongPassword},
    };
    for (const auto& [password, expected] : cases) {
        WalletDocument doc;
        EXPECT_EQ(doc.load(path, password), expected) << to_utf8(password);
    }
    WalletDocument doc;
    ASSERT_EQ(doc.load(path, kSamplePassword), OpenResult::Opened);
    EXPECT_EQ(get_hint(doc.info()), u"the program's name");
}

TEST_F(SampleWalletTest, TopLevelHoldsTheFoldersAndMyForms) {
    WalletDocument doc;
    load(doc);
    const std::vector<std::pair<std::u16string, NodeKind>> expected = {
        {u"Personal", NodeKind::Folder},
        {u"My Forms", NodeKind::MyForms},
        {u"Bank", NodeKind::Folder},
        {u"Web", NodeKind::Folder},
    };
    std::vector<std::pair<std::u16string, NodeKind>> top;
    for (int index : test::children_in_list_order(doc, kNoIndex))
        top.emplace_back(doc.node(index)->name(), doc.node(index)->kind());
    EXPECT_EQ(top, expected);
}

TEST_F(SampleWalletTest, EachFolderHoldsItsCards) {
    WalletDocument doc;
    load(doc);
    const std::pair<std::u16string, std::vector<std::u16string>> cases[] = {
        {u"Personal", {u"Jordan Avery", u"Wedding Anniversary", u"Riverside Library"}},
        {u"Bank", {u"Travel Rewards Card", u"Everyday Checking", u"Safe Deposit Box"}},
        {u"Web", {u"Example Shop", u"Personal E-mail"}},
        {u"My Forms", {u"Library Card"}},
    };
    for (const auto& [folder, cards] : cases) {
        const int index = child_named(doc, kNoIndex, folder);
        ASSERT_NE(index, kNoIndex) << to_utf8(folder);
        EXPECT_EQ(child_names(doc, index), cards) << to_utf8(folder);
        for (int child : test::children_in_list_order(doc, index))
            EXPECT_EQ(doc.node(child)->kind(), NodeKind::Card) << to_utf8(folder);
    }
}

TEST_F(SampleWalletTest, CardsReadBackTheirValues) {
    WalletDocument doc;
    load(doc);
    struct Case {
        std::u16string folder, card, label, value;
    };
    const Case cases[] = {
        {u"Personal", u"Jordan Avery", u"Last Name", u"Avery"},
        {u"Personal", u"Jordan Avery", u"Mobile Phone", u"(212) 555-0187"},
        {u"Personal", u"Jordan Avery", u"E-mail Address", u"jordan.avery@example.com"},
        {u"Personal", u"Riverside Library", u"Membership Number", u"RPL-0048213"},
        {u"Bank", u"Travel Rewards Card", u"Card Number", u"4111 1111 1111 1111"},
        {u"Bank", u"Travel Rewards Card", u"Expiry Date", u"08/29"},
        {u"Bank", u"Travel Rewards Card", u"PIN", u"4821"},
        {u"Bank", u"Travel Rewards Card", u"Billing Address", u""},
        {u"Bank", u"Everyday Checking", u"Account Number", u"000123456789"},
        {u"Bank", u"Safe Deposit Box", u"Box Number", u"117"},
        {u"Web", u"Example Shop", u"Web Site", u"https://shop.example.com"},
        {u"Web", u"Example Shop", u"Password", u"Tulip-Harbor-58"},
        {u"Web", u"Personal E-mail", u"Incoming Mail Server", u"imap.example.com"},
        {u"Web", u"Personal E-mail", u"Outgoing Port", u"587"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(to_utf8(c.card) + ": " + to_utf8(c.label));
        auto loaded = card(doc, c.folder, c.card);
        ASSERT_TRUE(loaded);
        const FieldRecord* field = field_labelled(*loaded, c.label);
        ASSERT_NE(field, nullptr);
        EXPECT_EQ(field->value(), c.value);
    }
}

TEST_F(SampleWalletTest, DateFieldsHoldDates) {
    WalletDocument doc;
    load(doc);
    struct Case {
        std::u16string card, label;
        DateTime date;
    };
    const Case cases[] = {
        {u"Jordan Avery", u"Birthday", {1985, 3, 4, 14, 0, 0, 0, 0}},
        {u"Wedding Anniversary", u"Date", {2019, 6, 6, 22, 0, 0, 0, 0}},
        {u"Riverside Library", u"Renewal Date", {2026, 9, 2, 1, 0, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(to_utf8(c.card));
        auto loaded = card(doc, u"Personal", c.card);
        ASSERT_TRUE(loaded);
        const FieldRecord* field = field_labelled(*loaded, c.label);
        ASSERT_NE(field, nullptr);
        EXPECT_TRUE(is_date_kind(field->kind()));
        EXPECT_EQ(field->date(), c.date);
    }
}

TEST_F(SampleWalletTest, SafeDepositBoxCarriesItsNotes) {
    WalletDocument doc;
    load(doc);
    auto box = card(doc, u"Bank", u"Safe Deposit Box");
    ASSERT_TRUE(box);
    ASSERT_EQ(box->file_count(), 1u);
    const FileAttachment& notes = box->files()[0];
    EXPECT_EQ(notes.name(), u"notes.txt");
    EXPECT_EQ(notes.file_time(), (DateTime{2025, 11, 1, 3, 9, 15, 0, 0}));
    EXPECT_EQ(notes.time_attached(), kSampleTime);
    const std::string text(notes.data_view().begin(), notes.data_view().end());
    EXPECT_EQ(text.rfind("Safe deposit box 117", 0), 0u) << text;
    EXPECT_EQ(text.back(), '\n');
}

TEST_F(SampleWalletTest, ExampleShopIsTheOnlyFavourite) {
    WalletDocument doc;
    load(doc);
    const int shop = child_named(doc, child_named(doc, kNoIndex, u"Web"), u"Example Shop");
    ASSERT_NE(shop, kNoIndex);
    EXPECT_EQ(doc.favourites(), std::vector<NodeId>{doc.node(shop)->id()});
}

TEST_F(SampleWalletTest, LibraryCardFormHasTheLabelsWithoutValues) {
    WalletDocument doc;
    load(doc);
    auto form = doc.load_card(child_named(doc, doc.my_forms_index(), u"Library Card"));
    auto source = card(doc, u"Personal", u"Riverside Library");
    ASSERT_TRUE(form);
    ASSERT_TRUE(source);
    ASSERT_EQ(form->fields().size(), source->fields().size());
    for (size_t i = 0; i < form->fields().size(); ++i) {
        const FieldRecord& field = form->fields()[i];
        EXPECT_EQ(field.label(), source->fields()[i].label()) << i;
        EXPECT_EQ(field.kind(), source->fields()[i].kind()) << i;
        EXPECT_EQ(field.value(), u"") << i;
        EXPECT_TRUE(field.date().is_zero()) << i;
    }
}

TEST_F(SampleWalletTest, EveryRunWritesTheSameBytes) {
    const auto first = test::read_file_bytes(written("first.ks5"));
    const auto second = test::read_file_bytes(written("second.ks5"));
    ASSERT_FALSE(first.empty());
    EXPECT_EQ(first, second);
}

TEST_F(SampleWalletTest, LeavesTheCallersClockAndRandomInPlace) {
    const Clock* clock_before = &clock();
    RandomSource* random_before = &random_source();
    written();
    EXPECT_EQ(&clock(), clock_before);
    EXPECT_EQ(&random_source(), random_before);
}

TEST_F(SampleWalletTest, NeverWritesOverAnExistingFile) {
    const std::filesystem::path path = dir_ / "Sample Wallet.ks5";
    const std::vector<uint8_t> kept = {'k', 'e', 'e', 'p'};
    test::write_file_bytes(path, kept);
    std::string error;
    EXPECT_FALSE(write_sample_wallet(path, &error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(test::read_file_bytes(path), kept);
}

TEST_F(SampleWalletTest, FailureHalfwayLeavesNoFile) {
    // A table whose credit card lacks the "Card Number" label: the wallet is created and
    // partly filled before the card cannot be made.
    StringTable other = table_;
    other.set(31001, u"Number");
    ScopedTextSource texts(&other);
    const std::filesystem::path path = dir_ / "Sample Wallet.ks5";
    std::string error;
    EXPECT_FALSE(write_sample_wallet(path, &error));
    EXPECT_NE(error.find("Card Number"), std::string::npos) << error;
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST_F(SampleWalletTest, RefusesToRunWithoutTexts) {
    ScopedTextSource none(nullptr);
    const std::filesystem::path path = dir_ / "Sample Wallet.ks5";
    std::string error;
    EXPECT_FALSE(write_sample_wallet(path, &error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(std::filesystem::exists(path));
}

}  // namespace
}  // namespace ks
