#pragma once
// The ids of the language table's texts that the code loads, in one place, with the
// conversions each text's message format takes ("sd": a text, then a number). The English
// table's test checks every one of kTextsInUse. Form names and field labels are data of the
// built-in form table and are checked from there.
#include <cstdint>
#include <string_view>

namespace ks::text_id {

// Shared titles.
constexpr uint32_t kProductName = 20001;
constexpr uint32_t kErrorTitle = 20500;
constexpr uint32_t kConfirmTitle = 20504;
constexpr uint32_t kExportTitle = 20505;

// The wallet: the special entries' captions, My Forms, the sample folder, yes and no.
constexpr uint32_t kCaption1 = 20200;
constexpr uint32_t kCaption2 = 20201;
constexpr uint32_t kCaption3 = 20202;
constexpr uint32_t kMyForms = 20203;
constexpr uint32_t kYes = 20204;
constexpr uint32_t kNo = 20205;
constexpr uint32_t kNewCard = 20509;
constexpr uint32_t kSampleFolder = 20510;
constexpr uint32_t kOnlyCardsInMyForms = 22000;

// Repair.
constexpr uint32_t kRepairAsk = 22164;  // s: the path
constexpr uint32_t kRepairConfirm = 22165;
constexpr uint32_t kRepairReport = 22166;  // ds: repairs made, the path

// Form files.
constexpr uint32_t kFormExported = 22020;  // ss: the folder, the file name
constexpr uint32_t kFormImportQuestion = 22025;
constexpr uint32_t kFormNameLabel = 22026;
constexpr uint32_t kFormDescriptionLabel = 22027;
constexpr uint32_t kFormAuthorLabel = 22028;
constexpr uint32_t kFormDateLabel = 22029;
constexpr uint32_t kFormExportFailed = 23017;

// Conversion of previous-version wallets.
constexpr uint32_t kConvertAsk = 22012;
constexpr uint32_t kConvertDetail = 22013;  // ss: the file's name, its folder
constexpr uint32_t kConvertWrongPassword = 22014;
constexpr uint32_t kConvertNotReadable = 22015;
constexpr uint32_t kConvertCannotCreate = 22016;
constexpr uint32_t kConvertExists = 22017;
constexpr uint32_t kConvertNoFolders = 22018;
constexpr uint32_t kConverted = 22019;  // s: the new file's name
constexpr uint32_t kConvertDamaged = 22021;
constexpr uint32_t kConvertNoCustomForms = 22022;  // s: the folder to copy the file to
constexpr uint32_t kConvertUnreadable = 22023;     // d: items that could not be read
constexpr uint32_t kConvertNotesLabel = 24516;

// Text export.
constexpr uint32_t kExportFolderLabel = 20516;
constexpr uint32_t kExportSeparator = 22138;
constexpr uint32_t kExportHead = 22142;
constexpr uint32_t kExportWallet = 22143;      // s: the wallet's name
constexpr uint32_t kExportWalletPath = 22144;  // s: the wallet file's full path
constexpr uint32_t kExportDate = 22145;        // s: date and time
constexpr uint32_t kExportFinished = 22146;
constexpr uint32_t kExportOpenQuestion = 22147;
constexpr uint32_t kExportCardWithoutFields = 22149;
constexpr uint32_t kExportAttachmentSaved = 22150;  // s: the saved file's name

// Text import.
constexpr uint32_t kImportCardNameLabel = 20518;  // label of column 0 in the preview
constexpr uint32_t kImportQuestion = 22040;       // s: the folder's name
constexpr uint32_t kImportFolderName = 22041;     // the new folder's name, before the date
constexpr uint32_t kImportUnreadable = 22070;
constexpr uint32_t kImportNotACardList = 22071;
constexpr uint32_t kImportPreviewHead = 22072;
constexpr uint32_t kImportMoreColumns = 22073;  // d: columns not shown in the preview
constexpr uint32_t kImportAskOnce = 22074;      // d: cards still to come
constexpr uint32_t kImported = 22075;           // d: cards imported
constexpr uint32_t kImportWriteFailed = 22076;
constexpr uint32_t kImportTooMuch = 22077;         // dd: MB the cards need, MB allowed
constexpr uint32_t kImportRowsRead = 22078;        // d: rows read from the file
constexpr uint32_t kImportColumnsLeftOut = 22079;  // d: columns past the last field

// The registry store's messages.
constexpr uint32_t kRegistryDamaged = 36100;       // sds: the path, the line, the problem
constexpr uint32_t kRegistryProblemFirst = 36101;  // 36101..36109 follow RegistryProblem
constexpr uint32_t kRegistryProblemLast = 36109;
constexpr uint32_t kRegistryReadFailed = 36110;   // ss: the path, the system's reason
constexpr uint32_t kRegistryWriteFailed = 36111;  // ss: the path, the system's reason
constexpr uint32_t kRegistryBusy = 36112;         // s: the path
constexpr uint32_t kRegistryNoFolder = 36113;
constexpr uint32_t kRegistryInvalidName = 36114;
constexpr uint32_t kRegistryTooLarge = 36115;

// Start-up, the main window and opening wallets.
constexpr uint32_t kFallbackCaption = 20000;
constexpr uint32_t kAboutTitle = 20020;
constexpr uint32_t kAboutVersion = 20021;  // s: the version text
constexpr uint32_t kFindPrompt = 20100;
constexpr uint32_t kHelp = 20511;
constexpr uint32_t kPasswordTitle = 20503;
constexpr uint32_t kBold = 20513;
constexpr uint32_t kNoWalletOpen = 20530;
constexpr uint32_t kExpandAll = 20531;
constexpr uint32_t kWelcome = 20580;
constexpr uint32_t kPasswordChanged = 22006;
constexpr uint32_t kFindTooShort = 22007;
constexpr uint32_t kDeleteWalletAsk = 22011;  // s: the path
constexpr uint32_t kFindNothing = 22155;
constexpr uint32_t kCreateFailed = 23001;
constexpr uint32_t kOpenNoMemory = 23002;
constexpr uint32_t kOpenNotAWallet = 23013;
constexpr uint32_t kOpenWrongPassword = 23014;
constexpr uint32_t kOpenDamaged = 23015;
constexpr uint32_t kOpenFailed = 23016;
constexpr uint32_t kWalletFilter = 25000;
constexpr uint32_t kChooserTitle = 25001;
constexpr uint32_t kReadOnlyMark = 25002;
constexpr uint32_t kBrowse = 25003;
constexpr uint32_t kKeystashFiles = 25004;
constexpr uint32_t kOpenedReadOnly = 25005;

// Password dialogs.
constexpr uint32_t kChangePasswordTitle = 26000;
constexpr uint32_t kNewWalletPasswordTitle = 26001;
constexpr uint32_t kEnterPasswordTitle = 26003;
constexpr uint32_t kAgainToConfirm = 26004;
constexpr uint32_t kNewPasswordLabel = 26005;
constexpr uint32_t kPasswordLabel = 26007;
constexpr uint32_t kHintLabel = 26008;
constexpr uint32_t kHintShown = 26009;
constexpr uint32_t kEnterPasswordTip = 26010;
constexpr uint32_t kNewPasswordTip = 26011;
constexpr uint32_t kKeypadClear = 26015;
constexpr uint32_t kKeypadBack = 26016;
constexpr uint32_t kPasswordMissing = 27003;
constexpr uint32_t kPasswordsDiffer = 27004;
constexpr uint32_t kPasswordWrong = 27006;
constexpr uint32_t kPasswordTooShort = 27007;

// Display and security options.
constexpr uint32_t kSizeSmall = 20900;  // 20900..20902 plain, 20904..20906 bold
constexpr uint32_t kSizeSmallBold = 20904;
constexpr uint32_t kTextSize = 28301;
constexpr uint32_t kBackground = 28302;
constexpr uint32_t kFieldNames = 28303;
constexpr uint32_t kFieldData = 28304;
constexpr uint32_t kDisplayTitle = 28400;
constexpr uint32_t kWalletView = 28401;
constexpr uint32_t kFolders = 28402;
constexpr uint32_t kCards = 28403;
constexpr uint32_t kCardViewDefaults = 28404;
constexpr uint32_t kSecurityTitle = 28500;
constexpr uint32_t kSecurityLabel = 28501;
constexpr uint32_t kCloseWhenSwitching = 28502;
constexpr uint32_t kPeriodNever = 28504;

// The wallet tree.
constexpr uint32_t kRemoveShortcutAsk = 22001;
constexpr uint32_t kDeleteFormAsk = 22002;
constexpr uint32_t kDeleteCardAsk = 22003;
constexpr uint32_t kDeleteFolderAsk = 22004;  // dd: folders, cards
constexpr uint32_t kMyFormsStays = 22005;
constexpr uint32_t kChangeNotSaved = 23018;
constexpr uint32_t kDeleteItem = 20725;
constexpr uint32_t kClearItems = 20726;
constexpr uint32_t kRemoveItem = 20727;
constexpr uint32_t kFilesFilter = 25013;
constexpr uint32_t kTextFilesFilter = 25016;
constexpr uint32_t kImportCardsTitle = 25017;
constexpr uint32_t kImportFormTitle = 25030;

// Icon, folder properties and card type dialogs.
constexpr uint32_t kIconTitle = 28600;
constexpr uint32_t kCurrentIcon = 28601;
constexpr uint32_t kNewIcon = 28602;
constexpr uint32_t kImportIcon = 28603;
constexpr uint32_t kIconFilesFilter = 25014;
constexpr uint32_t kImportIconTitle = 25015;
constexpr uint32_t kFolderTitle = 28700;
constexpr uint32_t kFolderName = 28701;
constexpr uint32_t kFolderIcon = 28702;
constexpr uint32_t kDefaultForm = 28703;
constexpr uint32_t kMainLevel = 28704;
constexpr uint32_t kSpecialTitle = 28705;  // s: the folder's title
constexpr uint32_t kMyFormsName = 28706;
constexpr uint32_t kCardTypeTitle = 28900;
constexpr uint32_t kDefaultFormTitle = 28901;

// Export and form exchange.
constexpr uint32_t kImportFormsTitle = 22050;
constexpr uint32_t kImportFromFile = 22051;
constexpr uint32_t kDownloadForms = 22052;
constexpr uint32_t kImportFormsTip = 22053;
constexpr uint32_t kExportFormTitle = 22100;
constexpr uint32_t kFormDescription = 22101;
constexpr uint32_t kFormAuthor = 22102;
constexpr uint32_t kSharingText = 22103;
constexpr uint32_t kExcludeData = 22104;
constexpr uint32_t kExportDialogTitle = 22110;
constexpr uint32_t kItemsToExport = 22111;
constexpr uint32_t kWholeWallet = 22112;
constexpr uint32_t kSelectedFolder = 22113;
constexpr uint32_t kSelectedCard = 22114;
constexpr uint32_t kCardAsForm = 22115;
constexpr uint32_t kOutputFormat = 22120;
constexpr uint32_t kTextFormat = 22122;
constexpr uint32_t kFormFormat = 22123;
constexpr uint32_t kOutputTo = 22130;
constexpr uint32_t kInclude = 22131;
constexpr uint32_t kDataInFields = 22135;
constexpr uint32_t kPinValues = 22136;
constexpr uint32_t kAttachedFiles = 22137;
constexpr uint32_t kMainMemory = 20852;
constexpr uint32_t kStorageCard = 20854;

// The card window: view, editor, form design, Notes and Selection Field.
constexpr uint32_t kFileSaved = 22010;
constexpr uint32_t kDiscardChanges = 25900;
constexpr uint32_t kCardNameHeading = 30002;
constexpr uint32_t kNoChoice = 20507;
constexpr uint32_t kAttachmentLabel = 20508;
constexpr uint32_t kFormDesignTitle = 24006;
constexpr uint32_t kNewFieldName = 20519;
constexpr uint32_t kSelectionListTitle = 28720;
constexpr uint32_t kSelectionAdd = 28721;
constexpr uint32_t kSelectionDelete = 28722;
constexpr uint32_t kSelectionUp = 28723;
constexpr uint32_t kSelectionDown = 28724;

// Attachments, sound and the file chooser.
constexpr uint32_t kSelectSoundTitle = 24003;
constexpr uint32_t kAddAttachmentTitle = 24004;
constexpr uint32_t kSoundFilesFilter = 24005;
constexpr uint32_t kSoundTitle = 28000;
constexpr uint32_t kSelectSound = 28001;
constexpr uint32_t kRemoveSound = 28002;
constexpr uint32_t kPlaySound = 28003;
constexpr uint32_t kExportSound = 28004;
constexpr uint32_t kPlayWhenViewed = 28005;
constexpr uint32_t kCurrentSoundFile = 28006;
constexpr uint32_t kAttachmentsTitle = 28200;
constexpr uint32_t kAddFile = 28201;
constexpr uint32_t kRemoveFile = 28202;
constexpr uint32_t kExportFile = 28203;
constexpr uint32_t kOpenFile = 28204;
constexpr uint32_t kAttachmentStatus = 28205;  // ss
constexpr uint32_t kDeleteOpenedCopies = 28206;
constexpr uint32_t kCopiesLeftCount = 28207;  // d
constexpr uint32_t kCopiesLeftList = 28208;

// Text/Colors and Background.
constexpr uint32_t kBackgroundTitle = 28100;
constexpr uint32_t kSelectImage = 28101;
constexpr uint32_t kRemoveImage = 28102;
constexpr uint32_t kMatchBackground = 28103;
constexpr uint32_t kExportImage = 28104;
constexpr uint32_t kPosition = 28105;
constexpr uint32_t kCurrentImageFile = 28106;
constexpr uint32_t kScaleToFit = 28107;
constexpr uint32_t kPositionFirst = 28110;
constexpr uint32_t kTextColorsTitle = 28300;
constexpr uint32_t kPasswordFields = 28305;
constexpr uint32_t kAlwaysDisplay = 28306;
constexpr uint32_t kTapColour = 28307;

// Files taken into a card, and the file chooser.
constexpr uint32_t kFileUnreadable = 36200;     // s: the path
constexpr uint32_t kFileTooLarge = 36201;       // ss: the path, the largest size
constexpr uint32_t kNotAPicture = 36202;        // s: the path
constexpr uint32_t kNotASound = 36203;          // s: the path
constexpr uint32_t kPictureFilesFilter = 36204;
constexpr uint32_t kPickerLocation = 36205;
constexpr uint32_t kPickerPath = 36206;
constexpr uint32_t kPickerUp = 36207;

// The keypad edition.
constexpr uint32_t kSaveInMainMemory = 20850;
constexpr uint32_t kSaveInStorageCard = 20851;
constexpr uint32_t kBadWalletName = 23007;
constexpr uint32_t kWalletExists = 23010;
constexpr uint32_t kWalletCannotBeMade = 23011;
constexpr uint32_t kInvalidName = 23012;
constexpr uint32_t kNewWalletTitle = 20708;
constexpr uint32_t kWalletNameLabel = 36210;
constexpr uint32_t kSaveInLabel = 36211;

struct TextUse {
    uint32_t id;
    std::string_view conversions;
};

// Every id above with the conversions its text takes.
constexpr TextUse kTextsInUse[] = {
    {kProductName, ""},
    {kErrorTitle, ""},
    {kConfirmTitle, ""},
    {kExportTitle, ""},
    {kCaption1, ""},
    {kCaption2, ""},
    {kCaption3, ""},
    {kMyForms, ""},
    {kYes, ""},
    {kNo, ""},
    {kNewCard, ""},
    {kSampleFolder, ""},
    {kOnlyCardsInMyForms, ""},
    {kRepairAsk, "s"},
    {kRepairConfirm, ""},
    {kRepairReport, "ds"},
    {kFormExported, "ss"},
    {kFormImportQuestion, ""},
    {kFormNameLabel, ""},
    {kFormDescriptionLabel, ""},
    {kFormAuthorLabel, ""},
    {kFormDateLabel, ""},
    {kFormExportFailed, ""},
    {kConvertAsk, ""},
    {kConvertDetail, "ss"},
    {kConvertWrongPassword, ""},
    {kConvertNotReadable, ""},
    {kConvertCannotCreate, ""},
    {kConvertExists, ""},
    {kConvertNoFolders, ""},
    {kConverted, "s"},
    {kConvertDamaged, ""},
    {kConvertNoCustomForms, "s"},
    {kConvertUnreadable, "d"},
    {kConvertNotesLabel, ""},
    {kExportFolderLabel, ""},
    {kExportSeparator, ""},
    {kExportHead, ""},
    {kExportWallet, "s"},
    {kExportWalletPath, "s"},
    {kExportDate, "s"},
    {kExportFinished, ""},
    {kExportOpenQuestion, ""},
    {kExportCardWithoutFields, ""},
    {kExportAttachmentSaved, "s"},
    {kImportCardNameLabel, ""},
    {kImportQuestion, "s"},
    {kImportFolderName, ""},
    {kImportUnreadable, ""},
    {kImportNotACardList, ""},
    {kImportPreviewHead, ""},
    {kImportMoreColumns, "d"},
    {kImportAskOnce, "d"},
    {kImported, "d"},
    {kImportWriteFailed, ""},
    {kImportTooMuch, "dd"},
    {kImportRowsRead, "d"},
    {kImportColumnsLeftOut, "d"},
    {kRegistryDamaged, "sds"},
    {kRegistryReadFailed, "ss"},
    {kRegistryWriteFailed, "ss"},
    {kRegistryBusy, "s"},
    {kRegistryNoFolder, ""},
    {kRegistryInvalidName, ""},
    {kRegistryTooLarge, ""},
    {kFallbackCaption, ""},
    {kAboutTitle, ""},
    {kAboutVersion, "s"},
    {kFindPrompt, ""},
    {kHelp, ""},
    {kPasswordTitle, ""},
    {kBold, ""},
    {kNoWalletOpen, ""},
    {kExpandAll, ""},
    {kWelcome, ""},
    {kPasswordChanged, ""},
    {kFindTooShort, ""},
    {kDeleteWalletAsk, "s"},
    {kFindNothing, ""},
    {kCreateFailed, ""},
    {kOpenNoMemory, ""},
    {kOpenNotAWallet, ""},
    {kOpenWrongPassword, ""},
    {kOpenDamaged, ""},
    {kOpenFailed, ""},
    {kWalletFilter, ""},
    {kChooserTitle, ""},
    {kReadOnlyMark, ""},
    {kBrowse, ""},
    {kKeystashFiles, ""},
    {kOpenedReadOnly, ""},
    {kChangePasswordTitle, ""},
    {kNewWalletPasswordTitle, ""},
    {kEnterPasswordTitle, ""},
    {kAgainToConfirm, ""},
    {kNewPasswordLabel, ""},
    {kPasswordLabel, ""},
    {kHintLabel, ""},
    {kHintShown, ""},
    {kEnterPasswordTip, ""},
    {kNewPasswordTip, ""},
    {kKeypadClear, ""},
    {kKeypadBack, ""},
    {kPasswordMissing, ""},
    {kPasswordsDiffer, ""},
    {kPasswordWrong, ""},
    {kPasswordTooShort, ""},
    {kSizeSmall, ""},
    {kSizeSmallBold, ""},
    {kTextSize, ""},
    {kBackground, ""},
    {kFieldNames, ""},
    {kFieldData, ""},
    {kDisplayTitle, ""},
    {kWalletView, ""},
    {kFolders, ""},
    {kCards, ""},
    {kCardViewDefaults, ""},
    {kSecurityTitle, ""},
    {kSecurityLabel, ""},
    {kCloseWhenSwitching, ""},
    {kPeriodNever, ""},
    {kRemoveShortcutAsk, ""},
    {kDeleteFormAsk, ""},
    {kDeleteCardAsk, ""},
    {kDeleteFolderAsk, "dd"},
    {kMyFormsStays, ""},
    {kChangeNotSaved, ""},
    {kDeleteItem, ""},
    {kClearItems, ""},
    {kRemoveItem, ""},
    {kFilesFilter, ""},
    {kTextFilesFilter, ""},
    {kImportCardsTitle, ""},
    {kImportFormTitle, ""},
    {kIconTitle, ""},
    {kCurrentIcon, ""},
    {kNewIcon, ""},
    {kImportIcon, ""},
    {kIconFilesFilter, ""},
    {kImportIconTitle, ""},
    {kFolderTitle, ""},
    {kFolderName, ""},
    {kFolderIcon, ""},
    {kDefaultForm, ""},
    {kMainLevel, ""},
    {kSpecialTitle, "s"},
    {kMyFormsName, ""},
    {kCardTypeTitle, ""},
    {kDefaultFormTitle, ""},
    {kImportFormsTitle, ""},
    {kImportFromFile, ""},
    {kDownloadForms, ""},
    {kImportFormsTip, ""},
    {kExportFormTitle, ""},
    {kFormDescription, ""},
    {kFormAuthor, ""},
    {kSharingText, ""},
    {kExcludeData, ""},
    {kExportDialogTitle, ""},
    {kItemsToExport, ""},
    {kWholeWallet, ""},
    {kSelectedFolder, ""},
    {kSelectedCard, ""},
    {kCardAsForm, ""},
    {kOutputFormat, ""},
    {kTextFormat, ""},
    {kFormFormat, ""},
    {kOutputTo, ""},
    {kInclude, ""},
    {kDataInFields, ""},
    {kPinValues, ""},
    {kAttachedFiles, ""},
    {kMainMemory, ""},
    {kStorageCard, ""},
    {kFileSaved, ""},
    {kDiscardChanges, ""},
    {kCardNameHeading, ""},
    {kNoChoice, ""},
    {kAttachmentLabel, ""},
    {kFormDesignTitle, ""},
    {kNewFieldName, ""},
    {kSelectionListTitle, ""},
    {kSelectionAdd, ""},
    {kSelectionDelete, ""},
    {kSelectionUp, ""},
    {kSelectionDown, ""},
    {kSelectSoundTitle, ""},
    {kAddAttachmentTitle, ""},
    {kSoundFilesFilter, ""},
    {kSoundTitle, ""},
    {kSelectSound, ""},
    {kRemoveSound, ""},
    {kPlaySound, ""},
    {kExportSound, ""},
    {kPlayWhenViewed, ""},
    {kCurrentSoundFile, ""},
    {kAttachmentsTitle, ""},
    {kAddFile, ""},
    {kRemoveFile, ""},
    {kExportFile, ""},
    {kOpenFile, ""},
    {kAttachmentStatus, "ss"},
    {kDeleteOpenedCopies, ""},
    {kCopiesLeftCount, "d"},
    {kCopiesLeftList, ""},
    {kBackgroundTitle, ""},
    {kSelectImage, ""},
    {kRemoveImage, ""},
    {kMatchBackground, ""},
    {kExportImage, ""},
    {kPosition, ""},
    {kCurrentImageFile, ""},
    {kScaleToFit, ""},
    {kPositionFirst, ""},
    {kTextColorsTitle, ""},
    {kPasswordFields, ""},
    {kAlwaysDisplay, ""},
    {kTapColour, ""},
    {kFileUnreadable, "s"},
    {kFileTooLarge, "ss"},
    {kNotAPicture, "s"},
    {kNotASound, "s"},
    {kPictureFilesFilter, ""},
    {kPickerLocation, ""},
    {kPickerPath, ""},
    {kPickerUp, ""},
    {kSaveInMainMemory, ""},
    {kSaveInStorageCard, ""},
    {kBadWalletName, ""},
    {kWalletExists, ""},
    {kWalletCannotBeMade, ""},
    {kInvalidName, ""},
    {kNewWalletTitle, ""},
    {kWalletNameLabel, ""},
    {kSaveInLabel, ""},
};

}  // namespace ks::text_id
