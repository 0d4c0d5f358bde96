#include "platform/registry.h"

#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <thread>
#include <utility>

#include "platform/atomic_file.h"
#include "platform/file.h"
#include "platform/message_format.h"
#include "platform/registry_text.h"
#include "platform/text.h"
#include "platform/texts.h"

namespace ks {

using namespace registry_text;

namespace {

// A store of preferences is small; a file far beyond this is not one we wrote. Saving never
// writes more than this, so that every file the store writes it can read again.
constexpr uint64_t kMaxFileBytes = 16u * 1024 * 1024;
constexpr auto kLockWait = std::chrono::seconds(5);
constexpr const char* kLockFileName = "registry.lock";

enum class ChangeKind { CreateKey, DeleteKey, SetValue, DeleteValue };

struct Change {
    ChangeKind kind;
    RegistryRoot root;
    std::vector<std::u16string> path;
    std::u16string name;
    RegistryValue value;
};

bool apply_change(Roots& roots, const Change& change, bool* created = nullptr) {
    switch (change.kind) {
        case ChangeKind::CreateKey:
            make_key(roots, change.root, change.path, created);
            return true;
        case ChangeKind::DeleteKey:
            return delete_key(roots, change.root, change.path);
        case ChangeKind::SetValue: {
            Key& key = make_key(roots, change.root, change.path, nullptr);
            auto it = key.find_value(change.name);
            if (it != key.values.end())
                it->second = change.value;
            else
                key.values.emplace_back(change.name, change.value);
            return true;
        }
        case ChangeKind::DeleteValue: {
            Key* key = find_key(roots, change.root, change.path);
            if (!key) return false;
            auto it = key->find_value(change.name);
            if (it == key->values.end()) return false;
            key->values.erase(it);
            return true;
        }
    }
    return false;
}

// Reads the whole file; a missing file reads as empty. False (with errno) on failure.
bool read_whole(const std::filesystem::path& path, std::string& out, int& err) {
    out.clear();
    File file = File::open(path, FileMode::ReadOnly, &err);
    if (!file.is_open()) {
        if (err == ENOENT) {
            err = 0;
            return true;
        }
        return false;
    }
    const std::optional<uint64_t> size = file.size();
    if (!size) {
        err = EIO;
        return false;
    }
    if (*size > kMaxFileBytes) {
        err = EFBIG;
        return false;
    }
    out.resize(size_t(*size));
    const IoResult r =
        file.read_at(0, std::span<uint8_t>(reinterpret_cast<uint8_t*>(out.data()), out.size()));
    if (r.failed()) {
        err = r.error;
        return false;
    }
    out.resize(r.bytes);
    return true;
}

// Reads and parses the file at `path` into `roots`; fills `error` on failure.
bool read_file_into(const std::filesystem::path& path, Roots& roots, RegistryError& error) {
    std::string bytes;
    int err = 0;
    if (!read_whole(path, bytes, err)) {
        error = RegistryError{RegistryErrorCode::ReadFailed, RegistryProblem::None, 0, err, path};
        return false;
    }
    RegistryError parse_error;
    if (!parse_into(bytes, roots, parse_error)) {
        error = parse_error;
        error.path = path;
        return false;
    }
    return true;
}

// The advisory lock that serialises writers; released when the object goes away.
File acquire_lock(const std::filesystem::path& folder, RegistryError& error) {
    const std::filesystem::path path = folder / kLockFileName;
    int err = 0;
    File lock = File::open(path, FileMode::ReadWrite, &err);
    if (!lock.is_open() && err == ENOENT) lock = File::open(path, FileMode::CreateNew, &err);
    if (!lock.is_open() && err == EEXIST) lock = File::open(path, FileMode::ReadWrite, &err);
    if (!lock.is_open()) {
        error = RegistryError{RegistryErrorCode::WriteFailed, RegistryProblem::None, 0, err, path};
        return File();
    }
    const auto deadline = std::chrono::steady_clock::now() + kLockWait;
    while (!lock.try_lock_exclusive()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            error = RegistryError{RegistryErrorCode::Busy, RegistryProblem::None, 0, 0, path};
            return File();
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return lock;
}

// Writes `text` to a new file beside `target` and renames it over `target`.
bool write_atomically(const std::filesystem::path& target, std::string_view text,
                      RegistryError& error) {
    clear_file_failure();
    AtomicReplacement out(target);
    const IoResult w = out.is_open()
                           ? out.file().write(std::span<const uint8_t>(
                                 reinterpret_cast<const uint8_t*>(text.data()), text.size()))
                           : IoResult{0, EIO};
    if (!w.failed() && w.bytes == text.size() && out.commit()) return true;
    const int cause = last_file_failure().error;
    error = RegistryError{RegistryErrorCode::WriteFailed, RegistryProblem::None, 0,
                          cause != 0 ? cause : EIO, target};
    return false;
}

}  // namespace

// ---- RegistryValue ---------------------------------------------------------------------------

RegistryValue RegistryValue::of_dword(uint32_t v) {
    RegistryValue value;
    value.type = RegistryValueType::Dword;
    value.dword = v;
    return value;
}

RegistryValue RegistryValue::of_string(std::u16string_view v) {
    RegistryValue value;
    value.type = RegistryValueType::String;
    value.string = v;
    return value;
}

RegistryValue RegistryValue::of_binary(std::span<const uint8_t> v) {
    RegistryValue value;
    value.type = RegistryValueType::Binary;
    value.binary.assign(v.begin(), v.end());
    return value;
}

// ---- Messages --------------------------------------------------------------------------------

std::u16string registry_error_message(const RegistryError& error) {
    const std::u16string path = from_utf8(error.path.string());
    const std::u16string system =
        error.system_error ? from_utf8(std::strerror(error.system_error)) : std::u16string();
    switch (error.code) {
        case RegistryErrorCode::None:
            return {};
        case RegistryErrorCode::Damaged: {
            const int problem = int(error.problem) - int(RegistryProblem::MissingHeader);
            const std::u16string reason =
                problem >= 0 ? load_string(text_id::kRegistryProblemFirst + uint32_t(problem))
                             : std::u16string();
            return format_message(
                load_string(text_id::kRegistryDamaged),
                {std::u16string_view(path), int64_t(error.line), std::u16string_view(reason)});
        }
        case RegistryErrorCode::ReadFailed:
            return format_message(load_string(text_id::kRegistryReadFailed),
                                  {std::u16string_view(path), std::u16string_view(system)});
        case RegistryErrorCode::WriteFailed:
            return format_message(load_string(text_id::kRegistryWriteFailed),
                                  {std::u16string_view(path), std::u16string_view(system)});
        case RegistryErrorCode::Busy:
            return format_message(load_string(text_id::kRegistryBusy), {std::u16string_view(path)});
        case RegistryErrorCode::NoFolder:
            return load_string(text_id::kRegistryNoFolder);
        case RegistryErrorCode::InvalidName:
            return load_string(text_id::kRegistryInvalidName);
        case RegistryErrorCode::TooLarge:
            return load_string(text_id::kRegistryTooLarge);
    }
    return {};
}

// ---- Registry --------------------------------------------------------------------------------

struct Registry::Impl {
    Roots roots;
    std::vector<Change> journal;
    RegistryError error;
    std::filesystem::path folder;

