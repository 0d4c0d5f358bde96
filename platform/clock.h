#pragma once
// Replaceable sources of local time and randomness. Production code asks `clock()` and
// `random_source()`; tests install fixed ones with the scoped overrides.
#include <cstdint>
#include <filesystem>
#include <optional>

#include "platform/datetime.h"

namespace ks {

class Clock {
  public:
    virtual ~Clock() = default;
    virtual DateTime now() const = 0;  // local time
};

class SystemClock final : public Clock {
  public:
    DateTime now() const override;
};

// A clock that stands still until told to move; for tests and reproducible samples.
class FixedClock final : public Clock {
  public:
    explicit FixedClock(DateTime t) : time_(t) {}
    DateTime now() const override { return time_; }
    void set(DateTime t) { time_ = t; }
    void advance_seconds(int seconds);

  private:
    DateTime time_;
};

class RandomSource {
  public:
    virtual ~RandomSource() = default;
    virtual uint32_t next_u32() = 0;
};

class SystemRandom final : public RandomSource {
  public:
    uint32_t next_u32() override;
};

// Deterministic generator (xorshift) for tests and reproducible samples.
class SeededRandom final : public RandomSource {
  public:
    explicit SeededRandom(uint64_t seed) : state_(seed ? seed : 0x9E3779B97F4A7C15ull) {}
    uint32_t next_u32() override;

  private:
    uint64_t state_;
};

const Clock& clock();
RandomSource& random_source();

class ScopedClock {
  public:
    explicit ScopedClock(const Clock& c);
    ~ScopedClock();
    ScopedClock(const ScopedClock&) = delete;
    ScopedClock& operator=(const ScopedClock&) = delete;

  private:
    const Clock* previous_;
};

class ScopedRandom {
  public:
    explicit ScopedRandom(RandomSource& r);
    ~ScopedRandom();
    ScopedRandom(const ScopedRandom&) = delete;
    ScopedRandom& operator=(const ScopedRandom&) = delete;

  private:
    RandomSource* previous_;
};

// Local time from a time_t; the day of week is filled in.
DateTime local_datetime(int64_t seconds_since_epoch, uint16_t milliseconds = 0);

// Last-write time of a file as local time, or nothing when it cannot be read.
std::optional<DateTime> file_modified_time(const std::filesystem::path& path);

}  // namespace ks
