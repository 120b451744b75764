// Message catalogue and module table: constant 8-bit texts of the error
// codes, the help text and the names of module numbers.
#include "errors/catalogue.h"

namespace {

const char kEmptyText[] = "";

// Texts that more than one key shares.
const char kTextBadPathname1[] = "Bad pathname (%1)";
const char kTextCannotFindFile1[] = "Cannot find file (%1)";
const char kTextInvalidAccountIDOrGroupID[] = "Invalid Account ID or Group ID";
const char kTextInvalidMachineID[] = "Invalid Machine ID";
const char kTextModemNotResponding[] = "Modem not responding";
const char kTextOutOfMemory[] = "Out of memory";
const char kTextServiceProviderLoginProblem[] = "Service Provider login problem";
const char kTextUserCanceledTheOperation[] = "User canceled the operation";

} // namespace

const char* ApplicationMessage(std::uint32_t code) {
    switch (code) {
    case 0x20000002: // A2
        return kTextUserCanceledTheOperation;
    case 0x20000003: // A3
        return "p1='%1', p2='%2', p3='%3', p4='%4'";
    case 0x20000004: // A4
        return "[literal]";
    case 0x20000006: // A6
        return "Bad ErrorCode. May have called SetError() with HRESULT. ErrorCode = %1";
    case 0x20000007: // A7
        return "Bad HRESULT. May have called SetHResult() with ErrorCode. HRESULT = %1";
    case 0x20000064: // A100
        return kTextOutOfMemory;
    case 0x2000006A: // A106
        return "Registry key\r\n  '%1\\%2'\r\n is missing or bad";
    case 0x2000006B: // A107
        return kTextBadPathname1;
    case 0x2000006D: // A109
        return "Registry read failed '%1' (W%2)";
    case 0x2000006E: // A110
        return "Registry write failed '%1' (W%2)";
    case 0x2000006F: // A111
        return "Registry key or value '%1' does not exist (W%2)";
    case 0x20000070: // A112
        return "The root key '%1' is invalid for remote registry access (W%2)";
    case 0x20000071: // A113
        return "The host '%1' was not found (W%2)";
    case 0x20000072: // A114
        return "Failed to connect to remote registry on host '%1' (W%2)";
    case 0x200000AF: // A175
        return "The entry '%1' was not found in the file '%2'";
    case 0x200000B0: // A176
        return "The entry '%1' was out of range in the file '%2'";
    case 0x200003E9: // A1001
        return "Communications link dropped";
    case 0x200003EA: // A1002
        return "Communications link timed out";
    case 0x200003F3: // A1011
        return "Remote error...";
    case 0x20000422: // A1058
        return "Backup server busy";
    case 0x20000424: // A1060
        return kTextInvalidAccountIDOrGroupID;
    case 0x200004B0: // A1200
        return "Entry missing from .INI file";
    case 0x200007D1: // A2001
        return "Obsolete software version";
    case 0x200007D6: // A2006
        return "Incorrect pass phrase";
    case 0x200007DA: // A2010
        return kTextInvalidAccountIDOrGroupID;
    case 0x200007DC: // A2012
        return kTextInvalidMachineID;
    case 0x200007DE: // A2014
        return "Account has been disabled";
    case 0x200007E2: // A2018
        return "Using wrong product type";
    case 0x20000898: // A2200
        return "File I/O error (%1)";
    case 0x200008A3: // A2211
        return "Unable to create directory (W%1 %2)";
    case 0x200008AD: // A2221
        return kTextCannotFindFile1;
    case 0x200008B4: // A2228
        return "End of backup window";
    case 0x200008B5: // A2229
        return kTextUserCanceledTheOperation;
    case 0x200008BA: // A2234
        return "No previous backups";
    case 0x200008BB: // A2235
        return "Disk %1 is full";
    case 0x200008C0: // A2240
        return "File %1 marked as archived";
    case 0x200008C7: // A2247
        return "Unable to start communications engine";
    case 0x200008CA: // A2250
        return "Corrupt pass phrase history file";
    case 0x200008CB: // A2251
        return "Incorrect private pass phrase";
    case 0x200008CC: // A2252
        return "Corrupt pass phrase file";
    case 0x200008CD: // A2253
        return "No Account Data available on server";
    case 0x200008CE: // A2254
        return kTextInvalidMachineID;
    case 0x200008D0: // A2256
        return "Merging DB's have different archive sets";
    case 0x200008D1: // A2257
        return "Different Machine ID since last backup";
    case 0x200008D4: // A2260
        return "Data Limit set incorrectly, retry backup";
    case 0x200008D5: // A2261
        return "Protected Data Limit reached";
    case 0x200008D8: // A2264
        return "User Cancelled Restore";
    case 0x200008D9: // A2265
        return "Restore Cancelled by System";
    case 0x200008DA: // A2266
        return "Restore Engine Error";
    case 0x200008DC: // A2268
        return "Please perform software upgrade";
    case 0x200008DD: // A2269
        return "Invalid File Size";
    case 0x200008DE: // A2270
        return "Unable to process, no files protected";
    case 0x200008DF: // A2271
        return "Multiple roots in database";
    case 0x200008E2: // A2274
        return "Prefetch file not found";
    case 0x200008E3: // A2275
        return "Unable to check disk space on drive %2 (error W%1)";
    case 0x200008E4: // A2276
        return "Unable to write file '%2' (error W%1).  Disk full?";
    case 0x200008E5: // A2277
        return "Unable to read file '%2' (error W%1)";
    case 0x200008E6: // A2278
        return "Invalid setup parameters, contact Customer Care";
    case 0x200008E7: // A2279
        return "Invalid command line parameter (%1)";
    case 0x200008E8: // A2280
        return "Unable to view %2 (W%1)";
    case 0x200008E9: // A2281
        return "Function unsupported in current version";
    case 0x200008EF: // A2287
        return "Not enough free space on drive %1";
    case 0x20000AF0: // A2800
        return "Dialup Networking name not found";
    case 0x20000AF1: // A2801
        return "Dialup Networking password not found";
    case 0x20000AF6: // A2806
        return "Dialup Networking not installed.";
    case 0x20000AF7: // A2807
        return "Backup server unavailable (or inaccessible due to firewall)";
    case 0x20000AFA: // A2810
        return "Redirector Server unavailable (or inaccessible due to firewall)";
    case 0x20000B00: // A2816
        return "Internet DNS lookup failed for '%1'; check Internet connection";
    case 0x20000B58: // A2904
        return "Invalid Company ID";
    case 0x20000B62: // A2914
        return "Invalid Contact ID";
    case 0x20000B63: // A2915
        return kTextInvalidMachineID;
    case 0x20000B64: // A2916
        return "Contact ID not enabled";
    case 0x20000B7C: // A2940
        return "Quarterly CD-ROM service not available for your account";
    case 0x20000ED8: // A3800
        return "Illegal machine Id chosen (%1)";
    case 0x20000ED9: // A3801
        return "This job already exists, manual intervention required.";
    case 0x20000EDA: // A3802
        return "No data for this drive - not an error";
    case 0x20000EDB: // A3803
        return "No data for any drive";
    case 0x20000EDC: // A3804
        return "Base db's too large for one cd";
    case 0x20000EDD: // A3805
        return "Registry key error";
    case 0x20000EDE: // A3806
        return "Couldn't login to UniTree (%1)";
    case 0x20000EDF: // A3807
        return "Couldn't login to HPSS (%1)";
    case 0x20000EE0: // A3808
        return "Error executing FTP command %1\r\n Reply line: %2";
    case 0x20000EE1: // A3809
        return "Couldn't locate the tip database (%1)";
    case 0x20000EE2: // A3810
        return "Missing files in '%1' for first CD image";
    case 0x20000EE3: // A3811
        return "Cannot find machine ID in archive";
    case 0x20000EE4: // A3812
        return "FTP error setting file type\r\n Reply: %1";
    case 0x20000EE5: // A3813
        return "FTP error sending UniTree WAIT\r\n Reply: %1";
    case 0x20000EE6: // A3814
        return "FTP GET error\r\n Reply: %1";
    case 0x20000EE7: // A3815
        return "Invalid Archive Index (%1)";
    case 0x20000F3E: // A3902
        return kTextBadPathname1;
    case 0x20000F42: // A3906
        return "Corrupt file (%1)";
    case 0x20000FA0: // A4000
        return "Unspecified tree operation error";
    case 0x20000FA1: // A4001
        return "No database file found";
    case 0x20000FA2: // A4002
        return "No Children found for a tree item";
    case 0x20000FA3: // A4003
        return "Missing include exclude list";
    case 0x20000FA4: // A4004
        return "Failed to update the include exclude list";
    case 0x20000FA5: // A4005
        return "Scheduler not found";
    case 0x20000FA6: // A4006
        return "No files selected (for backup or restore)";
    case 0x20000FA7: // A4007
        return "Missing archive set";
    case 0x20000FA8: // A4008
        return "Incorrect or missing job information";
    case 0x20000FA9: // A4009
        return "Include exclude manager general error";
    case 0x20000FAA: // A4010
        return "File is not selectable for backup";
    case 0x20000FAB: // A4011
        return "Failed to obtain needed syncronization handle";
    case 0x20000FAC: // A4012
        return "General error reading file";
    case 0x20000FAD: // A4013
        return "General error writing file";
    case 0x20000FAE: // A4014
        return "Unable to load tree icons (out of memory?)";
    case 0x20000FB2: // A4018
        return "Image List failed to create";
    case 0x20000FB3: // A4019
        return "Failed to insert item into the tree";
    case 0x20000FB4: // A4020
        return "Missing or invalid tree item data";
    case 0x20000FB5: // A4021
        return "Tree control unable to delete an item from the tree";
    case 0x20000FB6: // A4022
        return "General list error";
    case 0x20000FB7: // A4023
        return "Tree or List item pointer is invalid";
    case 0x20000FB8: // A4024
        return "State Manager is missing";
    case 0x20000FB9: // A4025
        return "Invalid file handle";
    case 0x20000FBA: // A4026
        return "Invalid item type";
    case 0x20000FBB: // A4027
        return "Shell defined message failed";
    case 0x20000FBC: // A4028
        return "Invalid rule";
    case 0x20000FBD: // A4029
        return "Invalid HTREEITEM handle";
    case 0x20000FBE: // A4030
        return "Newer version of database found";
    case 0x20000FBF: // A4031
        return "Time value is not valid";
    case 0x20000FC0: // A4032
        return "Unable to read registry key";
    case 0x20000FC1: // A4033
        return "Unable to write registry key";
    case 0x20000FC2: // A4034
        return "generic invalid handle";
    case 0x20000FC3: // A4035
        return "Requires Explorer %1.%2 or above";
    case 0x20000FC4: // A4036
        return "Invalid or unused item state information";
    case 0x20000FC5: // A4037
        return "Missing username or password";
    case 0x20000FC6: // A4038
        return "The rule cannot exceed 260 characters";
    case 0x20000FC7: // A4039
        return "Must select a Dial-Up Network Connection";
    case 0x20000FC8: // A4040
        return "Can't select the same time for 'Start' and 'End'";
    case 0x20000FC9: // A4041
        return "Must select days to backup or choose manual backup";
    case 0x20000FCB: // A4043
        return "Backup or restore operation already in progress";
    case 0x20000FCC: // A4044
        return "No Files present in this archive set";
    case 0x20000FD1: // A4049
        return "Must close Backup or Restore Engine Window first";
    default:
        return kEmptyText;
    }
}

