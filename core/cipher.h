#pragma once
// MD5 (RFC 1321) and RC4, and the 16-byte key context through which every wallet text is
// enciphered: each item gets a fresh RC4 state, so equal texts give equal bytes.
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace ks {

using Digest = std::array<uint8_t, 16>;

class Md5 {
  public:
    Md5();
    ~Md5();
    Md5(const Md5&) = delete;
    Md5& operator=(const Md5&) = delete;

    void update(std::span<const uint8_t> data);
    Digest finish();  // the object may not be updated afterwards

  private:
    void block(const uint8_t* p);

    std::array<uint32_t, 4> state_;
    std::array<uint8_t, 64> buffer_{};
    uint64_t length_ = 0;  // bytes so far
};

Digest md5(std::span<const uint8_t> data);

// The RC4 permutation and its two indices.
class Rc4 {
  public:
    explicit Rc4(std::span<const uint8_t> key);  // runs the key schedule; key of 1..256 bytes
    ~Rc4();
    Rc4(const Rc4&) = default;
    Rc4& operator=(const Rc4&) = default;

    // XORs keystream onto `in` into `out` (same size; may be the same buffer).
    void apply(std::span<const uint8_t> in, std::span<uint8_t> out);
    void apply(std::span<uint8_t> data) { apply(data, data); }

  private:
    friend class KeyContext;
    // Starts from a permutation already produced by the key schedule. The tag keeps a
    // 256-byte std::array key from selecting this overload.
    struct Prepared {};
    Rc4(const std::array<uint8_t, 256>& prepared, Prepared) : s_(prepared) {}

    std::array<uint8_t, 256> s_;
    uint8_t i_ = 0;
    uint8_t j_ = 0;
};

// A 16-byte key with its prepared RC4 state. A context that is not valid enciphers nothing.
class KeyContext {
  public:
    static constexpr size_t kKeySize = 16;

    KeyContext() = default;
    ~KeyContext();
    KeyContext(const KeyContext& other);
    KeyContext& operator=(const KeyContext& other);

    void prepare(std::span<const uint8_t, kKeySize> key);
    void clear();  // wipes key and state; no longer valid

    bool valid() const { return valid_; }
    const std::array<uint8_t, kKeySize>& key() const { return key_; }

    // Enciphering and deciphering alike: a fresh keystream from the start of the key's RC4
    // state XORed onto `in` into `out` (same size; may be the same buffer). False and `out`
    // untouched when the context is not valid.
    bool transform(std::span<const uint8_t> in, std::span<uint8_t> out) const;
    bool transform(std::span<uint8_t> data) const { return transform(data, data); }

  private:
    bool valid_ = false;
    std::array<uint8_t, kKeySize> key_{};
    std::array<uint8_t, 256> prepared_{};  // permutation after the key schedule
};

}  // namespace ks
