#include "core/cipher.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace ks {
namespace {

using ByteVec = std::vector<uint8_t>;

std::optional<ByteVec> from_hex(const std::string& hex) {
    if (hex.size() % 2 != 0) return std::nullopt;
    auto nibble = [](char c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    };
    ByteVec out;
    for (size_t k = 0; k < hex.size(); k += 2) {
        const int hi = nibble(hex[k]);
        const int lo = nibble(hex[k + 1]);
        if (hi < 0 || lo < 0) return std::nullopt;
        out.push_back(static_cast<uint8_t>(hi << 4 | lo));
    }
    return out;
}

std::string to_hex(const ByteVec& v) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (uint8_t b : v) {
        out += digits[b >> 4];
        out += digits[b & 15];
    }
    return out;
}

ByteVec bytes_of(const std::string& s) {
    return ByteVec(s.begin(), s.end());
}

ByteVec digest_bytes(const Digest& d) {
    return ByteVec(d.begin(), d.end());
}

// Non-blank lines of a file under the test data directory that are not '#' comments.
std::vector<std::string> data_lines(const std::string& name) {
    std::ifstream in(std::string(KEYSTASH_TEST_DATA_DIR) + "/" + name);
    EXPECT_TRUE(in.is_open()) << name;
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == '#') continue;
        lines.push_back(line);
    }
    return lines;
}

// ---- MD5 ----

struct Md5Case {
    std::string label;
    ByteVec input;
    ByteVec digest;
};

// The input of a "pattern" line: byte k is (31 * k + 7) mod 256.
ByteVec pattern_input(size_t length) {
    ByteVec v(length);
    for (size_t k = 0; k < length; ++k) v[k] = static_cast<uint8_t>(31 * k + 7);
    return v;
}

std::vector<Md5Case> load_md5_cases() {
    std::vector<Md5Case> cases;
    for (const std::string& line : data_lines("md5_rfc1321.txt")) {
        std::istringstream fields(line);
        std::string kind, second;
        fields >> kind >> second;
        Md5Case c;
        std::string digest_hex;
        if (kind == "text") {
            digest_hex = second;
            const size_t open = line.find('"');
            const size_t close = line.rfind('"');
            if (open == std::string::npos || close == open) {
                ADD_FAILURE() << "bad text line: " << line;
                continue;
            }
            const std::string text = line.substr(open + 1, close - open - 1);
            c.label = "\"" + text + "\"";
            c.input = bytes_of(text);
        } else if (kind == "pattern") {
            fields >> digest_hex;
            const size_t length = std::stoul(second);
            c.label = "pattern of " + second + " bytes";
            c.input = pattern_input(length);
        } else if (kind == "zeros") {
            // Too large to hold as an input; hashed in pieces by the test below.
            continue;
        } else {
            ADD_FAILURE() << "unknown line: " << line;
            continue;
        }
        const auto digest = from_hex(digest_hex);
        if (!digest || digest->size() != 16) {
            ADD_FAILURE() << "bad digest: " << line;
            continue;
        }
        c.digest = *digest;
        cases.push_back(std::move(c));
    }
    return cases;
}

TEST(Md5, KnownAnswers) {
    const std::vector<Md5Case> cases = load_md5_cases();
    ASSERT_EQ(cases.size(), 18u);  // 7 from the RFC, 11 padding-boundary lengths

    for (const Md5Case& c : cases) {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(digest_bytes(md5(c.input)), c.digest);

        // Byte-at-a-time exercises the partial-buffer path on every call.
        Md5 h;
        for (uint8_t b : c.input) h.update(std::span<const uint8_t>(&b, 1));
        EXPECT_EQ(digest_bytes(h.finish()), c.digest);
    }
}

TEST(Md5, IncrementalMatchesOneShot) {
    const ByteVec input = pattern_input(200);
    const Digest whole = md5(input);
    const std::span<const uint8_t> all(input);

    for (size_t split = 0; split <= input.size(); ++split) {
        SCOPED_TRACE("split at " + std::to_string(split));
        Md5 h;
        h.update(all.first(split));
        h.update(all.subspan(split));
        EXPECT_EQ(h.finish(), whole);
    }

    // Fixed chunk sizes either side of the block size, so buffered and direct blocks mix.
    for (size_t chunk = 1; chunk <= 130; ++chunk) {
        SCOPED_TRACE("chunks of " + std::to_string(chunk));
        Md5 h;
        for (size_t at = 0; at < all.size(); at += chunk) {
            h.update(all.subspan(at, std::min(chunk, all.size() - at)));
        }
        EXPECT_EQ(h.finish(), whole);
    }
}

