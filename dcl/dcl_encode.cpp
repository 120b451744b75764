// DCL implode encoder.
//
// The codes of the format are fixed, so the exact cost in bits of every
// literal and every (length, distance) pair is known in advance and the
// smallest stream is a shortest path over the input positions:
//
// 1. The match search gives every position, for every length, the nearest
//    distance within 4096 bytes that reaches it.  A distance code never
//    costs more than the code of a farther distance, so the nearest
//    distance is also the cheapest one for that length.  Length 2 comes from
//    the newest position of each byte pair, length 3 from a chain per hash
//    of three bytes; longer lengths from binary trees (one per hash of the
//    leading four bytes, each ordered by the suffixes' bytes and by recency
//    from the root down), whose walk meets the candidates from the nearest
//    to the farthest and records each time a longer match appears.
//    Positions inside runs of one byte value, where such trees grow deep,
//    are searched apart (see FindMatches).  Lengths 2 to 9 go to one vector
//    per position, longer ones to a list of pairs.
// 2. A backward dynamic programme computes the cheapest cost from every
//    position to the end, for all six settings at once (one 16-bit lane
//    each, all in one vector).  Lengths 2 to 9 are priced each, without
//    branches.  Longer lengths that share a length code (and hence a cost)
//    and a distance form a range; the cheapest position to jump to inside
//    such a range comes from a sparse table of range minima, so a long
//    match costs a handful of steps instead of one per length.
// 3. The path of the wanted setting is followed forward, picking at each
//    position an item whose cost plus the cost of the rest equals the cost
//    from here, and written out bit by bit.
//
// Inputs are parsed in blocks of 1 MiB positions (a chunk is always one
// block); matches reach back across block ends but never run past them.
#include "dcl/dcl_encode.h"

#include "dcl/dcl_codes.h"

#include <algorithm>
#include <cstring>
#include <memory>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

// The vector helpers below are file-local and inline: the note that passing
// vectors without SSE (the 32-bit Windows build) changes the calling
// convention does not concern them.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wpsabi"
#endif

