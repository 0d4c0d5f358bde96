#pragma once
// The program's contacts with the desktop outside its own windows: the registration of its two
// file types in the classes root, the command-line endings that stop a start early, the browser
// command kept under "http\Shell\Open\Command", and the help page.
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace ks {

class Registry;

// Main-window messages and the timer by which a running instance reacts to the markers.
constexpr uint32_t MWM_SYNCSTART = 3524;
constexpr uint32_t MWM_SYNCEND = 3525;
constexpr uint32_t TIMER_SYNCCLOSE = 3002;
constexpr uint32_t kSyncCloseDelayMs = 1000;

constexpr std::u16string_view kSyncStartMarker = u"SYNC_START";
constexpr std::u16string_view kSyncEndMarker = u"SYNC_END";
constexpr std::u16string_view kFormFileExtension = u".ksx";

// The help page, shown by the help viewer from the program's data folder.
constexpr std::string_view kHelpFileName = "kspro5en.htm";
constexpr std::u16string_view kHelpCommandLineFormat = u"file:%s";

struct FileTypeRegistration {
    std::u16string_view extension;   // the extension key, for example ".ks5"
    std::u16string_view class_name;  // the extension's default value and the class key
    std::u16string_view display_name;
    int icon_resource;
};

// The two file types, in the order they are registered.
extern const FileTypeRegistration kFileTypes[2];

// The full path of the running program.
std::filesystem::path program_path();

// Writes the extension keys, class keys, their DefaultIcon ("<program>,-<icon>") and
// Shell\Open\Command ("\"<program>\" %1") values into the classes root of `registry`, undoing
// any change another program made to them. Only the in-memory store changes; the caller saves.
// Failures are silent.
void register_file_types(Registry& registry, const std::filesystem::path& program);
void register_file_types(Registry& registry);

enum class CommandLineAction {
    Normal,     // start as usual (an empty command line or a wallet path)
    FormFile,   // the line ends in ".ksx" (any case): end at once, form files are not opened
    SyncStart,  // the line ends in "SYNC_START": hand the marker to the running instance, end
    SyncEnd,    // the line ends in "SYNC_END": likewise
};

// What the ending of a command line asks for. The line is never cut: a long path still counts.
CommandLineAction command_line_action(std::u16string_view command_line);

// The command line of a start as one text: the arguments after the program name joined by
// blanks, as the shell composes it.
std::u16string command_line_text(const std::vector<std::string>& arguments);

// Cuts a browser command before its argument placeholder: at the last blank followed by "%" the
// text ends; when the text begins with a double quote that is not closed before that blank (and
// the blank is at position 2 or later), a double quote takes the blank's place. A command
// without such a blank is returned as it is.
std::u16string cut_browser_command(std::u16string_view command);

// The browser command of the classes root, read once and kept for the rest of the run.
class BrowserCommandCache {
  public:
    // On the first call with an empty cache: opens (creating when missing) the key
    // "http\Shell\Open\Command" and, only when it already existed, takes its default string
    // value, cut by cut_browser_command.
    const std::u16string& command(Registry& registry);
    void clear() { command_.clear(); }

  private:
    std::u16string command_;
};

// The program and arguments that open `address` with a cut browser command: a quoted program
// path is taken whole, an unquoted command is split at blanks; the address comes last. Empty
// when the command names no program.
std::vector<std::string> browser_arguments(std::u16string_view cut_command,
                                           std::u16string_view address);

// The help page in `data_dir`.
std::filesystem::path help_file_path(const std::filesystem::path& data_dir);

}  // namespace ks
