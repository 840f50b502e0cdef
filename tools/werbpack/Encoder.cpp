// Encoder of the compressed block format: cost-driven LZ parsing, then a length-limited canonical prefix code.
#include "werbpack/Encoder.h"

#include "builtin/BlockCodec.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstring>
#include <queue>
#include <utility>

namespace {

constexpr int kHashBits = 15;
constexpr int kMaxChain = 48; // candidates tried per position; a 10-byte match ends the search early
constexpr int kPasses = 2;    // a second parse, priced by the first one's statistics, gains ~1%; a third nothing
constexpr std::uint32_t kBit = 16; // costs are in 1/16 bit

using Freq = std::array<std::uint64_t, 256>;
using Lengths = std::array<std::uint8_t, 256>;

// ---- Match finding -------------------------------------------------------------------------

// For each position, the lengths reached while walking nearer to farther candidates, each with
// the nearest distance that reaches it: length l may use the first entry whose length is >= l.
struct MatchTable {
    std::vector<std::uint32_t> Start;  // size + 1 offsets into Packed
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

MatchTable FindMatches(const std::uint8_t* data, std::size_t size) {
    MatchTable t;
    t.Start.resize(size + 1);
    t.Packed.reserve(size);
    std::vector<std::int32_t> head(std::size_t{1} << kHashBits, -1);
    // The window is 4095 bytes, so a ring of 4096 links holds every chain still in reach.
    std::array<std::int32_t, 4096> prev;
    prev.fill(-1);
    for (std::size_t i = 0; i < size; ++i) {
        t.Start[i] = static_cast<std::uint32_t>(t.Packed.size());
        if (size - i < static_cast<std::size_t>(kMinMatch)) continue;
        const std::uint32_t h = Hash3(data + i);
        const int limit = static_cast<int>(std::min<std::size_t>(kMaxMatch, size - i));
        const auto pos = static_cast<std::int32_t>(i);
        int best = kMinMatch - 1;
        std::int32_t cand = head[h];
        for (int depth = kMaxChain; depth > 0 && cand >= 0 && pos - cand <= kMaxDistance; --depth) {
            const int length = CommonLength(data + cand, data + i, limit);
            if (length > best) {
                best = length;
                t.Packed.push_back(static_cast<std::uint16_t>((length - kMinMatch) << 12 | (pos - cand)));
                if (length == limit) break;
            }
            cand = prev[cand & 4095];
        }
        prev[i & 4095] = head[h];
        head[h] = pos;
    }
    t.Start[size] = static_cast<std::uint32_t>(t.Packed.size());
    return t;
}

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

struct Costs {
    std::array<std::uint32_t, 256> Byte; // price of a stage-2 byte value in the prefix stage
    std::uint32_t RunControl;            // price of a literal run's control byte
};

Costs FlatCosts() {
    Costs c;
    c.Byte.fill(8 * kBit);
    c.RunControl = 8 * kBit;
    return c;
}

// Prices from a previous parse's stream: what the prefix stage would spend on each byte.
Costs CostsFrom(const std::vector<std::uint8_t>& stream) {
    Freq freq{};
    for (std::uint8_t b : stream) ++freq[b];
    const auto total = static_cast<double>(stream.size());
    Costs c;
    for (int v = 0; v < 256; ++v) {
        // An unseen value still costs its table entry and a long code.
        const double bits = freq[v] ? std::max(1.0, -std::log2(freq[v] / total)) : std::min(16.0, std::log2(total) + 2);
        c.Byte[v] = static_cast<std::uint32_t>(std::lround(bits * kBit));
    }
    std::uint64_t runs = 0, spent = 0;
    for (int v = 0x80; v < 0x100; ++v) {
        runs += freq[v];
        spent += freq[v] * c.Byte[v];
    }
    c.RunControl = runs ? static_cast<std::uint32_t>(spent / runs) : 8 * kBit;
    return c;
}

// Cheapest split into items by dynamic programming from the end; the buffers serve every pass.
class Parser {
public:
    Parser(const std::uint8_t* data, std::size_t size, const MatchTable& matches)
        : FData(data), FSize(size), FMatches(matches), FKey(size + 1), FLength(size), FDistance(size),
          FWindow(size + 1) {}