const char* Win32Message(std::uint32_t number) {
    switch (number) {
    case 2:
        return kTextCannotFindFile1;
    case 3:
        return "Cannot find path (%1)";
    case 5:
        return "Access is denied (%1)";
    case 6:
        return "Invalid handle";
    case 14:
        return kTextOutOfMemory;
    case 32:
        return "File in use by another program (%1)";
    case 87:
        return "Invalid parameter";
    case 602:
        return "Port already in use";
    case 629:
        return "Service Provider disconnected";
    case 630:
        return kTextModemNotResponding;
    case 645:
        return kTextServiceProviderLoginProblem;
    case 646:
        return kTextServiceProviderLoginProblem;
    case 647:
        return kTextServiceProviderLoginProblem;
    case 648:
        return kTextServiceProviderLoginProblem;
    case 649:
        return kTextServiceProviderLoginProblem;
    case 650:
        return kTextServiceProviderLoginProblem;
    case 676:
        return "Unable to dial -- line busy";
    case 677:
        return "Unable to dial -- voice answered";
    case 678:
        return "Unable to dial -- no answer";
    case 679:
        return "Unable to dial -- no carrier";
    case 680:
        return "Unable to dial -- no dial tone";
    case 691:
        return "Bad Dialup Networking password";
    case 692:
        return kTextModemNotResponding;
    case 708:
        return kTextServiceProviderLoginProblem;
    case 709:
        return kTextServiceProviderLoginProblem;
    default:
        break;
    }
    // The remaining numbers of the Remote Access Service range share one text.
    if (number >= 600 && number <= 798) {
        return "Dialup Networking problem.";
    }
    return kEmptyText;
}

