// keystash-install: stands in for the device installer. It loads the setup library, places the
// files the installer would place, and calls the library's hooks around that, putting the
// library's questions to the user on the terminal.
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

#include "platform/atomic_file.h"
#include "platform/file.h"
#include "platform/process.h"
#include "platform/string_table.h"
#include "platform/user_dirs.h"
#include "setup/setup.h"

namespace ks::setup {
namespace {

namespace fs = std::filesystem;

// Exit codes.
enum Exit : int {
    kDone = 0,
    kCancelled = 1,     // the library cancelled the installation or the removal
    kUsage = 2,         // the command line is wrong
    kNoLibrary = 3,     // the setup library is missing or lacks an entry point
    kFolderFailed = 4,  // the installation folder cannot be made or is not a folder
    kFailure = 5        // an unexpected failure
};

constexpr std::string_view kLibraryName = "libkeystash-setup.so";
constexpr std::array<std::string_view, 3> kSamples = {"Sample Wallet.ks5", "Form Sample.ksx",
                                                      "Import Sample.txt"};

constexpr std::string_view kHelp =
    "Usage: keystash-install install DIR [--platform PocketPC|SmartPhone] [--os-version 5.01]"
    " [--yes]\n"
    "       keystash-install uninstall DIR [--yes]\n"
    "\n"
    "Installs Keystash Pro into DIR, or removes it, the way the device installer does: the\n"
    "setup library libkeystash-setup.so (beside this program or in ../lib) is loaded and its\n"
    "hooks are called. Installing puts the language tables and the program files into DIR and\n"
    "the samples into the documents folder's \"Keystash Samples\".\n"
    "\n"
    "  --platform P     the device's platform type (default PocketPC)\n"
    "  --os-version V   the device's system version, major.minor (default 5.01)\n"
    "  --yes            answer Yes / OK to every question; without a terminal and without\n"
    "                   --yes every question is answered No / Cancel\n"
    "  --help           show this text\n"
    "\n"
    "Exit codes: 0 done, 1 installation or removal cancelled, 2 wrong command line, 3 setup\n"
    "library missing or incomplete, 4 installation folder unusable, 5 unexpected failure.\n";

struct Options {
    bool install = true;
    fs::path dir;
    std::string platform = "PocketPC";
    uint32_t os_major = 5;
    uint32_t os_minor = 1;
    bool yes = false;
};

std::optional<std::pair<uint32_t, uint32_t>> parse_version(std::string_view text) {
    const size_t dot = text.find('.');
    if (dot == std::string_view::npos || dot == 0 || dot + 1 == text.size()) return std::nullopt;
    const auto number = [](std::string_view digits) -> std::optional<uint32_t> {
        if (digits.empty() || digits.size() > 4) return std::nullopt;
        uint32_t n = 0;
        for (char c : digits) {
            if (c < '0' || c > '9') return std::nullopt;
            n = n * 10 + static_cast<uint32_t>(c - '0');
        }
        return n;
    };
    const auto major = number(text.substr(0, dot));
    const auto minor = number(text.substr(dot + 1));
    if (!major || !minor) return std::nullopt;
    return std::make_pair(*major, *minor);
}

// Parses the command line; a message on failure.
std::optional<std::string> parse(int argc, char** argv, Options& options) {
    std::vector<std::string_view> positional;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        const auto value = [&]() -> std::optional<std::string_view> {
            if (i + 1 >= argc) return std::nullopt;
            return std::string_view(argv[++i]);
        };
        if (arg == "--yes") {
            options.yes = true;
        } else if (arg == "--platform") {
            const auto v = value();
            if (!v || (*v != "PocketPC" && *v != "SmartPhone")) {
                return "--platform takes PocketPC or SmartPhone.";
            }
            options.platform = std::string(*v);
        } else if (arg == "--os-version") {
            const auto v = value();
            const auto version = v ? parse_version(*v) : std::nullopt;
            if (!version) return "--os-version takes a version such as 5.01.";
            options.os_major = version->first;
            options.os_minor = version->second;
        } else if (arg.size() > 1 && arg.front() == '-') {
            return "Unknown option " + std::string(arg) + ".";
        } else {
            positional.push_back(arg);
        }
    }
    if (positional.size() != 2) return "Give a command (install or uninstall) and a folder.";
    if (positional[0] == "install") {
        options.install = true;
    } else if (positional[0] == "uninstall") {
        options.install = false;
    } else {
        return "Unknown command " + std::string(positional[0]) + ".";
    }
    options.dir = positional[1];
    return std::nullopt;
}

struct Answers {
    bool yes = false;
    bool terminal = false;
};

// The library's question callback: the message on standard output, the answer from the
// terminal, from --yes, or declined.
int ask_on_terminal(void* context, const char* text, const char* caption, int buttons,
                    int /*icon*/) {
    const Answers& answers = *static_cast<const Answers*>(context);
    std::cout << "\n[" << (caption ? caption : "") << "]\n" << (text ? text : "") << "\n";
    const bool yes_no = buttons == KS_SETUP_BUTTONS_YES_NO;
    const int positive = yes_no ? KS_SETUP_ANSWER_YES : KS_SETUP_ANSWER_OK;
    const int negative = yes_no ? KS_SETUP_ANSWER_NO : KS_SETUP_ANSWER_CANCEL;
    if (buttons == KS_SETUP_BUTTONS_OK) {
        std::cout.flush();
        return KS_SETUP_ANSWER_OK;
    }
    if (answers.yes || !answers.terminal) {
        std::cout << (answers.yes ? (yes_no ? "-> Yes\n" : "-> OK\n")
                                  : (yes_no ? "-> No\n" : "-> Cancel\n"));
        std::cout.flush();
        return answers.yes ? positive : negative;
    }
    for (;;) {
        std::cout << (yes_no ? "Yes or No? [y/n] " : "OK or Cancel? [o/c] ");
        std::cout.flush();
        std::string line;
        if (!std::getline(std::cin, line)) return negative;
        if (!line.empty()) {
            const char c = static_cast<char>(std::tolower(static_cast<unsigned char>(line[0])));
            if (c == (yes_no ? 'y' : 'o')) return positive;
            if (c == (yes_no ? 'n' : 'c')) return negative;
        }
    }
}

struct LibraryCloser {
    void operator()(void* handle) const { dlclose(handle); }
};
using LibraryHandle = std::unique_ptr<void, LibraryCloser>;

struct Library {
    LibraryHandle handle;
    KeystashSetHostFn set_host = nullptr;
    KeystashInstallInitFn install_init = nullptr;
    KeystashInstallExitFn install_exit = nullptr;
    KeystashUninstallInitFn uninstall_init = nullptr;
    KeystashUninstallExitFn uninstall_exit = nullptr;
};

fs::path program_folder() {
    std::error_code ec;
    const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    return ec ? fs::path(".") : exe.parent_path();
}

template <typename Fn>
bool resolve(void* handle, const char* name, Fn& out) {
    out = reinterpret_cast<Fn>(dlsym(handle, name));
    return out != nullptr;
}

std::optional<Library> load_library(std::string& problem) {
    const fs::path here = program_folder();
    std::error_code ec;
    for (const fs::path& candidate : {here / kLibraryName, here / ".." / "lib" / kLibraryName}) {
        if (!fs::exists(candidate, ec)) continue;
        Library library;
        library.handle.reset(dlopen(candidate.c_str(), RTLD_NOW | RTLD_LOCAL));
        if (!library.handle) {
            const char* why = dlerror();
            problem = "The setup library " + candidate.string() +
                      " cannot be loaded: " + (why ? why : "unknown reason") + ".";
            return std::nullopt;
        }
        void* h = library.handle.get();
        if (!resolve(h, "Keystash_SetHost", library.set_host) ||
            !resolve(h, "Install_Init", library.install_init) ||
            !resolve(h, "Install_Exit", library.install_exit) ||
            !resolve(h, "Uninstall_Init", library.uninstall_init) ||
            !resolve(h, "Uninstall_Exit", library.uninstall_exit)) {
            problem = "The setup library " + candidate.string() + " lacks an entry point.";
            return std::nullopt;
        }
        return library;
    }
    problem = "The setup library " + std::string(kLibraryName) + " was not found beside " +
              here.string() + " or in its ../lib folder.";
    return std::nullopt;
}

// Copies `from` to `to` with the permissions `mode`. The copy goes into a new file beside `to`,
// created exclusively (so never through a symbolic link or into another's file), and is then
// renamed over `to`: whatever stood at `to`, a link included, is replaced, never written
// through. False, with a message and nothing left behind, on failure.
bool copy_one(const fs::path& from, const fs::path& to, mode_t mode) {
    const auto fail = [&](int error) {
        std::cerr << "keystash-install: cannot copy " << from << " to " << to << ": "
                  << std::strerror(error != 0 ? error : EIO) << "\n";
        return false;
    };
    clear_file_failure();
    int error = 0;
    const File in = File::open(from, FileMode::ReadOnly, &error);
    if (!in.is_open()) return fail(error);
    AtomicReplacement out(to);
    if (!out.is_open()) return fail(last_file_failure().error);
    std::vector<uint8_t> buffer(64 * 1024);
    for (uint64_t offset = 0;;) {
        const IoResult got = in.read_at(offset, buffer);
        if (got.failed()) return fail(got.error);
        if (got.bytes == 0) break;
        const IoResult put = out.file().write(std::span(buffer).first(got.bytes));
        if (put.failed() || put.bytes != got.bytes) return fail(put.error);
        offset += got.bytes;
    }
    if (!out.file().set_mode(mode) || !out.commit()) return fail(last_file_failure().error);
    return true;
}

// The permission bits of `path`, or `fallback` when it cannot be read.
mode_t permissions_of(const fs::path& path, mode_t fallback) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? (st.st_mode & 0777) : fallback;
}

