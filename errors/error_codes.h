// The error codes and module numbers that the programs record (their
// places: errors/error_places.h).
#pragma once
#include <cstdint>

enum : std::uint32_t {
    MODULE_FILE_IO32 = 200,
    MODULE_FILE_UNPACK = 16002,
};

// The installer's codes, and the catalogue's test code (kErrTest).
enum : std::uint32_t {
    kErrTest = 0x20000003,
    ERR_CREATE_DIRECTORY = 0x200008A3,
    ERR_CREATE_FILE = 0x20001036,
    ERR_EXPAND = 0x20001037,
    ERR_CREATE_FOLDER = 0x20001038,
    ERR_DIGEST_MISMATCH = 0x20001039,
    ERR_NO_MEMORY = 0x2000103A,
    ERR_WRITE_FILE = 0x2000103B,
    ERR_CONFIG_LENGTH = 0x2000103C,
    ERR_START_ENGINE = 0x2000103D,
    ERR_WAIT_TIMEOUT = 0x20001041,
};

// The credential tool's web page launcher (module WebLaunch).
enum : std::uint32_t {
    ERR_REGISTRY_KEY_MISSING = 0x2000006A, // %1 = key path \ value name
    ERR_UNABLE_TO_VIEW = 0x200008E8,       // %1 = shell result, %2 = address
};
