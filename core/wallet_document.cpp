#include "core/wallet_document.h"

#include <algorithm>
#include <cerrno>
#include <system_error>

#include "core/keys.h"
#include "core/rekey.h"
#include "core/stored_text.h"
#include "core/wallet_file.h"
#include "platform/atomic_file.h"
#include "platform/clock.h"
#include "platform/text.h"
#include "platform/texts.h"

namespace ks {
namespace {

namespace fn = format::node;
namespace fp = format::payload;

constexpr size_t kCopyNameUnits = 254;  // a copy's name keeps room for its "*"

bool copy_file_contents(const File& from, File& to) {
    std::vector<uint8_t> buffer(1 << 20);
    uint64_t offset = 0;
    for (;;) {
        IoResult r = from.read_at(offset, buffer);
        if (r.failed()) return false;
        if (r.bytes == 0) break;
        IoResult w = to.write_at(offset, std::span(buffer).first(r.bytes));
        if (w.failed() || w.bytes != r.bytes) return false;
        offset += r.bytes;
    }
    secure_zero(std::span(buffer));
    return from.size() == to.size();
}

// The path of the file the wallet was opened from, through any symbolic links; nothing when it
// no longer leads to the open file.
std::optional<std::filesystem::path> real_file_path(const WalletStorage& storage) {
    std::error_code ec;
    std::filesystem::path real = std::filesystem::canonical(storage.path, ec);
    if (ec || !storage.file.is_at(real)) return std::nullopt;
    return real;
}

}  // namespace

// Reset notifications ---------------------------------------------------------------------------

// Tells listeners of a reset around a change of the whole list; nested scopes (a load opens,
// an open closes) are told once. The children index is rebuilt once, at the end.
class WalletDocument::ResetScope {
  public:
    explicit ResetScope(WalletDocument& document) : document_(document) {
        if (document_.resetting_++ == 0)
            document_.notify(true, {ListChangeKind::Reset, kNoIndex, std::nullopt, std::nullopt});
    }
    ~ResetScope() {
        if (--document_.resetting_ != 0) return;
        document_.rebuild_children();
        document_.notify(false, {ListChangeKind::Reset, kNoIndex, std::nullopt, std::nullopt});
    }
    ResetScope(const ResetScope&) = delete;
    ResetScope& operator=(const ResetScope&) = delete;

