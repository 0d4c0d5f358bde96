#pragma once
// Naming wallet items on the command line: "/"-separated paths from the top level, or a NodeId in
// GUID form. Inside a name "\/" is a slash, "\\" a backslash, and the escapes plain output
// shows for control characters (\n, \t, \r, \xHH, \uHHHH) stand for them, so that a printed
// path can be given back.
#include <string>
#include <string_view>
#include <vector>

#include "cli/cli.h"
#include "core/folder_tree.h"
#include "core/wallet_document.h"

namespace ks::cli {

std::vector<std::u16string> split_item_path(std::string_view path);
// A name as a part of a path: slashes, backslashes and control characters escaped.
std::string escape_name(std::u16string_view name);
// "Bank/Visa" for an item, from the top level. A folder met twice (a cycle of folders, which is
// damage) ends the path there.
std::string item_path(const WalletDocument& document, int index);

// ITEM: a path or {NodeId}. NotFound when nothing fits; Usage when several do (their ids are
// listed).
Status resolve_item(const WalletDocument& document, std::string_view text, int& index);
// A folder (or My Forms); "/" and "" are the top level (kNoIndex).
Status resolve_folder(const WalletDocument& document, std::string_view text, int& index);
// Whether `folder` is the My Forms folder, which holds forms (cards) only.
bool is_my_forms(const WalletDocument& document, int folder);
// PATH of a new item: its existing parent folder and its name.
Status resolve_new_item(const WalletDocument& document, std::string_view text, int& parent,
                        std::u16string& name);

// The failure a walk reports when it ran into `folders` that sit in a cycle: those out of its
// reach were left out.
Status cycle_damage(size_t folders);

}  // namespace ks::cli