namespace {

constexpr std::uint32_t kMinMatch = 2;
constexpr std::uint32_t kMaxMatch = 518;
constexpr std::uint32_t kWindow = 4096;      // farthest distance of the largest dictionary
constexpr std::uint32_t kMaxShortDist = 256; // farthest distance of a length-2 match
constexpr std::uint32_t kTreeSlots = 8192;   // > kWindow: a node in reach is never overwritten
constexpr int kHashBits = 14;              // tree and triple tables: small enough to stay in cache
constexpr std::uint32_t kSearchDepth = 48; // bound on tree steps per position
constexpr std::size_t kBlock = std::size_t(1) << 20; // positions parsed at once
constexpr std::size_t kMaxInput = 0xFFFF0000u;       // positions are 32-bit

// Four bytes as one number, the first byte lowest, and back: the stream's
// byte order, whatever the host's.
inline std::uint32_t FourBytes(const std::uint8_t* p) {
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
           std::uint32_t(p[3]) << 24;
}

inline void PutFourBytes(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        p[i] = std::uint8_t(v >> (8 * i));
}
// Added to the cost of a distance that a dictionary does not reach: far
// above any real choice, yet small enough for the 16-bit relative costs.
constexpr std::int16_t kUnreachable = 16384;
// Cost of the positions past a block's end: above every real cost near the
// end, and small enough that kUnreachable can be added to it.
constexpr std::int16_t kPast = 8192;
constexpr int kLevels = 8;               // sparse table rows 0..7: ranges up to 255 lengths
constexpr int kPadding = 256;            // positions past a block's end in every row
constexpr std::uint32_t kRing = 1024;    // positions kept of rows 1..7: a match reaches 518 ahead
constexpr std::uint32_t kFirstLong = 10; // lengths 2..9 each have a code of their own
constexpr int kSettings = 6;             // lane = literal mode * 3 + dictionary bits - 4
constexpr std::size_t kLeastStream = 5;  // the decoder refuses 4 bytes or fewer

// Costs of the six settings travel together as eight 16-bit lanes, one
// vector register on every x86 machine (GCC's generic lowering elsewhere).
// Stored costs are kept modulo 2^16 (Abs); the costs that the parse
// compares all lie within a few thousand bits of each other, so each is
// taken relative to a nearby stored cost (Rel), where it is small and the
// signed minimum is exact.  Only the running total per lane needs more bits.
typedef std::uint16_t Abs __attribute__((vector_size(16)));
typedef std::int16_t Rel __attribute__((vector_size(16)));
constexpr int kLanes = 8;

inline Rel Min(Rel a, Rel b) {
    return a < b ? a : b;
}
inline Rel Splat(std::int16_t v) {
    return Rel{v, v, v, v, v, v, v, v};
}
inline Rel Minus(Abs a, Abs b) {
    return Rel(a - b);
}
inline Abs Plus(Abs a, Rel b) {
    return a + Abs(b);
}

int Lane(std::uint32_t mode, std::uint32_t dictBits) {
    return int(mode * 3 + dictBits - 4);
}

// Length code index of every match length 2..518, the cost of the length
// part of a match item (flag, length code, extra bits) and those bits
// themselves, first bit in bit 0 (at most 16).
struct LengthTable {
    std::uint8_t index[kMaxMatch + 1];
    std::uint16_t last[16]; // longest length of each code
    std::int32_t cost[kMaxMatch + 1];
    std::uint16_t bits[kMaxMatch + 1];
    LengthTable() {
        std::memset(index, 0, sizeof index);
        std::memset(cost, 0, sizeof cost);
        std::memset(bits, 0, sizeof bits);
        for (std::uint32_t i = 0; i < 16; ++i) {
            const DclLengthCode& c = kDclLengthCodes[i];
            std::uint32_t first = c.base + 2;
            std::uint32_t end = std::min<std::uint32_t>(first + (1u << c.extraBits), kMaxMatch + 1);
            for (std::uint32_t len = first; len < end; ++len) {
                index[len] = std::uint8_t(i);
                cost[len] = 1 + c.bits + c.extraBits;
                bits[len] = std::uint16_t(1 | c.code << 1 | (len - first) << (1 + c.bits));
            }
            last[i] = std::uint16_t(end - 1);
        }
    }
};
const LengthTable kLength;

// Bit costs per setting lane that depend on the byte or the distance.  The
// two spare lanes copy the binary-literal, 4096-byte setting.
struct LaneCosts {
    Rel literal[256];
    Rel distance[kWindow + 1];        // distance code and low bits of matches of 3 or more
    Rel shortItem[kMaxShortDist + 1]; // a whole match of length 2 (alike in all lanes)
    Rel shortLength[kFirstLong];      // flag, length code and extra bits of 3..9
    LaneCosts() {
        for (std::uint32_t len = kMinMatch; len < kFirstLong; ++len)
            shortLength[len] = Splat(std::int16_t(kLength.cost[len]));
        for (std::uint32_t b = 0; b < 256; ++b)
            for (int lane = 0; lane < kLanes; ++lane)
                literal[b][lane] =
                    std::int16_t(1 + (lane >= 3 && lane < kSettings ? kDclAsciiBits[b] : 8));
        distance[0] = Splat(kUnreachable);
        for (std::uint32_t d = 1; d <= kWindow; ++d) {
            for (int lane = 0; lane < kLanes; ++lane) {
                const std::uint32_t bits = lane < kSettings ? 4 + lane % 3 : 6;
                distance[d][lane] =
                    std::int16_t(d <= (1u << (bits + 6)) ? kDclDistanceBits[(d - 1) >> bits] + bits
                                                         : kUnreachable);
            }
        }
        shortItem[0] = Splat(kUnreachable);
        for (std::uint32_t d = 1; d <= kMaxShortDist; ++d)
            shortItem[d] =
                Splat(std::int16_t(kLength.cost[kMinMatch] + kDclDistanceBits[(d - 1) >> 2] + 2));
    }
};

const LaneCosts& Costs() {
    static const LaneCosts costs;
    return costs;
}

// Nearest distance of each length 2..9 at one position; 0 for none.
typedef std::uint16_t Near __attribute__((vector_size(16)));

// Matches of the positions of one block: near[p] for the short lengths, and
// for lengths of kFirstLong and more pairs[start[p] .. start[p+1]) holding
// (length << 16 | distance) with rising lengths; lengths above the previous
// pair's length (from kFirstLong) up to this pair's length are reached at
// this pair's distance at the nearest.
struct Matches {
    std::unique_ptr<Near[]> near;
    std::size_t capacity = 0;
    std::vector<std::uint32_t> start;
    std::vector<std::uint32_t> pairs;
};

// Binary-tree match finder over the whole input; state carries across
// blocks.  The tables store positions plus base, which each input raises
// past the previous input's by more than the window: what an earlier input
// left (or the initial zeros) is then always out of reach, so the tables
// are not cleared between inputs.
struct MatchFinder {
    const std::uint8_t* in = nullptr;
    std::uint32_t size = 0;
    std::uint32_t base = 0;
    std::uint32_t end = 0;                  // base + size of the last input
    std::vector<std::uint32_t> head;        // newest position of each tree (Hash4, HashRun)
    std::vector<std::uint32_t> pairHead;    // newest position of each leading byte pair
    std::vector<std::uint32_t> tripleHead;  // newest position of each leading 3 bytes' hash
    std::vector<std::uint32_t> tripleChain; // per slot: the previous one of the same hash
    std::vector<std::uint32_t> son;         // per slot: smaller subtree, larger subtree
    // Runs of one byte value of 4 or more, per value, the newest last and
    // each longer than every newer one: (end as stored, length).
    std::vector<std::pair<std::uint32_t, std::uint32_t>> runs[256];
    std::uint32_t runEnd = 0; // end of the run the last position is in
};

void InitFinder(const std::uint8_t* in, std::size_t size, MatchFinder* f) {
    f->in = in;
    f->size = std::uint32_t(size);
    if (f->head.empty() || std::uint64_t(f->end) + kWindow + 1 + size > 0xFFFFFFFFu) {
        f->head.assign(std::size_t(1) << kHashBits, 0);
        f->pairHead.assign(65536, 0);
        f->tripleHead.assign(std::size_t(1) << kHashBits, 0);
        f->tripleChain.assign(kTreeSlots, 0);
        f->son.assign(2 * kTreeSlots, 0);
        f->end = 0;
    }
    f->base = f->end + kWindow + 1;
    f->end = f->base + f->size;
    for (auto& r : f->runs)
        r.clear();
    f->runEnd = 0;
}

// Length of the common prefix of a and b, from `len` up to `limit`.
inline std::uint32_t CommonLength(const std::uint8_t* a, const std::uint8_t* b, std::uint32_t len,
                                  std::uint32_t limit) {
#if defined(__SSE2__)
    // 16 bytes at a time: most matches end within the first 16.
    while (len + 16 <= limit) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + len));
        const __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + len));
        const std::uint32_t equal = std::uint32_t(_mm_movemask_epi8(_mm_cmpeq_epi8(x, y)));
        if (equal != 0xFFFF)
            return len + std::uint32_t(__builtin_ctz(~equal));
        len += 16;
    }
