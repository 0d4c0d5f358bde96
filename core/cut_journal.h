#pragma once
// The journal that makes a change inside a wallet file whole or absent, even across a crash:
// cutting a byte range out (the rest of the file moves down), patching bytes before it and
// appending bytes at the new end. The journal lies beside the file ("<file>.cut"), is made
// durable before the file is touched, and an interrupted change is finished by the next writer.
// The rest of the file is moved in bounded segments, so the journal never needs much more room
// than one segment (plus the patch and the appended bytes).
#include <cstdint>
#include <filesystem>
#include <span>

#include "platform/file.h"

namespace ks {

// Tail bytes moved per journaled step.
constexpr uint64_t kJournalSegment = uint64_t{4} << 20;

struct JournaledChange {
    uint64_t cut_offset = 0;  // [cut_offset, cut_offset + cut_length) is removed
    uint64_t cut_length = 0;
    std::span<const uint8_t> patch;  // written at patch_offset, which ends at or before the cut
    uint64_t patch_offset = 0;
    std::span<const uint8_t> append;  // written at the new end of the file
    uint64_t segment = kJournalSegment;
};

// Makes the change through the journal. True when it is done. False when it was not made (the
// file is as it was and no journal stays), or when it was interrupted after the journal was
// whole and a second attempt failed as well: the journal then stays (journal_left) and the next
// recover_interrupted_cut finishes the change. A journal already beside the file is finished
// first; one that is not trusted makes the change fail without touching anything.
bool apply_journaled(File& file, const JournaledChange& change);

// Removes [offset, offset + length) by moving the rest of the file down; with a patch, also
// writes `patch` at `patch_offset` (before the cut range), as one change.
bool cut_range(File& file, uint64_t offset, uint64_t length, std::span<const uint8_t> patch = {},
               uint64_t patch_offset = 0);
// Overwrites bytes in place, all of them or none, even across a crash.
bool write_protected(File& file, uint64_t offset, std::span<const uint8_t> bytes);
// Cuts [offset, offset + length) out and appends `bytes` at the new end, as one change.
bool cut_and_append(File& file, uint64_t offset, uint64_t length, std::span<const uint8_t> bytes);

enum class JournalStatus {
    None,        // no journal, or one that never took effect or had taken effect (it is removed)
    Finished,    // an interrupted change was finished and its journal removed
    Pending,     // (inspect only) a change was interrupted; a writer finishes it
    NotTrusted,  // the file in the journal's place is a link, not a regular file, another user's,
                 // made for another file, or not readable as a journal; both files are left alone
    Failed,      // finishing stopped on an I/O error; the journal stays
};

// Finishes a change that was interrupted. Needs the file open for writing.
JournalStatus recover_interrupted_cut(File& file);
// What recover_interrupted_cut would find, changing nothing: Pending, NotTrusted or None.
JournalStatus inspect_interrupted_cut(const File& file);

std::filesystem::path journal_path(const File& file);
// Whether anything lies in the journal's place (after a change that did not finish).
bool journal_left(const File& file);

}  // namespace ks
