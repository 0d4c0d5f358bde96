#pragma once
// An open wallet file with its three leading blocks, and the opening checks shared by the
// document and the repair walk.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string_view>

#include "core/storage_result.h"
#include "core/wallet_blocks.h"
#include "platform/file.h"

namespace ks {

enum class OpenResult : int {
    Opened = 0,
    BadPath = 1,          // missing or shorter than 6 characters
    CannotOpen = 2,       // cannot be opened for another reason (a folder, an I/O error)
    NodesUnreadable = 3,  // load: the node area could not be read at all
    BadInfoBlock = 4,
    BadSettingsBlock = 5,
    NotAWallet = 7,  // shorter than the header, unreadable, or another signature
    WrongVersion = 8,
    WrongPassword = 10,
    NoMemory = 12,  // load: no memory for a node
    Damaged = 13,   // load: the walk stopped inside a record
    // For writing: a file lies in the journal's place that this user did not write for this
    // wallet (a link, another user's file, or one made for another file); both are left alone.
    JournalNotTrusted = 20,
    // For reading only: a change was interrupted and its journal is pending; opening for
    // writing finishes it.
    ChangeInterrupted = 21,
    // The document is in an operation whose question is open; nothing was closed or opened.
    Busy = 22,
    Missing = 23,       // no file at the path (or a folder on the way is missing)
    AccessDenied = 24,  // the user may not read it (or, for writing, write it)
    Locked = 25,        // another program has it open for writing (or, for writing, at all)
};

// What an open that failed for lack of a usable file reports, from the failed call's errno.
OpenResult open_result_of(const FileFailure& failure);

constexpr size_t kMinPathLength = 6;

struct WalletStorage {
    File file;
    WalletHeader header;
    WalletInfoBlock info;
    WalletSettingsBlock settings;
    std::filesystem::path path;
    bool read_only = false;
    bool open = false;

    // Closes the file and wipes the blocks and keys.
    void close();
};

bool path_acceptable(const std::filesystem::path& path);

// Removes what interrupted runs left beside the wallet at `real_path`: "<wallet>.XXXXXXXX.tmp"
// (a password change's or a conversion's unfinished copy) and its ".tmp.cut" journal. Only
// regular files of the user with one name and exactly that pattern are removed, and a copy that
// another process holds locked is kept. Returns how many were removed.
int remove_stale_siblings(const std::filesystem::path& real_path);

// Icons of the three special entries' captions in a new wallet.
constexpr int32_t kCaptionIcon1 = 88;
constexpr int32_t kCaptionIcon2 = 128;
constexpr int32_t kCaptionIcon3 = 78;

// Fills the three blocks of a new wallet stamped now: signature, markers, keys from
// `password`, the captions and the hint. False when the keys cannot be set up.
bool fill_new_wallet_blocks(WalletStorage& storage, std::optional<std::u16string_view> password,
                            std::optional<std::u16string_view> hint);

// Writes header, info block and settings block from the start of the file, in that order; in a
// wallet that has its blocks already, as one journaled change. With `only_changed`, only the
// blocks whose bytes differ from the file's are written, and an unchanged info block keeps its
// random values. The first failure is returned together with the block it concerns (0, 1, 2).
struct BlockWriteFailure {
    int block = -1;
    StorageResult result = StorageResult::Done;
};
BlockWriteFailure write_leading_blocks(WalletStorage& storage, bool only_changed);

// Opens `path` and reads its three blocks: for reading only under a shared advisory lock, or for
// reading and writing under an exclusive one (a lock held elsewhere gives CannotOpen), so that a
// reader never sees a change half done. A symbolic link is resolved once: `storage.file` has the
// real file's path, beside which its journal and temporary files lie. Opening for writing first
// finishes an interrupted change and removes the wallet's own stale temporary files. A wallet
// with a password needs the right one (WrongPassword; `locked_info`, when given, then receives
// the info block). On any failure `storage` is left closed.
OpenResult open_wallet_storage(WalletStorage& storage, const std::filesystem::path& path,
                               std::optional<std::u16string_view> password, bool read_only,
                               WalletInfoBlock* locked_info = nullptr);

// Reads a wallet's blocks for reading only and without its password, and lets the file go
// again: Opened for a wallet without a password, WrongPassword for one that has a password, or
// why the file is not a wallet that can be opened. For Opened and WrongPassword `info` holds
// the info block, against which typed passwords are checked and from which the hint is read.
OpenResult peek_wallet(const std::filesystem::path& path, WalletInfoBlock& info);

}  // namespace ks