    std::vector<std::uint8_t> Parse(const Costs& cost) {
        // key[j] = literal price of data[0..j) + cheapest price of data[j..size); with it a literal run
        // from i costs RunControl + key[j] - literal price of data[0..i) for its end j.
        std::uint64_t prefix = 0; // literal price of data[0..i), walked down with i
        for (std::size_t j = 0; j < FSize; ++j) prefix += cost.Byte[FData[j]];
        FKey[FSize] = prefix;
        // The best end in (i, i + 128] comes from a monotonic queue as i moves down.
        std::size_t front = 0, back = 0;
        for (std::size_t i = FSize; i-- > 0;) {
            prefix -= cost.Byte[FData[i]];
            const std::size_t j = i + 1;
            while (back > front && FKey[FWindow[back - 1]] >= FKey[j]) --back;
            FWindow[back++] = static_cast<std::uint32_t>(j);
            while (FWindow[front] > i + kMaxLiteralRun) ++front;
            const std::size_t end = FWindow[front];
            std::uint64_t best = cost.RunControl + FKey[end] - prefix;
            FLength[i] = static_cast<std::uint8_t>(end - i);
            FDistance[i] = 0;

            // rest(i + l) = key[i + l] - literal price of data[0..i + l)
            const std::uint32_t first = FMatches.Start[i], last = FMatches.Start[i + 1];
            std::uint64_t reach = prefix;
            if (first < last)
                for (int l = 0; l < kMinMatch - 1; ++l) reach += cost.Byte[FData[i + l]];
            int l = kMinMatch;
            for (std::uint32_t m = first; m < last; ++m) {
                const int upTo = (FMatches.Packed[m] >> 12) + kMinMatch;
                const int d = FMatches.Packed[m] & 0x0FFF;
                const std::uint32_t distanceCost = cost.Byte[d & 0xFF];
                for (; l <= upTo; ++l) {
                    reach += cost.Byte[FData[i + l - 1]];
                    const std::uint64_t c =
                        cost.Byte[(l - kMinMatch) << 4 | d >> 8] + distanceCost + FKey[i + l] - reach;
                    if (c < best) {
                        best = c;
                        FLength[i] = static_cast<std::uint8_t>(l);
                        FDistance[i] = static_cast<std::uint16_t>(d);
                    }
                }
            }
            FKey[i] = prefix + best;
        }
        return Emit();
    }

private:
    std::vector<std::uint8_t> Emit() const {
        std::vector<std::uint8_t> out;
        out.reserve(FSize + FSize / kMaxLiteralRun + 16);
        for (std::size_t i = 0; i < FSize;) {
            const std::size_t l = FLength[i];
            if (FDistance[i] == 0) {
                out.push_back(static_cast<std::uint8_t>(0x80 | (l - 1)));
                out.insert(out.end(), FData + i, FData + i + l);
            } else {
                const unsigned d = FDistance[i];
                out.push_back(static_cast<std::uint8_t>((l - kMinMatch) << 4 | d >> 8));
                out.push_back(static_cast<std::uint8_t>(d));
            }
            i += l;
        }
        return out;
    }

    const std::uint8_t* FData;
    std::size_t FSize;
    const MatchTable& FMatches;
    std::vector<std::uint64_t> FKey;
    std::vector<std::uint8_t> FLength;     // item chosen at a position: match or run length
    std::vector<std::uint16_t> FDistance; // 0 for a literal run
    std::vector<std::uint32_t> FWindow;
};

} // namespace

std::vector<std::uint8_t> EncodeLzStage(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return {};
    const MatchTable matches = FindMatches(data, size);
    Parser parser(data, size, matches);
    std::vector<std::uint8_t> stream = parser.Parse(FlatCosts());
    for (int pass = 1; pass < kPasses; ++pass) stream = parser.Parse(CostsFrom(stream));
    return stream;
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

std::vector<std::uint8_t> EncodeBlock(const std::uint8_t* data, std::size_t size) {
    if (size == 0 || size > kMaxEncodeSize) return {};
    const std::vector<std::uint8_t> stream = EncodeLzStage(data, size);
    return EncodeCodeStage(stream.data(), stream.size());
}