  private:
    WalletDocument& document_;
};

void WalletDocument::add_listener(ListListener& listener) {
    if (std::find(listeners_.begin(), listeners_.end(), &listener) == listeners_.end())
        listeners_.push_back(&listener);
}

void WalletDocument::remove_listener(ListListener& listener) {
    std::erase(listeners_, &listener);
}

void WalletDocument::notify(bool before, const ListChange& change) {
    if (resetting_ > 0 && change.kind != ListChangeKind::Reset) return;
    // A listener may remove itself, or another, while it is told.
    const std::vector<ListListener*> listeners = listeners_;
    for (ListListener* listener : listeners) {
        if (std::find(listeners_.begin(), listeners_.end(), listener) == listeners_.end()) continue;
        if (before)
            listener->before_change(change);
        else
            listener->after_change(change);
    }
}

void WalletDocument::notify_special_entry(int entry, bool before) {
    notify(before, {ListChangeKind::SpecialEntry, entry, std::nullopt, std::nullopt});
}

// Operations ------------------------------------------------------------------------------------

WalletDocument::Operation WalletDocument::begin_operation(Prompt& prompt) {
    if (operation_running_) return Operation(nullptr, prompt);
    operation_running_ = true;
    return Operation(this, prompt);
}

WalletDocument::Operation::~Operation() {
    if (document_) document_->operation_running_ = false;
}

PromptAnswer WalletDocument::Operation::ask(const PromptMessage& message) {
    if (!document_) return prompt_.ask(message);
    const bool was_open = document_->question_open_;
    document_->question_open_ = true;
    const PromptAnswer answer = prompt_.ask(message);
    document_->question_open_ = was_open;
    return answer;
}

// Keys handed to nodes ----------------------------------------------------------------------------

void WalletDocument::bind_node_key() {
    retire_node_key();
    node_key_ = std::make_shared<KeyContext>(storage_.info.record_key);
    for (TreeNode& node : nodes_) node.set_record_key(node_key_);
}

void WalletDocument::retire_node_key() {
    // Nodes and cards handed out keep the wiped key: they decipher nothing and are not stored.
    if (node_key_) node_key_->clear();
    node_key_.reset();
}

bool WalletDocument::owns(const TreeNode& node) const {
    return node_key_ && node.record_key() == node_key_.get();
}

// Lifecycle -----------------------------------------------------------------------------------

WalletDocument::~WalletDocument() {
    listeners_.clear();
    close_storage();
}

CreateResult WalletDocument::create(const std::filesystem::path& path,
                                    std::optional<std::u16string_view> password,
                                    std::optional<std::u16string_view> hint,
                                    bool with_sample_folder) {
    begin_change();
    if (question_open_) return CreateResult::Busy;
    ResetScope reset(*this);
    close_storage();
    if (!path_acceptable(path)) return CreateResult::BadPath;
    if (!password) return CreateResult::NoPassword;
    if (password->size() < kMinPasswordLength || password->size() > kMaxCreatePasswordLength)
        return CreateResult::BadPasswordLength;
    std::error_code ec;
    if (std::filesystem::symlink_status(path, ec).type() != std::filesystem::file_type::not_found)
        return CreateResult::Exists;
    storage_.file = File::open(path, FileMode::CreateNew);
    if (!storage_.file.is_open()) {
        note_file_failure();
        return CreateResult::CannotCreate;
    }
    storage_.file.try_lock_exclusive();
    storage_.path = path;

    // A file that could not be made whole is removed: it holds nothing of the user's yet.
    auto fail = [&](CreateResult r) {
        close_storage();
        std::filesystem::remove(path, ec);
        return r;
    };
    if (!fill_new_wallet_blocks(storage_, password, hint)) return fail(CreateResult::KeysFailed);
    BlockWriteFailure failure = write_leading_blocks(storage_, false);
    if (failure.block >= 0) {
        note_file_failure();
        const CreateResult codes[] = {CreateResult::HeaderWriteFailed,
                                      CreateResult::InfoWriteFailed,
                                      CreateResult::SettingsWriteFailed};
        return fail(codes[failure.block]);
    }
    storage_.open = true;
    bind_node_key();
    if (with_sample_folder) {
        TreeNode sample = new_folder({});
        sample.set_name(load_string(text_id::kSampleFolder));
        sample.set_icon(kSampleFolderIcon);
        if (write_folder(sample, false) < 0) return fail(CreateResult::CannotCreate);
    }
    TreeNode my_forms = new_folder({}, true);
    my_forms.set_name(load_string(text_id::kMyForms));
    my_forms.set_icon(kMyFormsIcon);
    if (write_folder(my_forms, false) < 0 || !sync_directory(path.parent_path()))
        return fail(CreateResult::CannotCreate);
    close_storage();
    return CreateResult::Created;
}

OpenResult WalletDocument::open(const std::filesystem::path& path,
                                std::optional<std::u16string_view> password, bool read_only) {
    begin_change();
    if (question_open_) return OpenResult::Busy;
    ResetScope reset(*this);
    close_storage();
    const OpenResult opened = open_wallet_storage(storage_, path, password, read_only);
    if (opened == OpenResult::Opened) bind_node_key();
    if (opened == OpenResult::CannotOpen || opened == OpenResult::Missing ||
        opened == OpenResult::AccessDenied || opened == OpenResult::Locked)
        note_file_failure();
    return opened;
}

OpenResult WalletDocument::load(const std::filesystem::path& path,
                                std::optional<std::u16string_view> password, bool read_only) {
    begin_change();
    if (question_open_) return OpenResult::Busy;
    ResetScope reset(*this);
    OpenResult opened = open(path, password, read_only);
    if (opened != OpenResult::Opened) return opened;
    File& file = storage_.file;
    const uint64_t size = file.size().value_or(0);
    skip_to_nodes(file);
    for (;;) {
        const uint64_t start = file.position();
        TreeNode node;
        uint64_t consumed = 0;
        bool image_whole = true;
        StorageResult r = read_node(file, node, &storage_.info.record_key, &consumed, &image_whole);
        if (r == StorageResult::NothingTransferred) break;
        if (r != StorageResult::Done) {
            if (r == StorageResult::CallFailed) note_file_failure();
            close_storage();
            return consumed > 0 ? OpenResult::Damaged : OpenResult::NodesUnreadable;
        }
        // A record that runs past the end of the file is cut short: damaged. Taking it as it
        // is would let the next appended record fall inside it.
        const uint64_t end = start + consumed + node.header().payload_length();
        if (!image_whole || end > size) {
            close_storage();
            return OpenResult::Damaged;
        }
        file.seek(end);
        record_offsets_[node.id()] = start;  // the last record of an id wins
        if (!node.deleted()) {
            put_in_list(std::move(node));
        } else if (const int listed = list_index_of(node.id()); listed != kNoIndex) {
            // A later deleted record of a listed id: the node was deleted after it was written.
            nodes_[static_cast<size_t>(listed)].header().set_deleted(true);
        }
    }
    offsets_known_ = true;
    return OpenResult::Opened;
}

SaveResult WalletDocument::save_blocks() {
    begin_change();
    if (!writable()) return SaveResult::Saved;
    BlockWriteFailure failure = write_leading_blocks(storage_, true);
    if (failure.block < 0 && durable()) return SaveResult::Saved;
    note_file_failure();
    const SaveResult codes[] = {SaveResult::HeaderFailed, SaveResult::InfoFailed,
                                SaveResult::SettingsFailed};
    SaveResult result = codes[std::max(failure.block, 0)];
    ResetScope reset(*this);
    close_storage();
    return result;
}

bool WalletDocument::close() {
    if (question_open_) return false;
    if (!storage_.open && nodes_.empty()) return true;
    ResetScope reset(*this);
    close_storage();
    return true;
}

void WalletDocument::close_storage() {
    retire_node_key();
    for (TreeNode& node : nodes_) secure_zero(std::span(node.header().bytes));
    nodes_.clear();
    nodes_.shrink_to_fit();
    sibling_keys_.clear();
    sibling_keys_.shrink_to_fit();
    children_.clear();
    index_of_.clear();
    record_offsets_.clear();
    offsets_known_ = false;
    storage_.close();
}

bool WalletDocument::change_password(std::optional<std::u16string_view> old_password,
                                     std::u16string_view new_password,
                                     std::optional<std::u16string_view> hint) {
    begin_change();
    if (!writable()) return false;
    if (storage_.info.has_password() && !check_password(storage_.info, old_password)) return false;
    if (new_password.size() < kMinPasswordLength || new_password.size() > kMaxPasswordLength)
        return false;

    WalletInfoBlock info = storage_.info;
    KeyContext old_key;
    if (!set_password(info, new_password, &old_key) || !set_hint(info, hint)) return false;

    // Build the re-enciphered wallet beside the old one, then put it in its place at once. A
    // wallet opened through a symbolic link is the file the link leads to: that file is
    // replaced, and the link kept.
    const std::optional<std::filesystem::path> real_path = real_file_path(storage_);
    if (!real_path) return false;
    std::filesystem::path temp_path;
    WalletStorage next;
    next.file = create_temporary_beside(*real_path, temp_path);
    if (!next.file.is_open()) {
        note_file_failure();
        return false;
    }
    std::error_code ec;
    auto abandon = [&] {
        note_file_failure();
        next.file.close();
        std::filesystem::remove(temp_path, ec);
        return false;
    };
    if (!next.file.try_lock_exclusive() || !copy_file_contents(storage_.file, next.file))
        return abandon();
    next.header = storage_.header;
    next.info = std::move(info);
    next.settings = storage_.settings;
    next.header.dirty = next.info.dirty = next.settings.dirty = true;
    if (write_leading_blocks(next, false).block >= 0 ||
        !reencipher_records(next.file, old_key, next.info.record_key) || !next.file.sync())
        return abandon();
    if (!next.file.rename_to(*real_path)) return abandon();
    sync_directory(real_path->parent_path());

    next.path = storage_.path;
    next.open = true;
    ResetScope reset(*this);
    storage_.file.close();
    storage_ = std::move(next);
    offsets_known_ = false;
    for (TreeNode& node : nodes_) reencipher_name(node.header(), old_key, storage_.info.record_key);
    bind_node_key();
    return true;
}

RepairResult WalletDocument::repair(const std::filesystem::path& path,
                                    std::optional<std::u16string_view> password, Prompt& prompt) {
    if (question_open_ || operation_running_) return {RepairStatus::OpenFailed, OpenResult::Busy};
    {
        ResetScope reset(*this);
        close_storage();
    }
    Operation operation = begin_operation(prompt);
    return repair_wallet(path, password, operation);
}

// New items -----------------------------------------------------------------------------------

TreeNode WalletDocument::new_folder(const NodeId& parent, bool my_forms) const {
    TreeNode node =
        TreeNode::create(my_forms ? NodeKind::MyForms : NodeKind::Folder, parent, nullptr);
    node.set_record_key(node_key_);
    return node;
}

Card WalletDocument::new_card(const NodeId& parent) const {
    Card card;
    card.set_node(TreeNode::create(NodeKind::Card, parent, nullptr));
    card.node()->set_record_key(node_key_);
    card.set_style(storage_.settings.default_card_style());
    return card;
}

void WalletDocument::renew_as_copy(TreeNode& node, const NodeId& parent) const {
    node.set_record_key(node_key_);
    node.set_id(new_node_id());
    node.header().set_parent(parent);
    const DateTime now = clock().now();
    node.header().set_time(fn::kCreatedTime, now);
    node.header().set_time(fn::kModifiedTime, now);
    node.header().set_change_bits(node_change::kCreated);
    node.set_dirty(true);
}

std::optional<Card> WalletDocument::new_card_from_my_forms(const NodeId& parent,
                                                           const FormId& form) {
    const TreeNode* forms = my_forms_folder();
    const TreeNode* listed = node(list_index_of(form));
    if (!forms || !listed || listed->kind() != NodeKind::Card || listed->deleted() ||
        listed->parent() != forms->id())
        return std::nullopt;
    auto card = load_card(form);
    if (!card) return std::nullopt;
    TreeNode& n = *card->node();
    const std::u16string name = n.name();
    renew_as_copy(n, parent);
    n.set_name(name + u"*");
    return card;
}

// Storing -------------------------------------------------------------------------------------

void WalletDocument::begin_change() {
    failure_ = {};
    clear_file_failure();
}

void WalletDocument::note_file_failure() {
    failure_ = last_file_failure();
    if (failure_.problem == FileProblem::None) failure_.problem = FileProblem::Other;
}

bool WalletDocument::durable() {
    return storage_.file.sync();
}

int WalletDocument::put_in_list(TreeNode node) {
    node.set_record_key(node_key_);
    const int existing = list_index_of(node.id());
    const int index = existing >= 0 ? existing : static_cast<int>(nodes_.size());
    SiblingKey key = sibling_key(node, index);
    ListChange change{ListChangeKind::Inserted, index, std::nullopt, std::nullopt};
    if (resetting_ == 0) {
        if (existing >= 0) change.from = place_of(existing);
        if (has_place(node)) change.to = place_for(node.parent(), key, existing);
        if (existing < 0 || (change.from && change.to && *change.from == *change.to &&
                             nodes_[static_cast<size_t>(existing)].parent() == node.parent()))
            change.kind = existing < 0 ? ListChangeKind::Inserted : ListChangeKind::Changed;
        else if (change.from && change.to)
            change.kind = ListChangeKind::Moved;
        else if (change.from)
            change.kind = ListChangeKind::Removed;
        else
            change.kind = change.to ? ListChangeKind::Inserted : ListChangeKind::Changed;
    }
    notify(true, change);
    if (existing >= 0) {
        drop_from_children(existing);
        nodes_[static_cast<size_t>(existing)] = std::move(node);
        sibling_keys_[static_cast<size_t>(existing)] = std::move(key);
    } else {
        nodes_.push_back(std::move(node));
        sibling_keys_.push_back(std::move(key));
        index_of_[nodes_.back().id()] = index;
    }
    add_to_children(index);
    notify(false, change);
    return index;
}

// The children index ----------------------------------------------------------------------------

namespace {
constexpr size_t kSortNameUnits = 64;

int kind_rank(NodeKind kind) {
    switch (kind) {
        case NodeKind::Card:
            return 0;
        case NodeKind::MyForms:
            return 2;
        default:
            return 1;
    }
}
}  // namespace

WalletDocument::SiblingKey WalletDocument::sibling_key(const TreeNode& node, int index) const {
    std::u16string name = node.name();
    if (name.size() > kSortNameUnits) name.resize(kSortNameUnits);
    return {kind_rank(node.kind()), to_lower(name), index};
}

bool WalletDocument::has_place(const TreeNode& node) {
    return !node.deleted() && node.parent() != node.id();
}

int WalletDocument::parent_list_index(const NodeId& parent) const {
    if (parent.is_none()) return kNoIndex;
    const int index = list_index_of(parent);
    return index == kNoIndex ? kUnlistedParent : index;
}

size_t WalletDocument::lower_row(const std::vector<int>& siblings, const SiblingKey& key) const {
    auto below = [this](int sibling, const SiblingKey& k) {
        return sibling_keys_[static_cast<size_t>(sibling)] < k;
    };
    return static_cast<size_t>(std::lower_bound(siblings.begin(), siblings.end(), key, below) -
                               siblings.begin());
}

std::optional<size_t> WalletDocument::row_of(const std::vector<int>& siblings, int index) const {
    const size_t row = lower_row(siblings, sibling_keys_[static_cast<size_t>(index)]);
    if (row < siblings.size() && siblings[row] == index) return row;
    return std::nullopt;
}

std::optional<TreePlace> WalletDocument::place_for(const NodeId& parent, const SiblingKey& key,
                                                   int self) const {
    size_t row = 0;
    if (auto it = children_.find(parent); it != children_.end()) {
        row = lower_row(it->second, key);
        // The node itself leaves its old row when that stood before the new one.
        if (self >= 0) {
            const auto old_row = row_of(it->second, self);
            if (old_row && *old_row < row) --row;
        }
    }
    return TreePlace{parent_list_index(parent), static_cast<int>(row)};
}

std::optional<TreePlace> WalletDocument::place_of(int index) const {
    const TreeNode* n = node(index);
    if (!n || !has_place(*n)) return std::nullopt;
    auto it = children_.find(n->parent());
    if (it == children_.end()) return std::nullopt;
    const auto row = row_of(it->second, index);
    if (!row) return std::nullopt;
    return TreePlace{parent_list_index(n->parent()), static_cast<int>(*row)};
}

void WalletDocument::add_to_children(int index) {
    if (resetting_ > 0) return;  // the scope's end rebuilds the whole index
    const TreeNode& n = nodes_[static_cast<size_t>(index)];
    if (!has_place(n)) return;
    std::vector<int>& siblings = children_[n.parent()];
    const size_t row = lower_row(siblings, sibling_keys_[static_cast<size_t>(index)]);
    siblings.insert(siblings.begin() + static_cast<std::ptrdiff_t>(row), index);
}

void WalletDocument::drop_from_children(int index) {
    if (resetting_ > 0) return;
    const TreeNode& n = nodes_[static_cast<size_t>(index)];
    auto it = children_.find(n.parent());
    if (it == children_.end()) return;
    if (const auto row = row_of(it->second, index)) {
        it->second.erase(it->second.begin() + static_cast<std::ptrdiff_t>(*row));
        if (it->second.empty()) children_.erase(it);
    }
}

void WalletDocument::rebuild_children() {
    children_.clear();
    for (size_t i = 0; i < nodes_.size(); ++i)
        if (has_place(nodes_[i])) children_[nodes_[i].parent()].push_back(static_cast<int>(i));
    for (auto& [parent, siblings] : children_)
        std::sort(siblings.begin(), siblings.end(), [this](int a, int b) {
            return sibling_keys_[static_cast<size_t>(a)] < sibling_keys_[static_cast<size_t>(b)];
        });
}

int WalletDocument::store_record(TreeNode& node, std::span<const uint8_t> payload,
                                 const std::optional<RecordLocation>& replaced) {
    if (!writable() || !node.valid()) return kNoIndex;
    if (replaced) return replace_record(node, payload, *replaced);
    File& file = storage_.file;
    const auto end = file.size();
    if (!end || !file.seek(*end)) return kNoIndex;
    node.header().set_payload_length(static_cast<uint32_t>(payload.size()));
    node.header().set_u32(fn::kReserved744, 0);
    // A record that was not written whole, or not made durable, is taken out again: a store
    // reported as failed must not reappear at the next load.
    if (write_node(file, node, payload) != StorageResult::Done || !durable()) {
        note_file_failure();
        file.set_size(*end);
        file.sync();
        return kNoIndex;
    }
    if (offsets_known_) record_offsets_[node.id()] = *end;
    return put_in_list(node);
}

int WalletDocument::replace_record(TreeNode& node, std::span<const uint8_t> payload,
                                   const RecordLocation& old) {
    node.header().set_payload_length(static_cast<uint32_t>(payload.size()));
    node.header().set_u32(fn::kReserved744, 0);
    auto record = node_record_bytes(node, payload);
    if (!record) return kNoIndex;
    // The old record is cut out and the new one appended as one journaled change: the file
    // never holds both, nor neither.
    const uint64_t old_length = old.header_and_image + old.payload_length;
    const bool done = cut_and_append(storage_.file, old.offset, old_length, *record);
    const uint64_t record_length = record->size();
    secure_zero(std::span(*record));
    note_cut(old.offset, old_length, done);
    if (!done) return kNoIndex;
    node.set_dirty(false);
    const auto size = storage_.file.size();
    if (offsets_known_ && size) record_offsets_[node.id()] = *size - record_length;
    return put_in_list(node);
}

int WalletDocument::store_folder(const TreeNode& node) {
    begin_change();
    return write_folder(node, false);
}

int WalletDocument::store_card(Card& card) {
    begin_change();
    return write_card(card, false);
}

int WalletDocument::write_folder(const TreeNode& node, bool replace) {
    if (!writable() || !owns(node) ||
        (node.kind() != NodeKind::Folder && node.kind() != NodeKind::MyForms))
        return kNoIndex;
    TreeNode copy = node;
    return store_record(copy, {}, replace ? locate(node.id(), RecordFilter::Any) : std::nullopt);
}

int WalletDocument::write_card(Card& card, bool replace) {
    if (!writable() || !card.node() || !owns(*card.node()) || card.node()->kind() != NodeKind::Card)
        return kNoIndex;
    Bytes payload = card.payload(storage_.info.record_key);
    if (payload.size() > UINT32_MAX) return kNoIndex;
    const auto old = replace ? locate(card.node()->id(), RecordFilter::Any) : std::nullopt;
    const int index = store_record(*card.node(), payload, old);
    secure_zero(std::span(payload));
    if (index >= 0) card.set_dirty(false);
    return index;
}

std::optional<RecordLocation> WalletDocument::locate(const NodeId& id, RecordFilter filter) {
    File& file = storage_.file;
    if (!offsets_known_) {
        record_offsets_.clear();
        for_each_node_record(file, [this](const RecordLocation& loc) {
            record_offsets_[loc.header.id()] = loc.offset;  // the last record of an id wins
        });
        offsets_known_ = true;
    }
    if (auto it = record_offsets_.find(id); it != record_offsets_.end()) {
        RecordLocation loc;
        loc.offset = it->second;
        IoResult r = file.read_at(loc.offset, loc.header.bytes);
        if (!r.failed() && r.bytes == fn::kHeaderSize && loc.header.kind() != NodeKind::None &&
            loc.header.id() == id && record_passes(loc.header, filter) && file.seek(loc.offset)) {
            loc.header_and_image = fn::kHeaderSize + uint64_t{loc.header.icon_image_length()};
            loc.payload_length = loc.header.payload_length();
            return loc;
        }
    }
    // Unknown, stale, or the last record is one the filter passes over: the walk decides.
    return find_node_record(file, id, filter);
}

void WalletDocument::note_cut(uint64_t offset, uint64_t length, bool done) {
    if (!done) {
        note_file_failure();
        after_failed_change();
        return;
    }
    for (auto it = record_offsets_.begin(); it != record_offsets_.end();) {
        if (it->second >= offset + length) {
            (it++)->second -= length;
        } else if (it->second >= offset) {
            it = record_offsets_.erase(it);
        } else {
            ++it;
        }
    }
}

void WalletDocument::after_failed_change() {
    // A journal left behind holds a change that is decided but not yet in place (the next
    // open finishes it); until then the file is neither read nor written.
    if (journal_left(storage_.file)) {
        close();
        return;
    }
    offsets_known_ = false;
}

int WalletDocument::update_folder(const TreeNode& node) {
    begin_change();
    return write_folder(node, true);
}

int WalletDocument::update_card(Card& card) {
    begin_change();
    return write_card(card, true);
}

std::optional<Card> WalletDocument::load_card(const NodeId& id) {
    if (!storage_.open) return std::nullopt;
    File& file = storage_.file;
    if (!locate(id, RecordFilter::LiveCard)) return std::nullopt;
    TreeNode node;
    if (read_node(file, node, node_key_.get()) != StorageResult::Done) return std::nullopt;
    node.set_record_key(node_key_);
    Card card;
    card.set_node(std::move(node));
    if (!card.read(file, storage_.info.record_key)) return std::nullopt;
    return card;
}

std::optional<Card> WalletDocument::load_card(int index) {
    const TreeNode* n = node(index);
    if (!n) return std::nullopt;
    return load_card(n->id());
}

std::optional<TreeNode> WalletDocument::folder_copy(const NodeId& id) const {
    const TreeNode* n = node(list_index_of(id));
    if (!n || (n->kind() != NodeKind::Folder && n->kind() != NodeKind::MyForms))
        return std::nullopt;
    return *n;
}

bool WalletDocument::rewrite_node(const TreeNode& node) {
    begin_change();
    if (!writable() || !owns(node)) return false;
    File& file = storage_.file;
    auto loc = locate(node.id(), RecordFilter::NotDeleted);
    if (!loc) return false;
    TreeNode copy = node;
    // Only the header and icon are rewritten: they must keep the stored length, and the
    // payload length is the stored one. An image the header records stays even where the icon
    // number does not use it; a header that stopped recording it would shift every later record.
    copy.header().set_payload_length(loc->payload_length);
    auto record = node_record_bytes(copy, {}, UnusedImage::Keep);
    if (!record || record->size() != loc->header_and_image) return false;
    if (!write_protected(file, loc->offset, *record)) {
        note_file_failure();
        after_failed_change();
        return false;
    }
    copy.set_dirty(false);
    put_in_list(std::move(copy));
    return true;
}

// Tree operations -----------------------------------------------------------------------------

bool WalletDocument::rename(int index, std::u16string_view name) {
    begin_change();
    if (!writable()) return false;
    if (index == kFavouritesEntry || index == kSearchResultsEntry || index == kThirdEntry) {
        const int entry = index == kFavouritesEntry ? 1 : index == kSearchResultsEntry ? 2 : 3;
        notify_special_entry(index, true);
        const bool renamed =
            set_caption(storage_.info, entry, name, -1) && save_blocks() == SaveResult::Saved;
        notify_special_entry(index, false);
        return renamed;
    }
    const TreeNode* listed = node(index);
    if (!listed || listed->deleted()) return false;
    TreeNode changed = *listed;
    changed.set_name(name);
    return rewrite_node(changed);
}

bool WalletDocument::is_container(int index) const {
    const TreeNode* n = node(index);
    return n && !n->deleted() && (n->kind() == NodeKind::Folder || n->kind() == NodeKind::MyForms);
}

bool WalletDocument::move(int index, int new_parent) {
    begin_change();
    const TreeNode* listed = node(index);
    if (!writable() || !listed || listed->deleted() || listed->kind() == NodeKind::MyForms)
        return false;
    NodeId parent_id;
    if (new_parent != kNoIndex) {
        if (!is_container(new_parent)) return false;
        // A folder cannot go below itself.
        int up = new_parent;
        for (size_t steps = 0; up != kNoIndex && steps <= nodes_.size(); ++steps) {
            if (up == index) return false;
            up = parent_folder_index_of(up);
        }
        parent_id = nodes_[static_cast<size_t>(new_parent)].id();
    }
    TreeNode changed = *listed;
    changed.set_parent(parent_id);
    return rewrite_node(changed);
}

int WalletDocument::copy_card_to_folder(int card_index, int folder_index) {
    begin_change();
    const TreeNode* source = node(card_index);
    if (!writable() || !source || source->kind() != NodeKind::Card || !is_container(folder_index))
        return kNoIndex;
    auto card = load_card(source->id());
    if (!card) return kNoIndex;
    TreeNode& n = *card->node();
    std::u16string name = n.name();
    if (name.size() > kCopyNameUnits) name.resize(kCopyNameUnits);
    renew_as_copy(n, nodes_[static_cast<size_t>(folder_index)].id());
    n.set_name(name + u"*");
    n.header().set_change_bits(node_change::kCreated);
    return store_card(*card);
}

int WalletDocument::save_to_my_forms(int card_index) {
    begin_change();
    const TreeNode* source = node(card_index);
    const TreeNode* forms = my_forms_folder();
    if (!writable() || !source || source->kind() != NodeKind::Card || source->deleted() || !forms)
        return kNoIndex;
    const NodeId forms_id = forms->id();
    auto card = load_card(source->id());
    if (!card) return kNoIndex;
    renew_as_copy(*card->node(), forms_id);
    for (size_t i = 0; i < card->fields().size(); ++i) {
        card->field(i).set_value(u"");
        card->field(i).set_date(std::nullopt);
    }
    return store_card(*card);
}

bool WalletDocument::remove(int index) {
    begin_change();
    const TreeNode* listed = node(index);
    if (!writable() || !listed || listed->deleted() || listed->kind() == NodeKind::MyForms)
        return false;

    File& file = storage_.file;
    auto loc = locate(listed->id(), RecordFilter::NotDeleted);
    if (!loc) return false;
    NodeHeader header = loc->header;
    header.set_deleted(true);
    header.set_payload_length(0);
    header.set_u32(fn::kReserved744, 0);
    header.set_time(fn::kDeletedTime, clock().now());
    header.set_change_bits(header.change_bits() | node_change::kDeleted);
    // The deleted header and the removal of the payload are one journaled change.
    const uint64_t payload_start = loc->offset + loc->header_and_image;
    const bool cut = cut_range(file, payload_start, loc->payload_length, header.bytes, loc->offset);
    note_cut(payload_start, loc->payload_length, cut);
    if (!cut) return false;
    remove_favourite(listed->id());
    const ListChange change{ListChangeKind::Removed, index, place_of(index), std::nullopt};
    notify(true, change);
    drop_from_children(index);
    TreeNode& entry = nodes_[static_cast<size_t>(index)];
    entry.header() = header;
    entry.set_dirty(false);
    notify(false, change);
    return true;
}

// Queries -------------------------------------------------------------------------------------

const TreeNode* WalletDocument::node(int index) const {
    if (index < 0 || static_cast<size_t>(index) >= nodes_.size()) return nullptr;
    return &nodes_[static_cast<size_t>(index)];
}

int WalletDocument::list_index_of(const NodeId& id) const {
    if (id.is_none()) return kNoIndex;
    auto it = index_of_.find(id);
    return it == index_of_.end() ? kNoIndex : it->second;
}

const TreeNode* WalletDocument::parent_of(int index) const {
    const TreeNode* n = node(index);
    return n ? node(list_index_of(n->parent())) : nullptr;
}

int WalletDocument::parent_folder_index_of(int index) const {
    const TreeNode* n = node(index);
    if (!n) return kNoIndex;
    const int parent = list_index_of(n->parent());
    return is_container(parent) ? parent : kNoIndex;
}

const TreeNode* WalletDocument::my_forms_folder() const {
    return node(my_forms_index());
}

int WalletDocument::my_forms_index() const {
    for (size_t i = 0; i < nodes_.size(); ++i)
        if (nodes_[i].kind() == NodeKind::MyForms && !nodes_[i].deleted())
            return static_cast<int>(i);
    return kNoIndex;
}

int WalletDocument::kind_of(int index) const {
    if (index == kFavouritesEntry) return kFavouritesKind;
    if (index == kSearchResultsEntry) return kSearchResultsKind;
    if (index == kThirdEntry) return kThirdEntryKind;
    const TreeNode* n = node(index);
    return n ? static_cast<int>(n->kind()) : 0;
}

const std::vector<int>* WalletDocument::children_list(int index) const {
    NodeId parent;
    if (index != kNoIndex) {
        const TreeNode* n = node(index);
        if (!n) return nullptr;
        parent = n->id();
    }
    auto it = children_.find(parent);
    return it == children_.end() ? nullptr : &it->second;
}

std::vector<int> WalletDocument::children_of(int index) const {
    const std::vector<int>* children = children_list(index);
    return children ? *children : std::vector<int>{};
}

size_t WalletDocument::child_count(int index) const {
    const std::vector<int>* children = children_list(index);
    return children ? children->size() : 0;
}

int WalletDocument::child_at(int index, size_t row) const {
    const std::vector<int>* children = children_list(index);
    return children && row < children->size() ? (*children)[row] : kNoIndex;
}

// Favourites ----------------------------------------------------------------------------------

bool WalletDocument::is_favourite(const NodeId& id) const {
    if (id.is_none()) return false;
    for (size_t slot = 0; slot < kFavouriteSlots; ++slot)
        if (storage_.settings.favourite(slot) == id) return true;
    return false;
}

size_t WalletDocument::favourites_count() const {
    return favourites().size();
}

std::vector<NodeId> WalletDocument::favourites() const {
    std::vector<NodeId> ids;
    for (size_t slot = 0; slot < kFavouriteSlots; ++slot)
        if (NodeId id = storage_.settings.favourite(slot); !id.is_none()) ids.push_back(id);
    return ids;
}

bool WalletDocument::add_favourite(const NodeId& id) {
    if (!storage_.open || question_open_ || id.is_none()) return false;
    if (is_favourite(id)) return true;
    for (size_t slot = 0; slot < kFavouriteSlots; ++slot) {
        if (!storage_.settings.favourite(slot).is_none()) continue;
        notify_special_entry(kFavouritesEntry, true);
        storage_.settings.set_favourite(slot, id);
        storage_.settings.add_flags(format::settings::kFlagFavouritesChanged);
        storage_.settings.stamp_modified();
        notify_special_entry(kFavouritesEntry, false);
        return true;
    }
    return false;
}

bool WalletDocument::remove_favourite(const NodeId& id) {
    if (id.is_none() || question_open_) return false;
    for (size_t slot = 0; slot < kFavouriteSlots; ++slot) {
        if (storage_.settings.favourite(slot) != id) continue;
        notify_special_entry(kFavouritesEntry, true);
        for (size_t later = slot; later + 1 < kFavouriteSlots; ++later)
            storage_.settings.set_favourite(later, storage_.settings.favourite(later + 1));
        storage_.settings.set_favourite(kFavouriteSlots - 1, NodeId{});
        storage_.settings.add_flags(format::settings::kFlagFavouritesChanged);
        storage_.settings.stamp_modified();
        notify_special_entry(kFavouritesEntry, false);
        return true;
    }
    return true;
}

}  // namespace ks
