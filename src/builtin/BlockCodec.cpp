// Decoder of the two-stage compressed block format: table-driven prefix decoding, then LZ expansion.
#include "builtin/BlockCodec.h"

#include <bit>
#include <cstring>
#include <limits>

namespace {

// Codes up to kRootBits long resolve in the root table; longer ones through a subtable of their prefix.
constexpr int kRootBits = 11;
constexpr int kSubBits = kMaxCodeLength - kRootBits;
constexpr std::uint32_t kSubMask = (1u << kSubBits) - 1;
constexpr std::uint32_t kLengthMask = 0xFF;
constexpr std::uint32_t kSubtable = 0x10000; // root entry: subtable number from bit 17
constexpr std::size_t kMaxCount = static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max());

// Multi-way decoding: each lane records this many code starts for the lane before it to meet.
constexpr int kWays = 4;
constexpr int kSyncCodes = 64;
constexpr std::size_t kMinWayBytes = 2 * kSyncCodes + 64; // smallest chunk the lanes' bounds allow
constexpr std::size_t kAutoWayBytes = 1024;               // below this the set-up does not pay

// The one bounds check of the decoder: do `count` more units fit between `pos` and `end`?
// Written without pos + count so that it cannot wrap with a 32-bit size_t.
inline bool Fits(std::size_t pos, std::size_t count, std::size_t end) {
    return pos <= end && count <= end - pos;
}

inline std::uint64_t LoadBigEndian64(const std::uint8_t* p) {
    std::uint64_t v;
    std::memcpy(&v, p, sizeof v);
    if constexpr (std::endian::native == std::endian::little) v = __builtin_bswap64(v);
    return v;
}

// At least 57 bits from bit `pos` at the top; the caller keeps 8 bytes readable at pos / 8.
inline std::uint64_t WindowAt(const std::uint8_t* base, std::uint64_t pos) {
    return LoadBigEndian64(base + (pos >> 3)) << (pos & 7);
}

struct Tables {
    const std::uint32_t* Root;
    const std::uint32_t* Sub;
    // The code at the top of a 16-bit-or-more window; 0 when none matches.
    std::uint32_t Find(std::uint64_t window) const {
        std::uint32_t e = Root[window >> (64 - kRootBits)];
        if (e & kSubtable) e = Sub[(e >> 17) << kSubBits | ((window >> (64 - kMaxCodeLength)) & kSubMask)];
        return e;
    }
    // The root entry when it is a code, otherwise the full search (rare: long codes, bad bits).
    [[gnu::always_inline]] std::uint32_t Next(std::uint64_t window) const {
        const std::uint32_t e = Root[window >> (64 - kRootBits)];
        if ((e & kLengthMask) == 0) [[unlikely]] return Find(window);
        return e;
    }
};

// MSB-first bits of [base, base + size), refilled a byte at a time: the code table's reader.
class TableReader {
public:
    TableReader(const std::uint8_t* base, std::size_t size) : FBase(base), FSize(size) {}
    // Makes at least `count` bits (up to 57) available unless the input ends first.
    void Want(unsigned count) {
        if (FCount >= count) return;
        while (FCount <= 56 && FIn < FSize) {
            FBits |= static_cast<std::uint64_t>(FBase[FIn++]) << (56 - FCount);
            FCount += 8;
        }
    }
    unsigned Available() const { return FCount; }
    // The next `count` bits (1..32) without consuming them; Available() must cover them.
    unsigned Peek(unsigned count) const { return static_cast<unsigned>(FBits >> (64 - count)); }
    void Skip(unsigned count) {
        FBits <<= count;
        FCount -= count;
    }
    std::uint64_t Position() const { return static_cast<std::uint64_t>(FIn) * 8 - FCount; }

private:
    const std::uint8_t* FBase;
    std::size_t FSize;
    std::size_t FIn = 0;
    std::uint64_t FBits = 0;
    unsigned FCount = 0;
};

