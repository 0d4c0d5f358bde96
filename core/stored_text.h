#pragma once
// The padding rules of stored texts and data, and their enciphering: every item gets a fresh
// RC4 state from the RecordKey; the pad bytes after it are zero and plain.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "core/cipher.h"
#include "platform/bytes.h"
#include "platform/secret.h"

namespace ks {

struct StoredSize {
    uint32_t stored = 0;  // S: bytes in the record, a multiple of 4
    uint32_t pad = 0;     // P = S - L
    bool operator==(const StoredSize&) const = default;
};

// A text of `byte_length` bytes (terminator not counted): S = L + 2 when L mod 4 = 2, else
// L + 4, so that at least two zero bytes follow.
StoredSize text_stored_size(size_t byte_length);
// Data of n bytes: P = 4 - (n mod 4), 1 to 4 zero bytes. No data: S = P = 0.
StoredSize data_stored_size(size_t n);

// Appends the text enciphered and its zero pad; an empty text appends nothing unless
// `store_empty` (a list with no items is stored as four zero bytes).
StoredSize append_text(Bytes& out, std::u16string_view text, const KeyContext& key,
                       bool store_empty = false);
StoredSize append_data(Bytes& out, std::span<const uint8_t> data, const KeyContext& key);

// Walks the stored items that follow a record's header. Each item yields its content (the
// S - P enciphered bytes), never reaching past the end of the chunk.
class StoredItemReader {
  public:
    StoredItemReader(std::span<const uint8_t> chunk, size_t header_size)
        : chunk_(chunk), pos_(header_size) {}
    std::span<const uint8_t> next(uint32_t stored, uint32_t pad);

  private:
    std::span<const uint8_t> chunk_;
    size_t pos_;
};

// Deciphers a stored text (up to its first zero unit, at most `max_units`).
std::u16string decipher_text(std::span<const uint8_t> enciphered, const KeyContext& key,
                             size_t max_units = SIZE_MAX);
// The same for a secret (a field's value): no copy of the plain text is left behind.
SecretText decipher_secret_text(std::span<const uint8_t> enciphered, const KeyContext& key);

}  // namespace ks
