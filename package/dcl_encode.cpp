// DCL implode encoder.
//
// The codes of the format are fixed, so the exact cost in bits of every
// literal and every (length, distance) pair is known in advance and the
// smallest stream is a shortest path over the input positions:
//
// 1. A binary-tree match finder (one tree per hash of the leading three
//    bytes, each tree ordered by the suffixes' bytes and by recency from the
//    root down) walks the candidates of every position from the nearest to
//    the farthest within 4096 bytes and records each time a longer match
//    appears.  That yields, for every length from 3, the nearest distance
//    that reaches it; the newest position of each byte pair gives the
//    nearest length-2 match.  A distance code never costs more than the code
//    of a farther distance, so the nearest distance is also the cheapest one
//    for that length.
// 2. A backward dynamic programme computes the cheapest cost from every
//    position to the end, for all six settings at once (one 16-bit lane
//    each, all in one vector).  Lengths that share a length code (and hence
//    a cost) and a distance form a range; the cheapest position to jump to
//    inside such a range comes from a sparse table of range minima, so a
//    long match costs a handful of steps instead of one per length.
// 3. The path of the wanted setting is followed forward, picking at each
//    position an item whose cost plus the cost of the rest equals the cost
//    from here, and written out bit by bit.
//
// Inputs are parsed in blocks of 1 MiB positions (a chunk is always one
// block); matches reach back across block ends but never run past them.
#include "package/dcl_encode.h"

#include "package/dcl_codes.h"

#include <algorithm>
#include <cstring>
#include <memory>

