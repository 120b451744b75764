// Whole-file input and output for bqpack's commands.  On failure each
// prints one line to standard error naming the file and the reason, and
// returns false.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

// "-" is standard input.
bool ReadWholeFile(const char* path, std::vector<std::uint8_t>* data);
// Writes through output_file.h: the bytes go to a new file beside path,
// which replaces path only when complete; on failure path is as it was.
// "-" is standard output.
bool WriteWholeFile(const char* path, const std::uint8_t* data, std::size_t size);

// Prints "bqpack: " and the formatted message as one line on standard error
// (control characters and bytes that are not UTF-8 as \xNN); after
// AnswerFailuresInJson(true), also {"ok": false, "error": ...} on standard
// output.
void AnswerFailuresInJson(bool json);
void Complain(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;
