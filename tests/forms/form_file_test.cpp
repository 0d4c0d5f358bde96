#include "forms/form_file_messages.h"

#include <sys/stat.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/keys.h"
#include "core/stored_text.h"
#include "platform/bytes.h"
#include "platform/locale_format.h"
#include "platform/text.h"
#include "support/test_support.h"
#include "support/wallet_builder.h"

namespace ks {
namespace {

namespace fs = std::filesystem;
namespace ff = form_file;

constexpr size_t kNode = ff::kHeaderSize;                       // node header in the file
constexpr size_t kPayload = kNode + format::node::kHeaderSize;  // without an icon image
constexpr size_t kFirstChunk = kPayload + format::payload::kStyleSize;

const std::vector<uint8_t> kScan = {'s', 'c', 'a', 'n', 0, 1, 2, 3, 4};

std::vector<fs::path> entries_of(const fs::path& folder) {
    std::vector<fs::path> names;
    for (const auto& e : fs::directory_iterator(folder)) names.push_back(e.path().filename());
    return names;
}

class FormFileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(source.create(dir / "source.ks5", u"secret", std::nullopt, true),
                  CreateResult::Created);
        ASSERT_EQ(source.load(dir / "source.ks5", u"secret"), OpenResult::Opened);
        ASSERT_EQ(target.create(target_path, u"another pass", std::nullopt, false),
                  CreateResult::Created);
        ASSERT_EQ(target.load(target_path, u"another pass"), OpenResult::Opened);
    }

    // "Visa" in Personal: one field of each interesting kind and an attached file.
    int store_visa(std::u16string_view name = u"Visa") {
        Card card = source.new_card(source.node(0)->id());
        card.node()->set_name(name);
        auto add = [&](uint16_t kind, std::u16string_view label, std::u16string_view value) {
            FieldRecord f;
            f.set_kind(kind);
            f.set_label(label);
            if (!value.empty()) f.set_value(value);
            card.insert_field(std::move(f));
        };
        add(1, u"Card Number", u"4111 1111 1111 1111");
        add(7, u"PIN", u"4821");
        add(8, u"Expiry", u"");
        card.field(2).set_date(DateTime{2029, 8, 0, 31, 0, 0, 0, 0});
        add(11, u"Network", u"Visa");
        card.field(3).set_list(u"Visa^Mastercard");
        add(13, u"Contactless", u"1");
        FileAttachment scan;
        EXPECT_TRUE(scan.set_from_bytes(kScan, u"scan.bin", test::kFixedTime));
        card.add_file(std::move(scan));
        const int index = source.store_card(card);
        EXPECT_GE(index, 0);
        return index;
    }

    NodeId id_of(int index) const { return source.node(index)->id(); }

    fs::path export_visa(bool keep_values, std::optional<std::u16string_view> author = u"Jane",
                         std::optional<std::u16string_view> description = u"My card") {
        const int index = store_visa();
        FormExportResult r =
            export_form_file(source, id_of(index), dir / "out", keep_values, author, description);
        EXPECT_TRUE(r.written);
        return r.file;
    }

    std::vector<uint8_t> target_bytes() const { return test::read_file_bytes(target_path); }

    test::DeterministicEnvironment env;
    test::MapTextSource texts{{{20001, u"Keystash Pro"},
                               {20203, u"My Forms"},
                               {20204, u"Yes"},
                               {20205, u"No"},
                               {20500, u"Error"},
                               {20504, u"Import"},
                               {20505, u"Export"},
                               {20510, u"Personal"},
                               {22020, u"Written to %s as %s."},
                               {22025, u"Import this form?"},
                               {22026, u"Name:"},
                               {22027, u"Description:"},
                               {22028, u"Author:"},
                               {22029, u"Date:"},
                               {23017, u"The form could not be written."}}};
    ScopedTextSource scope{&texts};
    ScopedLocaleFormats formats{LocaleFormats::en_us()};
    test::TempDir dir;
    WalletDocument source;
    WalletDocument target;
    const fs::path target_path = dir / "target.ks5";
};

