#include "platform/clock.h"

#include <sys/random.h>
#include <sys/stat.h>

#include <chrono>
#include <ctime>

namespace ks {
namespace {

SystemClock g_system_clock;
SystemRandom g_system_random;
const Clock* g_clock = &g_system_clock;
RandomSource* g_random = &g_system_random;

}  // namespace

DateTime local_datetime(int64_t seconds_since_epoch, uint16_t milliseconds) {
    std::time_t t = static_cast<std::time_t>(seconds_since_epoch);
    std::tm tm{};
    localtime_r(&t, &tm);
    return DateTime{static_cast<uint16_t>(tm.tm_year + 1900), static_cast<uint16_t>(tm.tm_mon + 1),
                    static_cast<uint16_t>(tm.tm_wday),        static_cast<uint16_t>(tm.tm_mday),
                    static_cast<uint16_t>(tm.tm_hour),        static_cast<uint16_t>(tm.tm_min),
                    static_cast<uint16_t>(tm.tm_sec),         milliseconds};
}

DateTime SystemClock::now() const {
    using namespace std::chrono;
    auto ms = duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
    return local_datetime(ms / 1000, static_cast<uint16_t>(ms % 1000));
}

void FixedClock::advance_seconds(int seconds) {
    // Calendar arithmetic without time zones, so that daylight-saving changes cannot stall it.
    std::tm tm{};
    tm.tm_year = time_.year - 1900;
    tm.tm_mon = time_.month - 1;
    tm.tm_mday = time_.day;
    tm.tm_hour = time_.hour;
    tm.tm_min = time_.minute;
    tm.tm_sec = time_.second;
    std::time_t t = timegm(&tm) + seconds;
    std::tm out{};
    gmtime_r(&t, &out);
    time_ =
        DateTime{static_cast<uint16_t>(out.tm_year + 1900), static_cast<uint16_t>(out.tm_mon + 1),
                 static_cast<uint16_t>(out.tm_wday),        static_cast<uint16_t>(out.tm_mday),
                 static_cast<uint16_t>(out.tm_hour),        static_cast<uint16_t>(out.tm_min),
                 static_cast<uint16_t>(out.tm_sec),         time_.milliseconds};
}

uint32_t SystemRandom::next_u32() {
    uint32_t v = 0;
    if (getrandom(&v, sizeof v, 0) == static_cast<ssize_t>(sizeof v)) return v;
    // getrandom cannot fail for 4 bytes once the pool is ready; keep a fallback all the same.
    static SeededRandom fallback(
        static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()));
    return fallback.next_u32();
}

uint32_t SeededRandom::next_u32() {
    state_ ^= state_ >> 12;
    state_ ^= state_ << 25;
    state_ ^= state_ >> 27;
    return static_cast<uint32_t>((state_ * 0x2545F4914F6CDD1Dull) >> 32);
}

const Clock& clock() {
    return *g_clock;
}
RandomSource& random_source() {
    return *g_random;
}

ScopedClock::ScopedClock(const Clock& c) : previous_(g_clock) {
    g_clock = &c;
}
ScopedClock::~ScopedClock() {
    g_clock = previous_;
}

ScopedRandom::ScopedRandom(RandomSource& r) : previous_(g_random) {
    g_random = &r;
}
ScopedRandom::~ScopedRandom() {
    g_random = previous_;
}

std::optional<DateTime> file_modified_time(const std::filesystem::path& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return std::nullopt;
    return local_datetime(st.st_mtim.tv_sec, static_cast<uint16_t>(st.st_mtim.tv_nsec / 1000000));
}

}  // namespace ks
