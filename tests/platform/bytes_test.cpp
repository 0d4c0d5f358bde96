#include "platform/bytes.h"

#include <gtest/gtest.h>

#include <limits>
#include <utility>

namespace ks {
namespace {

TEST(LittleEndian, U16LayoutAndRoundTrip) {
    const uint16_t values[] = {0x0000, 0x0001, 0x00FF, 0x0100, 0xBEEF, 0xFFFF};
    for (uint16_t v : values) {
        uint8_t buf[4] = {0xAA, 0xAA, 0xAA, 0xAA};
        put_u16(buf, 1, v);
        EXPECT_EQ(buf[0], 0xAA) << v;  // neighbours untouched
        EXPECT_EQ(buf[1], v & 0xFF) << v;
        EXPECT_EQ(buf[2], v >> 8) << v;
        EXPECT_EQ(buf[3], 0xAA) << v;
        EXPECT_EQ(get_u16(buf, 1), v);
    }
}

TEST(LittleEndian, U32LayoutAndRoundTrip) {
    uint8_t buf[6] = {0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA};
    put_u32(buf, 1, 0x12345678u);
    const uint8_t expected[6] = {0xAA, 0x78, 0x56, 0x34, 0x12, 0xAA};
    for (size_t i = 0; i < 6; ++i) EXPECT_EQ(buf[i], expected[i]) << "byte " << i;

    const uint32_t values[] = {0u,          1u,          0x80u,       0xFFu,      0x100u,
                               0x7FFFFFFFu, 0x80000000u, 0xDEADBEEFu, 0xFFFFFFFFu};
    for (uint32_t v : values) {
        put_u32(buf, 2, v);
        EXPECT_EQ(get_u32(buf, 2), v);
    }
}

TEST(LittleEndian, I32KeepsSign) {
    struct Case {
        int32_t value;
        uint8_t bytes[4];
    };
    const Case cases[] = {
        {0, {0x00, 0x00, 0x00, 0x00}},
        {1, {0x01, 0x00, 0x00, 0x00}},
        {-1, {0xFF, 0xFF, 0xFF, 0xFF}},
        {-2, {0xFE, 0xFF, 0xFF, 0xFF}},
        {-256, {0x00, 0xFF, 0xFF, 0xFF}},
        {std::numeric_limits<int32_t>::max(), {0xFF, 0xFF, 0xFF, 0x7F}},
        {std::numeric_limits<int32_t>::min(), {0x00, 0x00, 0x00, 0x80}},
    };
    for (const auto& c : cases) {
        uint8_t buf[4] = {};
        put_i32(buf, 0, c.value);
        for (size_t i = 0; i < 4; ++i) EXPECT_EQ(buf[i], c.bytes[i]) << c.value << " byte " << i;
        EXPECT_EQ(get_i32(c.bytes, 0), c.value);
        EXPECT_EQ(get_u32(c.bytes, 0), static_cast<uint32_t>(c.value));
    }
}

TEST(ByteReader, ReadsInOrderAndTracksPosition) {
    const uint8_t data[] = {0x01, 0x02, 0x03, 0x04, 0xAA, 0xBB, 0xCC, 0x10, 0x20};
    ByteReader r(data);
    uint32_t v = 0;
    ASSERT_TRUE(r.read_u32(v));
    EXPECT_EQ(v, 0x04030201u);
    EXPECT_EQ(r.position(), 4u);
    EXPECT_EQ(r.remaining(), 5u);

    std::span<const uint8_t> part;
    ASSERT_TRUE(r.take(2, part));
    ASSERT_EQ(part.size(), 2u);
    EXPECT_EQ(part.data(), data + 4);  // a view into the buffer, not a copy
    ASSERT_TRUE(r.skip(1));
    ASSERT_TRUE(r.take(2, part));
    EXPECT_EQ(part[0], 0x10);
    EXPECT_EQ(part[1], 0x20);
    EXPECT_EQ(r.remaining(), 0u);
}

// Each step runs on a fresh reader over `size` bytes after `prefix` bytes are skipped.
TEST(ByteReader, StopsAtTheEnd) {
    enum class Op { Take, Skip, ReadU32 };
    struct Case {
        const char* name;
        size_t size;
        size_t prefix;
        Op op;
        size_t n;  // for take / skip
        bool ok;
    };
    const Case cases[] = {
        {"take all", 8, 0, Op::Take, 8, true},
        {"take one too many", 8, 0, Op::Take, 9, false},
        {"take rest", 8, 3, Op::Take, 5, true},
        {"take rest + 1", 8, 3, Op::Take, 6, false},
        {"take zero at end", 8, 8, Op::Take, 0, true},
        {"take one at end", 8, 8, Op::Take, 1, false},
        {"take huge", 8, 1, Op::Take, std::numeric_limits<size_t>::max(), false},
        {"skip all", 8, 0, Op::Skip, 8, true},
        {"skip one too many", 8, 0, Op::Skip, 9, false},
        {"skip rest + 1", 8, 5, Op::Skip, 4, false},
        {"skip huge", 8, 1, Op::Skip, std::numeric_limits<size_t>::max(), false},
        {"u32 exactly fits", 8, 4, Op::ReadU32, 0, true},
        {"u32 one short", 8, 5, Op::ReadU32, 0, false},
        {"u32 at end", 8, 8, Op::ReadU32, 0, false},
        {"u32 from 3 bytes", 3, 0, Op::ReadU32, 0, false},
        {"u32 from nothing", 0, 0, Op::ReadU32, 0, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Bytes data(c.size, 0x5A);
        ByteReader r(data);
        ASSERT_TRUE(r.skip(c.prefix));
        bool ok = false;
        std::span<const uint8_t> out;
        uint32_t v = 0x11111111u;
        switch (c.op) {
            case Op::Take:
                ok = r.take(c.n, out);
                break;
            case Op::Skip:
                ok = r.skip(c.n);
                break;
            case Op::ReadU32:
                ok = r.read_u32(v);
                break;
        }
        EXPECT_EQ(ok, c.ok);
        if (ok) {
            const size_t moved = c.op == Op::ReadU32 ? 4 : c.n;
            EXPECT_EQ(r.position(), c.prefix + moved);
            if (c.op == Op::Take) {
                EXPECT_EQ(out.size(), c.n);
                EXPECT_EQ(out.data(), data.data() + c.prefix);
            }
            if (c.op == Op::ReadU32) {
                EXPECT_EQ(v, 0x5A5A5A5Au);
            }
        } else {
            // A failed read consumes nothing and leaves the outputs alone.
            EXPECT_EQ(r.position(), c.prefix);
            EXPECT_EQ(r.remaining(), c.size - c.prefix);
            EXPECT_TRUE(out.empty());
            EXPECT_EQ(v, 0x11111111u);
        }
    }
}

TEST(AllZero, DetectsAnyNonZeroByte) {
    EXPECT_TRUE(all_zero({}));
    Bytes b(17, 0);
    EXPECT_TRUE(all_zero(b));
    for (size_t i : {size_t{0}, size_t{8}, size_t{16}}) {
        Bytes c = b;
        c[i] = 1;
        EXPECT_FALSE(all_zero(c)) << i;
    }
}

TEST(SecureZero, ClearsOnlyTheGivenRange) {
    Bytes b = {1, 2, 3, 4, 5};
    secure_zero(std::span<uint8_t>(b).subspan(1, 3));
    EXPECT_EQ(b, (Bytes{1, 0, 0, 0, 5}));
}

SecureBytes make_secure(std::initializer_list<uint8_t> bytes) {
    const Bytes b(bytes);
    return SecureBytes(std::span<const uint8_t>(b));
}

TEST(SecureBytes, ConstructsZeroedOrFromBytes) {
    SecureBytes zeros(5);
    ASSERT_EQ(zeros.size(), 5u);
    EXPECT_TRUE(all_zero(zeros.span()));

    SecureBytes s = make_secure({9, 8, 7});
    ASSERT_EQ(s.size(), 3u);
    EXPECT_EQ(s[0], 9);
    EXPECT_EQ(s[2], 7);
    EXPECT_TRUE(SecureBytes().empty());
}

TEST(SecureBytes, CopyIsIndependent) {
    SecureBytes a = make_secure({1, 2, 3});
    SecureBytes b(a);
    EXPECT_EQ(a, b);
    b[0] = 42;
    EXPECT_EQ(a[0], 1);

    SecureBytes c = make_secure({7, 7, 7, 7, 7});
    c = a;
    EXPECT_EQ(c, a);
    c[1] = 0;
    EXPECT_EQ(a[1], 2);

    SecureBytes& self = c;
    c = self;  // self-assignment keeps the content
    EXPECT_EQ(c, make_secure({1, 0, 3}));
}

TEST(SecureBytes, MoveTransfersAndEmptiesSource) {
    SecureBytes a = make_secure({1, 2, 3});
    SecureBytes b(std::move(a));
    EXPECT_EQ(b, make_secure({1, 2, 3}));
    EXPECT_TRUE(a.empty());  // NOLINT(bugprone-use-after-move)

    SecureBytes c = make_secure({9});
    c = std::move(b);
    EXPECT_EQ(c, make_secure({1, 2, 3}));
    EXPECT_TRUE(b.empty());  // NOLINT(bugprone-use-after-move)

    SecureBytes& self = c;
    c = std::move(self);
    EXPECT_EQ(c, make_secure({1, 2, 3}));
}

TEST(SecureBytes, ResizeKeepsPrefixAndZeroFills) {
    struct Case {
        size_t new_size;
        Bytes expected;
    };
    const Case cases[] = {
        {5, {1, 2, 3, 0, 0}},
        {3, {1, 2, 3}},
        {2, {1, 2}},
        {0, {}},
    };
    for (const auto& c : cases) {
        SecureBytes s = make_secure({1, 2, 3});
        s.resize(c.new_size);
        ASSERT_EQ(s.size(), c.new_size);
        EXPECT_EQ(Bytes(s.span().begin(), s.span().end()), c.expected) << c.new_size;
    }

    SecureBytes empty;
    empty.resize(4);
    EXPECT_EQ(empty, SecureBytes(4));
}

TEST(SecureBytes, ClearEmptiesAndWipeZeroes) {
    SecureBytes s = make_secure({1, 2, 3});
    s.wipe();
    ASSERT_EQ(s.size(), 3u);
    EXPECT_TRUE(all_zero(s.span()));

    SecureBytes t = make_secure({4, 5});
    t.clear();
    EXPECT_TRUE(t.empty());
    EXPECT_EQ(t.size(), 0u);
    t.clear();  // clearing an empty buffer is harmless
    EXPECT_TRUE(t.empty());
}

}  // namespace
}  // namespace ks
