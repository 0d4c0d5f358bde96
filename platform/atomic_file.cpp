#include "platform/atomic_file.h"

#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <random>
#include <vector>

#include "platform/fault_injection.h"

namespace ks {
namespace {

constexpr std::string_view kTemporarySuffix = ".tmp";
constexpr size_t kTemporaryDigits = 8;

// Temporary names come from their own generator: taking them from the replaceable random
// source would shift the values that tests and the sample generator fix.
uint32_t temporary_number() {
    thread_local std::mt19937 generator{std::random_device{}()};
    return static_cast<uint32_t>(generator());
}

// The part of a target's name its temporaries start with: the whole name, or as much of it as
// leaves room within a file name's 255 bytes for the temporary's suffix and a journal's ".cut"
// after it, cut at a character's boundary.
std::string_view temporary_base(std::string_view name) {
    constexpr size_t kRoom = 255 - (1 + kTemporaryDigits + 4 /* .tmp */ + 4 /* .cut */);
    if (name.size() <= kRoom) return name;
    size_t cut = kRoom;
    while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) --cut;
    return name.substr(0, cut);
}

std::filesystem::path folder_of(const std::filesystem::path& path) {
    const std::filesystem::path folder = path.parent_path();
    return folder.empty() ? std::filesystem::path(".") : folder;
}

// Removes `path` when it is still the file `seen` describes.
bool remove_if_unchanged(const std::filesystem::path& path, const FileStatus& seen) {
    const auto now = link_status(path);
    if (!now || now->device != seen.device || now->inode != seen.inode) return false;
    std::error_code ec;
    return std::filesystem::remove(path, ec);
}

}  // namespace

std::filesystem::path temporary_path_beside(const std::filesystem::path& target) {
    char suffix[16];
    std::snprintf(suffix, sizeof suffix, ".%08x.tmp", temporary_number());
    const std::string name = target.filename().string();
    return target.parent_path() / (std::string(temporary_base(name)) + suffix);
}

File create_temporary_beside(const std::filesystem::path& target, std::filesystem::path& made,
                             int* error) {
    int failure = 0;
    for (int attempt = 0; attempt < 100; ++attempt) {
        made = temporary_path_beside(target);
        File file = File::open(made, FileMode::CreateNew, &failure);
        if (file.is_open()) {
            if (error) *error = 0;
            return file;
        }
        if (failure != EEXIST) break;
    }
    made.clear();
    if (error) *error = failure;
    return File();
}

bool is_temporary_name(std::string_view name, std::string_view target_name,
                       std::string_view suffix) {
    const std::string_view base = temporary_base(target_name);
    if (name.size() !=
            base.size() + 1 + kTemporaryDigits + kTemporarySuffix.size() + suffix.size() ||
        !name.starts_with(base) || name[base.size()] != '.')
        return false;
    const std::string_view digits = name.substr(base.size() + 1, kTemporaryDigits);
    const bool hex = std::all_of(digits.begin(), digits.end(), [](char c) {
        return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
    });
    const std::string_view rest = name.substr(base.size() + 1 + kTemporaryDigits);
    return hex && rest.substr(0, kTemporarySuffix.size()) == kTemporarySuffix &&
           rest.substr(kTemporarySuffix.size()) == suffix;
}

int remove_stale_temporaries(const std::filesystem::path& target, std::string_view companion) {
    const std::string base = target.filename().string();
    const std::filesystem::path folder = folder_of(target);
    std::vector<std::filesystem::path> temporaries;
    std::vector<std::filesystem::path> companions;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end;
         it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (is_temporary_name(name, base)) temporaries.push_back(it->path());
        if (!companion.empty() && is_temporary_name(name, base, companion))
            companions.push_back(it->path());
    }
    int removed = 0;
    for (const std::filesystem::path& path : temporaries) {
        File temporary = File::open(path, FileMode::ReadOnlyNoFollow);
        const auto status = temporary.status();
        // A temporary still being written is locked by the process writing it.
        if (status && status->private_regular_file() && temporary.try_lock_exclusive() &&
            remove_if_unchanged(path, *status))
            ++removed;
    }
    for (const std::filesystem::path& path : companions) {
        std::filesystem::path temporary = path;
        temporary.replace_extension();  // the temporary it was kept for, left above when in use
        const auto status = link_status(path);
        if (!link_status(temporary) && status && status->private_regular_file() &&
            remove_if_unchanged(path, *status))
            ++removed;
    }
    if (removed > 0) sync_directory(folder);
    return removed;
}

PlaceResult put_in_place(const std::filesystem::path& from, const std::filesystem::path& to,
                         ReplaceMode mode) {
    const bool placed =
        mode == ReplaceMode::Replace ? rename_file(from, to) : rename_file_no_replace(from, to);
    if (!placed) return errno == EEXIST ? PlaceResult::TargetExists : PlaceResult::Failed;
    sync_directory(folder_of(to));
    return PlaceResult::Placed;
}

AtomicReplacement::AtomicReplacement(std::filesystem::path target, ReplaceMode mode)
    : target_(std::move(target)), mode_(mode) {
    // What an interrupted replacement of this target left goes first.
    remove_stale_temporaries(target_);
    file_ = create_temporary_beside(target_, temporary_);
    // Locked while it is written, so that no clean-up takes it for a stale one.
    if (file_.is_open()) file_.try_lock_exclusive();
}

AtomicReplacement::~AtomicReplacement() {
    if (!committed_) discard();
}

void AtomicReplacement::discard() {
    file_.close();
    if (temporary_.empty()) return;
    std::error_code ec;
    std::filesystem::remove(temporary_, ec);
    temporary_.clear();
}

bool AtomicReplacement::commit() {
    if (!file_.is_open() || committed_) return false;
    result_ = file_.sync() ? put_in_place(temporary_, target_, mode_) : PlaceResult::Failed;
    if (result_ != PlaceResult::Placed) {
        discard();
        return false;
    }
    file_.close();
    temporary_.clear();
    committed_ = true;
    return true;
}

bool replace_file_contents(const std::filesystem::path& target, std::span<const uint8_t> bytes) {
    AtomicReplacement out(target);
    if (!out.is_open()) return false;
    const IoResult w = out.file().write(bytes);
    if (w.failed() || w.bytes != bytes.size()) return false;
    return out.commit();
}

}  // namespace ks
