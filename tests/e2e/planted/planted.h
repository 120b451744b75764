// Planted DLLs for the end-to-end tests: the recording DLL (planted_dll.cpp)
// copied beside a program under test and into the folder it is started in,
// under the name of a DLL that the program or the system may look for; what
// it recorded, and the modules of the running program that came from either
// folder.  A program that restricts its DLL search to the system folder
// loads none of them.
#pragma once
#include <windows.h>

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace planted {

// The names planted (lower case): those that installers have been tricked
// with, and every DLL that a WINEDEBUG=+loaddll run of the programs' paths
// shows.
const std::vector<std::string>& Names();
// A name as part of a test's name: "winspool.drv" becomes "winspool_drv".
std::string TestName(const ::testing::TestParamInfo<std::string>& name);

// Adds the file names (lower case) of the modules that the running process
// pid has loaded, its program's own left out.
void AddModuleNames(DWORD pid, std::set<std::string>* loaded);
// The names among loaded that are not planted.
std::vector<std::string> Unplanted(const std::set<std::string>& loaded);

// The recording DLL planted as `name` beside `exe` and in a fresh folder,
// which is the current folder of the programs started while it lives.
class Plant {
  public:
    Plant(const std::string& exe, const std::string& name);
    ~Plant();
    Plant(const Plant&) = delete;
    Plant& operator=(const Plant&) = delete;

    // True when both copies are in place.
    bool Ready() const { return ready_; }
    // The environment entry that tells the planted DLL where to record.
    std::string Env() const { return "BQ_PLANTED_LOG=" + log_; }
    // Notes every module of the running process pid that is the recording
    // DLL mapped from either folder.
    void Look(DWORD pid);
    // What the planted DLL recorded and what Look saw; empty when none of
    // the copies was loaded.
    std::vector<std::string> Loads() const;

  private:
    std::string programFolder_;
    std::string currentFolder_;
    std::string log_;
    size_t tableOffset_ = 0; // the recording DLL's section table
    std::string table_;
    std::string previousCurrent_;
    std::vector<std::string> seen_;
    bool ready_ = false;
};

} // namespace planted
