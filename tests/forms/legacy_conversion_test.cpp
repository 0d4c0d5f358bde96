#include "forms/legacy_conversion.h"

#include <gtest/gtest.h>

#include "core/wallet_document.h"
#include "forms/builtin_forms.h"
#include "forms/custom_forms.h"
#include "platform/text.h"
#include "support/crash_harness.h"
#include "support/legacy_writer.h"
#include "support/list_order.h"
#include "support/test_support.h"

namespace ks {
namespace {

using test::file_names;
using test::legacy_item;
using test::legacy_text;
using test::legacy_u32;
using test::LegacyFolder;
using test::LegacyItem;
using test::LegacyTag;
using test::LegacyWallet;

constexpr uint16_t kText = 1, kUrl = 3, kTel = 6, kPin = 7, kCapitalised = 15;

// The built-in form a folder record names, as a FormId.
FormId builtin_id(uint32_t code) {
    const BuiltInForm* form = builtin_form_by_code(code);
    return builtin_form_id(static_cast<uint32_t>(form - builtin_forms().data()));
}

// A converted card's fields as (kind, label, value).
struct FieldView {
    uint16_t kind;
    std::u16string label;
    std::u16string value;
    bool operator==(const FieldView&) const = default;
};
std::ostream& operator<<(std::ostream& os, const FieldView& f) {
    return os << f.kind << " " << to_utf8(f.label) << "=" << to_utf8(f.value);
}

std::vector<FieldView> view(const Card& card) {
    std::vector<FieldView> out;
    for (const FieldRecord& f : card.fields())
        out.push_back({f.kind(), f.label(), f.value().plain()});
    return out;
}

class LegacyConversionTest : public ::testing::Test {
  protected:
    LegacyConversionTest()
        : texts_({{20001, u"Keystash Pro"},
                  {20203, u"My Forms"},
                  {20500, u"Error"},
                  {22012, u"Convert the wallet?"},
                  {22013, u"\nFile: %s (in %s)"},
                  {22014, u"The password is wrong."},
                  {22015, u"Not a previous-version wallet."},
                  {22016, u"The new wallet could not be written."},
                  {22017, u"The converted wallet exists already."},
                  {22018, u"The wallet holds no folders."},
                  {22019, u"Converted into %s."},
                  {22021, u"The wallet is damaged."},
                  {22022, u"Copy the forms file to %s."},
                  {22023, u"%d items could not be read."},
                  {24516, u"Notes"},
                  {31000, u"Card Number"},
                  {31002, u"PIN"}}),
          scope_(&texts_) {
        std::filesystem::create_directory(program_folder());
    }

    std::filesystem::path legacy() const { return dir / "Old.wal"; }
    std::filesystem::path target() const { return dir / "Old.ks5"; }
    std::filesystem::path program_folder() const { return dir / "program"; }

    ConversionOutcome convert(std::vector<PromptAnswer> answers = {PromptAnswer::Yes},
                              std::optional<std::u16string> password = u"secret",
                              std::filesystem::path path = {}) {
        prompt = test::ScriptedPrompt(std::move(answers));
        captions.clear();
        auto ask = [&, password](std::u16string_view caption) -> std::optional<SecretText> {
            captions.emplace_back(caption);
            if (!password) return std::nullopt;
            return SecretText(*password);
        };
        ConversionOptions options;
        options.program_folder = program_folder();
        return convert_legacy_wallet(path.empty() ? legacy() : path, prompt, ask, options);
    }

    // Loads the converted wallet; its top-level folders other than My Forms, in order.
    std::vector<int> load_converted() {
        EXPECT_EQ(document.load(target(), u"secret"), OpenResult::Opened);
        std::vector<int> folders;
        for (int i : test::children_in_list_order(document, kNoIndex))
            if (document.node(i)->kind() == NodeKind::Folder) folders.push_back(i);
        return folders;
    }

    Card card_in(int folder, size_t position = 0) {
        const std::vector<int> cards = test::children_in_list_order(document, folder);
        EXPECT_LT(position, cards.size());
        auto card = document.load_card(cards.at(position));
        EXPECT_TRUE(card);
        return card.value_or(Card{});
    }

