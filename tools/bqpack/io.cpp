#include "tools/bqpack/io.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>
#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include "tools/bqpack/exit_status.h"
#include "tools/bqpack/json_text.h"
#include "tools/bqpack/output_file.h"
#include "tools/bqpack/text_encoding.h"

namespace {

bool ComplainInJson = false;
bool SaidSomething = false; // on standard output, by this command
std::string* CapturedOut = nullptr;
std::string* CapturedErr = nullptr;

std::string Formatted(const char* format, va_list args) {
    char text[4096];
    std::vsnprintf(text, sizeof text, format, args);
    return text;
}

void ComplainLine(const std::string& line, const std::string& json) {
    Tell(line);
    if (ComplainInJson && !SaidSomething)
        Say(JsonFailure(json));
}

} // namespace

void SayBytes(const void* bytes, std::size_t size) {
    SaidSomething = true;
    if (CapturedOut != nullptr) {
        CapturedOut->append(static_cast<const char*>(bytes), size);
        return;
    }
#ifdef _WIN32
    _setmode(_fileno(stdout), _O_BINARY);
#endif
    // A failed write is found when standard output is closed (main).
    std::fwrite(bytes, 1, size, stdout);
}

void Say(const std::string& text) {
    SayBytes(text.data(), text.size());
}

void Tell(const std::string& text) {
    if (CapturedErr != nullptr) {
        *CapturedErr += text;
        return;
    }
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fflush(stderr);
}

void Note(const char* format, ...) {
    va_list args;
    va_start(args, format);
    const std::string message = Formatted(format, args);
    va_end(args);
    Tell("bqpack: " + ShownInputText(message) + "\n");
}

void AnswerFailuresInJson(bool json) {
    ComplainInJson = json;
}

void Complain(const char* format, ...) {
    va_list args;
    va_start(args, format);
    const std::string message = ShownInputText(Formatted(format, args));
    va_end(args);
    ComplainLine("bqpack: " + message + "\n", message);
}

int Fail(int status, const std::string& message) {
    Complain("%s", message.c_str());
    return status;
}

int UsageError(const char* command, const std::string& problem) {
    const std::string message = std::string(command) + ": " + ShownInputText(problem);
    ComplainLine("bqpack " + message + " (see bqpack " + command + " --help)\n", message);
    return kExitUsage;
}

bool WriteWholeFile(const char* path, const std::uint8_t* data, std::size_t size) {
    if (std::strcmp(path, "-") == 0) {
        SayBytes(data, size);
        return true;
    }
    std::string why;
    if (WriteOutputFile(path, data, size, &why))
        return true;
    Complain("%s: %s", path, why.c_str());
    return false;
}

void CaptureOutput(std::string* out, std::string* err) {
    CapturedOut = out;
    CapturedErr = err;
    SaidSomething = false;
    ComplainInJson = false;
}
