#include "support/legacy_writer.h"

#include <algorithm>

#include "core/cipher.h"
#include "core/format.h"
#include "platform/text.h"
#include "support/test_support.h"

namespace ks::test {
namespace {

void append(Bytes& out, std::span<const uint8_t> bytes) {
    out.insert(out.end(), bytes.begin(), bytes.end());
}

void put_text(std::span<uint8_t> record, size_t offset, size_t size, std::u16string_view text) {
    utf16le_write(text.substr(0, size / 2 - 1), record.subspan(offset, size));
}

}  // namespace

Bytes legacy_text(std::u16string_view text) {
    Bytes out = utf16le_encode(text);
    out.push_back(0);
    out.push_back(0);
    return out;
}

Bytes legacy_u32(uint32_t value) {
    Bytes out(4);
    put_u32(out, 0, value);
    return out;
}

Bytes legacy_item_data(const std::vector<LegacyTag>& tags) {
    Bytes out;
    for (const LegacyTag& t : tags) {
        append(out, legacy_u32(t.tag));
        append(out, legacy_u32(t.stored_length.value_or(static_cast<uint32_t>(t.value.size()))));
        append(out, t.value);
    }
    return out;
}

LegacyItem legacy_item(uint32_t id, uint32_t folder, std::u16string name, int32_t form,
                       std::vector<LegacyTag> tags) {
    LegacyItem item;
    item.id = id;
    item.folder = folder;
    item.name = std::move(name);
    item.form = form;
    item.tags = std::move(tags);
    return item;
}

std::array<uint8_t, 16> legacy_key(const std::array<uint8_t, 8>& salt,
                                   std::u16string_view password) {
    Bytes input(salt.begin(), salt.end());
    std::string ansi = to_cp1252(password).substr(0, 63);
    input.insert(input.end(), ansi.begin(), ansi.end());
    input.push_back(0);
    const Digest digest = md5(input);
    std::array<uint8_t, 16> key{};
    for (size_t i = 0; i < 16; ++i) key[i] = digest[15 - i];
    return key;
}

Bytes build_legacy_wallet(const LegacyWallet& wallet) {
    Bytes header(844, 0);
    const std::string_view signature = format::kSignature;
    std::copy(signature.begin(), signature.end(), header.begin());
    put_u32(header, 76, 0xB8161967);
    put_u32(header, 124, wallet.custom_forms ? 1 : 0);
    put_text(header, 128, 520, wallet.custom_forms_name);
    for (size_t i = 0; i < wallet.values.size(); ++i)
        put_u32(header, 648 + 4 * i, wallet.values[i]);
    std::copy(wallet.salt.begin(), wallet.salt.end(), header.begin() + 752);
    put_u32(header, 840, 0xB1281966);

    // The check value is the digest enciphered under the key made from it.
    Bytes input(wallet.salt.begin(), wallet.salt.end());
    std::string ansi = to_cp1252(wallet.password).substr(0, 63);
    input.insert(input.end(), ansi.begin(), ansi.end());
    input.push_back(0);
    Digest check = md5(input);
    const auto key = legacy_key(wallet.salt, wallet.password);
    Rc4(key).apply(check);
    std::copy(check.begin(), check.end(), header.begin() + 816);

    Bytes out = header;
    for (const LegacyRecord& record : wallet.records) {
        Bytes bytes(252, 0);
        if (const auto* folder = std::get_if<LegacyFolder>(&record)) {
            put_u32(bytes, 0, 0x404F4F40);
            put_u32(bytes, 4, folder->id);
            put_i32(bytes, 28, folder->default_form);
            put_i32(bytes, 32, folder->icon);
            put_text(bytes, 36, 216, folder->name);
            append(out, bytes);
            continue;
        }
        const auto& item = std::get<LegacyItem>(record);
        Bytes data = legacy_item_data(item.tags);
        if (item.enciphered) Rc4(key).apply(data);
        put_u32(bytes, 0, 0x26F4F426);
        put_u32(bytes, 4, item.id);
        put_u32(bytes, 24, item.enciphered ? 1 : 0);
        put_u32(bytes, 28, item.folder);
        put_i32(bytes, 32, item.form);
        put_i32(bytes, 36, item.icon);
        put_u32(bytes, 48, item.style1);
        put_u32(bytes, 52, item.style2);
        put_u32(bytes, 68, item.stored_length.value_or(static_cast<uint32_t>(data.size())));
        put_u16(bytes, 72, item.picture ? 1 : 0);
        bytes[74] = item.flags;
        bytes[75] = item.sound ? 1 : 0;
        put_text(bytes, 76, 176, item.name);
        append(out, bytes);
        append(out, data);
    }
    return out;
}

void write_legacy_wallet(const std::filesystem::path& path, const LegacyWallet& wallet) {
    write_file_bytes(path, build_legacy_wallet(wallet));
}

}  // namespace ks::test
