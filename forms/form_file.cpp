#include "forms/form_file.h"

#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <system_error>
#include <utility>

#include "core/chunks.h"
#include "core/keys.h"
#include "core/rekey.h"
#include "core/wallet_file.h"
#include "platform/atomic_file.h"
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
namespace fp = format::payload;

// The first `n` units of `text`, without splitting a surrogate pair at the cut.
std::u16string_view cut_units(std::u16string_view text, size_t n) {
    if (text.size() <= n) return text;
    if (n > 0 && text[n - 1] >= 0xD800 && text[n - 1] <= 0xDBFF) --n;
    return text.substr(0, n);
}

// A name as the import question and the summary show it: 28 characters, "..." when longer.
std::u16string shown_name(std::u16string_view name) {
    if (name.size() <= ff::kShownNameLength) return std::u16string(name);
    return std::u16string(cut_units(name, ff::kShownNameLength)) + u"...";
}

// Every chunk of the payload lies inside it and holds what its header announces. The card
// reader tolerates cut-short chunks; a form file with one is refused instead.
bool payload_whole(std::span<const uint8_t> payload) {
    bool whole = true;
    for_each_chunk(payload, [&](const PayloadChunk<const uint8_t>& chunk) {
        if (chunk.cut_short() || !chunk_items_fit(chunk.body, chunk.type)) whole = false;
    });
    return whole;
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

void set_error(FormReadError* error, FormReadError value) {
    if (error) *error = value;
}

std::filesystem::path path_from(std::u16string_view text) {
    return std::filesystem::path(to_utf8(text));
}

}  // namespace

// Writing ----------------------------------------------------------------------------------------

FormFileResult write_form_file(const Card& card, File& file, bool keep_values,
                               std::optional<std::u16string_view> author,
                               std::optional<std::u16string_view> description) {
    if (!card.node() || card.node()->kind() != NodeKind::Card) return FormFileResult::NoCard;
    const KeyContext form_key = form_file_key();

    std::array<uint8_t, ff::kHeaderSize> header{};
    std::copy(ff::kSignature.begin(), ff::kSignature.end(), header.begin());
    put_u32(header, ff::kVersionOffset, ff::kVersion);
    if (description)
        utf16le_write(cut_units(*description, ff::kMaxDescriptionLength),
                      std::span(header).subspan(ff::kDescriptionOffset, ff::kDescriptionSize));
    if (author)
        utf16le_write(cut_units(*author, ff::kMaxAuthorLength),
                      std::span(header).subspan(ff::kAuthorOffset, ff::kAuthorSize));
    encode_datetime(clock().now(), std::span(header).subspan(ff::kDateOffset, DateTime::kSize));
    IoResult w = file.write(header);
    if (w.failed() || w.bytes != header.size()) return FormFileResult::HeaderFailed;

    Card copy = card;
    // Without values only the field values go: picture, sound and attached files are part of
    // the form people share (a template, a checklist), as they are of a form in My Forms.
    if (!keep_values) {
        for (size_t i = 0; i < copy.fields().size(); ++i) {
            FieldRecord& field = copy.field(i);
            field.set_value(u"");
            field.set_date(std::nullopt);
        }
    }
    TreeNode& node = *copy.node();
    NodeHeader& h = node.header();
    h.set_id(NodeId{});
    h.set_parent(NodeId{});
    h.set_default_form(FormId{});
    if (node.record_key())
        reencipher_name(h, *node.record_key(), form_key);
    else
        std::fill(h.bytes.begin() + fn::kName, h.bytes.begin() + fn::kName + fn::kNameSize, 0);
    node.set_record_key(&form_key);

    Bytes payload = copy.payload(form_key);
    if (payload.size() > UINT32_MAX) return FormFileResult::CardFailed;
    h.set_payload_length(static_cast<uint32_t>(payload.size()));
    h.set_u32(fn::kReserved744, 0);
    const bool has_image = h.icon() == kCustomIcon && !node.icon_image().empty();
    if (has_image) {
        h.set_u32(fn::kIconImageLength, static_cast<uint32_t>(node.icon_image().size()));
    } else {
        if (h.icon() == kCustomIcon) h.set_icon(0);
        node.drop_icon_image();
    }

    Bytes record;
    record.reserve(fn::kHeaderSize + node.icon_image().size() + payload.size());
    record.insert(record.end(), h.bytes.begin(), h.bytes.end());
    record.insert(record.end(), node.icon_image().begin(), node.icon_image().end());
    record.insert(record.end(), payload.begin(), payload.end());
    w = file.write(record);
    secure_zero(std::span(record));
    secure_zero(std::span(payload));
    if (w.failed()) return FormFileResult::CardFailed;
    if (w.bytes == 0) return FormFileResult::CardFailed;
    if (w.bytes != record.size()) return FormFileResult::CardFailed;
    return FormFileResult::Written;
}

