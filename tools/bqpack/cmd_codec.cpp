// `bqpack implode` and `bqpack explode`: one raw DCL implode stream (no
// chunk headers) from a file and back.
#include "dcl/dcl_decode.h"
#include "dcl/dcl_encode.h"
#include "tools/bqpack/commands.h"
#include "tools/bqpack/exit_status.h"
#include "tools/bqpack/file_identity.h"
#include "tools/bqpack/input_file.h"
#include "tools/bqpack/io.h"
#include "tools/bqpack/json_text.h"
#include "tools/bqpack/output_file.h"
#include "tools/bqpack/progress.h"
#include "tools/bqpack/text_encoding.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

const char kImplodeUsage[] =
    "usage: bqpack implode [--literals binary|ascii] [--dictionary 1024|2048|4096] [-q] [--json]\n"
    "                      IN OUT\n"
    "\n"
    "Compresses IN into one raw DCL implode stream in OUT (no chunk headers); - as\n"
    "IN or OUT is standard input or output.  A raw stream carries no checksum: a\n"
    "changed byte may expand into wrong bytes without an error (an installer's\n"
    "digests, checked by bqpack verify, are what guard its files).\n"
    "  --literals binary|ascii    literals as plain bytes, or with the fixed ASCII code\n"
    "  --dictionary 1024|2048|4096  how far back matches reach\n"
    "A setting left out is chosen to give the smallest stream; with neither\n"
    "given, the smallest of all six combinations is written.  OUT is written\n"
    "beside its place and moved there when complete, replacing an existing OUT as\n"
    "a compiler replaces its output; it must be a regular file (or a link, which\n"
    "is replaced, not written through) and never IN.\n"
    "  -q, --quiet   no summary or progress on standard error (-v, --verbose: both;\n"
    "                progress shows once the work has taken a second)\n"
    "  --json        the summary as one JSON object on standard output, and a\n"
    "                failure as {\"ok\": false, \"error\": ...}\n"
    "\n" BQPACK_EXIT_STATUS_HELP;

const char kExplodeUsage[] =
    "usage: bqpack explode [--partial] [-q] [--json] IN OUT\n"
    "\n"
    "Expands the raw DCL implode stream in IN into OUT; - as IN or OUT is standard\n"
    "input or output.  Bytes after the stream's end code are ignored, with a\n"
    "warning.  A raw stream carries no checksum: a changed byte may expand into\n"
    "wrong bytes without an error.  OUT is written beside its place and moved\n"
    "there when complete, replacing an existing OUT as a compiler replaces its\n"
    "output; it must be a regular file (or a link, which is replaced, not written\n"
    "through) and never IN.\n"
    "  -q, --quiet  no warning about bytes after the end code and no progress on\n"
    "               standard error (-v, --verbose: both; progress shows once the\n"
    "               work has taken a second)\n"
    "  --json       sizes and bytes after the end code as one JSON object on\n"
    "               standard output, and a failure as {\"ok\": false, \"error\": ...}\n"
    "  --partial   when the stream cannot be expanded, still write the bytes decoded\n"
    "              before the failure to OUT (without it, OUT is left as it was)\n"
    "\n" BQPACK_EXIT_STATUS_HELP
    "When the stream cannot be expanded, the message names the decoder's result and\n"
    "the status is 10 plus that result: 11 bad dictionary size, 12 bad literal mode,\n"
    "13 input too short (4 bytes or fewer), 14 input ended before the end code.\n";

bool WantsHelp(const CommandArgs& args) {
    for (const std::string& a : args)
        if (a == "--help" || a == "-h")
            return true;
    return false;
}

struct Input {
    const std::uint8_t* data;
    std::size_t left;
};

// Explode's output, which grows as the decoder writes it, and the progress
// of the input read.
struct Output {
    Input input;
    std::vector<std::uint8_t> bytes;
    Progress* progress = nullptr; // when shown
    std::uint64_t inputSize = 0;
};

std::uint32_t ReadInput(std::uint8_t* buffer, std::uint32_t* size, void* callerValue) {
    Output& out = *static_cast<Output*>(callerValue);
    Input& in = out.input;
    const std::size_t n = *size < in.left ? *size : in.left;
    if (n > 0)
        std::memcpy(buffer, in.data, n);
    in.data += n;
    in.left -= n;
    if (out.progress)
        out.progress->Update(out.inputSize - in.left, out.inputSize);
    return std::uint32_t(n);
}

void WriteOutput(std::uint8_t* buffer, std::uint32_t* size, void* callerValue) {
    Output& out = *static_cast<Output*>(callerValue);
    out.bytes.insert(out.bytes.end(), buffer, buffer + *size);
}

// Decodes the first length bytes of in, keeping none of the output.
std::uint32_t DecodePrefix(const std::vector<std::uint8_t>& in, std::size_t length,
                           DclState* state) {
    std::uint32_t produced = 0;
    return DclDecodeBuffer(in.data(), std::uint32_t(length), nullptr, 0, state, &produced);
}