TEST(FormFileNameTest, CardNameMadeSafeThenDayMonthFourDigitYear) {
    struct Case {
        std::u16string name;
        DateTime date;
        std::u16string expected;
    };
    const Case cases[] = {
        {u"Visa", test::kFixedTime, u"Visa_05032006.ksx"},
        {u"Bank: Savings/Joint", DateTime{2026, 12, 4, 31, 0, 0, 0, 0},
         u"Bank_ Savings_Joint_31122026.ksx"},
        {u"a*b?c\"d<e>f|g\\h", DateTime{999, 1, 0, 9, 0, 0, 0, 0}, u"a_b_c_d_e_f_g_h_0901999.ksx"},
        {u"", test::kFixedTime, u"_05032006.ksx"},
    };
    for (const Case& c : cases) EXPECT_EQ(form_file_name(c.name, c.date), c.expected);
}

TEST_F(FormFileTest, ExportNamesTheFileAfterTheCardAndTodayInACreatedFolder) {
    const int index = store_visa();
    test::ScriptedPrompt prompt({PromptAnswer::Ok});
    FormExportResult r = export_form_file(source, id_of(index), dir / "forms" / "new", false,
                                          std::nullopt, std::nullopt, &prompt);
    ASSERT_TRUE(r.written);
    EXPECT_EQ(r.file, dir / "forms" / "new" / "Visa_05032006.ksx");
    EXPECT_TRUE(fs::is_regular_file(r.file));
    EXPECT_EQ(entries_of(dir / "forms" / "new").size(), 1u) << "no stray file is left";
    ASSERT_EQ(prompt.asked().size(), 1u);
    const PromptMessage& m = prompt.asked()[0];
    EXPECT_EQ(m.text, u"Written to " + from_utf8((dir / "forms" / "new").string()) +
                          u" as Visa_05032006.ksx.");
    EXPECT_EQ(m.caption, u"Export");
    EXPECT_EQ(m.icon, PromptIcon::Information);
}

TEST_F(FormFileTest, HeaderAndNodeAreLaidOutAsStored) {
    const std::vector<uint8_t> bytes = test::read_file_bytes(export_visa(false));
    ASSERT_GT(bytes.size(), kFirstChunk);
    const std::span<const uint8_t> b(bytes);

    std::vector<uint8_t> signature(64, 0);
    const std::string_view text = "Brightloom\xAE Keystash\xAE Pro Form";
    std::copy(text.begin(), text.end(), signature.begin());
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.begin() + 64), signature);
    EXPECT_EQ(get_u32(b, 64), 1u);
    EXPECT_EQ(utf16le_decode(b.subspan(68, 256)), u"My card");
    EXPECT_TRUE(all_zero(b.subspan(68 + 14, 256 - 14)));
    EXPECT_EQ(utf16le_decode(b.subspan(324, 128)), u"Jane");
    EXPECT_TRUE(all_zero(b.subspan(324 + 8, 128 - 8)));
    EXPECT_EQ(decode_datetime(b.subspan(452, 16)), test::kFixedTime);

    NodeHeader node;
    std::copy_n(bytes.begin() + kNode, node.bytes.size(), node.bytes.begin());
    EXPECT_EQ(node.kind(), NodeKind::Card);
    EXPECT_TRUE(node.id().is_none());
    EXPECT_TRUE(node.parent().is_none());
    EXPECT_TRUE(node.default_form().is_none());
    EXPECT_EQ(node.payload_length(), bytes.size() - kPayload);
    EXPECT_EQ(decipher_text(b.subspan(kNode + 100, 512), form_file_key(), 255), u"Visa");
    // The first field's label is enciphered under the form-file key too.
    const size_t label = kFirstChunk + format::payload::kChunkHeaderSize + 72;
    EXPECT_EQ(
        decipher_text(b.subspan(label, get_u32(b, kFirstChunk + 12 + 16) - 2), form_file_key()),
        u"Card Number");
}