std::u16string form_file_name(std::u16string_view card_name, const DateTime& date, size_t limit) {
    const std::u16string suffix = format_message(
        u"_%02d%02d%d.ksx", {int64_t{date.day}, int64_t{date.month}, int64_t{date.year}});
    return fit_file_name(card_name, suffix, limit);
}

FormFileResult save_form_file(const Card& card, const std::filesystem::path& target,
                              bool keep_values, std::optional<std::u16string_view> author,
                              std::optional<std::u16string_view> description) {
    if (!card.node() || card.node()->kind() != NodeKind::Card) return FormFileResult::NoCard;
    AtomicReplacement out(target);
    if (!out.is_open()) return FormFileResult::HeaderFailed;
    const FormFileResult code = write_form_file(card, out.file(), keep_values, author, description);
    if (code != FormFileResult::Written) return code;
    return out.commit() ? FormFileResult::Written : FormFileResult::HeaderFailed;
}

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

// Reading ----------------------------------------------------------------------------------------

std::optional<FormFileContents> read_form_file(File& file, const KeyContext& wallet_key,
                                               FormReadError* error) {
    set_error(error, FormReadError::None);
    if (!file.is_open() || !file.seek(0)) {
        set_error(error, FormReadError::CannotOpen);
        return std::nullopt;
    }
    std::array<uint8_t, ff::kHeaderSize> header{};
    IoResult r = file.read(header);
    if (r.failed()) {
        set_error(error, FormReadError::CannotOpen);
        return std::nullopt;
    }
    const auto* signature = reinterpret_cast<const char*>(header.data());
    const std::string_view signature_text(signature, strnlen(signature, ff::kSignatureSize));
    if (r.bytes != header.size() || signature_text != ff::kSignature ||
        get_u32(header, ff::kVersionOffset) != ff::kVersion) {
        set_error(error, FormReadError::NotAFormFile);
        return std::nullopt;
    }

    FormFileContents form;
    form.header.description =
        utf16le_decode(std::span(header).subspan(ff::kDescriptionOffset, ff::kDescriptionSize),
                       ff::kMaxDescriptionLength);
    form.header.author = utf16le_decode(
        std::span(header).subspan(ff::kAuthorOffset, ff::kAuthorSize), ff::kMaxAuthorLength);
    form.header.written =
        decode_datetime(std::span(header).subspan(ff::kDateOffset, DateTime::kSize));

    auto damaged = [&] {
        set_error(error, FormReadError::Damaged);
        return std::nullopt;
    };
    const KeyContext form_key = form_file_key();
    TreeNode node;
    bool image_whole = true;
    if (read_node(file, node, &form_key, nullptr, &image_whole) != StorageResult::Done ||
        !image_whole || node.kind() != NodeKind::Card || node.deleted())
        return damaged();
    const uint32_t length = node.header().payload_length();
    const auto size = file.size();
    if (!size || file.position() > *size || length < fp::kStyleSize ||
        length > *size - file.position())
        return damaged();
    SecureBytes payload(length);
    r = file.read(payload.span());
    if (r.failed() || r.bytes != length || !payload_whole(payload.span())) return damaged();

    form.card.set_node(std::move(node));
    if (!form.card.parse_payload(payload.span(), form_key)) return damaged();
    TreeNode& read = *form.card.node();
    reencipher_name(read.header(), form_key, wallet_key);
    read.set_record_key(&wallet_key);
    read.set_dirty(false);
    return form;
}

std::optional<FormFileContents> read_form_file(const std::filesystem::path& path,
                                               const KeyContext& wallet_key, FormReadError* error) {
    File file = File::open(path, FileMode::ReadOnly);
    if (!file.is_open()) {
        set_error(error, FormReadError::CannotOpen);
        return std::nullopt;
    }
    return read_form_file(file, wallet_key, error);
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

// Importing --------------------------------------------------------------------------------------

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
