#include "shell/wave_data.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "platform/bytes.h"

namespace ks {

namespace {

constexpr size_t kRiffHeaderSize = 12;
constexpr size_t kChunkHeaderSize = 8;
constexpr size_t kPcmFormatSize = 16;
constexpr size_t kExtensibleFormatSize = 40;
constexpr uint16_t kFormatPcm = 1;
constexpr uint16_t kFormatExtensible = 0xFFFE;
constexpr size_t kSubformatOffset = 24;
// KSDATAFORMAT_SUBTYPE_PCM: the PCM format tag followed by the fixed tail of the GUID.
constexpr std::array<uint8_t, 16> kPcmSubformat = {0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00,
                                                   0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

bool has_id(std::span<const uint8_t> bytes, size_t offset, const char (&id)[5]) {
    return offset + 4 <= bytes.size() && std::memcmp(bytes.data() + offset, id, 4) == 0;
}

struct Chunk {
    std::span<const uint8_t> body;  // cut to what the bytes hold
    size_t next = 0;                // where the following chunk starts (may lie past the end)
};

// The chunk at `offset`, or nothing when not even its header is there.
std::optional<Chunk> chunk_at(std::span<const uint8_t> bytes, size_t offset) {
    if (offset > bytes.size() || bytes.size() - offset < kChunkHeaderSize) return std::nullopt;
    const uint64_t declared = get_u32(bytes, offset + 4);
    const size_t start = offset + kChunkHeaderSize;
    const size_t available = bytes.size() - start;
    const size_t length = static_cast<size_t>(std::min<uint64_t>(declared, available));
    const uint64_t next = uint64_t{start} + declared + (declared & 1);
    return Chunk{bytes.subspan(start, length),
                 static_cast<size_t>(std::min<uint64_t>(next, bytes.size() + 1))};
}

struct Format {
    uint16_t channels = 0;
    uint32_t sample_rate = 0;
    uint16_t bits = 0;
};

std::optional<Format> playable_format(std::span<const uint8_t> fmt) {
    if (fmt.size() < kPcmFormatSize) return std::nullopt;
    const uint16_t tag = get_u16(fmt, 0);
    if (tag == kFormatExtensible) {
        if (fmt.size() < kExtensibleFormatSize ||
            !std::equal(kPcmSubformat.begin(), kPcmSubformat.end(),
                        fmt.begin() + kSubformatOffset)) {
            return std::nullopt;
        }
    } else if (tag != kFormatPcm) {
        return std::nullopt;
    }
    const Format f{get_u16(fmt, 2), get_u32(fmt, 4), get_u16(fmt, 14)};
    const bool bits_ok = f.bits == 8 || f.bits == 16 || f.bits == 24 || f.bits == 32;
    if (f.channels == 0 || f.channels > kMaxWaveChannels || f.sample_rate == 0 ||
        f.sample_rate > kMaxWaveSampleRate || !bits_ok) {
        return std::nullopt;
    }
    return f;
}

}  // namespace

std::optional<WaveData> parse_wave(std::span<const uint8_t> bytes) {
    if (bytes.size() < kRiffHeaderSize || !has_id(bytes, 0, "RIFF") || !has_id(bytes, 8, "WAVE"))
        return std::nullopt;
    std::optional<Format> format;
    std::optional<std::span<const uint8_t>> data;
    size_t offset = kRiffHeaderSize;
    while (!(format && data)) {
        const std::optional<Chunk> chunk = chunk_at(bytes, offset);
        if (!chunk) break;
        if (!format && has_id(bytes, offset, "fmt ")) {
            format = playable_format(chunk->body);
            if (!format) return std::nullopt;
        } else if (!data && has_id(bytes, offset, "data")) {
            data = chunk->body;
        }
        offset = chunk->next;
    }
    if (!format || !data) return std::nullopt;
    WaveData wave{format->channels, format->sample_rate, format->bits, {}};
    const size_t frame = wave.frame_bytes();
    wave.samples = data->first(data->size() - data->size() % frame);
    if (wave.samples.empty()) return std::nullopt;
    return wave;
}

}  // namespace ks
