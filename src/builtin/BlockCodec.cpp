// Decoder of the two-stage compressed block format: table-driven prefix decoding, then LZ expansion.
#include "builtin/BlockCodec.h"

#include <bit>
#include <cstring>
#include <limits>

namespace {

constexpr int kFastBits = 11;
constexpr std::uint32_t kLookupSize = 1u << kMaxCodeLength;
constexpr std::size_t kMaxCount = static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max());

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

// Reads `count` bits (at most 16), most significant first, with the state's reader.
bool ReadBits(CodecState& s, int count, unsigned& value) {
    value = 0;
    for (int i = 0; i < count; ++i) {
        if (!Fits(s.BitPosition, 1, s.A.size())) return false;
        value = (value << 1) | ((s.A[s.BitPosition] >> (s.BitsLeft - 1)) & 1u);
        if (--s.BitsLeft == 0) {
            ++s.BitPosition;
            s.BitsLeft = 8;
        }
    }
    return true;
}

CodecResult ReadTable(CodecState& s) {
    std::array<CodeEntry, 256> read{};
    int count = 0;
    for (int v = 0; v < 256; ++v) {
        unsigned present, field, code;
        if (!ReadBits(s, 1, present)) return CodecResult::InputExhausted;
        if (!present) continue;
        if (!ReadBits(s, 4, field)) return CodecResult::InputExhausted;
        const int length = field == 0 ? 16 : static_cast<int>(field);
        if (!ReadBits(s, length, code)) return CodecResult::InputExhausted;
        read[count++] = {static_cast<std::uint8_t>(length), static_cast<std::uint16_t>(code),
                         static_cast<std::uint8_t>(v)};
    }
    // Stable order by length: a counting sort keeps equal lengths in ascending byte order.
    int out = 0;
    for (int length = 1; length <= kMaxCodeLength; ++length)
        for (int i = 0; i < count; ++i)
            if (read[i].Length == length) s.Table[out++] = read[i];
    s.TableCount = count;
    return count < 2 ? CodecResult::TooFewSymbols : CodecResult::Ok;
}

