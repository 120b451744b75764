// The commands of bqpack, one group per source file.  Each Cmd function
// takes the arguments after the command name and returns the exit status;
// each answers --help among its arguments with its usage text on standard
// output and status 0.
#pragma once

// cmd_codec.cpp: one raw DCL implode stream, either way.  Exit statuses as
// exit_status.h has them; explode ends a failed decode with kExitDecoder
// plus the decoder's result.
int CmdImplode(int argc, char** argv);
int CmdExplode(int argc, char** argv);
