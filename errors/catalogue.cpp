// Message catalogue and module table: constant 8-bit texts of the error
// codes, the help text and the names of module numbers.
//
// The texts lie in one store, each once and each ended by its NUL
// (catalogue_texts.h), and the rows name their texts by number.  Rows hold
// no pointers, so the installer carries neither a pointer nor a base
// relocation per row, and rows that share a text share one constant.  A
// lookup walks the store to the text's number; it runs only when an error
// is shown.
#include "errors/catalogue.h"

#include <cstddef>

#include "errors/catalogue_texts.h"

namespace {

enum TextNumber : std::uint8_t {
#define BQ_TEXT_NUMBER(name, text) kText##name,
    BQ_CATALOGUE_TEXTS(BQ_TEXT_NUMBER)
#undef BQ_TEXT_NUMBER
};

enum : unsigned {
#define BQ_TEXT_ONE(name, text) +1
    kTextCount = 0 BQ_CATALOGUE_TEXTS(BQ_TEXT_ONE)
#undef BQ_TEXT_ONE
};
static_assert(kTextCount <= 256, "a row names its text in one byte");

struct Row {
    std::uint16_t key;
    std::uint8_t text;
};

// Application codes by n (the code is 0x20000000 + n), ascending.
const Row kApplicationRows[] = {
    {2, kTextUserCanceledTheOperation},
    {3, kTextP11P22P33P44},
    {4, kTextLiteral},
    {6, kTextBadErrorCodeMayHaveCalledSetErrorWit},
    {7, kTextBadHRESULTMayHaveCalledSetHResultWit},
    {100, kTextOutOfMemory},
    {106, kTextRegistryKey12IsMissingOrBad},
    {107, kTextBadPathname1},
    {109, kTextRegistryReadFailed1W2},
    {110, kTextRegistryWriteFailed1W2},
    {111, kTextRegistryKeyOrValue1DoesNotExistW2},
    {112, kTextTheRootKey1IsInvalidForRemoteRegistr},
    {113, kTextTheHost1WasNotFoundW2},
    {114, kTextFailedToConnectToRemoteRegistryOnHos},
    {175, kTextTheEntry1WasNotFoundInTheFile2},
    {176, kTextTheEntry1WasOutOfRangeInTheFile2},
    {1001, kTextCommunicationsLinkDropped},
    {1002, kTextCommunicationsLinkTimedOut},
    {1011, kTextRemoteError},
    {1058, kTextBackupServerBusy},
    {1060, kTextInvalidAccountIDOrGroupID},
    {1200, kTextEntryMissingFromINIFile},
    {2001, kTextObsoleteSoftwareVersion},
    {2006, kTextIncorrectPassPhrase},
    {2010, kTextInvalidAccountIDOrGroupID},
    {2012, kTextInvalidMachineID},
    {2014, kTextAccountHasBeenDisabled},
    {2018, kTextUsingWrongProductType},
    {2200, kTextFileIOError1},
    {2211, kTextUnableToCreateDirectoryW12},
    {2221, kTextCannotFindFile1},
    {2228, kTextEndOfBackupWindow},
    {2229, kTextUserCanceledTheOperation},
    {2234, kTextNoPreviousBackups},
    {2235, kTextDisk1IsFull},
    {2240, kTextFile1MarkedAsArchived},
    {2247, kTextUnableToStartCommunicationsEngine},
    {2250, kTextCorruptPassPhraseHistoryFile},
    {2251, kTextIncorrectPrivatePassPhrase},
    {2252, kTextCorruptPassPhraseFile},
    {2253, kTextNoAccountDataAvailableOnServer},
    {2254, kTextInvalidMachineID},
    {2256, kTextMergingDBSHaveDifferentArchiveSets},
    {2257, kTextDifferentMachineIDSinceLastBackup},
    {2260, kTextDataLimitSetIncorrectlyRetryBackup},
    {2261, kTextProtectedDataLimitReached},
    {2264, kTextUserCancelledRestore},
    {2265, kTextRestoreCancelledBySystem},
    {2266, kTextRestoreEngineError},
    {2268, kTextPleasePerformSoftwareUpgrade},
    {2269, kTextInvalidFileSize},
    {2270, kTextUnableToProcessNoFilesProtected},
    {2271, kTextMultipleRootsInDatabase},
    {2274, kTextPrefetchFileNotFound},
    {2275, kTextUnableToCheckDiskSpaceOnDrive2ErrorW},
    {2276, kTextUnableToWriteFile2ErrorW1DiskFull},
    {2277, kTextUnableToReadFile2ErrorW1},
    {2278, kTextInvalidSetupParametersContactCustome},
    {2279, kTextInvalidCommandLineParameter1},
    {2280, kTextUnableToView2W1},
    {2281, kTextFunctionUnsupportedInCurrentVersion},
    {2287, kTextNotEnoughFreeSpaceOnDrive1},
    {2800, kTextDialupNetworkingNameNotFound},
    {2801, kTextDialupNetworkingPasswordNotFound},
    {2806, kTextDialupNetworkingNotInstalled},
    {2807, kTextBackupServerUnavailableOrInaccessibl},
    {2810, kTextRedirectorServerUnavailableOrInacces},
    {2816, kTextInternetDNSLookupFailedFor1CheckInte},
    {2904, kTextInvalidCompanyID},
    {2914, kTextInvalidContactID},
    {2915, kTextInvalidMachineID},
    {2916, kTextContactIDNotEnabled},
    {2940, kTextQuarterlyCDROMServiceNotAvailableFor},
    {3800, kTextIllegalMachineIdChosen1},
    {3801, kTextThisJobAlreadyExistsManualInterventi},
    {3802, kTextNoDataForThisDriveNotAnError},
    {3803, kTextNoDataForAnyDrive},
    {3804, kTextBaseDbSTooLargeForOneCd},
    {3805, kTextRegistryKeyError},
    {3806, kTextCouldnTLoginToUniTree1},
    {3807, kTextCouldnTLoginToHPSS1},
    {3808, kTextErrorExecutingFTPCommand1ReplyLine2},
    {3809, kTextCouldnTLocateTheTipDatabase1},
    {3810, kTextMissingFilesIn1ForFirstCDImage},
    {3811, kTextCannotFindMachineIDInArchive},
    {3812, kTextFTPErrorSettingFileTypeReply1},
    {3813, kTextFTPErrorSendingUniTreeWAITReply1},
    {3814, kTextFTPGETErrorReply1},
    {3815, kTextInvalidArchiveIndex1},
    {3902, kTextBadPathname1},
    {3906, kTextCorruptFile1},
    {4000, kTextUnspecifiedTreeOperationError},
    {4001, kTextNoDatabaseFileFound},
    {4002, kTextNoChildrenFoundForATreeItem},
    {4003, kTextMissingIncludeExcludeList},
    {4004, kTextFailedToUpdateTheIncludeExcludeList},
    {4005, kTextSchedulerNotFound},
    {4006, kTextNoFilesSelectedForBackupOrRestore},
    {4007, kTextMissingArchiveSet},
    {4008, kTextIncorrectOrMissingJobInformation},
    {4009, kTextIncludeExcludeManagerGeneralError},
    {4010, kTextFileIsNotSelectableForBackup},
    {4011, kTextFailedToObtainNeededSyncronizationHa},
    {4012, kTextGeneralErrorReadingFile},
    {4013, kTextGeneralErrorWritingFile},
    {4014, kTextUnableToLoadTreeIconsOutOfMemory},
    {4018, kTextImageListFailedToCreate},
    {4019, kTextFailedToInsertItemIntoTheTree},
    {4020, kTextMissingOrInvalidTreeItemData},
    {4021, kTextTreeControlUnableToDeleteAnItemFromT},
    {4022, kTextGeneralListError},
    {4023, kTextTreeOrListItemPointerIsInvalid},
    {4024, kTextStateManagerIsMissing},
    {4025, kTextInvalidFileHandle},
    {4026, kTextInvalidItemType},
    {4027, kTextShellDefinedMessageFailed},
    {4028, kTextInvalidRule},
    {4029, kTextInvalidHTREEITEMHandle},
    {4030, kTextNewerVersionOfDatabaseFound},
    {4031, kTextTimeValueIsNotValid},
    {4032, kTextUnableToReadRegistryKey},
    {4033, kTextUnableToWriteRegistryKey},
    {4034, kTextGenericInvalidHandle},
    {4035, kTextRequiresExplorer12OrAbove},
    {4036, kTextInvalidOrUnusedItemStateInformation},
    {4037, kTextMissingUsernameOrPassword},
    {4038, kTextTheRuleCannotExceed260Characters},
    {4039, kTextMustSelectADialUpNetworkConnection},
    {4040, kTextCanTSelectTheSameTimeForStartAndEnd},
    {4041, kTextMustSelectDaysToBackupOrChooseManual},
    {4043, kTextBackupOrRestoreOperationAlreadyInPro},
    {4044, kTextNoFilesPresentInThisArchiveSet},
    {4049, kTextMustCloseBackupOrRestoreEngineWindow},
};

// Win32 error numbers, ascending.
const Row kWin32Rows[] = {
    {2, kTextCannotFindFile1},
    {3, kTextCannotFindPath1},
    {5, kTextAccessIsDenied1},
    {6, kTextInvalidHandle},
    {14, kTextOutOfMemory},
    {32, kTextFileInUseByAnotherProgram1},
    {87, kTextInvalidParameter},
    {602, kTextPortAlreadyInUse},
    {629, kTextServiceProviderDisconnected},
    {630, kTextModemNotResponding},
    {645, kTextServiceProviderLoginProblem},
    {646, kTextServiceProviderLoginProblem},
    {647, kTextServiceProviderLoginProblem},
    {648, kTextServiceProviderLoginProblem},
    {649, kTextServiceProviderLoginProblem},
    {650, kTextServiceProviderLoginProblem},
    {676, kTextUnableToDialLineBusy},
    {677, kTextUnableToDialVoiceAnswered},
    {678, kTextUnableToDialNoAnswer},
    {679, kTextUnableToDialNoCarrier},
    {680, kTextUnableToDialNoDialTone},
    {691, kTextBadDialupNetworkingPassword},
    {692, kTextModemNotResponding},
    {708, kTextServiceProviderLoginProblem},
    {709, kTextServiceProviderLoginProblem},
};

// The text of a number: past as many NULs of the packed table.
const char* NumberedText(unsigned number) {
    const char* text = CatalogueStore();
    for (; number != 0; --number) {
        while (*text++ != '\0') {
        }
    }
    return text;
}

// The text of a key's row, or the empty text.
template <std::size_t N> const char* RowText(const Row (&rows)[N], std::uint32_t key) {
    for (const Row& row : rows) {
        if (row.key == key) {
            return NumberedText(row.text);
        }
    }
    return CatalogueStore();
}

} // namespace

