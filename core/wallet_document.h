#pragma once
// The open wallet: its file, the three leading blocks with the keys, and the list of every live
// node. Every change is written to the file, and made durable, before it reports success.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "core/card.h"
#include "core/node.h"
#include "core/repair.h"
#include "core/wallet_file.h"
#include "core/wallet_open.h"
#include "platform/prompt.h"

namespace ks {

enum class CreateResult : int {
    Created = 0,
    BadPath = 1,  // missing or shorter than 6 characters
    NoPassword = 2,
    BadPasswordLength = 3,  // shorter than 3 or longer than 23 characters
    Exists = 4,
    CannotCreate = 5,
    HeaderWriteFailed = 6,
    InfoWriteFailed = 7,
    SettingsWriteFailed = 8,
    KeysFailed = 9,
    Busy = 10,  // an operation's question is open
};

enum class SaveResult : int {
    Saved = 0,
    HeaderFailed = 2,
    InfoFailed = 3,
    SettingsFailed = 4,
};

// List indexes outside the node list that stand for the tree's three special entries.
constexpr int kFavouritesEntry = 0x10000000;
constexpr int kSearchResultsEntry = 0x20000000;
constexpr int kThirdEntry = 0x40000000;
constexpr int kNoIndex = -1;

// What `kind_of` answers for the special entries.
constexpr int kFavouritesKind = 100;
constexpr int kSearchResultsKind = 200;
constexpr int kThirdEntryKind = 300;

constexpr size_t kMaxCreatePasswordLength = 23;
constexpr size_t kFavouriteSlots = 32;

// Icons used when a wallet is created.
constexpr int32_t kMyFormsIcon = 55;
constexpr int32_t kSampleFolderIcon = 72;

// A change to the node list, told to every listener before it is made and again after.
enum class ListChangeKind : int {
    Changed = 4024,    // a listed node was replaced and keeps its place in the tree
    Inserted = 4025,   // a node joined the list, or a deleted one came back
    Removed = 1,       // a listed node was deleted
    Moved = 2,         // a listed node changed parent, or place among its siblings
    Reset = 3,         // the whole list: load, close, password change
    SpecialEntry = 4,  // the favourites, or the caption of a special entry, changed
};

// Parent of a node whose parent is not in the list (or is the node itself).
constexpr int kUnlistedParent = -2;

// Where a live node stands: its parent's list index (kNoIndex at the top level) and its row
// among that parent's live children in sort order. The parent may itself be deleted or out of
// reach of the top level; a tree shows only what it reaches from the top.
struct TreePlace {
    int parent = kNoIndex;
    int row = 0;
    bool operator==(const TreePlace&) const = default;
};

// `from` is where the node stood before the change (Removed, Moved, Changed), `to` where it
// stands after (Inserted, Moved, Changed); a node that has no place has neither. For Moved,
// `to.row` counts the new parent's children without the node itself: the row it holds
// afterwards. `index` is the node's list index, or the special entry's for SpecialEntry.
struct ListChange {
    ListChangeKind kind = ListChangeKind::Reset;
    int index = kNoIndex;
    std::optional<TreePlace> from;
    std::optional<TreePlace> to;
};

// Told of every change to the node list; item models map the pairs onto their begin/end calls.
// A listener must be removed before it is destroyed.
class ListListener {
  public:
    virtual ~ListListener() = default;
    virtual void before_change(const ListChange& change) { (void)change; }
    virtual void after_change(const ListChange& change) { (void)change; }
};

class WalletDocument {
  public:
    class Operation;

    WalletDocument() = default;
    ~WalletDocument();
    WalletDocument(const WalletDocument&) = delete;
    WalletDocument& operator=(const WalletDocument&) = delete;

    // Every change is written and made durable before it reports success; a failed one leaves
    // the file as it was (see update_card for the one exception) and last_failure() tells why.

    // Lifecycle -------------------------------------------------------------------------------
    // Creates a new wallet file (readable by its owner only) and leaves it closed: Created, or
    // why not; a file that could not be made whole is removed again.
    CreateResult create(const std::filesystem::path& path,
                        std::optional<std::u16string_view> password,
                        std::optional<std::u16string_view> hint, bool with_sample_folder);
    // Opens the file and checks its blocks and password, listing no nodes: Opened, or why not
    // (closed then). Open and load close any open wallet first; they, create and repair report
    // Busy, and change nothing, while an operation's question is open.
    OpenResult open(const std::filesystem::path& path, std::optional<std::u16string_view> password,
                    bool read_only);
    // Opens for writing and lists every node: Opened, an open result, or Damaged /
    // NodesUnreadable when the walk stopped inside a record. Closed after any failure.
    // `read_only` lists the nodes of a wallet opened for reading only, for viewers.
    OpenResult load(const std::filesystem::path& path, std::optional<std::u16string_view> password,
                    bool read_only = false);
    // Writes the leading blocks that changed: Saved (also when read-only or nothing changed), or
    // the block that failed, after which the wallet is closed.
    SaveResult save_blocks();
    // Closes the file and wipes keys, blocks and the node list; cards and nodes handed out
    // before can no longer be stored or decipher their names. Unsaved block changes are lost:
    // call save_blocks first. False, with nothing closed, while an operation's question is open.
    bool close();
    // Re-enciphers the whole wallet under a new password (3 to 24 characters) and hint. The
    // new wallet is built beside the old one and renamed over it, so a failure at any point
    // leaves the old wallet whole. A wallet without a password needs no old password. False when
    // read-only, refused (wrong old password, a new one of the wrong length) or not written.
    bool change_password(std::optional<std::u16string_view> old_password,
                         std::u16string_view new_password, std::optional<std::u16string_view> hint);
    // Closes the wallet and runs the repair walk on `path` as an operation: its questions go to
    // `prompt`. The result tells whether it was done, declined or why it failed.
    RepairResult repair(const std::filesystem::path& path,
                        std::optional<std::u16string_view> password, Prompt& prompt);

