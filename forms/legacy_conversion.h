#pragma once
// Conversion of a previous-version wallet (".wal") into a new wallet of the same name (".ks5")
// in the same folder under the same password. The previous file is only read.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/legacy_wallet.h"
#include "platform/prompt.h"
#include "platform/secret.h"

namespace ks {

// Used when the language table lacks a usable text 22022.
inline constexpr std::u16string_view kNoCustomFormsFallback =
    u"Could not find associated custom form (*.ccd) definition file for conversion.\n\nPlease "
    u"copy to the %s folder and try again.";

constexpr size_t kConvertedValueMaxLength = 2047;

enum class ConversionResult : int {
    Converted = 0,
    Cancelled = 1,  // the question or the password was declined; nothing was done
    WrongPassword = 2,
    CannotOpen = 3,
    NotLegacyWallet = 4,
    Damaged = 5,  // two folders share an id
    TargetExists = 7,
    CannotCreate = 8,
    NoFolders = 9,
    NoCustomForms = 10,
};

// A path of more than five characters whose text from its last "." on is ".wal" in any case.
bool is_legacy_wallet_path(const std::filesystem::path& path);
// The path with the text from its last "." on replaced by ".ks5".
std::filesystem::path converted_wallet_path(const std::filesystem::path& legacy);

// Asks for the previous wallet's password; `caption` is the file's name without folder and
// extension. Nothing when the user cancels.
using PasswordRequest = std::function<std::optional<SecretText>(std::u16string_view caption)>;

struct ConversionOptions {
    // Searched first for the custom-forms file; empty means the program's data folder. The
    // previous wallet's own folder is searched next.
    std::filesystem::path program_folder;
    // Report the outcome through the prompt (the command line reports it itself).
    bool show_messages = true;
};

struct ConversionOutcome {
    ConversionResult result = ConversionResult::Cancelled;
    std::filesystem::path legacy_path;
    std::filesystem::path new_path;
    std::filesystem::path program_folder;
    std::vector<std::filesystem::path> custom_forms_searched;
    LegacyWalletValues values{};
    size_t folders = 0;
    size_t cards = 0;
    // Items that could not be read whole: cards made without values from their records, and a
    // record cut short at the end of the file.
    size_t unreadable = 0;
};

// Asks whether to convert, asks for the password, and converts. The new wallet is built under
// a temporary name beside the target and takes the target name only when it is complete: a
// failure leaves no new file, the previous file is never changed and an existing target is
// never replaced.
ConversionOutcome convert_legacy_wallet(const std::filesystem::path& legacy, Prompt& prompt,
                                        const PasswordRequest& ask_password,
                                        const ConversionOptions& options = {});

// The message that reports an outcome; nothing for a cancelled conversion.
std::optional<PromptMessage> conversion_message(const ConversionOutcome& outcome);

}  // namespace ks
