// `bqpack implode` and `bqpack explode`: one raw DCL implode stream (no
// chunk headers) from a file and back.
#include "package/dcl_decode.h"
#include "package/dcl_encode.h"
#include "tools/bqpack/commands.h"
#include "tools/bqpack/exit_status.h"
#include "tools/bqpack/io.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

namespace {

const char kImplodeUsage[] =
    "usage: bqpack implode [--literals binary|ascii] [--dictionary 1024|2048|4096] IN OUT\n"
    "\n"
    "Compresses IN into one raw DCL implode stream in OUT (no chunk headers).\n"
    "  --literals binary|ascii    literals as plain bytes, or with the fixed ASCII code\n"
    "  --dictionary 1024|2048|4096  how far back matches reach\n"
    "A setting left out is chosen to give the smallest stream; with neither\n"
    "given, the smallest of all six combinations is written.\n"
    "\n" BQPACK_EXIT_STATUS_HELP;

const char kExplodeUsage[] =
    "usage: bqpack explode IN OUT\n"
    "\n"
    "Expands the raw DCL implode stream in IN into OUT.\n"
    "\n" BQPACK_EXIT_STATUS_HELP
    "When the stream cannot be expanded, the status is 10 plus the decoder's result:\n"
    "  11 bad dictionary size, 12 bad literal mode, 13 input too short (4 bytes or\n"
    "  fewer), 14 input ended before the end code (OUT holds the bytes decoded before it).\n";

bool WantsHelp(int argc, char** argv) {
    for (int i = 0; i < argc; ++i)
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0)
            return true;
    return false;
}

int Usage(const char* usage, const char* problem, const char* detail) {
    Complain("%s%s (see bqpack %s --help)", problem, detail,
             usage == kImplodeUsage ? "implode" : "explode");
    return kExitUsage;
}

struct Input {
    const std::uint8_t* data;
    std::size_t left;
};

struct Output {
    Input input;
    std::vector<std::uint8_t> bytes;
};

std::uint32_t ReadInput(std::uint8_t* buffer, std::uint32_t* size, void* callerValue) {
    Input& in = static_cast<Output*>(callerValue)->input;
    const std::size_t n = *size < in.left ? *size : in.left;
    if (n > 0)
        std::memcpy(buffer, in.data, n);
    in.data += n;
    in.left -= n;
    return std::uint32_t(n);
}

void WriteOutput(std::uint8_t* buffer, std::uint32_t* size, void* callerValue) {
    std::vector<std::uint8_t>& out = static_cast<Output*>(callerValue)->bytes;
    out.insert(out.end(), buffer, buffer + *size);
}

} // namespace

