#include "support/test_support.h"

#include <stdlib.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>

namespace ks::test {

void ScopedEnv::set(const char* name, std::optional<std::string> value) {
    if (!saved_.contains(name)) {
        const char* old = std::getenv(name);
        saved_[name] = old ? std::optional<std::string>(old) : std::nullopt;
    }
    if (value) ::setenv(name, value->c_str(), 1);
    else ::unsetenv(name);
}

ScopedEnv::~ScopedEnv() {
    for (const auto& [name, value] : saved_) {
        if (value) ::setenv(name.c_str(), value->c_str(), 1);
        else ::unsetenv(name.c_str());
    }
}

TempDir::TempDir() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "keystash-test-XXXXXX").string();
    if (char* made = mkdtemp(pattern.data())) path_ = made;
}

TempDir::~TempDir() {
    std::error_code ec;
    if (!path_.empty()) std::filesystem::remove_all(path_, ec);
}

PromptAnswer ScriptedPrompt::ask(const PromptMessage& message) {
    asked_.push_back(message);
    if (answers_.empty()) return PromptAnswer::Cancel;
    PromptAnswer a = answers_.front();
    answers_.pop_front();
    return a;
}

std::optional<std::u16string> MapTextSource::find(uint32_t id) const {
    auto it = texts_.find(id);
    if (it == texts_.end()) return std::nullopt;
    return it->second;
}

ScopedCoreTexts::ScopedCoreTexts()
    : source_({{20001, u"Keystash Pro"},
               {20204, u"Yes"},
               {20205, u"No"},
               {22164, u"The wallet %s is damaged. Repair it?"},
               {22165, u"Repairing removes damaged records. Continue?"},
               {22166, u"%d repairs were made to %s."},
               {24500, u"Text"}}),
      scope_(&source_) {}

DeterministicEnvironment::DeterministicEnvironment(uint64_t seed)
    : clock_(kFixedTime), random_(seed), clock_scope_(clock_), random_scope_(random_) {}

std::vector<uint8_t> read_file_bytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void write_file_bytes(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

std::vector<std::string> file_names(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace ks::test
