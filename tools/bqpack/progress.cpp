// Progress lines on standard error; see progress.h.
#include "tools/bqpack/progress.h"

#include <unistd.h>

#include "tools/bqpack/io.h"

Progress::Progress(std::string what, bool show, std::chrono::steady_clock::duration wait)
    : name(std::move(what)), enabled(show), delay(wait), terminal(show && isatty(2)) {}

void Progress::Update(std::uint64_t done, std::uint64_t total) {
    if (!enabled || done >= total)
        return;
    const int percent = int(done * 100 / total);
    if (terminal ? percent == lastShown : percent / 10 == lastShown / 10)
        return;
    if (lastShown < 0 && std::chrono::steady_clock::now() - start < delay)
        return;
    Tell(std::string(terminal ? "\r" : "") + "bqpack: " + name + ": " + std::to_string(percent) +
         (terminal ? "%" : "%\n"));
    lastShown = percent;
}

void Progress::Finish() {
    if (lastShown >= 0 && terminal)
        Tell("\rbqpack: " + name + ": 100%\n");
    lastShown = -1;
}