const char* ApplicationMessage(std::uint32_t code) {
    // Below 0x20000000 the difference wraps beyond every key.
    return RowText(kApplicationRows, code - 0x20000000u);
}

const char* Win32Message(std::uint32_t number) {
    const char* text = RowText(kWin32Rows, number);
    // The remaining numbers of the Remote Access Service range share one text.
    if (text[0] == '\0' && number >= 600 && number <= 798) {
        return NumberedText(kTextDialupNetworkingProblem);
    }
    return text;
}

const char* HResultMessage(std::uint32_t h) {
    switch (h) {
    case 0x80004001u: // E_NOTIMPL
        return NumberedText(kTextFeatureIsNotSupported);
    case 0x80004004u: // E_ABORT
        return NumberedText(kTextUserCancelledOperation);
    case 0x80004005u: // E_FAIL
    case 0x8000FFFFu: // E_UNEXPECTED
        return NumberedText(kTextInternalError);
    default:
        return CatalogueStore();
    }
}

const char* ApplicationHelp(std::uint32_t code) {
    return code == 0x20000003u ? NumberedText(kTextTestHelpStringKErrTest) : CatalogueStore();
}

namespace {

// The module table's numbers and, in the same order, its names packed as
// the texts are.
const std::uint16_t kModuleNumbers[] = {
#define BQ_MODULE_NUMBER(number, name) number,
    BQ_MODULE_ROWS(BQ_MODULE_NUMBER)
#undef BQ_MODULE_NUMBER
};

} // namespace

const char* ModuleName(std::uint32_t number) {
    if (number == 0) {
        return CatalogueStore();
    }
    const char* name = CatalogueStore() + kCatalogueNamesAt;
    for (std::uint16_t row : kModuleNumbers) {
        if (row == number) {
            return name;
        }
        while (*name++ != '\0') {
        }
    }
    return CatalogueStore();
}