    bool is_open() const { return storage_.open; }
    bool read_only() const { return storage_.read_only; }
    const std::filesystem::path& path() const { return storage_.path; }
    const WalletHeader& header() const { return storage_.header; }
    const WalletInfoBlock& info() const { return storage_.info; }
    WalletInfoBlock& info() { return storage_.info; }
    const WalletSettingsBlock& settings() const { return storage_.settings; }
    WalletSettingsBlock& settings() { return storage_.settings; }
    const KeyContext& record_key() const { return storage_.info.record_key; }
    // Why the last create, open, load, save or change failed when a file call failed: a missing,
    // unreadable or locked file, a full disk, with the errno. None after a success, and after a
    // change that was refused (read-only, a stale card, a question open) without touching the file.
    const FileFailure& last_failure() const { return failure_; }

    // Listeners are told of every change to the node list (see ListChange).
    void add_listener(ListListener& listener);
    void remove_listener(ListListener& listener);

    // Operations that put questions to the user (repair, imports) run as an Operation. While
    // one of its questions is open the caller's event loop may run timers and other commands;
    // the document then refuses every change, open and close, so that nothing is pulled from
    // under the operation. One operation runs at a time: a second one does not start.
    Operation begin_operation(Prompt& prompt);
    bool busy() const { return operation_running_; }  // an operation is running
    bool asking() const { return question_open_; }    // and its question is open

    // True when `node` was listed, loaded or made by this document since the wallet was last
    // opened: only such nodes and cards are stored. The key they share is wiped at close and
    // replaced at a password change.
    bool owns(const TreeNode& node) const;
    std::shared_ptr<const KeyContext> node_key() const { return node_key_; }

    // New, not yet stored items, bound to this document's key ---------------------------------
    TreeNode new_folder(const NodeId& parent, bool my_forms = false) const;
    Card new_card(const NodeId& parent) const;
    // A copy of the form card `form` (a live card in My Forms) as a new card under `parent`,
    // named after the form with "*" appended; nothing when there is no such form or it cannot
    // be read.
    std::optional<Card> new_card_from_my_forms(const NodeId& parent, const FormId& form);

    // Storing and replacing ------------------------------------------------------------------
    // Each returns the node's list index, or kNoIndex when read-only, refused (a node of
    // another kind, or one this document does not own) or not written.
    // Appends a new record.
    int store_folder(const TreeNode& node);
    int store_card(Card& card);
    // Cuts the old record out and appends the new version, as one journaled change (a store
    // when the file has no record of the node). A change that cannot be made leaves the file as
    // it was; one that was decided but could not be put in place closes the wallet, and the
    // next open finishes it.
    int update_folder(const TreeNode& node);
    int update_card(Card& card);
    // The live card as stored; nothing when there is none or it cannot be read.
    std::optional<Card> load_card(const NodeId& id);
    std::optional<Card> load_card(int index);
    // A copy of a listed folder (or My Forms); nothing for anything else.
    std::optional<TreeNode> folder_copy(const NodeId& id) const;
    // Rewrites the header and icon of the node's live record in place and lists the node. False
    // when read-only, not owned, not found, when the header would change length, or not written.
    bool rewrite_node(const TreeNode& node);

    // Tree operations ------------------------------------------------------------------------
    // False (or kNoIndex) when read-only, when the index names nothing the operation applies to,
    // or when the change was not written.
    // Renames a node, or the caption of a special entry (kFavouritesEntry...).
    bool rename(int index, std::u16string_view name);
    // `new_parent` is a folder's or My Forms' index, or kNoIndex for the top level; a folder
    // never goes below itself, and My Forms never moves.
    bool move(int index, int new_parent);
    // The copy's list index: a new card named with "*" appended.
    int copy_card_to_folder(int card, int folder);
    // The new form's list index: a copy of the card in My Forms, its values cleared.
    int save_to_my_forms(int card);
    // Marks the node deleted in the list and in the file. My Forms is never deleted.
    bool remove(int index);

