// What bqpack's commands print, and the whole files they write.  A command
// says its results on standard output (Say), notes progress and warnings on
// standard error (Note, Tell), and fails in one way: Complain, or
// UsageError for a mistake on its command line.  A test may take both
// streams as texts instead (CaptureOutput).
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Standard output: a command's results (text, JSON, or a stream's bytes).
void Say(const std::string& text);
void SayBytes(const void* bytes, std::size_t size);
// Standard error, as it stands (progress lines).
void Tell(const std::string& text);
// "bqpack: " and the formatted message as one line on standard error
// (control characters and bytes that are not UTF-8 as \xNN).
void Note(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;
// A failure: a Note; after AnswerFailuresInJson(true), also {"ok": false,
// "error": ...} on standard output unless the command has said something
// there already.
void AnswerFailuresInJson(bool json);
void Complain(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;
// Complains and returns status, for `return Fail(kExitInput, ...)`.
int Fail(int status, const std::string& message);
// A mistake on command's command line: "bqpack COMMAND: PROBLEM (see bqpack
// COMMAND --help)" (the JSON failure says "COMMAND: PROBLEM"); returns
// kExitUsage.
int UsageError(const char* command, const std::string& problem);

// Writes through output_file.h: the bytes go to a new file beside path,
// which replaces path only when complete; on failure path is as it was and
// the failure is complained of.  "-" is standard output.
bool WriteWholeFile(const char* path, const std::uint8_t* data, std::size_t size);

// From now on (out and err given) until CaptureOutput(nullptr, nullptr),
// what would go to standard output and standard error is appended to *out
// and *err; also forgets what was said, and --json.
void CaptureOutput(std::string* out, std::string* err);
