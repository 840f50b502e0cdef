// Encoder of the compressed block format: priced optimal LZ parsing, deep or in one fast pass, then a
// length-limited canonical prefix code.
#include "werbpack/Encoder.h"

#include "builtin/BlockCodec.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <queue>
#include <utility>

namespace {

constexpr int kHashBits = 15;
constexpr int kMaxChain = 256; // candidates tried per position in the best mode
constexpr int kMaxKept = 64;   // of which kept at most, besides those reaching farther than all before
constexpr int kMaxFull = 40;   // full-length candidates after which the search stops
constexpr int kLazyChain = 32; // candidates tried per position by the lazy parse
constexpr int kPasses = 2;     // parses, each priced by the stream before it (the first by the fast one)
// The fast mode prices by a lazy parse of the first bytes only: nearly as good as of all of them.
constexpr std::size_t kFastSample = std::size_t{128} << 10;
constexpr int kFastHashBits = 14; // larger tables gain little and cost time
constexpr std::int32_t kBit = 16; // costs are in 1/16 bit
// The best mode parses in segments of this size: its prices fit 32 bits, its candidate lists stay in memory.
constexpr std::size_t kSegment = std::size_t{2} << 20;

using Freq = std::array<std::uint64_t, 256>;
using Lengths = std::array<std::uint8_t, 256>;

// ---- Match finding -------------------------------------------------------------------------

// Every candidate of each position of a segment, nearest first, with the length it reaches.
struct MatchTable {
    std::vector<std::uint32_t> Start;  // segment length + 1 offsets into Packed
    std::vector<std::uint16_t> Packed; // (length - kMinMatch) << 12 | distance
};

inline std::uint32_t Hash3(const std::uint8_t* p) {
    const std::uint32_t v = p[0] | p[1] << 8 | p[2] << 16;
    return (v * 2654435761u) >> (32 - kHashBits);
}

inline int CommonLength(const std::uint8_t* a, const std::uint8_t* b, int limit) {
    int length = 0;
    if constexpr (std::endian::native == std::endian::little) {
        static_assert(kMaxMatch == 10);
        if (limit == kMaxMatch) {
            // Without branches: where the bytes first differ is a coin toss the predictor loses.
            std::uint64_t x, y;
            std::uint16_t u, v;
            std::memcpy(&x, a, 8);
            std::memcpy(&y, b, 8);
            std::memcpy(&u, a + 8, 2);
            std::memcpy(&v, b + 8, 2);
            const int head = std::countr_zero(x ^ y) / 8; // 8 when all agree
            const int tail = std::countr_zero(static_cast<std::uint32_t>(u ^ v) | 0x10000u) / 8;
            return head + (tail & -(head >> 3));
        }
        if (limit >= 8) {
            std::uint64_t x, y;
            std::memcpy(&x, a, 8);
            std::memcpy(&y, b, 8);
            if (x != y) return std::countr_zero(x ^ y) / 8;
            length = 8;
        }
    }
    while (length < limit && a[length] == b[length]) ++length;
    return length;
}

// Hash chains over the whole input, read one segment after the other.
class MatchFinder {
public:
    MatchFinder(const std::uint8_t* data, std::size_t size)
        : FData(data), FSize(size), FHead(std::size_t{1} << kHashBits, -1) {
        FPrev.fill(-1);
    }