#endif
    while (len + 8 <= limit) {
        std::uint64_t x, y;
        std::memcpy(&x, a + len, 8);
        std::memcpy(&y, b + len, 8);
        const std::uint64_t diff = x ^ y;
        if (diff != 0) {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
            return len + std::uint32_t(__builtin_clzll(diff) >> 3);
#else
            return len + std::uint32_t(__builtin_ctzll(diff) >> 3);
#endif
        }
        len += 8;
    }
    while (len < limit && a[len] == b[len])
        ++len;
    return len;
}

// Tree of a position: a hash of its first three bytes.
inline std::uint32_t Hash3(const std::uint8_t* p) {
    const std::uint32_t v =
        std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16;
    return (v * 2654435761u) >> (32 - kHashBits);
}
// Tree of a position inside a run: its byte value and how many of them
// follow from it.
inline std::uint32_t HashRun(std::uint32_t value, std::uint32_t length) {
    return ((value << 10 | length) * 2654435761u) >> (32 - kHashBits);
}
// Tree of other positions: a hash of their first four bytes, loaded in
// either byte order (equal bytes give equal hashes all the same).
inline std::uint32_t Hash4(std::uint32_t four) {
    return (four * 2654435761u) >> (32 - kHashBits);
}

// Every lane set to d (below 2^16).  Made from two copies in 32 bits: GCC
// makes a vector of one 16-bit variable by storing it and loading it back
// wider, a load the store cannot forward, which stalls each tree step.
inline Near SplatNear(std::uint32_t d) {
    typedef std::uint32_t Quad __attribute__((vector_size(16)));
    const std::uint32_t two = d | d << 16;
    return Near(Quad{two, two, two, two});
}

// What the search has found so far at one position: the short lengths'
// distances, the best length and the count of long pairs.
struct Found {
    Near near;
    std::uint32_t best;
    std::uint32_t count;
};

// Lengths found->best + 1 .. len (as far as the block reaches) are reached at
// distance d at the nearest.
inline void Record(Found* found, std::uint32_t len, std::uint32_t d, std::uint32_t reportLimit,
                   const Near* upTo, std::uint32_t* longs) {
    const std::uint32_t reach = std::min(len, reportLimit);
    if (reach <= found->best)
        return;
    const Near mask =
        upTo[std::min(reach, kFirstLong - 1)] & ~upTo[std::min(found->best, kFirstLong - 1)];
    found->near = (found->near & ~mask) | (SplatNear(d) & mask);
    if (reach >= kFirstLong)
        longs[found->count++] = reach << 16 | d;
    found->best = reach;
}

