#pragma once
// Moving stored bytes from one key to another, byte for byte, so that every length and layout
// stays exactly as stored: a password change re-enciphers a whole wallet, a form file carries a
// card's name from the wallet's key to its own and back.
#include <span>

#include "core/cipher.h"
#include "core/node.h"
#include "platform/file.h"

namespace ks {

// The name area of `header`, from `from` to `to`. A name that cannot be carried over (a key
// that is not valid) is dropped rather than left readable under the wrong key.
void reencipher_name(NodeHeader& header, const KeyContext& from, const KeyContext& to);

// Every enciphered item of a card payload.
void reencipher_payload(std::span<uint8_t> payload, const KeyContext& from, const KeyContext& to);

// Every record of a wallet file, in place. False when a record cannot be read whole or a write
// fails.
bool reencipher_records(File& file, const KeyContext& from, const KeyContext& to);

}  // namespace ks
