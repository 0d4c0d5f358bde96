#pragma once
// What the program says and asks about form files: the export and its report, the question
// before an import and the summary of a file, and the import itself.
#include <filesystem>
#include <optional>
#include <string_view>

#include "core/wallet_document.h"
#include "forms/form_file.h"
#include "platform/prompt.h"

namespace ks {

namespace form_file {
// Names shown in the import question and the summary are cut to this many characters.
constexpr size_t kShownNameLength = 28;
// The summary lists this many field labels before it adds "...".
constexpr size_t kSummaryFieldCount = 15;
// Where more forms can be found.
constexpr std::string_view kFormsWebAddress = "https://keystash.invalid/forms";
}  // namespace form_file

struct FormExportResult {
    bool written = false;
    std::filesystem::path file;
    FormFileResult code = FormFileResult::Written;
};

// The "Export" of a card as a form file: the card `id` is loaded whole and written to `folder`
// (the documents folder when empty; created when missing) under form_file_name with today's
// date. With a prompt, the outcome is reported through it (the file, or the failure).
FormExportResult export_form_file(WalletDocument& document, const NodeId& id,
                                  const std::filesystem::path& folder, bool keep_values,
                                  std::optional<std::u16string_view> author,
                                  std::optional<std::u16string_view> description,
                                  Prompt* prompt = nullptr);
PromptMessage form_exported_message(const std::filesystem::path& folder,
                                    std::u16string_view file_name);
PromptMessage form_export_failed_message();

// The question asked before a form is imported, and the summary of a form file (its name,
// description, author, date and field labels).
PromptMessage import_form_question(const FormFileContents& form);
PromptMessage form_file_summary(const FormFileContents& form);
// The summary of the file at `path`; nothing when it is not a readable form file.
std::optional<PromptMessage> form_file_summary(const std::filesystem::path& path);

enum class FormImportStatus {
    Imported,
    CannotOpen,
    NotAFormFile,
    Damaged,
    NoMyForms,
    Declined,
    StoreFailed,
    Busy,  // another operation of the document is asking a question
};

struct FormImportResult {
    FormImportStatus status = FormImportStatus::CannotOpen;
    int index = kNoIndex;  // the new card's list index when imported
};

// "Import Form": reads the file, asks import_form_question through `prompt` and on Yes stores
// the card in My Forms as a new card (new id, times now). Nothing changes otherwise.
FormImportResult import_form_file(WalletDocument& document, const std::filesystem::path& path,
                                  Prompt& prompt);

}  // namespace ks
