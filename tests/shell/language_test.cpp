#include "shell/language.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <optional>
#include <string>

#include "platform/text.h"
#include "platform/texts.h"
#include "support/test_support.h"

namespace ks {
namespace {

using test::ScopedEnv;

void write_text(const std::filesystem::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

// A module whose text 20000 names its language, so a test can tell which one is loaded.
void write_module(const std::filesystem::path& dir, uint16_t id) {
    write_text(dir / language_module_name(id), "20000\tlanguage " + std::to_string(id) + "\n");
}

std::u16string marker(uint16_t id) {
    return u"language " + from_utf8(std::to_string(id));
}

TEST(LanguageIdFromLocale, Names) {
    const struct {
        const char* name;
        std::optional<uint16_t> id;
    } cases[] = {
        {"en_US.UTF-8", 0x0409},
        {"en_GB.UTF-8", 0x0809},
        {"de_DE.UTF-8", 0x0407},
        {"de_AT", 0x0c07},
        {"de_CH.ISO-8859-1", 0x0807},
        {"de", 0x0407},
        {"de_XX.UTF-8", 0x0407},  // unknown territory: the language's main identifier
        {"fr_CA.UTF-8", 0x0c0c},
        {"fr_FR@euro", 0x040c},
        {"pt_BR.UTF-8", 0x0416},
        {"pt_PT", 0x0816},
        {"pt", 0x0816},
        {"es_ES.UTF-8", 0x0c0a},
        {"es_MX.UTF-8", 0x080a},
        {"ja_JP.eucJP", 0x0411},
        {"zh_TW.UTF-8", 0x0404},
        {"zh_CN.GB18030", 0x0804},
        {"nb_NO.UTF-8", 0x0414},
        {"sr_RS.UTF-8", 0x281a},
        {"sr_RS@latin", 0x241a},
        {"DE_de.utf8", 0x0407},  // case is ignored
        {"C", std::nullopt},
        {"C.UTF-8", std::nullopt},
        {"POSIX", std::nullopt},
        {"", std::nullopt},
        {"xx_YY", std::nullopt},
        {"_US", std::nullopt},
        {"e1_US", std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(language_id_from_locale(c.name), c.id) << c.name;
}

TEST(UserLanguage, FirstSetVariableDecides) {
    const struct {
        std::optional<std::string> lc_all, lc_messages, lang;
        std::optional<uint16_t> id;
    } cases[] = {
        {"de_DE.UTF-8", "fr_FR.UTF-8", "it_IT.UTF-8", 0x0407},
        {std::nullopt, "fr_FR.UTF-8", "it_IT.UTF-8", 0x040c},
        {"", "", "it_IT.UTF-8", 0x0410},  // empty counts as unset
        {std::nullopt, std::nullopt, std::nullopt, std::nullopt},
        {"C", std::nullopt, "it_IT.UTF-8", std::nullopt},  // C decides: no user language
    };
    for (const auto& c : cases) {
        ScopedEnv env;
        env.set("LC_ALL", c.lc_all);
        env.set("LC_MESSAGES", c.lc_messages);
        env.set("LANG", c.lang);
        EXPECT_EQ(user_language_id(), c.id)
            << c.lc_all.value_or("-") << " " << c.lc_messages.value_or("-") << " "
            << c.lang.value_or("-");
    }
}

TEST(SystemLanguage, ReadsLangFromTheSettingsFile) {
    test::TempDir dir;
    const struct {
        const char* text;
        std::optional<uint16_t> id;
    } cases[] = {
        {"LANG=de_DE.UTF-8\n", 0x0407},
        {"# comment\nLC_TIME=en_GB.UTF-8\nLANG=\"fr_FR.UTF-8\"\n", 0x040c},
        {"export LANG='it_IT.UTF-8'\r\n", 0x0410},
        {"LANG=de_DE.UTF-8\nLANG=es_ES.UTF-8\n", 0x0c0a},  // the last assignment counts
        {"LANGUAGE=de\n", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& c : cases) {
        write_text(dir / "locale", c.text);
        EXPECT_EQ(system_language_id(dir / "locale"), c.id) << c.text;
    }
    EXPECT_EQ(system_language_id(dir / "missing"), std::nullopt);
}

TEST(LanguageCandidates, Order) {
    const struct {
        std::optional<uint16_t> preference, user, system;
        std::vector<uint16_t> expected;
    } cases[] = {
        {0x0407, 0x040c, 0x0410, {0x0407, 0x040c, 0x0409}},
        {std::nullopt, 0x040c, 0x0410, {0x040c, 0x0409}},
        {std::nullopt, std::nullopt, 0x0410, {0x0410, 0x0409}},  // system only without user
        {std::nullopt, std::nullopt, std::nullopt, {0x0409}},
        {0, 0x040c, std::nullopt, {0x040c, 0x0409}},  // a zero preference follows the system
        {0x0409, 0x0409, std::nullopt, {0x0409}},     // no repeats
        {0x040c, 0x0409, std::nullopt, {0x040c, 0x0409}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(language_candidates(c.preference, c.user, c.system), c.expected);
    }
}

TEST(ChooseLanguageModule, FirstPresentCandidateWins) {
    const struct {
        std::vector<uint16_t> present;
        std::optional<uint16_t> chosen;
    } cases[] = {
        {{0x0407, 0x040c, 0x0409}, 0x0407},
        {{0x040c, 0x0409}, 0x040c},
        {{0x0409}, 0x0409},
        {{0x0407}, 0x0407},
        {{0x0410}, std::nullopt},  // not a candidate
        {{}, std::nullopt},
    };
    for (const auto& c : cases) {
        test::TempDir dir;
        for (uint16_t id : c.present) write_module(dir.path(), id);
        const LanguageChoice choice = choose_language_module({0x0407, 0x040c, 0x0409}, dir.path());
        ASSERT_EQ(choice.module.has_value(), c.chosen.has_value());
        if (!c.chosen) continue;
        EXPECT_EQ(choice.module->language_id, *c.chosen);
        EXPECT_EQ(choice.module->path, dir.path() / language_module_name(*c.chosen));
        EXPECT_EQ(choice.module->table.find(20000), marker(*c.chosen));
        EXPECT_TRUE(choice.problems.empty());
    }
}

TEST(ChooseLanguageModule, DamagedModuleIsReportedAndSkipped) {
    test::TempDir dir;
    write_text(dir / language_module_name(0x0407), "20000\tok\nnot a line\n");
    std::filesystem::create_directory(dir / language_module_name(0x040c));  // a folder
    write_module(dir.path(), 0x0409);
    const LanguageChoice choice = choose_language_module({0x0407, 0x040c, 0x0409}, dir.path());
    ASSERT_TRUE(choice.module);
    EXPECT_EQ(choice.module->language_id, 0x0409);
    ASSERT_EQ(choice.problems.size(), 1u);
    EXPECT_NE(choice.problems[0].find(language_module_name(0x0407) + ":2:"), std::string::npos)
        << choice.problems[0];
}

class InstallLanguageTest : public ::testing::Test {
  protected:
    void SetUp() override {
        env_.set("KEYSTASH_DATA_DIR", dir_.path().string());
        env_.set("LC_ALL", std::nullopt);
        env_.set("LC_MESSAGES", std::nullopt);
        env_.set("LANG", "fr_FR.UTF-8");
    }
    void TearDown() override { set_text_source(nullptr); }
    test::TempDir dir_;
    ScopedEnv env_;
};

TEST_F(InstallLanguageTest, PreferenceThenUserThenEnglish) {
    const struct {
        std::vector<uint16_t> present;
        std::optional<uint16_t> preference;
        std::optional<uint16_t> chosen;
    } cases[] = {
        {{0x0407, 0x040c, 0x0409}, 0x0407, 0x0407},
        {{0x040c, 0x0409}, 0x0407, 0x040c},        // preferred module absent: the user's
        {{0x0407, 0x040c, 0x0409}, 0, 0x040c},     // zero: no preference
        {{0x0407, 0x0409}, std::nullopt, 0x0409},  // user's absent: English, not German
        {{0x0407}, std::nullopt, std::nullopt},
    };
    for (const auto& c : cases) {
        std::filesystem::remove_all(dir_.path());
        std::filesystem::create_directories(dir_.path());
        for (uint16_t id : c.present) write_module(dir_.path(), id);
        const LanguageChoice choice = install_language_module(c.preference);
        EXPECT_EQ(installed_language_id(), c.chosen);
        if (c.chosen) {
            ASSERT_TRUE(choice.module);
            EXPECT_EQ(choice.module->language_id, *c.chosen);
            EXPECT_EQ(load_string(20000), marker(*c.chosen));
            EXPECT_EQ(load_string(1), u"?");
        } else {
            EXPECT_FALSE(choice.module);
            EXPECT_EQ(load_string(20000), u"*");
        }
    }
}

TEST_F(InstallLanguageTest, ReinstallingReplacesTheTexts) {
    write_module(dir_.path(), 0x0407);
    write_module(dir_.path(), 0x040c);
    install_language_module(0x0407);
    EXPECT_EQ(load_string(20000), marker(0x0407));
    install_language_module(std::nullopt);
    EXPECT_EQ(load_string(20000), marker(0x040c));
    EXPECT_EQ(installed_language_id(), 0x040c);
}

TEST(EnglishTable, IsFoundAsTheLastResort) {
    ScopedEnv env;
    env.set("KEYSTASH_DATA_DIR", KEYSTASH_LANGUAGE_DIR);
    env.set("LC_ALL", "xx_YY");
    const LanguageChoice choice = install_language_module(0x7fff);
    set_text_source(nullptr);
    ASSERT_TRUE(choice.module);
    EXPECT_EQ(choice.module->language_id, kDefaultLanguageId);
    EXPECT_GT(choice.module->table.size(), 100u);
}

}  // namespace
}  // namespace ks
