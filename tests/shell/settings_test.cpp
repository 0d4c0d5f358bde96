#include "shell/settings.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/registry.h"
#include "platform/text.h"
#include "shell/shell_integration.h"
#include "support/test_support.h"

namespace fs = std::filesystem;

namespace ks {
namespace {

constexpr auto HKCU = RegistryRoot::CurrentUser;
constexpr auto HKCR = RegistryRoot::ClassesRoot;
const std::u16string kKey(kSettingsKey);

std::string file_text(const fs::path& path) {
    const auto bytes = test::read_file_bytes(path);
    return std::string(bytes.begin(), bytes.end());
}

class SettingsTest : public ::testing::Test {
  protected:
    fs::path reg_file() const { return dir_.path() / Registry::kFileName; }

    // The registry as the program finds it at start.
    Registry open() {
        Registry registry;
        registry.load(dir_.path());
        return registry;
    }

    AppSettings fresh_settings(Edition edition = Edition::Standard) {
        AppSettings settings;
        settings.keyPath = kKey;
        settings.edition = edition;
        return settings;
    }

    void write_registry(const std::string& values) {
        const std::string text =
            "Windows Registry Editor Version 5.00\n\n"
            "[HKEY_CURRENT_USER\\SOFTWARE\\Brightloom\\Keystash Pro 5]\n" +
            values;
        test::write_file_bytes(reg_file(), std::vector<uint8_t>(text.begin(), text.end()));
    }

    std::optional<uint32_t> stored_dword(std::u16string_view name) {
        return open().get_dword(HKCU, kKey, name);
    }

