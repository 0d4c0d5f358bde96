#include "platform/bytes.h"

#include <string.h>

#include <algorithm>
#include <cassert>

namespace ks {

bool ByteReader::read_u32(uint32_t& v) {
    if (remaining() < 4) return false;
    v = get_u32(data_, pos_);
    pos_ += 4;
    return true;
}

bool ByteReader::take(size_t n, std::span<const uint8_t>& out) {
    if (remaining() < n) return false;
    out = data_.subspan(pos_, n);
    pos_ += n;
    return true;
}

bool ByteReader::skip(size_t n) {
    if (remaining() < n) return false;
    pos_ += n;
    return true;
}

bool all_zero(std::span<const uint8_t> b) {
    for (uint8_t x : b)
        if (x != 0) return false;
    return true;
}

void secure_zero(void* p, size_t n) {
    // A store the compiler may not drop as dead, at memset speed.
    if (n != 0) explicit_bzero(p, n);
}

SecureBytes& SecureBytes::operator=(const SecureBytes& o) {
    if (this != &o) {
        wipe();
        data_ = o.data_;
    }
    return *this;
}

SecureBytes& SecureBytes::operator=(SecureBytes&& o) noexcept {
    if (this != &o) {
        wipe();
        data_ = std::move(o.data_);
        o.data_.clear();
    }
    return *this;
}

void SecureBytes::wipe() {
    if (!data_.empty()) secure_zero(data_.data(), data_.size());
}

void SecureBytes::resize(size_t n) {
    std::vector<uint8_t> grown(n, 0);
    std::copy_n(data_.begin(), std::min(n, data_.size()), grown.begin());
    wipe();
    data_.swap(grown);
}

}  // namespace ks