// Where the stream in `in`, which decodes to its end code, really ends.  A
// prefix decodes to the end code exactly when it holds the whole end code,
// so the end is the shortest such prefix; nearly always that is the whole
// input, which one decode of all but the last byte shows.
std::size_t StreamEnd(const std::vector<std::uint8_t>& in, DclState* state) {
    std::size_t good = in.size();
    if (DecodePrefix(in, good - 1, state) != DCL_OK)
        return good;
    std::size_t bad = 0;
    good -= 1;
    while (good - bad > 1) {
        const std::size_t mid = bad + (good - bad) / 2;
        if (DecodePrefix(in, mid, state) == DCL_OK)
            good = mid;
        else
            bad = mid;
    }
    return good;
}

// What both commands do once their arguments are read: IN and OUT are
// given, OUT may be written (an output target that is a folder, a device or
// another special file is refused before any work is done), and IN is read
// whole into *in.  Returns the status to end with, or kExitOk to go on.
int OpenInput(const char* command, const char* const files[2], int fileCount, bool json,
              std::vector<std::uint8_t>* in) {
    AnswerFailuresInJson(json);
    if (fileCount < 2)
        return UsageError(command, "expects IN and OUT");
    if (json && std::strcmp(files[1], "-") == 0)
        return UsageError(command, "--json and - as OUT would both write to standard output");
    std::string why;
    if (std::strcmp(files[1], "-") != 0 && !MayReplace(files[1], &why))
        return Fail(kExitOutput, std::string(files[1]) + ": " + why);
    const std::vector<CommandInput> inputs = {{files[0], "IN"}};
    if (const CommandInput* same = InputAt(files[1], inputs))
        return UsageError(command, OutputIsInputMessage(files[1], *same));
    if (!ReadInput(files[0], kMaxInputFile, "one stream's input", in, &why))
        return Fail(kExitInput, std::string(files[0]) + ": " + why);
    return kExitOk;
}

} // namespace

int CmdImplode(const CommandArgs& args) {
    if (WantsHelp(args)) {
        Say(kImplodeUsage);
        return kExitOk;
    }
    const std::size_t count = args.size();
    int mode = -1, dictBits = -1;
    const char* files[2] = {nullptr, nullptr};
    int fileCount = 0;
    bool quiet = false, json = false;
    for (std::size_t i = 0; i < count; ++i) {
        const std::string& a = args[i];
        if (a == "--quiet" || a == "--verbose") {
            quiet = a == "--quiet";
        } else if (a == "--json") {
            json = true;
        } else if (a == "--literals" || a == "--dictionary") {
            if (i + 1 >= count)
                return UsageError("implode", "missing value after " + a);
            const std::string& v = args[++i];
            if ((a[2] == 'l' ? mode : dictBits) >= 0)
                return UsageError("implode", a + " given twice");
            if (a[2] == 'l') {
                if (v == "binary")
                    mode = kDclLiteralsBinary;
                else if (v == "ascii")
                    mode = kDclLiteralsAscii;
                else
                    return UsageError("implode", "--literals takes binary or ascii, not " + v);
            } else {
                if (v == "1024")
                    dictBits = 4;
                else if (v == "2048")
                    dictBits = 5;
                else if (v == "4096")
                    dictBits = 6;
                else
                    return UsageError("implode", "--dictionary takes 1024, 2048 or 4096, not " + v);
            }
        } else if (a.size() > 1 && a[0] == '-') {
            return UsageError("implode", "unknown option " + a);
        } else if (fileCount < 2) {
            files[fileCount++] = a.c_str();
        } else {
            return UsageError("implode", "unexpected argument " + a);
        }
    }
    std::vector<std::uint8_t> in;
    if (int status = OpenInput("implode", files, fileCount, json, &in))
        return status;
    std::vector<std::uint8_t> best;
    std::uint32_t bestMode = 0, bestBits = 0;
    Progress progress(ShownInputText(files[0]), !quiet, std::chrono::seconds(1));
    if (mode < 0 && dictBits < 0) {
        DclEncodeSmallest(
            in.data(), in.size(), &best, &bestMode, &bestBits, nullptr,
            [&](std::uint64_t done, std::uint64_t total) { progress.Update(done, total); });
    } else {
        // One pass over the input for each setting tried.
        const std::uint64_t passes = (mode < 0 ? 2 : 1) * (dictBits < 0 ? 3 : 1);
        std::uint64_t pass = 0;
        std::vector<std::uint8_t> trial;
        for (std::uint32_t m = 0; m <= 1; ++m) {
            for (std::uint32_t b = 4; b <= 6; ++b) {
                if ((mode >= 0 && m != std::uint32_t(mode)) ||
                    (dictBits >= 0 && b != std::uint32_t(dictBits)))
                    continue;
                trial.clear();
                DclEncode(in.data(), in.size(), m, b, &trial,
                          [&](std::uint64_t done, std::uint64_t total) {
                              progress.Update(pass * total + done, passes * total);
                          });
                ++pass;
                if (best.empty() || trial.size() < best.size()) {
                    best.swap(trial);
                    bestMode = m;
                    bestBits = b;
                }
            }
        }
    }
    progress.Finish();
    if (best.empty())
        return Fail(kExitInput, std::string(files[0]) + " is too large for one stream");
    if (!WriteWholeFile(files[1], best.data(), best.size()))
        return kExitOutput;
    const char* literals = bestMode == kDclLiteralsAscii ? "ascii" : "binary";
    if (json)
        Say("{\"ok\": true, \"output\": " + JsonString(ShownInputText(files[1])) +
            ", \"inputSize\": " + std::to_string(in.size()) +
            ", \"outputSize\": " + std::to_string(best.size()) + ", \"literals\": \"" + literals +
            "\", \"dictionary\": " + std::to_string(1u << (bestBits + 6)) + "}\n");
    else if (!quiet)
        Note("%s: %lu bytes -> %lu bytes (%s literals, %u-byte dictionary)", files[1],
             static_cast<unsigned long>(in.size()), static_cast<unsigned long>(best.size()),
             literals, 1u << (bestBits + 6));
    return kExitOk;
}

