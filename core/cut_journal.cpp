#include "core/cut_journal.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <optional>
#include <vector>

#include "core/cipher.h"
#include "platform/bytes.h"

namespace ks {
namespace {

// Layout (docs/file-format.md, "Cut journal"): two slots of 256 bytes, then the patch, the
// appended bytes and the segment of the tail being moved. A slot describes the change, binds it
// to the file it was made for, and says which segment the journal holds; the slots are written
// in turn, so that a torn slot write leaves the other one.
constexpr char kMagic[8] = {'K', 'S', 'C', 'U', 'T', '3', 0, 0};
constexpr char kFirstLayoutMagic[8] = {'K', 'S', 'C', 'U', 'T', '1', 0, 0};
constexpr char kSecondLayoutMagic[8] = {'K', 'S', 'C', 'U', 'T', '2', 0, 0};
constexpr size_t kMagicFamily = 5;  // "KSCUT": a journal of some layout
constexpr size_t kSlotSize = 256;
constexpr uint64_t kDataOffset = 2 * kSlotSize;
constexpr uint64_t kLeadingBytes = 8192;
constexpr size_t kCopyChunk = 1 << 20;

namespace at {
constexpr size_t kCutOffset = 8;
constexpr size_t kCutLength = 16;
constexpr size_t kOldSize = 24;
constexpr size_t kTail = 32;
constexpr size_t kPatchOffset = 40;
constexpr size_t kPatchLength = 48;
constexpr size_t kSegmentSize = 52;
constexpr size_t kAppendLength = 56;
constexpr size_t kDevice = 64;
constexpr size_t kInode = 72;
constexpr size_t kLeadingDigest = 80;
constexpr size_t kContentDigest = 96;
constexpr size_t kMoved = 112;
constexpr size_t kSegment = 120;
constexpr size_t kSegmentDigest = 128;
constexpr size_t kSlotDigest = 144;
}  // namespace at

// What a journal changes, and what it was made for.
struct Plan {
    uint64_t offset = 0;
    uint64_t length = 0;
    uint64_t old_size = 0;
    uint64_t tail = 0;  // bytes after the cut range, moved down
    uint64_t patch_offset = 0;
    uint32_t patch_length = 0;
    uint32_t segment_size = 0;
    uint64_t append_length = 0;
    uint64_t device = 0;
    uint64_t inode = 0;
    Digest leading{};  // the file's leading bytes that the change leaves alone
    Digest content{};  // the patch and the appended bytes

