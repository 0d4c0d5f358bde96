#pragma once
// The password and options dialogs' decisions that need no window.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/prompt.h"

namespace ks {

// ---- Passwords ----

constexpr int kPasswordBoxLimit = 24;  // what the boxes accept
constexpr size_t kPasswordReadLimit = 23;  // what is read from them
constexpr int kHintBoxLimit = 255;
constexpr size_t kHintReadLimit = 254;
constexpr int kAutoOkReadLimit = 63;
constexpr int kDialogIdleTicks = 120;  // one-second ticks before a password dialog cancels
constexpr int kHintAfterFailures = 5;

// The text a box holds as the dialog reads it: its first `limit` characters.
std::u16string read_limited(std::u16string_view text, size_t limit);

struct PasswordProblem {
    uint32_t text_id = 0;
    PromptIcon icon = PromptIcon::Stop;
};

// The new-password dialog's checks, in their order: the first password empty (27003), the
// lengths differ (27004), shorter than 3 (27007), a character differs (27004). Both texts are
// taken as read (23 characters).
std::optional<PasswordProblem> check_new_password(std::u16string_view first,
                                                  std::u16string_view second);

// The entry dialog's wrong attempts: from the fifth on, the hint is shown once, when there is
// one.
class PasswordAttempts {
  public:
    // Counts a wrong attempt; true when the hint is to be shown now.
    bool count_failure(bool wallet_has_hint);
    int failures() const { return failures_; }

  private:
    int failures_ = 0;
    bool hint_shown_ = false;
};

// The idle countdown of both password dialogs.
class IdleCountdown {
  public:
    void restart() { left_ = kDialogIdleTicks; }
    // One tick; true when the countdown has just run out.
    bool tick() { return left_ > 0 && --left_ == 0; }
    int left() const { return left_; }

  private:
    int left_ = kDialogIdleTicks;
};

// ---- Display options ----

// Entries of the tree text size list: small, medium, large, then the same in bold.
constexpr std::array<uint32_t, 6> kTreeSizeTexts = {20900, 20901, 20902, 20904, 20905, 20906};
constexpr std::array<uint32_t, 3> kCardSizeTexts = {20900, 20901, 20902};

int tree_size_entry(int32_t font_main, int32_t font_main_style);

struct TreeTextSize {
    int32_t points = 9;
    bool bold = false;
};
// The size and bold bit stored for an entry; -1 (nothing chosen) counts as entry 0.
TreeTextSize tree_size_of_entry(int entry);

int card_size_entry(int32_t points);
int32_t card_size_of_entry(int entry);

// ---- Security options ----

struct PeriodChoice {
    uint32_t text_id;
    uint32_t minutes;
};
constexpr std::array<PeriodChoice, 6> kPeriodChoices = {{
    {28504, 0}, {28510, 1}, {28505, 5}, {28509, 10}, {28507, 30}, {28508, 60}}};

// The entry that carries `minutes`, else the first.
int period_entry(uint32_t minutes);

}  // namespace ks
