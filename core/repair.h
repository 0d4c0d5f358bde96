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

struct WalkRepairs {
    int count = 0;              // places where something was cut or set
    uint64_t first_change = 0;  // the offset of the record where the first of them was
};

// Walks the node records of an open, writable file from the record at `start` and mends what it
// finds. Nothing when an I/O call failed.
std::optional<WalkRepairs> repair_node_records(File& file,
                                               uint64_t start = format::kFirstNodeOffset);

// Walks the node records as a repair would, changing nothing: the places a repair would mend
// (a cut can reveal more, which the repair then mends as well). Works on a read-only file.
// Nothing when a read failed.
std::optional<int> check_node_records(File& file);

// Walks and mends until a walk finds nothing more (a cut can bring bytes together that a walk
// then reads differently, a header hidden inside another). Each walk starts at the record where
// the previous one made its first change: the records before it were whole and are unchanged.
// The places mended; nothing when an I/O call failed.
std::optional<int> repair_all_records(File& file);

// Moves every folder that sits in a cycle of parents (out of reach of the top level) to the top
// level, each by a journaled rewrite of its header; with `check_only` only counts them. The
// folders found; nothing when an I/O call failed.
std::optional<int> mend_folder_cycles(File& file, bool check_only);

// Asks the two questions, opens the wallet for writing with `password`, repairs, makes it
// durable and reports through `prompt`. The wallet must not be open elsewhere in the process.
RepairResult repair_wallet(const std::filesystem::path& path,
                           std::optional<std::u16string_view> password, Prompt& prompt);

}  // namespace ks