    // Converts a wallet holding one folder with the one item, and loads that card.
    Card convert_one(const LegacyItem& item) {
        LegacyWallet w;
        w.records = {LegacyFolder{1, u"Folder", 500, 0}, item};
        test::write_legacy_wallet(legacy(), w);
        EXPECT_EQ(convert().result, ConversionResult::Converted);
        const auto folders = load_converted();
        EXPECT_EQ(folders.size(), 1u);
        return folders.empty() ? Card{} : card_in(folders[0]);
    }

    test::DeterministicEnvironment env;
    test::TempDir dir;
    test::ScriptedPrompt prompt;
    std::vector<std::u16string> captions;
    WalletDocument document;

  private:
    test::MapTextSource texts_;
    ScopedTextSource scope_;
};

// Recognition -----------------------------------------------------------------------------------

TEST(LegacyPath, Recognition) {
    struct Case {
        const char* path;
        bool legacy;
        const char* converted;
    };
    const Case cases[] = {
        {"Old.WAL", true, "Old.ks5"},
        {"x.wal", false, "x.ks5"},
        {"ab.wal", true, "ab.ks5"},
        {"/home/me/x.wal", true, "/home/me/x.ks5"},
        {"/home/me/x.Wal", true, "/home/me/x.ks5"},
        {"/home/me/x.wal.bak", false, "/home/me/x.wal.ks5"},
        {"/home/me/x.ks5", false, "/home/me/x.ks5"},
        {"/home/my.wal/x", false, "/home/my.ks5"},
        {"/home/me/xwal", false, "/home/me/xwal.ks5"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(is_legacy_wallet_path(c.path), c.legacy) << c.path;
        EXPECT_EQ(converted_wallet_path(c.path), std::filesystem::path(c.converted)) << c.path;
    }
}

// The whole conversion --------------------------------------------------------------------------

TEST_F(LegacyConversionTest, ConvertsFoldersCardsAndFields) {
    LegacyWallet w;
    LegacyItem visa = legacy_item(100, 10, u"Visa", 500,
                                  {{501, legacy_text(u"4111 1111"), {}},
                                   {503, legacy_text(u"1234"), {}},
                                   {510, legacy_text(u""), {}},
                                   {999, legacy_text(u"not in the form"), {}},
                                   {400, legacy_text(u"call the bank"), {}}});
    visa.icon = 12;
    LegacyItem plain = legacy_item(101, 10, u"Plain", 500, {{501, legacy_text(u"42"), {}}});
    plain.enciphered = false;
    w.records = {LegacyFolder{10, u"Bank", 503, 7}, visa, LegacyFolder{20, u"Empty", 999, 8},
                 plain};
    test::write_legacy_wallet(legacy(), w);
    const Bytes before = test::read_file_bytes(legacy());

    const ConversionOutcome outcome = convert();
    ASSERT_EQ(outcome.result, ConversionResult::Converted);
    EXPECT_EQ(outcome.new_path, target());
    EXPECT_EQ(outcome.folders, 2u);
    EXPECT_EQ(outcome.cards, 2u);
    EXPECT_EQ(test::read_file_bytes(legacy()), before);
    EXPECT_EQ(file_names(dir.path()), (std::vector<std::string>{"Old.ks5", "Old.wal", "program"}));

    // The question, then the report.
    ASSERT_EQ(prompt.asked().size(), 2u);
    EXPECT_EQ(prompt.asked()[0].text, u"Convert the wallet?");
    EXPECT_EQ(prompt.asked()[0].caption, u"Keystash Pro");
    EXPECT_EQ(prompt.asked()[0].buttons, PromptButtons::YesNo);
    EXPECT_EQ(prompt.asked()[1].text, u"Converted into Old.ks5.");
    EXPECT_EQ(prompt.asked()[1].icon, PromptIcon::Information);
    EXPECT_EQ(captions, (std::vector<std::u16string>{u"Old"}));

    const auto folders = load_converted();
    ASSERT_EQ(folders.size(), 2u);
    const TreeNode& bank = *document.node(folders[0]);
    EXPECT_EQ(bank.name(), u"Bank");
    EXPECT_EQ(bank.icon(), 7);
    EXPECT_EQ(bank.default_form(), builtin_id(503));
    const TreeNode& empty = *document.node(folders[1]);
    EXPECT_EQ(empty.name(), u"Empty");
    EXPECT_EQ(empty.default_form(), builtin_form_id(0));  // no built-in form 999

    const Card card = card_in(folders[0]);
    EXPECT_EQ(card.node()->name(), u"Visa");
    EXPECT_EQ(card.node()->icon(), 12);
    const BuiltInForm& form = *builtin_form_by_code(500);
    const std::vector<FieldView> fields = view(card);
    ASSERT_EQ(fields.size(), form.fields.size() + 1);
    EXPECT_EQ(fields[0], (FieldView{kCapitalised, u"Card Number", u"4111 1111"}));
    EXPECT_EQ(fields[2], (FieldView{kPin, u"PIN", u"1234"}));
    EXPECT_EQ(fields[9], (FieldView{kTel, u"?", u""}));  // empty value, label text missing
    EXPECT_EQ(fields.back(), (FieldView{kText, u"Notes", u"call the bank"}));
    EXPECT_EQ(card.fields().back().flags(), kFieldFlagTextKindsOnly);
    EXPECT_EQ(card.fields()[0].flags(), 0);

    // The card stored in plain follows its folder id into the first folder.
    ASSERT_EQ(test::children_in_list_order(document, folders[0]).size(), 2u);
    EXPECT_EQ(card_in(folders[0], 1).fields().at(0).value(), u"42");
    EXPECT_TRUE(test::children_in_list_order(document, folders[1]).empty());
}

TEST_F(LegacyConversionTest, CardsFollowTheirFolderRecordsWhereverTheyStand) {
    LegacyWallet w;
    w.records = {legacy_item(1, 20, u"Early", 500), LegacyFolder{10, u"A", 0, 0},
                 legacy_item(2, 10, u"A1", 500), LegacyFolder{20, u"B", 0, 0},
                 legacy_item(3, 10, u"A2", 500)};
    test::write_legacy_wallet(legacy(), w);
    ASSERT_EQ(convert().result, ConversionResult::Converted);
    const auto folders = load_converted();
    ASSERT_EQ(folders.size(), 2u);
    auto names = [&](int folder) {
        std::vector<std::u16string> out;
        for (int i : test::children_in_list_order(document, folder))
            out.push_back(document.node(i)->name());
        return out;
    };
    EXPECT_EQ(names(folders[0]), (std::vector<std::u16string>{u"A1", u"A2"}));
    EXPECT_EQ(names(folders[1]), (std::vector<std::u16string>{u"Early"}));
}

TEST_F(LegacyConversionTest, BuiltInPinAndDateFields) {
    // A built-in form with a date field: converted dates are text of kind 15, not dates.
    const BuiltInForm* dated = nullptr;
    const BuiltInFormField* date_field = nullptr;
    for (const BuiltInForm& f : builtin_forms()) {
        for (const BuiltInFormField& field : f.fields) {
            if (field.type == LegacyFieldType::Date && !date_field) {
                dated = &f;
                date_field = &field;
            }
        }
    }
    ASSERT_TRUE(date_field);
    const Card card =
        convert_one(legacy_item(1, 1, u"Card", static_cast<int32_t>(dated->code),
                                {{date_field->field_code, legacy_text(u"01/02/2003"), {}}}));
    const size_t slot = static_cast<size_t>(date_field - dated->fields.data());
    ASSERT_GT(card.fields().size(), slot);
    EXPECT_EQ(card.fields()[slot].kind(), kCapitalised);
    EXPECT_EQ(card.fields()[slot].value(), u"01/02/2003");
}

TEST_F(LegacyConversionTest, LongValuesAreCutNotesAreNot) {
    const std::u16string long_text(3000, u'v');
    const Card card = convert_one(
        legacy_item(1, 1, u"Card", 500,
                    {{501, legacy_text(long_text), {}}, {400, legacy_text(long_text), {}}}));
    EXPECT_EQ(card.fields()[0].value().size(), kConvertedValueMaxLength);
    EXPECT_EQ(card.fields().back().value(), long_text);
}

TEST_F(LegacyConversionTest, UnknownFormKeepsValuesAndNotes) {
    const Card card = convert_one(legacy_item(1, 1, u"Card", 4242,
                                              {{7, legacy_text(u"seven"), {}},
                                               {8, legacy_text(u""), {}},
                                               {7, legacy_text(u"again"), {}},
                                               {452, legacy_text(u"pic.bmp"), {}},
                                               {400, legacy_text(u"note"), {}}}));
    EXPECT_EQ(view(card),
              (std::vector<FieldView>{{kText, u"7", u"seven"}, {kText, u"Notes", u"note"}}));
}

TEST_F(LegacyConversionTest, PictureSoundAndStyle) {
    const Bytes bmp{'B', 'M', 1, 2, 3};
    struct Case {
        const char* what;
        bool picture_flag;
        std::optional<Bytes> position;
        bool with_name;
        std::optional<int32_t> setting;  // of the attached picture; nothing: none attached
    };
    const Case cases[] = {
        {"position 1", true, legacy_u32(1), true, 1},
        {"position 2", true, legacy_u32(2), true, 3},
        {"position 3", true, legacy_u32(3), false, 2},
        {"position 4", true, legacy_u32(4), true, std::nullopt},
        {"position 0", true, legacy_u32(0), true, std::nullopt},
        {"position of 2 bytes", true, Bytes{1, 0}, true, std::nullopt},
        {"no position", true, std::nullopt, true, std::nullopt},
        {"record without picture", false, legacy_u32(1), true, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<LegacyTag> tags = {{501, legacy_text(u"x"), {}}, {450, bmp, {}}};
        if (c.position) tags.push_back({451, *c.position, {}});
        if (c.with_name) tags.push_back({452, legacy_text(u"C:\\pics\\me.bmp"), {}});
        tags.push_back({460, Bytes{'R', 'I', 'F', 'F'}, {}});
        tags.push_back({461, legacy_text(u"ring.wav"), {}});
        LegacyItem item = legacy_item(1, 1, u"Card", 500, tags);
        item.picture = c.picture_flag;
        item.sound = true;
        item.style1 = 0x112233;
        item.style2 = 0x445566;
        item.flags = 2;
        std::filesystem::remove(target());
        document.close();
        const Card card = convert_one(item);

        EXPECT_EQ(card.picture().has_data(), c.setting.has_value());
        if (c.setting) {
            EXPECT_EQ(card.picture().setting(), *c.setting);
            EXPECT_EQ(card.picture().format(), ImageFormat::Bmp);
            EXPECT_EQ(Bytes(card.picture().data_view().begin(), card.picture().data_view().end()),
                      bmp);
            EXPECT_EQ(card.picture().name(), c.with_name ? u"me.bmp" : u"");
        }
        ASSERT_TRUE(card.sound().has_data());
        EXPECT_EQ(card.sound().name(), u"ring.wav");
        EXPECT_EQ(card.sound().format(), SoundFormat::Wav);
        EXPECT_EQ(card.style()[2], 0x112233u);
        EXPECT_EQ(card.style()[4], 0x112233u);
        EXPECT_EQ(card.style()[3], 0x445566u);
        EXPECT_EQ(card.style()[12], 1u);  // flag bit 1: names bold
        EXPECT_EQ(card.style()[13], 0u);  // flag bit 0 not set: data not bold
    }
}

TEST_F(LegacyConversionTest, EmptyDataKeepsTheDefaultStyle) {
    LegacyItem item = legacy_item(1, 1, u"Card", 500);
    item.style1 = 0x112233;
    item.flags = 3;
    item.picture = true;
    const Card card = convert_one(item);
    EXPECT_EQ(card.style(), default_card_style());
    EXPECT_EQ(card.fields().size(), builtin_form_by_code(500)->fields.size());
}

// Custom forms ----------------------------------------------------------------------------------

class LegacyCustomFormsTest : public LegacyConversionTest {
  protected:
    void write_wallet(std::u16string stored_name = u"C:\\Old\\mine.ccd") {
        LegacyWallet w;
        w.custom_forms = true;
        w.custom_forms_name = std::move(stored_name);
        w.records = {LegacyFolder{1, u"Club", 0, 0},
                     legacy_item(1, 1, u"Gym", 1001,
                                 {{11, legacy_text(u"https://gym"), {}},
                                  {12, legacy_text(u"9876"), {}},
                                  {13, legacy_text(u"2004"), {}}})};
        test::write_legacy_wallet(legacy(), w);
    }

    static Bytes forms_file(const std::string& label) {
        std::string text = std::string(kCustomFormsSignature) +
                           "\r\n<MyForm>\r\nGym\r\n1001\r\n5\r\n11 KSF_URL " + label +
                           "\r\n12 KSF_PIN Code\r\n13 KSF_DATE Since\r\n<EndForm>\r\n";
        return Bytes(text.begin(), text.end());
    }
};

TEST_F(LegacyCustomFormsTest, CardsOfCustomFormsGetTheirLabelsAndKinds) {
    write_wallet();
    test::write_file_bytes(dir / "mine.ccd", forms_file("Web"));
    ASSERT_EQ(convert().result, ConversionResult::Converted);
    const auto folders = load_converted();
    ASSERT_EQ(folders.size(), 1u);
    EXPECT_EQ(view(card_in(folders[0])),
              (std::vector<FieldView>{{kUrl, u"Web", u"https://gym"},
                                      {kPin, u"Code", u"9876"},
                                      {kCapitalised, u"Since", u"2004"}}));
}

TEST_F(LegacyCustomFormsTest, WhereTheFileIsLookedFor) {
    struct Case {
        const char* what;
        bool in_program;
        bool beside;
        std::u16string stored;
        std::optional<std::u16string> label;  // of the first field; nothing: result 10
    };
    const Case cases[] = {
        {"program folder first", true, true, u"C:\\Old\\mine.ccd", u"Program"},
        {"beside the wallet", false, true, u"C:\\Old\\mine.ccd", u"Beside"},
        {"plain name", false, true, u"mine.ccd", u"Beside"},
        {"slashes", false, true, u"../../mine.ccd", u"Beside"},
        {"neither", false, false, u"mine.ccd", std::nullopt},
        {"no name stored", true, true, u"", std::nullopt},
        {"a folder name", true, true, u"C:\\Old\\", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        document.close();
        std::filesystem::remove(target());
        std::filesystem::remove(program_folder() / "mine.ccd");
        std::filesystem::remove(dir / "mine.ccd");
        if (c.in_program)
            test::write_file_bytes(program_folder() / "mine.ccd", forms_file("Program"));
        if (c.beside) test::write_file_bytes(dir / "mine.ccd", forms_file("Beside"));
        write_wallet(c.stored);
        const ConversionOutcome outcome = convert();
        if (!c.label) {
            EXPECT_EQ(outcome.result, ConversionResult::NoCustomForms);
            EXPECT_FALSE(std::filesystem::exists(target()));
            continue;
        }
        ASSERT_EQ(outcome.result, ConversionResult::Converted);
        const auto folders = load_converted();
        ASSERT_EQ(folders.size(), 1u);
        EXPECT_EQ(card_in(folders[0]).fields().at(0).label(), *c.label);
    }
}

TEST_F(LegacyCustomFormsTest, UnreadableFileInTheProgramFolderFallsBackToTheWalletFolder) {
    write_wallet();
    Bytes broken = forms_file("Web");
    broken[0] = 'X';
    test::write_file_bytes(program_folder() / "mine.ccd", broken);
    test::write_file_bytes(dir / "mine.ccd", forms_file("Beside"));
    ASSERT_EQ(convert().result, ConversionResult::Converted);
}

TEST_F(LegacyCustomFormsTest, MissingFileMessageNamesTheProgramFolder) {
    write_wallet();
    const ConversionOutcome outcome = convert();
    ASSERT_EQ(outcome.result, ConversionResult::NoCustomForms);
    EXPECT_EQ(outcome.custom_forms_searched, (std::vector<std::filesystem::path>{
                                                 program_folder() / "mine.ccd", dir / "mine.ccd"}));
    ASSERT_EQ(prompt.asked().size(), 2u);
    EXPECT_EQ(prompt.asked()[1].text,
              u"Copy the forms file to " + from_utf8(program_folder().string()) + u".");
}

// Failures --------------------------------------------------------------------------------------

TEST_F(LegacyConversionTest, FailuresLeaveNothingBehind) {
    LegacyWallet good;
    good.records = {LegacyFolder{1, u"F", 0, 0},
                    legacy_item(1, 1, u"Card", 500, {{501, legacy_text(u"x"), {}}})};
    LegacyWallet no_folders;
    no_folders.records = {legacy_item(1, 1, u"Card", 500)};
    LegacyWallet shared_folder_id = good;
    const test::LegacyRecord same_id = LegacyFolder{1, u"Again", 0, 0};
    shared_folder_id.records.insert(shared_folder_id.records.end(), 50, same_id);
    LegacyWallet long_password = good;
    long_password.password = std::u16string(30, u'p');  // too long for a new wallet
    Bytes bad_magic = test::build_legacy_wallet(good);
    bad_magic[840] ^= 1;
    Bytes short_header = test::build_legacy_wallet(good);
    short_header.resize(843);

    struct Case {
        const char* what;
        std::optional<Bytes> file;  // nothing: no file
        std::vector<PromptAnswer> answers;
        std::optional<std::u16string> password;
        ConversionResult result;
        size_t asked;  // messages shown, the question included
        bool password_asked;
    };
    const Case cases[] = {
        {"wrong password",
         test::build_legacy_wallet(good),
         {PromptAnswer::Yes},
         u"Secret",
         ConversionResult::WrongPassword,
         2,
         true},
        {"empty password",
         test::build_legacy_wallet(good),
         {PromptAnswer::Yes},
         u"",
         ConversionResult::WrongPassword,
         2,
         true},
        {"declined",
         test::build_legacy_wallet(good),
         {PromptAnswer::No},
         u"secret",
         ConversionResult::Cancelled,
         1,
         false},
        {"password cancelled",
         test::build_legacy_wallet(good),
         {PromptAnswer::Yes},
         std::nullopt,
         ConversionResult::Cancelled,
         1,
         true},
        {"no file",
         std::nullopt,
         {PromptAnswer::Yes},
         u"secret",
         ConversionResult::CannotOpen,
         2,
         true},
        {"bad magic",
         bad_magic,
         {PromptAnswer::Yes},
         u"secret",
         ConversionResult::NotLegacyWallet,
         2,
         true},
        {"843 bytes",
         short_header,
         {PromptAnswer::Yes},
         u"secret",
         ConversionResult::NotLegacyWallet,
         2,
         true},
        {"no folders",
         test::build_legacy_wallet(no_folders),
         {PromptAnswer::Yes},
         u"secret",
         ConversionResult::NoFolders,
         2,
         true},
        {"two folders of one id",
         test::build_legacy_wallet(shared_folder_id),
         {PromptAnswer::Yes},
         u"secret",
         ConversionResult::Damaged,
         2,
         true},
        {"password too long for a new wallet",
         test::build_legacy_wallet(long_password),
         {PromptAnswer::Yes},
         std::u16string(30, u'p'),
         ConversionResult::CannotCreate,
         2,
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove(legacy());
        if (c.file) test::write_file_bytes(legacy(), *c.file);
        const ConversionOutcome outcome = convert(c.answers, c.password);
        EXPECT_EQ(outcome.result, c.result);
        EXPECT_EQ(prompt.asked().size(), c.asked);
        EXPECT_EQ(captions.size(), c.password_asked ? 1u : 0u);
        // No new wallet and no temporary file; the old file as it was.
        std::vector<std::string> expected{"program"};
        if (c.file) expected.insert(expected.begin(), "Old.wal");
        EXPECT_EQ(file_names(dir.path()), expected);
        if (c.file) {
            EXPECT_EQ(test::read_file_bytes(legacy()), *c.file);
        }
    }
}

TEST_F(LegacyConversionTest, ExistingTargetIsNeverTouched) {
    LegacyWallet w;
    w.records = {LegacyFolder{1, u"F", 0, 0}};
    test::write_legacy_wallet(legacy(), w);
    const Bytes existing{'m', 'i', 'n', 'e'};
    test::write_file_bytes(target(), existing);
    const ConversionOutcome outcome = convert();
    EXPECT_EQ(outcome.result, ConversionResult::TargetExists);
    EXPECT_EQ(test::read_file_bytes(target()), existing);
    EXPECT_EQ(file_names(dir.path()), (std::vector<std::string>{"Old.ks5", "Old.wal", "program"}));
    ASSERT_EQ(prompt.asked().size(), 2u);
    EXPECT_EQ(prompt.asked()[1].text, u"The converted wallet exists already.\nFile: Old.wal (in " +
                                          from_utf8(dir.path().string()) + u")");
}

TEST_F(LegacyConversionTest, NotALegacyPathIsRefusedWithoutQuestions) {
    test::write_legacy_wallet(dir / "Old.dat", LegacyWallet{});
    const ConversionOutcome outcome = convert({PromptAnswer::Yes}, u"secret", dir / "Old.dat");
    EXPECT_EQ(outcome.result, ConversionResult::NotLegacyWallet);
    EXPECT_TRUE(captions.empty());
    ASSERT_EQ(prompt.asked().size(), 1u);  // the report only
    EXPECT_EQ(prompt.asked()[0].icon, PromptIcon::Error);
}

TEST_F(LegacyConversionTest, TruncatedFilesGiveClearResults) {
    const std::vector<LegacyTag> tags = {{501, legacy_text(u"value"), {}},
                                         {400, legacy_text(u"n"), {}}};
    LegacyWallet w;
    w.records = {LegacyFolder{1, u"F", 0, 0}, legacy_item(1, 1, u"Card", 500, tags),
                 LegacyFolder{2, u"G", 0, 0}, legacy_item(2, 2, u"Other", 500)};
    const Bytes whole = test::build_legacy_wallet(w);
    const size_t first_data = 844 + 252 + 252;
    const size_t data_end = first_data + test::legacy_item_data(tags).size();
    ASSERT_EQ(whole.size(), data_end + 252 + 252);

    // Everything readable is converted; a card whose data is cut short is made without values,
    // and a record cut short is counted as unreadable.
    struct Case {
        size_t size;
        ConversionResult result;
        size_t cards;
        size_t unreadable;
    };
    const Case cases[] = {
        {0, ConversionResult::NotLegacyWallet, 0, 0},
        {843, ConversionResult::NotLegacyWallet, 0, 0},
        {844, ConversionResult::NoFolders, 0, 0},
        {844 + 251, ConversionResult::NoFolders, 0, 0},
        {844 + 252, ConversionResult::Converted, 0, 0},
        {first_data - 1, ConversionResult::Converted, 0, 1},  // the card record cut: not there
        {first_data, ConversionResult::Converted, 1, 1},      // its data missing
        {data_end - 1, ConversionResult::Converted, 1, 1},
        {data_end, ConversionResult::Converted, 1, 0},
        {whole.size() - 1, ConversionResult::Converted, 1, 1},
        {whole.size(), ConversionResult::Converted, 2, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.size);
        document.close();
        std::filesystem::remove(target());
        test::write_file_bytes(
            legacy(), Bytes(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(c.size)));
        const ConversionOutcome outcome = convert();
        EXPECT_EQ(outcome.result, c.result);
        EXPECT_EQ(outcome.cards, c.cards);
        EXPECT_EQ(outcome.unreadable, c.unreadable);
        EXPECT_EQ(std::filesystem::exists(target()), c.result == ConversionResult::Converted);
        if (c.size == first_data || c.size == data_end - 1) {
            // The card is there, with its form's fields and none of its values.
            ASSERT_EQ(document.load(target(), u"secret"), OpenResult::Opened);
            const std::vector<int> folders = load_converted();
            ASSERT_FALSE(folders.empty());
            const Card card = card_in(folders[0]);
            EXPECT_EQ(card.node()->name(), u"Card");
            for (const FieldRecord& field : card.fields()) EXPECT_EQ(field.value(), u"");
        }
    }
}

// Messages --------------------------------------------------------------------------------------

TEST_F(LegacyConversionTest, Messages) {
    const std::u16string detail = u"\nFile: Old.wal (in /data)";
    struct Case {
        ConversionResult result;
        std::u16string text;
        PromptIcon icon;
    };
    const Case cases[] = {
        {ConversionResult::Converted, u"Converted into Old.ks5.", PromptIcon::Information},
        {ConversionResult::WrongPassword, u"The password is wrong.\n" + detail, PromptIcon::Error},
        {ConversionResult::NotLegacyWallet, u"Not a previous-version wallet.\n" + detail,
         PromptIcon::Error},
        {ConversionResult::Damaged, u"The wallet is damaged.\n" + detail, PromptIcon::Error},
        {ConversionResult::CannotCreate, u"The new wallet could not be written.\n" + detail,
         PromptIcon::Error},
        {ConversionResult::TargetExists, u"The converted wallet exists already." + detail,
         PromptIcon::Error},
        {ConversionResult::NoFolders, u"The wallet holds no folders." + detail,
         PromptIcon::Information},
        {ConversionResult::NoCustomForms, u"Copy the forms file to /opt/ks.", PromptIcon::Error},
        {ConversionResult::CannotOpen, u"Not a previous-version wallet." + detail + u"\nError: 03",
         PromptIcon::Error},
    };
    ConversionOutcome outcome;
    outcome.legacy_path = "/data/Old.wal";
    outcome.new_path = "/data/Old.ks5";
    outcome.program_folder = "/opt/ks";
    for (const Case& c : cases) {
        outcome.result = c.result;
        auto message = conversion_message(outcome);
        ASSERT_TRUE(message) << static_cast<int>(c.result);
        EXPECT_EQ(message->text, c.text) << static_cast<int>(c.result);
        EXPECT_EQ(message->icon, c.icon) << static_cast<int>(c.result);
        EXPECT_EQ(message->caption, u"Keystash Pro");
        EXPECT_EQ(message->buttons, PromptButtons::Ok);
    }
    outcome.result = ConversionResult::Converted;
    outcome.unreadable = 2;
    auto partly = conversion_message(outcome);
    ASSERT_TRUE(partly);
    EXPECT_EQ(partly->text, u"Converted into Old.ks5.\n\n2 items could not be read.");
    EXPECT_EQ(partly->icon, PromptIcon::Exclamation);
    outcome.result = ConversionResult::Cancelled;
    EXPECT_FALSE(conversion_message(outcome));
}

TEST_F(LegacyConversionTest, MissingFormsTextFallsBackToItsOwnWording) {
    test::MapTextSource bare({{22022, u"x"}});
    ScopedTextSource scope(&bare);
    ConversionOutcome outcome;
    outcome.result = ConversionResult::NoCustomForms;
    outcome.program_folder = "/opt/ks";
    auto message = conversion_message(outcome);
    ASSERT_TRUE(message);
    EXPECT_EQ(message->text,
              u"Could not find associated custom form (*.ccd) definition file for conversion.\n\n"
              u"Please copy to the /opt/ks folder and try again.");
}

// Interrupting a conversion at any change leaves the previous wallet as it was and either the
// whole converted wallet (when success was reported) or no new file at all.
TEST_F(LegacyConversionTest, InterruptedConversionLeavesAWholeWalletOrNone) {
    LegacyWallet w;
    w.records = {LegacyFolder{1, u"Bank", 500, 0}, LegacyFolder{2, u"Web", 500, 0},
                 legacy_item(1, 1, u"Card", 500, {{501, legacy_text(u"4111"), {}}}),
                 legacy_item(2, 2, u"Mail", 500, {{501, legacy_text(u"me"), {}}})};
    test::write_legacy_wallet(legacy(), w);
    const Bytes old_bytes = test::read_file_bytes(legacy());
    bool reported_ok = false;
    test::FaultedOperation conversion{
        "legacy conversion",
        [&](std::optional<FaultPlan> plan) {
            std::filesystem::remove(target());
            test::RepeatableIds same_ids(3);
            test::ArmedFault fault(plan);
            reported_ok = convert().result == ConversionResult::Converted;
            return reported_ok;
        },
        [&]() -> std::optional<test::Snapshot> {
            EXPECT_EQ(test::read_file_bytes(legacy()), old_bytes);
            const auto names = file_names(dir.path());
            if (!reported_ok) {
                EXPECT_EQ(names, (std::vector<std::string>{"Old.wal", "program"}));
                return test::Snapshot{};
            }
            return test::reopen(target(), {u"secret"});
        }};
    test::report_tally(test::run_fault_loop(conversion, test::Snapshot{}));
}

}  // namespace
}  // namespace ks