CodecResult ReadTable(CodecState& s, TableReader& r) {
    std::array<CodeEntry, 256> read;
    std::array<int, kMaxCodeLength + 2> first{};
    int count = 0;
    for (int v = 0; v < 256; ++v) {
        r.Want(1 + 4 + kMaxCodeLength); // one record at most
        if (r.Available() < 1) return CodecResult::InputExhausted;
        if (r.Peek(1) == 0) {
            r.Skip(1);
            continue;
        }
        if (r.Available() < 5) return CodecResult::InputExhausted;
        const unsigned field = r.Peek(5) & 15;
        const unsigned length = field == 0 ? 16 : field;
        if (r.Available() < 5 + length) return CodecResult::InputExhausted;
        const unsigned code = r.Peek(5 + length) & ((1u << length) - 1);
        r.Skip(5 + length);
        read[count++] = {static_cast<std::uint8_t>(length), static_cast<std::uint16_t>(code),
                         static_cast<std::uint8_t>(v)};
        ++first[length + 1];
    }
    // Stable order by length: a counting sort keeps equal lengths in ascending byte order.
    for (int length = 1; length <= kMaxCodeLength; ++length) first[length + 1] += first[length];
    for (int i = 0; i < count; ++i) s.Table[first[read[i].Length]++] = read[i];
    s.TableCount = count;
    return count < 2 ? CodecResult::TooFewSymbols : CodecResult::Ok;
}

// Fills the lookups from the sorted table; a code whose range is already taken is a prefix of
// another or equal to it. Short codes come first, so a long code finds any shorter prefix there.
bool BuildLookup(CodecState& s) {
    s.RootLookup.assign(std::size_t{1} << kRootBits, 0);
    if (s.SubLookup.size() < (std::size_t{256} << kSubBits)) s.SubLookup.resize(std::size_t{256} << kSubBits);
    std::uint32_t* const root = s.RootLookup.data();
    std::uint32_t* const sub = s.SubLookup.data();
    int subtables = 0;
    for (int i = 0; i < s.TableCount; ++i) {
        const CodeEntry& e = s.Table[i];
        const auto entry = static_cast<std::uint32_t>(e.Length | e.Value << 8);
        if (e.Length <= kRootBits) {
            const int shift = kRootBits - e.Length;
            std::uint32_t* const to = root + (static_cast<std::uint32_t>(e.Code) << shift);
            for (std::uint32_t k = 0; k < (1u << shift); ++k) {
                if (to[k] != 0) return false;
                to[k] = entry;
            }
            continue;
        }
        const int extra = e.Length - kRootBits;
        std::uint32_t& link = root[e.Code >> extra];
        if (link == 0) {
            link = kSubtable | static_cast<std::uint32_t>(subtables) << 17;
            std::memset(sub + (subtables << kSubBits), 0, sizeof(std::uint32_t) << kSubBits);
            ++subtables; // at most one per code, so at most 256
        } else if (!(link & kSubtable)) {
            return false;
        }
        const int shift = kMaxCodeLength - e.Length;
        std::uint32_t* const to = sub + ((link >> 17) << kSubBits) + ((e.Code & ((1u << extra) - 1)) << shift);
        for (std::uint32_t k = 0; k < (1u << shift); ++k) {
            if (to[k] != 0) return false;
            to[k] = entry;
        }
    }
    return true;
}

CodecResult FailStage1(CodecState& s, CodecResult r) {
    s.B.clear();
    s.Stage1Length = 0;
    return r;
}

CodecResult FailStage2(CodecState& s, CodecResult r) {
    s.OutputCount = 0;
    return r;
}

