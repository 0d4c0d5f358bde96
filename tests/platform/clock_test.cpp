#include "platform/clock.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <iterator>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/datetime.h"

namespace ks {
namespace {

std::string describe(const DateTime& t) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%04u-%02u-%02u %02u:%02u:%02u.%03u dow=%u", t.year, t.month,
                  t.day, t.hour, t.minute, t.second, t.milliseconds, t.day_of_week);
    return buf;
}

// Runs every test in UTC so that local-time conversions are predictable, and puts the
// previous zone back afterwards.
class UtcTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (const char* tz = std::getenv("TZ")) saved_tz_ = tz;
        ::setenv("TZ", "UTC", 1);
        ::tzset();
    }
    void TearDown() override {
        if (saved_tz_) {
            ::setenv("TZ", saved_tz_->c_str(), 1);
        } else {
            ::unsetenv("TZ");
        }
        ::tzset();
    }

  private:
    std::optional<std::string> saved_tz_;
};

using FixedClockTest = UtcTest;
using LocalDateTimeTest = UtcTest;
using FileModifiedTimeTest = UtcTest;

TEST_F(FixedClockTest, AdvanceSecondsCarriesAcrossBoundaries) {
    struct Case {
        const char* name;
        DateTime start;
        int seconds;
        DateTime expected;
    };
    // day_of_week of the start is deliberately left 0 where that is wrong: it is recomputed.
    const Case cases[] = {
        {"zero", {2006, 3, 0, 5, 14, 7, 9, 250}, 0, {2006, 3, 0, 5, 14, 7, 9, 250}},
        {"minute", {2006, 3, 0, 5, 14, 7, 59, 0}, 1, {2006, 3, 0, 5, 14, 8, 0, 0}},
        {"hour", {2006, 3, 0, 5, 14, 59, 59, 0}, 1, {2006, 3, 0, 5, 15, 0, 0, 0}},
        {"day", {2006, 3, 0, 5, 23, 59, 59, 0}, 1, {2006, 3, 1, 6, 0, 0, 0, 0}},
        {"month", {2006, 2, 2, 28, 23, 59, 59, 0}, 1, {2006, 3, 3, 1, 0, 0, 0, 0}},
        {"leap day", {2008, 2, 4, 28, 23, 59, 59, 0}, 1, {2008, 2, 5, 29, 0, 0, 0, 0}},
        {"after leap day", {2008, 2, 5, 29, 23, 59, 59, 0}, 1, {2008, 3, 6, 1, 0, 0, 0, 0}},
        {"year", {2006, 12, 0, 31, 23, 59, 59, 0}, 1, {2007, 1, 1, 1, 0, 0, 0, 0}},
        {"backwards over year", {2007, 1, 1, 1, 0, 0, 0, 0}, -1, {2006, 12, 0, 31, 23, 59, 59, 0}},
        {"one year", {2006, 3, 0, 5, 14, 7, 9, 0}, 365 * 86400, {2007, 3, 1, 5, 14, 7, 9, 0}},
        {"past 2038", {2038, 1, 2, 19, 3, 14, 7, 0}, 1, {2038, 1, 2, 19, 3, 14, 8, 0}},
        {"keeps ms", {2006, 12, 0, 31, 23, 59, 59, 999}, 1, {2007, 1, 1, 1, 0, 0, 0, 999}},
    };
    for (const auto& c : cases) {
        FixedClock clock(c.start);
        clock.advance_seconds(c.seconds);
        EXPECT_EQ(clock.now(), c.expected)
            << c.name << ": got " << describe(clock.now()) << ", want " << describe(c.expected);
    }
}

TEST_F(FixedClockTest, AdvancesCumulatively) {
    FixedClock clock({2006, 12, 0, 31, 23, 59, 0, 0});
    for (int i = 0; i < 60; ++i) clock.advance_seconds(1);
    EXPECT_EQ(clock.now(), (DateTime{2007, 1, 1, 1, 0, 0, 0, 0})) << describe(clock.now());
}

TEST(ScopedClock, InstallsAndRestoresNested) {
    const Clock* original = &clock();
    FixedClock outer({2006, 3, 0, 5, 14, 7, 9, 0});
    FixedClock inner({2010, 1, 5, 1, 0, 0, 0, 0});
    {
        ScopedClock outer_scope(outer);
        EXPECT_EQ(&clock(), &outer);
        EXPECT_EQ(clock().now(), outer.now());
        {
            ScopedClock inner_scope(inner);
            EXPECT_EQ(&clock(), &inner);
        }
        EXPECT_EQ(&clock(), &outer);
        // The installed clock is used by reference, so changes to it show through.
        outer.advance_seconds(60);
        EXPECT_EQ(clock().now().minute, 8);
    }
    EXPECT_EQ(&clock(), original);
}

TEST(ScopedRandom, InstallsAndRestoresNested) {
    RandomSource* original = &random_source();
    SeededRandom outer(1);
    SeededRandom inner(2);
    {
        ScopedRandom outer_scope(outer);
        EXPECT_EQ(&random_source(), &outer);
        {
            ScopedRandom inner_scope(inner);
            EXPECT_EQ(&random_source(), &inner);
        }
        EXPECT_EQ(&random_source(), &outer);
    }
    EXPECT_EQ(&random_source(), original);
}