// Places what the device installer would: the language tables and the program files in the
// installation folder, the samples in the documents folder. Returns the files that failed.
uint16_t place_files(const fs::path& dir) {
    uint16_t failed = 0;
    const fs::path data = data_directory();
    std::error_code ec;
    for (fs::directory_iterator it(data, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.starts_with(kLanguageFilePrefix) && it->path().extension() == ".mui") {
            if (!copy_one(it->path(), dir / name, permissions_of(it->path(), 0644))) ++failed;
        }
    }
    const fs::path here = program_folder();
    for (std::string_view program : {kProgramFile, kKeypadProgramFile}) {
        if (fs::is_regular_file(here / program, ec)) {
            if (!copy_one(here / program, dir / program, permissions_of(here / program, 0755)))
                ++failed;
        }
    }
    const fs::path documents = documents_directory();
    if (documents.empty()) {
        std::cerr << "keystash-install: no documents folder; the samples are not placed.\n";
        return static_cast<uint16_t>(failed + kSamples.size());
    }
    const fs::path samples = documents / kSamplesFolder;
    fs::create_directories(samples, ec);
    for (std::string_view sample : kSamples) {
        if (!fs::is_regular_file(data / sample, ec)) {
            std::cerr << "keystash-install: the sample " << sample << " is missing from " << data
                      << ".\n";
            ++failed;
        } else if (!copy_one(data / sample, samples / sample, 0600)) {  // the user's own files
            ++failed;
        }
    }
    return failed;
}

