#include <gtest/gtest.h>

#include "platform/text.h"
#include "platform/texts.h"
#include "shell/dialog_rules.h"
#include "shell/session_rules.h"
#include "shell/settings.h"
#include "support/test_support.h"

namespace ks {
namespace {

namespace fs = std::filesystem;

TEST(StartDecision, OpensWhatExistsElseShowsTheChooser) {
    const auto only = [](const char* existing) {
        return [existing](const fs::path& p) { return p == fs::path(existing); };
    };
    struct Case {
        const char* what;
        std::u16string command_line;
        int open_last;
        std::u16string mru;
        const char* existing;
        StartAction action;
        const char* path;
    };
    const Case cases[] = {
        {"a named wallet", u"/w/a.ks5", 0, u"", "/w/a.ks5", StartAction::OpenPath, "/w/a.ks5"},
        {"a named wallet that is gone", u"/w/a.ks5", 1, u"/w/b.ks5", "/w/b.ks5",
         StartAction::ShowChooser, ""},
        {"the last wallet", u"", 1, u"/w/b.ks5", "/w/b.ks5", StartAction::OpenPath, "/w/b.ks5"},
        {"the last wallet deleted", u"", 1, u"/w/b.ks5", "/w/other", StartAction::ShowChooser, ""},
        {"OpenLast off", u"", 0, u"/w/b.ks5", "/w/b.ks5", StartAction::ShowChooser, ""},
        {"no last wallet", u"", 1, u"", "", StartAction::ShowChooser, ""},
    };
    for (const Case& c : cases) {
        AppSettings settings;
        settings.OpenLast = c.open_last;
        settings.MRU = c.mru;
        const StartDecision d = decide_start(c.command_line, settings, only(c.existing));
        EXPECT_EQ(d.action, c.action) << c.what;
        EXPECT_EQ(d.path, fs::path(c.path)) << c.what;
    }
}

TEST(StartDecision, WelcomeOnTheFirstRunOrWhileAsked) {
    AppSettings s;
    EXPECT_TRUE(show_welcome_message(s));
    s.Count6 = 3;
    EXPECT_FALSE(show_welcome_message(s));
    s.Info = 1;
    EXPECT_TRUE(show_welcome_message(s));
}

TEST(Find, TextsAndSwitches) {
    struct Case {
        std::u16string text;
        FindKind kind;
        std::u16string searched;
        bool cut;
    };
    const std::u16string sixty(60, u'x');
    const Case cases[] = {
        {u"", FindKind::TooShort, u"", false},
        {u"a", FindKind::TooShort, u"", false},
        {u"ab", FindKind::Search, u"ab", false},
        {u"::reset", FindKind::ResetSwitch, u"", false},
        {u"::ClearType", FindKind::ClearTypeSwitch, u"", false},
        {u"::OPENLAST", FindKind::OpenLastSwitch, u"", false},
        {u"::openlast now", FindKind::Search, u"::openlast now", false},
        {sixty, FindKind::Search, std::u16string(48, u'x'), true},
    };
    for (const Case& c : cases) {
        const FindRequest r = classify_find(c.text);
        EXPECT_EQ(r.kind, c.kind) << to_utf8(c.text);
        EXPECT_EQ(r.text, c.searched);
        EXPECT_EQ(r.was_cut, c.cut);
    }
}

TEST(Find, SwitchesToggleTheirSettingAndResetRestoresDefaults) {
    AppSettings s;
    int told = 0;
    s.add_listener([&](const AppSettings&) { ++told; });
    ASSERT_TRUE(apply_find_switch(FindKind::OpenLastSwitch, s));
    EXPECT_EQ(s.OpenLast, 0);
    ASSERT_TRUE(apply_find_switch(FindKind::ClearTypeSwitch, s));
    EXPECT_EQ(s.ClearType, 0);
    s.FontMain = 12;
    ASSERT_TRUE(apply_find_switch(FindKind::ResetSwitch, s));
    EXPECT_EQ(s.OpenLast, 1);
    EXPECT_EQ(s.FontMain, 9);
    EXPECT_EQ(told, 3);
    EXPECT_FALSE(apply_find_switch(FindKind::Search, s));
}

TEST(AutoClose, WholeMinutesReachThePeriod) {
    const DateTime last{2026, 12, 5, 11, 10, 30, 59, 999};
    struct Case {
        uint16_t hour, minute, second;
        uint32_t period;
        bool open;
        bool due;
    };
    const Case cases[] = {
        {10, 31, 0, 1, true, true},     // one second later, but the minute changed
        {10, 30, 59, 1, true, false},
        {10, 35, 0, 5, true, true},
        {10, 34, 59, 5, true, false},
        {11, 0, 0, 0, true, false},     // never
        {11, 0, 0, 1, false, false},    // no wallet
    };
    for (const Case& c : cases) {
        const DateTime now{2026, 12, 5, 11, c.hour, c.minute, c.second, 0};
        EXPECT_EQ(auto_close_due(c.open, c.period, last, now), c.due)
            << c.hour << ":" << c.minute << ":" << c.second << " period " << c.period;
    }
    // Across midnight, a month and a year end.
    EXPECT_TRUE(auto_close_due(true, 2, DateTime{2026, 12, 4, 31, 23, 59, 0, 0},
                               DateTime{2027, 1, 5, 1, 0, 1, 0, 0}));
    EXPECT_EQ(whole_minutes({2024, 3, 5, 1, 0, 0, 0, 0}) - whole_minutes({2024, 2, 4, 28, 0, 0, 0, 0}),
              2 * 24 * 60);  // 2024 is a leap year
}

TEST(AutoClose, TimeJumpsAreSleeps) {
    const DateTime before{2026, 12, 5, 11, 10, 30, 55, 0};
    auto at = [](uint16_t day, uint16_t hour, uint16_t minute, uint16_t second) {
        return DateTime{2026, 12, 5, day, hour, minute, second, 0};
    };
    EXPECT_FALSE(time_jumped(before, at(11, 10, 30, 56)));
    EXPECT_FALSE(time_jumped(before, at(11, 10, 31, 4)));   // nine seconds over the wrap
    EXPECT_TRUE(time_jumped(before, at(11, 10, 31, 6)));    // eleven
    EXPECT_TRUE(time_jumped(before, at(11, 10, 32, 55)));   // two whole minutes
    EXPECT_TRUE(time_jumped(before, at(11, 10, 30, 40)));   // the clock went back
    EXPECT_TRUE(time_jumped(before, at(11, 11, 30, 55)));   // an hour, same seconds
    EXPECT_TRUE(time_jumped(before, at(12, 10, 30, 55)));   // a day
}

TEST(HeaderLayout, PixelRules) {
    const HeaderLayout tree = header_layout(240, false, false);
    EXPECT_EQ(tree.mode, (Box{2, 1, 20, 20}));
    EXPECT_EQ(tree.expand, (Box{218, 1, 20, 20}));
    EXPECT_TRUE(tree.show_expand);
    EXPECT_FALSE(tree.show_edit || tree.show_search || tree.show_clear);
    EXPECT_EQ(tree.name, (Box{27, 2, 216 - 27, 20}));

    const HeaderLayout empty_find = header_layout(240, true, false);
    EXPECT_TRUE(empty_find.show_edit);
    EXPECT_FALSE(empty_find.show_expand || empty_find.show_search || empty_find.show_clear);
    EXPECT_EQ(empty_find.edit, (Box{24, 2, 238 - 24, 20}));

    const HeaderLayout typed = header_layout(240, true, true);
    EXPECT_TRUE(typed.show_search && typed.show_clear);
    EXPECT_EQ(typed.clear, (Box{196, 1, 20, 20}));
    EXPECT_EQ(typed.search, (Box{218, 1, 20, 20}));
    EXPECT_EQ(typed.edit, (Box{24, 2, 194 - 24, 20}));
    EXPECT_EQ(typed.height, 23);

    EXPECT_FALSE(has_visible_text(u"   "));
    EXPECT_TRUE(has_visible_text(u"  a"));
}

TEST(OpenMessages, FormatsAndReasons) {
    test::MapTextSource texts({{23016, u"Cannot open:"}, {23013, u"not a wallet"},
                               {23014, u"wrong password"}, {23002, u"no memory"},
                               {23015, u"damaged"}});
    ScopedTextSource scope(&texts);
    EXPECT_EQ(wallet_display_name("/home/u/My.Wallet.ks5"), u"My.Wallet");
    EXPECT_EQ(wallet_display_name("/home/u/plain"), u"plain");
    EXPECT_EQ(open_refused_message(u"a", 7), u"Cannot open:\na\n(07)");
    EXPECT_EQ(load_failed_message(u"a", 10), u"Cannot open:\na\n(wrong password:10)");
    EXPECT_EQ(load_failed_message(u"a", 7), u"Cannot open:\na\n(not a wallet:7)");
    EXPECT_EQ(load_failed_message(u"a", 12), u"Cannot open:\na\n(no memory:12)");
    EXPECT_EQ(load_failed_message(u"a", 13), u"Cannot open:\na\n(damaged:13)");
}

TEST(PasswordRules, NewPasswordChecksInOrder) {
    struct Case {
        std::u16string first, second;
        uint32_t text_id;  // 0: accepted
    };
    const Case cases[] = {
        {u"", u"", 27003},        {u"", u"abc", 27003},   {u"abc", u"abcd", 27004},
        {u"ab", u"ab", 27007},    {u"ab", u"ac", 27007},  {u"abc", u"abd", 27004},
        {u"abc", u"ABC", 27004},  {u"abc", u"abc", 0},
    };
    for (const Case& c : cases) {
        const auto problem = check_new_password(c.first, c.second);
        EXPECT_EQ(problem ? problem->text_id : 0u, c.text_id)
            << to_utf8(c.first) << "/" << to_utf8(c.second);
    }
    EXPECT_EQ(read_limited(std::u16string(24, u'p'), kPasswordReadLimit), std::u16string(23, u'p'));
}

TEST(PasswordRules, HintOnceFromTheFifthFailure) {
    PasswordAttempts with_hint;
    std::vector<bool> shown;
    for (int i = 0; i < 7; ++i) shown.push_back(with_hint.count_failure(true));
    EXPECT_EQ(shown, (std::vector<bool>{false, false, false, false, true, false, false}));
    PasswordAttempts without_hint;
    for (int i = 0; i < 7; ++i) EXPECT_FALSE(without_hint.count_failure(false));

    IdleCountdown countdown;
    for (int i = 1; i < kDialogIdleTicks; ++i) ASSERT_FALSE(countdown.tick());
    EXPECT_TRUE(countdown.tick());
    countdown.restart();
    EXPECT_EQ(countdown.left(), kDialogIdleTicks);
}

TEST(OptionRules, TextSizeListsAndPeriods) {
    struct Tree {
        int32_t size, style;
        int entry;
    };
    const Tree trees[] = {{1, 0, 0}, {8, 1, 3}, {9, 0, 1}, {9, 1, 4}, {10, 0, 2},
                          {12, 1, 5}, {13, 0, 1}, {13, 1, 1}, {40, 0, 1}};
    for (const Tree& t : trees) {
        EXPECT_EQ(tree_size_entry(t.size, t.style), t.entry) << t.size << "/" << t.style;
    }
    EXPECT_EQ(tree_size_of_entry(1).points, 9);  // 13 is shown as medium and stored as 9
    EXPECT_FALSE(tree_size_of_entry(1).bold);
    EXPECT_EQ(tree_size_of_entry(5).points, 11);
    EXPECT_TRUE(tree_size_of_entry(5).bold);
    EXPECT_EQ(tree_size_of_entry(-1).points, 8);
    EXPECT_EQ(card_size_entry(8), 0);
    EXPECT_EQ(card_size_entry(13), 1);
    EXPECT_EQ(card_size_entry(11), 2);
    EXPECT_EQ(card_size_of_entry(2), 11);
    EXPECT_EQ(period_entry(30), 4);
    EXPECT_EQ(period_entry(15), 0);  // not in the list: the first entry, which is "never"
}

}  // namespace
}  // namespace ks