    // The candidates at [begin, end); begin is the previous call's end. Lengths may run past end.
    MatchTable Find(std::size_t begin, std::size_t end) {
        MatchTable t;
        t.Start.resize(end - begin + 1);
        t.Packed.reserve(4 * (end - begin));
        for (std::size_t i = begin; i < end; ++i) {
            t.Start[i - begin] = static_cast<std::uint32_t>(t.Packed.size());
            if (FSize - i < static_cast<std::size_t>(kMinMatch)) continue;
            const std::uint32_t h = Hash3(FData + i);
            const int limit = static_cast<int>(std::min<std::size_t>(kMaxMatch, FSize - i));
            const auto pos = static_cast<std::int32_t>(i);
            // Not only the longest: a farther match may have a distance that codes shorter.
            std::int32_t cand = FHead[h];
            int kept = 0, full = 0, reach = 0;
            for (int depth = kMaxChain; depth > 0 && cand >= 0 && pos - cand <= kMaxDistance; --depth) {
                const int length = CommonLength(FData + cand, FData + i, limit);
                if (length >= kMinMatch && (kept < kMaxKept || length > reach)) {
                    t.Packed.push_back(static_cast<std::uint16_t>((length - kMinMatch) << 12 | (pos - cand)));
                    ++kept;
                    reach = std::max(reach, length);
                }
                if (length == limit && ++full >= kMaxFull) break;
                cand = FPrev[cand & 4095];
            }
            FPrev[i & 4095] = FHead[h];
            FHead[h] = pos;
        }
        t.Start[end - begin] = static_cast<std::uint32_t>(t.Packed.size());
        return t;
    }

private:
    const std::uint8_t* FData;
    std::size_t FSize;
    std::vector<std::int32_t> FHead;
    // The window is 4095 bytes, so a ring of 4096 links holds every chain still in reach.
    std::array<std::int32_t, 4096> FPrev;
};

// ---- Prefix code ---------------------------------------------------------------------------

// Huffman code lengths; frequencies are halved until no code is longer than 16 bits.
Lengths CodeLengths(Freq freq) {
    for (;;) {
        Lengths lengths{};
        using Node = std::pair<std::uint64_t, int>; // weight, node; ties broken by node number
        std::priority_queue<Node, std::vector<Node>, std::greater<Node>> queue;
        std::array<int, 511> parent{};
        int nodes = 256;
        for (int v = 0; v < 256; ++v)
            if (freq[v]) queue.push({freq[v], v});
        if (queue.size() < 2) {
            // One value still needs a partner: the decoder wants two entries.
            const int v = queue.empty() ? 0 : queue.top().second;
            lengths[v] = lengths[v ^ 1] = 1;
            return lengths;
        }
        while (queue.size() > 1) {
            const Node a = queue.top();
            queue.pop();
            const Node b = queue.top();
            queue.pop();
            parent[a.second] = parent[b.second] = nodes;
            queue.push({a.first + b.first, nodes++});
        }
        const int root = nodes - 1;
        int longest = 0;
        for (int v = 0; v < 256; ++v) {
            if (!freq[v]) continue;
            int depth = 0;
            for (int n = v; n != root; n = parent[n]) ++depth;
            lengths[v] = static_cast<std::uint8_t>(depth);
            longest = std::max(longest, depth);
        }
        if (longest <= kMaxCodeLength) return lengths;
        for (auto& f : freq)
            if (f) f = (f + 1) / 2;
    }
}

// Canonical codes: by length, then byte value, counting up.
std::array<std::uint16_t, 256> CanonicalCodes(const Lengths& lengths) {
    std::array<std::uint16_t, 256> codes{};
    std::uint32_t code = 0;
    for (int length = 1; length <= kMaxCodeLength; ++length, code <<= 1)
        for (int v = 0; v < 256; ++v)
            if (lengths[v] == length) codes[v] = static_cast<std::uint16_t>(code++);
    return codes;
}

// Writes into room sized beforehand.
class BitWriter {
public:
    explicit BitWriter(std::uint8_t* out) : FOut(out) {}
    // Appends the low `count` bits of value (count <= 16), most significant first.
    void Put(std::uint32_t value, int count) {
        FAcc = FAcc << count | value;
        FBits += count;
        if (FBits >= 32) {
            FBits -= 32;
            const auto w = static_cast<std::uint32_t>(FAcc >> FBits);
            FOut[0] = static_cast<std::uint8_t>(w >> 24);
            FOut[1] = static_cast<std::uint8_t>(w >> 16);
            FOut[2] = static_cast<std::uint8_t>(w >> 8);
            FOut[3] = static_cast<std::uint8_t>(w);
            FOut += 4;
        }
    }
    // Pads with zero bits to the next byte boundary and flushes.
    void Align() {
        Put(0, (8 - FBits % 8) % 8);
        while (FBits >= 8) {
            FBits -= 8;
            *FOut++ = static_cast<std::uint8_t>(FAcc >> FBits);
        }
    }

private:
    std::uint8_t* FOut;
    std::uint64_t FAcc = 0;
    int FBits = 0;
};

// ---- Parsing -------------------------------------------------------------------------------

// Prices of the stage-2 bytes in the prefix stage, in 1/16 bit.
using Costs = std::array<std::int32_t, 256>;

// Prices from a previous parse's stream: what the prefix stage would spend on each byte.
Costs CostsFrom(const std::vector<std::uint8_t>& stream) {
    Freq freq{};
    for (std::uint8_t b : stream) ++freq[b];
    Costs c;
    const auto total = static_cast<double>(stream.size());
    for (int v = 0; v < 256; ++v) {
        // An unseen value still costs its table entry and a long code.
        const double bits = freq[v] ? std::max(1.0, -std::log2(freq[v] / total)) : std::min(16.0, std::log2(total) + 2);
        c[v] = static_cast<std::int32_t>(std::lround(bits * kBit));
    }
    return c;
}

// Cheapest split into items by dynamic programming from the end; the buffers serve every pass.
// rest[j] is the cheapest price of data[j..size), lit[j] the literal price of data[0..j), and
// key[j] = lit[j] + rest[j], so that a literal run i..j costs its control byte + key[j] - lit[i].
class Parser {
public:
    Parser(const std::uint8_t* data, std::size_t size, const MatchTable& matches)
        : FData(data), FSize(size), FMatches(matches), FKey(size + kMaxLiteralRun + 1), FRest(size + 1),
          FLit(size + 1), FLength(size), FDistance(size), FWindow(size + 1) {}