// Removes the files the installation put into the folder, and the folder when it is empty.
void remove_files(const fs::path& dir) {
    std::error_code ec;
    std::vector<fs::path> doomed;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        const bool language_table =
            name.starts_with(kLanguageFilePrefix) && it->path().extension() == ".mui";
        if (name == kProgramFile || name == kKeypadProgramFile || language_table) {
            doomed.push_back(it->path());
        }
    }
    for (const fs::path& path : doomed) fs::remove(path, ec);
    fs::remove(dir, ec);  // only when empty
}

int run(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::string_view(argv[i]) == "--help") {
            std::cout << kHelp;
            return kDone;
        }
    }
    Options options;
    if (const auto problem = parse(argc, argv, options)) {
        std::cerr << "keystash-install: " << *problem << "\n" << kHelp;
        return kUsage;
    }

    std::string problem;
    std::optional<Library> library = load_library(problem);
    if (!library) {
        std::cerr << "keystash-install: " << problem << "\n";
        return kNoLibrary;
    }

    std::error_code ec;
    const bool made = options.install && fs::create_directories(options.dir, ec);
    if (!fs::is_directory(options.dir, ec)) {
        std::cerr << "keystash-install: " << options.dir << " is not a folder"
                  << (options.install ? " and cannot be made" : "") << ".\n";
        return kFolderFailed;
    }
    const fs::path dir = fs::absolute(options.dir, ec).lexically_normal();

    Answers answers{options.yes, ::isatty(STDIN_FILENO) == 1};
    const KeystashSetupHost host{sizeof(KeystashSetupHost), options.platform.c_str(),
                                 options.os_major,          options.os_minor,
                                 ask_on_terminal,           &answers};
    if (library->set_host(&host) != 0) {
        std::cerr << "keystash-install: the setup library refused the host description.\n";
        return kNoLibrary;
    }

    const std::string path = dir.string();
    if (options.install) {
        const bool previously = fs::exists(dir / kProgramFile, ec);
        if (library->install_init(nullptr, 1, previously ? 1 : 0, path.c_str()) != 0) {
            if (made) fs::remove(dir, ec);
            std::cout << "The installation was cancelled.\n";
            return kCancelled;
        }
        const uint16_t failed = place_files(dir);
        if (library->install_exit(nullptr, path.c_str(), 0, failed, 0, 0, 0) != 0) {
            remove_files(dir);
            std::cerr << "keystash-install: the setup library failed; the program files were "
                         "removed again.\n";
            return kFailure;
        }
        std::cout << "Keystash Pro was installed into " << path << ".\n";
    } else {
        if (library->uninstall_init(nullptr, path.c_str()) != 0) {
            std::cout << "The removal was cancelled.\n";
            return kCancelled;
        }
        remove_files(dir);
        if (library->uninstall_exit(nullptr) != 0) {
            std::cerr << "keystash-install: the setup library failed after the program files were "
                         "removed; the settings may be left.\n";
            return kFailure;
        }
        std::cout << "Keystash Pro was removed from " << path << ".\n";
    }
    return kDone;
}

}  // namespace
}  // namespace ks::setup

int main(int argc, char** argv) {
    ks::disable_core_dumps();
    try {
        return ks::setup::run(argc, argv);
    } catch (const std::exception& e) {
        std::cerr << "keystash-install: " << e.what() << "\n";
        return ks::setup::kFailure;
    }
}
