#pragma once
// Plays a card's sound from memory, asynchronously, on the default audio output. Where there is
// no audio output, or the bytes are no playable WAV, nothing is played and nothing is said.
#include <QObject>

#include <cstdint>
#include <memory>
#include <span>

namespace ks::gui {

class SoundPlayer final : public QObject {
    Q_OBJECT
  public:
    explicit SoundPlayer(QObject* parent = nullptr);
    ~SoundPlayer() override;

    // Stops what is playing, then plays a copy of `wav`. False when nothing could be started: no
    // audio output, not a playable WAV, or a format the output does not take.
    bool play(std::span<const uint8_t> wav);
    // Stops playing and wipes the copy.
    void stop();
    bool playing() const;

  private:
    struct Output;
    void finished(uint64_t generation);

    std::unique_ptr<Output> output_;
    uint64_t generation_ = 0;
};

// The process-wide player: made on first use, owned by the application object.
SoundPlayer& sound_player();

}  // namespace ks::gui
