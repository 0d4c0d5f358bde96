// The program as a process: the command line's early endings and the single instance.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "platform/instance.h"
#include "platform/registry.h"
#include "support/test_support.h"

namespace ks {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

class ProgramTest : public ::testing::Test {
  protected:
    void SetUp() override {
        fs::create_directories(runtime);
        fs::permissions(runtime, fs::perms::owner_all);
        fs::create_directories(config);
    }
    void TearDown() override {
        for (pid_t pid : started) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
    }

    pid_t start(std::vector<std::string> args) {
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
            ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
            ::setenv("KEYSTASH_CONFIG_DIR", config.c_str(), 1);
            ::setenv("HOME", dir.path().c_str(), 1);
            std::vector<char*> argv{const_cast<char*>(KEYSTASH_PROGRAM_PATH)};
            for (std::string& a : args) argv.push_back(a.data());
            argv.push_back(nullptr);
            ::execv(KEYSTASH_PROGRAM_PATH, argv.data());
            ::_exit(127);
        }
        started.push_back(pid);
        return pid;
    }

    // The exit code, or -1 when the process still runs after `limit`.
    int wait_for(pid_t pid, std::chrono::milliseconds limit) {
        const auto until = std::chrono::steady_clock::now() + limit;
        while (std::chrono::steady_clock::now() < until) {
            int status = 0;
            if (::waitpid(pid, &status, WNOHANG) == pid) {
                std::erase(started, pid);
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
            std::this_thread::sleep_for(20ms);
        }
        return -1;
    }

    bool wait_until_running() {
        for (int i = 0; i < 500; ++i) {
            if (program_running(runtime) && fs::exists(instance_socket_path(runtime))) return true;
            std::this_thread::sleep_for(20ms);
        }
        return false;
    }

    test::TempDir dir;
    fs::path runtime = dir / "run";
    fs::path config = dir / "config";
    std::vector<pid_t> started;
};

TEST_F(ProgramTest, AFormFileOrASyncMarkerWithoutAnInstanceEndsAtOnce) {
    for (const char* argument : {"/somewhere/Forms.KSX", "SYNC_START", "SYNC_END"}) {
        const pid_t pid = start({argument});
        EXPECT_EQ(wait_for(pid, 10s), 0) << argument;
    }
    EXPECT_FALSE(fs::exists(config / Registry::kFileName));  // ended before the settings
}

TEST_F(ProgramTest, ASecondStartOnlyActivatesTheFirstAndTheCloseRequestEndsIt) {
    const pid_t first = start({});
    ASSERT_TRUE(wait_until_running());
    const fs::path wallet = dir / "Other.ks5";
    test::write_file_bytes(wallet, {1, 2, 3});
    const pid_t second = start({wallet.string()});
    EXPECT_EQ(wait_for(second, 10s), 0);
    EXPECT_EQ(wait_for(first, 200ms), -1);  // the first runs on
    EXPECT_TRUE(send_instance_request(runtime, InstanceRequest::SyncStart));
    EXPECT_TRUE(send_instance_request(runtime, InstanceRequest::Close));
    EXPECT_EQ(wait_for(first, 15s), 0);
    Registry registry;
    ASSERT_TRUE(registry.load(config));
    EXPECT_EQ(registry.get_dword(RegistryRoot::CurrentUser, u"SOFTWARE\\Brightloom\\Keystash Pro 5",
                                 u"Count6"),
              1u);  // the settings were saved after the run
}

}  // namespace
}  // namespace ks