// Inputs of at least 2^29 bytes have a bit count that does not fit in 32 bits.
TEST(Md5, LengthBeyond32BitsOfBitCount) {
    size_t checked = 0;
    for (const std::string& line : data_lines("md5_rfc1321.txt")) {
        std::istringstream fields(line);
        std::string kind, length_text, digest_hex;
        fields >> kind >> length_text >> digest_hex;
        if (kind != "zeros") continue;
        const auto digest = from_hex(digest_hex);
        ASSERT_TRUE(digest && digest->size() == 16) << line;

        const ByteVec zeros(1 << 16, 0);
        Md5 h;
        for (size_t left = std::stoull(length_text); left > 0;) {
            const size_t n = std::min(left, zeros.size());
            h.update(std::span<const uint8_t>(zeros).first(n));
            left -= n;
        }
        EXPECT_EQ(digest_bytes(h.finish()), *digest) << line;
        ++checked;
    }
    EXPECT_EQ(checked, 1u);
}

// ---- RC4 ----

struct Rc4Group {
    ByteVec key;
    std::vector<std::pair<size_t, ByteVec>> blocks;  // offset, 16 keystream bytes
};

std::vector<Rc4Group> load_rc4_groups() {
    std::vector<Rc4Group> groups;
    for (const std::string& line : data_lines("rc4_rfc6229.txt")) {
        std::istringstream fields(line);
        std::string first, second;
        fields >> first >> second;
        const auto bytes = from_hex(second);
        if (!bytes) {
            ADD_FAILURE() << "bad hex: " << line;
            continue;
        }
        if (first == "key") {
            groups.push_back({*bytes, {}});
        } else if (!groups.empty() && bytes->size() == 16) {
            groups.back().blocks.emplace_back(std::stoul(first), *bytes);
        } else {
            ADD_FAILURE() << "bad line: " << line;
        }
    }
    return groups;
}

ByteVec slice(const ByteVec& v, size_t offset, size_t n) {
    return ByteVec(v.begin() + static_cast<std::ptrdiff_t>(offset),
                   v.begin() + static_cast<std::ptrdiff_t>(offset + n));
}

constexpr size_t kStreamLength = 4096 + 16;  // covers the last offset in the data file

TEST(Rc4, KnownKeystreams) {
    const std::vector<Rc4Group> groups = load_rc4_groups();
    ASSERT_EQ(groups.size(), 2u);

    for (const Rc4Group& g : groups) {
        ASSERT_EQ(g.key.size(), KeyContext::kKeySize);
        ASSERT_EQ(g.blocks.size(), 6u);
        SCOPED_TRACE("key " + to_hex(g.key));

        // Keystream is what enciphering zeros yields; checked through each way in.
        ByteVec direct(kStreamLength, 0);
        Rc4(g.key).apply(direct);

        ByteVec chunked(kStreamLength, 0);
        Rc4 streaming(g.key);
        for (size_t at = 0, chunk = 1; at < chunked.size(); at += chunk, chunk = chunk % 37 + 1) {
            const size_t n = std::min(chunk, chunked.size() - at);
            streaming.apply(std::span<uint8_t>(chunked).subspan(at, n));
        }

        KeyContext ctx;
        ctx.prepare(
            std::span<const uint8_t, KeyContext::kKeySize>(g.key.data(), KeyContext::kKeySize));
        const ByteVec zeros(kStreamLength, 0);
        ByteVec via_context(kStreamLength, 0xff);
        ASSERT_TRUE(ctx.transform(zeros, via_context));

        for (const auto& [offset, expected] : g.blocks) {
            SCOPED_TRACE("offset " + std::to_string(offset));
            EXPECT_EQ(slice(direct, offset, 16), expected);
            EXPECT_EQ(slice(chunked, offset, 16), expected);
            EXPECT_EQ(slice(via_context, offset, 16), expected);
        }
    }
}

TEST(Rc4, SeparateOutputMatchesInPlace) {
    const ByteVec key = bytes_of("Secret");
    const ByteVec text = pattern_input(300);

    ByteVec in_place = text;
    Rc4(key).apply(in_place);

    ByteVec separate(text.size(), 0);
    Rc4(key).apply(text, separate);

    EXPECT_EQ(separate, in_place);
    EXPECT_NE(separate, text);
}

// ---- KeyContext ----

const std::array<uint8_t, KeyContext::kKeySize> kKeyA = {
    0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0a, 0x0b, 0x0c, 0x0d, 0x0e, 0x0f, 0x10};
