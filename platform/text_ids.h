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
};

}  // namespace ks::text_id
