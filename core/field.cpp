#include "core/field.h"

#include <algorithm>

#include "core/format.h"
#include "core/stored_text.h"
#include "platform/locale_format.h"
#include "platform/texts.h"

namespace ks {
namespace {

namespace fp = format::payload;
constexpr size_t kMaxFormattedUnits = 127;

std::u16string cut(std::u16string text, size_t units) {
    if (text.size() > units) text.resize(units);
    return text;
}

}  // namespace

uint32_t field_kind_name_id(uint16_t kind) {
    switch (kind) {
        case 3:
            return 24504;
        case 4:
            return 24515;
        case 5:
            return 24505;
        case 6:
            return 24506;
        case 7:
            return 24507;
        case 8:
            return 24508;
        case 9:
            return 24509;
        case 10:
            return 24510;
        case 11:
            return 24511;
        case 12:
            return 24512;
        case 13:
            return 24513;
        case 15:
            return 24501;
        case 16:
            return 24502;
        default:
            return 24500;
    }
}

bool is_date_kind(uint16_t kind) {
    return kind >= 8 && kind <= 10;
}
bool is_list_kind(uint16_t kind) {
    return kind == 11 || kind == 12;
}

FieldRecord::FieldRecord() : changes_(field_change::kNew) {}

void FieldRecord::set_kind(uint16_t kind) {
    if (kind == kind_) return;
    if (is_date_kind(kind) && !is_date_kind(kind_)) {
        date_ = {};
        value_.clear();
        changes_ |= field_change::kDate;
    }
    if (kind == static_cast<uint16_t>(FieldKind::ChoiceList)) {
        list_.clear();
        add_list_item(load_string(text_id::kYes));
        add_list_item(load_string(text_id::kNo));
    }
    kind_ = kind;
    changes_ |= field_change::kKind;
}

void FieldRecord::set_label(std::u16string_view text) {
    if (text == label_) return;
    label_ = text;
    changes_ |= field_change::kLabel;
}

void FieldRecord::set_value(std::u16string_view text) {
    if (text == value_) return;
    if (text.empty()) date_ = {};
    value_ = text;
    changes_ |= field_change::kValue;
}

bool FieldRecord::set_date(std::optional<DateTime> date) {
    if (!is_date_kind(kind_)) return false;
    date_ = date.value_or(DateTime{});
    value_.clear();
    changes_ |= field_change::kDate;
    return true;
}

bool FieldRecord::add_list_item(std::u16string_view text) {
    if (text.empty() || list_.size() >= fp::kMaxListItems) return false;
    std::u16string item(text);
    std::replace(item.begin(), item.end(), fp::kListSeparator, u' ');
    list_.push_back(std::move(item));
    changes_ |= field_change::kList;
    return true;
}

void FieldRecord::set_list(std::u16string_view joined) {
    clear_list();
    size_t start = 0;
    while (start <= joined.size()) {
        size_t end = joined.find(fp::kListSeparator, start);
        if (end == std::u16string_view::npos) end = joined.size();
        if (end > start) add_list_item(joined.substr(start, end - start));
        start = end + 1;
    }
}

void FieldRecord::clear_list() {
    if (list_.empty()) return;
    list_.clear();
    changes_ |= field_change::kList;
}

std::optional<std::u16string> FieldRecord::list_item(size_t index, size_t max_units) const {
    if (!is_list_kind(kind_) || index >= list_.size() || max_units == 0) return std::nullopt;
    return cut(list_[index], max_units - 1);
}

int FieldRecord::yes_no_state() const {
    if (value_ == u"1") return 1;
    if (value_ == u"0") return 0;
    return 2;
}

SecretText FieldRecord::display_text() const {
    switch (kind_) {
        case 8:
        case 9:
        case 10: {
            if (date_.year == 0) return {};
            std::u16string date = cut(format_date(date_, short_date_format4()), kMaxFormattedUnits);
            std::u16string time =
                cut(format_time(date_, time_format_no_seconds()), kMaxFormattedUnits);
            if (kind_ == 8) return SecretText(date);
            if (kind_ == 9) return SecretText(time);
            return SecretText(date + u"  " + time);
        }
        case 13: {
            int state = yes_no_state();
            return SecretText(state == 1   ? load_string(text_id::kYes)
                              : state == 0 ? load_string(text_id::kNo)
                                           : u"");
        }
        default:
            return value_;
    }
}

size_t FieldRecord::display_length() const {
    if (kind_ == 13) return yes_no_state() == 2 ? 0 : 32;
    return display_text().size();
}

std::u16string FieldRecord::joined_list() const {
    std::u16string joined;
    for (const auto& item : list_) {
        if (item.empty()) continue;
        if (!joined.empty()) joined += fp::kListSeparator;
        joined += item;
    }
    return joined;
}

size_t FieldRecord::serialized_size() const {
    size_t total = fp::kFieldHeaderSize;
    if (!label_.empty()) total += text_stored_size(label_.size() * 2).stored;
    if (!value_.empty()) total += text_stored_size(value_.size() * 2).stored;
    if (is_list_kind(kind_)) total += text_stored_size(joined_list().size() * 2).stored;
    return total;
}

Bytes FieldRecord::serialize(const KeyContext& key) const {
    Bytes out(fp::kFieldHeaderSize, 0);
    StoredSize label = append_text(out, label_, key);
    StoredSize value = append_text(out, value_, key);
    StoredSize list;
    if (is_list_kind(kind_)) list = append_text(out, joined_list(), key, /*store_empty=*/true);

    std::span<uint8_t> h(out.data(), fp::kFieldHeaderSize);
    put_u16(h, 0, kind_);
    put_u16(h, 2, flags_);
    std::copy(reserved4_.begin(), reserved4_.end(), h.begin() + 4);
    put_i32(h, 8, label_colour_);
    put_i32(h, 12, value_colour_);
    put_u32(h, fp::kFieldLabelItem, label.stored);
    put_u32(h, fp::kFieldLabelItem + 4, label.pad);
    encode_datetime(date_, h.subspan(24, 16));
    put_u32(h, fp::kFieldValueItem, value.stored);
    put_u32(h, fp::kFieldValueItem + 4, value.pad);
    put_u32(h, fp::kFieldListItem, list.stored);
    put_u32(h, fp::kFieldListItem + 4, list.pad);
    put_u32(h, 56, static_cast<uint32_t>(out.size() - fp::kFieldHeaderSize));
    std::copy(reserved60_.begin(), reserved60_.end(), h.begin() + 60);
    return out;
}

std::optional<FieldRecord> FieldRecord::parse(std::span<const uint8_t> chunk,
                                              const KeyContext& key) {
    if (chunk.size() < fp::kFieldHeaderSize) return std::nullopt;
    auto h = chunk.first(fp::kFieldHeaderSize);
    FieldRecord f;
    f.kind_ = get_u16(h, 0);
    f.flags_ = get_u16(h, 2);
    std::copy_n(h.begin() + 4, 4, f.reserved4_.begin());
    f.label_colour_ = get_i32(h, 8);
    f.value_colour_ = get_i32(h, 12);
    f.date_ = decode_datetime(h.subspan(24, 16));
    std::copy_n(h.begin() + 60, 12, f.reserved60_.begin());

    StoredItemReader items(chunk, fp::kFieldHeaderSize);
    auto next_item = [&](size_t stored_offset) {
        return items.next(get_u32(h, stored_offset), get_u32(h, stored_offset + 4));
    };
    f.label_ = decipher_text(next_item(fp::kFieldLabelItem), key);
    f.value_ = decipher_secret_text(next_item(fp::kFieldValueItem), key);
    f.set_list(decipher_text(next_item(fp::kFieldListItem), key));
    f.changes_ = 0;
    return f;
}

}  // namespace ks
