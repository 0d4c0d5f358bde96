#pragma once
// Import of a tab-separated text file, as a spreadsheet writes it: the first row names the
// columns ("CardName" or "Card Name", then one field label per column) and every further row
// becomes one card in a new top-level folder.
//
// The reading side (bytes -> text -> rows of cells) is separate from the wallet side so that it
// can be exercised on its own with arbitrary bytes.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/wallet_document.h"
#include "platform/prompt.h"

namespace ks {

constexpr int32_t kImportFolderIcon = 72;
constexpr int32_t kImportedCardIcon = 50;
constexpr uint16_t kImportedFieldKind = 15;

// Larger files are refused: a card list of this size is far beyond any real one, and the limit
// keeps the parsed table (a few times the file's size) within reach of any machine.
constexpr size_t kMaxImportFileBytes = 16u * 1024 * 1024;
// A card holds at most 255 fields: the name column and the first 255 field columns are
// imported, and the columns after them are left out (and counted).
constexpr size_t kMaxImportColumns = 256;
// Column labels become field labels cut to this many UTF-16 units, the longest name the wallet
// keeps for anything: a label is repeated in every card, so its length multiplies.
constexpr size_t kMaxImportedLabelUnits = 255;

// One import may add at most kImportAllowanceBytes plus kImportGrowthFactor times the file's
// size to the wallet. A card costs 812 bytes before its fields (record header and style) and
// 84 bytes per field before its texts, so a real card list grows 20 to 40 times when its rows
// are filled and about 100 times when they are mostly empty; the allowance takes small files
// of any shape (thousands of cards), the factor larger lists of the usual kind. Beyond that a
// file is not a card list but a way to fill the disk: a few kilobytes of columns and short
// rows would otherwise make a wallet of gigabytes.
constexpr uint64_t kImportAllowanceBytes = 8u * 1024 * 1024;
constexpr uint64_t kImportGrowthFactor = 64;

// Preview limits, in UTF-16 units.
constexpr size_t kPreviewLabelLimit = 50;
constexpr size_t kPreviewValueLimit = 110;
constexpr size_t kPreviewColumns = 5;
constexpr size_t kPreviewMaxLength = 2047;
// Card by card for this many rows; then, when the file has more than kAskOnceMinRows data
// rows, one question for all the rest.
constexpr size_t kAskOnceAfter = 4;
constexpr size_t kAskOnceMinRows = 10;

// The parsed file: rows of cells, in file order. Every row's cells come from its own line (or,
// for quoted cells, the lines they span), so an irregular row never moves the cells of later
// rows. The table owns its text and wipes it when destroyed.
class TabTextTable {
  public:
    TabTextTable() = default;
    ~TabTextTable();
    TabTextTable(TabTextTable&&) noexcept = default;
    TabTextTable& operator=(TabTextTable&& other) noexcept;  // wipes the text it replaces
    TabTextTable(const TabTextTable&) = delete;
    TabTextTable& operator=(const TabTextTable&) = delete;

    // The number of cells of the first row.
    size_t columns() const { return columns_; }
    // The size of what was parsed: the file's bytes, or one per unit of text split directly.
    size_t source_bytes() const { return source_bytes_; }
    size_t rows() const { return row_first_.size(); }
    // Empty for a cell the row does not have, or a row or column past the end. Cells past the
    // first row's count are not kept.
    std::u16string_view cell(size_t row, size_t column) const;
    // The cells kept for the row, without its trailing empty ones: 0 for a blank row.
    size_t stored_cells(size_t row) const;

  private:
    friend TabTextTable split_tab_text(std::u16string_view text);
    friend TabTextTable split_source(std::u16string_view text, size_t source_bytes);