TEST_F(FormFileTest, AuthorAndDescriptionAreCutToTheirRoom) {
    const std::u16string smile = u"\U0001F600";
    struct Case {
        std::optional<std::u16string> author;
        std::optional<std::u16string> description;
        std::u16string stored_author;
        std::u16string stored_description;
    };
    const std::vector<Case> cases = {
        {std::u16string(70, u'a'), std::u16string(200, u'd'), std::u16string(63, u'a'),
         std::u16string(127, u'd')},
        {std::u16string(63, u'a'), std::u16string(127, u'd'), std::u16string(63, u'a'),
         std::u16string(127, u'd')},
        {std::u16string(64, u'a'), std::u16string(128, u'd'), std::u16string(63, u'a'),
         std::u16string(127, u'd')},
        // A cut never leaves half of a surrogate pair behind.
        {std::u16string(62, u'a') + smile, std::u16string(126, u'd') + smile,
         std::u16string(62, u'a'), std::u16string(126, u'd')},
        {std::nullopt, std::nullopt, u"", u""},
    };
    const int index = store_visa();
    auto card = source.load_card(index);
    ASSERT_TRUE(card);
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(n);
        const fs::path file = dir / ("cut" + std::to_string(n++) + ".ksx");
        std::optional<std::u16string_view> author, description;
        if (c.author) author = *c.author;
        if (c.description) description = *c.description;
        ASSERT_EQ(save_form_file(*card, file, false, author, description), FormFileResult::Written);
        auto form = read_form_file(file, target.record_key());
        ASSERT_TRUE(form);
        EXPECT_EQ(form->header.author, c.stored_author);
        EXPECT_EQ(form->header.description, c.stored_description);
    }
}

TEST_F(FormFileTest, ImportIntoAnotherWalletKeepsValuesOnlyWhenAsked) {
    for (const bool keep : {true, false}) {
        SCOPED_TRACE(keep ? "values kept" : "values dropped");
        const int index = store_visa();
        const fs::path file =
            export_form_file(source, id_of(index), dir / "out", keep, u"Jane", u"My card").file;
        env.clock().advance_seconds(3600);
        test::ScriptedPrompt yes({PromptAnswer::Yes});
        const FormImportResult r = import_form_file(target, file, yes);
        ASSERT_EQ(r.status, FormImportStatus::Imported);
        const NodeId imported = target.node(r.index)->id();

        // Read back from the file, under the other wallet's password.
        target.close();
        ASSERT_EQ(target.load(target_path, u"another pass"), OpenResult::Opened);
        const TreeNode* node = target.node(target.list_index_of(imported));
        ASSERT_TRUE(node);
        EXPECT_EQ(node->name(), u"Visa");
        EXPECT_EQ(node->parent(), target.my_forms_folder()->id());
        EXPECT_NE(node->id(), id_of(index));
        DateTime now = test::kFixedTime;
        now.hour += 1;
        EXPECT_EQ(node->header().created(), now);
        auto card = target.load_card(imported);
        ASSERT_TRUE(card);
        ASSERT_EQ(card->fields().size(), 5u);
        const std::u16string labels[] = {u"Card Number", u"PIN", u"Expiry", u"Network",
                                         u"Contactless"};
        const uint16_t kinds[] = {1, 7, 8, 11, 13};
        for (size_t i = 0; i < 5; ++i) {
            EXPECT_EQ(card->fields()[i].label(), labels[i]);
            EXPECT_EQ(card->fields()[i].kind(), kinds[i]);
        }
        EXPECT_EQ(card->fields()[3].list(), (std::vector<std::u16string>{u"Visa", u"Mastercard"}));
        if (keep) {
            EXPECT_EQ(card->fields()[0].value(), u"4111 1111 1111 1111");
            EXPECT_EQ(card->fields()[1].value(), u"4821");
            EXPECT_EQ(card->fields()[2].date(), (DateTime{2029, 8, 0, 31, 0, 0, 0, 0}));
            EXPECT_EQ(card->fields()[3].value(), u"Visa");
            EXPECT_EQ(card->fields()[4].value(), u"1");
        } else {
            for (const FieldRecord& f : card->fields()) {
                EXPECT_EQ(f.value(), u"") << to_utf8(f.label());
                EXPECT_TRUE(f.date().is_zero()) << to_utf8(f.label());
            }
        }
        // Attached files are part of the form, with or without values.
        ASSERT_EQ(card->file_count(), 1u);
        EXPECT_EQ(card->files()[0].name(), u"scan.bin");
        EXPECT_EQ(card->files()[0].data(), kScan);
        env.clock().set(test::kFixedTime);
    }
}