// Inserts positions begin..end-1 into the trees and records their matches,
// which never run past end (the block's end).
void FindMatches(MatchFinder* f, std::uint32_t begin, std::uint32_t end, Matches* m) {
    // Locals, not members: the tree stores could otherwise alias them.
    const std::uint8_t* in = f->in;
    const std::uint32_t size = f->size, base = f->base;
    std::uint32_t* son = f->son.data();
    std::uint32_t* head = f->head.data();
    std::uint32_t* pairHead = f->pairHead.data();
    std::uint32_t* tripleHead = f->tripleHead.data();
    std::uint32_t* tripleChain = f->tripleChain.data();
    std::uint32_t runEnd = f->runEnd;
    m->start.resize(end - begin + 1);
    // Pairs of long matches: each step may store one, counted only when it
    // is one, so there is always room for a position's steps.
    std::uint32_t* longs = m->pairs.data();
    std::size_t room = m->pairs.size();
    std::uint32_t count = 0;
    if (end - begin > m->capacity) {
        m->near.reset(new Near[end - begin]);
        m->capacity = end - begin;
    }
    std::uint32_t* start = m->start.data();
    Near* nearOut = m->near.get();
    // upTo[len]: the lanes of lengths 2..len.
    Near upTo[kFirstLong];
    for (std::uint32_t len = 0; len < kFirstLong; ++len)
        for (std::uint32_t lane = 0; lane < 8; ++lane)
            upTo[len][lane] = lane + kMinMatch <= len ? 0xFFFF : 0;
    for (std::uint32_t cur = begin; cur < end; ++cur) {
        start[cur - begin] = count;
        if (room < count + kMaxMatch + kSearchDepth) {
            m->pairs.resize(2 * (count + kMaxMatch + kSearchDepth));
            longs = m->pairs.data();
            room = m->pairs.size();
        }
        Near near = {0, 0, 0, 0, 0, 0, 0, 0};
        if (size - cur < kMinMatch) {
            nearOut[cur - begin] = near;
            continue; // too close to the end to start or to be a match
        }
        if (size - cur >= 5) {
            // The next position's table entries, fetched while this one
            // is searched: they are spread over a few hundred KiB.
            const std::uint8_t* next = in + cur + 1;
            __builtin_prefetch(&pairHead[std::uint32_t(next[0]) | std::uint32_t(next[1]) << 8]);
            __builtin_prefetch(&tripleHead[Hash3(next)]);
            std::uint32_t nextFour;
            std::memcpy(&nextFour, next, 4);
            __builtin_prefetch(&head[Hash4(nextFour)]);
        }
        const std::uint32_t lenLimit = std::min(kMaxMatch, size - cur);
        const std::uint32_t reportLimit = std::min(kMaxMatch, end - cur);
        const std::uint32_t at = base + cur; // as the tables store it
        const std::uint32_t key2 = std::uint32_t(in[cur]) | std::uint32_t(in[cur + 1]) << 8;
        const std::uint32_t d2 = at - pairHead[key2];
        pairHead[key2] = at;
        // The nearest occurrence of the leading pair gives length 2, that
        // of the leading three bytes length 3 (a chain per hash, whose
        // first entry nearly always has the same bytes); the tree, longer
        // lengths.
        const std::uint32_t shortOk = (d2 <= kMaxShortDist) & (reportLimit >= kMinMatch);
        near[0] = std::uint16_t(d2 & (0 - shortOk));
        if (size - cur < 3) {
            nearOut[cur - begin] = near;
            continue;
        }
        const std::uint8_t* pc = in + cur;
        const std::uint32_t key3 = Hash3(pc);
        std::uint32_t near3 = tripleHead[key3];
        tripleHead[key3] = at;
        tripleChain[at & (kTreeSlots - 1)] = near3;
        if (size - cur >= 4) {
            // The three bytes as the low ones of a 32-bit read: a
            // candidate is older, so its fourth byte is inside the input.
            const std::uint32_t three = FourBytes(pc) & 0xFFFFFF;
            while (at - near3 <= kWindow && (FourBytes(in + (near3 - base)) & 0xFFFFFF) != three)
                near3 = tripleChain[near3 & (kTreeSlots - 1)];
        } else {
            while (at - near3 <= kWindow && std::memcmp(in + (near3 - base), pc, 3) != 0)
                near3 = tripleChain[near3 & (kTreeSlots - 1)];
        }
        const std::uint32_t d3 = at - near3;
        const std::uint32_t tripleOk = (d3 <= kWindow) & (reportLimit >= 3);
        near[1] = std::uint16_t(d3 & (0 - tripleOk));
        if (size - cur < 4) {
            nearOut[cur - begin] = near;
            continue;
        }
        // Runs: a position inside a run of r equal bytes matches every
        // other position of such runs for min(r, r') bytes, and longer only
        // where r' = r.  So the nearest distance of lengths up to r is 1
        // inside a run, and at its start comes from the newest earlier run
        // long enough; only positions with the same r share a tree (one per
        // byte value and r), and need no tree when nothing longer can follow.
        // Other positions never match a run position for 4 bytes.
        std::uint32_t best = 3;
        std::uint32_t four;
        std::memcpy(&four, pc, 4);
        std::uint32_t key;
        if (four == (four & 0xFF) * 0x01010101u) {
            if (cur >= runEnd) {
                runEnd = cur + 4;
                while (runEnd < size && in[runEnd] == in[cur])
                    ++runEnd;
            }
            const std::uint32_t run = std::min(runEnd - cur, lenLimit);
            const std::uint32_t value = in[cur];
            auto& runs = f->runs[value];
            Found found{near, best, count};
            if (cur > 0 && in[cur - 1] == value) {
                Record(&found, run, 1, reportLimit, upTo, longs);
            } else {
                for (std::size_t r = runs.size(); r-- > 0 && found.best < run;) {
                    const std::uint32_t past = runs[r].first, runLength = runs[r].second;
                    for (std::uint32_t len = found.best + 1; len <= std::min(runLength, run);
                         ++len) {
                        const std::uint32_t d = at - past + len;
                        if (d > kWindow)
                            break;
                        Record(&found, len, d, reportLimit, upTo, longs);
                    }
                    if (found.best < std::min(runLength, run))
                        break; // the rest is out of reach
                }
                while (!runs.empty() && runs.back().second <= runEnd - cur)
                    runs.pop_back();
                runs.emplace_back(at + (runEnd - cur), runEnd - cur);
            }
            near = found.near;
            best = found.best;
            count = found.count;
            if (run == lenLimit) {
                nearOut[cur - begin] = near;
                continue; // as long as a match can be
            }
            key = HashRun(value, run);
        } else {
            key = Hash4(four);
        }
        std::uint32_t cand = head[key];
        head[key] = at;
        std::uint32_t* lessSlot = &son[2 * (at & (kTreeSlots - 1))];
        std::uint32_t* greaterSlot = lessSlot + 1;
        // Nodes of one tree may differ from the first byte on (the hash
        // joins some keys), so no common prefix is known yet.
        std::uint32_t lessLen = 0;
        std::uint32_t greaterLen = 0;
        for (std::uint32_t depth = kSearchDepth;; --depth) {
            if (at - cand > kWindow || depth == 0) {
                *lessSlot = *greaterSlot = 0;
                break;
            }
            const std::uint8_t* pb = in + (cand - base);
            const std::uint32_t len = CommonLength(pb, pc, std::min(lessLen, greaterLen), lenLimit);
            // A longer match: its distance is the nearest for the lengths
            // above the best so far.  Written without branches (a longer
            // match turns up about every other step).
            const std::uint32_t longer = (len > best) & (best < reportLimit);
            const std::uint32_t reach = std::min(len, reportLimit);
            const std::uint32_t d = at - cand;
            const std::uint32_t low = std::min(best, kFirstLong - 1);
            const std::uint32_t high = longer ? std::min(reach, kFirstLong - 1) : low;
            const Near mask = upTo[high] & ~upTo[low];
            near = (near & ~mask) | (SplatNear(d) & mask);
            longs[count] = reach << 16 | d;
            count += longer & (reach >= kFirstLong);
            best = longer ? len : best;
            std::uint32_t* pair = &son[2 * (cand & (kTreeSlots - 1))];
            if (len == lenLimit) {
                // Equal as far as the tree compares: the new position takes
                // the old one's place and subtrees.
                *lessSlot = pair[0];
                *greaterSlot = pair[1];
                break;
            }
            if (pb[len] < pc[len]) {
                *lessSlot = cand;
                lessSlot = pair + 1;
                cand = *lessSlot;
                lessLen = len;
            } else {
                *greaterSlot = cand;
                greaterSlot = pair;
                cand = *greaterSlot;
                greaterLen = len;
            }
        }
        nearOut[cur - begin] = near;
    }
    start[end - begin] = count;
    f->runEnd = runEnd;
}

