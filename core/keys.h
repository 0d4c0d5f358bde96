#pragma once
// Key derivation and the values kept under the MasterKey: password verifier and key check
// value, password hint, and the captions of the tree's three special entries.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/cipher.h"
#include "core/wallet_blocks.h"
#include "platform/datetime.h"

namespace ks {

constexpr size_t kMinPasswordLength = 3;
constexpr size_t kMaxPasswordLength = 24;
constexpr size_t kMaxHintLength = 255;
constexpr size_t kMaxCaptionLength = 63;

// Used in place of a password that is missing or of a length outside 3..24.
inline constexpr std::u16string_view kDefaultPassPhrase = u"DornaWeltsBex";
// Its first eight characters key every form file.
inline constexpr std::u16string_view kFormPassPhrase = u"qelmarvit";

// The eight bytes that a wallet's creation time contributes to its MasterKey.
std::array<uint8_t, 8> master_key_mix(const DateTime& created);
Digest derive_master_key(const DateTime& created);

// MD5 over the text's UTF-16LE bytes without terminator.
Digest password_digest(std::u16string_view password);

// Prepares the MasterKey from the stored creation time, then the RecordKey from the key check
// value. Used after an info block has been read.
void derive_keys_from_info_block(WalletInfoBlock& info);

// Sets the password (none, or a length outside 3..24, keys the wallet with the default pass
// phrase and leaves it without verifier). `old_record_key`, when given, receives the RecordKey
// in force before the change. False when the MasterKey is not valid.
bool set_password(WalletInfoBlock& info, std::optional<std::u16string_view> password,
                  KeyContext* old_record_key = nullptr);

// True when the password has 3..24 characters and matches the stored verifier.
bool check_password(const WalletInfoBlock& info, std::optional<std::u16string_view> password);

bool set_hint(WalletInfoBlock& info, std::optional<std::u16string_view> hint);
std::optional<std::u16string> get_hint(const WalletInfoBlock& info);

struct Caption {
    std::u16string text;
    int32_t icon = 0;
};
// Entry 1, 2 or 3. `icon` -1 leaves the icon number unchanged.
bool set_caption(WalletInfoBlock& info, int entry, std::optional<std::u16string_view> text,
                 int32_t icon);
Caption get_caption(const WalletInfoBlock& info, int entry);

// The fixed key of form files; invalid when the pass phrase is shorter than eight characters.
KeyContext form_file_key();

}  // namespace ks