// One stream from bit `start`: codes n - produced more bytes into out[produced..n). On Ok `end` is
// the first bit after the last code; a failure is named the same whatever the starting point.
CodecResult DecodeSerial(const Tables& t, unsigned maxLength, const std::uint8_t* base, std::size_t size,
                         std::uint64_t start, std::uint8_t* out, std::size_t produced, std::size_t n,
                         std::uint64_t& end) {
    std::size_t in = static_cast<std::size_t>(start >> 3);
    // Unread bits sit at the top of bits; below the `count` valid ones lie zeros or the true next bits.
    std::uint64_t bits = 0;
    unsigned count = 0;
    if (const unsigned skip = static_cast<unsigned>(start & 7)) {
        bits = static_cast<std::uint64_t>(base[in++]) << (56 + skip);
        count = 8 - skip;
    }

    // Fast path: a refill gives at least 56 bits, enough for three codes of up to 16 bits.
    while (n - produced >= 3 && Fits(in, 8, size)) {
        bits |= LoadBigEndian64(base + in) >> count;
        in += (63 - count) >> 3;
        count |= 56;
        for (int k = 0; k < 3; ++k) {
            const std::uint32_t e = t.Next(bits);
            const unsigned length = e & kLengthMask;
            if (length == 0) goto careful; // let the careful path name the failure
            out[produced++] = static_cast<std::uint8_t>(e >> 8);
            bits <<= length;
            count -= length;
        }
    }
careful:
    // Careful path for the last bytes of input: refill one byte at a time, never past the end.
    while (produced < n) {
        while (count <= 56 && in < size) {
            bits |= static_cast<std::uint64_t>(base[in++]) << (56 - count);
            count += 8;
        }
        const std::uint32_t e = t.Find(bits);
        const unsigned length = e & kLengthMask;
        // Fewer bits than the longest code left: the input ended before the code did.
        if (length == 0) return count < maxLength ? CodecResult::InputExhausted : CodecResult::UnknownCode;
        if (length > count) return CodecResult::InputExhausted;
        out[produced++] = static_cast<std::uint8_t>(e >> 8);
        bits <<= length;
        count -= length;
    }
    // `in` counts only the bytes whose bits entered `count`, so this is the first unread bit.
    end = static_cast<std::uint64_t>(in) * 8 - count;
    return CodecResult::Ok;
}

// One code at `pos` into *out; false when no code matches.
[[gnu::always_inline]] inline bool StepOne(const Tables& t, const std::uint8_t* base, std::uint64_t& pos,
                                           std::uint8_t* out) {
    const std::uint32_t e = t.Next(WindowAt(base, pos));
    if ((e & kLengthMask) == 0) return false;
    *out = static_cast<std::uint8_t>(e >> 8);
    pos += e & kLengthMask;
    return true;
}

// Three codes from one window (57 bits hold three of up to 16 bits). A bad code sets `bad` on
// the rare path only, so the common one carries no check.
[[gnu::always_inline]] inline void StepThree(const std::uint32_t* root, const std::uint32_t* sub,
                                             const std::uint8_t* base, std::uint64_t& pos, std::uint8_t* out,
                                             bool& bad) {
    std::uint64_t w = WindowAt(base, pos);
    unsigned total = 0;
#pragma GCC unroll 3
    for (int k = 0; k < 3; ++k) {
        std::uint32_t e = root[w >> (64 - kRootBits)];
        if ((e & kLengthMask) == 0) [[unlikely]] {
            e = Tables{root, sub}.Find(w);
            bad |= e == 0;
        }
        out[k] = static_cast<std::uint8_t>(e >> 8);
        w <<= e & 63; // the length: the flags lie above bit 8
        total += e & kLengthMask;
    }
    pos += total;
}

