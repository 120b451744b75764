// Finding the package of a setup image that has no anchor (an installer
// linked with its package the old way): the table is the record, aligned on
// the pointer width, that scores best by the blob markers its FileData
// pointers lead to and the texts its pointers lead to; the configuration
// template is the "YYYinzYYY" marker outside the blobs whose fixed fields
// look as the builder leaves them.  Used by the image reader only when the
// anchor is missing.  Portable: no platform headers.
#pragma once
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "package/pe_image.h"

// Virtual addresses just past every "XXX" and NUL in the image's data,
// sorted: the places a FileData pointer may lead to.
std::vector<std::uint64_t> MarkerEnds(const PeImage& image);
bool IsMarkerEnd(const std::vector<std::uint64_t>& ends, std::uint64_t va);

// The best-scoring record as the package table; false when no record can be it.
bool FindTable(const PeImage& image, const std::vector<std::uint64_t>& ends,
               std::uint64_t* tableVa);

// The configuration template's marker outside the excluded (start, length)
// extents of the blobs; fails with a reason when there is none or more than
// one alike.
bool FindConfig(const PeImage& image,
                const std::vector<std::pair<std::uint64_t, std::uint32_t>>& excluded,
                std::uint64_t* configVa, std::string* error);
