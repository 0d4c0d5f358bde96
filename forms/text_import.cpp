#include "forms/text_import.h"

#include <algorithm>
#include <system_error>
#include <utility>

#include "core/card.h"
#include "core/field.h"
#include "core/format.h"
#include "core/stored_text.h"
#include "platform/bytes.h"
#include "platform/clock.h"
#include "platform/file.h"
#include "platform/locale_format.h"
#include "platform/message_format.h"
#include "platform/text.h"
#include "platform/texts.h"

namespace ks {
namespace {

// Wipes a text that held wallet data before its memory is released.
void wipe(std::u16string& text) {
    secure_zero(text.data(), text.size() * sizeof(char16_t));
    text.clear();
}

// Appends `text` to `out` with every line break (CR LF, CR or LF) written as CR LF, the line
// break of wallet texts.
void append_with_crlf(std::u16string& out, std::u16string_view text) {
    size_t i = 0;
    while (i < text.size()) {
        const size_t brk = std::min(text.find_first_of(u"\r\n", i), text.size());
        out.append(text.substr(i, brk - i));
        if (brk == text.size()) break;
        out += u"\r\n";
        i = brk + ((text[brk] == u'\r' && brk + 1 < text.size() && text[brk + 1] == u'\n') ? 2 : 1);
    }
}

// The closing quote of the quoted cell whose opening quote is at `open`; nothing when the quote
// is never closed, or when the quoted text holds a line break and also a TAB, or a closing
// quote that more text follows. A spreadsheet quotes a cell that holds a line break or a TAB,
// doubles the quotes inside it and ends the cell at its closing quote; a run over a line break
// that meets a TAB, or a quote in the middle of a later line's cell, is a stray quote
// swallowing the rows after it. The scan stops at the first single quote, or where the line
// break and the TAB have both appeared, so a stray quote costs only the text up to there.
std::optional<size_t> closing_quote(std::u16string_view text, size_t open) {
    bool crossed_line = false;
    bool holds_tab = false;
    for (size_t i = open + 1; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (c == u'"') {
            const bool last = i + 1 == text.size();
            if (!last && text[i + 1] == u'"') {
                ++i;  // "" stands for one quote
                continue;
            }
            const bool ends_cell =
                last || text[i + 1] == u'\t' || text[i + 1] == u'\r' || text[i + 1] == u'\n';
            if (crossed_line && !ends_cell) return std::nullopt;
            return i;
        }
        if (c == u'\r' || c == u'\n') crossed_line = true;
        if (c == u'\t') holds_tab = true;
        if (crossed_line && holds_tab) return std::nullopt;
    }
    return std::nullopt;
}

// Reads the cell that starts at `pos` into `out`, leaving `pos` on the TAB, CR or LF that ends
// it, or at the end of the text. Returns where in `out` the cell starts.
size_t read_cell(std::u16string_view text, size_t& pos, std::u16string& out) {
    const size_t start = out.size();
    const size_t n = text.size();
    if (pos < n && text[pos] == u'"') {
        // A quote that does not close is an ordinary character: the cell ends as any other.
        if (const std::optional<size_t> close = closing_quote(text, pos)) {
            size_t i = pos + 1;
            while (i < *close) {
                const size_t quote = std::min(text.find(u'"', i), *close);
                append_with_crlf(out, text.substr(i, quote - i));
                if (quote == *close) break;
                out += u'"';  // one of a doubled pair
                i = quote + 2;
            }
            pos = *close + 1;
        }
    }
    const size_t end = std::min(text.find_first_of(u"\t\r\n", pos), n);
    out.append(text.substr(pos, end - pos));
    pos = end;
    return start;
}

// The field a column of a data row becomes.
FieldRecord imported_field(std::u16string_view label, std::u16string_view value) {
    FieldRecord field;
    field.set_kind(kImportedFieldKind);
    field.set_label(cut_units(label, kMaxImportedLabelUnits));
    field.set_value(value);
    return field;
}

int64_t megabytes_rounded_up(uint64_t bytes) {
    constexpr uint64_t kMegabyte = 1024 * 1024;
    return static_cast<int64_t>((bytes + kMegabyte - 1) / kMegabyte);
}

PromptAnswer tell(Prompt& prompt, std::u16string text, uint32_t title, PromptIcon icon) {
    return prompt.ask({std::move(text), load_string(title), PromptButtons::Ok, icon});
}

}  // namespace

TabTextTable::~TabTextTable() {
    wipe(text_);
}

TabTextTable& TabTextTable::operator=(TabTextTable&& other) noexcept {
    if (this != &other) {
        wipe(text_);
        text_ = std::move(other.text_);
        cells_ = std::move(other.cells_);
        row_first_ = std::move(other.row_first_);
        columns_ = std::exchange(other.columns_, 0);
    }
    return *this;
}

std::u16string_view TabTextTable::cell(size_t row, size_t column) const {
    if (row >= row_first_.size() || column >= stored_cells(row)) return {};
    const Span& s = cells_[row_first_[row] + column];
    return std::u16string_view(text_).substr(s.start, s.length);
}

size_t TabTextTable::stored_cells(size_t row) const {
    if (row >= row_first_.size()) return 0;
    const size_t next = row + 1 < row_first_.size() ? row_first_[row + 1] : cells_.size();
    return next - row_first_[row];
}

std::u16string decode_import_text(std::span<const uint8_t> bytes) {
    std::u16string text;
    const bool le = bytes.size() >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE;
    const bool be = bytes.size() >= 2 && bytes[0] == 0xFE && bytes[1] == 0xFF;
    if (le || be) {
        const size_t units = (bytes.size() - 2) / 2;
        text.reserve(units);
        for (size_t i = 0; i < units; ++i) {
            const uint8_t a = bytes[2 + 2 * i];
            const uint8_t b = bytes[3 + 2 * i];
            const auto c = static_cast<char16_t>(le ? (a | (b << 8)) : ((a << 8) | b));
            if (c != 0) text += c;
        }
        return text;
    }
    std::string_view s(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    if (s.starts_with("\xEF\xBB\xBF")) {
        text = from_utf8(s.substr(3));
    } else {
        text = from_ansi(s);
    }
    std::erase(text, u'\0');
    return text;
}

// split_tab_text, recording `source_bytes` as the size of what was parsed.
TabTextTable split_source(std::u16string_view text, size_t source_bytes);

TabTextTable split_tab_text(std::u16string_view text) {
    return split_source(text, text.size());
}

TabTextTable split_source(std::u16string_view text, size_t source_bytes) {
    TabTextTable table;
    table.source_bytes_ = source_bytes;
    const size_t n = text.size();
    size_t keep = SIZE_MAX;  // cells kept per row: the first row's count, once it is known
    size_t pos = 0;
    while (pos < n) {
        const size_t first = table.cells_.size();
        table.row_first_.push_back(first);
        size_t column = 0;
        for (;;) {
            const size_t start = read_cell(text, pos, table.text_);
            if (column < keep) {
                table.cells_.push_back({start, table.text_.size() - start});
            } else {
                table.text_.resize(start);  // a cell with no column in the first row
            }
            ++column;
            if (pos == n) break;
            const char16_t c = text[pos++];
            if (c == u'\t') continue;
            if (c == u'\r' && pos < n && text[pos] == u'\n') ++pos;
            break;
        }
        // Trailing empty cells read as empty anyway; not keeping them keeps a blank row free.
        while (table.cells_.size() > first && table.cells_.back().length == 0)
            table.cells_.pop_back();
        if (keep == SIZE_MAX) keep = table.columns_ = column;
    }
    return table;
}

std::optional<TabTextTable> parse_tab_text(std::span<const uint8_t> bytes) {
    if (bytes.size() > kMaxImportFileBytes) return std::nullopt;
    std::u16string text = decode_import_text(bytes);
    TabTextTable table = split_source(text, bytes.size());
    wipe(text);
    return table;
}

std::optional<TabTextTable> read_tab_text_file(const std::filesystem::path& path,
                                               TabTextReadError* error) {
    auto failed = [&](TabTextReadError e) -> std::optional<TabTextTable> {
        if (error) *error = e;
        return std::nullopt;
    };
    if (error) *error = TabTextReadError::None;
    // Only a regular file: a pipe or device would block or never end.
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec) || ec)
        return failed(TabTextReadError::CannotOpen);
    File file = File::open(path, FileMode::ReadOnly);
    if (!file.is_open()) return failed(TabTextReadError::CannotOpen);
    const auto size = file.size();
    if (!size) return failed(TabTextReadError::ReadFailed);
    if (*size > kMaxImportFileBytes) return failed(TabTextReadError::TooLarge);
    if (*size == 0) return failed(TabTextReadError::Empty);
    SecureBytes bytes(static_cast<size_t>(*size));
    const IoResult read = file.read_at(0, bytes.span());
    if (read.failed() || read.bytes != bytes.size()) return failed(TabTextReadError::ReadFailed);
    std::u16string text = decode_import_text(bytes.span());
    if (text.empty()) return failed(TabTextReadError::Empty);
    TabTextTable table = split_source(text, bytes.size());
    wipe(text);
    return table;
}

