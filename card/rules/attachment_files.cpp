#include "card/rules/attachment_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <system_error>

#include "platform/atomic_file.h"
#include "platform/clock.h"
#include "platform/file.h"
#include "platform/file_name.h"
#include "platform/message_format.h"
#include "platform/text.h"
#include "platform/texts.h"
#include "platform/user_dirs.h"

namespace ks {

namespace fs = std::filesystem;

namespace {

constexpr size_t kMaxListedNameUnits = 259;
constexpr size_t kMaxListedFiles = 5;

// The name made safe for a file name and cut to fit behind the date, its extension kept.
std::u16string dated_name(const std::string& date, std::u16string_view name) {
    return fit_file_name_keeping_extension(from_utf8(date), name, kDefaultNameLimit);
}

fs::path path_in(const fs::path& folder, std::u16string_view name) {
    return folder / to_utf8(name);
}

fs::path documents_or(const fs::path& folder) {
    return folder.empty() ? documents_directory() : folder;
}

std::u16string path_text(const fs::path& path) {
    return from_utf8(path.string());
}

// Makes `path` a folder of this user's that only they can enter: created with mode 0700 when
// missing, its mode narrowed when wider. A symbolic link or another user's folder is refused.
bool make_private_folder(const fs::path& path) {
    const int flags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
    int fd = ::open(path.c_str(), flags);
    if (fd < 0 && errno == ENOENT) {
        if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) return false;
        fd = ::open(path.c_str(), flags);
    }
    if (fd < 0) return false;
    struct stat st {};
    bool ok = ::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid();
    if (ok && (st.st_mode & 077) != 0) ok = ::fchmod(fd, 0700) == 0;
    ::close(fd);
    return ok;
}

fs::path env_folder(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr || *value != '/') return {};
    return value;
}

// $XDG_RUNTIME_DIR when it is a folder of this user's that they may write to.
fs::path usable_runtime_folder() {
    const fs::path runtime = env_folder("XDG_RUNTIME_DIR");
    if (runtime.empty()) return {};
    struct stat st {};
    if (::stat(runtime.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::geteuid() ||
        ::access(runtime.c_str(), W_OK | X_OK) != 0) {
        return {};
    }
    return runtime;
}

fs::path cache_folder() {
    fs::path cache = env_folder("XDG_CACHE_HOME");
    if (cache.empty()) {
        const fs::path home = env_folder("HOME");
        if (home.empty()) return {};
        cache = home / ".cache";
    }
    std::error_code ec;
    fs::create_directories(cache, ec);
    return fs::is_directory(cache, ec) ? cache : fs::path{};
}

// base/keystash/opened, both made private; empty when either cannot be.
fs::path opened_folder_under(const fs::path& base) {
    if (base.empty()) return {};
    const fs::path program = base / "keystash";
    const fs::path opened = program / "opened";
    if (!make_private_folder(program) || !make_private_folder(opened)) return {};
    return opened;
}

bool write_through(AtomicReplacement& out, std::span<const uint8_t> data) {
    if (!out.is_open()) return false;
    const IoResult written = out.file().write(data);
    if (written.failed() || written.bytes != data.size()) return false;
    return out.commit();
}

}  // namespace

std::u16string attachment_file_name(const DateTime& day, std::u16string_view name) {
    char date[32];
    std::snprintf(date, sizeof date, "%04d%02d%02d_", day.year, day.month, day.day);
    return dated_name(date, name);
}

std::u16string export_file_name(const DateTime& day, std::u16string_view name) {
    char date[32];
    std::snprintf(date, sizeof date, "%02d%02d%d_", day.year, day.month, day.day);
    return dated_name(date, name);
}

bool is_wallet_file_path(std::u16string_view path) {
    const std::u16string lower = to_lower_ascii(path);
    return lower.find(u".wal") != std::u16string::npos ||
           lower.find(u".ks5") != std::u16string::npos;
}

bool write_file_replacing(const fs::path& path, std::span<const uint8_t> data) {
    AtomicReplacement out(path, ReplaceMode::Replace);
    return write_through(out, data);
}

bool write_new_file(const fs::path& path, std::span<const uint8_t> data) {
    std::error_code ec;
    if (fs::exists(fs::symlink_status(path, ec))) return false;
    AtomicReplacement out(path, ReplaceMode::KeepExisting);
    return write_through(out, data);
}

