// Reads arbitrary bytes as a form file and builds the texts shown for a form that reads.
#include <cstddef>
#include <cstdint>
#include <span>

#include "core/keys.h"
#include "forms/form_file_messages.h"
#include "fuzz/fuzz_support.h"

namespace {

// The key of the wallet the form would be imported into; any valid key will do.
const ks::KeyContext& wallet_key() {
    static const ks::KeyContext key = [] {
        ks::KeyContext k;
        const ks::Digest digest = ks::password_digest(u"fuzz wallet");
        k.prepare(std::span<const uint8_t, ks::KeyContext::kKeySize>(digest));
        return k;
    }();
    return key;
}

}  // namespace

void ks::fuzz::fuzz(std::span<const uint8_t> data) {
    ks::fuzz::use_english_texts();
    const auto path = ks::fuzz::write_scratch_file("form.ksx", data);
    if (path.empty()) return;
    ks::FormReadError error = ks::FormReadError::None;
    auto form = ks::read_form_file(path, wallet_key(), &error);
    ks::fuzz::require(form.has_value() == (error == ks::FormReadError::None));
    if (!form) return;
    ks::fuzz::require(form->card.node().has_value());
    ks::import_form_question(*form);
    ks::form_file_summary(*form);
    (void)form->card.node()->name();
}
