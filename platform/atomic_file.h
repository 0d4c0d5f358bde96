#pragma once
// Replacing a file in one step. The new version is written to a temporary beside the target,
// "<target's name>.XXXXXXXX.tmp" (eight lower-case hex digits; a name too long to take that is
// cut first), created exclusively with mode 0600 and locked while it is written; it is made durable
// and renamed over the target through the fault-injection layer, and the folder is made durable.
// Until that rename the target is untouched, so an interruption leaves the old file whole or the
// new one, and at worst a temporary that remove_stale_temporaries clears.
#include <filesystem>
#include <span>
#include <string_view>

#include "platform/file.h"

namespace ks {

// A new file beside `target`, named as the temporaries are, readable by its owner only; closed
// (with `made` empty and errno in `error`) when none could be made.
File create_temporary_beside(const std::filesystem::path& target, std::filesystem::path& made,
                             int* error = nullptr);

// A name for a temporary beside `target` (no file is made): for code that creates the file
// itself, exclusively, and tries another name when this one is taken.
std::filesystem::path temporary_path_beside(const std::filesystem::path& target);

// Whether `name` names a temporary of the file named `target_name` (followed by `suffix`): the
// target's name, cut where it would not leave room for the suffixes, then ".XXXXXXXX.tmp".
bool is_temporary_name(std::string_view name, std::string_view target_name,
                       std::string_view suffix = {});

// Removes the temporaries an interrupted replacement of `target` left beside it: regular files
// of this user with one name that no process holds locked, still the same file when removed.
// With `companion`, a file named like a temporary followed by `companion` (a journal kept for
// it) goes too once its temporary is gone. Returns how many files were removed.
int remove_stale_temporaries(const std::filesystem::path& target, std::string_view companion = {});

enum class ReplaceMode {
    Replace,       // whatever is at the target is replaced
    KeepExisting,  // an existing target is never replaced: the new file does not take its place
};
enum class PlaceResult { Placed, TargetExists, Failed };

// Renames `from` to `to` in one step through the fault-injection layer, then makes the folder
// durable. KeepExisting uses the no-replace rename, or a hard link where the file system has
// none.
PlaceResult put_in_place(const std::filesystem::path& from, const std::filesystem::path& to,
                         ReplaceMode mode = ReplaceMode::Replace);

// A new version of `target`, written through file() and put in place by commit(). Dropped
// uncommitted, its temporary is removed; the temporaries an interrupted replacement of the same
// target left are removed when the next one starts.
class AtomicReplacement {
  public:
    explicit AtomicReplacement(std::filesystem::path target,
                               ReplaceMode mode = ReplaceMode::Replace);
    ~AtomicReplacement();
    AtomicReplacement(const AtomicReplacement&) = delete;
    AtomicReplacement& operator=(const AtomicReplacement&) = delete;

    bool is_open() const { return file_.is_open(); }
    File& file() { return file_; }
    const std::filesystem::path& temporary() const { return temporary_; }

    // Makes the new file durable and puts it in the target's place. False, with the temporary
    // removed and the target as it was, when any step fails or (KeepExisting) the target exists.
    bool commit();
    PlaceResult result() const { return result_; }

  private:
    void discard();

    std::filesystem::path target_;
    std::filesystem::path temporary_;
    ReplaceMode mode_;
    File file_;
    PlaceResult result_ = PlaceResult::Failed;
    bool committed_ = false;
};

// Writes `bytes` as the whole of `target` through an AtomicReplacement.
bool replace_file_contents(const std::filesystem::path& target, std::span<const uint8_t> bytes);

}  // namespace ks
