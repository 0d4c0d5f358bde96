#pragma once
// Containers for deciphered texts and passwords: memory they give back is wiped first.
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include "platform/bytes.h"

namespace ks {

// An allocator that zeroes every block before it is freed, so that a reallocation or the end of
// a container leaves no copy of its contents in the heap.
template <typename T>
struct WipingAllocator {
    using value_type = T;

    WipingAllocator() noexcept = default;
    template <typename U>
    WipingAllocator(const WipingAllocator<U>&) noexcept {}

    T* allocate(size_t n) { return std::allocator<T>{}.allocate(n); }
    void deallocate(T* p, size_t n) noexcept {
        secure_zero(p, n * sizeof(T));
        std::allocator<T>{}.deallocate(p, n);
    }
    template <typename U>
    bool operator==(const WipingAllocator<U>&) const noexcept {
        return true;
    }
};

using WipedString = std::basic_string<char, std::char_traits<char>, WipingAllocator<char>>;
using WipedU16String =
    std::basic_string<char16_t, std::char_traits<char16_t>, WipingAllocator<char16_t>>;

// UTF-16 text that holds a secret (a field's value, a password). Its heap buffer is wiped by the
// allocator; a short text lives inside the object itself, so the destructor wipes that too.
class SecretText : public WipedU16String {
  public:
    SecretText() = default;
    SecretText(std::u16string_view text) : WipedU16String(text.data(), text.size()) {}
    SecretText(const char16_t* text) : WipedU16String(text) {}
    SecretText(const SecretText&) = default;
    SecretText(SecretText&&) noexcept = default;
    SecretText& operator=(const SecretText&) = default;
    SecretText& operator=(SecretText&&) noexcept = default;
    SecretText& operator=(std::u16string_view text) {
        assign(text.data(), text.size());
        return *this;
    }
    SecretText& operator=(const char16_t* text) { return *this = std::u16string_view(text); }
    ~SecretText() { wipe(); }

    // Zeroes the text and every unit of its storage, inline storage included, and empties it.
    void wipe() noexcept;

    std::u16string_view view() const noexcept { return {data(), size()}; }
    // A plain copy, for code that must hand the text on (it is not wiped).
    std::u16string plain() const { return {data(), size()}; }
};

// UTF-8 to UTF-16, as from_utf8, without a plain copy.
SecretText secret_from_utf8(std::string_view utf8);

inline bool operator==(const SecretText& a, const SecretText& b) noexcept {
    return a.view() == b.view();
}
inline bool operator==(const SecretText& a, std::u16string_view b) noexcept {
    return a.view() == b;
}
inline bool operator==(const SecretText& a, const char16_t* b) noexcept {
    return a.view() == std::u16string_view(b);
}

}  // namespace ks
