// Progress of long work on standard error, as every bqpack command shows
// it: "bqpack: NAME: N%", on a terminal one line drawn again in place,
// elsewhere a line at every tenth percent.  Work that may be short waits a
// while before its first line, so that quick work shows nothing.
#pragma once
#include <chrono>
#include <cstdint>
#include <string>

struct Progress {
    std::string name;
    bool enabled = false;
    std::chrono::steady_clock::duration delay{}; // from the start to the first line
    bool terminal = false;
    int lastShown = -1; // percent; -1 while nothing is shown
    std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();

    Progress(std::string what, bool show, std::chrono::steady_clock::duration wait);
    // done of total: a line when one is due.
    void Update(std::uint64_t done, std::uint64_t total);
    // Ends what was shown: on a terminal the line is finished at 100%, so
    // that what follows starts on a line of its own.
    void Finish();
};
