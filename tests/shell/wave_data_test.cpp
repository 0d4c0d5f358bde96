#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/bytes.h"
#include "shell/wave_data.h"

namespace ks {
namespace {

struct Chunk {
    std::string id;
    Bytes body;
    std::optional<uint32_t> declared_size = std::nullopt;  // a size other than the body's
};

void append_id(Bytes& out, std::string_view id) {
    for (char c : id) out.push_back(static_cast<uint8_t>(c));
}

void append_u32(Bytes& out, uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<uint8_t>(value >> shift));
}

Bytes riff(const std::vector<Chunk>& chunks, std::string_view form = "WAVE") {
    Bytes out;
    append_id(out, "RIFF");
    append_u32(out, 0);
    append_id(out, form);
    for (const Chunk& c : chunks) {
        append_id(out, c.id);
        append_u32(out, c.declared_size.value_or(static_cast<uint32_t>(c.body.size())));
        for (uint8_t b : c.body) out.push_back(b);
        if (c.body.size() % 2 == 1 && !c.declared_size) out.push_back(0);
    }
    put_u32(out, 4, static_cast<uint32_t>(out.size() - 8));
    return out;
}

Bytes fmt(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits) {
    Bytes f(16);
    put_u16(f, 0, tag);
    put_u16(f, 2, channels);
    put_u32(f, 4, rate);
    put_u32(f, 8, rate * channels * bits / 8);
    put_u16(f, 12, static_cast<uint16_t>(channels * bits / 8));
    put_u16(f, 14, bits);
    return f;
}

// WAVE_FORMAT_EXTENSIBLE whose subformat GUID starts with the format tag `subformat`.
Bytes extensible(uint16_t subformat, uint16_t channels, uint32_t rate, uint16_t bits) {
    Bytes f = fmt(0xFFFE, channels, rate, bits);
    // Extension size, valid bits, channel mask, then the GUID.
    Bytes extension(10);
    put_u16(extension, 0, 22);
    put_u16(extension, 2, bits);
    put_u32(extension, 4, 3);
    put_u16(extension, 8, subformat);
    const Bytes guid_tail = {0, 0, 0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71};
    f.insert(f.end(), extension.begin(), extension.end());
    f.insert(f.end(), guid_tail.begin(), guid_tail.end());
    return f;
}

Bytes samples(size_t n) {
    Bytes s(n);
    for (size_t i = 0; i < n; ++i) s[i] = static_cast<uint8_t>(i * 7);
    return s;
}

TEST(WaveDataTest, ReadsPlayableFilesAndTurnsAwayTheRest) {
    const Bytes pcm16 = fmt(1, 1, 8000, 16);
    struct Case {
        const char* what;
        Bytes file;
        std::optional<WaveData> expected;  // the samples' size only
        size_t sample_bytes = 0;
    };
    const std::vector<Case> cases = {
        {"mono 16-bit", riff({{"fmt ", pcm16}, {"data", samples(200)}}), WaveData{1, 8000, 16, {}},
         200},
        {"stereo 8-bit", riff({{"fmt ", fmt(1, 2, 11025, 8)}, {"data", samples(50)}}),
         WaveData{2, 11025, 8, {}}, 50},
        {"24-bit", riff({{"fmt ", fmt(1, 2, 48000, 24)}, {"data", samples(60)}}),
         WaveData{2, 48000, 24, {}}, 60},
        {"32-bit", riff({{"fmt ", fmt(1, 1, 44100, 32)}, {"data", samples(16)}}),
         WaveData{1, 44100, 32, {}}, 16},
        {"extensible PCM", riff({{"fmt ", extensible(1, 2, 44100, 16)}, {"data", samples(40)}}),
         WaveData{2, 44100, 16, {}}, 40},
        {"odd chunk padded, data first",
         riff({{"LIST", samples(5)}, {"data", samples(8)}, {"fmt ", pcm16}}),
         WaveData{1, 8000, 16, {}}, 8},
        {"data cut short", riff({{"fmt ", pcm16}, {"data", samples(101), 1000}}),
         WaveData{1, 8000, 16, {}}, 100},
        {"half a frame at the end", riff({{"fmt ", fmt(1, 2, 8000, 16)}, {"data", samples(10)}}),
         WaveData{2, 8000, 16, {}}, 8},
        {"empty", {}, std::nullopt},
        {"header only", Bytes{'R', 'I', 'F', 'F', 4, 0, 0, 0, 'W', 'A', 'V', 'E'}, std::nullopt},
        {"not WAVE", riff({{"fmt ", pcm16}, {"data", samples(8)}}, "AVI "), std::nullopt},
        {"no format", riff({{"data", samples(8)}}), std::nullopt},
        {"no data", riff({{"fmt ", pcm16}}), std::nullopt},
        {"format too short",
         riff({{"fmt ", Bytes(pcm16.begin(), pcm16.begin() + 14)}, {"data", samples(8)}}),
         std::nullopt},
        {"floating point", riff({{"fmt ", fmt(3, 1, 8000, 32)}, {"data", samples(8)}}),
         std::nullopt},
        {"ADPCM", riff({{"fmt ", fmt(2, 1, 8000, 4)}, {"data", samples(8)}}), std::nullopt},
        {"extensible float", riff({{"fmt ", extensible(3, 1, 8000, 32)}, {"data", samples(8)}}),
         std::nullopt},
        {"no channels", riff({{"fmt ", fmt(1, 0, 8000, 16)}, {"data", samples(8)}}), std::nullopt},
        {"nine channels", riff({{"fmt ", fmt(1, 9, 8000, 16)}, {"data", samples(18)}}),
         std::nullopt},
        {"12 bits", riff({{"fmt ", fmt(1, 1, 8000, 12)}, {"data", samples(8)}}), std::nullopt},
        {"no sample rate", riff({{"fmt ", fmt(1, 1, 0, 16)}, {"data", samples(8)}}), std::nullopt},
        {"no samples", riff({{"fmt ", pcm16}, {"data", {}}}), std::nullopt},
        {"less than a frame", riff({{"fmt ", fmt(1, 2, 8000, 24)}, {"data", samples(5)}}),
         std::nullopt},
        {"a chunk running past the end hides the format",
         riff({{"LIST", samples(4), 0xFFFFFFFF}, {"fmt ", pcm16}, {"data", samples(8)}}),
         std::nullopt},
    };
    for (const Case& c : cases) {
        const std::optional<WaveData> wave = parse_wave(c.file);
        ASSERT_EQ(wave.has_value(), c.expected.has_value()) << c.what;
        if (!wave) continue;
        EXPECT_EQ(wave->channels, c.expected->channels) << c.what;
        EXPECT_EQ(wave->sample_rate, c.expected->sample_rate) << c.what;
        EXPECT_EQ(wave->bits_per_sample, c.expected->bits_per_sample) << c.what;
        EXPECT_EQ(wave->samples.size(), c.sample_bytes) << c.what;
        // The samples are the file's own bytes: those after the data chunk's header.
        EXPECT_GE(wave->samples.data(), c.file.data()) << c.what;
        EXPECT_LE(wave->samples.data() + wave->samples.size(), c.file.data() + c.file.size())
            << c.what;
        EXPECT_EQ(wave->samples[1], static_cast<uint8_t>(7)) << c.what;
    }
}

}  // namespace
}  // namespace ks
