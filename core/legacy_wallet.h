#pragma once
// Reader of previous-version wallets (".wal"): an 844-byte header, then fixed 252-byte folder
// and item records, each item record followed by its tagged data. The reader only reads; the
// conversion into a current wallet lives in forms/legacy_conversion.h.
#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/cipher.h"
#include "platform/bytes.h"
#include "platform/file.h"

namespace ks {

namespace legacy_format {

constexpr size_t kHeaderSize = 844;
constexpr size_t kRecordSize = 252;

// Header.
constexpr size_t kSignatureCompared = 40;  // leading signature bytes that must match
constexpr size_t kMagic1Offset = 76;
constexpr uint32_t kMagic1 = 0xB8161967;
constexpr size_t kCustomFormsFlag = 124;
constexpr size_t kCustomFormsName = 128;
constexpr size_t kCustomFormsNameUnits = 260;
constexpr size_t kWalletValues = 648;
constexpr size_t kWalletValueCount = 14;
constexpr size_t kSalt = 752;
constexpr size_t kSaltSize = 8;
constexpr size_t kPasswordCheck = 816;
constexpr size_t kPasswordCheckSize = 16;
constexpr size_t kMagic2Offset = 840;
constexpr uint32_t kMagic2 = 0xB1281966;

// The password is taken as at most this many ANSI bytes, its terminating zero included.
constexpr size_t kMaxPasswordBytes = 64;

// Records.
constexpr uint32_t kFolderMagic = 0x404F4F40;
constexpr uint32_t kItemMagic = 0x26F4F426;
constexpr size_t kRecordMagic = 0;
constexpr size_t kRecordId = 4;

namespace folder {
constexpr size_t kDefaultForm = 28;
constexpr size_t kIcon = 32;
constexpr size_t kName = 36;
constexpr size_t kNameSize = 216;
}  // namespace folder

namespace item {
constexpr size_t kEnciphered = 24;
constexpr size_t kFolderId = 28;
constexpr size_t kFormCode = 32;
constexpr size_t kIcon = 36;
constexpr size_t kStyle1 = 48;
constexpr size_t kStyle2 = 52;
constexpr size_t kDataLength = 68;
constexpr size_t kHasPicture = 72;
constexpr size_t kFlags = 74;
constexpr size_t kSoundFlags = 75;
constexpr size_t kName = 76;
constexpr size_t kNameSize = 176;
}  // namespace item

// Tags of the item data besides the forms' field codes.
constexpr uint32_t kTagNotes = 400;
constexpr uint32_t kTagPicture = 450;
constexpr uint32_t kTagPicturePosition = 451;
constexpr uint32_t kTagPictureName = 452;
constexpr uint32_t kTagSound = 460;
constexpr uint32_t kTagSoundName = 461;

constexpr size_t kTagHeadSize = 8;  // 32-bit tag, 32-bit length

}  // namespace legacy_format

using LegacyWalletValues = std::array<uint32_t, legacy_format::kWalletValueCount>;

// A folder record as stored.
struct LegacyFolderRecord {
    std::array<uint8_t, legacy_format::kRecordSize> bytes{};

    uint32_t id() const;
    int32_t default_form() const;
    int32_t icon() const;
    std::u16string name() const;
};

// An item (card) record as stored, with the file offset of the data that follows it.
struct LegacyItemRecord {
    std::array<uint8_t, legacy_format::kRecordSize> bytes{};
    uint64_t data_offset = 0;

