#include "platform/secret.h"

#include <gtest/gtest.h>
#include <string.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/process.h"

namespace ks {
namespace {

bool object_holds(const SecretText& text, std::u16string_view units) {
    return memmem(&text, sizeof text, units.data(), units.size() * sizeof(char16_t)) != nullptr;
}

TEST(SecretText, WipeClearsTheInlineStorageEvenAfterGrowing) {
    SecretText text(u"abcdefg");  // short enough to live inside the object
    ASSERT_TRUE(object_holds(text, u"efg"));
    text += u"hijklmnopq";  // moves to the heap, leaving part of the short text behind
    text.wipe();
    EXPECT_TRUE(text.empty());
    EXPECT_FALSE(object_holds(text, u"efg"));
}

TEST(SecretText, BehavesAsItsText) {
    SecretText a(u"4111");
    SecretText b = a;
    EXPECT_EQ(a, b);
    EXPECT_EQ(a, u"4111");
    EXPECT_EQ(a, std::u16string(u"4111"));
    EXPECT_EQ(std::u16string_view(u"4111"), a);
    SecretText moved = std::move(b);
    EXPECT_EQ(moved.view(), u"4111");
    moved = std::u16string(u"a longer text that needs the heap");
    EXPECT_EQ(moved.plain(), u"a longer text that needs the heap");
    moved = u"x";
    EXPECT_EQ(moved, u"x");
}

TEST(Process, CoreDumpsAreSwitchedOff) {
    // In a child, so that the test process keeps its own settings.
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const bool done = disable_core_dumps();
        rlimit core{};
        getrlimit(RLIMIT_CORE, &core);
        const bool off =
            core.rlim_cur == 0 && core.rlim_max == 0 && prctl(PR_GET_DUMPABLE, 0, 0, 0, 0) == 0;
        _exit(done && off ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

}  // namespace
}  // namespace ks
