#pragma once
// The date-time record used for every stored time and for date field values.
#include <cstddef>
#include <cstdint>
#include <span>

namespace ks {

struct DateTime {
    uint16_t year = 0;
    uint16_t month = 0;
    uint16_t day_of_week = 0;  // 0 = Sunday
    uint16_t day = 0;
    uint16_t hour = 0;
    uint16_t minute = 0;
    uint16_t second = 0;
    uint16_t milliseconds = 0;

    static constexpr size_t kSize = 16;

    bool operator==(const DateTime&) const = default;
    bool is_zero() const { return *this == DateTime{}; }
};

// Eight little-endian 16-bit values in field order. `out`/`in` must hold 16 bytes.
void encode_datetime(const DateTime& t, std::span<uint8_t> out);
DateTime decode_datetime(std::span<const uint8_t> in);

}  // namespace ks
