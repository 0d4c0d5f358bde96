#pragma once
// The three leading blocks of a wallet file held in memory: the header, the info block with
// the key material, and the settings block.
#include <array>
#include <cstdint>
#include <span>

#include "core/cipher.h"
#include "core/format.h"
#include "core/node_id.h"
#include "platform/bytes.h"
#include "platform/datetime.h"

namespace ks {

// Sixteen 32-bit values at the head of every card payload; also the wallet's default.
using CardStyle = std::array<uint32_t, format::payload::kStyleValues>;
CardStyle default_card_style();

// Indexes into CardStyle of the values the card screens use; colours are 0x00BBGGRR.
namespace style {
constexpr size_t kDataColour = 2;
constexpr size_t kBackground = 3;
constexpr size_t kNameColour = 4;
constexpr size_t kLayout = 8;  // 0 stacked, 1 and 2 side by side
constexpr size_t kAlwaysShowPins = 9;
constexpr size_t kTextSize = 11;
constexpr size_t kNamesBold = 12;
constexpr size_t kDataBold = 13;
}  // namespace style

struct WalletHeader {
    std::array<uint8_t, format::kHeaderSize> bytes{};
    bool valid = false;  // signature accepted on reading, or filled for writing
    bool dirty = false;

    void fill_new();  // signature, version and platform tag of a new wallet
    bool signature_accepted() const;
    bool version_accepted() const;
    void clear();
};

struct WalletInfoBlock {
    SecureBytes bytes{format::kInfoBlockSize};
    bool loaded = false;
    bool dirty = false;
    KeyContext master_key;
    KeyContext record_key;

    bool markers_ok() const;
    void fill_new(const DateTime& now);  // zeroed, markers, times, word at 36
    uint32_t flags() const { return get_u32(bytes.span(), format::info::kFlags); }
    void add_flags(uint32_t f);
    DateTime creation_time() const;
    DateTime modified_time() const;
    void stamp_modified();      // current time; marks dirty
    bool has_password() const;  // PassVerifier not all zero
    void clear();
};

struct WalletSettingsBlock {
    std::array<uint8_t, format::kSettingsBlockSize> bytes{};
    bool valid = false;
    bool dirty = false;

    bool markers_ok() const;
    void fill_new(const DateTime& now);  // zeroed, markers, time and defaults
    uint32_t flags() const { return get_u32(bytes, format::settings::kFlags); }
    void add_flags(uint32_t f);
    void stamp_modified();

    CardStyle default_card_style() const;
    void set_default_card_style(const CardStyle& style);
    uint32_t value(size_t offset) const { return get_u32(bytes, offset); }
    void set_value(size_t offset, uint32_t v);

    NodeId favourite(size_t slot) const;
    void set_favourite(size_t slot, const NodeId& id);
    void clear();
};

}  // namespace ks
