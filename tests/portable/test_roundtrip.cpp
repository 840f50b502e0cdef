// Round trips of varied data through the encoder and the installer's decoder, and damaged blocks.
#include "builtin/BlockCodec.h"
#include "werbpack/Encoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

// Encodes, decodes with the capacity set to the input size, and returns the block size.
std::size_t RoundTrip(const Bytes& input) {
    const Bytes block = EncodeBlock(input.data(), input.size());
    CodecState s;
    const CodecResult r = DecodeBlock(s, block.data(), block.size(), input.size());
    EXPECT_EQ(r, CodecResult::Ok) << CodecResultText(r);
    EXPECT_TRUE(Bytes(s.A.begin(), s.A.begin() + s.OutputCount) == input) << "decoded bytes differ";
    return block.size();
}

Bytes Random(std::size_t size, std::uint32_t seed) {
    std::mt19937 rnd(seed);
    Bytes b(size);
    for (auto& x : b) x = static_cast<std::uint8_t>(rnd());
    return b;
}

Bytes Text(std::size_t size) {
    const char* const words[] = {"le ", "traducteur ", "programme ", "dossier ", "tłumacz ", "plik ", "\r\n", "."};
    std::mt19937 rnd(99);
    std::string s;
    while (s.size() < size) s += words[rnd() % 8];
    return Bytes(s.begin(), s.begin() + static_cast<std::ptrdiff_t>(size));
}

bool ReadAll(const char* path, Bytes& out, std::size_t limit) {
    std::FILE* f = std::fopen(path, "rb");
    if (!f) return false;
    out.resize(limit);
    out.resize(std::fread(out.data(), 1, limit, f));
    std::fclose(f);
    return !out.empty();
}

// The running test program: /proc/self/exe on Linux; on Windows the C runtime's program path
// from <stdlib.h> (no Windows header needed; under Wine /proc/self/exe would be Wine's loader);
// else the file WERB_SELF_EXE names.
bool ReadOwnExecutable(Bytes& out, std::size_t limit) {
#ifdef _WIN32
    const char* own = _pgmptr;
#else
    const char* own = "/proc/self/exe";
#endif
    if (own && ReadAll(own, out, limit)) return true;
    const char* named = std::getenv("WERB_SELF_EXE");
    return named && ReadAll(named, out, limit);
}

TEST(RoundTrip, TinyInputsAndAllByteValues) {
    for (int v : {0x00, 0x7F, 0x80, 0xFF}) RoundTrip(Bytes{static_cast<std::uint8_t>(v)});
    RoundTrip({1, 2});
    RoundTrip({9, 9, 9});
    Bytes all(256 * 50);
    for (std::size_t i = 0; i < all.size(); ++i) all[i] = static_cast<std::uint8_t>(i);
    RoundTrip(Bytes(all.begin(), all.begin() + 256));
    EXPECT_LT(RoundTrip(all), all.size() / 3); // repeats at distance 256
}

TEST(RoundTrip, CompressibleDataShrinks) {
    // One repeated byte: 10-byte matches at distance 1, coded in 3 bits each.
    EXPECT_LT(RoundTrip(Bytes(200000, 0x00)), 200000u / 25);
    std::mt19937 rnd(5);
    Bytes runs;
    while (runs.size() < 300000) runs.insert(runs.end(), 1 + rnd() % 5000, static_cast<std::uint8_t>(rnd() % 7));
    EXPECT_LT(RoundTrip(runs), runs.size() / 20);
    const Bytes text = Text(400000);
    EXPECT_LT(RoundTrip(text), text.size() / 3);
}

TEST(RoundTrip, RandomDataGrowsByAtMostTheRunControlsAndTheTable) {
    for (std::size_t size : {1u, 127u, 128u, 129u, 5000u, 300000u})
        EXPECT_LE(RoundTrip(Random(size, static_cast<std::uint32_t>(size))), size + size / 128 + 1 + 1000) << size;
}

TEST(RoundTrip, FindsMatchesAtTheLongestDistance) {
    // The same random 3000 bytes 4095 bytes apart.
    Bytes b = Random(3000, 1);
    const Bytes filler = Random(1095, 2), head(b);
    b.insert(b.end(), filler.begin(), filler.end());
    b.insert(b.end(), head.begin(), head.end());
    EXPECT_LT(RoundTrip(b), 3000u + 1095u + 1500u);
}

TEST(RoundTrip, OwnExecutable) {
    Bytes exe;
    if (!ReadOwnExecutable(exe, 4 << 20)) GTEST_SKIP() << "cannot find the test program's own file";
    ASSERT_GT(exe.size(), 100000u);
#ifdef _WIN32
    EXPECT_EQ(std::string(exe.begin(), exe.begin() + 2), "MZ");
#else
    EXPECT_EQ(std::string(exe.begin(), exe.begin() + 4), "\x7f" "ELF");
#endif
    EXPECT_LT(RoundTrip(exe), exe.size() * 3 / 4);
}

TEST(CodeStageEncoder, LimitsCodesToSixteenBitsAndPairsASingleValue) {
    // Fibonacci frequencies make an unlimited Huffman code 23 bits deep, which the 4-bit length
    // field cannot carry: the block decodes only if the lengths were limited.
    Bytes data;
    std::uint32_t a = 1, b = 1;
    for (int v = 0; v < 24; ++v) {
        data.insert(data.end(), a, static_cast<std::uint8_t>(v));
        std::swap(a, b);
        b += a;
    }
    std::shuffle(data.begin(), data.end(), std::mt19937(3));
    CodecState s;
    s.A = EncodeCodeStage(data.data(), data.size());
    ASSERT_EQ(DecodeCodeStage(s), CodecResult::Ok);
    EXPECT_EQ(s.B, data);
    EXPECT_LT(s.A.size(), data.size() / 3); // still a skewed code, not a flat one

    const Bytes same(1000, 0x41);
    s.A = EncodeCodeStage(same.data(), same.size());
    EXPECT_EQ(s.A.size(), 34u + 4u + 125u); // table, N, one bit per byte
    ASSERT_EQ(DecodeCodeStage(s), CodecResult::Ok);
    EXPECT_EQ(s.B, same);
    EXPECT_EQ(s.TableCount, 2);
}

// Damaged and truncated blocks: any result will do, but never a step outside the buffers
// (the host build runs this under the address and undefined-behaviour sanitizers).
TEST(DamagedBlock, NeverLeavesTheBuffers) {
    const Bytes input = Text(20000);
    const Bytes block = EncodeBlock(input.data(), input.size());
    std::mt19937 rnd(2024);
    CodecState s;
    int failures = 0;
    for (int round = 0; round < 1500; ++round) {
        Bytes damaged = block;
        if (round % 3 == 0) {
            for (unsigned k = 0, n = 1 + rnd() % 4; k < n; ++k)
                damaged[rnd() % damaged.size()] ^= static_cast<std::uint8_t>(1 + rnd() % 255);
        } else if (round % 3 == 1) {
            damaged.resize(rnd() % damaged.size());
        } else {
            damaged[34 + rnd() % (damaged.size() - 34)] = static_cast<std::uint8_t>(rnd());
        }
        const std::size_t capacity = round % 2 ? input.size() : rnd() % (2 * input.size());
        if (DecodeBlock(s, damaged.data(), damaged.size(), capacity) == CodecResult::Ok) {
            EXPECT_LE(static_cast<std::size_t>(s.OutputCount), capacity);
        } else {
            ++failures;
            EXPECT_EQ(s.OutputCount, 0);
        }
    }
    EXPECT_GT(failures, 500); // the damage was real
}

} // namespace
