// The exit statuses of every bqpack command, so that a script can tell a
// mistake on the command line from damaged input and from an output that
// could not be written.
#pragma once

enum : int {
    kExitOk = 0,
    kExitUsage = 1,  // a usage error: nothing was read or written
    kExitInput = 2,  // an input is missing, unreadable, damaged or unsupported
    kExitOutput = 3, // an output could not be written; existing files are as they were
    // `explode` ends with kExitDecoder plus the decoder's result (11 to 14),
    // so that the reason the stream could not be expanded stays visible.
    kExitDecoder = 10,
};

// The one-paragraph description the --help texts end with.
#define BQPACK_EXIT_STATUS_HELP                                                                    \
    "Exit status: 0 success, 1 usage error, 2 an input is missing, unreadable or\n"                \
    "damaged, 3 an output could not be written (existing files are left as they were).\n"
