#pragma once
// Little-endian coding and bounds-checked reading of byte buffers, and zeroizing of secrets.
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <vector>

namespace ks {

using Bytes = std::vector<uint8_t>;

// Fixed-offset access; the caller guarantees offset + width <= size (checked by assert).
uint16_t get_u16(std::span<const uint8_t> b, size_t offset);
uint32_t get_u32(std::span<const uint8_t> b, size_t offset);
int32_t get_i32(std::span<const uint8_t> b, size_t offset);
void put_u16(std::span<uint8_t> b, size_t offset, uint16_t v);
void put_u32(std::span<uint8_t> b, size_t offset, uint32_t v);
void put_i32(std::span<uint8_t> b, size_t offset, int32_t v);

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
