#pragma once
// Form files (".ksx"): one card form carried between wallets. A 468-byte header (signature,
// version, description, author, date) is followed by the card stored as a card node is stored in
// a wallet, with every enciphered text under the fixed form-file key.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "core/card.h"
#include "platform/datetime.h"
#include "platform/file.h"
#include "platform/file_name.h"

namespace ks {

namespace form_file {
constexpr size_t kHeaderSize = 468;
constexpr size_t kSignatureSize = 64;
constexpr size_t kVersionOffset = 64;
constexpr size_t kDescriptionOffset = 68;
constexpr size_t kDescriptionSize = 256;
constexpr size_t kAuthorOffset = 324;
constexpr size_t kAuthorSize = 128;
constexpr size_t kDateOffset = 452;
constexpr uint32_t kVersion = 1;
constexpr size_t kMaxDescriptionLength = 127;
constexpr size_t kMaxAuthorLength = 63;
// "Brightloom® Keystash® Pro Form" in Windows-1252 (0xAE is the ® sign).
constexpr std::string_view kSignature = "Brightloom\xAE Keystash\xAE Pro Form";
static_assert(kSignature.size() < kSignatureSize);

}  // namespace form_file

// What writing a form file gave.
enum class FormFileResult : int {
    Written = 0,
    HeaderFailed = 1,  // the header was not written, or the new file not made or put in place
    NoCard = 6,        // what was given is not a card
    CardFailed = 7,    // the card record after the header was not written whole
};

struct FormFileHeader {
    std::u16string description;
    std::u16string author;
    DateTime written;  // local date and time the file was written
};

// Writes the header and the card record at the file's current position. The card is loaded
// whole, its name under its node's key. Unless `keep_values`, every field value is cleared;
// picture, sound and attached files go with the form. The card itself is not changed. The author is
// cut to 63 characters, the description to 127.
FormFileResult write_form_file(const Card& card, File& file, bool keep_values,
                               std::optional<std::u16string_view> author,
                               std::optional<std::u16string_view> description);

// "Visa_05032006.ksx": the card's name made usable as a file name, and the day, month and year;
// at most `limit` bytes of UTF-8, the name cut short when needed.
std::u16string form_file_name(std::u16string_view card_name, const DateTime& date,
                              size_t limit = kDefaultNameLimit);

// Writes the form file `target` whole: it is built in a new file beside the target and takes the
// target's place only when complete, so a failure leaves any earlier file as it was. The result
// is that of write_form_file, or HeaderFailed when the new file cannot be made or put in place.
FormFileResult save_form_file(const Card& card, const std::filesystem::path& target,
                              bool keep_values, std::optional<std::u16string_view> author,
                              std::optional<std::u16string_view> description);

enum class FormReadError {
    None,
    CannotOpen,    // missing or unreadable
    NotAFormFile,  // shorter than the header, another signature or another version
    Damaged,       // the card record after the header is broken or cut short
};

struct FormFileContents {
    FormFileHeader header;
    Card card;  // no id, parent or form; its name under the key given to read_form_file
};

// Reads a form file from its start. Every length is bounded by the file; a file whose card
// record is damaged in any way is refused whole. The card's name is re-enciphered from the
// form-file key to `wallet_key`, which the card's node keeps referring to.
std::optional<FormFileContents> read_form_file(File& file, const KeyContext& wallet_key,
                                               FormReadError* error = nullptr);
std::optional<FormFileContents> read_form_file(const std::filesystem::path& path,
                                               const KeyContext& wallet_key,
                                               FormReadError* error = nullptr);

}  // namespace ks