    std::vector<std::uint8_t> Parse(const Costs& cost) {
        // Control byte price of a run of each length; runs past kShortRun all take the dearest one,
        // so that the cheapest of them comes from a sliding minimum.
        std::int32_t run[kMaxLiteralRun + 1];
        for (int l = 1; l <= kMaxLiteralRun; ++l) run[l] = cost[0x80 | (l - 1)];
        // Equal run prices need no run priced apart.
        const int shortRun = std::equal(run + 2, run + kMaxLiteralRun + 1, run + 1) ? 0 : kShortRun;
        std::int32_t longRun = 0;
        for (int l = shortRun + 1; l <= kMaxLiteralRun; ++l) longRun = std::max(longRun, run[l]);
        for (int l = shortRun + 1; l <= kMaxLiteralRun; ++l) run[l] = longRun;
        FLit[0] = 0;
        for (std::size_t j = 0; j < FSize; ++j) FLit[j + 1] = FLit[j] + cost[FData[j]];
        // Past the end no run may end: an unreachable price.
        for (std::size_t j = FSize + 1; j < FKey.size(); ++j) FKey[j] = kUnreachable;
        FRest[FSize] = 0;
        FKey[FSize] = FLit[FSize];
        // Ends in [i + shortRun + 1, i + kMaxLiteralRun], cheapest key first.
        std::size_t front = 0, back = 0;
        for (std::size_t i = FSize; i-- > 0;) {
            const std::int32_t* const key = FKey.data() + i;
            std::int32_t bestRun = kUnreachable;
            if (shortRun)
                for (int l = 1; l <= kShortRun; ++l) bestRun = std::min(bestRun, run[l] + key[l]);
            if (const std::size_t j = i + shortRun + 1; j <= FSize) {
                while (back > front && FKey[FWindow[back - 1]] >= FKey[j]) --back;
                FWindow[back++] = static_cast<std::uint32_t>(j);
                while (FWindow[front] > i + kMaxLiteralRun) ++front;
                bestRun = std::min(bestRun, longRun + FKey[FWindow[front]]);
            }
            std::int32_t best = bestRun - FLit[i];
            FLength[i] = 0;
            FDistance[i] = 0;

            const std::uint32_t first = FMatches.Start[i], last = FMatches.Start[i + 1];
            const int longest = static_cast<int>(std::min<std::size_t>(kMaxMatch, FSize - i)); // items end in the segment
            for (std::uint32_t m = first; m < last; ++m) {
                const int upTo = std::min((FMatches.Packed[m] >> 12) + kMinMatch, longest);
                const int d = FMatches.Packed[m] & 0x0FFF;
                const std::int32_t distanceCost = cost[d & 0xFF];
                for (int l = kMinMatch; l <= upTo; ++l) {
                    const std::int32_t c = cost[(l - kMinMatch) << 4 | d >> 8] + distanceCost + FRest[i + l];
                    if (c < best) {
                        best = c;
                        FLength[i] = static_cast<std::uint8_t>(l);
                        FDistance[i] = static_cast<std::uint16_t>(d);
                    }
                }
            }
            FRest[i] = best;
            FKey[i] = FLit[i] + best;
        }
        return Emit(run);
    }

private:
    static constexpr int kShortRun = 16; // runs priced by their own control byte; 32 gains nothing
    static constexpr std::int32_t kUnreachable = std::numeric_limits<std::int32_t>::max() / 2;

