#pragma once
// Command ids of the menus, soft keys and header buttons, and the menu templates.
namespace ks::cmd {

constexpr int kOk = 1;  // title-bar OK and Ctrl+Q
constexpr int kCancel = 2;
constexpr int kExit = 802;
constexpr int kNew = 803;
constexpr int kProperties = 804;
constexpr int kDelete = 805;
constexpr int kChangePassword = 807;
constexpr int kAbout = 808;
constexpr int kFindCancel = 809;
constexpr int kWallets = 810;
constexpr int kOpen = 812;
constexpr int kMenu = 819;
constexpr int kNewCard = 821;
constexpr int kNewFolder = 822;
constexpr int kFind = 823;
constexpr int kGo = 824;
constexpr int kCut = 825;
constexpr int kCopy = 827;
constexpr int kPaste = 828;
constexpr int kDisplay = 829;
constexpr int kSecurity = 830;
constexpr int kSaveToMyForms = 831;
constexpr int kAddToFavorites = 832;
constexpr int kExport = 833;
constexpr int kImport = 834;
constexpr int kWebSite = 836;
constexpr int kClear = 857;
constexpr int kImportForm = 859;
constexpr int kRemove = 860;
constexpr int kRename = 861;
constexpr int kCheckForUpdates = 875;
constexpr int kHelp = 876;
constexpr int kBrowse = 890;
constexpr int kModeButton = 1001;
constexpr int kFindEdit = 1002;
constexpr int kSearchButton = 1003;
constexpr int kClearButton = 1004;
constexpr int kExpandButton = 1005;
constexpr int kExpandedMenus = 40096;

}  // namespace ks::cmd

namespace ks::menu_id {
constexpr int kMain = 963;
constexpr int kFind = 967;
constexpr int kMainExpanded = 987;
constexpr int kChooser = 966;
constexpr int kAbout = 968;
constexpr int kDoneCancel = 969;
constexpr int kCancelOnly = 970;
}  // namespace ks::menu_id
