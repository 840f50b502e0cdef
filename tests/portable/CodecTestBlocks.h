// Hand-built blocks for the codec tests: bit strings, code tables, random prefix codes.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace codec_test {

using Bytes = std::vector<std::uint8_t>;

// Bits written most significant first, the way blocks are read; the last byte is zero-padded.
struct BitString {
    Bytes Data;
    std::size_t Count = 0;
    BitString& Put(std::uint32_t value, int count) {
        while (count--) {
            if (Count % 8 == 0) Data.push_back(0);
            if ((value >> count) & 1) Data.back() |= static_cast<std::uint8_t>(0x80 >> (Count % 8));
            ++Count;
        }
        return *this;
    }
    BitString& Put(std::string_view bits) { // "0110 1": spaces are for the reader
        for (char c : bits)
            if (c != ' ') Put(c == '1', 1);
        return *this;
    }
};

struct Code { // one row of a code table
    std::uint8_t Value;
    int Length; // 1..16
    std::uint16_t Bits;
};

// The code table of `codes` (any order), aligned to a byte.
inline BitString Table(const std::vector<Code>& codes) {
    BitString out;
    for (int v = 0; v < 256; ++v) {
        const auto c = std::find_if(codes.begin(), codes.end(), [v](const Code& e) { return e.Value == v; });
        if (c == codes.end()) out.Put(0, 1);
        else out.Put(1, 1).Put(c->Length & 15, 4).Put(c->Bits, c->Length);
    }
    return out.Put(0, static_cast<int>((8 - out.Count % 8) % 8));
}

inline BitString TableAndN(const std::vector<Code>& codes, std::uint32_t n) {
    BitString out = Table(codes);
    for (int i = 0; i < 4; ++i) out.Put((n >> (8 * i)) & 0xFF, 8);
    return out;
}

// A stage-1 block from its table, N and the data bits as text.
inline Bytes Block(const std::vector<Code>& codes, std::uint32_t n, std::string_view dataBits) {
    return TableAndN(codes, n).Put(dataBits).Data;
}

// A stage-1 block whose data are `data` coded with `codes`; `bits` receives the block's length in bits.
inline Bytes Block(const std::vector<Code>& codes, const Bytes& data, std::size_t* bits = nullptr) {
    std::vector<const Code*> byValue(256, nullptr);
    for (const Code& c : codes) byValue[c.Value] = &c;
    BitString out = TableAndN(codes, static_cast<std::uint32_t>(data.size()));
    for (std::uint8_t b : data) out.Put(byValue[b]->Bits, byValue[b]->Length);
    if (bits) *bits = out.Count;
    return out.Data;
}

// A random prefix code, in general not canonical, of up to 16 bits for `values` (2..256 of them):
// random leaves split until there are enough; `incomplete` leaves one leaf unused.
inline std::vector<Code> RandomCode(std::mt19937& rnd, std::vector<std::uint8_t> values, bool incomplete) {
    std::vector<std::string> leaves = {""};
    const std::size_t wanted = values.size() + (incomplete ? 1 : 0);
    while (leaves.size() < wanted) {
        const std::size_t i = rnd() % leaves.size();
        if (leaves[i].size() == 16) continue;
        leaves.push_back(leaves[i] + "1");
        leaves[i] += "0";
    }
    std::shuffle(leaves.begin(), leaves.end(), rnd);
    std::shuffle(values.begin(), values.end(), rnd);
    std::vector<Code> codes;
    for (std::size_t i = 0; i < values.size(); ++i)
        codes.push_back({values[i], static_cast<int>(leaves[i].size()),
                         static_cast<std::uint16_t>(std::stoul(leaves[i], nullptr, 2))});
    return codes;
}

// `count` distinct byte values in random order.
inline std::vector<std::uint8_t> RandomValues(std::mt19937& rnd, std::size_t count) {
    std::vector<std::uint8_t> all(256);
    for (int v = 0; v < 256; ++v) all[v] = static_cast<std::uint8_t>(v);
    std::shuffle(all.begin(), all.end(), rnd);
    all.resize(count);
    return all;
}

} // namespace codec_test