// Calls visit(from, to, distance, cost) for every range of lengths from
// kFirstLong of position i that one item cost covers: per pair, the lengths
// it adds split by length code.  cost is the item's cost in the lanes (far
// too high where the distance is out of the dictionary's reach).
template <typename Visit>
inline void ForEachLongRange(const Matches& m, std::uint32_t i, const LaneCosts& c, Visit visit) {
    std::uint32_t from = kFirstLong;
    for (std::uint32_t j = m.start[i]; j < m.start[i + 1]; ++j) {
        const std::uint32_t len = m.pairs[j] >> 16;
        const std::uint32_t d = m.pairs[j] & 0xFFFF;
        const Rel dc = c.distance[d];
        while (from <= len) {
            const std::uint32_t to =
                std::min<std::uint32_t>(kLength.last[kLength.index[from]], len);
            visit(from, to, d, dc + std::int16_t(kLength.cost[from]));
            from = to + 1;
        }
    }
}

// Cost of the item of length len (2..9) at distance d (0: none, far too
// high) in the lanes.
inline Rel ShortItem(const LaneCosts& c, std::uint32_t len, std::uint32_t d) {
    return len == kMinMatch ? c.shortItem[d] : c.distance[d] + c.shortLength[len];
}

// Cheapest cost from every position of a block to its end, in all lanes,
// modulo 2^16 (row 0 of a sparse table of range minima), and the whole cost
// of the block per lane.  Row k at position i holds the least cost of
// positions i .. i + 2^k - 1; rows 1 and up are needed only up to a match's
// reach ahead of the position being priced, so they are rings.
struct Parse {
    std::size_t n = 0;
    std::unique_ptr<Abs[]> cost;
    std::size_t capacity = 0;
    std::unique_ptr<Abs[]> rings{new Abs[(kLevels - 1) * kRing]};
    std::int64_t total[kLanes];
    Abs* Ring(int k) { return rings.get() + std::size_t(k - 1) * kRing; }
};

