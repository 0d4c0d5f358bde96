#pragma once
// Helpers shared by the tests: temporary folders, scripted prompt answers, a text table, and a
// fixed clock and random source.
#include <deque>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/prompt.h"
#include "platform/texts.h"

namespace ks::test {

// Sets or removes environment variables and restores them when it goes.
class ScopedEnv {
  public:
    ScopedEnv() = default;
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;
    ~ScopedEnv();
    void set(const char* name, std::optional<std::string> value);

  private:
    std::map<std::string, std::optional<std::string>> saved_;
};

class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

  private:
    std::filesystem::path path_;
};

// Answers from a script, in order, and remembers every message it was shown. When the script
// runs out it answers Cancel.
class ScriptedPrompt final : public Prompt {
  public:
    explicit ScriptedPrompt(std::vector<PromptAnswer> answers = {})
        : answers_(answers.begin(), answers.end()) {}
    PromptAnswer ask(const PromptMessage& message) override;
    const std::vector<PromptMessage>& asked() const { return asked_; }

  private:
    std::deque<PromptAnswer> answers_;
    std::vector<PromptMessage> asked_;
};

class MapTextSource final : public TextSource {
  public:
    MapTextSource(std::map<uint32_t, std::u16string> texts = {}) : texts_(std::move(texts)) {}
    std::optional<std::u16string> find(uint32_t id) const override;
    void set(uint32_t id, std::u16string text) { texts_[id] = std::move(text); }

  private:
    std::map<uint32_t, std::u16string> texts_;
};

// The texts the storage core uses, in English, installed for the life of the object.
class ScopedCoreTexts {
  public:
    ScopedCoreTexts();

  private:
    MapTextSource source_;
    ScopedTextSource scope_;
};

// A fixed clock (2006-03-05 14:07:09, a Sunday) and a seeded random source.
class DeterministicEnvironment {
  public:
    explicit DeterministicEnvironment(uint64_t seed = 42);
    FixedClock& clock() { return clock_; }

  private:
    FixedClock clock_;
    SeededRandom random_;
    ScopedClock clock_scope_;
    ScopedRandom random_scope_;
};

constexpr DateTime kFixedTime{2006, 3, 0, 5, 14, 7, 9, 250};

std::vector<uint8_t> read_file_bytes(const std::filesystem::path& path);
void write_file_bytes(const std::filesystem::path& path, const std::vector<uint8_t>& bytes);
// The names of the entries of a folder, sorted.
std::vector<std::string> file_names(const std::filesystem::path& folder);

}  // namespace ks::test
