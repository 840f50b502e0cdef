// Encoder of the compressed block format: optimal or lazy LZ parsing, then a length-limited canonical prefix code.
#include "werbpack/Encoder.h"

#include "builtin/BlockCodec.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <queue>
#include <utility>

namespace {

constexpr int kHashBits = 15;

// How far the match finder looks at each position.
struct Search {
    int Chain; // candidates tried
    int Kept;  // of which kept at most, besides those reaching farther than all before
    int Full;  // full-length candidates after which the search stops
};
constexpr Search kBestSearch{256, 64, 40};
// Only the nearest and each longer one: most of the gain of the best search, at a fraction of its work.
constexpr Search kFastSearch{16, 1, 1};
constexpr int kLazyChain = 32; // candidates tried per position by the lazy parse
constexpr int kPasses = 2;     // parses of the best mode, each priced by the stream before it (the first by the lazy one)
// The fast mode prices its parse by a lazy parse of the block's start only.
constexpr std::size_t kFastSample = std::size_t{256} << 10;
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
    MatchFinder(const std::uint8_t* data, std::size_t size, Search search)
        : FData(data), FSize(size), FSearch(search), FHead(std::size_t{1} << kHashBits, -1) {
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
            for (int depth = FSearch.Chain; depth > 0 && cand >= 0 && pos - cand <= kMaxDistance; --depth) {
                const int length = CommonLength(FData + cand, FData + i, limit);
                if (length >= kMinMatch && (kept < FSearch.Kept || length > reach)) {
                    t.Packed.push_back(static_cast<std::uint16_t>((length - kMinMatch) << 12 | (pos - cand)));
                    ++kept;
                    reach = std::max(reach, length);
                }
                if (length == limit && ++full >= FSearch.Full) break;
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
    Search FSearch;
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

class BitWriter {
public:
    explicit BitWriter(std::vector<std::uint8_t>& out) : FOut(out) {}
    // Appends the low `count` bits of value (count <= 16), most significant first.
    void Put(std::uint32_t value, int count) {
        FAcc = FAcc << count | value;
        FBits += count;
        if (FBits >= 32) {
            FBits -= 32;
            const auto w = static_cast<std::uint32_t>(FAcc >> FBits);
            const std::uint8_t bytes[4] = {static_cast<std::uint8_t>(w >> 24), static_cast<std::uint8_t>(w >> 16),
                                           static_cast<std::uint8_t>(w >> 8), static_cast<std::uint8_t>(w)};
            FOut.insert(FOut.end(), bytes, bytes + 4);
        }
    }
    // Pads with zero bits to the next byte boundary and flushes.
    void Align() {
        Put(0, (8 - FBits % 8) % 8);
        while (FBits >= 8) {
            FBits -= 8;
            FOut.push_back(static_cast<std::uint8_t>(FAcc >> FBits));
        }
    }

private:
    std::vector<std::uint8_t>& FOut;
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
          FLit(size + 1), FChoice(size) {}

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
        // Ends in [i + shortRun + 1, i + kMaxLiteralRun], cheapest key first; a ring of run ends.
        std::uint32_t window[kWindow];
        std::size_t front = 0, back = 0;
        // The nearest keys stay in registers: loading them just after their store would stall.
        std::int32_t k1 = FKey[FSize], k2 = FKey[FSize + 1], k3 = FKey[FSize + 2], k4 = FKey[FSize + 3];
        for (std::size_t i = FSize; i-- > 0;) {
            const std::int32_t* const key = FKey.data() + i;
            std::int32_t bestRun = kUnreachable;
            if (shortRun) {
                bestRun = std::min({run[1] + k1, run[2] + k2, run[3] + k3, run[4] + k4});
                for (int l = 5; l <= kShortRun; ++l) bestRun = std::min(bestRun, run[l] + key[l]);
            }
            if (const std::size_t j = i + shortRun + 1; j <= FSize) {
                while (back > front && FKey[window[(back - 1) % kWindow]] >= FKey[j]) --back;
                window[back++ % kWindow] = static_cast<std::uint32_t>(j);
                while (window[front % kWindow] > i + kMaxLiteralRun) ++front;
                bestRun = std::min(bestRun, longRun + FKey[window[front % kWindow]]);
            }
            std::int32_t best = bestRun - FLit[i];
            std::uint16_t choice = 0;

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
                        choice = static_cast<std::uint16_t>((l - kMinMatch) << 12 | d);
                    }
                }
            }
            FChoice[i] = choice;
            FRest[i] = best;
            FKey[i] = FLit[i] + best;
            k4 = k3;
            k3 = k2;
            k2 = k1;
            k1 = FKey[i];
        }
        return Emit(run);
    }

