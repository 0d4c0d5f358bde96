#pragma once
// The keypad edition's decisions that need no window: the wallet picker's list, the new-wallet
// dialog's name and place, the file picker's patterns, the named colours, and what the keypad's
// digit, star and hash keys do.
#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "shell/settings.h"
#include "shell/utilities.h"

namespace ks::keypad {

// ---- Wallet picker ----

struct PickerEntry {
    std::u16string text;  // the file name without its folder and without anything from its first "."
    int image = 0;        // 0 a wallet, 1 a previous-version wallet
    std::filesystem::path path;
    bool operator==(const PickerEntry&) const = default;
};

// The picker's list from the files found: each full path once (compared without regard to
// case), previous-version wallets (".wal" in the path) after the others, each group by path
// without regard to case.
std::vector<PickerEntry> picker_entries(const std::vector<std::filesystem::path>& found);

// The wallet files ("*.wal", then "*.ks5", any case) directly in each folder.
std::vector<std::filesystem::path> find_wallet_files(
    const std::vector<std::filesystem::path>& folders);

// ---- New wallet ----

constexpr size_t kWalletNameLimit = 200;

// Where a new wallet may be saved: main memory (the documents folder) and each storage card.
struct SaveInChoice {
    uint32_t text_id = 0;  // 20850 main memory, 20851 a storage card
    std::filesystem::path folder;
    bool on_storage_card = false;
};
std::vector<SaveInChoice> save_in_choices(const std::vector<StorageLocation>& locations);

enum class NewWalletProblem { None, BadName, Exists, CannotCreate };
struct NewWalletPath {
    NewWalletProblem problem = NewWalletProblem::None;
    uint32_t text_id = 0;  // 23007 a bad name, 23010 it exists, 23011 it cannot be made
    std::filesystem::path path;
};
// A name holds one character at least and none of \ / : * ? " < > |.
bool valid_wallet_name(std::u16string_view name);
// The path of a new wallet named `name` in `folder` (created when it is missing and
// `create_folder` is set): folder/name.ks5, which must not exist yet.
NewWalletPath new_wallet_path(const std::filesystem::path& folder, std::u16string_view name,
                              bool create_folder);

// ---- File picker ----

// The patterns the file picker lists, one after the other: a pattern naming "*.jpg", "*.bmp"
// and "*.gif" is split into the three; any other is kept whole.
std::vector<std::u16string> picker_patterns(std::u16string_view pattern);
// The text of a file in the picker: its name without folder and extension.
std::u16string picker_file_text(const std::filesystem::path& path);

// ---- Named colours ----

struct NamedColour {
    uint32_t value;  // 0x00BBGGRR
    uint32_t text_id;
};
constexpr std::array<NamedColour, 16> kNamedColours = {{
    {0x000000, 62700}, {0x000080, 62701}, {0x008000, 62702}, {0x008080, 62703},
    {0x800000, 62704}, {0x800080, 62705}, {0x808000, 62706}, {0xC0C0C0, 62707},
    {0x808080, 62708}, {0x0000FF, 62709}, {0x00FF00, 62710}, {0x00FFFF, 62711},
    {0xFF0000, 62712}, {0xFF00FF, 62713}, {0xFFFF00, 62714}, {0xFFFFFF, 62715},
}};

struct ColourItem {
    std::u16string text;
    uint32_t value = 0;
};
struct ColourList {
    std::vector<ColourItem> items;
    size_t selected = 0;
};
// The sixteen named colours; a current colour that is none of them is one more item,
// "RGB (r,g,b)", and selected.
ColourList colour_list(uint32_t current);

// ---- Keypad keys ----

// What a digit, star or hash key does in the wallet tree (the "Keys" setting holds one code per
// key). Codes outside the table do nothing.
enum class KeyAction : uint32_t {
    Nothing = 0,
    Find = 1,          // the find box
    NewCard = 2,       // New Card in the selected folder
    ExpandAll = 3,     // open every folder, or close them all when any is open
    NewFolder = 4,
    AddToFavorites = 5,
    CloseWallet = 6,   // close the wallet and go back to the wallet picker
    Properties = 7,
};
constexpr uint32_t kLastKeyAction = 7;

// The action of a key (a virtual-key code: '0'..'9', 119 star, 120 hash) under `keys`.
KeyAction key_action(const KeyActions& keys, uint32_t virtual_key);

}  // namespace ks::keypad
