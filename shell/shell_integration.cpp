#include "shell/shell_integration.h"

#include <system_error>

#include "platform/message_format.h"
#include "platform/registry.h"
#include "platform/text.h"

namespace ks {

const FileTypeRegistration kFileTypes[2] = {
    {u".ks5", u"KeystashProDocument", u"Keystash Pro Wallet", 201},
    {u".ksx", u"KeystashProForm", u"Keystash Pro Form Layout", 203},
};

namespace {

constexpr std::u16string_view kBrowserKey = u"http\\Shell\\Open\\Command";

bool ends_with(std::u16string_view text, std::u16string_view suffix) {
    return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

}  // namespace

std::filesystem::path program_path() {
    std::error_code ec;
    std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) return {};
    return exe;
}

void register_file_types(Registry& registry, const std::filesystem::path& program) {
    constexpr RegistryRoot root = RegistryRoot::ClassesRoot;
    const std::u16string path = from_utf8(program.string());
    for (const FileTypeRegistration& type : kFileTypes) {
        if (registry.create_key(root, type.extension))
            registry.set_string(root, type.extension, u"", type.class_name);
        // Each step runs only when the key of the step before could be opened.
        const std::u16string class_key(type.class_name);
        if (!registry.create_key(root, class_key)) continue;
        registry.set_string(root, class_key, u"", type.display_name);
        const std::u16string icon_key = format_message(u"%s\\DefaultIcon", {class_key});
        if (!registry.create_key(root, icon_key)) continue;
        registry.set_string(root, icon_key, u"",
                            format_message(u"%s,-%d", {path, int64_t(type.icon_resource)}));
        const std::u16string command_key = format_message(u"%s\\Shell\\Open\\Command", {class_key});
        if (!registry.create_key(root, command_key)) continue;
        registry.set_string(root, command_key, u"", format_message(u"\"%s\" %%1", {path}));
    }
}

void register_file_types(Registry& registry) {
    register_file_types(registry, program_path());
}

CommandLineAction command_line_action(std::u16string_view command_line) {
    if (command_line.size() <= 4) return CommandLineAction::Normal;
    if (iequals_ascii(command_line.substr(command_line.size() - kFormFileExtension.size()),
                      kFormFileExtension))
        return CommandLineAction::FormFile;
    if (ends_with(command_line, kSyncStartMarker)) return CommandLineAction::SyncStart;
    if (ends_with(command_line, kSyncEndMarker)) return CommandLineAction::SyncEnd;
    return CommandLineAction::Normal;
}

std::u16string command_line_text(const std::vector<std::string>& arguments) {
    std::u16string line;
    for (size_t i = 1; i < arguments.size(); ++i) {
        if (i > 1) line.push_back(u' ');
        line += from_utf8(arguments[i]);
    }
    return line;
}

std::u16string cut_browser_command(std::u16string_view command) {
    std::u16string out(command);
    for (size_t i = out.size(); i-- > 0;) {
        if (out[i] != u' ' || i + 1 >= out.size() || out[i + 1] != u'%') continue;
        if (!out.empty() && out.front() == u'"' && i >= 2 && out[i - 1] != u'"') {
            out[i] = u'"';
            out.resize(i + 1);
        } else {
            out.resize(i);
        }
        break;
    }
    return out;
}

const std::u16string& BrowserCommandCache::command(Registry& registry) {
    if (command_.empty()) {
        bool created = false;
        if (registry.create_key(RegistryRoot::ClassesRoot, kBrowserKey, &created) && !created) {
            if (auto value = registry.get_string(RegistryRoot::ClassesRoot, kBrowserKey, u""))
                command_ = cut_browser_command(*value);
        }
    }
    return command_;
}

std::vector<std::string> browser_arguments(std::u16string_view cut_command,
                                           std::u16string_view address) {
    std::vector<std::string> args;
    std::u16string_view rest = cut_command;
    auto skip_blanks = [&] {
        while (!rest.empty() && rest.front() == u' ') rest.remove_prefix(1);
    };
    skip_blanks();
    if (!rest.empty() && rest.front() == u'"') {
        rest.remove_prefix(1);
        const size_t close = rest.find(u'"');
        args.push_back(to_utf8(rest.substr(0, close)));
        rest = close == std::u16string_view::npos ? std::u16string_view() : rest.substr(close + 1);
    }
    while (true) {
        skip_blanks();
        if (rest.empty()) break;
        const size_t blank = rest.find(u' ');
        args.push_back(to_utf8(rest.substr(0, blank)));
        rest = blank == std::u16string_view::npos ? std::u16string_view() : rest.substr(blank);
    }
    if (args.empty() || args.front().empty()) return {};
    args.push_back(to_utf8(address));
    return args;
}

std::filesystem::path help_file_path(const std::filesystem::path& data_dir) {
    return data_dir / kHelpFileName;
}

}  // namespace ks
