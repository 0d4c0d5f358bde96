#pragma once
// Language modules: string tables named "keystash.exe.%04x.mui" in the program's data folder.
// Each is UTF-8 text, one "id<TAB>text" per line, with the escapes \n \t \\ in texts, "#"
// starting a comment line, and blank lines ignored.
#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "platform/texts.h"

namespace ks {

class StringTable final : public TextSource {
  public:
    std::optional<std::u16string> find(uint32_t id) const override;
    size_t size() const { return texts_.size(); }
    const std::map<uint32_t, std::u16string>& texts() const { return texts_; }
    void set(uint32_t id, std::u16string text) { texts_[id] = std::move(text); }

  private:
    std::map<uint32_t, std::u16string> texts_;
};

struct StringTableError {
    size_t line = 0;  // 1-based; 0 when the file could not be read at all
    std::string message;
};

// Parses a table's text. A line that is not a comment, blank, or "id<TAB>text" with a decimal id
// below 2^32, a repeated id, an unknown escape or invalid UTF-8 is an error naming its line.
struct StringTableParse {
    std::optional<StringTable> table;
    std::optional<StringTableError> error;
};
StringTableParse parse_string_table(std::string_view text);
StringTableParse load_string_table(const std::filesystem::path& path);

// "keystash.exe.0409.mui" for language 0x409.
std::string language_module_name(uint16_t language_id);

// The program's data folder: "../share/keystash" relative to the running executable when it
// exists, else the executable's own folder. KEYSTASH_DATA_DIR overrides both.
std::filesystem::path data_directory();

}  // namespace ks