namespace {

constexpr std::uint32_t kMinMatch = 2;
constexpr std::uint32_t kMaxMatch = 518;
constexpr std::uint32_t kWindow = 4096;      // farthest distance of the largest dictionary
constexpr std::uint32_t kMaxShortDist = 256; // farthest distance of a length-2 match
constexpr std::uint32_t kTreeSlots = 8192;   // > kWindow: a node in reach is never overwritten
constexpr std::uint32_t kSearchDepth = 48;   // bound on tree steps per position
constexpr std::size_t kBlock = std::size_t(1) << 20; // positions parsed at once
constexpr std::size_t kMaxInput = 0xFFFF0000u;       // positions are 32-bit
constexpr std::uint32_t kNone = 0xFFFFFFFFu;
// Added to the cost of a distance that a dictionary does not reach: far
// above any real choice, yet small enough for the 16-bit relative costs.
constexpr std::int16_t kUnreachable = 16384;
constexpr int kLevels = 8;              // sparse table rows 0..7: ranges up to 255 lengths
constexpr int kPadding = 256;           // positions past a block's end in every row
constexpr std::uint32_t kRing = 1024;   // positions kept of rows 1..7: a match reaches 518 ahead
constexpr int kSettings = 6;            // lane = literal mode * 3 + dictionary bits - 4
constexpr std::size_t kLeastStream = 5; // the decoder refuses 4 bytes or fewer

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

// Length code index of every match length 2..518 and the cost of the
// length part of a match item (flag, length code, extra bits).
struct LengthTable {
    std::uint8_t index[kMaxMatch + 1];
    std::uint16_t last[16]; // longest length of each code
    std::int32_t cost[kMaxMatch + 1];
    LengthTable() {
        std::memset(index, 0, sizeof index);
        std::memset(cost, 0, sizeof cost);
        for (std::uint32_t i = 0; i < 16; ++i) {
            const DclLengthCode& c = kDclLengthCodes[i];
            std::uint32_t first = c.base + 2;
            std::uint32_t end = std::min<std::uint32_t>(first + (1u << c.extraBits), kMaxMatch + 1);
            for (std::uint32_t len = first; len < end; ++len) {
                index[len] = std::uint8_t(i);
                cost[len] = 1 + c.bits + c.extraBits;
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
    Rel distance[kWindow + 1];                 // distance code and low bits of matches of 3 or more
    std::int16_t shortDist[kMaxShortDist + 1]; // the same for length 2 (alike in all lanes)
    LaneCosts() {
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
        shortDist[0] = kUnreachable;
        for (std::uint32_t d = 1; d <= kMaxShortDist; ++d)
            shortDist[d] = std::int16_t(kDclDistanceBits[(d - 1) >> 2] + 2);
    }
};

const LaneCosts& Costs() {
    static const LaneCosts costs;
    return costs;
}

// Matches of the positions of one block: for position p, pairs[start[p] ..
// start[p+1]) hold (length << 16 | distance) with rising lengths; lengths
// above the previous pair's length up to this pair's length are reached at
// this pair's distance at the nearest.
struct Matches {
    std::vector<std::uint32_t> start;
    std::vector<std::uint32_t> pairs;
};

// Binary-tree match finder over the whole input; state carries across blocks.
struct MatchFinder {
    const std::uint8_t* in = nullptr;
    std::uint32_t size = 0;
    std::vector<std::uint32_t> head;     // newest position of each leading byte triple's hash
    std::vector<std::uint32_t> pairHead; // newest position of each leading byte pair
    std::vector<std::uint32_t> son;      // per slot: smaller subtree, larger subtree
};

void InitFinder(const std::uint8_t* in, std::size_t size, MatchFinder* f) {
    f->in = in;
    f->size = std::uint32_t(size);
    f->head.assign(65536, kNone);
    f->pairHead.assign(65536, kNone);
    f->son.resize(2 * kTreeSlots);
}

// Length of the common prefix of a and b, from `len` up to `limit`.
inline std::uint32_t CommonLength(const std::uint8_t* a, const std::uint8_t* b, std::uint32_t len,
                                  std::uint32_t limit) {
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
    return (v * 2654435761u) >> 16;
}

// Inserts positions begin..end-1 into the trees and records their matches,
// which never run past end (the block's end).
void FindMatches(MatchFinder* f, std::uint32_t begin, std::uint32_t end, Matches* m) {
    const std::uint8_t* in = f->in;
    std::uint32_t* son = f->son.data();
    m->start.resize(end - begin + 1);
    m->pairs.clear();
    for (std::uint32_t cur = begin; cur < end; ++cur) {
        m->start[cur - begin] = std::uint32_t(m->pairs.size());
        if (f->size - cur < kMinMatch)
            continue; // too close to the end to start or to be a match
        const std::uint32_t lenLimit = std::min(kMaxMatch, f->size - cur);
        const std::uint32_t reportLimit = std::min(kMaxMatch, end - cur);
        const std::uint32_t key2 = std::uint32_t(in[cur]) | std::uint32_t(in[cur + 1]) << 8;
        const std::uint32_t near2 = f->pairHead[key2];
        f->pairHead[key2] = cur;
        // The nearest occurrence of the leading pair gives length 2; the
        // tree, longer lengths.
        const std::size_t first = m->pairs.size();
        if (near2 != kNone && cur - near2 <= kMaxShortDist && reportLimit >= kMinMatch)
            m->pairs.push_back(2u << 16 | (cur - near2));
        if (f->size - cur < 3)
            continue;
        const std::uint32_t key = Hash3(in + cur);
        std::uint32_t cand = f->head[key];
        f->head[key] = cur;
        std::uint32_t* lessSlot = &son[2 * (cur & (kTreeSlots - 1))];
        std::uint32_t* greaterSlot = lessSlot + 1;
        // Nodes of one tree may differ from the first byte on (the hash
        // joins some triples), so no common prefix is known yet.
        std::uint32_t lessLen = 0;
        std::uint32_t greaterLen = 0;
        std::uint32_t best = kMinMatch;
        const std::uint8_t* pc = in + cur;
        for (std::uint32_t depth = kSearchDepth;; --depth) {
            if (cand == kNone || cur - cand > kWindow || depth == 0) {
                *lessSlot = *greaterSlot = kNone;
                break;
            }
            const std::uint8_t* pb = in + cand;
            const std::uint32_t len = CommonLength(pb, pc, std::min(lessLen, greaterLen), lenLimit);
            if (len > best && best < reportLimit) {
                if (best == kMinMatch && m->pairs.size() > first &&
                    (m->pairs.back() & 0xFFFF) == cur - cand)
                    m->pairs.pop_back(); // the same position: this pair covers length 2
                best = len;
                m->pairs.push_back(std::min(len, reportLimit) << 16 | (cur - cand));
            }
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
    }
    m->start[end - begin] = std::uint32_t(m->pairs.size());
}

// Calls visit(from, to, distance, cost) for every range of lengths of
// position i that one item cost covers: the length-2 match and, per pair,
// the lengths it adds split by length code.  cost is the item's cost in the
// lanes (infinite where the distance is out of the dictionary's reach).
template <typename Visit>
inline void ForEachRange(const Matches& m, std::uint32_t i, const LaneCosts& c, Visit visit) {
    std::uint32_t prev = kMinMatch - 1;
    for (std::uint32_t j = m.start[i]; j < m.start[i + 1]; ++j) {
        const std::uint32_t len = m.pairs[j] >> 16;
        const std::uint32_t d = m.pairs[j] & 0xFFFF;
        std::uint32_t from = prev + 1;
        prev = len;
        if (from == kMinMatch) {
            if (d <= kMaxShortDist)
                visit(kMinMatch, kMinMatch, d,
                      Splat(std::int16_t(kLength.cost[kMinMatch] + c.shortDist[d])));
            from = kMinMatch + 1;
        }
        const Rel dc = c.distance[d];
        while (from <= len) {
            const std::uint32_t to =
                std::min<std::uint32_t>(kLength.last[kLength.index[from]], len);
            visit(from, to, d, dc + std::int16_t(kLength.cost[from]));
            from = to + 1;
        }
    }
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
    const Abs zero = Abs(Splat(0)), pad = Abs(Splat(kUnreachable));
    cost[n] = zero;
    for (int j = 1; j < kPadding; ++j)
        cost[n + j] = pad;
    for (int k = 1; k < kLevels; ++k) {
        Abs* ring = p->Ring(k);
        ring[n & (kRing - 1)] = zero;
        for (std::uint32_t j = 1; j < kPadding; ++j)
            ring[(n + j) & (kRing - 1)] = pad;
    }
    // Per lane sums of cost[i] - cost[i + 1]: each partial sum is the true
    // cost from i, at most 14 bits per position, well inside 32 bits.
    typedef std::int32_t Wide __attribute__((vector_size(16)));
    Wide sumLo = {0, 0, 0, 0}, sumHi = {0, 0, 0, 0};
    for (std::uint32_t i = n; i-- > 0;) {
        const Abs next = cost[i + 1];
        Rel best = c.literal[in[i]];
        ForEachRange(m, i, c, [&](std::uint32_t from, std::uint32_t to, std::uint32_t, Rel ic) {
            Rel reach;
            if (from == to) {
                reach = Minus(cost[i + from], next);
            } else {
                const int k = 31 - __builtin_clz(to - from + 1);
                const Abs* row = p->Ring(k);
                reach = Min(Minus(row[(i + from) & (kRing - 1)], next),
                            Minus(row[(i + to + 1 - (1u << k)) & (kRing - 1)], next));
            }
            best = Min(best, reach + ic);
        });
        const Abs here = Plus(next, best);
        cost[i] = here;
        const Wide lo = {best[0], best[1], best[2], best[3]};
        const Wide hi = {best[4], best[5], best[6], best[7]};
        sumLo += lo;
        sumHi += hi;
        Abs least = here;
        for (int k = 1; k < kLevels; ++k) {
            const std::uint32_t other = i + (1u << (k - 1));
            const Abs far = k == 1 ? cost[other] : p->Ring(k - 1)[other & (kRing - 1)];
            least = Plus(least, Min(Minus(far, least), Splat(0)));
            p->Ring(k)[i & (kRing - 1)] = least;
        }
    }
    for (int lane = 0; lane < kLanes; ++lane)
        p->total[lane] = lane < 4 ? sumLo[lane] : sumHi[lane - 4];
}

// Least significant bit first, as the decoder reads.
struct BitWriter {
    std::vector<std::uint8_t>* out;
    std::uint64_t buffer = 0;
    std::uint32_t count = 0;
    void Put(std::uint32_t value, std::uint32_t bits) {
        buffer |= std::uint64_t(value & ((1u << bits) - 1)) << count;
        count += bits;
        while (count >= 8) {
            out->push_back(std::uint8_t(buffer));
            buffer >>= 8;
            count -= 8;
        }
    }
    void Flush() {
        if (count > 0)
            out->push_back(std::uint8_t(buffer)); // the rest of the byte stays zero
        buffer = 0;
        count = 0;
    }
};

// Follows the cheapest path of one lane through a parsed block and writes
// its items.
void EmitBlock(const std::uint8_t* in, const Matches& m, const Parse& p, const LaneCosts& c,
               int lane, std::uint32_t mode, std::uint32_t dictBits, BitWriter* w) {
    const Abs* cost = p.cost.get();
    std::uint32_t i = 0;
    while (i < p.n) {
        // Sums modulo 2^16 of costs close together: equal only when equal.
        const std::uint16_t target = cost[i][lane];
        if (std::uint16_t(c.literal[in[i]][lane] + cost[i + 1][lane]) == target) {
            w->Put(0, 1);
            if (mode == DCL_LITERALS_ASCII)
                w->Put(kDclAsciiCodes[in[i]], kDclAsciiBits[in[i]]);
            else
                w->Put(in[i], 8);
            ++i;
            continue;
        }
        std::uint32_t len = 0, d = 0;
        ForEachRange(m, i, c,
                     [&](std::uint32_t from, std::uint32_t to, std::uint32_t dist, Rel ic) {
                         for (std::uint32_t l = from; len == 0 && l <= to; ++l) {
                             if (std::uint16_t(cost[i + l][lane] + ic[lane]) == target) {
                                 len = l;
                                 d = dist;
                             }
                         }
                     });
        const DclLengthCode& lc = kDclLengthCodes[kLength.index[len]];
        w->Put(1, 1);
        w->Put(lc.code, lc.bits);
        if (lc.extraBits > 0)
            w->Put(len - 2 - lc.base, lc.extraBits);
        const std::uint32_t low = len == kMinMatch ? 2 : dictBits;
        const std::uint32_t code = (d - 1) >> low;
        w->Put(kDclDistanceCodes[code], kDclDistanceBits[code]);
        w->Put(d - 1, low);
        i += len;
    }
}

void PutEndCode(BitWriter* w) {
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
           DclEncoderWork& e) {
    const LaneCosts& c = Costs();
    InitFinder(in, size, &e.finder);
    std::size_t headerAt = out->size();
    out->push_back(0);
    out->push_back(0);
    BitWriter w{out};
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
                      std::uint32_t dictionaryBits, std::vector<std::uint8_t>* out) {
    if (literalMode > 1 || dictionaryBits < 4 || dictionaryBits > 6 || size > kMaxInput)
        return 0;
    const std::size_t before = out->size();
    DclEncoderWork work;
    Encode(in, size, Lane(literalMode, dictionaryBits), out, work);
    return out->size() - before;
}

std::size_t DclEncodeSmallest(const std::uint8_t* in, std::size_t size,
                              std::vector<std::uint8_t>* out, std::uint32_t* literalMode,
                              std::uint32_t* dictionaryBits, DclEncoderWork* work) {
    if (size > kMaxInput)
        return 0;
    DclEncoderWork local;
    DclEncoderWork& e = work ? *work : local;
    const std::size_t before = out->size();
    int lane = 0;
    if (size <= kBlock) {
        lane = Encode(in, size, -1, out, e);
    } else {
        // Several blocks: whole streams one setting at a time.
        std::vector<std::uint8_t> trial, best;
        for (int l = 0; l < kSettings; ++l) {
            trial.clear();
            Encode(in, size, l, &trial, e);
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
