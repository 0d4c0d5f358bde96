#include "forms/form_file_messages.h"

#include <system_error>

#include "core/keys.h"
#include "core/node_id.h"
#include "platform/clock.h"
#include "platform/locale_format.h"
#include "platform/message_format.h"
#include "platform/text.h"
#include "platform/texts.h"
#include "platform/user_dirs.h"

namespace ks {
namespace {

namespace ff = form_file;
namespace fn = format::node;

// A name as the import question and the summary show it: 28 characters, "..." when longer.
std::u16string shown_name(std::u16string_view name) {
    if (name.size() <= ff::kShownNameLength) return std::u16string(name);
    return std::u16string(cut_units(name, ff::kShownNameLength)) + u"...";
}

// The header's date in the user's short date format.
std::u16string date_text(const DateTime& date) {
    return format_date(date, locale_formats().short_date);
}

// A text from the file on one line: a line break inside it would show as a line of the
// program's own.
std::u16string one_line(std::u16string text) {
    for (char16_t& c : text)
        if (c == u'\r' || c == u'\n' || c == u'\u2028' || c == u'\u2029') c = u' ';
    return text;
}

// The name, description, author and date lines shared by the question and the summary.
std::u16string form_lines(const FormFileContents& form) {
    const TreeNode& node = *form.card.node();
    std::u16string text =
        load_string(text_id::kFormNameLabel) + u" " + one_line(shown_name(node.name())) + u"\n";
    if (!form.header.description.empty())
        text += load_string(text_id::kFormDescriptionLabel) + u" " +
                one_line(form.header.description) + u"\n";
    if (!form.header.author.empty())
        text +=
            load_string(text_id::kFormAuthorLabel) + u" " + one_line(form.header.author) + u"\n";
    text += load_string(text_id::kFormDateLabel) + u" " + date_text(form.header.written) + u"\n";
    return text;
}

std::filesystem::path path_from(std::u16string_view text) {
    return std::filesystem::path(to_utf8(text));
}

}  // namespace

PromptMessage form_exported_message(const std::filesystem::path& folder,
                                    std::u16string_view file_name) {
    return {format_message(load_string(text_id::kFormExported),
                           {from_utf8(folder.string()), file_name}),
            load_string(text_id::kExportTitle), PromptButtons::Ok, PromptIcon::Information};
}

PromptMessage form_export_failed_message() {
    return {load_string(text_id::kFormExportFailed), load_string(text_id::kErrorTitle),
            PromptButtons::Ok, PromptIcon::Error};
}

FormExportResult export_form_file(WalletDocument& document, const NodeId& id,
                                  const std::filesystem::path& folder, bool keep_values,
                                  std::optional<std::u16string_view> author,
                                  std::optional<std::u16string_view> description, Prompt* prompt) {
    FormExportResult result;
    auto failed = [&](FormFileResult code) {
        result.code = code;
        if (prompt) prompt->ask(form_export_failed_message());
        return result;
    };
    const int index = document.list_index_of(id);
    if (document.kind_of(index) != static_cast<int>(NodeKind::Card))
        return failed(FormFileResult::NoCard);
    auto card = document.load_card(id);
    if (!card) return failed(FormFileResult::NoCard);

    const std::filesystem::path dir = folder.empty() ? documents_directory() : folder;
    if (dir.empty()) return failed(FormFileResult::HeaderFailed);
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    if (!std::filesystem::is_directory(dir, ec)) return failed(FormFileResult::HeaderFailed);

    const std::u16string name =
        form_file_name(card->node()->name(), clock().now(), file_name_limit(dir));
    result.file = dir / path_from(name);
    result.code = save_form_file(*card, result.file, keep_values, author, description);
    if (result.code != FormFileResult::Written) return failed(result.code);
    result.written = true;
    if (prompt) prompt->ask(form_exported_message(dir, name));
    return result;
}

PromptMessage import_form_question(const FormFileContents& form) {
    return {load_string(text_id::kFormImportQuestion) + u"\n\n" + form_lines(form),
            load_string(text_id::kConfirmTitle), PromptButtons::YesNo, PromptIcon::Question};
}

PromptMessage form_file_summary(const FormFileContents& form) {
    std::u16string text = form_lines(form) + u"\r\n--------------------\r\n";
    const auto& fields = form.card.fields();
    for (const FieldRecord& field : fields) text += field.label() + u"\r\n";
    if (fields.size() > ff::kSummaryFieldCount) text += u"...";
    return {std::move(text), load_string(text_id::kProductName), PromptButtons::Ok,
            PromptIcon::None};
}

std::optional<PromptMessage> form_file_summary(const std::filesystem::path& path) {
    const KeyContext form_key = form_file_key();
    auto form = read_form_file(path, form_key);
    if (!form) return std::nullopt;
    return form_file_summary(*form);
}

FormImportResult import_form_file(WalletDocument& document, const std::filesystem::path& path,
                                  Prompt& prompt) {
    FormReadError error = FormReadError::None;
    auto form = read_form_file(path, document.record_key(), &error);
    if (!form) {
        switch (error) {
            case FormReadError::NotAFormFile:
                return {FormImportStatus::NotAFormFile};
            case FormReadError::Damaged:
                return {FormImportStatus::Damaged};
            default:
                return {FormImportStatus::CannotOpen};
        }
    }
    const TreeNode* forms = document.my_forms_folder();
    if (!forms) return {FormImportStatus::NoMyForms};
    if (!document.is_open() || document.read_only()) return {FormImportStatus::StoreFailed};
    const NodeId forms_id = forms->id();
    WalletDocument::Operation operation = document.begin_operation(prompt);
    if (!operation.started()) return {FormImportStatus::Busy};
    if (operation.ask(import_form_question(*form)) != PromptAnswer::Yes)
        return {FormImportStatus::Declined};

    TreeNode& node = *form->card.node();
    NodeHeader& h = node.header();
    node.set_id(new_node_id());
    h.set_parent(forms_id);
    h.set_default_form(FormId{});
    h.set_deleted(false);
    const DateTime now = clock().now();
    h.set_time(fn::kCreatedTime, now);
    h.set_time(fn::kModifiedTime, now);
    h.set_time(fn::kDeletedTime, DateTime{});
    h.set_change_bits(node_change::kCreated);
    node.set_dirty(true);
    // The name was enciphered under the document's key, which the operation kept in place.
    node.set_record_key(document.node_key());
    const int index = document.store_card(form->card);
    if (index < 0) return {FormImportStatus::StoreFailed};
    return {FormImportStatus::Imported, index};
}

}  // namespace ks
