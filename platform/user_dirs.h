#pragma once
// The user's folders.
#include <filesystem>

namespace ks {

// The documents folder: XDG_DOCUMENTS_DIR from the user-dirs file of $XDG_CONFIG_HOME (or
// ~/.config), else ~/Documents; created when missing. Empty when there is no home folder.
std::filesystem::path documents_directory();

}  // namespace ks
