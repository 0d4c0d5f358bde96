#include "core/legacy_wallet.h"

#include <algorithm>
#include <unordered_map>

#include "core/format.h"
#include "platform/text.h"

namespace ks {
namespace {

namespace lf = legacy_format;

// The header's signature must start like the current wallet signature.
static_assert(format::kSignature.size() >= lf::kSignatureCompared);

std::u16string record_text(std::span<const uint8_t> record, size_t offset, size_t size) {
    return utf16le_decode(record.subspan(offset, size), size / 2);
}

// The file key is the digest with its sixteen bytes in reverse order (key byte i is digest
// byte 15 - i).
Digest key_from_digest(const Digest& digest) {
    Digest key;
    std::reverse_copy(digest.begin(), digest.end(), key.begin());
    return key;
}

// Reads `out.size()` bytes at an offset; the count actually read.
using ReadAt = std::function<size_t(uint64_t offset, std::span<uint8_t> out)>;

// The record walk shared by the file reader and the byte-span parser.
// Returns the offset where the walk stopped.
uint64_t walk_records(const ReadAt& read_at,
                      const std::function<bool(const LegacyRecord&)>& visit) {
    uint64_t offset = lf::kHeaderSize;
    std::array<uint8_t, lf::kRecordSize> bytes{};
    while (true) {
        if (read_at(offset, bytes) != bytes.size()) return offset;
        const uint32_t magic = get_u32(bytes, lf::kRecordMagic);
        LegacyRecord record;
        if (magic == lf::kFolderMagic) {
            record.folder.emplace();
            record.folder->bytes = bytes;
            offset += lf::kRecordSize;
        } else if (magic == lf::kItemMagic) {
            record.item.emplace();
            record.item->bytes = bytes;
            record.item->data_offset = offset + lf::kRecordSize;
            // 64-bit sum of 32-bit values: the offset only grows and cannot wrap.
            offset = record.item->data_offset + record.item->data_length();
        } else {
            return offset;
        }
        if (!visit(record)) return offset;
    }
}

}  // namespace

// Records --------------------------------------------------------------------------------------

uint32_t LegacyFolderRecord::id() const {
    return get_u32(bytes, lf::kRecordId);
}
int32_t LegacyFolderRecord::default_form() const {
    return get_i32(bytes, lf::folder::kDefaultForm);
}
int32_t LegacyFolderRecord::icon() const {
    return get_i32(bytes, lf::folder::kIcon);
}
std::u16string LegacyFolderRecord::name() const {
    return record_text(bytes, lf::folder::kName, lf::folder::kNameSize);
}

uint32_t LegacyItemRecord::id() const {
    return get_u32(bytes, lf::kRecordId);
}
bool LegacyItemRecord::enciphered() const {
    return get_u32(bytes, lf::item::kEnciphered) == 1;
}
uint32_t LegacyItemRecord::folder_id() const {
    return get_u32(bytes, lf::item::kFolderId);
}
int32_t LegacyItemRecord::form_code() const {
    return get_i32(bytes, lf::item::kFormCode);
}
int32_t LegacyItemRecord::icon() const {
    return get_i32(bytes, lf::item::kIcon);
}
uint32_t LegacyItemRecord::style1() const {
    return get_u32(bytes, lf::item::kStyle1);
}
uint32_t LegacyItemRecord::style2() const {
    return get_u32(bytes, lf::item::kStyle2);
}
uint32_t LegacyItemRecord::data_length() const {
    return get_u32(bytes, lf::item::kDataLength);
}
bool LegacyItemRecord::has_picture() const {
    return get_u16(bytes, lf::item::kHasPicture) != 0;
}
uint8_t LegacyItemRecord::flags() const {
    return bytes[lf::item::kFlags] & 0x03;
}
bool LegacyItemRecord::has_sound() const {
    return (bytes[lf::item::kSoundFlags] & 0x01) != 0;
}
std::u16string LegacyItemRecord::name() const {
    return record_text(bytes, lf::item::kName, lf::item::kNameSize);
}

// Parsing on bytes -----------------------------------------------------------------------------

bool legacy_header_accepted(std::span<const uint8_t> header) {
    if (header.size() < lf::kHeaderSize) return false;
    const auto expected = format::kSignature.substr(0, lf::kSignatureCompared);
    return std::equal(expected.begin(), expected.end(), header.begin(),
                      [](char a, uint8_t b) { return static_cast<uint8_t>(a) == b; }) &&
           get_u32(header, lf::kMagic1Offset) == lf::kMagic1 &&
           get_u32(header, lf::kMagic2Offset) == lf::kMagic2;
}

bool legacy_header_has_custom_forms(std::span<const uint8_t> header) {
    return header.size() >= lf::kHeaderSize && get_u32(header, lf::kCustomFormsFlag) != 0;
}

std::u16string legacy_header_custom_forms_name(std::span<const uint8_t> header) {
    if (header.size() < lf::kHeaderSize) return {};
    return utf16le_decode(header.subspan(lf::kCustomFormsName, lf::kCustomFormsNameUnits * 2),
                          lf::kCustomFormsNameUnits);
}

LegacyWalletValues legacy_header_values(std::span<const uint8_t> header) {
    LegacyWalletValues values{};
    if (header.size() < lf::kHeaderSize) return values;
    for (size_t i = 0; i < values.size(); ++i)
        values[i] = get_u32(header, lf::kWalletValues + 4 * i);
    return values;
}

Bytes legacy_password_bytes(std::u16string_view password) {
    if (password.empty()) return {};
    std::string ansi = to_cp1252(password);
    if (ansi.size() > lf::kMaxPasswordBytes - 1) ansi.resize(lf::kMaxPasswordBytes - 1);
    Bytes bytes(ansi.begin(), ansi.end());
    bytes.push_back(0);
    secure_zero(ansi.data(), ansi.size());
    return bytes;
}

std::optional<Digest> legacy_check_password(std::span<const uint8_t> header,
                                              std::u16string_view password) {
    if (password.empty() || !legacy_header_accepted(header)) return std::nullopt;
    SecureBytes input(header.subspan(lf::kSalt, lf::kSaltSize));
    Bytes ansi = legacy_password_bytes(password);
    const size_t salt_size = input.size();
    input.resize(salt_size + ansi.size());
    std::copy(ansi.begin(), ansi.end(), input.data() + salt_size);
    secure_zero(std::span(ansi));
    Digest digest = md5(input.span());
    Digest key = key_from_digest(digest);

    std::array<uint8_t, lf::kPasswordCheckSize> check{};
    std::copy_n(header.begin() + lf::kPasswordCheck, check.size(), check.begin());
    Rc4(key).apply(check);
    const bool matches = std::equal(check.begin(), check.end(), digest.begin());
    secure_zero(std::span(check));
    secure_zero(std::span(digest));
    if (!matches) {
        secure_zero(std::span(key));
        return std::nullopt;
    }
    return key;
}

std::vector<LegacyRecord> legacy_walk_records(std::span<const uint8_t> image) {
    std::vector<LegacyRecord> records;
    const ReadAt read_at = [image](uint64_t offset, std::span<uint8_t> out) -> size_t {
        if (offset >= image.size()) return 0;
        const size_t n = static_cast<size_t>(std::min<uint64_t>(out.size(), image.size() - offset));
        std::copy_n(image.begin() + static_cast<std::ptrdiff_t>(offset), n, out.begin());
        return n;
    };
    walk_records(read_at, [&](const LegacyRecord& r) {
        records.push_back(r);
        return true;
    });
    return records;
}

namespace {

// Calls `visit` for each entry of item data until it returns false. An entry's head must lie
// wholly inside the data; its value is cut to the bytes present.
template <typename Visit>
void walk_tags(std::span<const uint8_t> data, Visit visit) {
    if (data.size() < lf::kTagHeadSize) return;
    uint64_t at = 0;
    while (true) {
        const uint32_t tag = get_u32(data, static_cast<size_t>(at));
        const uint32_t length = get_u32(data, static_cast<size_t>(at) + 4);
        const uint64_t value = at + lf::kTagHeadSize;
        const uint64_t end = std::min<uint64_t>(value + length, data.size());
        if (!visit(LegacyTagEntry{
                tag, data.subspan(static_cast<size_t>(value), static_cast<size_t>(end - value))}))
            return;
        const uint64_t next = value + length;
        if (next + lf::kTagHeadSize > data.size()) return;
        at = next;
    }
}

}  // namespace

std::optional<std::span<const uint8_t>> legacy_find_tag(std::span<const uint8_t> data,
                                                          uint32_t tag) {
    std::optional<std::span<const uint8_t>> found;
    walk_tags(data, [&](const LegacyTagEntry& entry) {
        if (entry.tag != tag) return true;
        if (!entry.value.empty()) found = entry.value;
        return false;
    });
    return found;
}

std::vector<LegacyTagEntry> legacy_tag_entries(std::span<const uint8_t> data) {
    std::vector<LegacyTagEntry> entries;
    walk_tags(data, [&](const LegacyTagEntry& entry) {
        entries.push_back(entry);
        return true;
    });
    return entries;
}

std::u16string legacy_tag_text(std::span<const uint8_t> data, uint32_t tag, size_t max_units) {
    auto bytes = legacy_find_tag(data, tag);
    if (!bytes) return {};
    return utf16le_decode(*bytes, max_units);
}

// The reader ------------------------------------------------------------------------------------

void LegacyWalletReader::set_locked(bool locked) {
    locked_ = locked;
    if (observer_) observer_(locked);
}

LegacyWalletReader::~LegacyWalletReader() {
    observer_ = nullptr;
    close();
}

void LegacyWalletReader::reset() {
    path_.clear();
    file_ = File();
    secure_zero(std::span(header_));
    key_.clear();
    set_locked(true);
}

void LegacyWalletReader::close() {
    file_.close();
    reset();
}

LegacyOpenResult LegacyWalletReader::open(const std::filesystem::path& path,
                                              std::u16string_view password,
                                              LegacyWalletValues* values) {
    reset();
    // The reader never writes, so the file is opened for reading only.
    file_ = File::open(path, FileMode::ReadOnly);
    if (!file_.is_open()) {
        close();
        return LegacyOpenResult::CannotOpen;
    }
    if (!check_header()) {
        close();
        return LegacyOpenResult::NotLegacyWallet;
    }
    if (values) *values = legacy_header_values(header_);
    std::optional<Digest> key = legacy_check_password(header_, password);
    if (!key) {
        close();
        return LegacyOpenResult::WrongPassword;
    }
    key_.prepare(*key);
    secure_zero(std::span(*key));
    path_ = path;
    set_locked(false);
    return LegacyOpenResult::Opened;
}

bool LegacyWalletReader::check_header() {
    if (!file_.is_open()) return false;
    const auto size = file_.size();
    if (!size || *size < lf::kHeaderSize) return false;
    // Positional read: the file's current position stays where it was.
    const IoResult r = file_.read_at(0, header_);
    if (r.failed() || r.bytes != header_.size()) return false;
    return legacy_header_accepted(header_);
}

uint64_t LegacyWalletReader::walk(const std::function<bool(const LegacyRecord&)>& visit) {
    if (!file_.is_open()) return 0;
    const ReadAt read_at = [this](uint64_t offset, std::span<uint8_t> out) -> size_t {
        const IoResult r = file_.read_at(offset, out);
        return r.failed() ? 0 : r.bytes;
    };
    return walk_records(read_at, visit);
}

LegacyWalletReader::RecordCounts LegacyWalletReader::count_records() {
    RecordCounts counts;
    walk([&](const LegacyRecord& r) {
        (r.folder ? counts.folders : counts.items) += 1;
        return true;
    });
    return counts;
}

std::vector<LegacyFolderRecord> LegacyWalletReader::list_folders() {
    std::vector<LegacyFolderRecord> folders;
    walk([&](const LegacyRecord& r) {
        if (r.folder) folders.push_back(*r.folder);
        return true;
    });
    return folders;
}

std::vector<LegacyItemRecord> LegacyWalletReader::list_items(uint32_t folder_id) {
    std::vector<LegacyItemRecord> items;
    walk([&](const LegacyRecord& r) {
        if (r.item && r.item->folder_id() == folder_id) items.push_back(*r.item);
        return true;
    });
    return items;
}

size_t LegacyWalletReader::count_items(uint32_t folder_id) {
    size_t count = 0;
    walk([&](const LegacyRecord& r) {
        if (r.item && r.item->folder_id() == folder_id) ++count;
        return true;
    });
    return count;
}

std::optional<LegacyWalletReader::Tree> LegacyWalletReader::read_tree() {
    Tree tree;
    std::vector<LegacyItemRecord> items;
    const uint64_t stop = walk([&](const LegacyRecord& r) {
        if (r.folder) tree.folders.push_back(*r.folder);
        if (r.item) items.push_back(*r.item);
        return true;
    });
    // Records end where the file ends; bytes after the last whole record, too few for a record
    // or of no known kind, are what is left of a damaged one.
    tree.cut_short = stop < file_.size().value_or(0);
    std::unordered_map<uint32_t, size_t> folder_of_id;
    for (size_t i = 0; i < tree.folders.size(); ++i)
        if (!folder_of_id.emplace(tree.folders[i].id(), i).second) return std::nullopt;
    tree.items.resize(tree.folders.size());
    for (LegacyItemRecord& item : items) {
        const auto found = folder_of_id.find(item.folder_id());
        if (found != folder_of_id.end()) tree.items[found->second].push_back(std::move(item));
    }
    return tree;
}

std::optional<SecureBytes> LegacyWalletReader::read_item_data(const LegacyItemRecord& record) {
    if (!file_.is_open()) return std::nullopt;
    const uint32_t length = record.data_length();
    if (length == 0) return SecureBytes();
    if (record.enciphered() && !key_.valid()) return std::nullopt;
    // The stored length is trusted only as far as the file reaches.
    const auto size = file_.size();
    if (!size || record.data_offset > *size || length > *size - record.data_offset)
        return std::nullopt;
    SecureBytes data(length);
    const IoResult r = file_.read_at(record.data_offset, data.span());
    if (r.failed() || r.bytes != length) return std::nullopt;
    if (record.enciphered()) key_.transform(data.span());
    return data;
}

std::optional<LegacyItem> LegacyWalletReader::read_item(uint32_t item_id) {
    std::optional<LegacyItemRecord> found;
    walk([&](const LegacyRecord& r) {
        if (r.item && r.item->id() == item_id) {
            found = *r.item;
            return false;
        }
        return true;
    });
    if (!found) return std::nullopt;
    auto data = read_item_data(*found);
    if (!data) return std::nullopt;
    return LegacyItem{*found, std::move(*data)};
}

}  // namespace ks