const char* HResultMessage(std::uint32_t h) {
    switch (h) {
    case 0x80004001u: // E_NOTIMPL
        return "Feature is not supported";
    case 0x80004004u: // E_ABORT
        return "User cancelled operation";
    case 0x80004005u: // E_FAIL
    case 0x8000FFFFu: // E_UNEXPECTED
        return "Internal error";
    default:
        return kEmptyText;
    }
}

const char* ApplicationHelp(std::uint32_t code) {
    switch (code) {
    case 0x20000003u: // kErrTest
        return "test help string kErrTest";
    default:
        return kEmptyText;
    }
}

const ModuleEntry kModuleTable[] = {
    {1, "CommRPC"},
    {2, "DUNLogin"},
    {3, "NOEMCode"},
    {4, "Split"},
    {5, "StrUtil"},
    {6, "TBigQueue"},
    {7, "TError"},
    {8, "TErrorMessage"},
    {9, "Timeout"},
    {10, "TCriticalSection"},
    {200, "FileIo32"},
    {201, "FileMd5"},
    {202, "IclIo"},
    {203, "InclExcl"},
    {205, "DbIo"},
    {206, "NewDbIo"},
    {207, "Logging"},
    {208, "CpfIo"},
    {209, "NewSecIo"},
    {210, "NewArcIo"},
    {211, "NewDifIo"},
    {213, "ArcIo"},
    {214, "Encrypt"},
    {215, "NewRstIo"},
    {216, "DifIo"},
    {217, "NewReqIo"},
    {218, "NewRetIo"},
    {219, "ReqIo"},
    {220, "RstIo"},
    {221, "CslIo"},
    {222, "DbaseIo"},
    {400, "CmEngine"},
    {401, "CmUtil32"},
    {10000, "BaseServ"},
    {10001, "CmMain"},
    {10002, "CmMon"},
    {10003, "CmReg"},
    {10004, "CmSet"},
    {10005, "CmServ32"},
    {10007, "CmTest"},
    {10008, "CmWSock"},
    {10009, "TapiCode"},
    {10010, "CmCommIO"},
    {10011, "SortSrch"},
    {10012, "BkEngW32"},
    {10013, "BkEngine"},
    {10014, "BREngine"},
    {10015, "Transmit"},
    {10016, "BackupMain"},
    {10017, "DirWalk32"},
    {10018, "RestoreMain"},
    {10019, "SecRetIo"},
    {10020, "SaveKey"},
    {10021, "BuildPool"},
    {10022, "DisasterMain"},
    {10023, "Diff1"},
    {10024, "LaunchVantorel"},
    {10200, "Scheduler"},
    {10201, "SchedwNT"},
    {10202, "SchServ"},
    {10203, "WebLaunch"},
    {10204, "MakeShortcuts"},
    {10205, "Ras"},
    {11000, "TTreeCtrl"},
    {11001, "BackupTree"},
    {11002, "TBackupPage"},
    {11003, "TListWrapper"},
    {11004, "IncExcMgr"},
    {11005, "VerCheck"},
    {11006, "GetLinktime"},
    {11007, "TStateManager"},
    {11008, "TRestoreSheet"},
    {11009, "RestoreTree"},
    {11010, "TRestorePage"},
    {11011, "TBackupJob"},
    {11012, "TBackupSheet"},
    {11013, "RSummaryThread"},
    {11014, "SHardware"},
    {11015, "TFileSearch"},
    {11016, "TMsg"},
    {11017, "winclexcl"},
    {11018, "TAdvancedRulesPage"},
    {11019, "TRuleEditor"},
    {11020, "Quintar"},
    {11021, "SHours"},
    {11022, "TBackupTreeSplit"},
    {11023, "TRestoreTreeSplit"},
    {11024, "ReminderEdit"},
    {11025, "TimeEdit"},
    {12000, "HammerDlg"},
    {12100, "PulseDlg"},
    {16000, "Crateloom"},
    {16001, "FetchDirectory"},
    {16002, "FileUnpack"},
    {16500, "BackupView"},
    {16501, "RestoreView"},
    {16502, "RestoreDestDlg"},
    {16503, "BackupCfgSchedulePage"},
    {16504, "BackupCfgGeneralPage"},
    {16505, "SelByAppObj"},
    {16506, "AppList"},
    {16507, "SelByAppListCtrl"},
    {21000, "BkpSQL"},
    {21500, "DLCopy"},
    {22000, "Archive"},
    {22001, "ArcServ"},
    {22002, "ArcState"},
    {22003, "BackupSet"},
    {25000, "ArcView"},
    {25001, "DiffView"},
    {25002, "DbView"},
    {25003, "Viewer"},
    {25004, "RstView"},
    {25005, "RtnView"},
    {25010, "Unarchive"},
    {25030, "ViewArchiveState"},
    {25050, "ResetArchiveState"},
    {25060, "FixDb"},
    {25070, "CDCreate"},
    {25071, "CDImager"},
    {25072, "FtpArchive"},
    {25073, "ImagerCore"},
    {25074, "LogDebug"},
    {25075, "LookupCsl"},
    {26000, "CatHPSS"},
    {26001, "Action"},
    {26100, "BRRecover"},
    {26101, "Recreate"},
    {26102, "RecvrAction"},
    {27000, "CloneArchiveState"},
    {27001, "CloneAction"},
    {27100, "CustomerTreeFileCount"},
    {27200, "UpdateArchiveState"},
    {27300, "BulkUnarchive"},
    {27400, "CopyArchiveSet"},
    {27500, "MakeGFXs"},
    {27501, "GFXConvert"},
    {28000, "RegCompare"},
    {28001, "TRegistry"},
    {28002, "TPrintNodeCmd"},
    {28003, "TComparePrintNodeCmd"},
    {29000, "DenyAccess"},
    {30000, "ThreadPool"},
    {30001, "ServerLogger"},
    {30002, "GroomedFiles"},
    {30003, "StreamLog"},
    {0, ""},
};

const char* ModuleName(std::uint32_t number) {
    if (number == 0) {
        return kEmptyText;
    }
    for (const ModuleEntry* row = kModuleTable; row->number != 0; ++row) {
        if (row->number == number) {
            return row->name;
        }
    }
    return kEmptyText;
}
