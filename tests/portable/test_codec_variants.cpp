// Differential tests: every decoder variant against the bit-by-bit reference, on program files and random blocks.
#include "builtin/BlockCodec.h"
#include "portable/CodecTestBlocks.h"
#include "portable/ReferenceDecoder.h"
#include "werbpack/Encoder.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <set>
#include <vector>

namespace {

using namespace codec_test;

constexpr CodeStageVariant kVariants[] = {CodeStageVariant::Auto, CodeStageVariant::Serial, CodeStageVariant::MultiWay};

const char* Name(CodeStageVariant v) {
    switch (v) {
    case CodeStageVariant::Auto: return "auto";
    case CodeStageVariant::Serial: return "serial";
    case CodeStageVariant::MultiWay: return "multi-way";
    }
    return "?";
}

// Stage 1 of `block` by every variant must give the reference's bytes and end right after the
// last code; returns how many variants kept four lanes.
int CheckCodeStage(const Bytes& block, std::size_t endBit) {
    Bytes expected;
    EXPECT_TRUE(reference::DecodeCodeStage(block.data(), block.size(), expected));
    int multiWay = 0;
    for (CodeStageVariant v : kVariants) {
        CodecState s;
        s.A = block;
        EXPECT_EQ(DecodeCodeStage(s, v), CodecResult::Ok) << Name(v);
        EXPECT_TRUE(s.B == expected) << Name(v);
        EXPECT_EQ(s.Stage1Length, static_cast<std::int32_t>(expected.size())) << Name(v);
        EXPECT_EQ(s.BitPosition * 8 + 8 - static_cast<std::size_t>(s.BitsLeft), endBit) << Name(v);
        multiWay += s.Lanes == 4;
    }
    return multiWay;
}

// Whole blocks: every variant gives the reference's output.
void CheckBlock(const Bytes& block, std::size_t capacity) {
    Bytes a, b;
    std::size_t count = 0;
    ASSERT_TRUE(reference::DecodeBlock(block.data(), block.size(), capacity, a, b, count));
    for (CodeStageVariant v : kVariants) {
        CodecState s;
        ASSERT_EQ(DecodeBlock(s, block.data(), block.size(), capacity, v), CodecResult::Ok) << Name(v);
        ASSERT_EQ(static_cast<std::size_t>(s.OutputCount), count) << Name(v);
        EXPECT_TRUE(std::equal(a.begin(), a.begin() + static_cast<std::ptrdiff_t>(count), s.A.begin())) << Name(v);
    }
}

// A random valid LZ stream of about `size` output bytes; literals drawn from few values.
Bytes RandomLzStream(std::mt19937& rnd, std::size_t size) {
    Bytes stream;
    std::size_t produced = 0;
    while (produced < size) {
        if (produced == 0 || rnd() % 3 == 0) {
            const unsigned length = 1 + rnd() % (rnd() % 4 ? 8 : 128);
            stream.push_back(static_cast<std::uint8_t>(0x80 | (length - 1)));
            for (unsigned k = 0; k < length; ++k) stream.push_back(static_cast<std::uint8_t>(rnd() % 40));
            produced += length;
        } else {
            const unsigned length = 3 + rnd() % 8;
            const auto reach = static_cast<unsigned>(std::min<std::size_t>(produced, 4095));
            const unsigned distance = 1 + rnd() % (rnd() % 2 ? std::min(reach, 20u) : reach);
            stream.push_back(static_cast<std::uint8_t>((length - 3) << 4 | distance >> 8));
            stream.push_back(static_cast<std::uint8_t>(distance));
            produced += length;
        }
    }
    return stream;
}

// The test program's own file, a real executable; empty when it cannot be found.
Bytes OwnExecutable(std::size_t limit) {
#ifdef _WIN32
    const char* own = _pgmptr;
#else
    const char* own = "/proc/self/exe";
#endif
    Bytes out;
    std::FILE* f = own ? std::fopen(own, "rb") : nullptr;
    if (!f) return out;
    out.resize(limit);
    out.resize(std::fread(out.data(), 1, limit, f));
    std::fclose(f);
    return out;
}

TEST(DecoderVariants, AgreeOnRandomCodesUpToSixteenBits) {
    std::mt19937 rnd(4242);
    int multiWay = 0;
    for (int round = 0; round < 40; ++round) {
        SCOPED_TRACE(round);
        const std::vector<Code> codes = RandomCode(rnd, RandomValues(rnd, 2 + rnd() % 255), round % 3 == 0);
        // Skewed use of the values, as in real data; sizes on both sides of the multi-way threshold.
        Bytes data(round % 4 == 0 ? 200 + rnd() % 2000 : 4000 + rnd() % 30000);
        for (auto& b : data) b = codes[std::min<std::size_t>(rnd() % codes.size(), rnd() % codes.size())].Value;
        std::size_t bits = 0;
        const Bytes block = Block(codes, data, &bits);
        multiWay += CheckCodeStage(block, bits);
    }
    EXPECT_GT(multiWay, 30); // the speculative lanes really ran
}

TEST(DecoderVariants, AgreeOnRandomBlocks) {
    std::mt19937 rnd(99);
    for (int round = 0; round < 12; ++round) {
        SCOPED_TRACE(round);
        const Bytes stream = RandomLzStream(rnd, 5000 + rnd() % 40000);
        std::set<std::uint8_t> used(stream.begin(), stream.end());
        if (used.size() < 2) used.insert(static_cast<std::uint8_t>(*used.begin() ^ 1));
        const std::vector<Code> codes =
            RandomCode(rnd, std::vector<std::uint8_t>(used.begin(), used.end()), round % 2 == 1);
        CheckBlock(Block(codes, stream), 50000 + rnd() % 3);
    }
}

TEST(DecoderVariants, AgreeOnProgramFilesInBothEncoderModes) {
    const Bytes exe = OwnExecutable(768 * 1024);
    if (exe.size() < 100000) GTEST_SKIP() << "cannot read the test program's own file";
    // Whole parts only: a short tail (its length follows the build) may rightly take the serial decoder.
    for (std::size_t at = 0; at + 256 * 1024 <= exe.size(); at += 256 * 1024) {
        const Bytes part(exe.begin() + static_cast<std::ptrdiff_t>(at),
                         exe.begin() + static_cast<std::ptrdiff_t>(at + 256 * 1024));
        for (EncodeMode mode : {EncodeMode::Best, EncodeMode::Fast}) {
            const Bytes block = EncodeBlock(part.data(), part.size(), mode);
            CheckBlock(block, kResourceCapacity);
            CodecState s;
            ASSERT_EQ(DecodeBlock(s, block.data(), block.size(), part.size()), CodecResult::Ok);
            EXPECT_TRUE(std::equal(part.begin(), part.end(), s.A.begin()));
            EXPECT_EQ(s.Lanes, 4); // blocks this large take the multi-way decoder
        }
    }
}

// On damaged blocks the multi-way decoder gives up and the serial one names the failure:
// the same result, the same bytes, the same reader position.
TEST(DecoderVariants, AgreeOnDamagedBlocks) {
    std::mt19937 rnd(7);
    const Bytes stream = RandomLzStream(rnd, 30000);
    std::set<std::uint8_t> used(stream.begin(), stream.end());
    const std::vector<Code> codes = RandomCode(rnd, std::vector<std::uint8_t>(used.begin(), used.end()), true);
    const Bytes good = Block(codes, stream);
    for (int round = 0; round < 300; ++round) {
        SCOPED_TRACE(round);
        Bytes damaged = good;
        if (round % 3 == 0) damaged.resize(damaged.size() - 1 - rnd() % (damaged.size() / 2));
        else if (round % 3 == 1) damaged[200 + rnd() % (damaged.size() - 200)] ^= static_cast<std::uint8_t>(1 + rnd() % 255);
        else damaged.insert(damaged.end(), 8 + rnd() % 64, static_cast<std::uint8_t>(rnd())); // bytes after the last code
        CodecState serial, multi;
        serial.A = multi.A = damaged;
        const CodecResult r = DecodeCodeStage(serial, CodeStageVariant::Serial);
        EXPECT_EQ(DecodeCodeStage(multi, CodeStageVariant::MultiWay), r);
        EXPECT_TRUE(serial.B == multi.B);
        EXPECT_EQ(serial.Stage1Length, multi.Stage1Length);
        if (r == CodecResult::Ok) {
            EXPECT_EQ(serial.BitPosition, multi.BitPosition);
            EXPECT_EQ(serial.BitsLeft, multi.BitsLeft);
        }
    }
}

} // namespace