    test::TempDir dir_;
};

// The values a save writes, with their defaults.
struct SavedValue {
    std::u16string name;
    uint32_t default_value;
};
const std::vector<SavedValue> kSavedDefaults = {
    {u"Info", 0},
    {u"FontMain", 9},
    {u"FontMainStyle", 0},
    {u"FontCard", 9},
    {u"FontCardFieldNmStyle", 1},
    {u"FontCardDataStyle", 0},
    {u"NoteFont", 9},
    {u"NoteFontStyle", 0},
    {u"NoteWrap", 1},
    {u"ClearType", 1},
    {u"NoteZoom", 9},
    {u"OpenLast", 1},
    {u"Version", 611},
    {u"Menus.Expanded", 0},
};

TEST_F(SettingsTest, FreshConfigurationIsCreatedRegisteredAndCounted) {
    Registry registry = open();
    AppSettings settings = fresh_settings();
    settings.load(registry);

    // The key exists on disk with Setup6 = 7, and the file types are registered.
    ASSERT_TRUE(fs::exists(reg_file()));
    Registry on_disk = open();
    EXPECT_TRUE(on_disk.key_exists(HKCU, kKey));
    EXPECT_EQ(on_disk.get_dword(HKCU, kKey, u"Setup6"), 7u);
    EXPECT_EQ(on_disk.get_string(HKCR, u".ks5", u""), u"KeystashProDocument");
    EXPECT_EQ(on_disk.get_string(HKCR, u".ksx", u""), u"KeystashProForm");
    // Count6 is still 0: the start shows the first-run information.
    EXPECT_EQ(settings.Count6, 0u);

    settings.save(registry);
    on_disk = open();
    EXPECT_EQ(on_disk.get_dword(HKCU, kKey, u"Count6"), 1u);
    for (const auto& v : kSavedDefaults) {
        SCOPED_TRACE(to_utf8(v.name));
        EXPECT_EQ(on_disk.get_dword(HKCU, kKey, v.name), v.default_value);
    }
    EXPECT_EQ(on_disk.get_string(HKCU, kKey, u"MRU"), u"");
    // Values that are only read are never written.
    for (const char16_t* name :
         {u"Color.BarStart", u"Color.BarEnd", u"Color.BarText", u"Color.FolderSpecial",
          u"Color.FolderForms", u"Pass.AutoOK", u"ExitMenu", u"LangPref", u"Pass.Numeric", u"Keys"})
        EXPECT_FALSE(on_disk.get_value(HKCU, kKey, name)) << to_utf8(name);

    // The next run counts on.
    Registry next = open();
    AppSettings again = fresh_settings();
    again.load(next);
    EXPECT_EQ(again.Count6, 1u);
    again.save(next);
    EXPECT_EQ(stored_dword(u"Count6"), 2u);
}

TEST_F(SettingsTest, LoadReadsEveryValueIntoItsField) {
    struct Case {
        const char* name;
        uint32_t stored;
        uint32_t AppSettings::*unsigned_field;
        int32_t AppSettings::*signed_field;
    };
    const std::vector<Case> cases = {
        {"Count6", 41, &AppSettings::Count6, nullptr},
        {"Info", 1, nullptr, &AppSettings::Info},
        {"LangPref", 0x407, &AppSettings::LangPref, nullptr},
        {"FontMain", 12, nullptr, &AppSettings::FontMain},
        {"FontMainStyle", 1, nullptr, &AppSettings::FontMainStyle},
        {"FontCard", 14, nullptr, &AppSettings::FontCard},
        {"FontCardFieldNmStyle", 0, nullptr, &AppSettings::FontCardFieldNmStyle},
        {"FontCardDataStyle", 1, nullptr, &AppSettings::FontCardDataStyle},
        {"NoteFont", 11, nullptr, &AppSettings::NoteFont},
        {"NoteFontStyle", 1, nullptr, &AppSettings::NoteFontStyle},
        {"NoteWrap", 0, nullptr, &AppSettings::NoteWrap},
        {"ClearType", 0, nullptr, &AppSettings::ClearType},
        {"NoteZoom", 3, nullptr, &AppSettings::NoteZoom},
        {"Color.BarStart", 0x010203, &AppSettings::ColorBarStart, nullptr},
        {"Color.BarEnd", 0x040506, &AppSettings::ColorBarEnd, nullptr},
        {"Color.BarText", 0x070809, &AppSettings::ColorBarText, nullptr},
        {"Color.FolderSpecial", 0x0000FF, &AppSettings::ColorFolderSpecial, nullptr},
        {"Color.FolderForms", 0x0A0B0C, &AppSettings::ColorFolderForms, nullptr},
        {"Pass.AutoOK", 0, nullptr, &AppSettings::PassAutoOK},
        {"OpenLast", 0, nullptr, &AppSettings::OpenLast},
        {"Version", 500, nullptr, &AppSettings::Version},
        {"ExitMenu", 1, nullptr, &AppSettings::ExitMenu},
        {"Menus.Expanded", 1, nullptr, &AppSettings::MenusExpanded},
    };
    std::string lines;
    for (const auto& c : cases) {
        char line[96];
        std::snprintf(line, sizeof line, "\"%s\"=dword:%08x\n", c.name, c.stored);
        lines += line;
    }
    write_registry(lines + "\"MRU\"=\"/home/u/Wallet.ks5\"\n");

    Registry registry = open();
    AppSettings settings = fresh_settings();
    settings.load(registry);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.unsigned_field)
            EXPECT_EQ(settings.*c.unsigned_field, c.stored);
        else
            EXPECT_EQ(settings.*c.signed_field, int32_t(c.stored));
    }
    EXPECT_EQ(settings.MRU, u"/home/u/Wallet.ks5");
}

TEST_F(SettingsTest, MissingOrMistypedValuesKeepTheDefaults) {
    write_registry("\"FontMain\"=\"12\"\n\"NoteZoom\"=hex:01,02\n\"MRU\"=dword:5\n");
    Registry registry = open();
    AppSettings settings = fresh_settings();
    settings.MRU = u"/kept";
    settings.load(registry);
    EXPECT_EQ(settings.FontMain, 9);
    EXPECT_EQ(settings.NoteZoom, 9);
    EXPECT_EQ(settings.MRU, u"/kept");
    EXPECT_EQ(settings.ColorBarEnd, 0xE2A981u);
}

TEST_F(SettingsTest, HandWrittenColourIsUsedAndNeverOverwritten) {
    write_registry("\"Color.FolderSpecial\"=dword:00ff0000\n\"Setup6\"=dword:00000001\n");
    const std::string colour_line = "\"Color.FolderSpecial\"=dword:00ff0000\n";

    Registry registry = open();
    AppSettings settings = fresh_settings();
    settings.load(registry);
    EXPECT_EQ(settings.ColorFolderSpecial, 0xFF0000u);
    settings.ColorFolderSpecial = 0x123456;  // a field change is not a saved preference
    settings.save(registry);

    EXPECT_NE(file_text(reg_file()).find(colour_line), std::string::npos) << file_text(reg_file());
    EXPECT_EQ(stored_dword(u"Setup6"), 7u);
}