int CmdImplode(int argc, char** argv) {
    if (WantsHelp(argc, argv)) {
        std::fputs(kImplodeUsage, stdout);
        return kExitOk;
    }
    int mode = -1, dictBits = -1;
    const char* files[2] = {nullptr, nullptr};
    int fileCount = 0;
    for (int i = 0; i < argc; ++i) {
        const char* a = argv[i];
        if (std::strcmp(a, "--literals") == 0 || std::strcmp(a, "--dictionary") == 0) {
            if (i + 1 >= argc)
                return Usage(kImplodeUsage, "missing value after ", a);
            const char* v = argv[++i];
            if (a[2] == 'l') {
                if (std::strcmp(v, "binary") == 0)
                    mode = DCL_LITERALS_BINARY;
                else if (std::strcmp(v, "ascii") == 0)
                    mode = DCL_LITERALS_ASCII;
                else
                    return Usage(kImplodeUsage, "--literals takes binary or ascii, not ", v);
            } else {
                if (std::strcmp(v, "1024") == 0)
                    dictBits = 4;
                else if (std::strcmp(v, "2048") == 0)
                    dictBits = 5;
                else if (std::strcmp(v, "4096") == 0)
                    dictBits = 6;
                else
                    return Usage(kImplodeUsage, "--dictionary takes 1024, 2048 or 4096, not ", v);
            }
        } else if (a[0] == '-' && a[1] != '\0') {
            return Usage(kImplodeUsage, "unknown option ", a);
        } else if (fileCount < 2) {
            files[fileCount++] = a;
        } else {
            return Usage(kImplodeUsage, "unexpected argument ", a);
        }
    }
    if (fileCount < 2)
        return Usage(kImplodeUsage, "expects IN and OUT", "");

    std::vector<std::uint8_t> in;
    if (!ReadWholeFile(files[0], &in))
        return kExitInput;
    std::vector<std::uint8_t> best;
    std::uint32_t bestMode = 0, bestBits = 0;
    if (mode < 0 && dictBits < 0) {
        DclEncodeSmallest(in.data(), in.size(), &best, &bestMode, &bestBits);
    } else {
        std::vector<std::uint8_t> trial;
        for (std::uint32_t m = 0; m <= 1; ++m) {
            for (std::uint32_t b = 4; b <= 6; ++b) {
                if ((mode >= 0 && m != std::uint32_t(mode)) ||
                    (dictBits >= 0 && b != std::uint32_t(dictBits)))
                    continue;
                trial.clear();
                DclEncode(in.data(), in.size(), m, b, &trial);
                if (best.empty() || trial.size() < best.size()) {
                    best.swap(trial);
                    bestMode = m;
                    bestBits = b;
                }
            }
        }
    }
    if (best.empty()) {
        Complain("%s is too large for one stream", files[0]);
        return kExitInput;
    }
    if (!WriteWholeFile(files[1], best.data(), best.size()))
        return kExitOutput;
    std::printf("%s: %lu bytes -> %lu bytes (%s literals, %u-byte dictionary)\n", files[1],
                static_cast<unsigned long>(in.size()), static_cast<unsigned long>(best.size()),
                bestMode == DCL_LITERALS_ASCII ? "ascii" : "binary", 1u << (bestBits + 6));
    return kExitOk;
}

int CmdExplode(int argc, char** argv) {
    if (WantsHelp(argc, argv)) {
        std::fputs(kExplodeUsage, stdout);
        return kExitOk;
    }
    const char* files[2] = {nullptr, nullptr};
    int fileCount = 0;
    for (int i = 0; i < argc; ++i) {
        if (argv[i][0] == '-' && argv[i][1] != '\0')
            return Usage(kExplodeUsage, "unknown option ", argv[i]);
        if (fileCount == 2)
            return Usage(kExplodeUsage, "unexpected argument ", argv[i]);
        files[fileCount++] = argv[i];
    }
    if (fileCount < 2)
        return Usage(kExplodeUsage, "expects IN and OUT", "");

    std::vector<std::uint8_t> in;
    if (!ReadWholeFile(files[0], &in))
        return kExitInput;
    Output out{{in.data(), in.size()}, {}};
    std::unique_ptr<DclState> state(new DclState);
    const std::uint32_t result = DclDecode(ReadInput, WriteOutput, state.get(), &out);
    // After a failure OUT still receives what was decoded before it.
    if (!WriteWholeFile(files[1], out.bytes.data(), out.bytes.size()))
        return kExitOutput;
    switch (result) {
    case DCL_OK:
        return kExitOk;
    case DCL_BAD_DICTIONARY:
        Complain("%s: bad dictionary size: header byte 1 is %u, not 4, 5 or 6", files[0],
                 unsigned(in[1]));
        break;
    case DCL_BAD_MODE:
        Complain("%s: bad literal mode: header byte 0 is %u, not 0 or 1", files[0],
                 unsigned(in[0]));
        break;
    case DCL_SHORT_INPUT:
        Complain("%s: short input: %lu bytes, a stream needs at least 5", files[0],
                 static_cast<unsigned long>(in.size()));
        break;
    default:
        Complain("%s: input ended before the end code; %s holds the %lu bytes decoded before",
                 files[0], files[1], static_cast<unsigned long>(out.bytes.size()));
        break;
    }
    return kExitDecoder + int(result);
}
