// `bqpack build MANIFEST (-o SETUP.EXE | --sources-only DIR) [options]`:
// packs the files a manifest names and links them with the installer's
// code into setup.exe, or only writes the generated sources.  Exit statuses
// as exit_status.h has them: a bad manifest or an input that cannot be read
// is kExitInput, a failed link or an output that cannot be written
// kExitOutput.
#pragma once

// argv holds the arguments after the command name.
int CmdBuild(int argc, char** argv);
