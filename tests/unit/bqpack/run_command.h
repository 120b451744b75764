// Runs one bqpack command in the test's own process and takes what it
// printed on standard output and standard error as texts.
#pragma once
#include <string>

#include "tools/bqpack/commands.h"
#include "tools/bqpack/exit_status.h"
#include "tools/bqpack/io.h"

inline int RunCaptured(CommandFunction command, const CommandArgs& args, std::string* out,
                       std::string* err) {
    CaptureOutput(out, err);
    const int status = command(args);
    CaptureOutput(nullptr, nullptr);
    return status;
}