    struct Span {
        size_t start = 0;
        size_t length = 0;
    };
    std::u16string text_;            // the cells' texts, one after another
    std::vector<Span> cells_;        // every row's kept cells, row after row
    std::vector<size_t> row_first_;  // index in cells_ of each row's first cell
    size_t columns_ = 0;
    size_t source_bytes_ = 0;
};

// The text of a file's bytes: FF FE starts UTF-16LE and FE FF UTF-16BE (both without the mark);
// EF BB BF starts UTF-8 (invalid sequences become U+FFFD); anything else is ANSI, that is UTF-8
// when the bytes are valid UTF-8, else Windows-1252. Zero units are dropped.
std::u16string decode_import_text(std::span<const uint8_t> bytes);

// Rows and cells of tab-separated text. A TAB ends a cell; CR LF, LF or CR ends a row; the end
// of the text ends the last row, and a line break just before it starts no further row. A cell
// that starts with a double quote is quoted: it runs to the next quote that is not doubled, may
// hold TABs or line breaks, and reads without its quotes and with every "" as one quote; text
// after the closing quote is kept as it is. A quote that is never closed, or whose quoted text
// would hold a line break together with a TAB or with a closing quote that more text follows (a
// stray quote, not a spreadsheet's cell), is an ordinary character. Linear in the length of the
// text.
TabTextTable split_tab_text(std::u16string_view text);

// decode_import_text and split_tab_text; nothing when there are more than kMaxImportFileBytes.
std::optional<TabTextTable> parse_tab_text(std::span<const uint8_t> bytes);

enum class TabTextReadError {
    None,
    CannotOpen,  // missing, a folder, or not readable
    Empty,       // no text (no bytes, or only a byte-order mark)
    TooLarge,    // more than kMaxImportFileBytes
    ReadFailed,
};

// Reads and parses a whole file; nothing, with the reason in `error`, when it cannot.
std::optional<TabTextTable> read_tab_text_file(const std::filesystem::path& path,
                                               TabTextReadError* error = nullptr);

// The data rows of a table whose first row names the columns: rows 1 to the last that is not
// blank (a spreadsheet may end its file with empty lines or lines of bare TABs). Nothing when
// the first cell is not "CardName" or "Card Name" (any case), or the table has fewer than 2
// columns, or no data row.
std::optional<size_t> import_data_rows(const TabTextTable& table);

// The columns that are imported: the name and at most 255 fields.
size_t imported_columns(const TabTextTable& table);

// What importing every data row of a card list (import_data_rows) adds to the wallet, in bytes
// of its stored records, and the most one import of its source may add.
struct ImportSize {
    uint64_t needed = 0;
    uint64_t allowed = 0;
    bool within() const { return needed <= allowed; }
};
ImportSize import_size(const TabTextTable& table);

// The preview of data row `row` that the card-by-card question shows.
std::u16string import_preview(const TabTextTable& table, size_t row);

enum class TextImportStatus {
    Done,          // the rows were offered; see the counts
    Unreadable,    // the file could not be read (message shown)
    NotACardList,  // the first row does not name the columns (message shown)
    TooMuch,       // the cards would grow the wallet beyond import_size's bound; nothing was
                   // imported (message shown)
    WriteFailed,   // the folder could not be written; nothing was imported (message shown)
    Busy,          // another operation of the document is asking a question; nothing done
};

struct TextImportResult {
    TextImportStatus status = TextImportStatus::Done;
    int folder = kNoIndex;        // the new folder's list index, once made
    size_t rows_read = 0;         // data rows read from the file (and offered)
    size_t columns_left_out = 0;  // columns past the 255th field, not imported
    size_t imported = 0;          // cards stored
    size_t failed = 0;            // accepted rows whose card could not be stored
    bool cancelled = false;       // the user stopped before the last row
};

// The opening question; true to go on and pick a file.
bool confirm_text_import(Prompt& prompt);

// Imports the rows of `table` into a new top-level folder of `document`, asking through `prompt`
// card by card (or once for the rest), and reports the number imported at the end. The folder is
// made only when the first row is accepted, so declining every row changes nothing. A table
// whose cards would exceed import_size's bound is refused before any question.
TextImportResult import_tab_table(WalletDocument& document, const TabTextTable& table,
                                  Prompt& prompt);

// Reads `path` and imports it as import_tab_table does; a file that cannot be read is reported
// and changes nothing.
TextImportResult import_text_file(WalletDocument& document, const std::filesystem::path& path,
                                  Prompt& prompt);

}  // namespace ks