    std::vector<std::uint8_t> Emit(const std::int32_t* run) const {
        std::vector<std::uint8_t> out;
        out.reserve(FSize + FSize / kMaxLiteralRun + 16);
        for (std::size_t i = 0; i < FSize;) {
            if (FDistance[i] == 0) {
                // The run length that gave the price: the shortest of the cheapest.
                std::size_t l = 1;
                while (run[l] + FKey[i + l] - FLit[i] != FRest[i]) ++l;
                out.push_back(static_cast<std::uint8_t>(0x80 | (l - 1)));
                out.insert(out.end(), FData + i, FData + i + l);
                i += l;
            } else {
                const std::size_t l = FLength[i];
                const unsigned d = FDistance[i];
                out.push_back(static_cast<std::uint8_t>((l - kMinMatch) << 4 | d >> 8));
                out.push_back(static_cast<std::uint8_t>(d));
                i += l;
            }
        }
        return out;
    }

    const std::uint8_t* FData;
    std::size_t FSize;
    const MatchTable& FMatches;
    std::vector<std::int32_t> FKey, FRest, FLit;
    std::vector<std::uint8_t> FLength;     // match chosen at a position
    std::vector<std::uint16_t> FDistance; // 0 for a literal run
    std::vector<std::uint32_t> FWindow;   // the sliding minimum's queue of run ends
};

// ---- Lazy parsing --------------------------------------------------------------------------

// Greedy matches, each put off by one byte when the next position has a longer one.
std::vector<std::uint8_t> LazyParse(const std::uint8_t* data, std::size_t size, int maxChain) {
    std::vector<std::uint8_t> out;
    out.reserve(size + size / kMaxLiteralRun + 16);
    std::vector<std::int32_t> head(std::size_t{1} << kHashBits, -1);
    std::array<std::int32_t, 4096> prev;
    prev.fill(-1);
    auto insert = [&](std::size_t p) {
        if (size - p < static_cast<std::size_t>(kMinMatch)) return;
        const std::uint32_t h = Hash3(data + p);
        prev[p & 4095] = head[h];
        head[h] = static_cast<std::int32_t>(p);
    };
    // Longest match at p among the inserted positions, nearest first; 0 when under kMinMatch.
    auto search = [&](std::size_t p, int& distance) {
        if (size - p < static_cast<std::size_t>(kMinMatch)) return 0;
        const int limit = static_cast<int>(std::min<std::size_t>(kMaxMatch, size - p));
        const auto pos = static_cast<std::int32_t>(p);
        int best = kMinMatch - 1;
        std::int32_t cand = head[Hash3(data + p)];
        for (int depth = maxChain; depth > 0 && cand >= 0 && pos - cand <= kMaxDistance; --depth) {
            const int length = CommonLength(data + cand, data + p, limit);
            if (length > best) {
                best = length;
                distance = pos - cand;
                if (length == limit) break;
            }
            cand = prev[cand & 4095];
        }
        return best >= kMinMatch ? best : 0;
    };
    auto flush = [&](std::size_t from, std::size_t to) {
        while (from < to) {
            const std::size_t l = std::min<std::size_t>(kMaxLiteralRun, to - from);
            out.push_back(static_cast<std::uint8_t>(0x80 | (l - 1)));
            out.insert(out.end(), data + from, data + from + l);
            from += l;
        }
    };
    // The match at p; positions come in increasing order, the last one possibly again.
    std::size_t inserted = 0, lastAsked = SIZE_MAX;
    int lastLength = 0, lastDistance = 0;
    auto matchAt = [&](std::size_t p, int& d) {
        if (p != lastAsked) {
            while (inserted < p) insert(inserted++);
            lastLength = search(p, lastDistance);
            insert(p);
            inserted = p + 1;
            lastAsked = p;
        }
        d = lastDistance;
        return lastLength;
    };
    std::size_t i = 0, runStart = 0;
    int distance = 0, length = 0;
    bool known = false; // length and distance already hold the match at i
    while (i < size) {
        if (!known) length = matchAt(i, distance);
        known = false;
        if (length == 0) {
            ++i;
            continue;
        }
        // Put the match off by a byte when a longer one starts there (looking two bytes ahead
        // as well made the output larger: the deferred literals cost run control bytes).
        if (length < kMaxMatch && i + 1 < size) {
            int d1 = 0;
            const int l1 = matchAt(i + 1, d1);
            if (l1 > length) {
                i += 1;
                length = l1;
                distance = d1;
                known = true;
                continue;
            }
        }
        flush(runStart, i);
        out.push_back(static_cast<std::uint8_t>((length - kMinMatch) << 4 | distance >> 8));
        out.push_back(static_cast<std::uint8_t>(distance));
        i += static_cast<std::size_t>(length);
        runStart = i;
    }
    flush(runStart, size);
    return out;
}

// The optimal parse, first priced by the fast parse's stream `fast` of the same data: a better
// start than flat prices, and it costs nothing more, as the best mode runs the fast parse anyway.
std::vector<std::uint8_t> OptimalParse(const std::uint8_t* data, std::size_t size, const std::vector<std::uint8_t>& fast) {
    std::vector<std::uint8_t> stream;
    const Costs cost = CostsFrom(fast);
    MatchFinder finder(data, size);
    for (std::size_t begin = 0; begin < size; begin += kSegment) {
        const std::size_t end = std::min(size, begin + kSegment);
        const MatchTable matches = finder.Find(begin, end);
        Parser parser(data + begin, end - begin, matches);
        std::vector<std::uint8_t> part = parser.Parse(cost);
        for (int pass = 1; pass < kPasses; ++pass) part = parser.Parse(CostsFrom(part));
        stream.insert(stream.end(), part.begin(), part.end());
    }
    return stream;
}

// ---- Fast parsing --------------------------------------------------------------------------

// Without branches: which is smaller is a coin toss the predictor loses.
inline std::int32_t Min(std::int32_t a, std::int32_t b) {
    const std::int32_t d = b - a;
    return a + (d & (d >> 31));
}

// Hash of the first n (1..8) of 8 readable bytes.
inline std::uint32_t HashBytes(const std::uint8_t* p, int n) {
    std::uint64_t v;
    std::memcpy(&v, p, 8);
    return static_cast<std::uint32_t>(((v << (64 - 8 * n)) * 0x9E3779B97F4A7C15ull) >> (64 - kFastHashBits));
}

// Cheapest split by dynamic programming from the start, in one pass with the match finding: at
// each position the cheapest way there, by a literal run or by a match pushed from before; then
// the matches from the last places of the position's first 3, 4 and 8 bytes, each priced at every
// length it reaches, pushed to where they end. Few branches depend on the data: the predictor
// would lose most of them.
std::vector<std::uint8_t> FastParse(const std::uint8_t* data, std::size_t size) {
    const Costs cost = CostsFrom(LazyParse(data, std::min(size, kFastSample), kLazyChain));
    constexpr std::int32_t kInf = std::numeric_limits<std::int32_t>::max() / 2; // past any price
    constexpr int kLengths = kMaxMatch - kMinMatch + 1;
    // Or-ed into a match price, one that no parse takes: a literal run is always cheaper.
    constexpr std::int16_t kNone = 0x3FFF;
    // Runs of one and two literals have their own prices; longer ones open at the price of three
    // and grow by the mean step up to sixteen, so that the cheapest of them is a running minimum
    // (pricing runs of three apart as well gained nothing).
    const std::int32_t run1 = cost[0x80], run2 = cost[0x81], runOpen = cost[0x82];
    const std::int32_t runStep = std::max(0, (cost[0x8F] - runOpen) / 13);
    struct Lanes {
        std::int16_t Of[kLengths]; // by length - kMinMatch
    };
    std::vector<Lanes> byDistance(kMaxDistance + 1); // a match's prices
    for (int d = 1; d <= kMaxDistance; ++d)
        for (int l = 0; l < kLengths; ++l) byDistance[d].Of[l] = static_cast<std::int16_t>(cost[l << 4 | d >> 8] + cost[d & 0xFF]);
    Lanes beyond[kMaxMatch + 1]; // masks off the lengths a match does not reach
    for (int n = 0; n <= kMaxMatch; ++n)
        for (int l = 0; l < kLengths; ++l) beyond[n].Of[l] = l + kMinMatch <= n ? 0 : kNone;

    // Last places modulo 2^16. A distance past the window means none; a stale place may pass for
    // a near one, which finds a real match or none.
    std::vector<std::uint16_t> head3(std::size_t{1} << kFastHashBits, 0x8000), head4(head3), head8(head3);
    // Per segment: q[t] = price of its first t bytes less their literal price; choice[t] = the
    // match that ends at t, (length - kMinMatch) << 12 | distance, or 0 for a literal run.
    const std::size_t most = std::min(size, kSegment);
    const auto qBuf = std::make_unique_for_overwrite<std::int32_t[]>(most + 4);
    const auto choice = std::make_unique_for_overwrite<std::uint16_t[]>(most + 1);
    // The cheapest match reaching each of the next positions and its code, in a window that
    // moves back to the start of its buffer now and then.
    constexpr std::size_t kSpan = 4096;
    std::int32_t arrive[kSpan + kMaxMatch + 1];
    std::uint16_t code[kSpan + kMaxMatch + 1] = {};
    std::vector<std::uint8_t> out(size + size / kMaxLiteralRun + 16 * (size / kSegment + 1));
    std::size_t outSize = 0;
    for (std::size_t begin = 0; begin < size; begin += kSegment) {
        const std::size_t n = std::min(size, begin + kSegment) - begin;
        std::int32_t* const q = qBuf.get() + 3; // no run starts before the segment
        std::fill(q - 3, q, kInf);
        std::fill(arrive, arrive + kMaxMatch + 1, kInf);
        q[0] = 0;
        std::int32_t lit = 0, longRun = kInf, q1 = q[0], q2 = q[-1];
        for (std::size_t t = 0, w = 0;; ++t, ++w) {
            if (w == kSpan) {
                std::copy(arrive + kSpan, arrive + kSpan + kMaxMatch, arrive);
                std::copy(code + kSpan, code + kSpan + kMaxMatch, code);
                w = 0;
            }
            if (t > 0) {
                lit += cost[data[begin + t - 1]];
                longRun = Min(longRun + runStep, q[static_cast<std::ptrdiff_t>(t) - 3] + runOpen);
                const std::int32_t viaRun = Min(Min(q1 + run1, q2 + run2), longRun);
                const std::int32_t viaMatch = arrive[w] - lit;
                const std::int32_t isMatch = -static_cast<std::int32_t>(viaMatch < viaRun);
                q[t] = viaRun + ((viaMatch - viaRun) & isMatch);
                choice[t] = static_cast<std::uint16_t>(code[w] & isMatch);
                q2 = q1;
                q1 = q[t];
            }
            if (t == n) break;
            arrive[w + kMaxMatch] = kInf; // now first in reach of a match
            const std::size_t j = begin + t;
            if (size - j < static_cast<std::size_t>(kMaxMatch)) continue;
            const std::uint8_t* const here = data + j;
            const std::uint32_t h3 = HashBytes(here, 3), h4 = HashBytes(here, 4), h8 = HashBytes(here, 8);
            const std::uint16_t places[] = {head3[h3], head4[h4], head8[h8]};
            head3[h3] = head4[h4] = head8[h8] = static_cast<std::uint16_t>(j);
            // Called once per place rather than looped: unrolled, the pass runs a tenth faster.
            int length[3], distance[3];
            auto find = [&](int k) {
                // A place too far or unset (0x8000) still reads within the data, and counts as length 0.
                const unsigned d = static_cast<std::uint16_t>(j - places[k]);
                static_assert((kMaxDistance & (kMaxDistance + 1)) == 0);
                distance[k] = static_cast<int>(d & kMaxDistance);
                length[k] = CommonLength(here - distance[k], here, kMaxMatch) & -static_cast<int>(d - 1 < kMaxDistance);
            };
            find(0);
            find(1);
            find(2);
            if (std::max({length[0], length[1], length[2]}) < kMinMatch) continue;
            std::int16_t price[kLengths], dist[kLengths];
            for (int l = 0; l < kLengths; ++l) price[l] = kNone, dist[l] = 0;
            // The loops over the lengths are for the vectorizer: unrolled (as at -O3), they branch
            // and run at half the speed.
            auto offer = [&](int k) {
                const Lanes& p = byDistance[distance[k]];
                const Lanes& b = beyond[length[k]];
                const auto d = static_cast<std::int16_t>(distance[k]);
#pragma GCC unroll 1
                for (int l = 0; l < kLengths; ++l) {
                    const auto c = static_cast<std::int16_t>(p.Of[l] | b.Of[l]);
                    const std::int16_t old = price[l], e = dist[l];
                    dist[l] = c < old ? d : e;
                    price[l] = c < old ? c : old;
                }
            };
            offer(0);
            offer(1);
            offer(2);
            // Through copies, so that the loop has no aliasing to fear and vectorizes.
            const std::int32_t base = q[t] + lit;
            std::int32_t a[kLengths];
            std::uint16_t h[kLengths];
            std::memcpy(a, arrive + w + kMinMatch, sizeof a);
            std::memcpy(h, code + w + kMinMatch, sizeof h);
#pragma GCC unroll 1
            for (int l = 0; l < kLengths; ++l) {
                const std::int32_t c = base + price[l];
                const std::int32_t old = a[l];
                const std::uint16_t e = h[l];
                h[l] = c < old ? static_cast<std::uint16_t>(l << 12 | dist[l]) : e;
                a[l] = c < old ? c : old;
            }
            std::memcpy(arrive + w + kMinMatch, a, sizeof a);
            std::memcpy(code + w + kMinMatch, h, sizeof h);
        }

        // Back from the end, writing backwards: the matches as chosen, the runs found again from q.
        std::uint8_t* const top = out.data() + outSize + n + n / kMaxLiteralRun + 16;
        std::uint8_t* w = top;
        for (std::size_t t = n; t > 0;) {
            if (const unsigned c = choice[t]) {
                *--w = static_cast<std::uint8_t>(c);
                *--w = static_cast<std::uint8_t>((c >> 12) << 4 | (c >> 8 & 15));
                t -= (c >> 12) + kMinMatch;
                continue;
            }
            std::size_t start = t - 1;
            if (q[start] + run1 != q[t]) {
                start = t - 2;
                if (t < 2 || q[start] + run2 != q[t])
                    for (start = t - 3; q[start] + runOpen + runStep * static_cast<std::int32_t>(t - 3 - start) != q[t];) --start;
            }
            while (t > start) {
                const std::size_t l = std::min<std::size_t>(kMaxLiteralRun, t - start);
                w -= l;
                std::memcpy(w, data + begin + t - l, l);
                *--w = static_cast<std::uint8_t>(0x80 | (l - 1));
                t -= l;
            }
        }
        const auto length = static_cast<std::size_t>(top - w);
        std::memmove(out.data() + outSize, w, length);
        outSize += length;
    }
    out.resize(outSize);
    return out;
}

} // namespace

