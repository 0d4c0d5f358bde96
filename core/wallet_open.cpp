#include "core/wallet_open.h"

#include <algorithm>
#include <array>
#include <string_view>
#include <vector>

#include "core/format.h"
#include "core/keys.h"
#include "core/wallet_file.h"
#include "platform/atomic_file.h"
#include "platform/bytes.h"
#include "platform/clock.h"
#include "platform/texts.h"

namespace ks {

void WalletStorage::close() {
    file.close();
    header.clear();
    info.clear();
    settings.clear();
    path.clear();
    read_only = false;
    open = false;
}

bool path_acceptable(const std::filesystem::path& path) {
    return path.native().size() >= kMinPathLength;
}

int remove_stale_siblings(const std::filesystem::path& real_path) {
    return remove_stale_temporaries(real_path, ".cut");
}

bool fill_new_wallet_blocks(WalletStorage& storage, std::optional<std::u16string_view> password,
                            std::optional<std::u16string_view> hint) {
    const DateTime now = clock().now();
    storage.header.fill_new();
    WalletInfoBlock& info = storage.info;
    info.fill_new(now);
    Digest master = derive_master_key(info.creation_time());
    info.master_key.prepare(master);
    secure_zero(std::span(master));
    const std::pair<uint32_t, int32_t> captions[] = {{text_id::kCaption1, kCaptionIcon1},
                                                     {text_id::kCaption2, kCaptionIcon2},
                                                     {text_id::kCaption3, kCaptionIcon3}};
    bool ok = set_password(info, password);
    for (int entry = 1; entry <= 3 && ok; ++entry) {
        const auto& [text, icon] = captions[entry - 1];
        ok = set_caption(info, entry, load_string(text), icon);
    }
    ok = ok && set_hint(info, hint);
    storage.settings.fill_new(now);
    return ok;
}

namespace {

struct BlockPlace {
    size_t offset;
    size_t size;
};
constexpr BlockPlace kBlockPlaces[] = {
    {0, format::kHeaderSize},
    {format::kInfoBlockOffset, format::kInfoBlockSize},
    {format::kSettingsBlockOffset, format::kSettingsBlockSize},
};

void put_blocks(const WalletStorage& storage, std::span<uint8_t> out) {
    std::copy(storage.header.bytes.begin(), storage.header.bytes.end(), out.begin());
    std::copy(storage.info.bytes.span().begin(), storage.info.bytes.span().end(),
              out.begin() + format::kInfoBlockOffset);
    std::copy(storage.settings.bytes.begin(), storage.settings.bytes.end(),
              out.begin() + format::kSettingsBlockOffset);
}

// An existing wallet: the blocks to write (all of them, or those whose bytes differ from the
// file's) are rewritten as one journaled change, so that a torn write can never leave a wallet
// whose blocks do not open. Whether a block changed is decided by its bytes, not by a flag that a
// change could forget to set; an info block that did not change keeps its random values.
BlockWriteFailure rewrite_blocks(WalletStorage& storage, bool only_changed) {
    SecureBytes blocks(format::kFirstNodeOffset);
    put_blocks(storage, blocks.span());
    SecureBytes stored(format::kFirstNodeOffset);
    if (only_changed) {
        const IoResult r = storage.file.read_at(0, stored.span());
        if (r.failed() || r.bytes != stored.size()) return {0, StorageResult::CallFailed};
    }
    std::array<bool, 3> changed{};
    int first = -1;
    int last = -1;
    for (int block = 0; block < 3; ++block) {
        const auto [offset, size] = kBlockPlaces[block];
        changed[block] = !only_changed || !std::ranges::equal(blocks.span().subspan(offset, size),
                                                              stored.span().subspan(offset, size));
        if (!changed[block]) continue;
        if (first < 0) first = block;
        last = block;
    }
    if (first < 0) return {};
    if (!storage.header.valid) return {0, StorageResult::NothingGiven};
    if (changed[0]) {
        std::copy(format::kPlatformTag.begin(), format::kPlatformTag.end(),
                  storage.header.bytes.begin() + format::kPlatformTagOffset);
    }
    if (changed[1]) {
        put_u32(storage.info.bytes.span(), format::info::kRandom1, random_source().next_u32());
        put_u32(storage.info.bytes.span(), format::info::kRandom2, random_source().next_u32());
    }
    put_blocks(storage, blocks.span());
    // Blocks between the first and the last changed one go along unchanged, as stored.
    const size_t from = kBlockPlaces[first].offset;
    const size_t to = kBlockPlaces[last].offset + kBlockPlaces[last].size;
    if (!write_protected(storage.file, from, blocks.span().subspan(from, to - from)))
        return {first, StorageResult::CallFailed};
    storage.header.dirty = storage.info.dirty = storage.settings.dirty = false;
    return {};
}

}  // namespace

BlockWriteFailure write_leading_blocks(WalletStorage& storage, bool only_changed) {
    BlockWriteFailure failure;
    const auto size = storage.file.size();
    if (size && *size >= format::kFirstNodeOffset) return rewrite_blocks(storage, only_changed);
    if (!storage.file.seek(0)) return {0, StorageResult::NoFile};
    auto step = [&](int block, bool dirty, uint64_t size, auto&& write) {
        if (failure.block >= 0) return;
        if (only_changed && !dirty) {
            storage.file.seek(storage.file.position() + size);
            return;
        }
        StorageResult r = write();
        if (r != StorageResult::Done) failure = {block, r};
    };
    step(0, storage.header.dirty, format::kHeaderSize,
         [&] { return write_header(storage.file, storage.header); });
    step(1, storage.info.dirty, format::kInfoBlockSize,
         [&] { return write_info_block(storage.file, storage.info); });
    step(2, storage.settings.dirty, format::kSettingsBlockSize,
         [&] { return write_settings_block(storage.file, storage.settings); });
    return failure;
}

OpenResult open_result_of(const FileFailure& failure) {
    switch (failure.problem) {
        case FileProblem::Missing:
            return OpenResult::Missing;
        case FileProblem::AccessDenied:
            return OpenResult::AccessDenied;
        case FileProblem::Locked:
            return OpenResult::Locked;
        default:
            return OpenResult::CannotOpen;
    }
}

OpenResult open_wallet_storage(WalletStorage& storage, const std::filesystem::path& path,
                               std::optional<std::u16string_view> password, bool read_only,
                               WalletInfoBlock* locked_info) {
    storage.close();
    if (!path_acceptable(path)) return OpenResult::BadPath;
    auto fail = [&](OpenResult r) {
        storage.close();
        return r;
    };
    // A link is resolved once, so that the journal is found beside the real file.
    std::error_code ec;
    const std::filesystem::path real = std::filesystem::canonical(path, ec);
    clear_file_failure();
    storage.file =
        File::open(ec ? path : real, read_only ? FileMode::ReadOnly : FileMode::ReadWrite);
    if (!storage.file.is_open() ||
        !(read_only ? storage.file.try_lock_shared() : storage.file.try_lock_exclusive()))
        return fail(open_result_of(last_file_failure()));
    if (read_only) {
        // A reader cannot finish an interrupted change; what it would read is not the wallet.
        if (inspect_interrupted_cut(storage.file) == JournalStatus::Pending)
            return fail(OpenResult::ChangeInterrupted);
    } else {
        // A change that a crash interrupted is finished before anything else reads the records.
        switch (recover_interrupted_cut(storage.file)) {
            case JournalStatus::None:
            case JournalStatus::Finished:
                break;
            case JournalStatus::NotTrusted:
                return fail(OpenResult::JournalNotTrusted);
            case JournalStatus::Pending:
            case JournalStatus::Failed:
                return fail(OpenResult::CannotOpen);
        }
        remove_stale_siblings(storage.file.path());
    }
    storage.path = path;

    auto size = storage.file.size();
    if (!size || *size < format::kHeaderSize) return fail(OpenResult::NotAWallet);
    if (read_header(storage.file, storage.header) != StorageResult::Done || !storage.header.valid)
        return fail(OpenResult::NotAWallet);
    if (!storage.header.version_accepted()) return fail(OpenResult::WrongVersion);
    if (read_info_block(storage.file, storage.info) != StorageResult::Done)
        return fail(OpenResult::BadInfoBlock);
    if (storage.info.has_password() && !check_password(storage.info, password)) {
        if (locked_info) *locked_info = storage.info;
        return fail(OpenResult::WrongPassword);
    }
    if (read_settings_block(storage.file, storage.settings) != StorageResult::Done)
        return fail(OpenResult::BadSettingsBlock);
    storage.read_only = read_only;
    storage.open = true;
    return OpenResult::Opened;
}

OpenResult peek_wallet(const std::filesystem::path& path, WalletInfoBlock& info) {
    WalletStorage storage;
    const OpenResult result = open_wallet_storage(storage, path, std::nullopt, true, &info);
    if (result == OpenResult::Opened) info = storage.info;
    return result;
}

}  // namespace ks