std::vector<uint32_t> draw(RandomSource& r, size_t n) {
    std::vector<uint32_t> out(n);
    for (auto& v : out) v = r.next_u32();
    return out;
}

TEST(SeededRandom, SameSeedSameSequenceOtherSeedOtherSequence) {
    SeededRandom a(12345), b(12345), c(12346);
    const auto seq_a = draw(a, 32);
    EXPECT_EQ(seq_a, draw(b, 32));
    EXPECT_NE(seq_a, draw(c, 32));
}

TEST(SeededRandom, OutputVariesForEverySeed) {
    // Seed 0 must not leave the generator stuck on a fixed point.
    for (uint64_t seed : {uint64_t{0}, uint64_t{1}, ~uint64_t{0}}) {
        SeededRandom r(seed);
        const auto seq = draw(r, 64);
        const std::set<uint32_t> distinct(seq.begin(), seq.end());
        EXPECT_GT(distinct.size(), 60u) << "seed " << seed;
    }
}

TEST(SystemRandom, IsNotConstant) {
    SystemRandom r;
    const auto seq = draw(r, 16);
    const std::set<uint32_t> distinct(seq.begin(), seq.end());
    EXPECT_GT(distinct.size(), 1u);
}

TEST_F(LocalDateTimeTest, KnownInstants) {
    struct Case {
        int64_t seconds;
        uint16_t ms;
        DateTime expected;
    };
    const Case cases[] = {
        {0, 0, {1970, 1, 4, 1, 0, 0, 0, 0}},
        {-1, 0, {1969, 12, 3, 31, 23, 59, 59, 0}},
        {1141567629, 250, {2006, 3, 0, 5, 14, 7, 9, 250}},
        {1167609599, 0, {2006, 12, 0, 31, 23, 59, 59, 0}},
        {1167609600, 999, {2007, 1, 1, 1, 0, 0, 0, 999}},
        {951782400, 0, {2000, 2, 2, 29, 0, 0, 0, 0}},
        {2147483648, 0, {2038, 1, 2, 19, 3, 14, 8, 0}},
    };
    for (const auto& c : cases) {
        const DateTime got = local_datetime(c.seconds, c.ms);
        EXPECT_EQ(got, c.expected) << c.seconds << ": got " << describe(got);
    }
}

TEST_F(LocalDateTimeTest, FollowsTheTimeZone) {
    ::setenv("TZ", "UTC-2", 1);  // POSIX sign: two hours east of UTC
    ::tzset();
    EXPECT_EQ(local_datetime(1167609599), (DateTime{2007, 1, 1, 1, 1, 59, 59, 0}));
}

TEST_F(FileModifiedTimeTest, ReadsTheModificationTime) {
    std::string pattern = ::testing::TempDir() + "ks_clock_XXXXXX";
    const int fd = ::mkstemp(pattern.data());
    ASSERT_GE(fd, 0);
    ::close(fd);

    const timespec times[2] = {
        {1000000000, 0},          // access time: must not be reported
        {1141567629, 250000000},  // 2006-03-05 14:07:09.250
    };
    ASSERT_EQ(::utimensat(AT_FDCWD, pattern.c_str(), times, 0), 0);
    const auto got = file_modified_time(pattern);
    ::unlink(pattern.c_str());

    ASSERT_TRUE(got.has_value());
    EXPECT_EQ(*got, (DateTime{2006, 3, 0, 5, 14, 7, 9, 250})) << describe(*got);
}

TEST_F(FileModifiedTimeTest, NothingForAMissingFile) {
    EXPECT_FALSE(file_modified_time(::testing::TempDir() + "ks_clock_no_such/file").has_value());
    EXPECT_FALSE(file_modified_time("").has_value());
}

TEST(DateTimeCoding, ByteOrderIsFieldOrderLittleEndian) {
    const DateTime t{2006, 3, 0, 5, 14, 7, 9, 250};
    uint8_t out[DateTime::kSize + 2];
    std::fill(std::begin(out), std::end(out), 0xEE);
    encode_datetime(t, std::span<uint8_t>(out, DateTime::kSize));
    const uint8_t expected[DateTime::kSize] = {0xD6, 0x07, 0x03, 0x00, 0x00, 0x00, 0x05, 0x00,
                                               0x0E, 0x00, 0x07, 0x00, 0x09, 0x00, 0xFA, 0x00};
    for (size_t i = 0; i < DateTime::kSize; ++i) EXPECT_EQ(out[i], expected[i]) << "byte " << i;
    EXPECT_EQ(out[DateTime::kSize], 0xEE);  // nothing written past the record
    EXPECT_EQ(decode_datetime(expected), t);
}

TEST(DateTimeCoding, RoundTrips) {
    const DateTime cases[] = {
        {},
        {2007, 1, 1, 1, 0, 0, 0, 999},
        {0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF},
        {0x0102, 0x0304, 0x0506, 0x0708, 0x090A, 0x0B0C, 0x0D0E, 0x0F10},
    };
    for (const auto& t : cases) {
        uint8_t buf[DateTime::kSize];
        encode_datetime(t, buf);
        EXPECT_EQ(decode_datetime(buf), t) << describe(t);
    }
}

}  // namespace
}  // namespace ks
