#pragma once
// The per-user registry store: keys holding typed values (DWORD, string, binary) under the
// current-user and classes roots, kept in one REGEDIT-format text file ("registry.reg") in the
// configuration folder. Key and value names compare without regard to case. Saving writes the
// file atomically under an advisory lock and merges this store's changes into what is on disk
// at that moment, so values edited by hand or by another process meanwhile are kept.
//
// What the store writes it reads back equal: names the text cannot hold are refused, a value is
// kept as it will read back, and a save never writes a file beyond the size that loading
// accepts (16 MiB; one value's line at most 4 MiB) but refuses and leaves the file as it was.
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace ks {

enum class RegistryRoot {
    ClassesRoot,  // HKEY_CLASSES_ROOT
    CurrentUser,  // HKEY_CURRENT_USER
};

enum class RegistryValueType {
    Dword,
    String,
    Binary,
};

struct RegistryValue {
    RegistryValueType type = RegistryValueType::Dword;
    uint32_t dword = 0;
    std::u16string string;
    std::vector<uint8_t> binary;
    // Type number written as "hex(n):" for binary data of another registry type (for example
    // 2, an expandable string, or 7, a multi-string); 3 is plain binary, written as "hex:".
    uint32_t binary_kind = 3;

    static RegistryValue of_dword(uint32_t v);
    static RegistryValue of_string(std::u16string_view v);
    static RegistryValue of_binary(std::span<const uint8_t> v);
    bool operator==(const RegistryValue&) const = default;
};

enum class RegistryErrorCode {
    None,
    Damaged,      // the file cannot be understood; `line` and `problem` tell where and why
    ReadFailed,   // the file exists but cannot be read
    WriteFailed,  // the folder or the new file cannot be written
    Busy,         // another process holds the lock for too long
    NoFolder,     // no configuration folder could be determined
    InvalidName,  // a key path with an empty part or too deep, or a name too long or holding
                  // a line feed or an unpaired surrogate
    TooLarge,     // a value longer than one line may be, or a file longer than loading accepts
};

// What is wrong in a damaged file.
enum class RegistryProblem {
    None,
    MissingHeader,     // the first line is not the REGEDIT header
    BadSection,        // "[...]" malformed, empty key part, unknown root, or nested too deep
    ValueOutsideKey,   // a value line before the first "[...]" line
    BadName,           // a value name not quoted, or its quote not closed
    BadData,           // the data after "=" is of no known form
    BadDword,          // "dword:" not followed by one to eight hexadecimal digits
    BadHex,            // "hex:" bytes malformed
    UnterminatedText,  // a quoted string without its closing quote
    UnexpectedEnd,     // the file ends inside a continued "hex:" line
};

struct RegistryError {
    RegistryErrorCode code = RegistryErrorCode::None;
    RegistryProblem problem = RegistryProblem::None;
    int line = 0;          // 1-based line of a damaged file
    int system_error = 0;  // errno of a failed file operation
    std::filesystem::path path;

    explicit operator bool() const { return code != RegistryErrorCode::None; }
};

// A user-readable description of `error` (texts from the language table).
std::u16string registry_error_message(const RegistryError& error);

class Registry {
  public:
    static constexpr const char* kFileName = "registry.reg";

    // KEYSTASH_CONFIG_DIR when set, else $XDG_CONFIG_HOME/keystash, else ~/.config/keystash;
    // empty when none of these can be determined.
    static std::filesystem::path configuration_folder();

    Registry();
    ~Registry();
    Registry(Registry&&) noexcept;
    Registry& operator=(Registry&&) noexcept;
    Registry(const Registry&);
    Registry& operator=(const Registry&);

    // Reads `folder`/registry.reg, replacing the store's contents. A missing file gives an
    // empty store. On failure the store is empty, error() tells why, and save() refuses to
    // write until the file on disk can be read again.
    bool load(const std::filesystem::path& folder);
    bool load() { return load(configuration_folder()); }

    // Writes this store's changes since load or the last save into the file, creating the
    // folder (mode 0700) and the file (mode 0600) when missing. A damaged or unreadable file
    // on disk is never overwritten: the save fails with error() telling why. So is a merged
    // store whose text would pass the size loading accepts (TooLarge).
    bool save();

    const RegistryError& error() const;
    const std::filesystem::path& folder() const;
    std::filesystem::path file_path() const;

    // Keys. A path is a list of key names separated by "\"; the empty path is the root.
    bool key_exists(RegistryRoot root, std::u16string_view path) const;
    // Creates the key and any missing parents. `created` is set to whether the key is new.
    bool create_key(RegistryRoot root, std::u16string_view path, bool* created = nullptr);
    // Removes the key with all its subkeys and values; false when it did not exist.
    bool delete_key(RegistryRoot root, std::u16string_view path);
    // Names of the direct subkeys, as first written, sorted without regard to case.
    std::vector<std::u16string> subkeys(RegistryRoot root, std::u16string_view path) const;
    // Names of the values of a key in the order they were first set ("" is the default value).
    std::vector<std::u16string> value_names(RegistryRoot root, std::u16string_view path) const;

    // Values. The empty name is the key's default value ("@" in the file). Setting a value
    // creates its key when missing and keeps the value as it reads back from the file: binary
    // data of kind 4 and four bytes becomes a DWORD, of kind 1 and an even length a string. A
    // value whose line would pass 4 MiB is refused (TooLarge). Typed getters return nothing when
    // the value is missing or of another type.
    std::optional<RegistryValue> get_value(RegistryRoot root, std::u16string_view path,
                                           std::u16string_view name) const;
    std::optional<uint32_t> get_dword(RegistryRoot root, std::u16string_view path,
                                      std::u16string_view name) const;
    std::optional<std::u16string> get_string(RegistryRoot root, std::u16string_view path,
                                             std::u16string_view name) const;
    std::optional<std::vector<uint8_t>> get_binary(RegistryRoot root, std::u16string_view path,
                                                   std::u16string_view name) const;

    bool set_value(RegistryRoot root, std::u16string_view path, std::u16string_view name,
                   const RegistryValue& value);
    bool set_dword(RegistryRoot root, std::u16string_view path, std::u16string_view name,
                   uint32_t value);
    bool set_string(RegistryRoot root, std::u16string_view path, std::u16string_view name,
                    std::u16string_view value);
    bool set_binary(RegistryRoot root, std::u16string_view path, std::u16string_view name,
                    std::span<const uint8_t> value);
    // False when the value did not exist.
    bool delete_value(RegistryRoot root, std::u16string_view path, std::u16string_view name);

    // The REGEDIT text of the whole store, as save() writes it (UTF-8).
    std::string to_text() const;
    // Replaces the contents with those of a REGEDIT text (UTF-8, UTF-16LE with its byte-order
    // mark, or Windows-1252). On failure the store is left unchanged and `error` is filled.
    // The parsed contents count as already saved: save() writes only later changes.
    bool parse_text(std::string_view bytes, RegistryError* error = nullptr);

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace ks
