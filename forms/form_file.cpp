#include "forms/form_file.h"

#include <array>
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

// Every chunk of the payload lies inside it and holds what its header announces. The card
// reader tolerates cut-short chunks; a form file with one is refused instead.
bool payload_whole(std::span<const uint8_t> payload) {
    bool whole = true;
    for_each_chunk(payload, [&](const PayloadChunk<const uint8_t>& chunk) {
        if (chunk.cut_short() || !chunk_items_fit(chunk.body, chunk.type)) whole = false;
    });
    return whole;
}

void set_error(FormReadError* error, FormReadError value) {
    if (error) *error = value;
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

// Importing --------------------------------------------------------------------------------------

}  // namespace ks
