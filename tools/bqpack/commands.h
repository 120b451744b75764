// The commands of bqpack, one group per source file, all of one shape: each
// takes the arguments after the command's name (as main puts them: --opt=value
// split, -q, -v and -j N spelled out), prints through io.h, fails through
// Complain or UsageError, and returns the exit status (exit_status.h).  Each
// answers --help among its arguments with its usage text and status 0.
#pragma once
#include <string>
#include <vector>

using CommandArgs = std::vector<std::string>;
using CommandFunction = int (*)(const CommandArgs& args);

// cmd_codec.cpp: one raw DCL implode stream, either way; explode ends a
// failed decode with kExitDecoder plus the decoder's result.
int CmdImplode(const CommandArgs& args);
int CmdExplode(const CommandArgs& args);

// cmd_build.cpp: `bqpack build MANIFEST -o SETUP.EXE`: packs the files a
// manifest names into a copy of the installer stub.  A bad manifest or an
// input that cannot be read is kExitInput, an output that cannot be written
// kExitOutput.
int CmdBuild(const CommandArgs& args);

// cmd_inspect.cpp: what looks inside a built installer without running it.
// An installer that cannot be read, or is damaged or unsupported, is
// kExitInput.
int CmdInfo(const CommandArgs& args);
int CmdList(const CommandArgs& args);
int CmdVerify(const CommandArgs& args);
int CmdExtract(const CommandArgs& args);