int CmdExplode(const CommandArgs& args) {
    if (WantsHelp(args)) {
        Say(kExplodeUsage);
        return kExitOk;
    }
    const char* files[2] = {nullptr, nullptr};
    int fileCount = 0;
    bool partial = false, quiet = false, json = false;
    for (const std::string& a : args) {
        if (a == "--partial")
            partial = true;
        else if (a == "--json")
            json = true;
        else if (a == "--quiet" || a == "--verbose")
            quiet = a == "--quiet";
        else if (a.size() > 1 && a[0] == '-')
            return UsageError("explode", "unknown option " + a);
        else if (fileCount == 2)
            return UsageError("explode", "unexpected argument " + a);
        else
            files[fileCount++] = a.c_str();
    }
    std::vector<std::uint8_t> in;
    if (int status = OpenInput("explode", files, fileCount, json, &in))
        return status;
    Progress progress(ShownInputText(files[0]), !quiet, std::chrono::seconds(1));
    Output out{{in.data(), in.size()}, {}, &progress, in.size()};
    std::unique_ptr<DclState> state(new DclState);
    const std::uint32_t result = DclDecode(ReadInput, WriteOutput, state.get(), &out);
    progress.Finish();
    if (result == DCL_OK || partial) {
        if (!WriteWholeFile(files[1], out.bytes.data(), out.bytes.size()))
            return kExitOutput;
    }
    const char* outcome = partial ? "written" : "left as it was";
    switch (result) {
    case DCL_OK: {
        const std::size_t end = StreamEnd(in, state.get());
        if (json)
            Say("{\"ok\": true, \"output\": " + JsonString(ShownInputText(files[1])) +
                ", \"inputSize\": " + std::to_string(in.size()) +
                ", \"outputSize\": " + std::to_string(out.bytes.size()) +
                ", \"bytesAfterEndCode\": " + std::to_string(in.size() - end) + "}\n");
        else if (end < in.size() && !quiet)
            Note("%s: warning: %lu bytes after the end code (at offset %lu) were ignored", files[0],
                 static_cast<unsigned long>(in.size() - end), static_cast<unsigned long>(end));
        return kExitOk;
    }
    case DCL_BAD_DICTIONARY:
        Complain("%s: decoder result 1, bad dictionary size: header byte 1 is %u, not 4, 5 or 6; "
                 "%s %s",
                 files[0], unsigned(in[1]), files[1], outcome);
        break;
    case DCL_BAD_MODE:
        Complain("%s: decoder result 2, bad literal mode: header byte 0 is %u, not 0 or 1; %s %s",
                 files[0], unsigned(in[0]), files[1], outcome);
        break;
    case DCL_SHORT_INPUT:
        Complain("%s: decoder result 3, short input: %lu bytes, a stream needs at least 5; %s %s",
                 files[0], static_cast<unsigned long>(in.size()), files[1], outcome);
        break;
    default:
        if (partial)
            Complain("%s: decoder result 4, input ended before the end code; %s holds the %lu "
                     "bytes decoded before",
                     files[0], files[1], static_cast<unsigned long>(out.bytes.size()));
        else
            Complain("%s: decoder result 4, input ended before the end code, after %lu bytes of "
                     "output; %s left as it was (--partial writes them)",
                     files[0], static_cast<unsigned long>(out.bytes.size()), files[1]);
        break;
    }
    return kExitDecoder + int(result);
}
