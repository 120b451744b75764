// Test-only: an image's seal and header checksum made again after a test
// changed its bytes, so that the change is all that is wrong with it, as a
// build that wrote the changed value would have left it.
#pragma once
#include <cstdint>
#include <vector>

// Seals the image again and writes its header checksum; false (and the
// image as it was) when it has no package section to hold the seal.
bool SealImageAgain(std::vector<std::uint8_t>* image);
