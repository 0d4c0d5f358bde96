#pragma once
// The open wallet: its file, the three leading blocks with the keys, and the list of every live
// node. Every change is written to the file, and made durable, before it reports success.
#include <cstdint>
#include <filesystem>
#include <functional>
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

// Text ids and icons used when a wallet is created.
constexpr uint32_t kTextMyForms = 20203;
constexpr uint32_t kTextSampleFolder = 20510;
constexpr int32_t kMyFormsIcon = 55;
constexpr int32_t kSampleFolderIcon = 72;

// Changes to the node list, as the windows learn of them.
enum class ListEvent : int {
    Replaced = 4024,  // a listed node was replaced at its index
    Added = 4025,     // a node was appended at a new index
    Deleted = 1,      // a listed node was marked deleted (drop it from search results)
};
using ListObserver = std::function<void(ListEvent event, int index)>;

class WalletDocument {
  public:
    WalletDocument() = default;
    ~WalletDocument() { close(); }
    WalletDocument(const WalletDocument&) = delete;
    WalletDocument& operator=(const WalletDocument&) = delete;

    // Lifecycle -------------------------------------------------------------------------------
    // Creates a new wallet file (readable by its owner only) and leaves it closed.
    CreateResult create(const std::filesystem::path& path,
                        std::optional<std::u16string_view> password,
                        std::optional<std::u16string_view> hint, bool with_sample_folder);
    OpenResult open(const std::filesystem::path& path, std::optional<std::u16string_view> password,
                    bool read_only);
    // Opens for writing and lists every node: Opened, an open result, or Damaged /
    // NodesUnreadable when the walk stopped inside a record. Closed after any failure.
    // `read_only` lists the nodes of a wallet opened for reading only, for viewers.
    OpenResult load(const std::filesystem::path& path, std::optional<std::u16string_view> password,
                    bool read_only = false);
    // Writes the leading blocks that changed; a failure closes the wallet.
    SaveResult save_blocks();
    // Closes the file and wipes keys, blocks and the node list. Unsaved block changes are lost:
    // call save_blocks first.
    void close();
    // Re-enciphers the whole wallet under a new password (3 to 24 characters) and hint. The
    // new wallet is built beside the old one and renamed over it, so a failure at any point
    // leaves the old wallet whole. A wallet without a password needs no old password.
    bool change_password(std::optional<std::u16string_view> old_password,
                         std::u16string_view new_password, std::optional<std::u16string_view> hint);
    // Closes the wallet and runs the repair walk on `path`.
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
    int last_error() const { return last_error_; }
    void set_observer(ListObserver observer) { observer_ = std::move(observer); }

    // New, not yet stored items --------------------------------------------------------------
    TreeNode new_folder(const NodeId& parent, bool my_forms = false) const;
    Card new_card(const NodeId& parent) const;
    // A copy of the form card `form` (a live card in My Forms) as a new card under `parent`,
    // named after the form with "*" appended.
    std::optional<Card> new_card_from_my_forms(const NodeId& parent, const FormId& form);

    // Storing and replacing ------------------------------------------------------------------
    int store_folder(const TreeNode& node);
    int store_card(Card& card);
    // Cuts the old record out and appends the new version, as one journaled change (a store
    // when the file has no record of the node). A change that cannot be made leaves the file as
    // it was; one that was decided but could not be put in place closes the wallet, and the
    // next open finishes it.
    int update_folder(const TreeNode& node);
    int update_card(Card& card);
    std::optional<Card> load_card(const NodeId& id);
    std::optional<Card> load_card(int index);
    std::optional<TreeNode> folder_copy(const NodeId& id) const;
    // Rewrites the header and icon of the node's live record in place and lists the node.
    bool rewrite_node(const TreeNode& node);

    // Tree operations ------------------------------------------------------------------------
    bool rename(int index, std::u16string_view name);
    // `new_parent` is a folder's or My Forms' index, or kNoIndex for the top level.
    bool move(int index, int new_parent);
    int copy_card_to_folder(int card, int folder);
    int save_to_my_forms(int card);
    // Marks the node deleted in the list and in the file. My Forms is never deleted.
    bool remove(int index);

    // Queries --------------------------------------------------------------------------------
    const std::vector<TreeNode>& nodes() const { return nodes_; }
    const TreeNode* node(int index) const;
    int list_index_of(const NodeId& id) const;
    const TreeNode* parent_of(int index) const;
    int parent_folder_index_of(int index) const;
    const TreeNode* my_forms_folder() const;
    int my_forms_index() const;
    int kind_of(int index) const;
    // The live nodes whose parent is `index` (kNoIndex: the top level), in list order.
    std::vector<int> children_of(int index) const;

    // Favourites (kept in the settings block; saved with save_blocks) -------------------------
    bool is_favourite(const NodeId& id) const;
    size_t favourites_count() const;
    std::vector<NodeId> favourites() const;
    bool add_favourite(const NodeId& id);
    void remove_favourite(const NodeId& id);

  private:
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
    bool writable() const { return storage_.open && !storage_.read_only; }
    void renew_as_copy(TreeNode& node, const NodeId& parent) const;
    bool is_container(int index) const;

    WalletStorage storage_;
    std::vector<TreeNode> nodes_;
    std::unordered_map<NodeId, int, NodeIdHash> index_of_;  // list index by id
    // Where the last record of each id stands: learned by one walk, then kept up to date by
    // every append and cut, and checked against the header found there at every use.
    std::unordered_map<NodeId, uint64_t, NodeIdHash> record_offsets_;
    bool offsets_known_ = false;
    ListObserver observer_;
    int last_error_ = 0;
};

}  // namespace ks
