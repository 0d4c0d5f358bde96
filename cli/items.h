#pragma once
// Naming wallet items on the command line: "/"-separated paths from the top level ("\/" is a
// slash and "\\" a backslash inside a name), or a NodeId in GUID form.
#include <string>
#include <string_view>
#include <vector>

#include "cli/cli.h"
#include "core/wallet_document.h"

namespace ks::cli {

std::vector<std::u16string> split_item_path(std::string_view path);
std::string escape_name(std::u16string_view name);
// "Bank/Visa" for an item, from the top level.
std::string item_path(const WalletDocument& document, int index);

// ITEM: a path or {NodeId}. NotFound when nothing fits; Usage when several do (their ids are
// listed).
Status resolve_item(const WalletDocument& document, std::string_view text, int& index);
// A folder (or My Forms); "/" and "" are the top level (kNoIndex).
Status resolve_folder(const WalletDocument& document, std::string_view text, int& index);
// PATH of a new item: its existing parent folder and its name.
// Whether `folder` is the My Forms folder, which holds forms (cards) only.
bool is_my_forms(const WalletDocument& document, int folder);
Status resolve_new_item(const WalletDocument& document, std::string_view text, int& parent,
                        std::u16string& name);

// Live children in the tree's order: cards before folders, each by name without regard to
// case, My Forms last.
std::vector<int> sorted_children(const WalletDocument& document, int parent);

}  // namespace ks::cli
