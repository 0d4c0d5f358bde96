#include "fuzz/fuzz_support.h"

#include <stdlib.h>
#include <unistd.h>

#include <optional>
#include <string>
#include <system_error>

#include "platform/file.h"
#include "platform/string_table.h"
#include "platform/texts.h"

namespace ks::fuzz {
namespace {

std::filesystem::path make_private_folder() {
    std::string base;
    if (::access("/dev/shm", W_OK | X_OK) == 0) {
        base = "/dev/shm";
    } else if (const char* tmp = ::getenv("TMPDIR"); tmp != nullptr && *tmp != '\0') {
        base = tmp;
    } else {
        base = "/tmp";
    }
    std::string pattern = base + "/keystash-fuzz-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) return {};  // mkdtemp makes it with mode 0700
    return pattern;
}

class ScratchFolder {
  public:
    ScratchFolder() : path_(make_private_folder()) {}
    ~ScratchFolder() {
        if (path_.empty()) return;
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    const std::filesystem::path& path() const { return path_; }

  private:
    std::filesystem::path path_;
};

}  // namespace

const std::filesystem::path& scratch_folder() {
    static const ScratchFolder folder;
    return folder.path();
}

std::filesystem::path write_scratch_file(const char* name, std::span<const uint8_t> data) {
    if (scratch_folder().empty()) return {};
    std::filesystem::path path = scratch_folder() / name;
    std::error_code ec;
    std::filesystem::remove(path, ec);
    File file = File::open(path, FileMode::CreateNew);
    if (!file.is_open()) return {};
    const IoResult written = file.write(data);
    if (written.failed() || written.bytes != data.size()) return {};
    return path;
}

std::filesystem::path english_table_path() {
    return KEYSTASH_ENGLISH_TABLE;
}

void use_english_texts() {
    static const std::optional<StringTable> table = [] {
        StringTableParse parsed = load_string_table(english_table_path());
        return std::move(parsed.table);
    }();
    if (table) set_text_source(&*table);
}

}  // namespace ks::fuzz
