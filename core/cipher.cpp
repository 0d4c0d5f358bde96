#include "core/cipher.h"

#include <algorithm>
#include <bit>
#include <cassert>
#include <cstring>

#include "platform/bytes.h"

namespace ks {

namespace {

inline uint32_t load_le32(const uint8_t* p) {
    if constexpr (std::endian::native == std::endian::little) {
        uint32_t v;
        std::memcpy(&v, p, sizeof v);
        return v;
    } else {
        return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
    }
}

inline void store_le32(uint8_t* p, uint32_t v) {
    for (int n = 0; n < 4; ++n) p[n] = static_cast<uint8_t>(v >> (8 * n));
}

// The four MD5 step kinds: a = b + ((a + f(b, c, d) + x + t) <<< s). `b` is the value the
// previous step has just produced, so each step first adds in everything that does not
// depend on it, leaving as few operations as possible on the chain from step to step.
inline void step_f(uint32_t& a, uint32_t b, uint32_t c, uint32_t d, uint32_t x, int s, uint32_t t) {
    // (b & c) | (~b & d), as a bitwise select of c and d by b
    a += x + t;
    a += d ^ (b & (c ^ d));
    a = std::rotl(a, s) + b;
}

inline void step_g(uint32_t& a, uint32_t b, uint32_t c, uint32_t d, uint32_t x, int s, uint32_t t) {
    // (b & d) | (c & ~d): the two terms share no bits, so | is +, and c & ~d is ready early
    a += x + t + (c & ~d);
    a += b & d;
    a = std::rotl(a, s) + b;
}

inline void step_h(uint32_t& a, uint32_t b, uint32_t c, uint32_t d, uint32_t x, int s, uint32_t t) {
    a += x + t;
    a += b ^ (c ^ d);
    a = std::rotl(a, s) + b;
}

inline void step_i(uint32_t& a, uint32_t b, uint32_t c, uint32_t d, uint32_t x, int s, uint32_t t) {
    a += x + t;
    a += c ^ (b | ~d);
    a = std::rotl(a, s) + b;
}

}  // namespace

// ---- MD5 ----

Md5::Md5() : state_{0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476} {}

Md5::~Md5() {
    secure_zero(state_.data(), sizeof state_);
    secure_zero(buffer_.data(), buffer_.size());
    secure_zero(&length_, sizeof length_);
}

// One 64-byte block. Message words are read straight from the input rather than copied to a
// local schedule, so no copy of the data is left on the stack.
void Md5::block(const uint8_t* p) {
    auto x = [p](int k) { return load_le32(p + 4 * k); };
    uint32_t a = state_[0];
    uint32_t b = state_[1];
    uint32_t c = state_[2];
    uint32_t d = state_[3];

    step_f(a, b, c, d, x(0), 7, 0xd76aa478);
    step_f(d, a, b, c, x(1), 12, 0xe8c7b756);
    step_f(c, d, a, b, x(2), 17, 0x242070db);
    step_f(b, c, d, a, x(3), 22, 0xc1bdceee);
    step_f(a, b, c, d, x(4), 7, 0xf57c0faf);
    step_f(d, a, b, c, x(5), 12, 0x4787c62a);
    step_f(c, d, a, b, x(6), 17, 0xa8304613);
    step_f(b, c, d, a, x(7), 22, 0xfd469501);
    step_f(a, b, c, d, x(8), 7, 0x698098d8);
    step_f(d, a, b, c, x(9), 12, 0x8b44f7af);
    step_f(c, d, a, b, x(10), 17, 0xffff5bb1);
    step_f(b, c, d, a, x(11), 22, 0x895cd7be);
    step_f(a, b, c, d, x(12), 7, 0x6b901122);
    step_f(d, a, b, c, x(13), 12, 0xfd987193);
    step_f(c, d, a, b, x(14), 17, 0xa679438e);
    step_f(b, c, d, a, x(15), 22, 0x49b40821);

    step_g(a, b, c, d, x(1), 5, 0xf61e2562);
    step_g(d, a, b, c, x(6), 9, 0xc040b340);
    step_g(c, d, a, b, x(11), 14, 0x265e5a51);
    step_g(b, c, d, a, x(0), 20, 0xe9b6c7aa);
    step_g(a, b, c, d, x(5), 5, 0xd62f105d);
    step_g(d, a, b, c, x(10), 9, 0x02441453);
    step_g(c, d, a, b, x(15), 14, 0xd8a1e681);
    step_g(b, c, d, a, x(4), 20, 0xe7d3fbc8);
    step_g(a, b, c, d, x(9), 5, 0x21e1cde6);
    step_g(d, a, b, c, x(14), 9, 0xc33707d6);
    step_g(c, d, a, b, x(3), 14, 0xf4d50d87);
    step_g(b, c, d, a, x(8), 20, 0x455a14ed);
    step_g(a, b, c, d, x(13), 5, 0xa9e3e905);
    step_g(d, a, b, c, x(2), 9, 0xfcefa3f8);
    step_g(c, d, a, b, x(7), 14, 0x676f02d9);
    step_g(b, c, d, a, x(12), 20, 0x8d2a4c8a);

    step_h(a, b, c, d, x(5), 4, 0xfffa3942);
    step_h(d, a, b, c, x(8), 11, 0x8771f681);
    step_h(c, d, a, b, x(11), 16, 0x6d9d6122);
    step_h(b, c, d, a, x(14), 23, 0xfde5380c);
    step_h(a, b, c, d, x(1), 4, 0xa4beea44);
    step_h(d, a, b, c, x(4), 11, 0x4bdecfa9);
    step_h(c, d, a, b, x(7), 16, 0xf6bb4b60);
    step_h(b, c, d, a, x(10), 23, 0xbebfbc70);
    step_h(a, b, c, d, x(13), 4, 0x289b7ec6);
    step_h(d, a, b, c, x(0), 11, 0xeaa127fa);
    step_h(c, d, a, b, x(3), 16, 0xd4ef3085);
    step_h(b, c, d, a, x(6), 23, 0x04881d05);
    step_h(a, b, c, d, x(9), 4, 0xd9d4d039);
    step_h(d, a, b, c, x(12), 11, 0xe6db99e5);
    step_h(c, d, a, b, x(15), 16, 0x1fa27cf8);
    step_h(b, c, d, a, x(2), 23, 0xc4ac5665);

    step_i(a, b, c, d, x(0), 6, 0xf4292244);
    step_i(d, a, b, c, x(7), 10, 0x432aff97);
    step_i(c, d, a, b, x(14), 15, 0xab9423a7);
    step_i(b, c, d, a, x(5), 21, 0xfc93a039);
    step_i(a, b, c, d, x(12), 6, 0x655b59c3);
    step_i(d, a, b, c, x(3), 10, 0x8f0ccc92);
    step_i(c, d, a, b, x(10), 15, 0xffeff47d);
    step_i(b, c, d, a, x(1), 21, 0x85845dd1);
    step_i(a, b, c, d, x(8), 6, 0x6fa87e4f);
    step_i(d, a, b, c, x(15), 10, 0xfe2ce6e0);
    step_i(c, d, a, b, x(6), 15, 0xa3014314);
    step_i(b, c, d, a, x(13), 21, 0x4e0811a1);
    step_i(a, b, c, d, x(4), 6, 0xf7537e82);
    step_i(d, a, b, c, x(11), 10, 0xbd3af235);
    step_i(c, d, a, b, x(2), 15, 0x2ad7d2bb);
    step_i(b, c, d, a, x(9), 21, 0xeb86d391);

    state_[0] += a;
    state_[1] += b;
    state_[2] += c;
    state_[3] += d;
}

void Md5::update(std::span<const uint8_t> data) {
    if (data.empty()) return;
    const uint8_t* p = data.data();
    size_t n = data.size();
    const size_t used = static_cast<size_t>(length_ % 64);
    length_ += n;

    // Top up a partly filled buffer first; whole blocks then go straight from the input.
    if (used != 0) {
        const size_t take = std::min(n, 64 - used);
        std::memcpy(buffer_.data() + used, p, take);
        p += take;
        n -= take;
        if (used + take < 64) return;
        block(buffer_.data());
    }
    for (; n >= 64; p += 64, n -= 64) block(p);
    if (n != 0) std::memcpy(buffer_.data(), p, n);
}

Digest Md5::finish() {
    // Padding: 0x80, zeros up to 56 mod 64, then the bit length as 64-bit little-endian.
    const uint64_t bits = length_ * 8;
    size_t used = static_cast<size_t>(length_ % 64);
    buffer_[used++] = 0x80;
    if (used > 56) {
        std::fill(buffer_.begin() + static_cast<std::ptrdiff_t>(used), buffer_.end(), 0);
        block(buffer_.data());
        used = 0;
    }
    std::fill(buffer_.begin() + static_cast<std::ptrdiff_t>(used), buffer_.begin() + 56, 0);
    store_le32(buffer_.data() + 56, static_cast<uint32_t>(bits));
    store_le32(buffer_.data() + 60, static_cast<uint32_t>(bits >> 32));
    block(buffer_.data());

    Digest out;
    for (size_t k = 0; k < 4; ++k) store_le32(out.data() + 4 * k, state_[k]);
    secure_zero(buffer_.data(), buffer_.size());
    return out;
}

Digest md5(std::span<const uint8_t> data) {
    Md5 h;
    h.update(data);
    return h.finish();
}

// ---- RC4 ----

Rc4::Rc4(std::span<const uint8_t> key) {
    assert(!key.empty() && key.size() <= 256);
    for (size_t n = 0; n < 256; ++n) s_[n] = static_cast<uint8_t>(n);
    if (key.empty()) return;  // not a valid key; leave the identity permutation

    const size_t len = key.size();
    uint8_t j = 0;
    size_t k = 0;  // n mod len, kept without a division per byte
    for (size_t n = 0; n < 256; ++n) {
        const uint8_t sn = s_[n];
        j = static_cast<uint8_t>(j + sn + key[k]);
        s_[n] = s_[j];
        s_[j] = sn;
        if (++k == len) k = 0;
    }
}

Rc4::~Rc4() {
    secure_zero(s_.data(), s_.size());
    secure_zero(&i_, sizeof i_);
    secure_zero(&j_, sizeof j_);
}

void Rc4::apply(std::span<const uint8_t> in, std::span<uint8_t> out) {
    assert(in.size() == out.size());
    size_t n = std::min(in.size(), out.size());
    const uint8_t* src = in.data();
    uint8_t* dst = out.data();
    uint8_t* const s = s_.data();
    uint8_t i = i_;
    uint8_t j = j_;

    auto next = [s, &i, &j]() -> uint8_t {
        ++i;
        const uint8_t si = s[i];
        j = static_cast<uint8_t>(j + si);
        const uint8_t sj = s[j];
        s[i] = sj;
        s[j] = si;
        return s[static_cast<uint8_t>(si + sj)];
    };
    // Places keystream byte m of eight where a native 64-bit load puts input byte m.
    auto at = [](uint8_t b, int m) -> uint64_t {
        const int shift = std::endian::native == std::endian::little ? 8 * m : 8 * (7 - m);
        return uint64_t{b} << shift;
    };

    // Eight keystream bytes are gathered into one word and XORed on with a single load and
    // store, which roughly halves the memory traffic of a byte loop. The input word is read
    // before the output is written, so in == out is safe.
    for (; n >= 8; n -= 8, src += 8, dst += 8) {
        uint64_t ks = at(next(), 0);
        ks |= at(next(), 1);
        ks |= at(next(), 2);
        ks |= at(next(), 3);
        ks |= at(next(), 4);
        ks |= at(next(), 5);
        ks |= at(next(), 6);
        ks |= at(next(), 7);
        uint64_t word;
        std::memcpy(&word, src, sizeof word);
        word ^= ks;
        std::memcpy(dst, &word, sizeof word);
    }
    for (size_t k = 0; k < n; ++k) dst[k] = static_cast<uint8_t>(src[k] ^ next());

    i_ = i;
    j_ = j;
}

// ---- KeyContext ----

KeyContext::~KeyContext() {
    clear();
}

KeyContext::KeyContext(const KeyContext& other)
    : valid_(other.valid_), key_(other.key_), prepared_(other.prepared_) {}

KeyContext& KeyContext::operator=(const KeyContext& other) {
    if (this != &other) {
        valid_ = other.valid_;
        key_ = other.key_;
        prepared_ = other.prepared_;
    }
    return *this;
}

void KeyContext::prepare(std::span<const uint8_t, kKeySize> key) {
    std::copy(key.begin(), key.end(), key_.begin());
    const Rc4 scheduled(key);
    prepared_ = scheduled.s_;
    valid_ = true;
}

void KeyContext::clear() {
    secure_zero(key_.data(), key_.size());
    secure_zero(prepared_.data(), prepared_.size());
    valid_ = false;
}

bool KeyContext::transform(std::span<const uint8_t> in, std::span<uint8_t> out) const {
    if (!valid_ || in.size() != out.size()) return false;
    Rc4 fresh(prepared_, Rc4::Prepared{});
    fresh.apply(in, out);
    return true;
}

}  // namespace ks
