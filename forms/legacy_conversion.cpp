#include "forms/legacy_conversion.h"

#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <set>

#include "core/card.h"
#include "core/wallet_document.h"
#include "forms/builtin_forms.h"
#include "forms/custom_forms.h"
#include "platform/atomic_file.h"
#include "platform/clock.h"
#include "platform/message_format.h"
#include "platform/string_table.h"
#include "platform/text.h"
#include "platform/texts.h"

namespace ks {
namespace {

namespace lf = legacy_format;

std::u16string path_text(const std::filesystem::path& path) {
    return from_utf8(path.string());
}

// Picture positions of the previous format and the picture settings they become.
std::optional<int32_t> picture_setting(uint32_t position) {
    switch (position) {
        case 1:
            return 1;
        case 2:
            return 3;
        case 3:
            return 2;
        default:
            return std::nullopt;
    }
}

// The format of picture bytes that came without a file name, from their leading bytes.
ImageFormat image_format_from_bytes(std::span<const uint8_t> data) {
    if (data.size() >= 2 && data[0] == 'B' && data[1] == 'M') return ImageFormat::Bmp;
    if (data.size() >= 3 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF)
        return ImageFormat::Jpeg;
    if (data.size() >= 4 && data[0] == 'G' && data[1] == 'I' && data[2] == 'F' && data[3] == '8')
        return ImageFormat::Gif;
    return ImageFormat::Other;
}

// A stored file name: the part after the last backslash or slash, cut to the attachment limit.
std::u16string attachment_name(std::span<const uint8_t> data, uint32_t tag) {
    const std::u16string text = legacy_tag_text(data, tag, lf::kCustomFormsNameUnits);
    const size_t cut = text.find_last_of(u"\\/");
    const std::u16string name = cut == std::u16string::npos ? text : text.substr(cut + 1);
    return name.substr(0, kMaxAttachmentNameUnits);
}

// The form a card names by its code: a built-in form, else a custom definition.
struct FormFields {
    struct Field {
        uint32_t code;
        std::u16string label;
        LegacyFieldType type;
        bool pin;
    };
    std::vector<Field> fields;
};

std::optional<FormFields> form_for_code(int32_t code,
                                        const std::vector<CustomFormDefinition>& custom) {
    FormFields form;
    if (code >= 0) {
        if (const BuiltInForm* builtin = builtin_form_by_code(static_cast<uint32_t>(code))) {
            for (const BuiltInFormField& f : builtin->fields)
                form.fields.push_back({f.field_code, load_string(f.label_text), f.type, f.pin});
            return form;
        }
    }
    for (const CustomFormDefinition& definition : custom) {
        if (definition.code != code) continue;
        for (const CustomFormField& f : definition.fields)
            form.fields.push_back({static_cast<uint32_t>(f.code), f.label, f.type, f.pin});
        return form;
    }
    return std::nullopt;
}

bool is_reserved_tag(uint32_t tag) {
    return tag == lf::kTagNotes || tag == lf::kTagPicture || tag == lf::kTagPicturePosition ||
           tag == lf::kTagPictureName || tag == lf::kTagSound || tag == lf::kTagSoundName;
}

FieldRecord make_field(uint16_t kind, std::u16string_view label, std::u16string_view value) {
    FieldRecord field;
    field.set_kind(kind);
    if (!label.empty()) field.set_label(label);
    if (!value.empty()) field.set_value(value);
    return field;
}

// Fills a new card from an item record and its deciphered data.
void fill_card(Card& card, const LegacyItemRecord& record, std::span<const uint8_t> data,
               const std::vector<CustomFormDefinition>& custom) {
    card.node()->set_icon(record.icon());
    if (auto form = form_for_code(record.form_code(), custom)) {
        for (const FormFields::Field& f : form->fields) {
            const std::u16string value = legacy_tag_text(data, f.code, kConvertedValueMaxLength);
            card.insert_field(make_field(field_kind_for_conversion(f.type, f.pin), f.label, value));
        }
    } else {
        // A form that is neither built in nor defined any more: its values are kept as text
        // fields named by their codes, rather than lost.
        std::set<uint32_t> seen;
        for (const LegacyTagEntry& entry : legacy_tag_entries(data)) {
            if (is_reserved_tag(entry.tag) || !seen.insert(entry.tag).second) continue;
            const std::u16string value = utf16le_decode(entry.value, kConvertedValueMaxLength);
            if (value.empty()) continue;
            card.insert_field(make_field(static_cast<uint16_t>(FieldKind::Text),
                                         from_utf8(std::to_string(entry.tag)), value));
        }
    }

    const std::u16string notes = legacy_tag_text(data, lf::kTagNotes);
    if (!notes.empty()) {
        FieldRecord field = make_field(static_cast<uint16_t>(FieldKind::Text),
                                       load_string(text_id::kConvertNotesLabel), notes);
        field.set_flags(kFieldFlagTextKindsOnly);
        card.insert_field(std::move(field));
    }

    if (data.empty()) return;
    if (record.has_picture()) {
        auto position = legacy_find_tag(data, lf::kTagPicturePosition);
        auto picture = legacy_find_tag(data, lf::kTagPicture);
        std::optional<int32_t> setting;
        if (position && position->size() >= 4) setting = picture_setting(get_u32(*position, 0));
        if (setting && picture) {
            const std::u16string name = attachment_name(data, lf::kTagPictureName);
            card.picture().set_from_bytes(
                *picture, name.empty() ? std::nullopt : std::optional<std::u16string_view>(name),
                image_format_from_bytes(*picture), *setting);
        }
    }
    if (record.has_sound()) {
        if (auto sound = legacy_find_tag(data, lf::kTagSound))
            card.sound().set_from_bytes(*sound, attachment_name(data, lf::kTagSoundName));
    }
    CardStyle style = card.style();
    style[8 / 4] = record.style1();
    style[16 / 4] = record.style1();
    style[12 / 4] = record.style2();
    if (record.flags() & 0x02) style[48 / 4] = 1;
    if (record.flags() & 0x01) style[52 / 4] = 1;
    card.set_style(style);
}

FormId folder_default_form(int32_t code) {
    const auto forms = builtin_forms();
    const BuiltInForm* form =
        code >= 0 ? builtin_form_by_code(static_cast<uint32_t>(code)) : nullptr;
    return builtin_form_id(form ? static_cast<uint32_t>(form - forms.data()) : 0);
}

// Reads the custom-forms file named in the header: from the program's folder, then from the
// previous wallet's folder. Only the name's last component is used, so a stored path cannot
// lead elsewhere.
std::optional<std::vector<CustomFormDefinition>> load_custom_forms(std::u16string_view stored,
                                                                   ConversionOutcome& outcome) {
    const size_t cut = stored.find_last_of(u"\\/");
    const std::u16string name(cut == std::u16string_view::npos ? stored : stored.substr(cut + 1));
    if (name.empty() || name == u"." || name == u"..") return std::nullopt;
    const std::filesystem::path file = to_utf8(name);
    for (const std::filesystem::path& folder :
         {outcome.program_folder, outcome.legacy_path.parent_path()}) {
        const std::filesystem::path candidate = folder / file;
        outcome.custom_forms_searched.push_back(candidate);
        CustomFormsRead read = read_custom_forms(candidate);
        if (read.result == CustomFormsResult::Read) return std::move(read.forms);
    }
    return std::nullopt;
}

// The new wallet under construction, removed unless it was given its final name.
class PendingWallet {
  public:
    explicit PendingWallet(const std::filesystem::path& target) : target_(target) {}
    ~PendingWallet() {
        document.close();
        if (!temp_.empty()) {
            std::error_code ec;
            std::filesystem::remove(temp_, ec);
        }
    }
    PendingWallet(const PendingWallet&) = delete;
    PendingWallet& operator=(const PendingWallet&) = delete;

