// The English language table: it parses, holds every text the code asks for, and its message
// formats take their arguments in the order the code passes them.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <vector>

#include "core/field.h"
#include "forms/builtin_forms.h"
#include "platform/string_table.h"
#include "platform/text.h"
#include "platform/text_ids.h"

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

// Every text the code loads is there, and its message format takes the arguments the code
// gives, in order.
TEST(EnglishTable, HasEveryTextTheCodeUsesWithItsArguments) {
    const StringTable table = english();
    for (const text_id::TextUse& use : text_id::kTextsInUse) {
        auto text = table.find(use.id);
        ASSERT_TRUE(text) << "missing text " << use.id;
        EXPECT_FALSE(text->empty()) << use.id;
        EXPECT_EQ(conversions(*text), use.conversions) << use.id << ": " << to_utf8(*text);
    }
    for (uint32_t id = text_id::kRegistryProblemFirst; id <= text_id::kRegistryProblemLast; ++id)
        EXPECT_TRUE(table.find(id)) << "missing text " << id;
    std::set<uint32_t> data;  // the form table's names and labels, and the field kinds' names
    for (uint16_t kind = 0; kind <= 17; ++kind) data.insert(field_kind_name_id(kind));
    for (const BuiltInForm& form : builtin_forms()) {
        data.insert(form.name_text);
        for (const BuiltInFormField& field : form.fields) data.insert(field.label_text);
    }
    for (uint32_t id : data) {
        auto text = table.find(id);
        ASSERT_TRUE(text) << "missing text " << id;
        EXPECT_FALSE(text->empty()) << id;
    }
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

// Only the texts that are message formats hold conversions: a stray "%" in any other would be
// shown as it stands. The windows' formats are named here until their code loads them.
TEST(EnglishTable, OnlyFormatsHoldConversions) {
    const StringTable table = english();
    std::map<uint32_t, std::string> formats = {
        {20021, "s"},   // About box: the version
        {22004, "dd"},  // folder deletion: folders (itself included), then cards
        {22011, "s"},   // wallet deletion: the wallet's path
        {28205, "ss"},  // attachment status: the file's date, then its size
        {28207, "d"},   // temporary copies still in use: how many
        {28705, "s"},   // special folder properties: the folder's caption
    };
    for (const text_id::TextUse& use : text_id::kTextsInUse)
        formats.emplace(use.id, std::string(use.conversions));
    for (const auto& [id, text] : table.texts()) {
        const auto format = formats.find(id);
        EXPECT_EQ(conversions(text), format == formats.end() ? "" : format->second)
            << id << ": " << to_utf8(text);
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