TEST_F(FormFileTest, ExportLeavesTheCardInTheWalletAsItWas) {
    const int index = store_visa();
    const auto before = test::read_file_bytes(dir / "source.ks5");
    ASSERT_TRUE(
        export_form_file(source, id_of(index), dir.path(), false, std::nullopt, std::nullopt)
            .written);
    EXPECT_EQ(test::read_file_bytes(dir / "source.ks5"), before);
    auto card = source.load_card(index);
    ASSERT_TRUE(card);
    EXPECT_EQ(card->fields()[1].value(), u"4821");
    EXPECT_EQ(card->node()->name(), u"Visa");
}

// Damaged and foreign files: each is refused whole and the wallet is not touched.
TEST_F(FormFileTest, BrokenFilesAreRefusedAndChangeNothing) {
    const std::vector<uint8_t> good = test::read_file_bytes(export_visa(true));
    ASSERT_GT(good.size(), kFirstChunk + 12 + 72);
    using Bytes = std::vector<uint8_t>;
    auto edited = [&](auto change) {
        Bytes b = good;
        change(b);
        return b;
    };
    auto set32 = [](Bytes& b, size_t at, uint32_t v) { put_u32(b, at, v); };
    struct Case {
        const char* what;
        Bytes bytes;
        FormReadError error;
    };
    const std::vector<Case> cases = {
        {"empty", {}, FormReadError::NotAFormFile},
        {"header one byte short", Bytes(good.begin(), good.begin() + 467),
         FormReadError::NotAFormFile},
        {"other signature", edited([](Bytes& b) { b[0] = 'b'; }), FormReadError::NotAFormFile},
        {"signature not ended",
         edited([](Bytes& b) { std::fill(b.begin() + 30, b.begin() + 64, 'x'); }),
         FormReadError::NotAFormFile},
        {"version 2", edited([&](Bytes& b) { set32(b, 64, 2); }), FormReadError::NotAFormFile},
        {"version 0", edited([&](Bytes& b) { set32(b, 64, 0); }), FormReadError::NotAFormFile},
        {"header only", Bytes(good.begin(), good.begin() + 468), FormReadError::Damaged},
        {"node header cut", Bytes(good.begin(), good.begin() + kNode + 700),
         FormReadError::Damaged},
        {"payload one byte short", Bytes(good.begin(), good.end() - 1), FormReadError::Damaged},
        {"unknown kind", edited([](Bytes& b) { b[kNode] ^= 0xFF; }), FormReadError::Damaged},
        {"folder kind", edited([](Bytes& b) {
             const auto& g = format::node::kFolderGuid;
             std::copy(g.begin(), g.end(), b.begin() + kNode);
         }),
         FormReadError::Damaged},
        {"payload length past the end",
         edited([&](Bytes& b) { set32(b, kNode + 740, 0xFFFFFFF0u); }), FormReadError::Damaged},
        {"payload shorter than the style", edited([&](Bytes& b) { set32(b, kNode + 740, 63); }),
         FormReadError::Damaged},
        {"icon image past the end", edited([&](Bytes& b) {
             set32(b, kNode + 708, 0xFFFFFFFFu);
             set32(b, kNode + 712, 0x7FFFFFF0u);
         }),
         FormReadError::Damaged},
        {"chunk past the payload", edited([&](Bytes& b) { set32(b, kFirstChunk + 8, 1u << 30); }),
         FormReadError::Damaged},
        {"field shorter than its header", edited([&](Bytes& b) {
             // The first chunk claims 8 bytes; the rest of its data reads as further chunks.
             set32(b, kFirstChunk + 8, 8);
         }),
         FormReadError::Damaged},
        {"label past its chunk",
         edited([&](Bytes& b) { set32(b, kFirstChunk + 12 + 16, 0x10000000u); }),
         FormReadError::Damaged},
    };
    const auto wallet_before = target_bytes();
    const size_t nodes_before = target.nodes().size();
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const fs::path file = dir / ("broken" + std::to_string(n++) + ".ksx");
        test::write_file_bytes(file, c.bytes);
        FormReadError error = FormReadError::None;
        EXPECT_FALSE(read_form_file(file, target.record_key(), &error));
        EXPECT_EQ(error, c.error);
        test::ScriptedPrompt yes({PromptAnswer::Yes});
        const FormImportResult r = import_form_file(target, file, yes);
        EXPECT_NE(r.status, FormImportStatus::Imported);
        EXPECT_TRUE(yes.asked().empty());
    }
    FormReadError error = FormReadError::None;
    EXPECT_FALSE(read_form_file(dir / "missing.ksx", target.record_key(), &error));
    EXPECT_EQ(error, FormReadError::CannotOpen);
    EXPECT_EQ(target.nodes().size(), nodes_before);
    EXPECT_EQ(target_bytes(), wallet_before);
}

