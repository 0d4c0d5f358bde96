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

// The card window and the dialogs it opens.
constexpr int kDone = 814;
constexpr int kCardCancel = 809;
constexpr int kDeleteCard = 805;
constexpr int kEdit = 820;
constexpr int kFormDesign = 835;
constexpr int kAddField = 836;
constexpr int kDeleteField = 837;
constexpr int kFieldUp = 838;
constexpr int kFieldDown = 839;
constexpr int kFieldTop = 840;
constexpr int kFieldBottom = 841;
constexpr int kCopyField = 842;
constexpr int kEditCopy = 843;
constexpr int kEditCut = 844;
constexpr int kEditPaste = 845;
constexpr int kEditClear = 846;
constexpr int kCopyText = 847;
constexpr int kAttachments = 848;
constexpr int kTextColors = 849;
constexpr int kBackground = 850;
constexpr int kSound = 851;
constexpr int kEditSelectAll = 852;
constexpr int kIcon = 854;
constexpr int kInsertDate = 855;
constexpr int kInsertTime = 856;
constexpr int kEditSelectionField = 862;
constexpr int kNone = 863;
constexpr int kZoom75 = 865;  // 865..869: 75%, 100%, 150%, 200%, 300%
constexpr int kZoom300 = 869;

}  // namespace ks::cmd

namespace ks::menu_id {
constexpr int kMain = 963;
constexpr int kFind = 967;
constexpr int kMainExpanded = 987;
constexpr int kChooser = 966;
constexpr int kAbout = 968;
constexpr int kDoneCancel = 969;
constexpr int kCancelOnly = 970;
constexpr int kEditMode = 950;
constexpr int kDoneOnly = 952;
constexpr int kCardView = 953;
constexpr int kFormDesign = 954;
constexpr int kFilePickerNone = 955;
constexpr int kNotes = 956;
constexpr int kFormDesignExpanded = 988;
constexpr int kCardViewExpanded = 989;
constexpr int kEditModeExpanded = 990;
}  // namespace ks::menu_id