    uint64_t new_size() const { return offset + tail + append_length; }
    uint64_t segment_at() const { return kDataOffset + patch_length + append_length; }
};

// The segment of the tail that a slot says the journal holds.
struct Progress {
    uint64_t moved = 0;  // tail bytes already in place before it
    uint64_t length = 0;
    Digest digest{};
};

void put_u64(std::span<uint8_t> b, size_t offset, uint64_t v) {
    put_u32(b, offset, static_cast<uint32_t>(v));
    put_u32(b, offset + 4, static_cast<uint32_t>(v >> 32));
}

uint64_t get_u64(std::span<const uint8_t> b, size_t offset) {
    return get_u32(b, offset) | (static_cast<uint64_t>(get_u32(b, offset + 4)) << 32);
}

void put_digest(std::span<uint8_t> b, size_t offset, const Digest& d) {
    std::copy(d.begin(), d.end(), b.begin() + static_cast<ptrdiff_t>(offset));
}

Digest get_digest(std::span<const uint8_t> b, size_t offset) {
    Digest d;
    std::copy_n(b.begin() + static_cast<ptrdiff_t>(offset), d.size(), d.begin());
    return d;
}

template <size_t N>
bool starts_with(std::span<const uint8_t> b, const char (&magic)[N], size_t n = N) {
    return b.size() >= n && std::equal(magic, magic + n, b.begin());
}

using Slot = std::array<uint8_t, kSlotSize>;

Slot encode_slot(const Plan& p, const Progress& g) {
    Slot s{};
    std::copy(std::begin(kMagic), std::end(kMagic), s.begin());
    put_u64(s, at::kCutOffset, p.offset);
    put_u64(s, at::kCutLength, p.length);
    put_u64(s, at::kOldSize, p.old_size);
    put_u64(s, at::kTail, p.tail);
    put_u64(s, at::kPatchOffset, p.patch_offset);
    put_u32(s, at::kPatchLength, p.patch_length);
    put_u32(s, at::kSegmentSize, p.segment_size);
    put_u64(s, at::kAppendLength, p.append_length);
    put_u64(s, at::kDevice, p.device);
    put_u64(s, at::kInode, p.inode);
    put_digest(s, at::kLeadingDigest, p.leading);
    put_digest(s, at::kContentDigest, p.content);
    put_u64(s, at::kMoved, g.moved);
    put_u64(s, at::kSegment, g.length);
    put_digest(s, at::kSegmentDigest, g.digest);
    put_digest(s, at::kSlotDigest, md5(std::span(s).first(at::kSlotDigest)));
    return s;
}

// A slot with its magic, its own digest and sizes that add up; nothing otherwise.
std::optional<std::pair<Plan, Progress>> decode_slot(std::span<const uint8_t> s) {
    if (s.size() < kSlotSize || !starts_with(s, kMagic) ||
        md5(s.first(at::kSlotDigest)) != get_digest(s, at::kSlotDigest))
        return std::nullopt;
    Plan p;
    p.offset = get_u64(s, at::kCutOffset);
    p.length = get_u64(s, at::kCutLength);
    p.old_size = get_u64(s, at::kOldSize);
    p.tail = get_u64(s, at::kTail);
    p.patch_offset = get_u64(s, at::kPatchOffset);
    p.patch_length = get_u32(s, at::kPatchLength);
    p.segment_size = get_u32(s, at::kSegmentSize);
    p.append_length = get_u64(s, at::kAppendLength);
    p.device = get_u64(s, at::kDevice);
    p.inode = get_u64(s, at::kInode);
    p.leading = get_digest(s, at::kLeadingDigest);
    p.content = get_digest(s, at::kContentDigest);
    Progress g{get_u64(s, at::kMoved), get_u64(s, at::kSegment), get_digest(s, at::kSegmentDigest)};
    const bool consistent = p.offset <= p.old_size && p.length <= p.old_size - p.offset &&
                            p.tail == p.old_size - p.offset - p.length &&
                            p.patch_offset <= p.offset &&
                            p.patch_length <= p.offset - p.patch_offset && p.segment_size != 0 &&
                            g.moved <= p.tail && g.length <= p.tail - g.moved;
    if (!consistent) return std::nullopt;
    return std::pair(p, g);
}

bool write_whole(File& f, uint64_t offset, std::span<const uint8_t> bytes) {
    if (bytes.empty()) return true;
    const IoResult r = f.write_at(offset, bytes);
    return !r.failed() && r.bytes == bytes.size();
}

// Copies n bytes between files in chunks (or only reads them, without `to`), feeding `digest`
// when given.
bool copy_bytes(const File& from, uint64_t source, File* to, uint64_t destination, uint64_t n,
                Md5* digest) {
    std::vector<uint8_t> buffer(static_cast<size_t>(std::min<uint64_t>(n, kCopyChunk)));
    bool ok = true;
    while (ok && n > 0) {
        const size_t step = static_cast<size_t>(std::min<uint64_t>(buffer.size(), n));
        auto chunk = std::span(buffer).first(step);
        const IoResult in = from.read_at(source, chunk);
        ok = !in.failed() && in.bytes == step;
        if (ok && digest) digest->update(chunk);
        if (ok && to) ok = write_whole(*to, destination, chunk);
        source += step;
        destination += step;
        n -= step;
    }
    secure_zero(std::span(buffer));
    return ok;
}

std::optional<Digest> digest_of(const File& file, uint64_t offset, uint64_t n) {
    Md5 md;
    if (!copy_bytes(file, offset, nullptr, 0, n, &md)) return std::nullopt;
    return md.finish();
}

// The MD5 of the file's leading bytes that the change leaves as they are: those before the
// cut (at most kLeadingBytes), the patched range left out. It ties a journal to the content of
// the file it was made for, before, during and after the change.
std::optional<Digest> leading_digest(const File& file, const Plan& p) {
    const uint64_t end = std::min(p.offset, kLeadingBytes);
    const uint64_t patch_start = std::min(p.patch_offset, end);
    const uint64_t patch_end = std::min(p.patch_offset + p.patch_length, end);
    Md5 md;
    if (!copy_bytes(file, 0, nullptr, 0, patch_start, &md) ||
        !copy_bytes(file, patch_end, nullptr, 0, end - patch_end, &md))
        return std::nullopt;
    return md.finish();
}

// The plan of `change` for `file` as it is now; nothing when the change does not fit the file.
std::optional<Plan> plan_change(const File& file, const JournaledChange& change) {
    const auto status = file.status();
    if (!status || file.path().empty() || change.cut_offset > status->size ||
        change.patch.size() > UINT32_MAX || change.segment == 0)
        return std::nullopt;
    Plan p;
    p.old_size = status->size;
    p.length = std::min(change.cut_length, p.old_size - change.cut_offset);
    // Without a cut nothing moves: the change is placed at the end.
    p.offset = p.length == 0 ? p.old_size : change.cut_offset;
    p.tail = p.old_size - p.offset - p.length;
    p.patch_offset = change.patch_offset;
    p.patch_length = static_cast<uint32_t>(change.patch.size());
    if (p.patch_offset > p.offset || p.patch_length > p.offset - p.patch_offset)
        return std::nullopt;
    p.segment_size = static_cast<uint32_t>(std::min<uint64_t>(change.segment, UINT32_MAX));
    p.append_length = change.append.size();
    p.device = status->device;
    p.inode = status->inode;
    const auto leading = leading_digest(file, p);
    if (!leading) return std::nullopt;
    p.leading = *leading;
    Md5 content;
    content.update(change.patch);
    content.update(change.append);
    p.content = content.finish();
    return p;
}

// Copies the segment that starts `moved` bytes into the tail from the file into the journal,
// makes it durable, and then commits it in `slot`.
std::optional<Progress> commit_segment(const File& file, File& journal, const Plan& p,
                                       uint64_t moved, int slot) {
    Progress g{moved, std::min<uint64_t>(p.segment_size, p.tail - moved), {}};
    Md5 md;
    if (!copy_bytes(file, p.offset + p.length + moved, &journal, p.segment_at(), g.length, &md))
        return std::nullopt;
    g.digest = md.finish();
    const Slot bytes = encode_slot(p, g);
    if (!journal.sync() || !write_whole(journal, static_cast<uint64_t>(slot) * kSlotSize, bytes) ||
        !journal.sync())
        return std::nullopt;
    return g;
}

// Puts the segment the journal holds in place (and the patch with the first one). A segment
// is durable before the journal's copy of it gives way to the next; the last one is made
// durable together with the end of the file.
bool apply_segment(File& file, const File& journal, const Plan& p, const Progress& g) {
    if (g.moved == 0 &&
        !copy_bytes(journal, kDataOffset, &file, p.patch_offset, p.patch_length, nullptr))
        return false;
    const bool last = g.moved + g.length >= p.tail;
    return copy_bytes(journal, p.segment_at(), &file, p.offset + g.moved, g.length, nullptr) &&
           (last || file.sync());
}

// Once the whole tail is in place: sets the new end first (so that the file's size tells a
// finished move from an unfinished one), then writes the appended bytes.
bool apply_end(File& file, const File& journal, const Plan& p) {
    return file.set_size(p.new_size()) &&
           copy_bytes(journal, kDataOffset + p.patch_length, &file, p.offset + p.tail,
                      p.append_length, nullptr) &&
           file.sync();
}

// Carries the change through from the segment `g`, which is committed in `slot` and either
// still to apply or (`applied`) already in place. Every step can be repeated.
bool carry_out(File& file, File& journal, const Plan& p, Progress g, int slot, bool applied) {
    for (;;) {
        if (!applied && !apply_segment(file, journal, p, g)) return false;
        applied = false;
        const uint64_t moved = g.moved + g.length;
        if (moved >= p.tail) return apply_end(file, journal, p);
        slot ^= 1;
        const auto next = commit_segment(file, journal, p, moved, slot);
        if (!next) return false;
        g = *next;
    }
}

// Journals of the earlier layouts: a 72-byte header (magic, offset, length, old size, tail
// length, patch offset, patch length; then 16 bytes, in the first layout the MD5 of the rest),
// the patch and the whole tail. They are finished as before, when their owner is the user.
constexpr size_t kEarlyHeader = 72;
constexpr size_t kEarlyFields = 56;

struct EarlyJournal {
    uint64_t offset = 0, length = 0, old_size = 0, tail = 0, patch_offset = 0;
    uint32_t patch_length = 0;
};

// The journal found beside a file, opened and judged.
struct FoundJournal {
    enum class Kind {
        Absent,
        NotTrusted,
        Removable,  // never took effect, or had already taken effect
        Pending,
    } kind = Kind::Absent;
    File journal;
    bool early = false;
    EarlyJournal early_plan;
    Plan plan;
    Progress progress;
    int slot = 0;
    bool holds_segment = true;  // else the slot's segment is in place already
};

using Kind = FoundJournal::Kind;

Kind judge_early(const File& file, const File& journal, std::span<const uint8_t> header,
                 EarlyJournal& j) {
    j = EarlyJournal{get_u64(header, 8),  get_u64(header, 16), get_u64(header, 24),
                     get_u64(header, 32), get_u64(header, 40), get_u32(header, 48)};
    bool whole = journal.size() == kEarlyHeader + uint64_t{j.patch_length} + j.tail;
    if (whole && starts_with(header, kFirstLayoutMagic)) {
        Md5 md;
        md.update(header.first(kEarlyFields));
        whole = copy_bytes(journal, kEarlyHeader, nullptr, 0, j.patch_length + j.tail, &md) &&
                md.finish() == get_digest(header, kEarlyFields);
    }
    const auto size = file.size();
    const bool applies = whole && size && (*size == j.old_size || *size == j.offset + j.tail);
    return applies ? Kind::Pending : Kind::Removable;
}

// The current layout: bound to this very file, and finished when the file's size is the one
// before or after the change.
Kind judge_current(const File& file, FoundJournal& f, std::span<const uint8_t> slots) {
    std::optional<std::pair<Plan, Progress>> best;
    for (int s = 0; s < 2; ++s) {
        auto decoded = decode_slot(slots.subspan(static_cast<size_t>(s) * kSlotSize, kSlotSize));
        if (decoded && (!best || decoded->second.moved > best->second.moved)) {
            best = decoded;
            f.slot = s;
        }
    }
    if (!best) return Kind::Removable;  // not committed: the file was never touched
    f.plan = best->first;
    f.progress = best->second;
    const auto status = file.status();
    if (!status || status->device != f.plan.device || status->inode != f.plan.inode)
        return Kind::NotTrusted;
    if (status->size != f.plan.old_size && status->size != f.plan.new_size())
        return Kind::Removable;  // taken effect already, and the file has changed since
    if (leading_digest(file, f.plan) != f.plan.leading ||
        digest_of(f.journal, kDataOffset, f.plan.patch_length + f.plan.append_length) !=
            f.plan.content)
        return Kind::NotTrusted;
    // The segment's bytes are overwritten only once it is in place.
    f.holds_segment =
        digest_of(f.journal, f.plan.segment_at(), f.progress.length) == f.progress.digest;
    return Kind::Pending;
}

FoundJournal find_journal(const File& file, bool writable) {
    FoundJournal f;
    const std::filesystem::path path = journal_path(file);
    const auto seen = link_status(path);
    if (!seen) return f;
    f.kind = Kind::NotTrusted;
    if (!seen->regular) return f;
    int error = 0;
    f.journal = File::open(
        path, writable ? FileMode::ReadWriteNoFollow : FileMode::ReadOnlyNoFollow, &error);
    if (!f.journal.is_open()) {
        if (error == ENOENT) f.kind = Kind::Absent;
        return f;
    }
    const auto status = f.journal.status();
    if (!status || !status->private_regular_file()) return f;

    std::array<uint8_t, 2 * kSlotSize> slots{};
    const IoResult r = f.journal.read_at(0, slots);
    if (r.failed()) return f;
    const auto head = std::span<const uint8_t>(slots).first(r.bytes);
    const auto second = head.size() > kSlotSize ? head.subspan(kSlotSize) : head.last(0);
    auto unknown_layout = [](std::span<const uint8_t> s) {
        return starts_with(s, kMagic, kMagicFamily) && !starts_with(s, kMagic);
    };
    if (starts_with(head, kFirstLayoutMagic) || starts_with(head, kSecondLayoutMagic)) {
        f.early = true;
        f.kind = head.size() >= kEarlyHeader ? judge_early(file, f.journal, head, f.early_plan)
                                             : Kind::Removable;
    } else if (!unknown_layout(head) && !unknown_layout(second)) {
        f.kind = judge_current(file, f, slots);
    }
    // Otherwise a layout this program does not know: left alone.
    return f;
}

bool finish_early(File& file, const File& journal, const EarlyJournal& j) {
    return copy_bytes(journal, kEarlyHeader, &file, j.patch_offset, j.patch_length, nullptr) &&
           copy_bytes(journal, kEarlyHeader + j.patch_length, &file, j.offset, j.tail, nullptr) &&
           file.set_size(j.offset + j.tail) && file.sync();
}

// Removes the journal; the folder is synced only when there was one to remove.
bool drop_journal(const std::filesystem::path& path) {
    std::error_code ec;
    const bool removed = std::filesystem::remove(path, ec);
    return !ec && (!removed || sync_directory(path.parent_path()));
}

}  // namespace

std::filesystem::path journal_path(const File& file) {
    std::filesystem::path p = file.path();
    p += ".cut";
    return p;
}

bool journal_left(const File& file) {
    return !file.path().empty() && link_status(journal_path(file)).has_value();
}

JournalStatus inspect_interrupted_cut(const File& file) {
    if (file.path().empty()) return JournalStatus::None;
    switch (find_journal(file, false).kind) {
        case Kind::NotTrusted:
            return JournalStatus::NotTrusted;
        case Kind::Pending:
            return JournalStatus::Pending;
        case Kind::Absent:
        case Kind::Removable:
            break;
    }
    return JournalStatus::None;
}

JournalStatus recover_interrupted_cut(File& file) {
    if (file.path().empty()) return JournalStatus::None;
    FoundJournal f = find_journal(file, true);
    switch (f.kind) {
        case Kind::Absent:
            return JournalStatus::None;
        case Kind::NotTrusted:
            return JournalStatus::NotTrusted;
        case Kind::Removable:
            f.journal.close();
            return drop_journal(journal_path(file)) ? JournalStatus::None : JournalStatus::Failed;
        case Kind::Pending:
            break;
    }
    const bool done =
        f.early ? finish_early(file, f.journal, f.early_plan)
                : carry_out(file, f.journal, f.plan, f.progress, f.slot, !f.holds_segment);
    f.journal.close();
    if (!done) return JournalStatus::Failed;
    drop_journal(journal_path(file));  // a journal left behind is applied again, to no effect
    return JournalStatus::Finished;
}

bool apply_journaled(File& file, const JournaledChange& change) {
    const JournalStatus earlier = recover_interrupted_cut(file);
    if (earlier != JournalStatus::None && earlier != JournalStatus::Finished) return false;
    const std::optional<Plan> plan = plan_change(file, change);
    if (!plan) return false;

    const std::filesystem::path path = journal_path(file);
    File journal = File::open(path, FileMode::CreateNew);
    if (!journal.is_open()) return false;
    std::optional<Progress> first;
    if (write_whole(journal, kDataOffset, change.patch) &&
        write_whole(journal, kDataOffset + plan->patch_length, change.append))
        first = commit_segment(file, journal, *plan, 0, 0);
    if (!first || !sync_directory(path.parent_path())) {  // the file was not touched
        journal.close();
        drop_journal(path);
        return false;
    }
    const bool done = carry_out(file, journal, *plan, *first, 0, false);
    journal.close();
    if (!done) return recover_interrupted_cut(file) == JournalStatus::Finished;
    drop_journal(path);  // a journal left behind is applied again, to no effect
    return true;
}

bool cut_range(File& file, uint64_t offset, uint64_t length, std::span<const uint8_t> patch,
               uint64_t patch_offset) {
    JournaledChange change;
    change.cut_offset = offset;
    change.cut_length = length;
    change.patch = patch;
    change.patch_offset = patch_offset;
    return apply_journaled(file, change);
}

bool write_protected(File& file, uint64_t offset, std::span<const uint8_t> bytes) {
    JournaledChange change;
    change.patch = bytes;
    change.patch_offset = offset;
    return apply_journaled(file, change);
}

bool cut_and_append(File& file, uint64_t offset, uint64_t length, std::span<const uint8_t> bytes) {
    JournaledChange change;
    change.cut_offset = offset;
    change.cut_length = length;
    change.append = bytes;
    return apply_journaled(file, change);
}

}  // namespace ks
