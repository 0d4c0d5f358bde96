// The English language table: it parses, holds every text the code asks for, and its message
// formats take their arguments in the order the code passes them.
#include <gtest/gtest.h>

#include <set>
#include <vector>

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
    for (uint32_t id : {it::kProductName,
                        it::kErrorTitle,
                        it::kConfirmTitle,
                        it::kCardNameLabel,
                        it::kQuestion,
                        it::kFolderName,
                        it::kUnreadable,
                        it::kNotACardList,
                        it::kPreviewHead,
                        it::kMoreColumns,
                        it::kAskOnce,
                        it::kImported,
                        it::kWriteFailed,
                        it::kRowsRead,
                        it::kColumnsLeftOut,
                        et::kFolderLabel,
                        et::kSeparator,
                        et::kHead,
                        et::kWallet,
                        et::kWalletPath,
                        et::kDate,
                        et::kFinished,
                        et::kOpenQuestion,
                        et::kCardWithoutFields,
                        et::kAttachmentSaved,
                        ff::kTextErrorTitle,
                        ff::kTextImportTitle,
                        ff::kTextExportTitle,
                        ff::kTextExported,
                        ff::kTextImportQuestion,
                        ff::kTextNameLabel,
                        ff::kTextDescriptionLabel,
                        ff::kTextAuthorLabel,
                        ff::kTextDateLabel,
                        ff::kTextExportFailed,
                        kTextConvertAsk,
                        kTextConvertDetail,
                        kTextConvertWrongPassword,
                        kTextConvertNotReadable,
                        kTextConvertCannotCreate,
                        kTextConvertExists,
                        kTextConvertNoFolders,
                        kTextConverted,
                        kTextConvertDamaged,
                        kTextConvertNoCustomForms})
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

// Every text id the program's windows and messages use, as runs of consecutive ids.
struct IdRun {
    uint32_t first;
    uint32_t last;
};
constexpr IdRun kWindowAndMessageTexts[] = {
    {20000, 20001}, {20020, 20021}, {20100, 20100}, {20200, 20205}, {20500, 20500}, {20503, 20505},
    {20507, 20511}, {20513, 20513}, {20516, 20516}, {20518, 20519}, {20530, 20530}, {20580, 20580},
    {20585, 20585}, {20700, 20701}, {20703, 20710}, {20712, 20715}, {20717, 20743}, {20750, 20757},
    {20760, 20762}, {20765, 20767}, {20769, 20773}, {20776, 20780}, {20850, 20852}, {20854, 20854},
    {20856, 20856}, {20900, 20902}, {20904, 20906}, {22000, 22007}, {22010, 22015}, {22017, 22020},
    {22022, 22023}, {22025, 22029}, {22040, 22041}, {22050, 22053}, {22070, 22079}, {22100, 22104},
    {22110, 22115}, {22120, 22120}, {22122, 22123}, {22130, 22131}, {22135, 22138}, {22142, 22147},
    {22149, 22150}, {22155, 22155}, {22164, 22166}, {23001, 23002}, {23007, 23007}, {23010, 23017},
    {24003, 24006}, {24500, 24502}, {24504, 24513}, {24515, 24516}, {25000, 25001}, {25013, 25017},
    {25030, 25030}, {25900, 25900}, {26000, 26001}, {26003, 26005}, {26007, 26011}, {26015, 26016},
    {27003, 27004}, {27006, 27007}, {28000, 28006}, {28100, 28107}, {28110, 28119}, {28200, 28208},
    {28300, 28307}, {28400, 28404}, {28500, 28502}, {28504, 28505}, {28507, 28510}, {28600, 28603},
    {28700, 28706}, {28720, 28724}, {28900, 28901}, {30002, 30002}, {30004, 30007}, {30009, 30010},
    {31000, 31015}, {31101, 31110}, {31200, 31213}, {31300, 31333}, {31400, 31412}, {31500, 31524},
    {31600, 31621}, {31700, 31715}, {31800, 31816}, {31900, 31909}, {32000, 32004}, {32100, 32102},
    {32200, 32210}, {32300, 32316}, {32400, 32407}, {32500, 32512}, {32600, 32617}, {32700, 32711},
    {32800, 32807}, {32900, 32902}, {33000, 33014}, {33100, 33115}, {33200, 33226}, {33300, 33323},
    {33400, 33415}, {33500, 33525}, {33600, 33612}, {33700, 33714}, {33800, 33812}, {33900, 33912},
    {34000, 34011}, {34100, 34116}, {34200, 34210}, {34300, 34330}, {34401, 34405}, {34500, 34512},
    {34600, 34611}, {34700, 34713}, {34800, 34814}, {34900, 34922}, {35000, 35020}, {39000, 39031},
    {39033, 39043}};

