#include <filesystem>
#include <string>

#include "cli/commands/commands.h"
#include "cli/context.h"
#include "cli/items.h"
#include "forms/text_import.h"

namespace ks::cli {
namespace {

std::string read_failure(TabTextReadError error, const std::string& file) {
    const std::string quoted = "\"" + file + "\"";
    switch (error) {
        case TabTextReadError::CannotOpen:
            return quoted +
                   " cannot be opened: it does not exist, is not a file, or is unreadable.";
        case TabTextReadError::Empty:
            return quoted + " is empty.";
        case TabTextReadError::TooLarge:
            return quoted + " is too large to import (more than " +
                   std::to_string(kMaxImportFileBytes / (1024 * 1024)) + " MiB).";
        case TabTextReadError::ReadFailed:
        case TabTextReadError::None:
            break;
    }
    return quoted + " could not be read.";
}

std::string too_much(const ImportSize& size, const std::string& file) {
    constexpr uint64_t kMegabyte = 1024 * 1024;
    const auto megabytes = [](uint64_t bytes) {
        return std::to_string((bytes + kMegabyte - 1) / kMegabyte);
    };
    return "The cards of \"" + file + "\" would take " + megabytes(size.needed) +
           " MiB in the wallet; one import may add at most " + megabytes(size.allowed) +
           " MiB for this file (" + std::to_string(kImportAllowanceBytes / kMegabyte) +
           " MiB and " + std::to_string(kImportGrowthFactor) +
           " times its size). Nothing was imported: long column labels or many columns with "
           "short rows make a file grow this much.";
}

Status run(Context& context, const Args& args) {
    const bool yes = args.has("--yes");
    // Every card is confirmed unless --yes is given; with nobody to answer, nothing is done.
    if (!yes && !context.io.in_is_terminal)
        return fail(Exit::Refused,
                    "The import asks about every card: give --yes to import all rows without "
                    "questions.");
    const std::string& file = args.positional[1];

    // The file is read and checked before the wallet is opened, so that a wrong file costs no
    // password.
    TabTextReadError error = TabTextReadError::None;
    std::optional<TabTextTable> table = read_tab_text_file(std::filesystem::path(file), &error);
    if (!table) return fail(Exit::IoFailure, read_failure(error, file));
    if (!import_data_rows(*table))
        return fail(Exit::Failure,
                    "\"" + file +
                        "\" is not a card list: its first line must name the columns, starting "
                        "with CardName or Card Name (at least 2 columns), and at least one line "
                        "must follow.");
    if (const ImportSize size = import_size(*table); !size.within())
        return fail(Exit::Failure, too_much(size, file));

    if (Status s = context.open_wallet(args.positional[0], true); !s.ok()) return s;
    WalletDocument& doc = context.document;
    TerminalPrompt prompt(context.io, yes);
    if (!confirm_text_import(prompt)) return fail(Exit::Refused, "The import was not made.");

    const TextImportResult result = import_tab_table(doc, *table, prompt);
    if (result.status == TextImportStatus::WriteFailed)
        return change_failed(doc, "The cards could not be written to the wallet");
    if (result.status == TextImportStatus::TooMuch)
        return fail(Exit::Failure, too_much(import_size(*table), file));
    if (result.status == TextImportStatus::Busy)
        return fail(Exit::Failure, "The wallet is busy with another operation.");
    if (result.status == TextImportStatus::NotACardList)
        return fail(Exit::Failure, "\"" + file + "\" is not a card list.");
    if (result.folder != kNoIndex) context.io.out << item_path(doc, result.folder) << "\n";
    // The report on standard error says the same in the language's words; this line is the one
    // for scripts.
    context.io.out << result.rows_read << (result.rows_read == 1 ? " row" : " rows") << " read, "
                   << result.imported << (result.imported == 1 ? " card" : " cards") << " imported";
    if (result.columns_left_out > 0)
        context.io.out << ", " << result.columns_left_out
                       << (result.columns_left_out == 1 ? " column" : " columns") << " left out";
    context.io.out << "\n";
    if (result.failed > 0)
        return fail(Exit::IoFailure, std::to_string(result.failed) +
                                         " accepted rows could not be written to the wallet.");
    return Status::fine();
}

}  // namespace

Command import_command() {
    return {"import",
            "WALLET FILE",
            "Import a tab-separated text file (UTF-8, UTF-16 or Windows-1252) whose first line "
            "names the columns, CardName first: one card per further line, in a new top-level "
            "folder. Asks about each card on a terminal.",
            {{"--yes", "", "import every row without questions"}},
            2,
            2,
            run};
}

}  // namespace ks::cli
