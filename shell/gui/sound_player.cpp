#include "shell/gui/sound_player.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QBuffer>
#include <QByteArray>
#include <QCoreApplication>
#include <QMediaDevices>
#include <QPointer>

#include <algorithm>

#include "shell/wave_data.h"

namespace ks::gui {

namespace {

// The samples as the output takes them: 24-bit samples widened to 32 bits, the rest as they are.
QByteArray output_samples(const WaveData& wave) {
    if (wave.bits_per_sample != 24) {
        return QByteArray(reinterpret_cast<const char*>(wave.samples.data()),
                          static_cast<qsizetype>(wave.samples.size()));
    }
    const size_t count = wave.samples.size() / 3;
    QByteArray wide(static_cast<qsizetype>(count * 4), '\0');
    char* out = wide.data();
    for (size_t i = 0; i < count; ++i) {
        out[4 * i] = 0;
        std::copy_n(wave.samples.data() + 3 * i, 3, out + 4 * i + 1);
    }
    return wide;
}

QAudioFormat::SampleFormat sample_format(uint16_t bits) {
    switch (bits) {
        case 8:
            return QAudioFormat::UInt8;
        case 16:
            return QAudioFormat::Int16;
        default:
            return QAudioFormat::Int32;  // 24 (widened) and 32
    }
}

}  // namespace

// What one sound needs while it plays. The sink goes first, then the buffer it reads, then the
// samples, which are wiped.
struct SoundPlayer::Output {
    QByteArray samples;
    QBuffer buffer;
    std::unique_ptr<QAudioSink> sink;

    ~Output() {
        if (sink) sink->stop();
        sink.reset();
        buffer.close();
        std::fill(samples.begin(), samples.end(), '\0');
    }
};

SoundPlayer::SoundPlayer(QObject* parent) : QObject(parent) {}

SoundPlayer::~SoundPlayer() = default;

bool SoundPlayer::play(std::span<const uint8_t> wav) {
    stop();
    const std::optional<WaveData> wave = parse_wave(wav);
    if (!wave) return false;
    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    if (device.isNull()) return false;
    QAudioFormat format;
    format.setSampleRate(static_cast<int>(wave->sample_rate));
    format.setChannelCount(wave->channels);
    format.setSampleFormat(sample_format(wave->bits_per_sample));
    if (!device.isFormatSupported(format)) return false;

    auto output = std::make_unique<Output>();
    output->samples = output_samples(*wave);
    output->buffer.setBuffer(&output->samples);
    if (!output->buffer.open(QIODevice::ReadOnly)) return false;
    output->sink = std::make_unique<QAudioSink>(device, format);
    const uint64_t generation = ++generation_;
    connect(output->sink.get(), &QAudioSink::stateChanged, this,
            [this, generation](QAudio::State state) {
                // Idle: every sample was played. Stopped by an error: the device went away.
                if (state == QAudio::IdleState || state == QAudio::StoppedState) {
                    QMetaObject::invokeMethod(
                        this, [this, generation] { finished(generation); }, Qt::QueuedConnection);
                }
            });
    output->sink->start(&output->buffer);
    if (output->sink->error() != QAudio::NoError) return false;
    output_ = std::move(output);
    return true;
}

void SoundPlayer::finished(uint64_t generation) {
    if (generation == generation_ && output_ && output_->sink->state() != QAudio::ActiveState)
        stop();
}

void SoundPlayer::stop() {
    output_.reset();
}

bool SoundPlayer::playing() const {
    return output_ != nullptr;
}

SoundPlayer& sound_player() {
    static QPointer<SoundPlayer> player;
    if (!player) player = new SoundPlayer(QCoreApplication::instance());
    return *player;
}

}  // namespace ks::gui