const std::array<uint8_t, KeyContext::kKeySize> kKeyB = {
    0xeb, 0xb4, 0x62, 0x27, 0xc6, 0xcc, 0x8b, 0x37, 0x64, 0x19, 0x10, 0x83, 0x32, 0x22, 0x77, 0x2a};

KeyContext prepared(const std::array<uint8_t, KeyContext::kKeySize>& key) {
    KeyContext ctx;
    ctx.prepare(key);
    return ctx;
}

ByteVec transformed(const KeyContext& ctx, const ByteVec& text) {
    ByteVec out(text.size(), 0);
    EXPECT_TRUE(ctx.transform(text, out));
    return out;
}

TEST(KeyContext, TransformTwiceRestoresInput) {
    const KeyContext ctx = prepared(kKeyA);
    EXPECT_TRUE(ctx.valid());
    EXPECT_EQ(ctx.key(), kKeyA);

    for (size_t length : {0u, 1u, 16u, 300u}) {
        SCOPED_TRACE("length " + std::to_string(length));
        const ByteVec text = pattern_input(length);

        ByteVec data = text;
        ASSERT_TRUE(ctx.transform(data));
        if (length > 0) {
            EXPECT_NE(data, text);
        }
        ASSERT_TRUE(ctx.transform(data));
        EXPECT_EQ(data, text);

        EXPECT_EQ(transformed(ctx, transformed(ctx, text)), text);
    }
}

TEST(KeyContext, EachTransformStartsAFreshKeystream) {
    const KeyContext ctx = prepared(kKeyA);
    const ByteVec text = bytes_of("correct horse battery staple");

    const ByteVec first = transformed(ctx, text);
    const ByteVec second = transformed(ctx, text);
    EXPECT_EQ(first, second);

    // A shorter text enciphers to a prefix of the longer one's bytes.
    const ByteVec prefix(text.begin(), text.begin() + 7);
    EXPECT_EQ(transformed(ctx, prefix), slice(first, 0, 7));

    EXPECT_NE(transformed(prepared(kKeyB), text), first);
}

TEST(KeyContext, RefusalLeavesOutputUntouched) {
    KeyContext cleared = prepared(kKeyA);
    cleared.clear();
    const KeyContext valid = prepared(kKeyA);
    const KeyContext never_prepared;

    struct Case {
        const char* name;
        const KeyContext* ctx;
        size_t in_size;
        size_t out_size;
    };
    const Case cases[] = {
        {"never prepared", &never_prepared, 20, 20},
        {"cleared", &cleared, 20, 20},
        {"output shorter", &valid, 20, 19},
        {"output longer", &valid, 20, 21},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const ByteVec in = pattern_input(c.in_size);
        ByteVec out(c.out_size, 0xa5);
        EXPECT_FALSE(c.ctx->transform(in, out));
        EXPECT_EQ(out, ByteVec(c.out_size, 0xa5));
    }

    ByteVec data(20, 0xa5);
    EXPECT_FALSE(never_prepared.transform(data));
    EXPECT_EQ(data, ByteVec(20, 0xa5));
}

TEST(KeyContext, ClearWipesKeyAndPrepareRestores) {
    KeyContext ctx = prepared(kKeyA);
    const ByteVec text = bytes_of("attachment name");
    const ByteVec expected = transformed(ctx, text);

    ctx.clear();
    EXPECT_FALSE(ctx.valid());
    EXPECT_TRUE(std::all_of(ctx.key().begin(), ctx.key().end(), [](uint8_t b) { return b == 0; }));

    ctx.prepare(kKeyA);
    EXPECT_TRUE(ctx.valid());
    EXPECT_EQ(transformed(ctx, text), expected);
}

TEST(KeyContext, CopiesCarryKeyAndState) {
    const KeyContext a = prepared(kKeyA);
    const ByteVec text = bytes_of("note text");
    const ByteVec expected = transformed(a, text);

    const KeyContext copied(a);
    EXPECT_TRUE(copied.valid());
    EXPECT_EQ(copied.key(), kKeyA);
    EXPECT_EQ(transformed(copied, text), expected);

    KeyContext assigned = prepared(kKeyB);
    assigned = a;
    EXPECT_EQ(assigned.key(), kKeyA);
    EXPECT_EQ(transformed(assigned, text), expected);

    KeyContext& self = assigned;
    assigned = self;
    EXPECT_TRUE(assigned.valid());
    EXPECT_EQ(transformed(assigned, text), expected);

    // An invalid source makes the target invalid too.
    assigned = KeyContext();
    EXPECT_FALSE(assigned.valid());
    ByteVec out(text.size(), 0);
    EXPECT_FALSE(assigned.transform(text, out));
}

}  // namespace
}  // namespace ks
