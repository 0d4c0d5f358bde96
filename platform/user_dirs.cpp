#include "platform/user_dirs.h"

#include <cstdlib>
#include <fstream>
#include <string>

namespace ks {
namespace {

std::filesystem::path env_path(const char* name) {
    const char* v = std::getenv(name);
    return (v && *v) ? std::filesystem::path(v) : std::filesystem::path();
}

// The value of XDG_DOCUMENTS_DIR in a user-dirs file: "$HOME/Documents" or an absolute path.
std::filesystem::path documents_from_user_dirs(const std::filesystem::path& file,
                                               const std::filesystem::path& home) {
    std::ifstream in(file);
    std::string line;
    while (std::getline(in, line)) {
        const std::string key = "XDG_DOCUMENTS_DIR=";
        if (line.rfind(key, 0) != 0) continue;
        std::string value = line.substr(key.size());
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
            value = value.substr(1, value.size() - 2);
        if (value.rfind("$HOME", 0) == 0) return home / value.substr(value.size() > 5 ? 6 : 5);
        if (!value.empty() && value.front() == '/') return value;
    }
    return {};
}

}  // namespace

std::filesystem::path documents_directory() {
    const std::filesystem::path home = env_path("HOME");
    if (home.empty()) return {};
    std::filesystem::path config = env_path("XDG_CONFIG_HOME");
    if (config.empty()) config = home / ".config";
    std::filesystem::path docs = documents_from_user_dirs(config / "user-dirs.dirs", home);
    if (docs.empty() || docs == home) docs = home / "Documents";
    std::error_code ec;
    std::filesystem::create_directories(docs, ec);
    return docs;
}

}  // namespace ks
