#pragma once
// The files a card's attachments and sound become outside the wallet: exported copies in the
// documents folder, named after the day; copies opened with another program, kept in a folder
// of their own that only the owner can read and that is emptied when the card or the wallet
// closes.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/attachment.h"
#include "platform/bytes.h"
#include "platform/datetime.h"

namespace ks {

// "YYYYMMDD_name": an exported or opened attachment's file name on `day`. The name is made safe
// for a file name (no "/") and cut, keeping its extension, to fit 255 bytes.
std::u16string attachment_file_name(const DateTime& day, std::u16string_view name);
// "YYYYMMD_name" with the day without a leading zero: an exported sound's or picture's name.
std::u16string export_file_name(const DateTime& day, std::u16string_view name);

// Wallet files are written but never opened from an attachment (".wal" or ".ks5" anywhere in
// the lower-cased path).
bool is_wallet_file_path(std::u16string_view path);

// Writes the whole of `data` to `path`, readable by its owner only, replacing a file that is
// there. False when any byte could not be written.
bool write_file_replacing(const std::filesystem::path& path, std::span<const uint8_t> data);
// As above, but fails, writing nothing, when `path` exists.
bool write_new_file(const std::filesystem::path& path, std::span<const uint8_t> data);

// The largest file a card takes as an attachment, a sound or a picture: a card is held whole in
// memory and written whole each time it is stored.
constexpr uint64_t kMaxCardFileBytes = 64ull * 1024 * 1024;

enum class CardFileStatus { Read, Unreadable, TooLarge };
struct CardFileBytes {
    CardFileStatus status = CardFileStatus::Unreadable;
    SecureBytes bytes;  // the whole file when read
};
// A file the user chose to put into a card: a regular file, not empty, of at most
// kMaxCardFileBytes, read whole.
CardFileBytes read_card_file(const std::filesystem::path& path);

// Export File: the attachment written into `folder` (the documents folder when empty) under
// attachment_file_name(today); the path, or nothing when it has no data or could not be written.
std::optional<std::filesystem::path> export_attachment(const FileAttachment& attachment,
                                                       const std::filesystem::path& folder = {});
// Export Sound and Export Image: `data` written into `folder` (the documents folder when empty)
// under export_file_name(today); nothing when the file exists already or could not be written.
std::optional<std::filesystem::path> export_new_copy(std::span<const uint8_t> data,
                                                     std::u16string_view name,
                                                     const std::filesystem::path& folder = {});

// The copies of attachments opened with other programs while a card is open: at most 20
// paths, each listed once (compared without regard to case).
class OpenedFiles {
  public:
    static constexpr size_t kMaxFiles = 20;

    // The private folder the copies are written to: $XDG_RUNTIME_DIR/keystash/opened (else the
    // user cache folder's keystash/opened), created with mode 0700. Empty when there is none.
    static std::filesystem::path folder();
    // Deletes every file in folder(): the wallet closed, or a previous run ended without it.
    static void empty_folder();

    // Notes a path; false when it is listed already or the list is full.
    bool add(const std::filesystem::path& path);
    const std::vector<std::filesystem::path>& paths() const { return paths_; }
    bool empty() const { return paths_.empty(); }
    // Deletes every listed file (one that is gone counts as deleted) and empties the list; the
    // files that could not be deleted.
    std::vector<std::filesystem::path> delete_all();

  private:
    std::vector<std::filesystem::path> paths_;
};

// Open: the attachment in `slot` written under its dated name into OpenedFiles::folder() and
// noted in `opened`, to be handed to the desktop. A wallet file is never opened from an
// attachment: it is written into `documents` (the documents folder when empty) instead, as
// Export File does, and not noted (may_open false). Nothing when nothing could be written.
struct OpenedAttachment {
    std::filesystem::path path;
    bool may_open = false;  // false for a wallet file
};
std::optional<OpenedAttachment> write_opened_attachment(
    const FileAttachment& attachment, OpenedFiles& opened,
    const std::filesystem::path& documents = {});

// The text shown when opened copies could not be deleted: message 28207 with their number when
// there are more than 5 or their names are long, else message 28208 and each name on its line.
std::u16string leftover_files_text(const std::vector<std::filesystem::path>& left);

}  // namespace ks
