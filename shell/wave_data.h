#pragma once
// A card's sound held in memory: the RIFF/WAVE container read without copying, for playing
// from memory. Only uncompressed PCM is playable.
#include <cstdint>
#include <optional>
#include <span>

namespace ks {

struct WaveData {
    uint16_t channels = 0;
    uint32_t sample_rate = 0;
    uint16_t bits_per_sample = 0;      // 8 (unsigned), 16, 24 or 32 (signed)
    std::span<const uint8_t> samples;  // whole frames only, inside the parsed bytes

    uint32_t frame_bytes() const { return uint32_t{channels} * (bits_per_sample / 8u); }
};

constexpr uint16_t kMaxWaveChannels = 8;
constexpr uint32_t kMaxWaveSampleRate = 768000;

// The format and the samples of a WAV file: a "fmt " chunk of PCM (format 1, or
// WAVE_FORMAT_EXTENSIBLE with the PCM subformat) with 1 to 8 channels, a sample rate of 1 to
// 768000 and 8, 16, 24 or 32 bits, and a "data" chunk; chunks may come in any order and are
// padded to even lengths. A data chunk cut short gives the whole frames that are there. Nothing
// when the bytes are not such a file or hold no whole frame.
std::optional<WaveData> parse_wave(std::span<const uint8_t> bytes);

}  // namespace ks
