#include "platform/secret.h"

namespace ks {

void SecretText::wipe() noexcept {
    secure_zero(data(), (capacity() + 1) * sizeof(char16_t));
    clear();
    // Giving the heap buffer back (the allocator wipes it) moves the empty text into the inline
    // storage; wiping that too clears what a short text left there before it grew.
    try {
        shrink_to_fit();
    } catch (...) {
    }
    secure_zero(data(), (capacity() + 1) * sizeof(char16_t));
}

}  // namespace ks
