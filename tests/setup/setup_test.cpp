#include "setup/setup.h"

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/file.h"
#include "platform/registry.h"
#include "platform/text.h"
#include "support/test_support.h"

namespace ks::setup {
namespace {

namespace fs = std::filesystem;
using test::ScriptedPrompt;
using test::TempDir;

constexpr RegistryRoot kUser = RegistryRoot::CurrentUser;

void write_text(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

std::string read_text(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::vector<std::string> names_in(const fs::path& folder) {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder, ec)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

// Sets an environment variable for the life of the object.
class ScopedEnv {
  public:
    ScopedEnv(const char* name, const std::string& value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        ::setenv(name, value.c_str(), 1);
    }
    ~ScopedEnv() {
        if (old_) {
            ::setenv(name_, old_->c_str(), 1);
        } else {
            ::unsetenv(name_);
        }
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

  private:
    const char* name_;
    std::optional<std::string> old_;
};

// A documents folder, a configuration folder and a runtime folder in a temporary folder, and
// an installation folder.
class SetupTest : public ::testing::Test {
  protected:
    fs::path install() const { return tmp_ / "install"; }
    fs::path documents() const { return tmp_ / "docs"; }
    fs::path samples() const { return documents() / "Keystash Samples"; }
    fs::path config() const { return tmp_ / "config"; }
    fs::path runtime() const { return tmp_ / "run"; }

    void SetUp() override {
        fs::create_directories(install());
        fs::create_directories(samples());
        fs::create_directories(runtime());
    }

    SetupEnvironment environment(uint16_t ui_language = kEnglishUs,
                                 std::u16string platform = u"PocketPC") const {
        SetupEnvironment env;
        env.platform_type = std::move(platform);
        env.os_major = 5;
        env.os_minor = 1;
        env.ui_language = ui_language;
        env.documents = documents();
        env.config_folder = config();
        env.runtime_dir = runtime();
        return env;
    }

    void add_language(uint16_t id) {
        char name[64];
        std::snprintf(name, sizeof name, "keystash.exe.%04x.mui", id);
        write_text(install() / name, "1\tx\n");
    }

    void place_samples() {
        write_text(samples() / "Sample Wallet.ks5", "fresh wallet");
        write_text(samples() / "Form Sample.ksx", "fresh form");
        write_text(samples() / "Import Sample.txt", "fresh import");
    }

    Registry registry() const {
        Registry r;
        EXPECT_TRUE(r.load(config()));
        return r;
    }

    void preset(std::u16string_view name, std::u16string_view text) {
        Registry r;
        ASSERT_TRUE(r.load(config()));
        ASSERT_TRUE(r.set_string(kUser, kSettingsKey, name, text));
        ASSERT_TRUE(r.save());
    }

    TempDir tmp_;
};

// ---- Texts ---------------------------------------------------------------------------------

TEST(SetupTextTest, LanguageBasesFollowThePrimaryLanguage) {
    const struct {
        uint16_t language;
        uint32_t base;
    } cases[] = {
        {0x0409, 224}, {0x0809, 224}, {0x0407, 256}, {0x0807, 256}, {0x040c, 288},
        {0x0413, 320}, {0x0410, 352}, {0x0c0a, 416}, {0x040a, 416}, {0x0414, 512},
        {0x0814, 512}, {0x0419, 544}, {0x041d, 608}, {0x0411, 224}, {0x040d, 224},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(language_base(c.language), c.base) << std::hex << c.language;
    }
}

TEST(SetupTextTest, TextsComeInTheLanguageOrInEnglish) {
    const struct {
        uint32_t id;
        uint16_t language;
        const char* expected;
    } cases[] = {
        {227, 0x0409, "My Sample Wallet.ks5"},
        {228, 0x0409, "Form Sample.ksx"},
        {229, 0x0409, "Import Sample.txt"},
        {230, 0x0409, "The following languages of Keystash Pro have been installed:"},
        {231, 0x0409, "Please select preferred language:"},
        {227, 0x0407, "Meine Beispiel-Brieftasche.ks5"},
        {227, 0x0c07, "Meine Beispiel-Brieftasche.ks5"},  // Austrian German: same block
        {228, 0x040c, "Exemple de formulaire.ksx"},
        {229, 0x0c0a, "Ejemplo de importaci\u00f3n.txt"},
        {227, 0x041d, "Min exempelpl\u00e5nbok.ks5"},
        {227, 0x0411, "My Sample Wallet.ks5"},  // no block of its own
        {104, 0x0407, "Keystash Pro"},          // below 199: one text for all languages
        {101, 0x0419, "Brightloom"},
        {232, 0x0407, ""},  // neither the language nor English has it
    };
    for (const auto& c : cases) {
        EXPECT_EQ(to_utf8(setup_text(c.id, c.language)), c.expected)
            << c.id << " " << std::hex << c.language;
    }
}

TEST(SetupTextTest, EveryLanguageHasItsOwnSampleNames) {
    // Two languages sharing a sample name would make one rename the other's file.
    std::map<std::u16string, uint16_t> seen;
    for (uint16_t language : {0x409, 0x407, 0x40c, 0x413, 0x410, 0x40a, 0x414, 0x419, 0x41d}) {
        for (uint32_t id : {227u, 228u, 229u}) {
            const std::u16string name = setup_text(id, language);
            EXPECT_FALSE(name.empty());
            EXPECT_EQ(name.find_first_of(u"/\\:*?\"<>|"), std::u16string::npos);
            const auto [it, fresh] = seen.emplace(name, language);
            EXPECT_TRUE(fresh) << to_utf8(name) << " in " << std::hex << language << " and "
                               << it->second;
        }
    }
}

TEST(SetupTextTest, ProductTitleAndVersionLine) {
    EXPECT_EQ(to_utf8(product_title()), "Keystash\u00ae Pro 2006");
    EXPECT_EQ(to_utf8(version_line()), "Version 6.11");
}

// ---- Languages -----------------------------------------------------------------------------

TEST(SetupLanguageTest, LanguageIdFromFileName) {
    const std::string long_zeros(31, '0');
    const struct {
        std::string name;
        std::optional<uint16_t> id;
    } cases[] = {
        {"keystash.exe.0407.mui", 0x407},
        {"keystash.exe.0409.mui", 0x409},
        {"KEYSTASH.EXE.040C.MUI", 0x40c},
        {"other.exe.40d.mui", 0x40d},
        {"keystash.exe.0407", std::nullopt},       // not a .mui file
        {"keystash.exe.0407.txt", std::nullopt},   // not a .mui file
        {"keystash.0407.mui", std::nullopt},       // no ".exe."
        {"keystash.exe.mui", std::nullopt},        // no id at all
        {"keystash.exe.0000.mui", std::nullopt},   // zero is no language
        {"keystash.exe.10409.mui", std::nullopt},  // beyond 16 bits
        {"keystash.exe.zz.mui", std::nullopt},
        // Only 31 characters after ".exe." are read: the digits beyond them do not count.
        {"keystash.exe." + long_zeros + "407.mui", std::nullopt},
        {"keystash.exe." + long_zeros.substr(3) + "407.mui", 0x407},
    };
    for (const auto& c : cases) EXPECT_EQ(language_of_file_name(c.name), c.id) << c.name;
}

TEST_F(SetupTest, LanguageFilesAreFoundInNameOrderAndAtMost32) {
    for (int i = 1; i <= 40; ++i) add_language(static_cast<uint16_t>(0x400 + i));
    fs::create_directories(install() / "keystash.exe.0401.mui.d" / "x");
    fs::create_directories(install() / "folder.exe.0402.mui");  // a folder, not a table
    write_text(install() / "readme.txt", "");
    const std::vector<LanguageFile> files = find_language_files(install());
    ASSERT_EQ(files.size(), 32u);
    EXPECT_EQ(files.front().language_id, 0x401);
    EXPECT_EQ(files.back().language_id, 0x420);
    EXPECT_EQ(files.front().path, install() / "keystash.exe.0401.mui");
}

// The folder may hold other programs' tables and links under our names: they are neither
// offered nor deleted.
TEST_F(SetupTest, OnlyOurOwnLanguageTablesAreOfferedAndRemoved) {
    add_language(0x409);
    add_language(0x407);
    for (const char* name : {"other.exe.0409.mui", "viewer.exe.040c.mui", "KEYSTASH.EXE.0410.MUI"})
        write_text(install() / name, "theirs");
    write_text(tmp_ / "elsewhere.mui", "theirs");
    fs::create_symlink(tmp_ / "elsewhere.mui", install() / "keystash.exe.0419.mui");

    ScriptedPrompt prompt({PromptAnswer::Yes});  // German, preselected
    SetupHooks setup(environment(0x407), prompt);
    setup.install_exit(install());
    ASSERT_EQ(setup.chosen_language(), 0x407);
    ASSERT_FALSE(prompt.asked().empty());
    for (const char* other : {"French", "Italian", "Russian"})
        EXPECT_EQ(prompt.asked()[0].text.find(from_utf8(other)), std::u16string::npos) << other;
    EXPECT_EQ(names_in(install()),
              (std::vector<std::string>{"KEYSTASH.EXE.0410.MUI", "keystash.exe.0407.mui",
                                        "keystash.exe.0419.mui", "other.exe.0409.mui",
                                        "viewer.exe.040c.mui"}));
    EXPECT_EQ(read_text(tmp_ / "elsewhere.mui"), "theirs");
}

TEST(SetupLanguageTest, MissingFolderHasNoLanguageFiles) {
    EXPECT_TRUE(find_language_files("/nonexistent/keystash/setup").empty());
}

TEST(SetupLanguageTest, EntryNames) {
    const struct {
        uint16_t id;
        const char* text;
    } cases[] = {
        {0x0409, "English (United States)"},  // the name already holds the country
        {0x0407, "German (Germany)"},
        {0x0419, "Russian (Russia)"},                  // the country is added
        {0x0414, "Norwegian (Bokm\u00e5l) (Norway)"},  // "(" but not the country
        {1037, "Hebrew (Israel)"},
        {1078, "Afrikaans (South Africa)"},
        {0x0abc, "0abc"},  // unknown: the identifier
    };
    for (const auto& c : cases) {
        const LanguageChoice choice = language_choice({{c.id, "f"}}, kEnglishUs);
        ASSERT_EQ(choice.entries.size(), 1u);
        EXPECT_EQ(to_utf8(choice.entries[0].text), c.text);
        EXPECT_EQ(choice.entries[0].language_id, c.id);
    }
}

TEST(SetupLanguageTest, Preselection) {
    const struct {
        std::vector<uint16_t> files;
        uint16_t ui;
        uint16_t expected;
    } cases[] = {
        {{0x409, 0x407}, 0x407, 0x407},         // the interface language itself
        {{0x807, 0x407}, 0x407, 0x407},         // exact match beats the earlier relative
        {{0x409, 0x407}, 0x807, 0x407},         // same primary language
        {{0x407, 0x409, 0x40c}, 0x411, 0x409},  // else US English
        {{0x407, 0x40c}, 0x411, 0x407},         // else the first
        {{0x40c}, 0x409, 0x40c},
    };
    for (const auto& c : cases) {
        std::vector<LanguageFile> files;
        for (uint16_t id : c.files) files.push_back({id, "f"});
        const LanguageChoice choice = language_choice(files, c.ui);
        ASSERT_TRUE(choice.preselected.has_value());
        EXPECT_EQ(choice.entries[*choice.preselected].language_id, c.expected) << std::hex << c.ui;
    }
    EXPECT_FALSE(language_choice({}, kEnglishUs).preselected.has_value());
}

TEST(SetupLanguageTest, LanguageFromLocale) {
    const struct {
        const char* locale;
        uint16_t id;
    } cases[] = {
        {"de_DE.UTF-8", 0x407},
        {"de_AT.UTF-8", 0xc07},
        {"de", 0x407},
        {"de_XX", 0x407},
        {"nb_NO.UTF-8@euro", 0x414},
        {"sv_SE", 0x41d},
        {"es_ES.UTF-8", 0xc0a},
        {"he_IL", 1037},
        {"C", 0x409},
        {"POSIX", 0x409},
        {"", 0x409},
        {"xx_YY", 0x409},
        {"C.UTF-8", 0x409},
    };
    for (const auto& c : cases) EXPECT_EQ(language_from_locale(c.locale), c.id) << c.locale;
}

// ---- Install_Init --------------------------------------------------------------------------

TEST_F(SetupTest, InstallInitChecksTheSystemVersion) {
    const struct {
        uint32_t major, minor;
        InitResult result;
    } cases[] = {
        {5, 0, InitResult::Cancel},  {5, 1, InitResult::Continue}, {5, 2, InitResult::Continue},
        {4, 21, InitResult::Cancel}, {6, 0, InitResult::Cancel},
    };
    for (const auto& c : cases) {
        ScriptedPrompt prompt({PromptAnswer::Ok});
        SetupEnvironment env = environment();
        env.os_major = c.major;
        env.os_minor = c.minor;
        SetupHooks setup(env, prompt);
        EXPECT_EQ(setup.install_init(install()), c.result) << c.major << "." << c.minor;
        // A refused system is not greeted.
        EXPECT_EQ(prompt.asked().size(), c.result == InitResult::Continue ? 1u : 0u);
    }
}

TEST_F(SetupTest, InstallInitGreetsAndCreatesTheSettingsKey) {
    ScriptedPrompt prompt({PromptAnswer::Ok});
    SetupHooks setup(environment(), prompt);
    EXPECT_EQ(setup.install_init(install()), InitResult::Continue);
    ASSERT_EQ(prompt.asked().size(), 1u);
    const PromptMessage& welcome = prompt.asked()[0];
    const std::string text = to_utf8(welcome.text);
    EXPECT_EQ(text.rfind("Welcome to Keystash\u00ae Pro 2006\nVersion 6.11\n", 0), 0u) << text;
    EXPECT_NE(text.find("Copyright \u00a9 2006 Brightloom"), std::string::npos) << text;
    EXPECT_EQ(welcome.caption, u"Brightloom");
    EXPECT_EQ(welcome.buttons, PromptButtons::OkCancel);
    EXPECT_EQ(welcome.icon, PromptIcon::Information);
    EXPECT_TRUE(registry().key_exists(kUser, kSettingsKey));
}

TEST_F(SetupTest, CancelInTheWelcomeStopsTheInstallation) {
    ScriptedPrompt prompt({PromptAnswer::Cancel});
    SetupHooks setup(environment(), prompt);
    EXPECT_EQ(setup.install_init(install()), InitResult::Cancel);
}

TEST_F(SetupTest, WelcomeIsInTheInterfaceLanguage) {
    ScriptedPrompt prompt({PromptAnswer::Ok});
    SetupHooks setup(environment(0x407), prompt);
    setup.install_init(install());
    ASSERT_EQ(prompt.asked().size(), 1u);
    EXPECT_EQ(to_utf8(prompt.asked()[0].text).rfind("Willkommen bei Keystash\u00ae Pro 2006", 0),
              0u);
}

// ---- Install_Exit --------------------------------------------------------------------------

TEST_F(SetupTest, SingleLanguageIsTakenWithoutAsking) {
    add_language(0x407);
    ScriptedPrompt prompt;
    SetupHooks setup(environment(kEnglishUs), prompt);
    EXPECT_EQ(setup.install_exit(install()), 0);
    EXPECT_TRUE(prompt.asked().empty());
    EXPECT_EQ(setup.chosen_language(), 0x407);
    EXPECT_EQ(registry().get_dword(kUser, kSettingsKey, kLanguageValue), 0x407u);
    EXPECT_TRUE(fs::exists(install() / "keystash.exe.0407.mui"));
}

TEST_F(SetupTest, GermanChosenOfEnglishAndGerman) {
    add_language(0x409);
    add_language(0x407);
    place_samples();
    // English is offered first (it is the interface language); No, then Yes for German.
    ScriptedPrompt prompt({PromptAnswer::No, PromptAnswer::Yes});
    SetupHooks setup(environment(kEnglishUs), prompt);
    EXPECT_EQ(setup.install_exit(install()), 0);

    ASSERT_EQ(prompt.asked().size(), 2u);
    const std::string question = to_utf8(prompt.asked()[0].text);
    EXPECT_EQ(question.rfind("Brightloom Keystash\u00ae Pro 2006\n", 0), 0u) << question;
    EXPECT_NE(question.find("have been installed:\nGerman (Germany)\nEnglish (United States)"),
              std::string::npos)
        << question;
    EXPECT_NE(question.find("Please select preferred language:\nEnglish (United States)"),
              std::string::npos);
    EXPECT_EQ(prompt.asked()[0].buttons, PromptButtons::YesNo);
    EXPECT_NE(to_utf8(prompt.asked()[1].text).find("language:\nGerman (Germany)"),
              std::string::npos);

    EXPECT_EQ(names_in(install()), std::vector<std::string>{"keystash.exe.0407.mui"});
    Registry r = registry();
    EXPECT_EQ(r.get_dword(kUser, kSettingsKey, kLanguageValue), 0x407u);
    EXPECT_EQ(r.get_string(kUser, kSettingsKey, kMruValue),
              from_utf8((samples() / "Meine Beispiel-Brieftasche.ks5").string()));
    EXPECT_EQ(names_in(samples()),
              (std::vector<std::string>{"Formular-Beispiel.ksx", "Import-Beispiel.txt",
                                        "Meine Beispiel-Brieftasche.ks5"}));
    EXPECT_EQ(read_text(samples() / "Meine Beispiel-Brieftasche.ks5"), "fresh wallet");
}

TEST_F(SetupTest, DecliningEveryLanguageKeepsThePreselection) {
    add_language(0x409);
    add_language(0x407);
    ScriptedPrompt prompt({PromptAnswer::No, PromptAnswer::No});
    SetupHooks setup(environment(0x407), prompt);
    setup.install_exit(install());
    EXPECT_EQ(prompt.asked().size(), 2u);
    EXPECT_EQ(setup.chosen_language(), 0x407);
    EXPECT_EQ(names_in(install()), std::vector<std::string>{"keystash.exe.0407.mui"});
}

TEST_F(SetupTest, SmartphoneHeadingBreaksAfterTheMaker) {
    add_language(0x409);
    add_language(0x407);
    ScriptedPrompt prompt({PromptAnswer::Yes});
    SetupHooks setup(environment(kEnglishUs, u"SmartPhone"), prompt);
    setup.install_exit(install());
    ASSERT_FALSE(prompt.asked().empty());
    EXPECT_EQ(to_utf8(prompt.asked()[0].text).rfind("Brightloom\nKeystash\u00ae Pro 2006\n", 0),
              0u);
}

TEST_F(SetupTest, MruIsKeptFromFiveCharactersOn) {
    const struct {
        std::optional<std::u16string> before;
        bool kept;
    } cases[] = {
        {std::nullopt, false},
        {u"", false},
        {u"/a/b", false},  // four characters
        {u"/a/bc", true},  // five
        {u"/home/user/Wallets/Mine.ks5", true},
    };
    for (const auto& c : cases) {
        fs::remove_all(config());
        if (c.before) preset(kMruValue, *c.before);
        ScriptedPrompt prompt;
        SetupHooks setup(environment(), prompt);
        setup.install_exit(install());
        const auto after = registry().get_string(kUser, kSettingsKey, kMruValue);
        ASSERT_TRUE(after.has_value());
        if (c.kept) {
            EXPECT_EQ(*after, *c.before);
        } else {
            EXPECT_EQ(*after, from_utf8((samples() / "My Sample Wallet.ks5").string()));
        }
    }
}

TEST_F(SetupTest, LanguagePreferenceIsClearedAtEveryInstall) {
    Registry r;
    ASSERT_TRUE(r.load(config()));
    r.set_dword(kUser, kSettingsKey, kLanguageValue, 0x40c);
    r.set_dword(kUser, kSettingsKey, u"Other", 7);
    ASSERT_TRUE(r.save());
    ScriptedPrompt prompt;
    SetupHooks setup(environment(), prompt);
    setup.install_exit(install());  // no language files
    EXPECT_FALSE(registry().get_value(kUser, kSettingsKey, kLanguageValue).has_value());
    EXPECT_EQ(registry().get_dword(kUser, kSettingsKey, u"Other"), 7u);
}

TEST_F(SetupTest, DamagedRegistryIsLeftAloneAndTheFilesStillMove) {
    const std::string damaged = "this is not a registry file\n\"MRU\"=\n";
    write_text(config() / Registry::kFileName, damaged);
    add_language(0x409);
    add_language(0x407);
    place_samples();
    ScriptedPrompt prompt({PromptAnswer::Yes});
    SetupHooks setup(environment(0x407), prompt);
    EXPECT_EQ(setup.install_exit(install()), 0);
    EXPECT_EQ(read_text(config() / Registry::kFileName), damaged);
    EXPECT_EQ(names_in(install()), std::vector<std::string>{"keystash.exe.0407.mui"});
    EXPECT_TRUE(fs::exists(samples() / "Meine Beispiel-Brieftasche.ks5"));
}

TEST_F(SetupTest, SamplesMeetingExistingFiles) {
    // German names: "Meine Beispiel-Brieftasche.ks5", "Formular-Beispiel.ksx",
    // "Import-Beispiel.txt".
    const struct {
        const char* label;
        std::map<std::string, std::string> before;
        std::map<std::string, std::string> after;
    } cases[] = {
        {"fresh samples are renamed",
         {{"Sample Wallet.ks5", "fresh"}, {"Form Sample.ksx", "form"}},
         {{"Meine Beispiel-Brieftasche.ks5", "fresh"}, {"Formular-Beispiel.ksx", "form"}}},
        {"the user's copies win over fresh samples",
         {{"Sample Wallet.ks5", "fresh"},
          {"Meine Beispiel-Brieftasche.ks5", "mine"},
          {"Import Sample.txt", "fresh import"},
          {"Import-Beispiel.txt", "my import"}},
         {{"Meine Beispiel-Brieftasche.ks5", "mine"}, {"Import-Beispiel.txt", "my import"}}},
        {"an earlier English wallet takes the new name when it is free",
         {{"My Sample Wallet.ks5", "old"}},
         {{"Meine Beispiel-Brieftasche.ks5", "old"}}},
        {"an earlier English wallet is never deleted",
         {{"Sample Wallet.ks5", "fresh"}, {"My Sample Wallet.ks5", "old"}},
         {{"Meine Beispiel-Brieftasche.ks5", "fresh"}, {"My Sample Wallet.ks5", "old"}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        fs::remove_all(samples());
        for (const auto& [name, text] : c.before) write_text(samples() / name, text);
        add_language(0x407);
        ScriptedPrompt prompt;
        SetupHooks setup(environment(), prompt);
        setup.install_exit(install());
        std::map<std::string, std::string> after;
        for (const std::string& name : names_in(samples())) {
            after[name] = read_text(samples() / name);
        }
        EXPECT_EQ(after, c.after);
    }
}

// A symbolic link under a sample's installed name is not a sample the installer placed: it is
// neither renamed nor deleted, and what it points to is not touched.
TEST_F(SetupTest, LinksUnderTheSampleNamesAreLeftAlone) {
    write_text(tmp_ / "my wallet.ks5", "mine");
    fs::create_symlink(tmp_ / "my wallet.ks5", samples() / "Sample Wallet.ks5");
    write_text(samples() / "Meine Beispiel-Brieftasche.ks5", "kept");
    fs::create_symlink(tmp_ / "my wallet.ks5", samples() / "Form Sample.ksx");
    add_language(0x407);
    ScriptedPrompt prompt;
    SetupHooks setup(environment(), prompt);
    setup.install_exit(install());
    EXPECT_EQ(names_in(samples()),
              (std::vector<std::string>{"Form Sample.ksx", "Meine Beispiel-Brieftasche.ks5",
                                        "Sample Wallet.ks5"}));
    EXPECT_TRUE(fs::is_symlink(samples() / "Sample Wallet.ks5"));
    EXPECT_TRUE(fs::is_symlink(samples() / "Form Sample.ksx"));
    EXPECT_EQ(read_text(tmp_ / "my wallet.ks5"), "mine");
    EXPECT_EQ(read_text(samples() / "Meine Beispiel-Brieftasche.ks5"), "kept");
}

TEST_F(SetupTest, EnglishKeepsAnEarlierEnglishWallet) {
    write_text(samples() / "My Sample Wallet.ks5", "old");
    write_text(samples() / "Sample Wallet.ks5", "fresh");
    ScriptedPrompt prompt;
    SetupHooks setup(environment(), prompt);
    setup.install_exit(install());
    EXPECT_EQ(names_in(samples()), std::vector<std::string>{"My Sample Wallet.ks5"});
    EXPECT_EQ(read_text(samples() / "My Sample Wallet.ks5"), "old");
}

TEST_F(SetupTest, ProgramFileForThePlatform) {
    const struct {
        const char* platform;
        std::vector<std::string> present;
        std::map<std::string, std::string> after;
    } cases[] = {
        {"PocketPC", {"keystash", "keystash-sp"}, {{"keystash", "keystash"}}},
        {"PocketPC", {"keystash-sp"}, {}},
        {"SmartPhone", {"keystash", "keystash-sp"}, {{"keystash", "keystash-sp"}}},
        {"SmartPhone", {"keystash-sp"}, {{"keystash", "keystash-sp"}}},
        // Without the keypad edition the program stays rather than leaving none.
        {"SmartPhone", {"keystash"}, {{"keystash", "keystash"}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.platform) + " " + std::to_string(c.present.size()));
        fs::remove_all(install());
        fs::create_directories(install());
        for (const std::string& name : c.present) write_text(install() / name, name);
        ScriptedPrompt prompt;
        SetupHooks setup(environment(kEnglishUs, from_utf8(c.platform)), prompt);
        setup.install_exit(install());
        std::map<std::string, std::string> after;
        for (const std::string& name : names_in(install())) {
            after[name] = read_text(install() / name);
        }
        EXPECT_EQ(after, c.after);
    }
}

// ---- Uninstall -----------------------------------------------------------------------------

TEST_F(SetupTest, UninstallQuestionAndNotice) {
    ScriptedPrompt prompt({PromptAnswer::No});
    SetupHooks setup(environment(), prompt);
    EXPECT_EQ(setup.uninstall_exit(), 0);
    ASSERT_EQ(prompt.asked().size(), 2u);
    EXPECT_EQ(to_utf8(prompt.asked()[0].text),
              "Remove all user settings for Keystash Pro Version 6.11?\n\nIf upgrading to "
              "another version of Keystash Pro, please press No.");
    EXPECT_EQ(prompt.asked()[0].buttons, PromptButtons::YesNo);
    EXPECT_EQ(prompt.asked()[0].icon, PromptIcon::Question);
    EXPECT_EQ(prompt.asked()[0].caption, u"Brightloom");
    EXPECT_EQ(to_utf8(prompt.asked()[1].text).rfind("Keystash Pro has been removed", 0), 0u);
    EXPECT_EQ(prompt.asked()[1].icon, PromptIcon::Information);
}

TEST_F(SetupTest, UninstallAnswers) {
    constexpr std::u16string_view kSibling = u"SOFTWARE\\Brightloom\\Other Product";
    const struct {
        const char* label;
        PromptAnswer answer;
        bool sibling;
        bool settings_kept;
        bool maker_kept;
    } cases[] = {
        {"No keeps every value", PromptAnswer::No, false, true, true},
        {"Yes removes the key and the empty maker key", PromptAnswer::Yes, false, false, false},
        {"Yes keeps the maker key with another product", PromptAnswer::Yes, true, false, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        fs::remove_all(config());
        Registry r;
        ASSERT_TRUE(r.load(config()));
        r.set_dword(kUser, kSettingsKey, kLanguageValue, 0x407);
        r.set_string(kUser, kSettingsKey, kMruValue, u"/home/me/w.ks5");
        r.set_dword(kUser, kSettingsKey, u"Pass.AutoOK", 1);
        r.create_key(kUser, std::u16string(kSettingsKey) + u"\\Recent");
        if (c.sibling) r.set_dword(kUser, kSibling, u"X", 1);
        r.set_string(kUser, u"SOFTWARE\\Elsewhere", u"Keep", u"me");
        ASSERT_TRUE(r.save());
        const std::string before = read_text(config() / Registry::kFileName);

        ScriptedPrompt prompt({c.answer});
        SetupHooks setup(environment(), prompt);
        setup.uninstall_exit();

        const Registry after = registry();
        EXPECT_EQ(after.key_exists(kUser, kSettingsKey), c.settings_kept);
        EXPECT_EQ(after.key_exists(kUser, kMakerKey), c.maker_kept);
        EXPECT_EQ(after.get_string(kUser, u"SOFTWARE\\Elsewhere", u"Keep"), u"me");
        if (c.settings_kept) {
            EXPECT_EQ(read_text(config() / Registry::kFileName), before);
            EXPECT_EQ(after.get_dword(kUser, kSettingsKey, kLanguageValue), 0x407u);
            EXPECT_EQ(after.get_string(kUser, kSettingsKey, kMruValue), u"/home/me/w.ks5");
        }
        if (c.sibling) {
            EXPECT_EQ(after.get_dword(kUser, kSibling, u"X"), 1u);
        }
    }
}

TEST_F(SetupTest, UninstallClosesOnlyARunningProgram) {
    const fs::path lock = runtime() / "vokspro5.mtx";
    const struct {
        const char* label;
        bool file;
        bool held;
        bool closed;
    } cases[] = {
        {"no lock file", false, false, false},
        {"a stale lock file", true, false, false},
        {"a held lock", true, true, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        fs::remove(lock);
        File holder;
        if (c.file) {
            holder = File::open(lock, FileMode::CreateNew);
            ASSERT_TRUE(holder.is_open());
            if (c.held) {
                ASSERT_TRUE(holder.try_lock_exclusive());
            } else {
                holder.close();
            }
        }
        int requests = 0;
        SetupEnvironment env = environment();
        env.close_program = [&] { ++requests; };
        ScriptedPrompt prompt;
        SetupHooks setup(env, prompt);
        EXPECT_EQ(setup.uninstall_init(install()), 0);
        EXPECT_EQ(requests, c.closed ? 1 : 0);
        EXPECT_TRUE(prompt.asked().empty());
    }
}

TEST_F(SetupTest, CloseRequestReachesTheProgramsSocket) {
    // The programs' main window class names the socket.
    const std::string path = (runtime() / "Brightloom Keystash Pro 2006").string();
    const int server = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(server, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    ASSERT_LT(path.size(), sizeof(address.sun_path));
    std::memcpy(address.sun_path, path.data(), path.size());
    ASSERT_EQ(::bind(server, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    ASSERT_EQ(::listen(server, 1), 0);

    File holder = File::open(runtime() / "vokspro5.mtx", FileMode::CreateNew);
    ASSERT_TRUE(holder.try_lock_exclusive());
    ScriptedPrompt prompt;
    SetupHooks setup(environment(), prompt);
    setup.uninstall_init(install());

    const int client = ::accept(server, nullptr, nullptr);
    ASSERT_GE(client, 0);
    char buffer[16] = {};
    const ssize_t got = ::recv(client, buffer, sizeof buffer - 1, 0);
    EXPECT_EQ(std::string(buffer, got > 0 ? static_cast<size_t>(got) : 0), "CLOSE\n");
    ::close(client);
    ::close(server);
    EXPECT_FALSE(request_program_close(tmp_ / "elsewhere"));
}

// ---- The shared library and the host -------------------------------------------------------

struct Asked {
    std::vector<std::string> texts;
    std::vector<int> answers;
};

int scripted_answer(void* context, const char* text, const char*, int, int) {
    Asked& asked = *static_cast<Asked*>(context);
    asked.texts.emplace_back(text);
    if (asked.answers.empty()) return KS_SETUP_ANSWER_CANCEL;
    const int answer = asked.answers.front();
    asked.answers.erase(asked.answers.begin());
    return answer;
}

TEST_F(SetupTest, SharedLibraryEntryPoints) {
    const ScopedEnv home("HOME", (tmp_ / "home").string());
    const ScopedEnv xdg("XDG_CONFIG_HOME", (tmp_ / "home" / ".config").string());
    const ScopedEnv config_dir("KEYSTASH_CONFIG_DIR", config().string());
    const ScopedEnv run("XDG_RUNTIME_DIR", runtime().string());
    const ScopedEnv lang("LC_ALL", "de_DE.UTF-8");

    void* handle = dlopen(KEYSTASH_SETUP_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(handle, nullptr) << dlerror();
    const auto set_host = reinterpret_cast<KeystashSetHostFn>(dlsym(handle, "Keystash_SetHost"));
    const auto init = reinterpret_cast<KeystashInstallInitFn>(dlsym(handle, "Install_Init"));
    const auto exit = reinterpret_cast<KeystashInstallExitFn>(dlsym(handle, "Install_Exit"));
    const auto uninit = reinterpret_cast<KeystashUninstallInitFn>(dlsym(handle, "Uninstall_Init"));
    const auto unexit = reinterpret_cast<KeystashUninstallExitFn>(dlsym(handle, "Uninstall_Exit"));
    ASSERT_TRUE(set_host && init && exit && uninit && unexit);

    Asked asked;
    KeystashSetupHost host{sizeof(KeystashSetupHost), "PocketPC", 5, 0, scripted_answer, &asked};
    KeystashSetupHost too_small = host;
    too_small.size = 8;
    EXPECT_EQ(set_host(&too_small), -1);
    EXPECT_EQ(set_host(nullptr), -1);

    const std::string dir = install().string();
    ASSERT_EQ(set_host(&host), 0);
    EXPECT_EQ(init(nullptr, 1, 0, dir.c_str()), 1);  // 5.00
    EXPECT_TRUE(asked.texts.empty());

    host.os_minor = 1;
    asked.answers = {KS_SETUP_ANSWER_OK};
    ASSERT_EQ(set_host(&host), 0);
    EXPECT_EQ(init(nullptr, 1, 0, dir.c_str()), 0);
    ASSERT_EQ(asked.texts.size(), 1u);
    EXPECT_EQ(asked.texts[0].rfind("Willkommen bei", 0), 0u);

    add_language(0x409);
    add_language(0x407);
    asked.answers = {KS_SETUP_ANSWER_YES};  // German, preselected from the locale
    EXPECT_EQ(exit(nullptr, dir.c_str(), 0, 0, 0, 0, 0), 0);
    EXPECT_EQ(names_in(install()), std::vector<std::string>{"keystash.exe.0407.mui"});
    EXPECT_EQ(registry().get_dword(kUser, kSettingsKey, kLanguageValue), 0x407u);

    EXPECT_EQ(uninit(nullptr, dir.c_str()), 0);
    asked.texts.clear();
    asked.answers = {KS_SETUP_ANSWER_YES, KS_SETUP_ANSWER_OK};
    EXPECT_EQ(unexit(nullptr), 0);
    ASSERT_EQ(asked.texts.size(), 2u);
    // The chosen language stays for the rest of the session.
    EXPECT_EQ(asked.texts[0].rfind("Alle Benutzereinstellungen", 0), 0u);
    EXPECT_FALSE(registry().key_exists(kUser, kSettingsKey));

    // A host whose callback throws: no exception leaves the library, and every entry point it
    // reaches gives its failure code, not a result that reads as success.
    KeystashSetupHost throwing = host;
    throwing.ask = [](void*, const char*, const char*, int, int) -> int {
        throw std::runtime_error("the host failed");
    };
    ASSERT_EQ(set_host(&throwing), 0);
    add_language(0x409);  // two tables again, so that the language is asked for
    EXPECT_EQ(init(nullptr, 1, 0, dir.c_str()), 1);
    EXPECT_EQ(exit(nullptr, dir.c_str(), 0, 0, 0, 0, 0), 1);
    EXPECT_EQ(unexit(nullptr), 1);
    dlclose(handle);
}

class InstallHostTest : public SetupTest {
  protected:
    fs::path home() const { return tmp_ / "home"; }
    fs::path data() const { return tmp_ / "data"; }

    void SetUp() override {
        SetupTest::SetUp();
        fs::remove_all(install());
        write_text(data() / "keystash.exe.0409.mui", "1\tOne\n");
        write_text(data() / "keystash.exe.0407.mui", "1\tEins\n");
        write_text(data() / "Sample Wallet.ks5", "wallet");
        write_text(data() / "Form Sample.ksx", "form");
        write_text(data() / "Import Sample.txt", "import");
    }

    // Runs the host with the test's folders and no terminal; returns its exit code.
    int run(const std::string& arguments, const std::string& locale = "de_DE.UTF-8") {
        const std::string command = "env HOME='" + home().string() + "' XDG_CONFIG_HOME='" +
                                    (home() / ".config").string() + "' KEYSTASH_CONFIG_DIR='" +
                                    config().string() + "' XDG_RUNTIME_DIR='" + runtime().string() +
                                    "' KEYSTASH_DATA_DIR='" + data().string() + "' LC_ALL='" +
                                    locale + "' '" + KEYSTASH_INSTALL_HOST + "' " + arguments +
                                    " </dev/null >'" + (tmp_ / "out.txt").string() + "' 2>&1";
        const int status = std::system(command.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    std::string output() const { return read_text(tmp_ / "out.txt"); }
    std::string dir() const { return "'" + install().string() + "'"; }
};

TEST_F(InstallHostTest, InstallAndUninstall) {
    ASSERT_EQ(run("install " + dir() + " --yes"), 0) << output();
    EXPECT_EQ(names_in(install()), std::vector<std::string>{"keystash.exe.0407.mui"});
    const fs::path samples = home() / "Documents" / "Keystash Samples";
    EXPECT_EQ(names_in(samples),
              (std::vector<std::string>{"Formular-Beispiel.ksx", "Import-Beispiel.txt",
                                        "Meine Beispiel-Brieftasche.ks5"}));
    EXPECT_EQ(registry().get_dword(kUser, kSettingsKey, kLanguageValue), 0x407u);
    EXPECT_EQ(registry().get_string(kUser, kSettingsKey, kMruValue),
              from_utf8((samples / "Meine Beispiel-Brieftasche.ks5").string()));

    ASSERT_EQ(run("uninstall " + dir() + " --yes"), 0) << output();
    EXPECT_FALSE(fs::exists(install()));
    EXPECT_FALSE(registry().key_exists(kUser, kSettingsKey));
    EXPECT_TRUE(fs::exists(samples / "Meine Beispiel-Brieftasche.ks5"));  // the user's data
}

// Links standing under the names the installer writes are replaced, never written through:
// the files they point to keep their contents.
TEST_F(InstallHostTest, InstallReplacesLinksRatherThanWritingThroughThem) {
    const fs::path samples = home() / "Documents" / "Keystash Samples";
    write_text(tmp_ / "own wallet.ks5", "my secrets");
    write_text(tmp_ / "own table.mui", "1\tmine\n");
    fs::create_directories(samples);
    fs::create_directories(install());
    fs::create_symlink(tmp_ / "own wallet.ks5", samples / "Sample Wallet.ks5");
    fs::create_symlink(tmp_ / "own wallet.ks5", samples / "Import Sample.txt");
    fs::create_symlink(tmp_ / "own table.mui", install() / "keystash.exe.0407.mui");

    ASSERT_EQ(run("install " + dir() + " --yes"), 0) << output();
    EXPECT_EQ(read_text(tmp_ / "own wallet.ks5"), "my secrets");
    EXPECT_EQ(read_text(tmp_ / "own table.mui"), "1\tmine\n");
    const std::map<std::string, std::string> placed = {{"Meine Beispiel-Brieftasche.ks5", "wallet"},
                                                       {"Formular-Beispiel.ksx", "form"},
                                                       {"Import-Beispiel.txt", "import"}};
    for (const auto& [name, text] : placed) {
        SCOPED_TRACE(name);
        EXPECT_FALSE(fs::is_symlink(samples / name));
        EXPECT_EQ(read_text(samples / name), text);
        EXPECT_EQ(fs::status(samples / name).permissions() & fs::perms::all,
                  fs::perms::owner_read | fs::perms::owner_write);
    }
    EXPECT_EQ(names_in(samples).size(), placed.size());
    EXPECT_FALSE(fs::is_symlink(install() / "keystash.exe.0407.mui"));
    EXPECT_EQ(read_text(install() / "keystash.exe.0407.mui"), "1\tEins\n");
}

TEST_F(InstallHostTest, WithoutTerminalOrYesEverythingIsDeclined) {
    EXPECT_EQ(run("install " + dir()), 1) << output();
    EXPECT_FALSE(fs::exists(install()));  // nothing placed after a cancel

    ASSERT_EQ(run("install " + dir() + " --yes"), 0) << output();
    EXPECT_EQ(run("uninstall " + dir()), 0) << output();
    EXPECT_EQ(registry().get_dword(kUser, kSettingsKey, kLanguageValue), 0x407u);
}

TEST_F(InstallHostTest, CommandLines) {
    const struct {
        std::string arguments;
        int code;
    } cases[] = {
        {"--help", 0},
        {"install " + dir() + " --yes --os-version 5.00", 1},
        {"install " + dir() + " --yes --os-version 5.02", 0},
        {"install", 2},
        {"frobnicate " + dir(), 2},
        {"install " + dir() + " --platform Desktop", 2},
        {"install " + dir() + " --os-version five", 2},
        {"install " + dir() + " --os-version", 2},
        {"install " + dir() + " --colour", 2},
        {"uninstall '" + (tmp_ / "missing").string() + "'", 4},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(run(c.arguments), c.code) << c.arguments << "\n" << output();
    }
}

}  // namespace
}  // namespace ks::setup
