#include "shell/dialog_rules.h"

#include "platform/text.h"
#include "platform/texts.h"

namespace ks {

std::u16string read_limited(std::u16string_view text, size_t limit) {
    return std::u16string(cut_units(text, limit));
}

std::optional<PasswordProblem> check_new_password(std::u16string_view first,
                                                  std::u16string_view second) {
    if (first.empty()) return PasswordProblem{text_id::kPasswordMissing, PromptIcon::Stop};
    if (first.size() != second.size()) {
        return PasswordProblem{text_id::kPasswordsDiffer, PromptIcon::Exclamation};
    }
    if (first.size() < 3) return PasswordProblem{text_id::kPasswordTooShort, PromptIcon::Stop};
    if (first != second) return PasswordProblem{text_id::kPasswordsDiffer, PromptIcon::Exclamation};
    return std::nullopt;
}

bool PasswordAttempts::count_failure(bool wallet_has_hint) {
    ++failures_;
    if (failures_ < kHintAfterFailures || hint_shown_ || !wallet_has_hint) return false;
    hint_shown_ = true;
    return true;
}

int tree_size_entry(int32_t font_main, int32_t font_main_style) {
    const bool bold = (font_main_style & 1) != 0;
    if (font_main > 12) return 1;  // an unusual size shows as medium, plain
    if (font_main <= 8) return bold ? 3 : 0;
    if (font_main == 9) return bold ? 4 : 1;
    return bold ? 5 : 2;
}

TreeTextSize tree_size_of_entry(int entry) {
    const bool bold = entry >= 3 && entry <= 5;
    if (entry == 0 || entry == 3 || entry < 0) return {8, bold};
    if (entry == 2 || entry == 5) return {11, bold};
    return {9, bold};
}

int card_size_entry(int32_t points) {
    if (points <= 8) return 0;
    if (points >= 10 && points <= 12) return 2;
    return 1;
}

int32_t card_size_of_entry(int entry) {
    switch (entry) {
        case 0: return 8;
        case 2: return 11;
        default: return 9;
    }
}

int period_entry(uint32_t minutes) {
    for (size_t i = 0; i < kPeriodChoices.size(); ++i) {
        if (kPeriodChoices[i].minutes == minutes) return static_cast<int>(i);
    }
    return 0;
}

}  // namespace ks