    // Creates the wallet beside the target under an unused temporary name and loads it.
    bool create(std::u16string_view password) {
        for (int attempt = 0; attempt < 100; ++attempt) {
            const std::filesystem::path temp = temporary_path_beside(target_);
            const CreateResult created = document.create(temp, password, std::nullopt, false);
            if (created == CreateResult::Exists) continue;
            if (created != CreateResult::Created) return false;
            temp_ = temp;
            return document.load(temp_, password) == OpenResult::Opened;
        }
        return false;
    }

    // Gives the finished file its name unless that name is taken; never replaces a file.
    PlaceResult finish() {
        const bool saved = document.save_blocks() == SaveResult::Saved;
        document.close();
        if (!saved) return PlaceResult::Failed;
        const PlaceResult placed = put_in_place(temp_, target_, ReplaceMode::KeepExisting);
        if (placed == PlaceResult::Placed) temp_.clear();
        return placed;
    }

    WalletDocument document;

  private:
    std::filesystem::path target_;
    std::filesystem::path temp_;
};

// Steps after the password has been taken.
ConversionResult convert_open_wallet(LegacyWalletReader& reader, std::u16string_view password,
                                     ConversionOutcome& outcome) {
    std::vector<CustomFormDefinition> custom;
    if (reader.has_custom_forms()) {
        auto forms = load_custom_forms(reader.custom_forms_name(), outcome);
        if (!forms) return ConversionResult::NoCustomForms;
        custom = std::move(*forms);
    }

    std::error_code ec;
    if (std::filesystem::symlink_status(outcome.new_path, ec).type() !=
        std::filesystem::file_type::not_found)
        return ConversionResult::TargetExists;
    PendingWallet pending(outcome.new_path);
    if (!pending.create(password)) return ConversionResult::CannotCreate;
    const std::optional<LegacyWalletReader::Tree> tree = reader.read_tree();
    if (!tree) return ConversionResult::Damaged;
    if (tree->folders.empty()) return ConversionResult::NoFolders;
    if (tree->cut_short) ++outcome.unreadable;

    WalletDocument& document = pending.document;
    for (size_t f = 0; f < tree->folders.size(); ++f) {
        const LegacyFolderRecord& record = tree->folders[f];
        TreeNode folder = document.new_folder({});
        folder.set_name(record.name());
        folder.set_icon(record.icon());
        folder.set_default_form(folder_default_form(record.default_form()));
        if (document.store_folder(folder) < 0) return ConversionResult::CannotCreate;
        ++outcome.folders;

        for (const LegacyItemRecord& item : tree->items[f]) {
            // A card whose data cannot be read is still made, from its record, without values.
            auto data = reader.read_item_data(item);
            if (!data) ++outcome.unreadable;
            Card card = document.new_card(folder.id());
            card.node()->set_name(item.name());
            fill_card(card, item, data ? data->span() : std::span<const uint8_t>(), custom);
            if (document.store_card(card) < 0) return ConversionResult::CannotCreate;
            ++outcome.cards;
        }
    }
    switch (pending.finish()) {
        case PlaceResult::Placed:
            return ConversionResult::Converted;
        case PlaceResult::TargetExists:
            return ConversionResult::TargetExists;
        case PlaceResult::Failed:
            break;
    }
    return ConversionResult::CannotCreate;
}

}  // namespace

bool is_legacy_wallet_path(const std::filesystem::path& path) {
    const std::u16string text = path_text(path);
    if (text.size() <= 5) return false;
    const size_t dot = text.rfind(u'.');
    return dot != std::u16string::npos &&
           iequals_ascii(std::u16string_view(text).substr(dot), u".wal");
}

std::filesystem::path converted_wallet_path(const std::filesystem::path& legacy) {
    std::string text = legacy.string();
    const size_t dot = text.rfind('.');
    if (dot != std::string::npos) text.resize(dot);
    return text + ".ks5";
}

ConversionOutcome convert_legacy_wallet(const std::filesystem::path& legacy, Prompt& prompt,
                                        const PasswordRequest& ask_password,
                                        const ConversionOptions& options) {
    ConversionOutcome outcome;
    outcome.legacy_path = legacy;
    outcome.new_path = converted_wallet_path(legacy);
    outcome.program_folder =
        options.program_folder.empty() ? data_directory() : options.program_folder;
    auto finish = [&](ConversionResult result) {
        outcome.result = result;
        if (options.show_messages) {
            if (auto message = conversion_message(outcome)) prompt.ask(*message);
        }
        return outcome;
    };
    if (!is_legacy_wallet_path(legacy)) return finish(ConversionResult::NotLegacyWallet);

    const PromptAnswer answer =
        prompt.ask({load_string(text_id::kConvertAsk), load_string(text_id::kProductName),
                    PromptButtons::YesNo, PromptIcon::Question});
    if (answer != PromptAnswer::Yes) return finish(ConversionResult::Cancelled);
    std::optional<SecretText> password =
        ask_password ? ask_password(path_text(legacy.stem())) : std::nullopt;
    if (!password) return finish(ConversionResult::Cancelled);

    LegacyWalletReader reader;
    const LegacyOpenResult opened = reader.open(legacy, *password, &outcome.values);
    ConversionResult result = ConversionResult::CannotOpen;
    switch (opened) {
        case LegacyOpenResult::Opened:
            result = convert_open_wallet(reader, *password, outcome);
            break;
        case LegacyOpenResult::CannotOpen:
            result = ConversionResult::CannotOpen;
            break;
        case LegacyOpenResult::NotLegacyWallet:
            result = ConversionResult::NotLegacyWallet;
            break;
        case LegacyOpenResult::WrongPassword:
            result = ConversionResult::WrongPassword;
            break;
    }
    reader.close();
    std::fill(password->begin(), password->end(), u'\0');
    return finish(result);
}

std::optional<PromptMessage> conversion_message(const ConversionOutcome& outcome) {
    PromptMessage message;
    message.caption = load_string(text_id::kProductName);
    message.buttons = PromptButtons::Ok;
    message.icon = PromptIcon::Error;
    const std::u16string legacy_name = path_text(outcome.legacy_path.filename());
    const std::u16string legacy_folder = path_text(outcome.legacy_path.parent_path());
    const std::u16string detail =
        format_message(load_string(text_id::kConvertDetail), {legacy_name, legacy_folder});
    switch (outcome.result) {
        case ConversionResult::Cancelled:
            return std::nullopt;
        case ConversionResult::Converted:
            message.text = format_message(load_string(text_id::kConverted),
                                          {path_text(outcome.new_path.filename())});
            message.icon = PromptIcon::Information;
            if (outcome.unreadable > 0) {
                message.text +=
                    u"\n\n" + format_message(load_string(text_id::kConvertUnreadable),
                                             {static_cast<int64_t>(outcome.unreadable)});
                message.icon = PromptIcon::Exclamation;
            }
            break;
        case ConversionResult::WrongPassword:
            message.text = load_string(text_id::kConvertWrongPassword) + u"\n" + detail;
            break;
        case ConversionResult::NotLegacyWallet:
            message.text = load_string(text_id::kConvertNotReadable) + u"\n" + detail;
            break;
        case ConversionResult::Damaged:
            message.text = load_string(text_id::kConvertDamaged) + u"\n" + detail;
            break;
        case ConversionResult::CannotCreate:
            message.text = load_string(text_id::kConvertCannotCreate) + u"\n" + detail;
            break;
        case ConversionResult::TargetExists:
            message.text = load_string(text_id::kConvertExists) + detail;
            break;
        case ConversionResult::NoFolders:
            message.text = load_string(text_id::kConvertNoFolders) + detail;
            message.icon = PromptIcon::Information;
            break;
        case ConversionResult::NoCustomForms: {
            std::u16string pattern = load_string(text_id::kConvertNoCustomForms);
            if (pattern.size() < 2) pattern = kNoCustomFormsFallback;
            message.text = format_message(pattern, {path_text(outcome.program_folder)});
            break;
        }
        default:
            message.text =
                format_message(u"%s%s\n%s: %02d", {load_string(text_id::kConvertNotReadable),
                                                   detail, load_string(text_id::kErrorTitle),
                                                   static_cast<int64_t>(outcome.result)});
            break;
    }
    return message;
}

}  // namespace ks
