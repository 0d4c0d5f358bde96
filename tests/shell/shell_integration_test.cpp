#include "shell/shell_integration.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/registry.h"
#include "platform/text.h"
#include "support/test_support.h"

namespace ks {
namespace {

constexpr auto HKCR = RegistryRoot::ClassesRoot;

TEST(FileTypeRegistrationTest, WritesBothTypesWithProgramPath) {
    Registry registry;
    register_file_types(registry, "/opt/key stash/bin/keystash");
    struct Case {
        std::u16string key;
        std::u16string value;
    };
    const std::vector<Case> cases = {
        {u".ks5", u"KeystashProDocument"},
        {u"KeystashProDocument", u"Keystash Pro Wallet"},
        {u"KeystashProDocument\\DefaultIcon", u"/opt/key stash/bin/keystash,-201"},
        {u"KeystashProDocument\\Shell\\Open\\Command", u"\"/opt/key stash/bin/keystash\" %1"},
        {u".ksx", u"KeystashProForm"},
        {u"KeystashProForm", u"Keystash Pro Form Layout"},
        {u"KeystashProForm\\DefaultIcon", u"/opt/key stash/bin/keystash,-203"},
        {u"KeystashProForm\\Shell\\Open\\Command", u"\"/opt/key stash/bin/keystash\" %1"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(to_utf8(c.key));
        EXPECT_EQ(registry.get_string(HKCR, c.key, u""), c.value);
        EXPECT_EQ(registry.value_names(HKCR, c.key), std::vector<std::u16string>{u""});
    }
    EXPECT_EQ(registry.subkeys(HKCR, u""),
              (std::vector<std::u16string>{u".ks5", u".ksx", u"KeystashProDocument",
                                           u"KeystashProForm"}));
}

TEST(FileTypeRegistrationTest, TakesBackAnAssociationMadeByAnotherProgram) {
    test::TempDir dir;
    {
        Registry registry;
        registry.load(dir.path());
        register_file_types(registry, "/usr/bin/keystash");
        ASSERT_TRUE(registry.save());
    }
    {
        Registry other;
        other.load(dir.path());
        other.set_string(HKCR, u".KS5", u"", u"OtherProgram.Document");
        other.set_string(HKCR, u"keystashprodocument\\shell\\open\\command", u"", u"other %1");
        ASSERT_TRUE(other.save());
    }
    Registry registry;
    registry.load(dir.path());
    register_file_types(registry, "/usr/bin/keystash");
    ASSERT_TRUE(registry.save());

    Registry after;
    after.load(dir.path());
    EXPECT_EQ(after.get_string(HKCR, u".ks5", u""), u"KeystashProDocument");
    EXPECT_EQ(after.get_string(HKCR, u"KeystashProDocument\\Shell\\Open\\Command", u""),
              u"\"/usr/bin/keystash\" %1");
}

TEST(FileTypeRegistrationTest, ProgramPathIsTheRunningExecutable) {
    const auto path = program_path();
    EXPECT_TRUE(path.is_absolute());
    EXPECT_EQ(path.filename(), "shell_tests");
}

TEST(CommandLineTest, EndingsDecideTheStart) {
    struct Case {
        std::u16string line;
        CommandLineAction action;
    };
    const std::u16string long_dir = u"/" + std::u16string(300, u'd') + u"/";
    const std::vector<Case> cases = {
        {u"", CommandLineAction::Normal},
        {u"/home/u/My Wallet.ks5", CommandLineAction::Normal},
        {u"/home/u/Form Sample.ksx", CommandLineAction::FormFile},
        {u"/home/u/FORM.KSX", CommandLineAction::FormFile},
        {u"a.kSx", CommandLineAction::FormFile},
        {u".ksx", CommandLineAction::Normal},  // four characters or fewer are not looked at
        {u"/home/u/form.ksx ", CommandLineAction::Normal},
        {u"/home/u/form.ksx.ks5", CommandLineAction::Normal},
        {long_dir + u"form.ksx", CommandLineAction::FormFile},  // a long line is not cut
        {u"SYNC_START", CommandLineAction::SyncStart},
        {u"-x SYNC_START", CommandLineAction::SyncStart},
        {u"SYNC_END", CommandLineAction::SyncEnd},
        {long_dir + u" SYNC_END", CommandLineAction::SyncEnd},
        {u"sync_start", CommandLineAction::Normal},
        {u"SYNC_START now", CommandLineAction::Normal},
        {u"SYNC_ENDS", CommandLineAction::Normal},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(to_utf8(c.line));
        EXPECT_EQ(command_line_action(c.line), c.action);
    }
}

TEST(CommandLineTest, ArgumentsAfterTheProgramFormTheLine) {
    EXPECT_EQ(command_line_text({"keystash"}), u"");
    EXPECT_EQ(command_line_text({"keystash", "/home/u/Wallet \xC3\xA9.ks5"}),
              u"/home/u/Wallet é.ks5");
    EXPECT_EQ(command_line_text({"keystash", "-s", "SYNC_END"}), u"-s SYNC_END");
    EXPECT_EQ(command_line_action(command_line_text({"keystash", "SYNC_START"})),
              CommandLineAction::SyncStart);
}

TEST(BrowserCommandTest, CutsBeforeThePlaceholder) {
    struct Case {
        std::u16string command;
        std::u16string cut;
    };
    const std::vector<Case> cases = {
        {u"\"/usr/bin/web browser\" %1", u"\"/usr/bin/web browser\""},
        {u"/usr/bin/browser %1", u"/usr/bin/browser"},
        {u"\"/usr/bin/web browser %1", u"\"/usr/bin/web browser\""},  // quote closed for it
        {u"/usr/bin/browser -new %1", u"/usr/bin/browser -new"},
        {u"browser %1 %2", u"browser %1"},  // only the last placeholder goes
        {u"/usr/bin/browser", u"/usr/bin/browser"},
        {u"/usr/bin/browser%1", u"/usr/bin/browser%1"},
        {u"/usr/bin/browser %", u"/usr/bin/browser"},
        {u"\" %1", u"\""},  // blank too early to close a quote
        {u"\"a %1", u"\"a\""},
        {u"", u""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(to_utf8(c.command));
        EXPECT_EQ(cut_browser_command(c.command), c.cut);
    }
}

TEST(BrowserCommandTest, CacheReadsOnlyAnExistingKeyOnce) {
    const std::u16string key = u"http\\Shell\\Open\\Command";
    {
        Registry registry;
        BrowserCommandCache cache;
        EXPECT_EQ(cache.command(registry), u"");
        EXPECT_TRUE(registry.key_exists(HKCR, key));  // opened with create, as the shell does
    }
    Registry registry;
    registry.set_string(HKCR, key, u"", u"\"/usr/bin/web browser\" %1");
    BrowserCommandCache cache;
    EXPECT_EQ(cache.command(registry), u"\"/usr/bin/web browser\"");
    registry.set_string(HKCR, key, u"", u"/usr/bin/other %1");
    EXPECT_EQ(cache.command(registry), u"\"/usr/bin/web browser\"");
    cache.clear();
    EXPECT_EQ(cache.command(registry), u"/usr/bin/other");
}

TEST(BrowserCommandTest, ArgumentsForStartingTheBrowser) {
    struct Case {
        std::u16string command;
        std::vector<std::string> args;
    };
    const std::u16string url = u"https://example.org/a b";
    const std::vector<Case> cases = {
        {u"\"/opt/web browser/run\"", {"/opt/web browser/run", "https://example.org/a b"}},
        {u"/usr/bin/browser -new", {"/usr/bin/browser", "-new", "https://example.org/a b"}},
        {u"  /usr/bin/browser  ", {"/usr/bin/browser", "https://example.org/a b"}},
        {u"\"/opt/b\" --private", {"/opt/b", "--private", "https://example.org/a b"}},
        {u"", {}},
        {u"\"\"", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(to_utf8(c.command));
        EXPECT_EQ(browser_arguments(c.command, url), c.args);
    }
}

TEST(HelpFileTest, HelpPageLivesInTheDataFolder) {
    EXPECT_EQ(help_file_path("/usr/share/keystash"), "/usr/share/keystash/kspro5en.htm");
}

}  // namespace
}  // namespace ks
