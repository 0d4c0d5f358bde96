#include "core/stored_text.h"

#include <algorithm>

#include "platform/text.h"

namespace ks {

StoredSize text_stored_size(size_t byte_length) {
    const uint32_t l = static_cast<uint32_t>(byte_length);
    return l % 4 == 2 ? StoredSize{l + 2, 2} : StoredSize{l + 4, 4};
}

StoredSize data_stored_size(size_t n) {
    if (n == 0) return {};
    const uint32_t pad = 4 - static_cast<uint32_t>(n % 4);
    return {static_cast<uint32_t>(n) + pad, pad};
}

namespace {

StoredSize append_enciphered(Bytes& out, std::span<const uint8_t> plain, StoredSize size,
                             const KeyContext& key) {
    const size_t start = out.size();
    out.resize(start + size.stored, 0);
    // An invalid key leaves the zeroed bytes in place.
    key.transform(plain, std::span(out).subspan(start, plain.size()));
    return size;
}

}  // namespace

StoredSize append_text(Bytes& out, std::u16string_view text, const KeyContext& key,
                       bool store_empty) {
    if (text.empty() && !store_empty) return {};
    SecureBytes plain(text.size() * 2);
    utf16le_write(text, plain.span());
    return append_enciphered(out, plain.span(), text_stored_size(plain.size()), key);
}

StoredSize append_data(Bytes& out, std::span<const uint8_t> data, const KeyContext& key) {
    if (data.empty()) return {};
    return append_enciphered(out, data, data_stored_size(data.size()), key);
}

std::span<const uint8_t> StoredItemReader::next(uint32_t stored, uint32_t pad) {
    if (stored == 0 || pos_ >= chunk_.size()) return {};
    const size_t available = chunk_.size() - pos_;
    const size_t content = pad <= stored ? stored - pad : stored;
    auto item = chunk_.subspan(pos_, std::min(content, available));
    pos_ += std::min<size_t>(stored, available);
    return item;
}

std::u16string decipher_text(std::span<const uint8_t> enciphered, const KeyContext& key,
                             size_t max_units) {
    SecureBytes plain(enciphered.size());
    key.transform(enciphered, plain.span());
    return utf16le_decode(plain.span(), max_units);
}

SecretText decipher_secret_text(std::span<const uint8_t> enciphered, const KeyContext& key) {
    SecureBytes plain(enciphered.size());
    key.transform(enciphered, plain.span());
    SecretText text;
    text.reserve(plain.size() / 2);
    for (size_t i = 0; i + 1 < plain.size(); i += 2) {
        const auto unit = static_cast<char16_t>(plain[i] | (plain[i + 1] << 8));
        if (unit == 0) break;
        text += unit;
    }
    return text;
}

}  // namespace ks