// Four lanes decode the four quarters of the coded data at once; each lane but the first starts
// at a guessed boundary and is kept from the first code start that the lane before it also
// reaches (a prefix code falls back into step by itself). False on any doubt: the caller then
// decodes serially, so every result and failure is the serial one.
bool DecodeMultiWay(CodecState& s, const Tables& t, unsigned maxLength, const std::uint8_t* base, std::size_t size,
                    std::size_t dataStart, std::size_t n, std::uint64_t& end) {
    const std::size_t quarter = (size - dataStart) / kWays;
    if (quarter < kMinWayBytes || n < 4 * static_cast<std::size_t>(kSyncCodes)) return false;

    std::uint64_t pos[kWays], stop[kWays];
    for (int k = 0; k < kWays; ++k) pos[k] = static_cast<std::uint64_t>(dataStart + k * quarter) * 8;
    for (int k = 0; k + 1 < kWays; ++k) stop[k] = pos[k + 1];
    stop[kWays - 1] = static_cast<std::uint64_t>(size - 16) * 8; // 8 readable bytes after every window

    const std::size_t stride = n + 2 * kSyncCodes + 16;
    if (s.LaneOutput.size() < stride * (kWays - 1)) s.LaneOutput.resize(stride * (kWays - 1));
    std::uint8_t* out[kWays] = {s.B.data()};
    std::size_t room[kWays] = {n};
    for (int k = 1; k < kWays; ++k) {
        out[k] = s.LaneOutput.data() + (k - 1) * stride;
        room[k] = stride;
    }

    // Each lane records its first code starts.
    std::uint64_t starts[kWays][kSyncCodes];
    for (int k = 0; k < kWays; ++k)
        for (int i = 0; i < kSyncCodes; ++i) {
            starts[k][i] = pos[k];
            if (!StepOne(t, base, pos[k], out[k] + i)) return false;
        }

    // The lanes in step, three codes each a round.
    std::size_t i = kSyncCodes;
    std::uint64_t p0 = pos[0], p1 = pos[1], p2 = pos[2], p3 = pos[3];
    const std::uint64_t s0 = stop[0], s1 = stop[1], s2 = stop[2], s3 = stop[3];
    std::uint8_t *o0 = out[0], *o1 = out[1], *o2 = out[2], *o3 = out[3];
    const std::uint32_t* const root = t.Root;
    const std::uint32_t* const sub = t.Sub;
    bool bad = false;
    while (i + 3 <= n && p0 < s0 && p1 < s1 && p2 < s2 && p3 < s3) {
        StepThree(root, sub, base, p0, o0 + i, bad);
        StepThree(root, sub, base, p1, o1 + i, bad);
        StepThree(root, sub, base, p2, o2 + i, bad);
        StepThree(root, sub, base, p3, o3 + i, bad);
        i += 3;
    }
    if (bad) return false;
    pos[0] = p0, pos[1] = p1, pos[2] = p2, pos[3] = p3;

    // Each lane on its own up to its stop.
    std::size_t produced[kWays];
    for (int k = 0; k < kWays; ++k) {
        std::size_t c = i;
        while (pos[k] < stop[k]) {
            if (c >= room[k] || !StepOne(t, base, pos[k], out[k] + c)) return false;
            ++c;
        }
        produced[k] = c;
    }

    // Lane k - 1 goes on until it stands on a code start of lane k; lane k is right from there.
    std::size_t kept[kWays] = {0};
    for (int k = 1; k < kWays; ++k) {
        std::uint64_t& p = pos[k - 1];
        int j = 0;
        for (;;) {
            while (j < kSyncCodes && starts[k][j] < p) ++j;
            if (j == kSyncCodes) return false;
            if (starts[k][j] == p) break;
            if (produced[k - 1] >= room[k - 1] || !StepOne(t, base, p, out[k - 1] + produced[k - 1])) return false;
            ++produced[k - 1];
        }
        kept[k] = static_cast<std::size_t>(j);
    }

    // Join the lanes in B; more than N bytes means bits after the last code were decoded too.
    std::size_t total = produced[0];
    for (int k = 1; k < kWays; ++k) {
        const std::size_t part = produced[k] - kept[k];
        if (part > n - total) return false;
        std::memcpy(s.B.data() + total, out[k] + kept[k], part);
        total += part;
    }
    return DecodeSerial(t, maxLength, base, size, pos[kWays - 1], s.B.data(), total, n, end) == CodecResult::Ok;
}

