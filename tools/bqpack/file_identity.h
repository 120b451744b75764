// Whether an output of a command would land on one of its inputs.  Two
// paths name the same file when they lead to the same device and inode (on
// Windows: the same volume and file index), however they are spelled and
// through whatever links.  Every command checks each output against each
// of its inputs before it writes anything, so that `build app.bqm -o
// app.bqm` or `implode IN IN` is refused instead of replacing its input.
#pragma once
#include <string>
#include <vector>

// An input of a command, with the words that name its part in a message
// ("the manifest", "the stub", "packed file Setup.exe (line 4)").
struct CommandInput {
    std::string path;
    std::string role;
};

// The first input that output is, or null.
const CommandInput* InputAt(const std::string& output, const std::vector<CommandInput>& inputs);

// The one-line message for an output that is an input (without "bqpack: ").
std::string OutputIsInputMessage(const std::string& output, const CommandInput& input);
