#include "core/wallet_blocks.h"

#include <algorithm>
#include <cstring>

#include "platform/clock.h"

namespace ks {
namespace {

bool guid_at(std::span<const uint8_t> b, size_t offset, const format::Guid& g) {
    return std::equal(g.begin(), g.end(), b.begin() + static_cast<ptrdiff_t>(offset));
}

void put_guid(std::span<uint8_t> b, size_t offset, const format::Guid& g) {
    std::copy(g.begin(), g.end(), b.begin() + static_cast<ptrdiff_t>(offset));
}

}  // namespace

CardStyle default_card_style() {
    return {0, 0xFFFFFF, 0x800000, 0xFFFFFF, 0, 0xFFFFFF, 0xFF0000, 9, 0, 0, 0, 9, 0, 0, 0, 0};
}

void WalletHeader::fill_new() {
    bytes.fill(0);
    std::memcpy(bytes.data(), format::kSignature.data(), format::kSignature.size());
    std::memcpy(bytes.data() + format::kVersionOffset, format::kVersionText.data(),
                format::kVersionText.size());
    std::memcpy(bytes.data() + format::kPlatformTagOffset, format::kPlatformTag.data(),
                format::kPlatformTag.size());
    valid = true;
    dirty = true;
}

bool WalletHeader::signature_accepted() const {
    // The stored text up to its terminator must equal ours exactly.
    const auto* p = reinterpret_cast<const char*>(bytes.data());
    size_t n = strnlen(p, format::kSignatureSize);
    return std::string_view(p, n) == format::kSignature;
}

bool WalletHeader::version_accepted() const {
    const auto* p = reinterpret_cast<const char*>(bytes.data() + format::kVersionOffset);
    std::string_view version(p, strnlen(p, format::kVersionSize));
    return version.find(format::kVersionMustContain) != std::string_view::npos;
}

void WalletHeader::clear() {
    bytes.fill(0);
    valid = dirty = false;
}

bool WalletInfoBlock::markers_ok() const {
    return guid_at(bytes.span(), format::info::kStartMarker, format::info::kStartGuid) &&
           guid_at(bytes.span(), format::info::kEndMarker, format::info::kEndGuid);
}

void WalletInfoBlock::fill_new(const DateTime& now) {
    bytes.wipe();
    put_guid(bytes.span(), format::info::kStartMarker, format::info::kStartGuid);
    put_guid(bytes.span(), format::info::kEndMarker, format::info::kEndGuid);
    encode_datetime(now, bytes.span().subspan(format::info::kModifiedTime, 16));
    encode_datetime(now, bytes.span().subspan(format::info::kCreationTime, 16));
    put_u32(bytes.span(), format::info::kCreatedWord, 1);
    loaded = true;
    dirty = true;
}

void WalletInfoBlock::add_flags(uint32_t f) {
    put_u32(bytes.span(), format::info::kFlags, flags() | f);
}

DateTime WalletInfoBlock::creation_time() const {
    return decode_datetime(bytes.span().subspan(format::info::kCreationTime, 16));
}

DateTime WalletInfoBlock::modified_time() const {
    return decode_datetime(bytes.span().subspan(format::info::kModifiedTime, 16));
}

void WalletInfoBlock::stamp_modified() {
    encode_datetime(clock().now(), bytes.span().subspan(format::info::kModifiedTime, 16));
    dirty = true;
}

bool WalletInfoBlock::has_password() const {
    return !all_zero(bytes.span().subspan(format::info::kPassVerifier, 16));
}

void WalletInfoBlock::clear() {
    bytes.wipe();
    master_key.clear();
    record_key.clear();
    loaded = dirty = false;
}

bool WalletSettingsBlock::markers_ok() const {
    return guid_at(bytes, format::settings::kStartMarker, format::settings::kStartGuid) &&
           guid_at(bytes, format::settings::kEndMarker, format::settings::kEndGuid);
}

void WalletSettingsBlock::fill_new(const DateTime& now) {
    namespace s = format::settings;
    bytes.fill(0);
    put_guid(bytes, s::kStartMarker, s::kStartGuid);
    put_guid(bytes, s::kEndMarker, s::kEndGuid);
    encode_datetime(now, std::span(bytes).subspan(s::kModifiedTime, 16));
    set_default_card_style(ks::default_card_style());
    put_u32(bytes, s::kValue100, 5);
    put_u32(bytes, s::kValue104, 5);
    put_u32(bytes, s::kCloseWhenSwitching, 0);
    put_u32(bytes, s::kAutoCloseMinutes, 5);
    put_u32(bytes, s::kTreeColour, 0xFF0000);
    put_u32(bytes, s::kCardEntryColour, 0);
    valid = true;
    dirty = true;
}

void WalletSettingsBlock::add_flags(uint32_t f) {
    put_u32(bytes, format::settings::kFlags, flags() | f);
}

void WalletSettingsBlock::stamp_modified() {
    encode_datetime(clock().now(), std::span(bytes).subspan(format::settings::kModifiedTime, 16));
    dirty = true;
}

CardStyle WalletSettingsBlock::default_card_style() const {
    CardStyle style;
    for (size_t i = 0; i < style.size(); ++i)
        style[i] = get_u32(bytes, format::settings::kDefaultCardStyle + 4 * i);
    return style;
}

void WalletSettingsBlock::set_default_card_style(const CardStyle& style) {
    for (size_t i = 0; i < style.size(); ++i)
        put_u32(bytes, format::settings::kDefaultCardStyle + 4 * i, style[i]);
}

void WalletSettingsBlock::set_value(size_t offset, uint32_t v) {
    put_u32(bytes, offset, v);
}

NodeId WalletSettingsBlock::favourite(size_t slot) const {
    return NodeId::from_bytes(
        std::span(bytes).subspan(format::settings::kFavourites + 16 * slot, 16));
}

void WalletSettingsBlock::set_favourite(size_t slot, const NodeId& id) {
    std::copy(id.bytes.begin(), id.bytes.end(),
              bytes.begin() + static_cast<ptrdiff_t>(format::settings::kFavourites + 16 * slot));
}

void WalletSettingsBlock::clear() {
    bytes.fill(0);
    valid = dirty = false;
}

}  // namespace ks