// The prefix-code stage over [base, base + size), which may be A or the caller's block.
CodecResult CodeStage(CodecState& s, const std::uint8_t* base, std::size_t size, CodeStageVariant variant) {
    s.Stage1Length = 0;
    s.TableCount = 0;
    s.BitPosition = 0;
    s.BitsLeft = 8;
    s.Lanes = 0;

    TableReader reader(base, size);
    if (CodecResult r = ReadTable(s, reader); r != CodecResult::Ok) return FailStage1(s, r);
    if (!BuildLookup(s)) return FailStage1(s, CodecResult::AmbiguousCode);

    // N starts at the byte after the table.
    const std::size_t nAt = static_cast<std::size_t>((reader.Position() + 7) / 8);
    if (!Fits(nAt, 4, size)) return FailStage1(s, CodecResult::InputExhausted);
    const std::uint8_t* np = base + nAt;
    const std::uint32_t n = np[0] | np[1] << 8 | np[2] << 16 | static_cast<std::uint32_t>(np[3]) << 24;
    const std::size_t dataStart = nAt + 4;
    if (n == 0) return FailStage1(s, CodecResult::EmptyBlock);
    // Every code takes at least one bit: a larger N runs out of input, so refuse it before allocating.
    if (n > 8 * static_cast<std::uint64_t>(size - dataStart)) return FailStage1(s, CodecResult::InputExhausted);
    if (n > kMaxCount) return FailStage1(s, CodecResult::OutputOverflow);
    s.B.resize(n);

    const Tables t{s.RootLookup.data(), s.SubLookup.data()};
    const unsigned maxLength = s.Table[s.TableCount - 1].Length;
    std::uint64_t end = 0;
    const bool multiWay = variant == CodeStageVariant::MultiWay ||
                          (variant == CodeStageVariant::Auto && size - dataStart >= kWays * kAutoWayBytes);
    if (multiWay && DecodeMultiWay(s, t, maxLength, base, size, dataStart, n, end)) {
        s.Lanes = kWays;
    } else {
        const CodecResult r =
            DecodeSerial(t, maxLength, base, size, static_cast<std::uint64_t>(dataStart) * 8, s.B.data(), 0, n, end);
        if (r != CodecResult::Ok) return FailStage1(s, r);
        s.Lanes = 1;
    }
    s.BitPosition = static_cast<std::size_t>(end / 8);
    s.BitsLeft = 8 - static_cast<int>(end % 8);
    s.Stage1Length = static_cast<std::int32_t>(n);
    return CodecResult::Ok;
}

// One item at p with every check, for the ends of the buffers and the rare items.
CodecResult CarefulItem(const std::uint8_t* src, std::size_t n, std::uint8_t* dst, std::size_t capacity,
                        std::size_t& p, std::size_t& o) {
    const unsigned k = src[p++];
    if (k & 0x80) {
        const std::size_t length = (k & 0x7F) + 1;
        if (!Fits(p, length, n)) return CodecResult::InputExhausted;
        if (!Fits(o, length, capacity)) return CodecResult::OutputOverflow;
        std::memcpy(dst + o, src + p, length);
        p += length;
        o += length;
        return CodecResult::Ok;
    }
    if (!Fits(p, 1, n)) return CodecResult::InputExhausted;
    const std::size_t distance = (k & 0x0F) << 8 | src[p++];
    const std::size_t length = ((k >> 4) & 7) + kMinMatch;
    if (distance == 0 || distance > o) return CodecResult::BadDistance;
    if (!Fits(o, length, capacity)) return CodecResult::OutputOverflow;
    std::uint8_t* const to = dst + o;
    const std::uint8_t* const from = to - distance;
    if (distance == 1) {
        std::memset(to, *from, length);
    } else {
        for (std::size_t i = 0; i < length; ++i) to[i] = from[i]; // front to back: overlap repeats
    }
    o += length;
    return CodecResult::Ok;
}

inline void Copy8(std::uint8_t* to, const std::uint8_t* from) {
    std::uint64_t chunk;
    std::memcpy(&chunk, from, 8);
    std::memcpy(to, &chunk, 8);
}

inline void Copy16(std::uint8_t* to, const std::uint8_t* from) {
    std::uint8_t chunk[16];
    std::memcpy(chunk, from, 16);
    std::memcpy(to, chunk, 16);
}

} // namespace