    uint32_t id() const;
    bool enciphered() const;  // the value at 24 is 1
    uint32_t folder_id() const;
    int32_t form_code() const;
    int32_t icon() const;
    uint32_t style1() const;
    uint32_t style2() const;
    uint32_t data_length() const;
    bool has_picture() const;
    uint8_t flags() const;  // bit 0 and bit 1
    bool has_sound() const;
    std::u16string name() const;
};

// A record met while walking: exactly one of the two is set.
struct LegacyRecord {
    std::optional<LegacyFolderRecord> folder;
    std::optional<LegacyItemRecord> item;
};

// Parsing on bytes -----------------------------------------------------------------------------

// True when `header` holds at least 844 bytes with the signature's first 40 bytes and both
// magic values.
bool legacy_header_accepted(std::span<const uint8_t> header);

// The custom-forms flag and file name (as stored, up to 260 units) of an accepted header.
bool legacy_header_has_custom_forms(std::span<const uint8_t> header);
std::u16string legacy_header_custom_forms_name(std::span<const uint8_t> header);
LegacyWalletValues legacy_header_values(std::span<const uint8_t> header);

// The password as the check takes it: Windows-1252 bytes, cut so that they and a terminating
// zero fit in 64 bytes; the zero is included. Empty for an empty password.
Bytes legacy_password_bytes(std::u16string_view password);

// The file key for `password` when it matches the header's check value; nothing when the
// password is empty, the header is not accepted, or the check fails.
std::optional<Digest> legacy_check_password(std::span<const uint8_t> header,
                                              std::u16string_view password);

// Walks the records that follow the header in `image` (the whole file). Stops at the end, at a
// record cut short, or at a magic of neither kind. Item data offsets are offsets into `image`.
std::vector<LegacyRecord> legacy_walk_records(std::span<const uint8_t> image);

// The bytes of the first entry tagged `tag` in item data; nothing when absent, when its length
// is 0, or when the data is shorter than one entry head. A length that runs past the end of the
// data yields only the bytes present.
std::optional<std::span<const uint8_t>> legacy_find_tag(std::span<const uint8_t> data,
                                                          uint32_t tag);

struct LegacyTagEntry {
    uint32_t tag = 0;
    std::span<const uint8_t> value;  // cut to the bytes present
};
// Every entry of item data in order, walked as the tag lookup walks it.
std::vector<LegacyTagEntry> legacy_tag_entries(std::span<const uint8_t> data);

// A zero-terminated UTF-16LE text value of item data, at most `max_units` units.
std::u16string legacy_tag_text(std::span<const uint8_t> data, uint32_t tag,
                                 size_t max_units = SIZE_MAX);

// The reader ------------------------------------------------------------------------------------

enum class LegacyOpenResult : int {
    Opened = 0,
    CannotOpen = 3,
    NotLegacyWallet = 7,
    WrongPassword = 9,
};

struct LegacyItem {
    LegacyItemRecord record;
    SecureBytes data;  // deciphered when the record says it is enciphered
};

class LegacyWalletReader {
  public:
    // Told true when the reader locks and false when a password has unlocked it.
    using LockObserver = std::function<void(bool locked)>;

    LegacyWalletReader() { reset(); }
    ~LegacyWalletReader();  // closes without telling the observer
    LegacyWalletReader(const LegacyWalletReader&) = delete;
    LegacyWalletReader& operator=(const LegacyWalletReader&) = delete;

    void set_lock_observer(LockObserver observer) { observer_ = std::move(observer); }

    // Forgets path, file, header and key and locks; the observer hears of it.
    void reset();
    void close();

    // Opens an existing file for reading only, checks its header and then the password.
    // `values`, when given, receives the fourteen wallet values once the header is accepted.
    // Every failure leaves the reader closed and locked.
    LegacyOpenResult open(const std::filesystem::path& path, std::u16string_view password,
                            LegacyWalletValues* values = nullptr);

    // Reads the header of the open file again (the position is kept) and checks it.
    bool check_header();

    bool is_open() const { return file_.is_open(); }
    bool locked() const { return locked_; }
    const std::filesystem::path& path() const { return path_; }
    std::span<const uint8_t> header() const { return header_; }
    bool has_custom_forms() const { return legacy_header_has_custom_forms(header_); }
    std::u16string custom_forms_name() const { return legacy_header_custom_forms_name(header_); }

    struct RecordCounts {
        size_t folders = 0;
        size_t items = 0;
    };
    RecordCounts count_records();
    std::vector<LegacyFolderRecord> list_folders();
    std::vector<LegacyItemRecord> list_items(uint32_t folder_id);
    size_t count_items(uint32_t folder_id);

    // Every folder record and the item records of each, in file order, from one walk. Nothing
    // when two folder records share an id: only a damaged file holds them, and every item of
    // that id would belong to each of them.
    struct Tree {
        std::vector<LegacyFolderRecord> folders;
        std::vector<std::vector<LegacyItemRecord>> items;  // items[i]: those of folders[i]
        bool cut_short = false;  // the walk stopped before the end: a record cannot be read
    };
    std::optional<Tree> read_tree();

    // The first item record with `item_id` and its data; nothing when there is none, when its
    // data runs past the end of the file or cannot be read, or when it is enciphered and the
    // reader is locked.
    std::optional<LegacyItem> read_item(uint32_t item_id);
    // The data of a record found by a listing, read from its recorded offset.
    std::optional<SecureBytes> read_item_data(const LegacyItemRecord& record);

  private:
    // Calls `visit` for every record from offset 844 on; `visit` returns false to stop early.
    // Returns the offset where the walk stopped.
    uint64_t walk(const std::function<bool(const LegacyRecord&)>& visit);
    void set_locked(bool locked);

    File file_;
    std::filesystem::path path_;
    std::array<uint8_t, legacy_format::kHeaderSize> header_{};
    KeyContext key_;
    bool locked_ = true;
    LockObserver observer_;
};

}  // namespace ks