std::optional<size_t> import_data_rows(const TabTextTable& table) {
    if (table.columns() < 2) return std::nullopt;
    const std::u16string_view first = table.cell(0, 0);
    if (!iequals_ascii(first, u"CardName") && !iequals_ascii(first, u"Card Name"))
        return std::nullopt;
    size_t end = table.rows();
    while (end > 1 && table.stored_cells(end - 1) == 0) --end;
    if (end < 2) return std::nullopt;
    return end - 1;
}

ImportSize import_size(const TabTextTable& table) {
    ImportSize size;
    size.allowed = kImportAllowanceBytes + kImportGrowthFactor * table.source_bytes();
    const std::optional<size_t> data_rows = import_data_rows(table);
    if (!data_rows) return size;
    // Every card's record is the same but for its name, held in the record header, and its
    // values: measure one card without values, then add each value's stored length.
    Card blank;
    for (size_t i = 1; i < imported_columns(table); ++i)
        blank.insert_field(imported_field(table.cell(0, i), {}));
    const uint64_t card_bytes = format::node::kHeaderSize + blank.payload_size();
    size.needed = format::node::kHeaderSize;  // the new folder
    for (size_t row = 1; row <= *data_rows; ++row) {
        size.needed += card_bytes;
        for (size_t i = 1; i < table.stored_cells(row); ++i) {
            const size_t units = table.cell(row, i).size();
            if (units > 0) size.needed += text_stored_size(units * sizeof(char16_t)).stored;
        }
    }
    return size;
}