TEST_F(FormFileTest, ImportQuestionShowsNameCutAtTwentyEightAndOnlyTheTextsGiven) {
    struct Case {
        std::u16string name;
        std::optional<std::u16string> description;
        std::optional<std::u16string> author;
        std::u16string expected;
    };
    const std::u16string name28 = u"Platinum Travel Rewards Card";  // 28 characters
    const std::vector<Case> cases = {
        {name28, u"Everyday card", u"Jane",
         u"Import this form?\n\nName: " + name28 +
             u"\nDescription: Everyday card\nAuthor: Jane\nDate: 3/5/2006\n"},
        {name28 + u" 2", std::nullopt, std::nullopt,
         u"Import this form?\n\nName: " + name28 + u"...\nDate: 3/5/2006\n"},
        {u"Visa", std::nullopt, u"Jane",
         u"Import this form?\n\nName: Visa\nAuthor: Jane\nDate: "
         u"3/5/2006\n"},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(n);
        const int index = store_visa(c.name);
        const fs::path file = dir / ("q" + std::to_string(n++) + ".ksx");
        auto card = source.load_card(index);
        ASSERT_TRUE(card);
        std::optional<std::u16string_view> author, description;
        if (c.author) author = *c.author;
        if (c.description) description = *c.description;
        ASSERT_EQ(save_form_file(*card, file, false, author, description), FormFileResult::Written);
        test::ScriptedPrompt no({PromptAnswer::No});
        EXPECT_EQ(import_form_file(target, file, no).status, FormImportStatus::Declined);
        ASSERT_EQ(no.asked().size(), 1u);
        EXPECT_EQ(no.asked()[0].text, c.expected);
        EXPECT_EQ(no.asked()[0].caption, u"Import");
        EXPECT_EQ(no.asked()[0].buttons, PromptButtons::YesNo);
    }

    // The date is shown in the user's short date format, two-digit years and all.
    LocaleFormats german = LocaleFormats::en_us();
    german.short_date = u"dd.MM.yy";
    ScopedLocaleFormats pinned(german);
    const fs::path file = dir / "german.ksx";
    auto card = source.load_card(store_visa(u"Visa"));
    ASSERT_TRUE(card);
    ASSERT_EQ(save_form_file(*card, file, false, std::nullopt, std::nullopt), FormFileResult::Written);
    test::ScriptedPrompt no({PromptAnswer::No});
    import_form_file(target, file, no);
    ASSERT_EQ(no.asked().size(), 1u);
    EXPECT_EQ(no.asked()[0].text, u"Import this form?\n\nName: Visa\nDate: 05.03.06\n");
}

TEST_F(FormFileTest, DecliningOrAWalletWithoutMyFormsChangesNothing) {
    const fs::path file = export_visa(false);
    const auto before = target_bytes();
    test::ScriptedPrompt no({PromptAnswer::No});
    EXPECT_EQ(import_form_file(target, file, no).status, FormImportStatus::Declined);
    EXPECT_EQ(target_bytes(), before);

    // A wallet of blocks only has no My Forms folder: nobody is asked.
    const fs::path bare = dir / "bare.ks5";
    {
        WalletStorage storage;
        test::create_wallet(storage, bare, u"secret");
        storage.close();
    }
    WalletDocument doc;
    ASSERT_EQ(doc.load(bare, u"secret"), OpenResult::Opened);
    const auto bare_before = test::read_file_bytes(bare);
    test::ScriptedPrompt yes({PromptAnswer::Yes});
    EXPECT_EQ(import_form_file(doc, file, yes).status, FormImportStatus::NoMyForms);
    EXPECT_TRUE(yes.asked().empty());
    EXPECT_EQ(test::read_file_bytes(bare), bare_before);
}

