#pragma once
// The repair walk: rebuilds the node area of a damaged wallet so that it can be loaded again,
// keeping every record that is whole.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string_view>

#include "core/wallet_open.h"
#include "platform/file.h"
#include "platform/prompt.h"

namespace ks {

// Texts of the two questions, the report and their caption.
constexpr uint32_t kTextRepairAsk = 22164;  // %s: the path
constexpr uint32_t kTextRepairConfirm = 22165;
constexpr uint32_t kTextRepairReport = 22166;  // %d: repairs made, %s: the path
constexpr uint32_t kTextProductName = 20001;

enum class RepairStatus : int {
    Done = 0,
    Declined = 7,      // the user said no to either question
    OpenFailed = 100,  // see `open_result`
    IoFailed = 101,    // a read, write or cut failed part-way; what was repaired stays
};

struct RepairResult {
    RepairStatus status = RepairStatus::Done;
    OpenResult open_result = OpenResult::Opened;
    int repairs = 0;  // places where something was cut or set
};

// Walks and mends the node records of an open, writable file. Nothing when an I/O call failed.
std::optional<int> repair_node_records(File& file);

// Asks the two questions, opens the wallet for writing with `password`, repairs, makes it
// durable and reports through `prompt`. The wallet must not be open elsewhere in the process.
RepairResult repair_wallet(const std::filesystem::path& path,
                           std::optional<std::u16string_view> password, Prompt& prompt);

}  // namespace ks
