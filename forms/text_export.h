#pragma once
// Text export: the readable contents of a card, a folder or the whole wallet written to a UTF-16
// text file (byte-order mark, UTF-16LE, CR LF line ends), with attached files saved beside it on
// request; and the text of one card for the clipboard.
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "core/card.h"
#include "core/wallet_document.h"
#include "platform/datetime.h"
#include "platform/file_name.h"
#include "platform/prompt.h"

namespace ks {

// Texts of the export file and of the question that follows it.

// What a PIN field shows in an export that does not show PIN values.
inline constexpr std::u16string_view kHiddenPin = u"********";
// Folder headers name at most this many ancestors of the folder.
constexpr size_t kMaxFolderPathLevels = 8;

enum class ExportScope : int32_t {
    WholeWallet = 0,
    Folder = 1,
    Card = 2,
};

struct TextExportOptions {
    ExportScope scope = ExportScope::WholeWallet;
    // Where the export folder (named after the wallet) is made; the documents folder when empty.
    std::filesystem::path output_folder;
    bool include_attachments = false;  // save attached files next to the text file
    bool show_pin_values = false;      // write PIN values instead of "********"
};

enum class TextExportStatus {
    Written,
    NotExportable,  // the selection does not fit the scope, or the wallet is not open
    CannotCreate,   // the export folder or the text file could not be made; nothing written
    WriteFailed,    // the text could not be written whole; no text file was left behind
};

struct TextExportResult {
    TextExportStatus status = TextExportStatus::NotExportable;
    std::filesystem::path file;   // the text file
    int cards = 0;                // card blocks written
    int attachments = 0;          // attached files saved
    bool open_requested = false;  // the user asked to open the file
    // Folders that sit in a cycle of parents (damage), counted when the export ran into them:
    // those out of reach of the exported item are not in the file.
    size_t folders_in_cycles = 0;
};

// Exports `selected` (a card for the card scope, a folder or My Forms for the folder scope;
// ignored for the whole wallet). The text file "<wallet>/<name>_DDMMYYYY.txt" inside the output
// folder replaces an earlier one only when it is whole; attached files are saved as
// "NNN_<name>", readable by their owner only. Names from the wallet are made safe and cut to the
// file system's limit. With a prompt, the user is then asked whether to
// open the file; the answer is in `open_requested`.
TextExportResult export_text(WalletDocument& document, const TextExportOptions& options,
                             int selected, Prompt* prompt = nullptr);

// "Personal" for "/home/me/Personal.ks5": the file name without its last extension.
std::u16string wallet_name(const std::filesystem::path& wallet_path);
// "Visa_05032006.txt": `base` made usable as a file name, and the day, month and year; at most
// `limit` bytes of UTF-8, `base` cut short when needed.
std::u16string export_file_name(std::u16string_view base, const DateTime& date,
                                size_t limit = kDefaultNameLimit);

// The text of one card as it is copied: its name, a blank line, then "label: value" and a blank
// line for every field with a value; PIN values are written as they are.
SecretText card_as_text(const Card& card);

}  // namespace ks
