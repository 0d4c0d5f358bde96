#pragma once
// Little-endian coding and bounds-checked reading of byte buffers, and zeroizing of secrets.
#include <array>
#include <cassert>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <vector>

namespace ks {

using Bytes = std::vector<uint8_t>;

// Fixed-offset access; the caller guarantees offset + width <= size (checked by assert).
// Inline: the record walks decode a few words per record and call these in their inner loops.
inline uint16_t get_u16(std::span<const uint8_t> b, size_t offset) {
    assert(offset + 2 <= b.size());
    return static_cast<uint16_t>(b[offset] | (b[offset + 1] << 8));
}

inline uint32_t get_u32(std::span<const uint8_t> b, size_t offset) {
    assert(offset + 4 <= b.size());
    return static_cast<uint32_t>(b[offset]) | (static_cast<uint32_t>(b[offset + 1]) << 8) |
           (static_cast<uint32_t>(b[offset + 2]) << 16) |
           (static_cast<uint32_t>(b[offset + 3]) << 24);
}

inline int32_t get_i32(std::span<const uint8_t> b, size_t offset) {
    return static_cast<int32_t>(get_u32(b, offset));
}

inline void put_u16(std::span<uint8_t> b, size_t offset, uint16_t v) {
    assert(offset + 2 <= b.size());
    b[offset] = static_cast<uint8_t>(v);
    b[offset + 1] = static_cast<uint8_t>(v >> 8);
}

inline void put_u32(std::span<uint8_t> b, size_t offset, uint32_t v) {
    assert(offset + 4 <= b.size());
    for (size_t i = 0; i < 4; ++i) b[offset + i] = static_cast<uint8_t>(v >> (8 * i));
}

inline void put_i32(std::span<uint8_t> b, size_t offset, int32_t v) {
    put_u32(b, offset, static_cast<uint32_t>(v));
}

// Reads forward through a buffer; every read fails (returns false) rather than run past the end.
class ByteReader {
  public:
    explicit ByteReader(std::span<const uint8_t> data) : data_(data) {}

    size_t position() const { return pos_; }
    size_t remaining() const { return data_.size() - pos_; }
    bool read_u32(uint32_t& v);
    bool take(size_t n, std::span<const uint8_t>& out);
    bool skip(size_t n);

  private:
    std::span<const uint8_t> data_;
    size_t pos_ = 0;
};

bool all_zero(std::span<const uint8_t> b);

// Overwrites memory in a way the compiler may not elide.
void secure_zero(void* p, size_t n);
template <typename T, size_t N>
void secure_zero(std::span<T, N> s) {
    secure_zero(s.data(), s.size_bytes());
}

// A byte buffer that wipes itself on destruction and on clear; for secrets.
class SecureBytes {
  public:
    SecureBytes() = default;
    explicit SecureBytes(size_t n) : data_(n, 0) {}
    SecureBytes(std::span<const uint8_t> b) : data_(b.begin(), b.end()) {}
    SecureBytes(const SecureBytes&) = default;
    SecureBytes(SecureBytes&& o) noexcept : data_(std::move(o.data_)) { o.data_.clear(); }
    SecureBytes& operator=(const SecureBytes& o);
    SecureBytes& operator=(SecureBytes&& o) noexcept;
    ~SecureBytes() { wipe(); }

    void wipe();
    void clear() {
        wipe();
        data_.clear();
    }
    void resize(size_t n);
    size_t size() const { return data_.size(); }
    bool empty() const { return data_.empty(); }
    uint8_t* data() { return data_.data(); }
    const uint8_t* data() const { return data_.data(); }
    std::span<uint8_t> span() { return data_; }
    std::span<const uint8_t> span() const { return data_; }
    uint8_t& operator[](size_t i) { return data_[i]; }
    uint8_t operator[](size_t i) const { return data_[i]; }
    bool operator==(const SecureBytes& o) const { return data_ == o.data_; }

  private:
    std::vector<uint8_t> data_;
};

}  // namespace ks