TEST_F(SettingsTest, ResetThenSaveWritesTheDefaults) {
    std::string lines;
    for (const auto& v : kSavedDefaults) {
        char line[96];
        std::snprintf(line, sizeof line, "\"%s\"=dword:%08x\n", to_utf8(v.name).c_str(),
                      v.default_value + 5);
        lines += line;
    }
    write_registry(lines + "\"Count6\"=dword:00000009\n\"MRU\"=\"/old.ks5\"\n");

    Registry registry = open();
    AppSettings settings = fresh_settings();
    settings.load(registry);
    ASSERT_EQ(settings.FontMain, 14);
    settings.reset_to_defaults();
    EXPECT_EQ(settings.keyPath, kKey);
    settings.save(registry);

    Registry on_disk = open();
    for (const auto& v : kSavedDefaults) {
        SCOPED_TRACE(to_utf8(v.name));
        EXPECT_EQ(on_disk.get_dword(HKCU, kKey, v.name), v.default_value);
    }
    EXPECT_EQ(on_disk.get_dword(HKCU, kKey, u"Count6"), 1u);
    EXPECT_EQ(on_disk.get_string(HKCU, kKey, u"MRU"), u"");
}

TEST_F(SettingsTest, LongWalletPathsAreKeptWhole) {
    for (size_t length : {127u, 128u, 130u, 259u, 600u, 4000u}) {
        SCOPED_TRACE(length);
        std::u16string path = u"/home/u/";
        path += std::u16string(length - path.size() - 4, u'd');
        path += u".ks5";
        {
            Registry registry = open();
            AppSettings settings = fresh_settings();
            settings.MRU = path;
            settings.save(registry);
        }
        Registry registry = open();
        AppSettings settings = fresh_settings();
        settings.load(registry);
        EXPECT_EQ(settings.MRU, path);
    }
}

TEST_F(SettingsTest, EmptyKeyPathLoadsAndSavesNothing) {
    Registry registry = open();
    AppSettings settings;
    settings.load(registry);
    settings.save(registry);
    EXPECT_EQ(settings.Count6, 1u);
    EXPECT_FALSE(fs::exists(reg_file()));
}

TEST_F(SettingsTest, DamagedRegistryFileIsLeftAloneAndDefaultsHold) {
    const std::string damaged =
        "Windows Registry Editor Version "
        "5.00\n\n[HKEY_CURRENT_USER\\SOFTWARE]\n\"FontMain\"=dword:\n";
    test::write_file_bytes(reg_file(), std::vector<uint8_t>(damaged.begin(), damaged.end()));
    Registry registry = open();
    AppSettings settings = fresh_settings();
    settings.load(registry);
    settings.save(registry);
    EXPECT_EQ(settings.FontMain, 9);
    EXPECT_EQ(file_text(reg_file()), damaged);
}

TEST_F(SettingsTest, DamagedRegistryFileIsReportedToTheFailureHookOnly) {
    const std::string damaged = "Windows Registry Editor Version 5.00\n\n[HKEY_NOWHERE]\n";
    test::write_file_bytes(reg_file(), std::vector<uint8_t>(damaged.begin(), damaged.end()));
    Registry registry = open();
    AppSettings settings = fresh_settings();
    std::vector<RegistryErrorCode> reported;
    settings.set_failure_hook([&](const RegistryError& e) { reported.push_back(e.code); });
    settings.reset_to_defaults();  // a reset keeps the hook
    settings.load(registry);
    settings.save(registry);
    EXPECT_EQ(reported, (std::vector{RegistryErrorCode::Damaged, RegistryErrorCode::Damaged}));
    EXPECT_EQ(file_text(reg_file()), damaged);

    // A healthy registry reports nothing.
    fs::remove(reg_file());
    reported.clear();
    Registry fresh = open();
    settings.load(fresh);
    settings.save(fresh);
    EXPECT_TRUE(reported.empty());
}

