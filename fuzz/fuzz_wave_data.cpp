// Reads arbitrary bytes as a WAV file, as a card's sound is read before it is played.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "fuzz/fuzz_support.h"
#include "shell/wave_data.h"

void ks::fuzz::fuzz(std::span<const uint8_t> data) {
    const std::optional<ks::WaveData> wave = ks::parse_wave(data);
    if (!wave) return;
    // Whole frames of a playable format, inside the input.
    ks::fuzz::require(wave->channels >= 1 && wave->channels <= ks::kMaxWaveChannels);
    ks::fuzz::require(wave->sample_rate >= 1 && wave->sample_rate <= ks::kMaxWaveSampleRate);
    ks::fuzz::require(wave->bits_per_sample % 8 == 0 && wave->bits_per_sample >= 8 &&
                      wave->bits_per_sample <= 32);
    ks::fuzz::require(!wave->samples.empty() && wave->samples.size() % wave->frame_bytes() == 0);
    ks::fuzz::require(wave->samples.data() >= data.data() &&
                      wave->samples.data() + wave->samples.size() <= data.data() + data.size());
}