private:
    static constexpr int kShortRun = 16; // runs priced by their own control byte; 32 gains nothing
    static constexpr std::size_t kWindow = 2 * kMaxLiteralRun; // more than the run ends of a window
    static constexpr std::int32_t kUnreachable = std::numeric_limits<std::int32_t>::max() / 2;

    std::vector<std::uint8_t> Emit(const std::int32_t* run) const {
        std::vector<std::uint8_t> out;
        out.reserve(FSize + FSize / kMaxLiteralRun + 16);
        for (std::size_t i = 0; i < FSize;) {
            if (FChoice[i] == 0) {
                // The run length that gave the price: the shortest of the cheapest.
                std::size_t l = 1;
                while (run[l] + FKey[i + l] - FLit[i] != FRest[i]) ++l;
                out.push_back(static_cast<std::uint8_t>(0x80 | (l - 1)));
                out.insert(out.end(), FData + i, FData + i + l);
                i += l;
            } else {
                const std::size_t l = (FChoice[i] >> 12) + kMinMatch;
                const unsigned d = FChoice[i] & 0x0FFF;
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
    std::vector<std::uint16_t> FChoice; // match chosen at a position, as in MatchTable; 0 for a literal run
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

// The optimal parse, first priced by `cost` (from a lazy parse: a better start than flat prices),
// then by the stream of the pass before.
std::vector<std::uint8_t> OptimalParse(const std::uint8_t* data, std::size_t size, const Costs& cost, Search search,
                                       int passes) {
    std::vector<std::uint8_t> stream;
    MatchFinder finder(data, size, search);
    for (std::size_t begin = 0; begin < size; begin += kSegment) {
        const std::size_t end = std::min(size, begin + kSegment);
        const MatchTable matches = finder.Find(begin, end);
        Parser parser(data + begin, end - begin, matches);
        std::vector<std::uint8_t> part = parser.Parse(cost);
        for (int pass = 1; pass < passes; ++pass) part = parser.Parse(CostsFrom(part));
        stream.insert(stream.end(), part.begin(), part.end());
    }
    return stream;
}

// The best mode's parse, priced first by its lazy parse `lazy` of the same data (which it runs anyway).
std::vector<std::uint8_t> BestParse(const std::uint8_t* data, std::size_t size, const std::vector<std::uint8_t>& lazy) {
    return OptimalParse(data, size, CostsFrom(lazy), kBestSearch, kPasses);
}

// The fast mode's parse: one pass of a shallow search, priced by a lazy parse of the block's start,
// which prices nearly as well as one of the whole block.
std::vector<std::uint8_t> FastParse(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::uint8_t> sample = LazyParse(data, std::min(size, kFastSample), kLazyChain);
    return OptimalParse(data, size, CostsFrom(sample), kFastSearch, 1);
}

} // namespace

std::vector<std::uint8_t> EncodeLzStage(const std::uint8_t* data, std::size_t size, EncodeMode mode) {
    if (size == 0) return {};
    return mode == EncodeMode::Fast ? FastParse(data, size) : BestParse(data, size, LazyParse(data, size, kLazyChain));
}

std::vector<std::uint8_t> EncodeCodeStage(const std::uint8_t* data, std::size_t size) {
    if (size == 0 || static_cast<std::uint32_t>(size) != size) return {}; // N has 32 bits
    Freq freq{};
    for (std::size_t i = 0; i < size; ++i) ++freq[data[i]];
    const Lengths lengths = CodeLengths(freq);
    const auto codes = CanonicalCodes(lengths);

    std::vector<std::uint8_t> out;
    out.reserve(size + 1024);
    BitWriter w(out);
    for (int v = 0; v < 256; ++v) {
        w.Put(lengths[v] ? 1 : 0, 1);
        if (!lengths[v]) continue;
        w.Put(lengths[v] & 15, 4); // a length of 16 is written as 0
        w.Put(codes[v], lengths[v]);
    }
    w.Align();
    const auto n = static_cast<std::uint32_t>(size);
    for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<std::uint8_t>(n >> shift));
    for (std::size_t i = 0; i < size; ++i) w.Put(codes[data[i]], lengths[data[i]]);
    w.Align();
    return out;
}

std::vector<std::uint8_t> EncodeBlock(const std::uint8_t* data, std::size_t size, EncodeMode mode) {
    if (size == 0 || size > kMaxEncodeSize) return {};
    const std::vector<std::uint8_t> fast = FastParse(data, size);
    std::vector<std::uint8_t> block = EncodeCodeStage(fast.data(), fast.size());
    if (mode == EncodeMode::Best) {
        // The prices are estimates, so the fast or the lazy parse can win on odd data: keep the smallest.
        const std::vector<std::uint8_t> lazy = LazyParse(data, size, kLazyChain);
        for (const std::vector<std::uint8_t>& stream : {lazy, BestParse(data, size, lazy)}) {
            std::vector<std::uint8_t> other = EncodeCodeStage(stream.data(), stream.size());
            if (other.size() < block.size()) block.swap(other);
        }
    }
    return block;
}