TEST_F(SettingsTest, ListenersHearOfEveryChangeUntilRemoved) {
    AppSettings settings = fresh_settings();
    int told = 0;
    int font_seen = 0;
    const int id = settings.add_listener([&](const AppSettings& s) {
        ++told;
        font_seen = s.FontMain;
    });
    EXPECT_TRUE(settings.set(&AppSettings::FontMain, 12));
    EXPECT_EQ(font_seen, 12);
    EXPECT_FALSE(settings.set(&AppSettings::FontMain, 12));  // unchanged: nobody is told
    EXPECT_TRUE(settings.set(&AppSettings::MRU, std::u16string(u"/w/a.ks5")));
    EXPECT_EQ(told, 2);

    AppSettings copy = settings;  // a copy starts with no listeners
    copy.set(&AppSettings::FontMain, 10);
    EXPECT_EQ(told, 2);

    settings.reset_to_defaults();  // told, and still listening afterwards
    EXPECT_EQ(font_seen, 9);
    Registry registry = open();
    settings.load(registry);
    EXPECT_EQ(told, 4);
    settings.remove_listener(id);
    settings.announce_change();
    EXPECT_EQ(told, 4);
}

TEST_F(SettingsTest, KeypadEditionKeepsNumericPasswordAndKeyTable) {
    AppSettings defaults;
    const KeyActions expected_defaults = {0, 2, 0, 1, 0, 0, 0, 0, 0, 0, 6, 3};
    EXPECT_EQ(defaults.Keys, expected_defaults);
    EXPECT_EQ(defaults.PassNumeric, 1);

    Registry registry = open();
    AppSettings settings = fresh_settings(Edition::Keypad);
    settings.load(registry);
    assign_key_action(settings.Keys, '7', 9);
    settings.PassNumeric = 0;
    settings.MenusExpanded = 1;
    settings.save(registry);

    Registry on_disk = open();
    const auto keys = on_disk.get_binary(HKCU, kKey, u"Keys");
    ASSERT_TRUE(keys);
    ASSERT_EQ(keys->size(), 48u);
    EXPECT_EQ((*keys)[4], 2);   // key "1"
    EXPECT_EQ((*keys)[28], 9);  // key "7"
    EXPECT_EQ((*keys)[40], 6);  // star
    EXPECT_EQ(on_disk.get_dword(HKCU, kKey, u"Pass.Numeric"), 0u);
    EXPECT_FALSE(on_disk.get_value(HKCU, kKey, u"Menus.Expanded"));

    AppSettings reloaded = fresh_settings(Edition::Keypad);
    reloaded.load(on_disk);
    EXPECT_EQ(reloaded.Keys[7], 9u);
    EXPECT_EQ(reloaded.PassNumeric, 0);
    EXPECT_EQ(reloaded.MenusExpanded, 0);
}

TEST_F(SettingsTest, KeyTableOfWrongSizeKeepsTheDefaults) {
    for (const char* value : {"hex:01,00,00,00", "dword:00000001", "\"x\"", "hex:"}) {
        SCOPED_TRACE(value);
        write_registry(std::string("\"Keys\"=") + value + "\n");
        Registry registry = open();
        AppSettings settings = fresh_settings(Edition::Keypad);
        settings.load(registry);
        EXPECT_EQ(settings.Keys, default_key_actions());
    }
}

TEST(KeyActionTest, OnlyKeypadKeysHaveSlots) {
    struct Case {
        uint32_t virtual_key;
        int slot;
    };
    for (const Case c : {Case{'0', 0}, Case{'9', 9}, Case{119, 10}, Case{120, 11}, Case{'/', -1},
                         Case{':', -1}, Case{'A', -1}, Case{121, -1}}) {
        SCOPED_TRACE(c.virtual_key);
        EXPECT_EQ(key_slot(c.virtual_key), c.slot);
        KeyActions keys = default_key_actions();
        KeyActions expected = keys;
        if (c.slot >= 0) expected[size_t(c.slot)] = 77;
        assign_key_action(keys, c.virtual_key, 77);
        EXPECT_EQ(keys, expected);
    }
}

}  // namespace
}  // namespace ks
