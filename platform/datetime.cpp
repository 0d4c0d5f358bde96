#include "platform/datetime.h"

#include "platform/bytes.h"

namespace ks {

void encode_datetime(const DateTime& t, std::span<uint8_t> out) {
    const uint16_t items[8] = {t.year, t.month,  t.day_of_week, t.day,
                               t.hour, t.minute, t.second,      t.milliseconds};
    for (size_t i = 0; i < 8; ++i) put_u16(out, i * 2, items[i]);
}

DateTime decode_datetime(std::span<const uint8_t> in) {
    return DateTime{get_u16(in, 0), get_u16(in, 2),  get_u16(in, 4),  get_u16(in, 6),
                    get_u16(in, 8), get_u16(in, 10), get_u16(in, 12), get_u16(in, 14)};
}

}  // namespace ks