std::vector<std::uint8_t> EncodeLzStage(const std::uint8_t* data, std::size_t size, EncodeMode mode) {
    if (size == 0) return {};
    std::vector<std::uint8_t> fast = FastParse(data, size);
    if (mode == EncodeMode::Fast) return fast;
    return OptimalParse(data, size, fast);
}

std::vector<std::uint8_t> EncodeCodeStage(const std::uint8_t* data, std::size_t size) {
    if (size == 0 || static_cast<std::uint32_t>(size) != size) return {}; // N has 32 bits
    Freq freq{};
    for (std::size_t i = 0; i < size; ++i) ++freq[data[i]];
    const Lengths lengths = CodeLengths(freq);
    const auto codes = CanonicalCodes(lengths);

    std::uint64_t tableBits = 0, codedBits = 0;
    for (int v = 0; v < 256; ++v) {
        tableBits += lengths[v] ? 5 + lengths[v] : 1;
        codedBits += freq[v] * lengths[v];
    }
    const std::size_t tableBytes = (tableBits + 7) / 8;
    std::vector<std::uint8_t> out(tableBytes + 4 + (codedBits + 7) / 8);
    BitWriter table(out.data());
    for (int v = 0; v < 256; ++v) {
        table.Put(lengths[v] ? 1 : 0, 1);
        if (!lengths[v]) continue;
        table.Put(lengths[v] & 15, 4); // a length of 16 is written as 0
        table.Put(codes[v], lengths[v]);
    }
    table.Align();
    const auto n = static_cast<std::uint32_t>(size);
    for (int shift = 0; shift < 32; shift += 8) out[tableBytes + shift / 8] = static_cast<std::uint8_t>(n >> shift);
    BitWriter w(out.data() + tableBytes + 4);
    for (std::size_t i = 0; i < size; ++i) w.Put(codes[data[i]], lengths[data[i]]);
    w.Align();
    return out;
}

std::vector<std::uint8_t> EncodeBlock(const std::uint8_t* data, std::size_t size, EncodeMode mode) {
    if (size == 0 || size > kMaxEncodeSize) return {};
    const std::vector<std::uint8_t> fast = FastParse(data, size);
    std::vector<std::uint8_t> block = EncodeCodeStage(fast.data(), fast.size());
    if (mode == EncodeMode::Best) {
        // The prices are estimates, so the fast parse can win on odd data: keep the smaller.
        const std::vector<std::uint8_t> stream = OptimalParse(data, size, fast);
        std::vector<std::uint8_t> other = EncodeCodeStage(stream.data(), stream.size());
        if (other.size() < block.size()) block.swap(other);
    }
    return block;
}
