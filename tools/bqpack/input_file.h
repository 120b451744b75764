// Reading a whole input file for bqpack's commands, with a limit on its
// size.  Each caller words its own message from the outcome.
#pragma once
#include <cstdint>
#include <vector>

enum class InputRead { Ok, CannotOpen, TooLarge, CannotRead };

// Reads the file at path into *bytes.  Stops with TooLarge as soon as it
// holds more than limit bytes; *error gets errno when opening or reading
// fails.
InputRead ReadInputFile(const char* path, std::uint64_t limit, std::vector<std::uint8_t>* bytes,
                        int* error);