    bool record(Change change, bool* created = nullptr) {
        const bool done = apply_change(roots, change, created);
        if (done || change.kind == ChangeKind::DeleteKey || change.kind == ChangeKind::DeleteValue)
            journal.push_back(std::move(change));
        return done;
    }

    std::optional<std::vector<std::u16string>> path_or_error(std::u16string_view path) {
        auto parts = split_path(path);
        if (!parts) error = RegistryError{RegistryErrorCode::InvalidName, {}, 0, 0, {}};
        return parts;
    }
};

std::filesystem::path Registry::configuration_folder() {
    if (const char* dir = std::getenv("KEYSTASH_CONFIG_DIR"); dir && *dir) return dir;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg && xdg[0] == '/')
        return std::filesystem::path(xdg) / "keystash";
    if (const char* home = std::getenv("HOME"); home && *home)
        return std::filesystem::path(home) / ".config" / "keystash";
    return {};
}

Registry::Registry() : impl_(std::make_unique<Impl>()) {}
Registry::~Registry() = default;
Registry::Registry(Registry&&) noexcept = default;
Registry& Registry::operator=(Registry&&) noexcept = default;
Registry::Registry(const Registry& other) : impl_(std::make_unique<Impl>(*other.impl_)) {}
Registry& Registry::operator=(const Registry& other) {
    if (this != &other) impl_ = std::make_unique<Impl>(*other.impl_);
    return *this;
}

const RegistryError& Registry::error() const {
    return impl_->error;
}

const std::filesystem::path& Registry::folder() const {
    return impl_->folder;
}

std::filesystem::path Registry::file_path() const {
    return impl_->folder.empty() ? std::filesystem::path() : impl_->folder / kFileName;
}

bool Registry::load(const std::filesystem::path& folder) {
    impl_->folder = folder;
    impl_->journal.clear();
    impl_->roots = Roots{};
    impl_->error = RegistryError{};
    if (folder.empty()) {
        impl_->error.code = RegistryErrorCode::NoFolder;
        return false;
    }
    Roots roots;
    if (!read_file_into(file_path(), roots, impl_->error)) return false;
    impl_->roots = std::move(roots);
    return true;
}

bool Registry::save() {
    Impl& d = *impl_;
    if (d.folder.empty()) {
        d.error = RegistryError{RegistryErrorCode::NoFolder, {}, 0, 0, {}};
        return false;
    }
    std::error_code ec;
    if (!std::filesystem::is_directory(d.folder, ec)) {
        std::filesystem::create_directories(d.folder, ec);
        if (!ec)
            std::filesystem::permissions(d.folder, std::filesystem::perms::owner_all,
                                         std::filesystem::perm_options::replace, ec);
        if (ec) {
            d.error = RegistryError{RegistryErrorCode::WriteFailed, {}, 0, ec.value(), d.folder};
            return false;
        }
    }
    RegistryError error;
    File lock = acquire_lock(d.folder, error);
    if (!lock.is_open()) {
        d.error = error;
        return false;
    }
    // Merge this store's changes into what is on disk now.
    Roots merged;
    if (!read_file_into(file_path(), merged, error)) {
        d.error = error;
        return false;
    }
    for (const Change& change : d.journal) apply_change(merged, change);
    const std::string text = serialise(merged);
    if (text.size() > kMaxFileBytes) {
        d.error = RegistryError{RegistryErrorCode::TooLarge, {}, 0, 0, file_path()};
        return false;
    }
    if (!write_atomically(file_path(), text, error)) {
        d.error = error;
        return false;
    }
    d.roots = std::move(merged);
    d.journal.clear();
    d.error = RegistryError{};
    return true;
}

bool Registry::key_exists(RegistryRoot root, std::u16string_view path) const {
    const auto parts = split_path(path);
    return parts && find_key(impl_->roots, root, *parts) != nullptr;
}

bool Registry::create_key(RegistryRoot root, std::u16string_view path, bool* created) {
    auto parts = impl_->path_or_error(path);
    if (!parts) return false;
    bool is_new = false;
    impl_->record(Change{ChangeKind::CreateKey, root, std::move(*parts), {}, {}}, &is_new);
    if (created) *created = is_new;
    return true;
}

bool Registry::delete_key(RegistryRoot root, std::u16string_view path) {
    auto parts = impl_->path_or_error(path);
    if (!parts || parts->empty()) return false;
    return impl_->record(Change{ChangeKind::DeleteKey, root, std::move(*parts), {}, {}});
}

std::vector<std::u16string> Registry::subkeys(RegistryRoot root, std::u16string_view path) const {
    std::vector<std::u16string> names;
    const auto parts = split_path(path);
    if (!parts) return names;
    if (const Key* key = find_key(impl_->roots, root, *parts))
        for (const auto& [folded, child] : key->children) names.push_back(child.name);
    return names;
}

std::vector<std::u16string> Registry::value_names(RegistryRoot root,
                                                  std::u16string_view path) const {
    std::vector<std::u16string> names;
    const auto parts = split_path(path);
    if (!parts) return names;
    if (const Key* key = find_key(impl_->roots, root, *parts))
        for (const auto& [name, value] : key->values) names.push_back(name);
    return names;
}

std::optional<RegistryValue> Registry::get_value(RegistryRoot root, std::u16string_view path,
                                                 std::u16string_view name) const {
    const auto parts = split_path(path);
    if (!parts) return std::nullopt;
    Key* key = find_key(impl_->roots, root, *parts);
    if (!key) return std::nullopt;
    auto it = key->find_value(name);
    if (it == key->values.end()) return std::nullopt;
    return it->second;
}

std::optional<uint32_t> Registry::get_dword(RegistryRoot root, std::u16string_view path,
                                            std::u16string_view name) const {
    auto v = get_value(root, path, name);
    if (!v || v->type != RegistryValueType::Dword) return std::nullopt;
    return v->dword;
}

std::optional<std::u16string> Registry::get_string(RegistryRoot root, std::u16string_view path,
                                                   std::u16string_view name) const {
    auto v = get_value(root, path, name);
    if (!v || v->type != RegistryValueType::String) return std::nullopt;
    return std::move(v->string);
}

std::optional<std::vector<uint8_t>> Registry::get_binary(RegistryRoot root,
                                                         std::u16string_view path,
                                                         std::u16string_view name) const {
    auto v = get_value(root, path, name);
    if (!v || v->type != RegistryValueType::Binary) return std::nullopt;
    return std::move(v->binary);
}

bool Registry::set_value(RegistryRoot root, std::u16string_view path, std::u16string_view name,
                         const RegistryValue& value) {
    auto parts = impl_->path_or_error(path);
    if (!parts) return false;
    if (name.size() > kMaxValueNameUnits || !writable_name(name)) {
        impl_->error = RegistryError{RegistryErrorCode::InvalidName, {}, 0, 0, {}};
        return false;
    }
    RegistryValue stored = as_read_back(value);
    if (!value_line_fits(name, stored)) {
        impl_->error = RegistryError{RegistryErrorCode::TooLarge, {}, 0, 0, {}};
        return false;
    }
    return impl_->record(Change{ChangeKind::SetValue, root, std::move(*parts), std::u16string(name),
                                std::move(stored)});
}

bool Registry::set_dword(RegistryRoot root, std::u16string_view path, std::u16string_view name,
                         uint32_t value) {
    return set_value(root, path, name, RegistryValue::of_dword(value));
}

bool Registry::set_string(RegistryRoot root, std::u16string_view path, std::u16string_view name,
                          std::u16string_view value) {
    return set_value(root, path, name, RegistryValue::of_string(value));
}

bool Registry::set_binary(RegistryRoot root, std::u16string_view path, std::u16string_view name,
                          std::span<const uint8_t> value) {
    return set_value(root, path, name, RegistryValue::of_binary(value));
}

bool Registry::delete_value(RegistryRoot root, std::u16string_view path, std::u16string_view name) {
    auto parts = split_path(path);
    if (!parts) return false;
    return impl_->record(
        Change{ChangeKind::DeleteValue, root, std::move(*parts), std::u16string(name), {}});
}

std::string Registry::to_text() const {
    return serialise(impl_->roots);
}

bool Registry::parse_text(std::string_view bytes, RegistryError* error) {
    RegistryError local;
    Roots roots;
    if (!parse_into(bytes, roots, local)) {
        if (error) *error = local;
        return false;
    }
    impl_->roots = std::move(roots);
    impl_->journal.clear();
    return true;
}

}  // namespace ks
