// `bqpack build MANIFEST (-o SETUP.EXE | --sources-only DIR) [options]`:
// packs the files a manifest names and links them with the installer's
// code into setup.exe, or only writes the generated sources.  Exit status 0
// on success, 1 on a bad manifest, input or failed link, 2 on a usage error.
#pragma once

// argv holds the arguments after the command name.
int CmdBuild(int argc, char** argv);