    // Queries --------------------------------------------------------------------------------
    const std::vector<TreeNode>& nodes() const { return nodes_; }
    // Null, kNoIndex or 0 when there is none.
    const TreeNode* node(int index) const;  // listed, deleted or not
    int list_index_of(const NodeId& id) const;
    const TreeNode* parent_of(int index) const;
    int parent_folder_index_of(int index) const;  // the parent when it is a live folder
    const TreeNode* my_forms_folder() const;
    int my_forms_index() const;
    int kind_of(int index) const;  // the NodeKind, or one of the special entries' kinds
    // The live nodes whose parent is `index` (kNoIndex: the top level), in sort order: cards,
    // then folders, then My Forms; by name without regard to case (the first 64 units); then by
    // list index. Kept up to date by every change, so these cost no walk of the list.
    std::vector<int> children_of(int index) const;
    size_t child_count(int index) const;
    int child_at(int index, size_t row) const;  // kNoIndex past the end
    // Where a live node stands; nothing for a deleted node, a special entry or a node that is
    // its own parent.
    std::optional<TreePlace> place_of(int index) const;

    // Favourites (kept in the settings block; saved with save_blocks) -------------------------
    bool is_favourite(const NodeId& id) const;
    size_t favourites_count() const;
    std::vector<NodeId> favourites() const;
    // True when the id is a favourite afterwards; false when all slots are taken, nothing is
    // open or a question is open.
    bool add_favourite(const NodeId& id);
    bool remove_favourite(const NodeId& id);  // false only while a question is open

  private:
    // Siblings sort by kind rank, folded name, then list index.
    struct SiblingKey {
        int rank = 0;
        std::u16string name;
        int index = kNoIndex;
        auto operator<=>(const SiblingKey&) const = default;
    };
    class ResetScope;

    void begin_change();       // forgets the last failure
    void note_file_failure();  // a file call failed: keeps its cause
    void close_storage();
    void bind_node_key();
    void retire_node_key();
    void notify(bool before, const ListChange& change);
    void notify_special_entry(int entry, bool before);
    SiblingKey sibling_key(const TreeNode& node, int index) const;
    static bool has_place(const TreeNode& node);
    int parent_list_index(const NodeId& parent) const;
    const std::vector<int>* children_list(int index) const;
    size_t lower_row(const std::vector<int>& siblings, const SiblingKey& key) const;
    std::optional<size_t> row_of(const std::vector<int>& siblings, int index) const;
    std::optional<TreePlace> place_for(const NodeId& parent, const SiblingKey& key, int self) const;
    void add_to_children(int index);
    void drop_from_children(int index);
    void rebuild_children();
    int put_in_list(TreeNode node);
    int store_record(TreeNode& node, std::span<const uint8_t> payload,
                     const std::optional<RecordLocation>& replaced);
    int replace_record(TreeNode& node, std::span<const uint8_t> payload, const RecordLocation& old);
    int write_folder(const TreeNode& node, bool replace);
    int write_card(Card& card, bool replace);
    std::optional<RecordLocation> locate(const NodeId& id, RecordFilter filter);
    void note_cut(uint64_t offset, uint64_t length, bool done);
    void after_failed_change();
    bool durable();
    bool writable() const { return storage_.open && !storage_.read_only && !question_open_; }
    void renew_as_copy(TreeNode& node, const NodeId& parent) const;
    bool is_container(int index) const;

    WalletStorage storage_;
    std::vector<TreeNode> nodes_;
    std::unordered_map<NodeId, int, NodeIdHash> index_of_;  // list index by id
    // Where the last record of each id stands: learned by one walk, then kept up to date by
    // every append and cut, and checked against the header found there at every use.
    std::unordered_map<NodeId, uint64_t, NodeIdHash> record_offsets_;
    bool offsets_known_ = false;
    FileFailure failure_;

    // Live children of each parent id (none: the top level), in sort order, and each listed
    // node's sort key.
    std::unordered_map<NodeId, std::vector<int>, NodeIdHash> children_;
    std::vector<SiblingKey> sibling_keys_;
    std::vector<ListListener*> listeners_;
    int resetting_ = 0;  // nested reset scopes; changes inside one are told as one reset
    std::shared_ptr<KeyContext> node_key_;
    bool operation_running_ = false;
    bool question_open_ = false;
};

// Puts the caller's questions to the user while the document refuses re-entry. A destroyed
// operation ends; one that did not start (another was running) still forwards questions.
class WalletDocument::Operation final : public Prompt {
  public:
    ~Operation() override;
    Operation(const Operation&) = delete;
    Operation& operator=(const Operation&) = delete;

    bool started() const { return document_ != nullptr; }
    PromptAnswer ask(const PromptMessage& message) override;

  private:
    friend class WalletDocument;
    Operation(WalletDocument* document, Prompt& prompt) : document_(document), prompt_(prompt) {}

    WalletDocument* document_;
    Prompt& prompt_;
};

}  // namespace ks