void RunParse(const std::uint8_t* in, std::uint32_t n, const Matches& m, const LaneCosts& c,
              Parse* p) {
    const std::size_t length = std::size_t(n) + kPadding;
    if (length > p->capacity) {
        p->cost.reset(new Abs[length]);
        p->capacity = length;
    }
    p->n = n;
    Abs* cost = p->cost.get();
    // Past the end every range holds only the end, of cost 0; the padding
    // stays above any real cost near the end.
    const Abs zero = Abs(Splat(0)), pad = Abs(Splat(kPast));
    cost[n] = zero;
    for (int j = 1; j < kPadding; ++j)
        cost[n + j] = pad;
    for (int k = 1; k < kLevels; ++k) {
        Abs* ring = p->Ring(k);
        ring[n & (kRing - 1)] = zero;
        for (std::uint32_t j = 1; j < kPadding; ++j)
            ring[(n + j) & (kRing - 1)] = pad;
    }
    // The true cost per lane, summed from the stored costs at every
    // kCheckpoint positions: going back that many positions the cost grows
    // by at most 14 bits per position (literals) and never falls more than
    // 14 * 517 bits below a later position's (a match's inside taken as
    // literals), well within what 16 bits tell apart.
    constexpr std::uint32_t kCheckpoint = 1024;
    std::int64_t total[kLanes] = {};
    Abs checkpoint = zero;
    for (std::uint32_t i = n; i-- > 0;) {
        const Abs next = cost[i + 1];
        Rel best = c.literal[in[i]];
        // Every short length is priced, without a branch on whether it
        // has a match (one of no distance costs far too much).
        const Near near = m.near[i];
        for (std::uint32_t len = kMinMatch; len < kFirstLong; ++len)
            best = Min(best, ShortItem(c, len, near[len - kMinMatch]) + Minus(cost[i + len], next));
        ForEachLongRange(m, i, c, [&](std::uint32_t from, std::uint32_t to, std::uint32_t, Rel ic) {
            const int k = 31 - __builtin_clz(to - from + 1);
            const Abs* row = k == 0 ? cost : p->Ring(k);
            const std::uint32_t mask = k == 0 ? ~0u : kRing - 1;
            const Rel reach = Min(Minus(row[(i + from) & mask], next),
                                  Minus(row[(i + to + 1 - (1u << k)) & mask], next));
            best = Min(best, reach + ic);
        });
        const Abs here = Plus(next, best);
        cost[i] = here;
        if (i % kCheckpoint == 0) {
            const Rel step = Minus(here, checkpoint);
            for (int lane = 0; lane < kLanes; ++lane)
                total[lane] += step[lane];
            checkpoint = here;
        }
        Abs least = here;
        for (int k = 1; k < kLevels; ++k) {
            const std::uint32_t other = i + (1u << (k - 1));
            const Abs far = k == 1 ? cost[other] : p->Ring(k - 1)[other & (kRing - 1)];
            least = Plus(least, Min(Minus(far, least), Splat(0)));
            p->Ring(k)[i & (kRing - 1)] = least;
        }
    }
    for (int lane = 0; lane < kLanes; ++lane)
        p->total[lane] = total[lane];
}

