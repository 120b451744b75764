// The commands of bqpack, one group per source file.  Each Cmd function
// takes the arguments after the command name and returns the exit status;
// each answers --help among its arguments with its usage text on standard
// output and status 0.
#pragma once

// cmd_codec.cpp: one raw DCL implode stream, either way.  Exit statuses:
// 0 success; 1 to 4 the decoder's result (explode only); 5 a file could not
// be read or written; 6 a usage error.
enum : int {
    kCodecOk = 0,
    kCodecFileError = 5,
    kCodecUsage = 6,
};
int CmdImplode(int argc, char** argv);
int CmdExplode(int argc, char** argv);
