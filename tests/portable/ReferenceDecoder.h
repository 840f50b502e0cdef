// The block decoder as the format defines it, bit by bit: the oracle of the tests, the baseline of the benchmark.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

namespace reference {

// One bit at a time, most significant first; false once the input has ended.
class BitReader {
public:
    BitReader(const std::uint8_t* data, std::size_t size) : FData(data), FSize(size) {}
    bool Bit(unsigned& bit) {
        if (FPosition >= FSize) return false;
        bit = (FData[FPosition] >> (FBitsLeft - 1)) & 1u;
        if (--FBitsLeft == 0) {
            ++FPosition;
            FBitsLeft = 8;
        }
        return true;
    }
    bool Bits(int count, unsigned& value) {
        value = 0;
        for (unsigned bit; count > 0; --count) {
            if (!Bit(bit)) return false;
            value = value << 1 | bit;
        }
        return true;
    }
    void Align() {
        if (FBitsLeft < 8) {
            ++FPosition;
            FBitsLeft = 8;
        }
    }
    bool Byte(unsigned& value) {
        if (FPosition >= FSize) return false;
        value = FData[FPosition++];
        return true;
    }

private:
    const std::uint8_t* FData;
    std::size_t FSize;
    std::size_t FPosition = 0;
    int FBitsLeft = 8;
};

struct Entry {
    std::uint8_t Length;
    std::uint16_t Code;
    std::uint8_t Value;
};

// Stage 1 into b; false on a block it cannot decode (it names no reason).
inline bool DecodeCodeStage(const std::uint8_t* data, std::size_t size, std::vector<std::uint8_t>& b) {
    BitReader r(data, size);
    std::array<Entry, 256> table;
    int count = 0;
    for (int v = 0; v < 256; ++v) {
        unsigned present, length, code;
        if (!r.Bit(present)) return false;
        if (!present) continue;
        if (!r.Bits(4, length)) return false;
        if (length == 0) length = 16;
        if (!r.Bits(static_cast<int>(length), code)) return false;
        table[count++] = {static_cast<std::uint8_t>(length), static_cast<std::uint16_t>(code),
                          static_cast<std::uint8_t>(v)};
    }
    if (count < 2) return false;
    // Bubble sort by length: count - 1 passes, swapping only a strictly longer left entry.
    for (int pass = 0; pass < count - 1; ++pass)
        for (int i = 0; i + 1 < count; ++i)
            if (table[i].Length > table[i + 1].Length) std::swap(table[i], table[i + 1]);
    r.Align();
    std::uint32_t n = 0;
    for (int i = 0; i < 4; ++i) {
        unsigned byte;
        if (!r.Byte(byte)) return false;
        n |= static_cast<std::uint32_t>(byte) << (8 * i);
    }
    if (n > 8 * static_cast<std::uint64_t>(size)) return false; // more codes than bits
    b.resize(n);
    for (std::uint32_t produced = 0; produced < n; ++produced) {
        int i = 0;
        unsigned cl = table[0].Length, v;
        if (!r.Bits(static_cast<int>(cl), v)) return false;
        while (table[i].Code != static_cast<std::uint16_t>(v)) {
            if (++i == count) return false;
            for (unsigned bit; table[i].Length != cl; ++cl) {
                if (!r.Bit(bit)) return false;
                v = (v << 1 | bit) & 0xFFFF;
            }
        }
        b[produced] = table[i].Value;
    }
    return true;
}

// Stage 2 of b into a (sized to the capacity by the caller); count receives the output length.
inline bool ExpandLzStage(const std::vector<std::uint8_t>& b, std::vector<std::uint8_t>& a, std::size_t& count) {
    const std::size_t n = b.size(), capacity = a.size();
    std::size_t p = 0, o = 0;
    while (p < n) {
        const unsigned k = b[p++];
        if (k >= 0x80) {
            for (unsigned length = (k & 0x7F) + 1; length > 0; --length) {
                if (p >= n || o >= capacity) return false;
                a[o++] = b[p++];
            }
        } else {
            if (p >= n) return false;
            const std::size_t distance = (k & 0x0F) << 8 | b[p++];
            if (distance == 0 || distance > o) return false;
            std::size_t s = o - distance;
            for (unsigned length = ((k >> 4) & 7) + 3; length > 0; --length) {
                if (o >= capacity) return false;
                a[o++] = a[s++];
            }
        }
    }
    count = o;
    return true;
}

// Both stages; on true the first `count` bytes of a are the output.
inline bool DecodeBlock(const std::uint8_t* data, std::size_t size, std::size_t capacity, std::vector<std::uint8_t>& a,
                        std::vector<std::uint8_t>& b, std::size_t& count) {
    if (!DecodeCodeStage(data, size, b)) return false;
    a.resize(capacity);
    return ExpandLzStage(b, a, count);
}

} // namespace reference