size_t imported_columns(const TabTextTable& table) {
    return std::min(table.columns(), kMaxImportColumns);
}

std::u16string import_preview(const TabTextTable& table, size_t row) {
    std::u16string text = load_string(text_id::kImportPreviewHead) + u"\n\n";
    const size_t columns = imported_columns(table);
    for (size_t i = 0; i < columns; ++i) {
        const std::u16string label =
            i == 0 ? load_string(text_id::kImportCardNameLabel) : std::u16string(table.cell(0, i));
        text += cut_units(label, kPreviewLabelLimit);
        text += label.size() > kPreviewLabelLimit ? u"...: " : u": ";
        const std::u16string_view value = table.cell(row, i);
        text += cut_units(value, kPreviewValueLimit);
        if (value.size() > kPreviewValueLimit) text += u"...";
        text += u'\n';
        if (i + 1 == kPreviewColumns && columns > kPreviewColumns) {
            text += format_message(load_string(text_id::kImportMoreColumns),
                                   {static_cast<int64_t>(columns - kPreviewColumns)});
            break;
        }
    }
    if (text.size() > kPreviewMaxLength) {
        const size_t length = cut_units(text, kPreviewMaxLength).size();
        secure_zero(text.data() + length, (text.size() - length) * sizeof(char16_t));
        text.resize(length);
    }
    return text;
}

bool confirm_text_import(Prompt& prompt) {
    const std::u16string folder = load_string(text_id::kImportFolderName);
    const PromptMessage question{format_message(load_string(text_id::kImportQuestion), {folder}),
                                 load_string(text_id::kConfirmTitle), PromptButtons::YesNo,
                                 PromptIcon::None};
    return prompt.ask(question) == PromptAnswer::Yes;
}