const char* CodecResultText(CodecResult r) {
    switch (r) {
    case CodecResult::Ok: return "ok";
    case CodecResult::TooFewSymbols: return "the code table names fewer than two byte values";
    case CodecResult::EmptyBlock: return "the block is empty";
    case CodecResult::AmbiguousCode: return "a code is a prefix of another code";
    case CodecResult::UnknownCode: return "the data holds a bit string that matches no code";
    case CodecResult::InputExhausted: return "the block is truncated";
    case CodecResult::BadDistance: return "a match points before the start of the output";
    case CodecResult::OutputOverflow: return "the output exceeds the capacity";
    }
    return "unknown result";
}

CodecResult DecodeCodeStage(CodecState& s, CodeStageVariant variant) {
    return CodeStage(s, s.A.data(), s.A.size(), variant);
}

CodecResult DecodeCodeStage(CodecState& s) { return DecodeCodeStage(s, CodeStageVariant::Auto); }

CodecResult ExpandLzStage(CodecState& s) {
    s.OutputCount = 0;
    if (s.Stage1Length == 0) return CodecResult::EmptyBlock;
    if (s.Stage1Length < 0 || static_cast<std::size_t>(s.Stage1Length) > s.B.size())
        return CodecResult::InputExhausted;

    const std::uint8_t* const src = s.B.data();
    const std::size_t n = static_cast<std::size_t>(s.Stage1Length);
    std::uint8_t* const dst = s.A.data();
    const std::size_t capacity = s.A.size() < kMaxCount ? s.A.size() : kMaxCount;
    std::size_t p = 0;
    std::size_t o = 0;

    // Far from both ends an item may read and write 32 bytes whatever its length: the surplus
    // lies inside the buffers and is overwritten by the items after it.
    constexpr std::size_t kSlack = 34;
    const std::size_t pLast = n > kSlack ? n - kSlack : 0;
    const std::size_t oLast = capacity > kSlack ? capacity - kSlack : 0;
    while (p < n) {
        while (p < pLast && o < oLast) {
            const unsigned k = src[p];
            if (k & 0x80) {
                const std::size_t length = (k & 0x7F) + 1;
                if (length > 32) break;
                Copy16(dst + o, src + p + 1);
                Copy16(dst + o + 16, src + p + 17);
                p += length + 1;
                o += length;
            } else {
                // Two 8-byte steps: at a distance of 8 or more neither reads a byte it has not
                // written yet, and small loads of fresh output are the ones the store buffer forwards.
                const std::size_t length = ((k >> 4) & 7) + kMinMatch;
                const std::size_t distance = (k & 0x0F) << 8 | src[p + 1];
                if (distance < 8 || distance > o) break; // overlapping copy, or a bad distance
                Copy8(dst + o, dst + o - distance);
                Copy8(dst + o + 8, dst + o + 8 - distance);
                p += 2;
                o += length;
            }
        }
        if (p >= n) break;
        if (CodecResult r = CarefulItem(src, n, dst, capacity, p, o); r != CodecResult::Ok) return FailStage2(s, r);
    }
    s.OutputCount = static_cast<std::int32_t>(o);
    return CodecResult::Ok;
}

CodecResult DecodeBlock(CodecState& s, const std::uint8_t* data, std::size_t size, std::size_t capacity,
                        CodeStageVariant variant) {
    s.OutputCount = 0;
    // Stage 1 reads the caller's bytes in place of a copy in A; A then grows to the capacity
    // only once for a codec that decodes block after block.
    static const std::uint8_t kNothing = 0;
    if (CodecResult r = CodeStage(s, size ? data : &kNothing, size, variant); r != CodecResult::Ok) return r;
    s.A.resize(capacity);
    return ExpandLzStage(s);
}

CodecResult DecodeBlock(CodecState& s, const std::uint8_t* data, std::size_t size, std::size_t capacity) {
    return DecodeBlock(s, data, size, capacity, CodeStageVariant::Auto);
}

CodecState& SharedCodec() {
    static CodecState state;
    return state;
}