TEST_F(FormFileTest, SummaryListsTheLabelsAndMarksLongForms) {
    for (const size_t count : {size_t{2}, size_t{15}, size_t{16}}) {
        SCOPED_TRACE(count);
        Card card = source.new_card(source.node(0)->id());
        card.node()->set_name(u"Gym");
        std::u16string labels;
        for (size_t i = 0; i < count; ++i) {
            FieldRecord f;
            f.set_label(u"F" + from_utf8(std::to_string(i)));
            labels += f.label() + u"\r\n";
            card.insert_field(std::move(f));
        }
        const fs::path file = dir / ("summary" + std::to_string(count) + ".ksx");
        ASSERT_EQ(save_form_file(card, file, false, std::nullopt, u"Club"), FormFileResult::Written);
        auto summary = form_file_summary(file);
        ASSERT_TRUE(summary);
        EXPECT_EQ(summary->text,
                  u"Name: Gym\nDescription: Club\nDate: 3/5/2006\n\r\n"
                  u"--------------------\r\n" +
                      labels + (count > 15 ? u"..." : u""));
        EXPECT_EQ(summary->caption, u"Keystash Pro");
        EXPECT_EQ(summary->buttons, PromptButtons::Ok);
    }
    EXPECT_FALSE(form_file_summary(dir / "none.ksx"));
}

TEST_F(FormFileTest, WriteFailuresAreReportedAndLeaveTheOldFileWhole) {
    const int index = store_visa();
    auto card = source.load_card(index);
    ASSERT_TRUE(card);

    // Codes of the writer itself.
    Card no_node;
    File out = File::open(dir / "direct.ksx", FileMode::CreateNew);
    EXPECT_EQ(write_form_file(no_node, out, false, std::nullopt, std::nullopt), FormFileResult::NoCard);
    EXPECT_EQ(out.size(), 0u);
    out.close();
    File read_only = File::open(dir / "direct.ksx", FileMode::ReadOnly);
    EXPECT_EQ(write_form_file(*card, read_only, false, std::nullopt, std::nullopt),
              FormFileResult::HeaderFailed);

    // An earlier file is replaced whole, never left half-written.
    const fs::path old = dir / "old.ksx";
    test::write_file_bytes(old, {'o', 'l', 'd'});
    ASSERT_EQ(save_form_file(*card, old, true, std::nullopt, std::nullopt), FormFileResult::Written);
    EXPECT_TRUE(read_form_file(old, target.record_key()));
    EXPECT_EQ(save_form_file(no_node, old, true, std::nullopt, std::nullopt), FormFileResult::NoCard);
    EXPECT_TRUE(read_form_file(old, target.record_key())) << "a failed write kept the old file";

    // A folder in the way: the export fails, says so, and leaves nothing behind.
    fs::create_directories(dir / "blocked" / "Visa_05032006.ksx" / "inside");
    test::ScriptedPrompt prompt({PromptAnswer::Ok});
    FormExportResult r = export_form_file(source, id_of(index), dir / "blocked", true, std::nullopt,
                                          std::nullopt, &prompt);
    EXPECT_FALSE(r.written);
    EXPECT_NE(r.code, FormFileResult::Written);
    EXPECT_TRUE(fs::is_directory(dir / "blocked" / "Visa_05032006.ksx" / "inside"));
    EXPECT_EQ(entries_of(dir / "blocked").size(), 1u);
    ASSERT_EQ(prompt.asked().size(), 1u);
    EXPECT_EQ(prompt.asked()[0].text, u"The form could not be written.");
    EXPECT_EQ(prompt.asked()[0].caption, u"Error");

    // A folder is no card.
    EXPECT_FALSE(
        export_form_file(source, source.node(0)->id(), dir.path(), true, std::nullopt, std::nullopt)
            .written);
}

TEST_F(FormFileTest, NewFormFilesAreReadableByTheirOwnerOnly) {
    const fs::path file = export_visa(true);
    struct stat st {};
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777u, 0600u);
}

}  // namespace
}  // namespace ks
