// The English language table: it parses, holds every text the code asks for, and its message
// formats take their arguments in the order the code passes them.
#include <gtest/gtest.h>

#include <set>

#include "core/field.h"
#include "core/repair.h"
#include "core/wallet_document.h"
#include "core/wallet_open.h"
#include "forms/builtin_forms.h"
#include "forms/form_file.h"
#include "forms/forms.h"
#include "forms/legacy_conversion.h"
#include "forms/text_export.h"
#include "forms/text_import.h"
#include "platform/string_table.h"
#include "platform/text.h"

namespace ks {
namespace {

StringTable english() {
    auto parsed = load_string_table(std::filesystem::path(KEYSTASH_LANGUAGE_DIR) /
                                    language_module_name(0x409));
    EXPECT_FALSE(parsed.error) << parsed.error->line << ": " << parsed.error->message;
    return parsed.table.value_or(StringTable{});
}

// The conversions of a printf-style text, in order ("sd" for "%s ... %d").
std::string conversions(std::u16string_view text) {
    std::string out;
    for (size_t i = 0; i + 1 < text.size(); ++i) {
        if (text[i] != u'%') continue;
        size_t j = i + 1;
        while (j < text.size() &&
               std::u16string_view(u"-0123456789.lh").find(text[j]) != std::u16string_view::npos)
            ++j;
        if (j < text.size() && text[j] != u'%') out += static_cast<char>(text[j]);
        i = j;
    }
    return out;
}

TEST(EnglishTable, HasEveryTextTheCodeUses) {
    const StringTable table = english();
    std::set<uint32_t> used = {
        kTextProductName,   kTextCaption1,     kTextCaption2, kTextCaption3, kTextMyForms,
        kTextSampleFolder,  kTextYes,          kTextNo,       kTextNewCard,  kTextRepairAsk,
        kTextRepairConfirm, kTextRepairReport, 24516};
    for (uint16_t kind = 0; kind <= 17; ++kind) used.insert(field_kind_name_id(kind));
    namespace it = import_texts;
    namespace et = export_texts;
    namespace ff = form_file;
    for (uint32_t id :
         {it::kProductName, it::kErrorTitle, it::kConfirmTitle, it::kCardNameLabel, it::kQuestion,
          it::kFolderName, it::kUnreadable, it::kNotACardList, it::kPreviewHead, it::kMoreColumns,
          it::kAskOnce, it::kImported, it::kWriteFailed, et::kFolderLabel, et::kSeparator, et::kHead,
          et::kWallet, et::kWalletPath, et::kDate, et::kFinished, et::kOpenQuestion,
          et::kCardWithoutFields, et::kAttachmentSaved, ff::kTextErrorTitle, ff::kTextImportTitle,
          ff::kTextExportTitle, ff::kTextExported, ff::kTextImportQuestion, ff::kTextNameLabel,
          ff::kTextDescriptionLabel, ff::kTextAuthorLabel, ff::kTextDateLabel, ff::kTextExportFailed,
          kTextConvertAsk, kTextConvertDetail, kTextConvertWrongPassword, kTextConvertNotReadable,
          kTextConvertCannotCreate, kTextConvertExists, kTextConvertNoFolders, kTextConverted,
          kTextConvertDamaged, kTextConvertNoCustomForms})
        used.insert(id);
    for (const BuiltInForm& form : builtin_forms()) {
        used.insert(form.name_text);
        for (const BuiltInFormField& field : form.fields) used.insert(field.label_text);
    }
    for (uint32_t id : used) {
        auto text = table.find(id);
        ASSERT_TRUE(text) << "missing text " << id;
        EXPECT_FALSE(text->empty()) << id;
    }
}

TEST(EnglishTable, FormatsTakeTheArgumentsTheCodeGives) {
    const StringTable table = english();
    const std::map<uint32_t, std::string> formats = {
        {kTextRepairAsk, "s"},
        {kTextRepairConfirm, ""},
        {kTextRepairReport, "ds"},
        {import_texts::kQuestion, "s"},
        {import_texts::kMoreColumns, "d"},
        {import_texts::kAskOnce, "d"},
        {import_texts::kImported, "d"},
        {export_texts::kWallet, "s"},
        {export_texts::kWalletPath, "s"},
        {export_texts::kDate, "s"},
        {export_texts::kAttachmentSaved, "s"},
        {form_file::kTextExported, "ss"},
        {kTextConvertDetail, "ss"},
        {kTextConverted, "s"},
        {kTextConvertNoCustomForms, "s"},
    };
    for (const auto& [id, expected] : formats) {
        auto text = table.find(id);
        ASSERT_TRUE(text) << id;
        EXPECT_EQ(conversions(*text), expected) << id << ": " << to_utf8(*text);
    }
    // Texts used as they are carry no conversions.
    for (const auto& [id, text] : table.texts()) {
        if (formats.contains(id)) continue;
        EXPECT_EQ(conversions(text), "") << id << ": " << to_utf8(text);
    }
}

TEST(EnglishTable, FormNamesAndLabelsFitTheirPlaces) {
    const StringTable table = english();
    std::set<std::u16string> names;
    for (const BuiltInForm& form : builtin_forms()) {
        const std::u16string name = table.find(form.name_text).value_or(u"");
        EXPECT_LE(name.size(), 28u) << to_utf8(name);
        EXPECT_TRUE(names.insert(name).second) << "two forms named " << to_utf8(name);
        for (const BuiltInFormField& field : form.fields)
            EXPECT_LE(table.find(field.label_text).value_or(u"").size(), 24u) << field.label_text;
    }
}

}  // namespace
}  // namespace ks