// Least significant bit first, as the decoder reads.  Each item's bits go
// into the next bytes of out without a branch on how many bytes they
// complete: room is made ahead for a block's worst case, and the vector is
// cut to what was written at the end.
struct BitWriter {
    std::vector<std::uint8_t>* out;
    std::size_t at = 0; // bytes complete
    std::uint8_t* data = nullptr;
    std::uint64_t buffer = 0; // below 8 bits between items
    std::uint32_t count = 0;
    // Room for `bits` more bits.
    void Reserve(std::size_t bits) {
        out->resize(at + bits / 8 + 8);
        data = out->data();
    }
    // At most 16 bits at once, so that 4 bytes take what is pending (one
    // store; the bytes past the pending bits are written again later or
    // cut off).
    void Put(std::uint32_t value, std::uint32_t bits) {
        buffer |= std::uint64_t(value & ((1u << bits) - 1)) << count;
        count += bits;
        PutFourBytes(data + at, std::uint32_t(buffer));
        at += count >> 3;
        buffer >>= count & ~7u;
        count &= 7;
    }
    void Flush() {
        if (count > 0)
            data[at++] = std::uint8_t(buffer); // the rest of the byte stays zero
        out->resize(at);
        buffer = 0;
        count = 0;
    }
};

// Follows the cheapest path of one lane through a parsed block and writes
// its items.
void EmitBlock(const std::uint8_t* in, const Matches& m, const Parse& p, const LaneCosts& c,
               int lane, std::uint32_t mode, std::uint32_t dictBits, BitWriter* w) {
    const Abs* cost = p.cost.get();
    w->Reserve(std::size_t(p.n) * 15 + 64); // a literal takes at most 14 bits, a match 30
    std::uint32_t i = 0;
    while (i < p.n) {
        // Sums modulo 2^16 of costs close together: equal only when equal.
        const std::uint16_t target = cost[i][lane];
        if (std::uint16_t(c.literal[in[i]][lane] + cost[i + 1][lane]) == target) {
            // Flag 0, then the byte's code.
            if (mode == kDclLiteralsAscii)
                w->Put(std::uint32_t(kDclAsciiCodes[in[i]]) << 1, 1 + kDclAsciiBits[in[i]]);
            else
                w->Put(std::uint32_t(in[i]) << 1, 9);
            ++i;
            continue;
        }
        std::uint32_t len = 0, d = 0;
        const Near near = m.near[i];
        for (std::uint32_t l = kMinMatch; len == 0 && l < kFirstLong; ++l) {
            const std::uint32_t dist = near[l - kMinMatch];
            // A length of 3 or more without a match has no longer one
            // either; length 2 may lack one (beyond 256) while 3 has one.
            if (dist == 0) {
                if (l == kMinMatch)
                    continue;
                break;
            }
            const std::int32_t item = l == kMinMatch ? c.shortItem[dist][0]
                                                     : c.distance[dist][lane] + c.shortLength[l][0];
            if (std::uint16_t(cost[i + l][lane] + item) == target) {
                len = l;
                d = dist;
            }
        }
        if (len == 0)
            ForEachLongRange(m, i, c,
                             [&](std::uint32_t from, std::uint32_t to, std::uint32_t dist, Rel ic) {
                                 for (std::uint32_t l = from; len == 0 && l <= to; ++l) {
                                     if (std::uint16_t(cost[i + l][lane] + ic[lane]) == target) {
                                         len = l;
                                         d = dist;
                                     }
                                 }
                             });
        // Flag, length code and extra bits; then distance code and low
        // bits.
        w->Put(kLength.bits[len], std::uint32_t(kLength.cost[len]));
        const std::uint32_t low = len == kMinMatch ? 2 : dictBits;
        const std::uint32_t code = (d - 1) >> low;
        w->Put(kDclDistanceCodes[code] | ((d - 1) & ((1u << low) - 1)) << kDclDistanceBits[code],
               kDclDistanceBits[code] + low);
        i += len;
    }
}

