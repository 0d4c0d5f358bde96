#pragma once
// A card's field: kind, label, value or date, choice list, colours; its operations and its
// stored form (a type-1 payload chunk).
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/cipher.h"
#include "platform/bytes.h"
#include "platform/datetime.h"
#include "platform/secret.h"

namespace ks {

enum class FieldKind : uint16_t {
    Text = 1,
    WebAddress = 3,
    AutoLinkText = 4,
    Email = 5,
    Telephone = 6,
    Pin = 7,
    Date = 8,
    Time = 9,
    DateAndTime = 10,
    ChoiceList = 11,
    SecondList = 12,
    YesNo = 13,
    CapitalisedText = 15,
    TitleCaseText = 16,
};

// Text id of the kind's display name; a kind outside the table gives the name of kind 1.
uint32_t field_kind_name_id(uint16_t kind);
bool is_date_kind(uint16_t kind);
bool is_list_kind(uint16_t kind);

namespace field_change {
constexpr uint32_t kNew = 0x001;
constexpr uint32_t kKind = 0x002;
constexpr uint32_t kLabel = 0x010;
constexpr uint32_t kDate = 0x020;
constexpr uint32_t kValue = 0x040;
constexpr uint32_t kList = 0x200;
}  // namespace field_change

constexpr uint16_t kFieldFlagTextKindsOnly = 0x0008;

class FieldRecord {
  public:
    FieldRecord();  // kind 1, colours -1, change bit "new"

    uint16_t kind() const { return kind_; }
    uint16_t flags() const { return flags_; }
    int32_t label_colour() const { return label_colour_; }
    int32_t value_colour() const { return value_colour_; }
    const DateTime& date() const { return date_; }
    const std::u16string& label() const { return label_; }
    const SecretText& value() const { return value_; }
    const std::vector<std::u16string>& list() const { return list_; }
    uint32_t change_bits() const { return changes_; }

    void set_kind(uint16_t kind);
    void set_flags(uint16_t flags) { flags_ = flags; }
    void set_label_colour(int32_t c) { label_colour_ = c; }
    void set_value_colour(int32_t c) { value_colour_ = c; }
    void set_label(std::u16string_view text);
    void set_value(std::u16string_view text);
    bool set_date(std::optional<DateTime> date);  // kinds 8..10 only
    bool add_list_item(std::u16string_view text);
    void set_list(std::u16string_view joined);  // split at every "^"
    void clear_list();
    // Kinds 11 and 12 only; at most `max_units` - 1 units, as for a caller's buffer of that size.
    std::optional<std::u16string> list_item(size_t index, size_t max_units = SIZE_MAX) const;
    // Kind 13: 1 for "1", 0 for "0", 2 otherwise.
    int yes_no_state() const;
    SecretText display_text() const;
    size_t display_length() const;
    void clear_change_bits() { changes_ = 0; }
    void mark_all_changed() { changes_ = 0xFFFFFFFF; }

    // Stored form: the 72-byte header and the enciphered label, value and list.
    size_t serialized_size() const;
    Bytes serialize(const KeyContext& key) const;
    // Nothing when the chunk is shorter than the header. Stored lengths are bounded by the
    // chunk: a length that runs past it yields only the bytes present.
    static std::optional<FieldRecord> parse(std::span<const uint8_t> chunk, const KeyContext& key);

  private:
    std::u16string joined_list() const;

    uint16_t kind_ = 1;
    uint16_t flags_ = 0;
    std::array<uint8_t, 4> reserved4_{};    // header bytes 4..7, carried unchanged
    std::array<uint8_t, 12> reserved60_{};  // header bytes 60..71, carried unchanged
    int32_t label_colour_ = -1;
    int32_t value_colour_ = -1;
    DateTime date_{};
    std::u16string label_;
    SecretText value_;
    std::vector<std::u16string> list_;
    uint32_t changes_ = 0;
};

}  // namespace ks
