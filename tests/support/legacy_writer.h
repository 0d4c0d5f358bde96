#pragma once
// Writes previous-version wallet files (".wal") for the tests. The program itself never writes
// the format; this writer derives its key on its own, so that the tests check the reader's
// derivation rather than repeat it.
#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "platform/bytes.h"

namespace ks::test {

struct LegacyTag {
    uint32_t tag = 0;
    Bytes value;
    std::optional<uint32_t> stored_length;  // written in place of value.size() when set
};

// A zero-terminated UTF-16LE text value.
Bytes legacy_text(std::u16string_view text);
// A 32-bit little-endian value.
Bytes legacy_u32(uint32_t value);
// Tagged item data: tag, length, bytes for each entry.
Bytes legacy_item_data(const std::vector<LegacyTag>& tags);

struct LegacyFolder {
    uint32_t id = 0;
    std::u16string name;
    int32_t default_form = 0;
    int32_t icon = 0;
};

struct LegacyItem {
    uint32_t id = 0;
    uint32_t folder = 0;
    std::u16string name;
    int32_t form = 0;
    int32_t icon = 0;
    uint32_t style1 = 0;
    uint32_t style2 = 0;
    bool enciphered = true;
    bool picture = false;
    uint8_t flags = 0;  // bit 0 and bit 1
    bool sound = false;
    std::vector<LegacyTag> tags;
    std::optional<uint32_t> stored_length;  // data length written in place of the real one
};

// An enciphered item without picture, sound or style; the tests change what they need.
LegacyItem legacy_item(uint32_t id, uint32_t folder, std::u16string name, int32_t form,
                       std::vector<LegacyTag> tags = {});

using LegacyRecord = std::variant<LegacyFolder, LegacyItem>;

struct LegacyWallet {
    std::u16string password = u"secret";
    std::array<uint8_t, 8> salt{0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88};
    bool custom_forms = false;
    std::u16string custom_forms_name;
    std::array<uint32_t, 14> values{};
    std::vector<LegacyRecord> records;
};

// The key the writer enciphers with: MD5 of salt and password bytes, its bytes reversed.
std::array<uint8_t, 16> legacy_key(const std::array<uint8_t, 8>& salt,
                                   std::u16string_view password);

Bytes build_legacy_wallet(const LegacyWallet& wallet);
void write_legacy_wallet(const std::filesystem::path& path, const LegacyWallet& wallet);

}  // namespace ks::test