void PutEndCode(BitWriter* w) {
    w->Reserve(64);
    const DclLengthCode& lc = kDclLengthCodes[15];
    w->Put(1, 1);
    w->Put(lc.code, lc.bits);
    w->Put(255, lc.extraBits);
    w->Flush();
}

// Stream bytes for a given cost of all items: header, items, end code,
// zero bits up to the byte.
std::uint64_t StreamBytes(std::uint64_t itemBits) {
    return 2 + (itemBits + 16 + 7) / 8;
}

} // namespace

struct DclEncoderWork {
    MatchFinder finder;
    Matches matches;
    Parse parse;
};

namespace {

// Writes the whole stream of one lane (-1: the smallest lane, which needs a
// single block).  Returns the lane written.
int Encode(const std::uint8_t* in, std::size_t size, int lane, std::vector<std::uint8_t>* out,
           DclEncoderWork& e, const DclEncodeProgress& progress = nullptr,
           std::uint64_t doneBefore = 0, std::uint64_t total = 0) {
    const LaneCosts& c = Costs();
    InitFinder(in, size, &e.finder);
    std::size_t headerAt = out->size();
    out->push_back(0);
    out->push_back(0);
    BitWriter w{out};
    w.at = out->size();
    for (std::size_t begin = 0; begin < size || begin == 0; begin += kBlock) {
        const std::size_t end = std::min(size, begin + kBlock);
        FindMatches(&e.finder, std::uint32_t(begin), std::uint32_t(end), &e.matches);
        RunParse(in + begin, std::uint32_t(end - begin), e.matches, c, &e.parse);
        if (lane < 0) {
            lane = 0;
            for (int l = 1; l < kSettings; ++l)
                if (StreamBytes(std::uint64_t(e.parse.total[l])) <
                    StreamBytes(std::uint64_t(e.parse.total[lane])))
                    lane = l;
        }
        const std::uint32_t mode = std::uint32_t(lane / 3), dictBits = std::uint32_t(4 + lane % 3);
        (*out)[headerAt] = std::uint8_t(mode);
        (*out)[headerAt + 1] = std::uint8_t(dictBits);
        EmitBlock(in + begin, e.matches, e.parse, c, lane, mode, dictBits, &w);
        if (progress)
            progress(doneBefore + end, total);
        if (end == size)
            break;
    }
    PutEndCode(&w);
    if (out->size() - headerAt < kLeastStream)
        out->push_back(0); // only an empty input: pad so the decoder accepts it
    return lane;
}

} // namespace

DclEncoderWork* DclNewEncoderWork() {
    return new DclEncoderWork;
}

void DclDeleteEncoderWork(DclEncoderWork* work) {
    delete work;
}

std::size_t DclEncode(const std::uint8_t* in, std::size_t size, std::uint32_t literalMode,
                      std::uint32_t dictionaryBits, std::vector<std::uint8_t>* out,
                      const DclEncodeProgress& progress) {
    if (literalMode > 1 || dictionaryBits < 4 || dictionaryBits > 6 || size > kMaxInput)
        return 0;
    const std::size_t before = out->size();
    DclEncoderWork work;
    Encode(in, size, Lane(literalMode, dictionaryBits), out, work, progress, 0, size);
    return out->size() - before;
}

std::size_t DclEncodeSmallest(const std::uint8_t* in, std::size_t size,
                              std::vector<std::uint8_t>* out, std::uint32_t* literalMode,
                              std::uint32_t* dictionaryBits, DclEncoderWork* work,
                              const DclEncodeProgress& progress) {
    if (size > kMaxInput)
        return 0;
    std::unique_ptr<DclEncoderWork> local(work ? nullptr : new DclEncoderWork);
    DclEncoderWork& e = work ? *work : *local;
    const std::size_t before = out->size();
    int lane = 0;
    if (size <= kBlock) {
        lane = Encode(in, size, -1, out, e);
    } else {
        // Several blocks: whole streams one setting at a time.
        std::vector<std::uint8_t> trial, best;
        for (int l = 0; l < kSettings; ++l) {
            trial.clear();
            Encode(in, size, l, &trial, e, progress, std::uint64_t(l) * size,
                   std::uint64_t(kSettings) * size);
            if (l == 0 || trial.size() < best.size()) {
                best.swap(trial);
                lane = l;
            }
        }
        out->insert(out->end(), best.begin(), best.end());
    }
    if (literalMode)
        *literalMode = std::uint32_t(lane / 3);
    if (dictionaryBits)
        *dictionaryBits = std::uint32_t(4 + lane % 3);
    return out->size() - before;
}
