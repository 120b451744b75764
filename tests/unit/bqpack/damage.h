// Test-only: damage done to an installer after it is built, for the tests
// of what the installer and verify make of a damaged package.  A value of
// the package is changed in the image and the image is sealed again (with
// its header checksum), so that the damage is all that is wrong with it,
// as a build that wrote the damaged value would have left it.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "tests/unit/package/seal_again.h"

// One change, as KEY=VALUE, then the seal made again:
//   digest=NAME         the file's digest covers its expanded bytes, not its
//                       stored stream (the installer's digest check fails);
//   chunk=NAME          the file's first compressed chunk gets a literal mode
//                       byte of 2, which no decoder accepts, and its digest
//                       covers the damaged stream (only the expansion fails);
//   config-length=N     the template's length field;
//   file-count=N        the table's FileCount.
// On failure *error says why and the image is left as it was.
bool DamageInstaller(std::vector<std::uint8_t>* image, const std::string& change,
                     std::string* error);
