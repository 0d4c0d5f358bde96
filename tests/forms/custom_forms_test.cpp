#include "forms/custom_forms.h"

#include <gtest/gtest.h>

#include "platform/bytes.h"
#include "platform/text.h"
#include "support/test_support.h"

namespace ks {
namespace {

using Lines = std::vector<std::string>;

// A file in ANSI (bytes as given) with the signature line first and `eol` after every line.
Bytes ansi_file(const Lines& lines, std::string_view eol = "\r\n") {
    std::string text = std::string(kCustomFormsSignature) + std::string(eol);
    for (const std::string& line : lines) text += line + std::string(eol);
    return Bytes(text.begin(), text.end());
}

// The same lines (UTF-8 in the source) as UTF-16LE.
Bytes utf16_file(const Lines& lines, std::string_view eol = "\r\n") {
    std::string text = std::string(kCustomFormsSignature) + std::string(eol);
    for (const std::string& line : lines) text += line + std::string(eol);
    return utf16le_encode(from_utf8(text));
}

// One form around the given field lines.
Lines form(const std::string& code, const Lines& fields, const std::string& name = "Club") {
    Lines lines{"<MyForm>", name, code, "7"};
    lines.insert(lines.end(), fields.begin(), fields.end());
    lines.push_back("<EndForm>");
    return lines;
}

Lines concat(std::initializer_list<Lines> parts) {
    Lines all;
    for (const Lines& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
}

TEST(CustomForms, ReadsAFormWithItsFields) {
    const CustomFormsRead read =
        parse_custom_forms(ansi_file(form("1001", {"12 KSF_PIN Card PIN   ; the card's PIN",
                                                   "13 KSF_URL Web site", "14 ksf_date Renewal"})));
    ASSERT_EQ(read.result, CustomFormsResult::Read);
    ASSERT_EQ(read.forms.size(), 1u);
    const CustomFormDefinition& f = read.forms[0];
    EXPECT_EQ(f.name, u"Club");
    EXPECT_EQ(f.code, 1001);
    EXPECT_EQ(f.icon, 7);
    ASSERT_EQ(f.fields.size(), 3u);
    EXPECT_EQ(f.fields[0].code, 12);
    EXPECT_EQ(f.fields[0].label, u"Card PIN");
    EXPECT_EQ(f.fields[0].type, LegacyFieldType::Default);
    EXPECT_TRUE(f.fields[0].pin);
    EXPECT_EQ(f.fields[1].label, u"Web site");
    EXPECT_EQ(f.fields[1].type, LegacyFieldType::Url);
    EXPECT_FALSE(f.fields[1].pin);
    EXPECT_EQ(f.fields[2].type, LegacyFieldType::Date);  // keywords in any case
}

// One field line inside a form with code 1000: its type, PIN flag, code and label.
TEST(CustomForms, FieldLines) {
    struct Case {
        std::string line;
        LegacyFieldType type;
        bool pin;
        int32_t code;
        std::u16string label;
    };
    const Case cases[] = {
        {"1 KSF_DEFAULT Name", LegacyFieldType::Default, false, 1, u"Name"},
        {"2 KSF_UPPERALL Code", LegacyFieldType::UpperAll, false, 2, u"Code"},
        {"3 KSF_UPPERFIRST City", LegacyFieldType::UpperFirst, false, 3, u"City"},
        {"4 KSF_EMAIL Mail", LegacyFieldType::Email, false, 4, u"Mail"},
        {"5 KSF_TEL Phone", LegacyFieldType::Telephone, false, 5, u"Phone"},
        {"6 KSF_LINK Link", LegacyFieldType::Link, false, 6, u"Link"},
        {"7 KSF_TIME Opens", LegacyFieldType::Time, false, 7, u"Opens"},
        {"8 KSF_YESNO Member", LegacyFieldType::YesNo, false, 8, u"Member"},
        // The keyword table's order decides, wherever in the line the keywords stand.
        {"9 KSF_TEL Fax KSF_URL", LegacyFieldType::Url, false, 9, u"Fax KSF_URL"},
        {"10 KSF_DATE Pin KSF_PIN", LegacyFieldType::Default, true, 10, u"Pin KSF_PIN"},
        // Runs of spaces between the parts; the label keeps its inner spaces.
        {"11   KSF_TEL    Home   phone", LegacyFieldType::Telephone, false, 11, u"Home   phone"},
        {"12 KSF_TEL " + std::string(70, 'L'), LegacyFieldType::Telephone, false, 12,
         std::u16string(63, u'L')},
        {"1234567890 KSF_TEL Ten digits", LegacyFieldType::Telephone, false, 1234567890,
         u"Ten digits"},
        {"abc KSF_TEL No digits", LegacyFieldType::Telephone, false, 0, u"No digits"},
        {"9999999999 KSF_TEL Too big", LegacyFieldType::Telephone, false, 2147483647, u"Too big"},
    };
    for (const Case& c : cases) {
        const CustomFormsRead read = parse_custom_forms(ansi_file(form("1000", {c.line})));
        ASSERT_EQ(read.result, CustomFormsResult::Read) << c.line;
        ASSERT_EQ(read.forms.size(), 1u) << c.line;
        ASSERT_EQ(read.forms[0].fields.size(), 1u) << c.line;
        const CustomFormField& f = read.forms[0].fields[0];
        EXPECT_EQ(f.type, c.type) << c.line;
        EXPECT_EQ(f.pin, c.pin) << c.line;
        EXPECT_EQ(f.code, c.code) << c.line;
        EXPECT_EQ(f.label, c.label) << c.line;
    }
}

TEST(CustomForms, WhichFormsAreAccepted) {
    struct Case {
        const char* what;
        Lines lines;
        std::vector<int32_t> codes;  // of the forms returned, in order
    };
    const Case cases[] = {
        {"code 1000", form("1000", {"1 KSF_TEL A"}), {1000}},
        {"code 999", form("999", {"1 KSF_TEL A"}), {}},
        {"negative code", form("-1000", {"1 KSF_TEL A"}), {}},
        {"code without digits", form("none", {"1 KSF_TEL A"}), {}},
        {"no field lines", form("1000", {}), {}},
        {"lower-case keywords",
         {"<myform>", "Club", "1002", "1", "1 KSF_TEL A", "<endform>"},
         {1002}},
        {"no end", {"<MyForm>", "Club", "1003", "1", "1 KSF_TEL A"}, {}},
        {"a new start drops the unfinished form",
         {"<MyForm>", "Lost", "1004", "1", "1 KSF_TEL A", "<MyForm>", "Kept", "1005", "2",
          "1 KSF_TEL A", "<EndForm>"},
         {1005}},
        {"lines outside forms are ignored",
         concat({{"no keyword here", "1 KSF_TEL"},
                 form("1006", {"1 KSF_TEL A"}),
                 {"garbage between", "123456789012345"},
                 form("1007", {"1 KSF_TEL B"})}),
         {1006, 1007}},
        {"blank and comment lines take no part",
         {"<MyForm>", "", "; a comment", "Club", "   ", "1008", "; icon next", "3", "",
          "1 KSF_TEL A", "<EndForm>"},
         {1008}},
        {"end before the fields", {"<MyForm>", "Club", "1009", "<EndForm>"}, {}},
        {"keyword with a comment",
         concat(
             {{"<MyForm> ; start"}, {"Club", "1010", "1"}, {"1 KSF_TEL A", "<EndForm>   ;done"}}),
         {1010}},
    };
    for (const Case& c : cases) {
        const CustomFormsRead read = parse_custom_forms(ansi_file(c.lines));
        ASSERT_EQ(read.result, CustomFormsResult::Read) << c.what;
        std::vector<int32_t> codes;
        for (const auto& f : read.forms) codes.push_back(f.code);
        EXPECT_EQ(codes, c.codes) << c.what;
    }
}

TEST(CustomForms, NameAndIcon) {
    const CustomFormsRead read =
        parse_custom_forms(ansi_file(form("1000", {"1 KSF_TEL A"}, "  " + std::string(70, 'N'))));
    ASSERT_EQ(read.forms.size(), 1u);
    // Leading spaces stay; the name is cut to 63 characters.
    EXPECT_EQ(read.forms[0].name, u"  " + std::u16string(61, u'N'));
}

TEST(CustomForms, FiftyFieldsAtMost) {
    Lines fields;
    for (int i = 1; i <= 50; ++i)
        fields.push_back(std::to_string(i) + " KSF_TEL F" + std::to_string(i));
    fields.push_back("51 KSF_TEL The 51st");
    fields.push_back("not even a field line");  // ignored as well, not a syntax error
    const CustomFormsRead read = parse_custom_forms(ansi_file(form("1000", fields)));
    ASSERT_EQ(read.result, CustomFormsResult::Read);
    ASSERT_EQ(read.forms.size(), 1u);
    ASSERT_EQ(read.forms[0].fields.size(), 50u);
    EXPECT_EQ(read.forms[0].fields.back().label, u"F50");
}

TEST(CustomForms, SyntaxErrorsStopReading) {
    struct Case {
        const char* what;
        Lines lines;
        size_t line;  // 1-based within `lines`
    };
    const Case cases[] = {
        {"code line of 11 characters", {"<MyForm>", "Club", "10000000000", "1"}, 3},
        {"icon line of 3 characters", {"<MyForm>", "Club", "1000", "100"}, 4},
        {"field without a type keyword", form("1000", {"1 KSF_PHONE A"}), 5},
        {"field without a label", form("1000", {"1 KSF_TEL"}), 5},
        {"field without a label but a comment", form("1000", {"1 KSF_TEL ; x"}), 5},
        {"field without any space", form("1000", {"1KSF_TEL"}), 5},
        {"field code of 11 characters", form("1000", {"12345678901 KSF_TEL A"}), 5},
    };
    for (const Case& c : cases) {
        // A good form (the signature and 6 lines) before the error is not returned either.
        const Lines lines = concat({form("2000", {"1 KSF_TEL Good"}), c.lines});
        const CustomFormsRead read = parse_custom_forms(ansi_file(lines));
        EXPECT_EQ(read.result, CustomFormsResult::SyntaxError) << c.what;
        EXPECT_TRUE(read.forms.empty()) << c.what;
        EXPECT_EQ(read.error_line, c.line + 7) << c.what;
    }
}

TEST(CustomForms, EncodingsAndLineEnds) {
    const Lines lines = form("1000", {"1 KSF_TEL Caf\xC3\xA9"});  // "Café" in UTF-8
    Bytes cp1252 = ansi_file(form("1000", {"1 KSF_TEL Caf\xE9"}));
    Bytes bom16 = utf16_file(lines);
    bom16.insert(bom16.begin(), {0xFF, 0xFE});
    Bytes bom8 = ansi_file(lines);
    bom8.insert(bom8.begin(), {0xEF, 0xBB, 0xBF});
    Bytes wrong_case = ansi_file(lines);
    wrong_case[1] = 'b';
    const std::string sig(kCustomFormsSignature);
    const Bytes signature_only(sig.begin(), sig.end());

    struct Case {
        const char* what;
        Bytes bytes;
        CustomFormsResult result;
        size_t forms;
    };
    const Case cases[] = {
        {"ANSI, CR LF", ansi_file(lines), CustomFormsResult::Read, 1},
        {"ANSI, LF only", ansi_file(lines, "\n"), CustomFormsResult::Read, 1},
        {"ANSI in Windows-1252", cp1252, CustomFormsResult::Read, 1},
        {"UTF-16LE, CR LF", utf16_file(lines), CustomFormsResult::Read, 1},
        {"UTF-16LE, LF only", utf16_file(lines, "\n"), CustomFormsResult::Read, 1},
        {"signature alone", signature_only, CustomFormsResult::Read, 0},
        {"UTF-16 byte-order mark", bom16, CustomFormsResult::NotCustomForms, 0},
        {"UTF-8 byte-order mark", bom8, CustomFormsResult::NotCustomForms, 0},
        {"signature in another case", wrong_case, CustomFormsResult::NotCustomForms, 0},
        {"signature cut short", Bytes(signature_only.begin(), signature_only.end() - 1),
         CustomFormsResult::NotCustomForms, 0},
        {"other text", Bytes{'h', 'e', 'l', 'l', 'o'}, CustomFormsResult::NotCustomForms, 0},
        {"empty", Bytes{}, CustomFormsResult::CannotRead, 0},
    };
    for (const Case& c : cases) {
        const CustomFormsRead read = parse_custom_forms(c.bytes);
        EXPECT_EQ(read.result, c.result) << c.what;
        ASSERT_EQ(read.forms.size(), c.forms) << c.what;
        if (c.forms == 1) {
            ASSERT_EQ(read.forms[0].fields.size(), 1u) << c.what;
            EXPECT_EQ(read.forms[0].fields[0].label, u"Caf\u00e9") << c.what;
        }
    }
}

TEST(CustomForms, LongLineIsCutAndItsRestIsNotANewLine) {
    // 512 bytes are taken; the rest of the line, with its "KSF_" text, is passed over.
    const std::string field = "1 KSF_TEL " + std::string(600, 'x') + " 2 KSF_TEL y";
    for (bool utf16 : {false, true}) {
        const Lines lines = form("1000", {field});
        const CustomFormsRead read =
            parse_custom_forms(utf16 ? utf16_file(lines) : ansi_file(lines));
        ASSERT_EQ(read.result, CustomFormsResult::Read) << utf16;
        ASSERT_EQ(read.forms.size(), 1u);
        ASSERT_EQ(read.forms[0].fields.size(), 1u);
        EXPECT_EQ(read.forms[0].fields[0].label, std::u16string(63, u'x'));
    }
}

TEST(CustomForms, FormsComeInFileOrder) {
    const CustomFormsRead read = parse_custom_forms(ansi_file(
        concat({form("3000", {"1 KSF_TEL A"}, "Third"), form("1000", {"1 KSF_TEL B"}, "First"),
                form("2000", {"1 KSF_TEL C"}, "Second")})));
    ASSERT_EQ(read.forms.size(), 3u);
    EXPECT_EQ(read.forms[0].name, u"Third");
    EXPECT_EQ(read.forms[1].name, u"First");
    EXPECT_EQ(read.forms[2].name, u"Second");
}

TEST(CustomForms, ReadsFromAFile) {
    test::TempDir dir;
    test::write_file_bytes(dir / "forms.ccd", ansi_file(form("1000", {"1 KSF_TEL A"})));
    test::write_file_bytes(dir / "empty.ccd", {});
    EXPECT_EQ(read_custom_forms(dir / "forms.ccd").forms.size(), 1u);
    EXPECT_EQ(read_custom_forms(dir / "empty.ccd").result, CustomFormsResult::CannotRead);
    EXPECT_EQ(read_custom_forms(dir / "missing.ccd").result, CustomFormsResult::CannotRead);
    EXPECT_EQ(read_custom_forms(dir.path()).result, CustomFormsResult::CannotRead);
}

}  // namespace
}  // namespace ks
