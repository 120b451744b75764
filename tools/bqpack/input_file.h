// Reading a whole input file for bqpack's commands, with a limit on its
// size.  An input that is not a regular file (a folder, a device, a FIFO)
// or is larger than the limit is refused from its stat alone, before it is
// opened: /dev/zero or a FIFO never costs a read or a wait.  Commands read
// through ReadInput, which words the outcome.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// The largest file a command reads whole (an installer, a stub, the codec's
// input): what the 32-bit sizes of an image and of a stream can count.
enum : std::uint64_t { kMaxInputFile = 0x7FFFFFFF };

// The one reader of a command's whole inputs: reads the file at path into
// *bytes ("-" is standard input, read to its end or to the limit), refusing
// what its stat shows is no regular file or larger than limit bytes, and
// stopping as soon as it holds more than limit bytes (a file that grows
// while it is read).  On failure *problem says why in the words every
// command uses: "cannot open: ...", "not a
// regular file ...", "too large to be WHAT (more than N bytes)" (what: "an
// installer", "a manifest", ...), "cannot read: ...".
bool ReadInput(const std::string& path, std::uint64_t limit, const char* what,
               std::vector<std::uint8_t>* bytes, std::string* problem);