TEST(EnglishTable, HasEveryTextTheWindowsAndMessagesUse) {
    const StringTable table = english();
    size_t checked = 0;
    for (const IdRun& run : kWindowAndMessageTexts) {
        ASSERT_LE(run.first, run.last);
        for (uint32_t id = run.first; id <= run.last; ++id, ++checked) {
            auto text = table.find(id);
            ASSERT_TRUE(text) << "missing text " << id;
            EXPECT_FALSE(text->empty()) << id;
        }
    }
    EXPECT_EQ(checked, 982u);
}

// Texts shown side by side in one menu or list must be told apart, and fit on one line.
TEST(EnglishTable, ChoicesInOneMenuOrListDiffer) {
    const StringTable table = english();
    const struct {
        const char* what;
        std::vector<uint32_t> ids;
    } groups[] = {
        {"menu commands",
         {20511, 20585, 20700, 20701, 20703, 20704, 20705, 20706, 20707, 20708, 20709, 20710,
          20712, 20713, 20714, 20715, 20717, 20718, 20719, 20720, 20721, 20722, 20723, 20724,
          20725, 20726, 20727, 20728, 20729, 20730, 20731, 20732, 20733, 20734, 20735, 20736,
          20737, 20738, 20739, 20740, 20741, 20742, 20743, 20750, 20751, 20752, 20753, 20754,
          20755, 20756, 20757, 20760, 20761, 20762, 20765, 20766, 20767, 20769, 20770, 20771,
          20772, 20773, 20776, 20777, 20778, 20779, 20780}},
        {"text sizes", {20900, 20901, 20902, 20904, 20905, 20906}},
        {"picture positions",
         {28110, 28111, 28112, 28113, 28114, 28115, 28116, 28117, 28118, 28119}},
        {"close-after periods", {28504, 28505, 28507, 28508, 28509, 28510}},
        {"export items", {22112, 22113, 22114, 22115}},
        {"export formats", {22122, 22123}},
        {"export places", {20852, 20854, 20856}},
        {"save-in places", {20850, 20851}},
        {"selection-list buttons", {28721, 28722, 28723, 28724}},
        {"attachment buttons", {28201, 28202, 28203, 28204}},
        {"sound buttons", {28001, 28002, 28003, 28004}},
        {"picture buttons", {28101, 28102, 28103, 28104}},
        {"open-failure reasons", {23002, 23013, 23014, 23015}},
    };
    for (const auto& group : groups) {
        std::set<std::u16string> seen;
        for (uint32_t id : group.ids) {
            const std::u16string text = table.find(id).value_or(u"");
            EXPECT_FALSE(text.empty()) << group.what << ": " << id;
            EXPECT_EQ(text.find_first_of(u"\r\n"), std::u16string::npos)
                << group.what << ": " << id;
            EXPECT_TRUE(seen.insert(text).second)
                << group.what << ": " << id << " repeats \"" << to_utf8(text) << "\"";
        }
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
        {import_texts::kTooMuch, "dd"},
        {import_texts::kRowsRead, "d"},
        {import_texts::kColumnsLeftOut, "d"},
        {export_texts::kWallet, "s"},
        {export_texts::kWalletPath, "s"},
        {export_texts::kDate, "s"},
        {export_texts::kAttachmentSaved, "s"},
        {form_file::kTextExported, "ss"},
        {kTextConvertDetail, "ss"},
        {kTextConverted, "s"},
        {kTextConvertNoCustomForms, "s"},
        {kTextConvertUnreadable, "d"},
        {36100, "sds"},
        {36110, "ss"},
        {36111, "ss"},
        {36112, "s"},
        {20021, "s"},   // About box: the version
        {22004, "dd"},  // folder deletion: folders (itself included), then cards
        {22011, "s"},   // wallet deletion: the wallet's path
        {28205, "ss"},  // attachment status: the file's date, then its size
        {28207, "d"},   // temporary copies still in use: how many
        {28705, "s"},   // special folder properties: the folder's caption
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
