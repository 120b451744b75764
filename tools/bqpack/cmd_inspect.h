// The commands that look inside a built installer without running it:
// `info`, `list`, `verify` and `extract`.  Exit statuses as exit_status.h
// has them: an installer that cannot be read, or is damaged or unsupported,
// is kExitInput.
#pragma once
#include <string>
#include <vector>

#include "tools/bqpack/exit_status.h"

// Each takes the arguments after the command name; what it would print on
// standard output and standard error goes to *out and *err.
int RunInfo(const std::vector<std::string>& args, std::string* out, std::string* err);
int RunList(const std::vector<std::string>& args, std::string* out, std::string* err);
int RunVerify(const std::vector<std::string>& args, std::string* out, std::string* err);
int RunExtract(const std::vector<std::string>& args, std::string* out, std::string* err);

// The same, printing; argv holds the arguments after the command name.
int CmdInfo(int argc, char** argv);
int CmdList(int argc, char** argv);
int CmdVerify(int argc, char** argv);
int CmdExtract(int argc, char** argv);
