// Message catalogue and module table: constant 8-bit texts of the error
// codes, the help text and the names of module numbers.
//
// The texts lie packed in one table, each once and each ended by its NUL,
// and the rows name their texts by number.  Rows hold no pointers, so the
// installer carries neither a pointer nor a base relocation per row, and
// rows that share a text share one constant.  A lookup walks the packed
// table to the text's number; it runs only when an error is shown.
#include "errors/catalogue.h"

#include <cstddef>

#include "errors/module_list.h"

namespace {

// Every text once, in the order that numbers them: the empty text first.
#define BQ_CATALOGUE_TEXTS(X)                                                                      \
    X(Empty, "")                                                                                   \
    X(UserCanceledTheOperation, "User canceled the operation")                                     \
    X(P11P22P33P44, "p1='%1', p2='%2', p3='%3', p4='%4'")                                          \
    X(Literal, "[literal]")                                                                        \
    X(BadErrorCodeMayHaveCalledSetErrorWit,                                                        \
      "Bad ErrorCode. May have called SetError() with HRESULT. ErrorCode = %1")                    \
    X(BadHRESULTMayHaveCalledSetHResultWit,                                                        \
      "Bad HRESULT. May have called SetHResult() with ErrorCode. HRESULT = %1")                    \
    X(OutOfMemory, "Out of memory")                                                                \
    X(RegistryKey12IsMissingOrBad, "Registry key\r\n  '%1\\%2'\r\n is missing or bad")             \
    X(BadPathname1, "Bad pathname (%1)")                                                           \
    X(RegistryReadFailed1W2, "Registry read failed '%1' (W%2)")                                    \
    X(RegistryWriteFailed1W2, "Registry write failed '%1' (W%2)")                                  \
    X(RegistryKeyOrValue1DoesNotExistW2, "Registry key or value '%1' does not exist (W%2)")        \
    X(TheRootKey1IsInvalidForRemoteRegistr,                                                        \
      "The root key '%1' is invalid for remote registry access (W%2)")                             \
    X(TheHost1WasNotFoundW2, "The host '%1' was not found (W%2)")                                  \
    X(FailedToConnectToRemoteRegistryOnHos,                                                        \
      "Failed to connect to remote registry on host '%1' (W%2)")                                   \
    X(TheEntry1WasNotFoundInTheFile2, "The entry '%1' was not found in the file '%2'")             \
    X(TheEntry1WasOutOfRangeInTheFile2, "The entry '%1' was out of range in the file '%2'")        \
    X(CommunicationsLinkDropped, "Communications link dropped")                                    \
    X(CommunicationsLinkTimedOut, "Communications link timed out")                                 \
    X(RemoteError, "Remote error...")                                                              \
    X(BackupServerBusy, "Backup server busy")                                                      \
    X(InvalidAccountIDOrGroupID, "Invalid Account ID or Group ID")                                 \
    X(EntryMissingFromINIFile, "Entry missing from .INI file")                                     \
    X(ObsoleteSoftwareVersion, "Obsolete software version")                                        \
    X(IncorrectPassPhrase, "Incorrect pass phrase")                                                \
    X(InvalidMachineID, "Invalid Machine ID")                                                      \
    X(AccountHasBeenDisabled, "Account has been disabled")                                         \
    X(UsingWrongProductType, "Using wrong product type")                                           \
    X(FileIOError1, "File I/O error (%1)")                                                         \
    X(UnableToCreateDirectoryW12, "Unable to create directory (W%1 %2)")                           \
    X(CannotFindFile1, "Cannot find file (%1)")                                                    \
    X(EndOfBackupWindow, "End of backup window")                                                   \
    X(NoPreviousBackups, "No previous backups")                                                    \
    X(Disk1IsFull, "Disk %1 is full")                                                              \
    X(File1MarkedAsArchived, "File %1 marked as archived")                                         \
    X(UnableToStartCommunicationsEngine, "Unable to start communications engine")                  \
    X(CorruptPassPhraseHistoryFile, "Corrupt pass phrase history file")                            \
    X(IncorrectPrivatePassPhrase, "Incorrect private pass phrase")                                 \
    X(CorruptPassPhraseFile, "Corrupt pass phrase file")                                           \
    X(NoAccountDataAvailableOnServer, "No Account Data available on server")                       \
    X(MergingDBSHaveDifferentArchiveSets, "Merging DB's have different archive sets")              \
    X(DifferentMachineIDSinceLastBackup, "Different Machine ID since last backup")                 \
    X(DataLimitSetIncorrectlyRetryBackup, "Data Limit set incorrectly, retry backup")              \
    X(ProtectedDataLimitReached, "Protected Data Limit reached")                                   \
    X(UserCancelledRestore, "User Cancelled Restore")                                              \
    X(RestoreCancelledBySystem, "Restore Cancelled by System")                                     \
    X(RestoreEngineError, "Restore Engine Error")                                                  \
    X(PleasePerformSoftwareUpgrade, "Please perform software upgrade")                             \
    X(InvalidFileSize, "Invalid File Size")                                                        \
    X(UnableToProcessNoFilesProtected, "Unable to process, no files protected")                    \
    X(MultipleRootsInDatabase, "Multiple roots in database")                                       \
    X(PrefetchFileNotFound, "Prefetch file not found")                                             \
    X(UnableToCheckDiskSpaceOnDrive2ErrorW, "Unable to check disk space on drive %2 (error W%1)")  \
    X(UnableToWriteFile2ErrorW1DiskFull, "Unable to write file '%2' (error W%1).  Disk full?")     \
    X(UnableToReadFile2ErrorW1, "Unable to read file '%2' (error W%1)")                            \
    X(InvalidSetupParametersContactCustome, "Invalid setup parameters, contact Customer Care")     \
    X(InvalidCommandLineParameter1, "Invalid command line parameter (%1)")                         \
    X(UnableToView2W1, "Unable to view %2 (W%1)")                                                  \
    X(FunctionUnsupportedInCurrentVersion, "Function unsupported in current version")              \
    X(NotEnoughFreeSpaceOnDrive1, "Not enough free space on drive %1")                             \
    X(DialupNetworkingNameNotFound, "Dialup Networking name not found")                            \
    X(DialupNetworkingPasswordNotFound, "Dialup Networking password not found")                    \
    X(DialupNetworkingNotInstalled, "Dialup Networking not installed.")                            \
    X(BackupServerUnavailableOrInaccessibl,                                                        \
      "Backup server unavailable (or inaccessible due to firewall)")                               \
    X(RedirectorServerUnavailableOrInacces,                                                        \
      "Redirector Server unavailable (or inaccessible due to firewall)")                           \
    X(InternetDNSLookupFailedFor1CheckInte,                                                        \
      "Internet DNS lookup failed for '%1'; check Internet connection")                            \
    X(InvalidCompanyID, "Invalid Company ID")                                                      \
    X(InvalidContactID, "Invalid Contact ID")                                                      \
    X(ContactIDNotEnabled, "Contact ID not enabled")                                               \
    X(QuarterlyCDROMServiceNotAvailableFor,                                                        \
      "Quarterly CD-ROM service not available for your account")                                   \
    X(IllegalMachineIdChosen1, "Illegal machine Id chosen (%1)")                                   \
    X(ThisJobAlreadyExistsManualInterventi,                                                        \
      "This job already exists, manual intervention required.")                                    \
    X(NoDataForThisDriveNotAnError, "No data for this drive - not an error")                       \
    X(NoDataForAnyDrive, "No data for any drive")                                                  \
    X(BaseDbSTooLargeForOneCd, "Base db's too large for one cd")                                   \
    X(RegistryKeyError, "Registry key error")                                                      \
    X(CouldnTLoginToUniTree1, "Couldn't login to UniTree (%1)")                                    \
    X(CouldnTLoginToHPSS1, "Couldn't login to HPSS (%1)")                                          \
    X(ErrorExecutingFTPCommand1ReplyLine2, "Error executing FTP command %1\r\n Reply line: %2")    \
    X(CouldnTLocateTheTipDatabase1, "Couldn't locate the tip database (%1)")                       \
    X(MissingFilesIn1ForFirstCDImage, "Missing files in '%1' for first CD image")                  \
    X(CannotFindMachineIDInArchive, "Cannot find machine ID in archive")                           \
    X(FTPErrorSettingFileTypeReply1, "FTP error setting file type\r\n Reply: %1")                  \
    X(FTPErrorSendingUniTreeWAITReply1, "FTP error sending UniTree WAIT\r\n Reply: %1")            \
    X(FTPGETErrorReply1, "FTP GET error\r\n Reply: %1")                                            \
    X(InvalidArchiveIndex1, "Invalid Archive Index (%1)")                                          \
    X(CorruptFile1, "Corrupt file (%1)")                                                           \
    X(UnspecifiedTreeOperationError, "Unspecified tree operation error")                           \
    X(NoDatabaseFileFound, "No database file found")                                               \
    X(NoChildrenFoundForATreeItem, "No Children found for a tree item")                            \
    X(MissingIncludeExcludeList, "Missing include exclude list")                                   \
    X(FailedToUpdateTheIncludeExcludeList, "Failed to update the include exclude list")            \
    X(SchedulerNotFound, "Scheduler not found")                                                    \
    X(NoFilesSelectedForBackupOrRestore, "No files selected (for backup or restore)")              \
    X(MissingArchiveSet, "Missing archive set")                                                    \
    X(IncorrectOrMissingJobInformation, "Incorrect or missing job information")                    \
    X(IncludeExcludeManagerGeneralError, "Include exclude manager general error")                  \
    X(FileIsNotSelectableForBackup, "File is not selectable for backup")                           \
    X(FailedToObtainNeededSyncronizationHa, "Failed to obtain needed syncronization handle")       \
    X(GeneralErrorReadingFile, "General error reading file")                                       \
    X(GeneralErrorWritingFile, "General error writing file")                                       \
    X(UnableToLoadTreeIconsOutOfMemory, "Unable to load tree icons (out of memory?)")              \
    X(ImageListFailedToCreate, "Image List failed to create")                                      \
    X(FailedToInsertItemIntoTheTree, "Failed to insert item into the tree")                        \
    X(MissingOrInvalidTreeItemData, "Missing or invalid tree item data")                           \
    X(TreeControlUnableToDeleteAnItemFromT, "Tree control unable to delete an item from the tree") \
    X(GeneralListError, "General list error")                                                      \
    X(TreeOrListItemPointerIsInvalid, "Tree or List item pointer is invalid")                      \
    X(StateManagerIsMissing, "State Manager is missing")                                           \
    X(InvalidFileHandle, "Invalid file handle")                                                    \
    X(InvalidItemType, "Invalid item type")                                                        \
    X(ShellDefinedMessageFailed, "Shell defined message failed")                                   \
    X(InvalidRule, "Invalid rule")                                                                 \
    X(InvalidHTREEITEMHandle, "Invalid HTREEITEM handle")                                          \
    X(NewerVersionOfDatabaseFound, "Newer version of database found")                              \
    X(TimeValueIsNotValid, "Time value is not valid")                                              \
    X(UnableToReadRegistryKey, "Unable to read registry key")                                      \
    X(UnableToWriteRegistryKey, "Unable to write registry key")                                    \
    X(GenericInvalidHandle, "generic invalid handle")                                              \
    X(RequiresExplorer12OrAbove, "Requires Explorer %1.%2 or above")                               \
    X(InvalidOrUnusedItemStateInformation, "Invalid or unused item state information")             \
    X(MissingUsernameOrPassword, "Missing username or password")                                   \
    X(TheRuleCannotExceed260Characters, "The rule cannot exceed 260 characters")                   \
    X(MustSelectADialUpNetworkConnection, "Must select a Dial-Up Network Connection")              \
    X(CanTSelectTheSameTimeForStartAndEnd, "Can't select the same time for 'Start' and 'End'")     \
    X(MustSelectDaysToBackupOrChooseManual, "Must select days to backup or choose manual backup")  \
    X(BackupOrRestoreOperationAlreadyInPro, "Backup or restore operation already in progress")     \
    X(NoFilesPresentInThisArchiveSet, "No Files present in this archive set")                      \
    X(MustCloseBackupOrRestoreEngineWindow, "Must close Backup or Restore Engine Window first")    \
    X(CannotFindPath1, "Cannot find path (%1)")                                                    \
    X(AccessIsDenied1, "Access is denied (%1)")                                                    \
    X(InvalidHandle, "Invalid handle")                                                             \
    X(FileInUseByAnotherProgram1, "File in use by another program (%1)")                           \
    X(InvalidParameter, "Invalid parameter")                                                       \
    X(PortAlreadyInUse, "Port already in use")                                                     \
    X(ServiceProviderDisconnected, "Service Provider disconnected")                                \
    X(ModemNotResponding, "Modem not responding")                                                  \
    X(ServiceProviderLoginProblem, "Service Provider login problem")                               \
    X(UnableToDialLineBusy, "Unable to dial -- line busy")                                         \
    X(UnableToDialVoiceAnswered, "Unable to dial -- voice answered")                               \
    X(UnableToDialNoAnswer, "Unable to dial -- no answer")                                         \
    X(UnableToDialNoCarrier, "Unable to dial -- no carrier")                                       \
    X(UnableToDialNoDialTone, "Unable to dial -- no dial tone")                                    \
    X(BadDialupNetworkingPassword, "Bad Dialup Networking password")                               \
    X(DialupNetworkingProblem, "Dialup Networking problem.")                                       \
    X(FeatureIsNotSupported, "Feature is not supported")                                           \
    X(UserCancelledOperation, "User cancelled operation")                                          \
    X(InternalError, "Internal error")                                                             \
    X(TestHelpStringKErrTest, "test help string kErrTest")

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

#define BQ_TEXT_BYTES(name, text) text "\0"
const char kTexts[] = BQ_CATALOGUE_TEXTS(BQ_TEXT_BYTES);
#undef BQ_TEXT_BYTES

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
    const char* text = kTexts;
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
    return kTexts;
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
        return kTexts;
    }
}

const char* ApplicationHelp(std::uint32_t code) {
    return code == 0x20000003u ? NumberedText(kTextTestHelpStringKErrTest) : kTexts;
}

namespace {

// The module table's numbers and, in the same order, its names packed as
// the texts are.
const std::uint16_t kModuleNumbers[] = {
#define BQ_MODULE_NUMBER(number, name) number,
    BQ_MODULE_ROWS(BQ_MODULE_NUMBER)
#undef BQ_MODULE_NUMBER
};

#define BQ_MODULE_NAME(number, name) name "\0"
const char kModuleNames[] = BQ_MODULE_ROWS(BQ_MODULE_NAME);
#undef BQ_MODULE_NAME

} // namespace

const char* ModuleName(std::uint32_t number) {
    if (number == 0) {
        return kTexts;
    }
    const char* name = kModuleNames;
    for (std::uint16_t row : kModuleNumbers) {
        if (row == number) {
            return name;
        }
        while (*name++ != '\0') {
        }
    }
    return kTexts;
}