CardFileBytes read_card_file(const fs::path& path) {
    CardFileBytes result;
    std::error_code ec;
    if (!fs::is_regular_file(path, ec)) return result;  // a FIFO would block the read
    File file = File::open(path, FileMode::ReadOnly);
    const auto status = file.status();
    if (!status || !status->regular || status->size == 0) return result;
    if (status->size > kMaxCardFileBytes) {
        result.status = CardFileStatus::TooLarge;
        return result;
    }
    SecureBytes bytes(static_cast<size_t>(status->size));
    const IoResult read = file.read(bytes.span());
    if (read.failed() || read.bytes != bytes.size()) return result;
    result.status = CardFileStatus::Read;
    result.bytes = std::move(bytes);
    return result;
}

std::optional<fs::path> export_attachment(const FileAttachment& attachment,
                                          const fs::path& folder) {
    if (!attachment.has_data()) return std::nullopt;
    const fs::path dir = documents_or(folder);
    if (dir.empty()) return std::nullopt;
    const fs::path path = path_in(dir, attachment_file_name(clock().now(), attachment.name()));
    if (!write_file_replacing(path, attachment.data_view())) return std::nullopt;
    return path;
}

std::optional<fs::path> export_new_copy(std::span<const uint8_t> data, std::u16string_view name,
                                        const fs::path& folder) {
    if (data.empty()) return std::nullopt;
    const fs::path dir = documents_or(folder);
    if (dir.empty()) return std::nullopt;
    const fs::path path = path_in(dir, export_file_name(clock().now(), name));
    if (!write_new_file(path, data)) return std::nullopt;
    return path;
}

fs::path OpenedFiles::folder() {
    if (fs::path runtime = opened_folder_under(usable_runtime_folder()); !runtime.empty())
        return runtime;
    return opened_folder_under(cache_folder());
}

void OpenedFiles::empty_folder() {
    const fs::path dir = folder();
    if (dir.empty()) return;
    std::error_code ec;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code type_ec;
        if (it->is_directory(type_ec) && !it->is_symlink(type_ec)) continue;
        std::error_code remove_ec;
        fs::remove(it->path(), remove_ec);
    }
}

bool OpenedFiles::add(const fs::path& path) {
    if (paths_.size() >= kMaxFiles) return false;
    const std::u16string wanted = to_lower(path_text(path));
    for (const fs::path& listed : paths_) {
        if (to_lower(path_text(listed)) == wanted) return false;
    }
    paths_.push_back(path);
    return true;
}

std::vector<fs::path> OpenedFiles::delete_all() {
    std::vector<fs::path> left;
    for (const fs::path& path : paths_) {
        std::error_code ec;
        fs::remove(path, ec);  // false without an error when it is gone already
        if (ec) left.push_back(path);
    }
    paths_.clear();
    return left;
}

std::optional<OpenedAttachment> write_opened_attachment(const FileAttachment& attachment,
                                                        OpenedFiles& opened,
                                                        const fs::path& documents) {
    if (!attachment.has_data()) return std::nullopt;
    const std::u16string name = attachment_file_name(clock().now(), attachment.name());
    // Only the name is tested: the folder's own path may hold ".wal" (a home named "j.walsh").
    if (is_wallet_file_path(name)) {
        auto exported = export_attachment(attachment, documents);
        if (!exported) return std::nullopt;
        return OpenedAttachment{*exported, false};
    }
    const fs::path dir = OpenedFiles::folder();
    if (dir.empty()) return std::nullopt;
    const fs::path path = path_in(dir, name);
    if (!write_file_replacing(path, attachment.data_view())) return std::nullopt;
    opened.add(path);  // a full list still opens it; the folder is emptied when the wallet closes
    return OpenedAttachment{path, true};
}

std::u16string leftover_files_text(const std::vector<fs::path>& left) {
    size_t units = 0;
    for (const fs::path& path : left) units += path_text(path).size() + 2;
    if (units + 1 > kMaxListedNameUnits || left.size() > kMaxListedFiles) {
        return format_message(load_string(text_id::kCopiesLeftCount),
                              {static_cast<int64_t>(left.size())});
    }
    std::u16string text = load_string(text_id::kCopiesLeftList);
    for (const fs::path& path : left) {
        text += path_text(path);
        text += u'\n';
    }
    return text;
}

}  // namespace ks
