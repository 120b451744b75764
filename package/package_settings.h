// The install settings a package carries in its table, as the tools see
// them: written from a manifest by `bqpack build`, read back from an image by
// the inspect commands.  The defaults are the settings of the client release.
#pragma once
#include <cstdint>
#include <string>

struct PackageSettings {
    std::string buildFolder = "c:\\ReleaseBuild\\";
    std::string engineProgram = "Bramblequist.exe";
    std::string initVerb = "INITIALIZE";
    std::string initVerbDR = "INITIALIZEDR";
    std::string initVerbAutoUp = "INITIALIZEAUTOUP";
    std::string schedulerClass = "ScheduleWClassV2";
    std::uint32_t schedulerCommand = 13201;
    std::string shellClass = "ClientShellWClassV2";
    std::string engineClass = "BackupRestoreEngineWClassV2";
    std::uint32_t shellMessage = 13210;
    std::string configFileName = "Bramblequist.inz";
    std::int32_t passSetupPath = 1;
    std::int32_t verifyDigests = 1;
    std::string defaultFolder = "C:\\Program Files\\Bramblequist";
    std::int32_t askForFolder = 1;
};
