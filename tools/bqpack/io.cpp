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

#include "tools/bqpack/input_file.h"
#include "tools/bqpack/json_text.h"
#include "tools/bqpack/output_file.h"
#include "tools/bqpack/text_encoding.h"

namespace {
bool ComplainInJson = false;
} // namespace

void AnswerFailuresInJson(bool json) {
    ComplainInJson = json;
}

void Complain(const char* format, ...) {
    char text[4096];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    const std::string shown = ShownInputText(text);
    std::fprintf(stderr, "bqpack: %s\n", shown.c_str());
    if (ComplainInJson)
        std::fputs(JsonFailure(shown).c_str(), stdout);
}

bool ReadWholeFile(const char* path, std::vector<std::uint8_t>* data) {
    int error = 0;
    const InputRead outcome = ReadInputFile(path, kMaxInputFile, data, &error);
    if (outcome == InputRead::Ok)
        return true;
    if (outcome == InputRead::CannotOpen)
        Complain("cannot open %s: %s", path, std::strerror(error));
    else
        Complain("%s: %s", path, InputProblem(outcome, error, kMaxInputFile).c_str());
    return false;
}

bool WriteWholeFile(const char* path, const std::uint8_t* data, std::size_t size) {
    if (std::strcmp(path, "-") == 0) {
        // Standard output: a failed write is found when it is closed (main).
#ifdef _WIN32
        _setmode(_fileno(stdout), _O_BINARY);
#endif
        std::fwrite(data, 1, size, stdout);
        return true;
    }
    std::string why;
    if (WriteOutputFile(path, data, size, &why))
        return true;
    Complain("%s: %s", path, why.c_str());
    return false;
}