namespace {

TextImportResult import_rows(WalletDocument& document, const TabTextTable& table, Prompt& prompt) {
    TextImportResult result;
    const auto write_failed = [&] {
        result.status = TextImportStatus::WriteFailed;
        tell(prompt, load_string(text_id::kImportWriteFailed), text_id::kErrorTitle,
             PromptIcon::Error);
        return result;
    };
    if (!document.is_open() || document.read_only()) return write_failed();
    const std::optional<size_t> data_rows = import_data_rows(table);
    if (!data_rows) {
        result.status = TextImportStatus::NotACardList;
        tell(prompt, load_string(text_id::kImportNotACardList), text_id::kErrorTitle,
             PromptIcon::Error);
        return result;
    }
    if (const ImportSize size = import_size(table); !size.within()) {
        result.status = TextImportStatus::TooMuch;
        tell(
            prompt,
            format_message(load_string(text_id::kImportTooMuch),
                           {megabytes_rounded_up(size.needed), megabytes_rounded_up(size.allowed)}),
            text_id::kErrorTitle, PromptIcon::Error);
        return result;
    }

    const size_t columns = imported_columns(table);
    result.rows_read = *data_rows;
    result.columns_left_out = table.columns() - columns;
    bool all = false;
    bool asked_once = false;
    NodeId folder;
    for (size_t n = 0; n < *data_rows; ++n) {
        const size_t row = n + 1;
        if (!all && !asked_once && n == kAskOnceAfter && *data_rows >= kAskOnceMinRows) {
            asked_once = true;
            const PromptAnswer answer =
                prompt.ask({format_message(load_string(text_id::kImportAskOnce),
                                           {static_cast<int64_t>(*data_rows - n)}),
                            load_string(text_id::kConfirmTitle), PromptButtons::YesNoCancel,
                            PromptIcon::None});
            if (answer == PromptAnswer::Cancel) {
                result.cancelled = true;
                break;
            }
            all = answer == PromptAnswer::Yes;
        }
        if (!all) {
            std::u16string preview = import_preview(table, row);
            const PromptAnswer answer = prompt.ask({preview, load_string(text_id::kConfirmTitle),
                                                    PromptButtons::YesNoCancel, PromptIcon::None});
            wipe(preview);
            if (answer == PromptAnswer::Cancel) {
                result.cancelled = true;
                break;
            }
            if (answer != PromptAnswer::Yes) continue;
        }

        if (result.folder == kNoIndex) {
            TreeNode node = document.new_folder(NodeId{});
            const std::u16string date = format_date(clock().now(), locale_formats().short_date);
            node.set_name(
                format_message(u"%s %s", {load_string(text_id::kImportFolderName), date}));
            node.set_icon(kImportFolderIcon);
            result.folder = document.store_folder(node);
            if (result.folder == kNoIndex) return write_failed();
            folder = node.id();
        }

        Card card = document.new_card(folder);
        card.node()->set_name(table.cell(row, 0));
        card.node()->set_icon(kImportedCardIcon);
        for (size_t i = 1; i < columns; ++i)
            card.insert_field(imported_field(table.cell(0, i), table.cell(row, i)));
        if (document.store_card(card) >= 0) {
            ++result.imported;
        } else {
            ++result.failed;  // skipped; the closing messages tell
        }
    }

    // The report says how many rows the file held, so that no row goes missing untold, and
    // which columns were left out.
    std::u16string report =
        format_message(load_string(text_id::kImported), {static_cast<int64_t>(result.imported)});
    report += u"\n" + format_message(load_string(text_id::kImportRowsRead),
                                     {static_cast<int64_t>(result.rows_read)});
    if (result.columns_left_out > 0)
        report += u"\n" + format_message(load_string(text_id::kImportColumnsLeftOut),
                                         {static_cast<int64_t>(result.columns_left_out)});
    if (result.imported > 0) tell(prompt, report, text_id::kProductName, PromptIcon::Information);
    if (result.failed > 0) {
        tell(prompt, load_string(text_id::kImportWriteFailed), text_id::kErrorTitle,
             PromptIcon::Error);
    }
    return result;
}

}  // namespace

TextImportResult import_tab_table(WalletDocument& document, const TabTextTable& table,
                                  Prompt& prompt) {
    // The questions run as one operation of the document: nothing can close or change it
    // from the caller's event loop while a question is open.
    WalletDocument::Operation operation = document.begin_operation(prompt);
    if (!operation.started()) return {TextImportStatus::Busy};
    return import_rows(document, table, operation);
}

TextImportResult import_text_file(WalletDocument& document, const std::filesystem::path& path,
                                  Prompt& prompt) {
    std::optional<TabTextTable> table = read_tab_text_file(path);
    if (!table) {
        tell(prompt, load_string(text_id::kImportUnreadable), text_id::kErrorTitle,
             PromptIcon::Error);
        TextImportResult result;
        result.status = TextImportStatus::Unreadable;
        return result;
    }
    return import_tab_table(document, *table, prompt);
}

}  // namespace ks
