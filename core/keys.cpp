#include "core/keys.h"

#include <algorithm>

#include "platform/text.h"

namespace ks {
namespace {

namespace fi = format::info;

std::span<uint8_t> area(WalletInfoBlock& info, size_t offset, size_t size) {
    return info.bytes.span().subspan(offset, size);
}
std::span<const uint8_t> area(const WalletInfoBlock& info, size_t offset, size_t size) {
    return info.bytes.span().subspan(offset, size);
}

bool acceptable_length(std::u16string_view password) {
    return password.size() >= kMinPasswordLength && password.size() <= kMaxPasswordLength;
}

// Clears `dest`, copies `text` (cut to `max_units`) into it and enciphers the whole area,
// zero units included, with the MasterKey.
void store_protected_text(const WalletInfoBlock& info, std::u16string_view text, size_t max_units,
                          std::span<uint8_t> dest) {
    SecureBytes buffer(dest.size());
    utf16le_write(text.substr(0, std::min(text.size(), max_units)), buffer.span());
    info.master_key.transform(buffer.span(), dest);
}

std::u16string read_protected_text(const WalletInfoBlock& info, std::span<const uint8_t> src,
                                   size_t max_units) {
    SecureBytes buffer(src.size());
    info.master_key.transform(src, buffer.span());
    std::u16string text = utf16le_decode(buffer.span(), max_units);
    return text;
}

size_t caption_offset(int entry) {
    return entry == 1 ? fi::kCaption1 : entry == 2 ? fi::kCaption2 : fi::kCaption3;
}

size_t caption_icon_offset(int entry) {
    return entry == 1 ? fi::kCaptionIcon1 : entry == 2 ? fi::kCaptionIcon2 : fi::kCaptionIcon3;
}

}  // namespace

std::array<uint8_t, 8> master_key_mix(const DateTime& t) {
    auto low = [](unsigned v) { return static_cast<uint8_t>(v & 0xFF); };
    return {low(t.day + t.second + 0x13u), low(t.day_of_week + t.minute + 0x2Cu),
            low(t.year + 0x07u),           low(t.month + t.second),
            low(t.minute + 0x41u),         low(t.year + t.month + 0x1Fu),
            low(t.second + t.day_of_week), low(t.day + t.minute + 0x6Bu)};
}

Digest derive_master_key(const DateTime& created) {
    auto mix = master_key_mix(created);
    return md5(mix);
}

Digest password_digest(std::u16string_view password) {
    SecureBytes bytes(password.size() * 2);
    utf16le_write(password, bytes.span());
    return md5(bytes.span());
}

void derive_keys_from_info_block(WalletInfoBlock& info) {
    Digest master = derive_master_key(info.creation_time());
    info.master_key.prepare(master);
    Digest record{};
    info.master_key.transform(area(info, fi::kKeyCheck, 16), record);
    info.record_key.prepare(record);
    secure_zero(std::span(master));
    secure_zero(std::span(record));
}

bool set_password(WalletInfoBlock& info, std::optional<std::u16string_view> password,
                  KeyContext* old_record_key) {
    if (!info.master_key.valid()) return false;
    const bool real = password && acceptable_length(*password);
    Digest digest = password_digest(real ? *password : kDefaultPassPhrase);
    Digest verifier{};
    info.master_key.transform(digest, verifier);
    if (real) {
        std::copy(verifier.begin(), verifier.end(), area(info, fi::kPassVerifier, 16).begin());
    } else {
        // Keyed by the default phrase: no password is needed to open the wallet.
        secure_zero(area(info, fi::kPassVerifier, 16));
    }
    info.master_key.transform(verifier, area(info, fi::kKeyCheck, 16));
    if (old_record_key) *old_record_key = info.record_key;
    info.add_flags(fi::kFlagPassword);
    info.stamp_modified();
    info.record_key.prepare(verifier);
    secure_zero(std::span(digest));
    secure_zero(std::span(verifier));
    return true;
}

bool check_password(const WalletInfoBlock& info, std::optional<std::u16string_view> password) {
    if (!info.master_key.valid() || !password || !acceptable_length(*password)) return false;
    Digest digest = password_digest(*password);
    Digest verifier{};
    info.master_key.transform(digest, verifier);
    auto stored = area(info, fi::kPassVerifier, 16);
    uint8_t diff = 0;  // compared without an early exit
    for (size_t i = 0; i < 16; ++i) diff |= static_cast<uint8_t>(verifier[i] ^ stored[i]);
    secure_zero(std::span(digest));
    secure_zero(std::span(verifier));
    return diff == 0;
}

bool set_hint(WalletInfoBlock& info, std::optional<std::u16string_view> hint) {
    if (!info.master_key.valid()) return false;
    auto dest = area(info, fi::kHint, fi::kHintSize);
    if (hint)
        store_protected_text(info, *hint, kMaxHintLength, dest);
    else
        secure_zero(dest);
    info.add_flags(fi::kFlagHint);
    info.stamp_modified();
    return true;
}

std::optional<std::u16string> get_hint(const WalletInfoBlock& info) {
    auto src = area(info, fi::kHint, fi::kHintSize);
    if (!info.loaded || !info.master_key.valid() || all_zero(src)) return std::nullopt;
    return read_protected_text(info, src, kMaxHintLength);
}

bool set_caption(WalletInfoBlock& info, int entry, std::optional<std::u16string_view> text,
                 int32_t icon) {
    if (!info.master_key.valid() || entry < 1 || entry > 3) return false;
    if (icon != -1) put_i32(info.bytes.span(), caption_icon_offset(entry), icon);
    auto dest = area(info, caption_offset(entry), fi::kCaptionSize);
    if (text)
        store_protected_text(info, *text, kMaxCaptionLength, dest);
    else
        secure_zero(dest);
    info.add_flags(fi::kFlagCaptions);
    info.stamp_modified();
    return true;
}

Caption get_caption(const WalletInfoBlock& info, int entry) {
    Caption caption;
    if (entry < 1 || entry > 3) return caption;
    caption.icon = get_i32(info.bytes.span(), caption_icon_offset(entry));
    auto src = area(info, caption_offset(entry), fi::kCaptionSize);
    if (!all_zero(src) && info.master_key.valid())
        caption.text = read_protected_text(info, src, kMaxCaptionLength);
    return caption;
}

KeyContext form_file_key() {
    KeyContext key;
    std::u16string_view phrase =
        kFormPassPhrase.substr(0, std::min<size_t>(63, kFormPassPhrase.size()));
    if (phrase.size() < 8) return key;
    Digest digest = password_digest(phrase.substr(0, 8));
    key.prepare(digest);
    return key;
}

}  // namespace ks
