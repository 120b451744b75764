// The message catalogue's texts, every one once, in the order that numbers
// them (the empty text first), and the store that holds them with the
// module table's names (module_list.h).  The rows of catalogue.cpp name
// texts by number; the store is the same bytes in every build, kept as
// they are (catalogue_store_plain.cpp) or imploded at build time and
// expanded at the first lookup (catalogue_store_packed.cpp).
#pragma once
#include <cstdint>

#include "errors/module_list.h"

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

// The store: each text ended by its NUL, then each module name the same way.
#define BQ_CATALOGUE_TEXT_BYTES(name, text) text "\0"
#define BQ_CATALOGUE_NAME_BYTES(number, name) name "\0"
#define BQ_CATALOGUE_STORE                                                                         \
    BQ_CATALOGUE_TEXTS(BQ_CATALOGUE_TEXT_BYTES) BQ_MODULE_ROWS(BQ_CATALOGUE_NAME_BYTES)

enum : std::uint32_t {
    // Where the module names begin, and the whole store's length (the
    // literals' own final NUL not counted).
    kCatalogueNamesAt = sizeof(BQ_CATALOGUE_TEXTS(BQ_CATALOGUE_TEXT_BYTES)) - 1,
    kCatalogueStoreBytes = sizeof(BQ_CATALOGUE_STORE) - 1,
};

// The store's bytes, kCatalogueStoreBytes of them, for as long as the
// program runs.
const char* CatalogueStore();