// Fills the lookups; a code whose range is already taken is a prefix of another or equal to it.
bool BuildLookup(CodecState& s) {
    s.Lookup.assign(kLookupSize, 0);
    for (int i = 0; i < s.TableCount; ++i) {
        const CodeEntry& e = s.Table[i];
        const int shift = kMaxCodeLength - e.Length;
        const std::uint32_t first = static_cast<std::uint32_t>(e.Code) << shift;
        const std::uint32_t last = first + (1u << shift);
        const std::uint16_t entry = static_cast<std::uint16_t>(e.Length | e.Value << 8);
        for (std::uint32_t k = first; k < last; ++k) {
            if (s.Lookup[k] != 0) return false;
            s.Lookup[k] = entry;
        }
    }
    s.FastLookup.resize(1u << kFastBits);
    for (std::uint32_t i = 0; i < (1u << kFastBits); ++i) {
        const std::uint16_t e = s.Lookup[i << (kMaxCodeLength - kFastBits)];
        s.FastLookup[i] = (e & 0xFF) <= kFastBits ? e : 0;
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

CodecResult DecodeCodeStage(CodecState& s) {
    s.Stage1Length = 0;
    s.TableCount = 0;
    s.BitPosition = 0;
    s.BitsLeft = 8;

    if (CodecResult r = ReadTable(s); r != CodecResult::Ok) return FailStage1(s, r);
    if (!BuildLookup(s)) return FailStage1(s, CodecResult::AmbiguousCode);

    if (s.BitsLeft < 8) {
        ++s.BitPosition;
        s.BitsLeft = 8;
    }
    const std::uint8_t* const base = s.A.data();
    const std::size_t size = s.A.size();
    if (!Fits(s.BitPosition, 4, size)) return FailStage1(s, CodecResult::InputExhausted);
    const std::uint8_t* np = base + s.BitPosition;
    const std::uint32_t n = np[0] | np[1] << 8 | np[2] << 16 | static_cast<std::uint32_t>(np[3]) << 24;
    s.BitPosition += 4;
    if (n == 0) return FailStage1(s, CodecResult::EmptyBlock);
    // Every code takes at least one bit: a larger N runs out of input, so refuse it before allocating.
    if (n > 8 * static_cast<std::uint64_t>(size - s.BitPosition)) return FailStage1(s, CodecResult::InputExhausted);
    if (n > kMaxCount) return FailStage1(s, CodecResult::OutputOverflow);
    s.B.resize(n);

    const std::uint16_t* const fast = s.FastLookup.data();
    const std::uint16_t* const full = s.Lookup.data();
    const unsigned maxLength = s.Table[s.TableCount - 1].Length;
    std::uint8_t* const out = s.B.data();
    std::size_t produced = 0;
    std::size_t in = s.BitPosition;
    // Unread bits sit at the top of bits; below the `count` valid ones lie zeros or the true next bits.
    std::uint64_t bits = 0;
    unsigned count = 0;

    // Fast path: a refill gives at least 56 bits, enough for three codes of up to 16 bits.
    while (n - produced >= 3 && Fits(in, 8, size)) {
        bits |= LoadBigEndian64(base + in) >> count;
        in += (63 - count) >> 3;
        count |= 56;
        for (int k = 0; k < 3; ++k) {
            std::uint16_t e = fast[bits >> (64 - kFastBits)];
            if (e == 0) e = full[bits >> (64 - kMaxCodeLength)];
            const unsigned length = e & 0xFF;
            if (length == 0) goto slow; // let the careful path name the failure
            out[produced++] = static_cast<std::uint8_t>(e >> 8);
            bits <<= e & 63; // the same as length, and one step shorter on the critical path
            count -= length;
        }
    }
slow:
    // Careful path for the last bytes of input: refill one byte at a time, never past the end.
    while (produced < n) {
        while (count <= 56 && in < size) {
            bits |= static_cast<std::uint64_t>(base[in++]) << (56 - count);
            count += 8;
        }
        const std::uint16_t e = full[bits >> (64 - kMaxCodeLength)];
        const unsigned length = e & 0xFF;
        // Fewer bits than the longest code left: the input ended before the code did.
        if (length == 0)
            return FailStage1(s, count < maxLength ? CodecResult::InputExhausted : CodecResult::UnknownCode);
        if (length > count) return FailStage1(s, CodecResult::InputExhausted);
        out[produced++] = static_cast<std::uint8_t>(e >> 8);
        bits <<= length;
        count -= length;
    }

    // `in` counts only the bytes whose bits entered `count`, so this is the first unread bit.
    const std::uint64_t bitOffset = static_cast<std::uint64_t>(in) * 8 - count;
    s.BitPosition = static_cast<std::size_t>(bitOffset / 8);
    s.BitsLeft = 8 - static_cast<int>(bitOffset % 8);
    s.Stage1Length = static_cast<std::int32_t>(n);
    return CodecResult::Ok;
}

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

    while (p < n) {
        const unsigned k = src[p++];
        if (k & 0x80) {
            const std::size_t length = (k & 0x7F) + 1;
            if (!Fits(p, length, n)) return FailStage2(s, CodecResult::InputExhausted);
            if (!Fits(o, length, capacity)) return FailStage2(s, CodecResult::OutputOverflow);
            // Whole 16-byte chunks where both buffers have the room; the surplus is overwritten later.
            const std::size_t rounded = (length + 15) & ~static_cast<std::size_t>(15);
            if (Fits(p, rounded, n) && Fits(o, rounded, capacity)) {
                for (std::size_t i = 0; i < rounded; i += 16) std::memcpy(dst + o + i, src + p + i, 16);
            } else {
                std::memcpy(dst + o, src + p, length);
            }
            p += length;
            o += length;
        } else {
            if (!Fits(p, 1, n)) return FailStage2(s, CodecResult::InputExhausted);
            const std::size_t distance = (k & 0x0F) << 8 | src[p++];
            const std::size_t length = ((k >> 4) & 7) + kMinMatch;
            if (distance == 0 || distance > o) return FailStage2(s, CodecResult::BadDistance);
            if (!Fits(o, length, capacity)) return FailStage2(s, CodecResult::OutputOverflow);
            std::uint8_t* const to = dst + o;
            const std::uint8_t* const from = to - distance;
            if (distance >= 8 && Fits(o, 16, capacity)) {
                // Two 8-byte steps: neither overlaps its source, and the second reads only final bytes.
                std::memcpy(to, from, 8);
                std::memcpy(to + 8, from + 8, 8);
            } else if (distance == 1) {
                std::memset(to, *from, length);
            } else {
                for (std::size_t i = 0; i < length; ++i) to[i] = from[i];
            }
            o += length;
        }
    }
    s.OutputCount = static_cast<std::int32_t>(o);
    return CodecResult::Ok;
}

CodecResult DecodeBlock(CodecState& s, const std::uint8_t* data, std::size_t size, std::size_t capacity) {
    s.A.clear();
    s.B.clear();
    s.OutputCount = 0;
    if (size != 0) s.A.assign(data, data + size);
    if (CodecResult r = DecodeCodeStage(s); r != CodecResult::Ok) return r;
    s.A.resize(capacity);
    return ExpandLzStage(s);
}

CodecState& SharedCodec() {
    static CodecState state;
    return state;
}
