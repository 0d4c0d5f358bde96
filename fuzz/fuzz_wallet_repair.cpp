// Repairs arbitrary bytes as a damaged wallet. Once the repair says it is done, the wallet must
// load without the walk stopping inside a record, and a second repair must find nothing to mend.
// A check beforehand must find damage exactly when the repair mends something.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "core/repair.h"
#include "core/wallet_document.h"
#include "fuzz/fuzz_support.h"
#include "platform/file.h"
#include "platform/prompt.h"

namespace {

// Wallets without a password open with any; the seeds with one use this.
constexpr std::u16string_view kPassword = u"secret";

}  // namespace

void ks::fuzz::fuzz(std::span<const uint8_t> data) {
    ks::fuzz::use_english_texts();
    const auto path = ks::fuzz::write_scratch_file("repair.ks5", data);
    if (path.empty()) return;
    std::optional<int> found;
    {
        ks::File file = ks::File::open(path, ks::FileMode::ReadOnly);
        found = ks::check_node_records(file);
    }
    ks::AcceptingPrompt prompt;
    const ks::RepairResult first = ks::repair_wallet(path, kPassword, prompt);
    if (first.status != ks::RepairStatus::Done) return;
    ks::fuzz::require(first.repairs >= 0);
    ks::fuzz::require(found.has_value() && (*found > 0) == (first.repairs > 0));
    {
        ks::WalletDocument document;
        ks::fuzz::require(document.load(path, kPassword) != ks::OpenResult::Damaged);
    }
    const ks::RepairResult second = ks::repair_wallet(path, kPassword, prompt);
    ks::fuzz::require(second.status == ks::RepairStatus::Done && second.repairs == 0);
}
