// Tests of the block decoder: hand-made blocks, edge cases, and one crafted bad block per failure.
#include "builtin/BlockCodec.h"
#include "portable/CodecTestBlocks.h"
#include "portable/ReferenceDecoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace {

using namespace codec_test;

CodecResult Stage1(CodecState& s, const Bytes& block) {
    s = CodecState{};
    s.A = block;
    return DecodeCodeStage(s);
}

CodecResult Stage2(CodecState& s, const Bytes& stream, std::size_t capacity) {
    s.B = stream;
    s.Stage1Length = static_cast<std::int32_t>(stream.size());
    s.A.assign(capacity, 0xEE);
    return ExpandLzStage(s);
}

Bytes Output(const CodecState& s) { return Bytes(s.A.begin(), s.A.begin() + s.OutputCount); }

// A 39-byte block written out by hand: 0x61 -> "0", 0x62 -> "1", N = 3, data bits 010.
const Bytes kHandMadeBlock = [] {
    Bytes b(12, 0x00);
    b.insert(b.end(), {0x45, 0x18});
    b.insert(b.end(), 20, 0x00);
    b.insert(b.end(), {0x03, 0x00, 0x00, 0x00, 0x40});
    return b;
}();
const std::vector<Code> kAB = {{0x61, 1, 0b0}, {0x62, 1, 0b1}};

// ---- Stage 1 ----------------------------------------------------------------------------

TEST(CodeStage, DecodesAHandMadeBlock) {
    ASSERT_EQ(kHandMadeBlock.size(), 39u);
    EXPECT_EQ(Block(kAB, 3, "010"), kHandMadeBlock); // the helper writes the same layout
    CodecState s;
    ASSERT_EQ(Stage1(s, kHandMadeBlock), CodecResult::Ok);
    EXPECT_EQ(s.B, (Bytes{0x61, 0x62, 0x61}));
    EXPECT_EQ(s.Stage1Length, 3);
    ASSERT_EQ(s.TableCount, 2);
    EXPECT_EQ(s.Table[1].Value, 0x62);
    EXPECT_EQ(s.Table[1].Code, 1);
    EXPECT_EQ(s.BitPosition, 38u); // three bits into the last byte
    EXPECT_EQ(s.BitsLeft, 5);
}

TEST(CodeStage, TableLayoutEdgeCases) {
    CodecState s;
    // Length field 0 means a 16-bit code.
    const std::vector<Code> long16 = {{0x41, 16, 0x0001}, {0x42, 1, 0b1}, {0x43, 16, 0x0000}};
    ASSERT_EQ(Stage1(s, Block(long16, 4, "1 0000000000000001 0000000000000000 1")), CodecResult::Ok);
    EXPECT_EQ(s.B, (Bytes{0x42, 0x41, 0x43, 0x42}));
    EXPECT_EQ(s.Table[2].Length, 16);

    // Two 4-bit codes make 272 table bits, exactly 34 bytes: N follows with nothing skipped.
    const std::vector<Code> nibbles = {{0x10, 4, 0b0000}, {0x20, 4, 0b1000}};
    ASSERT_EQ(Table(nibbles).Count, 272u);
    ASSERT_EQ(Stage1(s, Block(nibbles, 3, "1000 0000 1000")), CodecResult::Ok);
    EXPECT_EQ(s.B, (Bytes{0x20, 0x10, 0x20}));

    // The hand-made table ends 6 bits into byte 33; whatever those bits hold is skipped.
    Bytes padded = kHandMadeBlock;
    padded[33] |= 0x3F;
    ASSERT_EQ(Stage1(s, padded), CodecResult::Ok);
    EXPECT_EQ(s.B, (Bytes{0x61, 0x62, 0x61}));

    // Bits after the last code, and bytes after them, change nothing.
    Bytes trailing = Block(kAB, 3, "010 11111");
    trailing.insert(trailing.end(), {0xFF, 0x00, 0xA5});
    ASSERT_EQ(Stage1(s, trailing), CodecResult::Ok);
    EXPECT_EQ(s.B, (Bytes{0x61, 0x62, 0x61}));
}

TEST(CodeStage, SortsTheTableByLengthThenByteValue) {
    const std::vector<Code> codes = {{0x05, 3, 0b110}, {0x07, 3, 0b111}, {0x10, 2, 0b10}, {0x20, 1, 0b0}};
    CodecState s;
    ASSERT_EQ(Stage1(s, Block(codes, Bytes{0x07, 0x20, 0x05, 0x10})), CodecResult::Ok);
    EXPECT_EQ(s.B, (Bytes{0x07, 0x20, 0x05, 0x10}));
    ASSERT_EQ(s.TableCount, 4);
    const std::uint8_t order[] = {0x20, 0x10, 0x05, 0x07};
    for (int i = 0; i < 4; ++i) EXPECT_EQ(s.Table[i].Value, order[i]) << "entry " << i;
}

TEST(CodeStage, TableLookupGivesTheBytesOfTheLinearSearch) {
    std::mt19937 rnd(12345);
    for (int round = 0; round < 60; ++round) {
        // A random prefix code up to 16 bits deep; odd rounds leave one leaf unused.
        const std::vector<Code> codes = RandomCode(rnd, RandomValues(rnd, 2 + rnd() % 199), round % 2);
        Bytes data(1 + rnd() % 3000);
        for (auto& b : data) b = codes[rnd() % codes.size()].Value;
        std::size_t bits = 0;
        const Bytes block = Block(codes, data, &bits);

        CodecState s;
        ASSERT_EQ(Stage1(s, block), CodecResult::Ok) << "round " << round;
        EXPECT_EQ(s.B, data) << "round " << round;
        Bytes linear;
        ASSERT_TRUE(reference::DecodeCodeStage(block.data(), block.size(), linear)) << "round " << round;
        EXPECT_EQ(s.B, linear) << "round " << round;
        EXPECT_EQ(s.BitPosition * 8 + 8 - s.BitsLeft, bits) << "round " << round; // right after the last code
    }
}

// ---- Stage 2 ----------------------------------------------------------------------------

TEST(LzStage, ExpandsARunAndAMatchAndKeepsTheCapacity) {
    CodecState s;
    ASSERT_EQ(Stage2(s, {0x82, 0x61, 0x62, 0x63, 0x00, 0x03}, 100), CodecResult::Ok);
    EXPECT_EQ(Output(s), (Bytes{0x61, 0x62, 0x63, 0x61, 0x62, 0x63}));
    EXPECT_EQ(s.A.size(), 100u);
}

TEST(LzStage, ItemLimits) {
    CodecState s;
    // 0x80 is a run of 1, 0xFF a run of 128; the last run ends B while A has room to spare.
    Bytes stream = {0x80, 0x11, 0xFF}, expected = {0x11};
    for (std::uint8_t i = 0; i < 128; ++i) {
        stream.push_back(i);
        expected.push_back(i);
    }
    stream.insert(stream.end(), {0x89, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10});
    expected.insert(expected.end(), {1, 2, 3, 4, 5, 6, 7, 8, 9, 10});
    ASSERT_EQ(Stage2(s, stream, 1000), CodecResult::Ok);
    EXPECT_EQ(Output(s), expected);

    ASSERT_EQ(Stage2(s, {0x80, 0x5A, 0x70, 0x01}, 11), CodecResult::Ok);
    EXPECT_EQ(Output(s), Bytes(11, 0x5A)); // 10 copies of the last byte

    // 4095 literals, then 0x0F 0xFF copies 3 bytes from 4095 back.
    stream.clear();
    expected.clear();
    for (int i = 0; i < 4095; ++i) {
        if (i % 128 == 0) stream.push_back(static_cast<std::uint8_t>(0x80 | (std::min(4095 - i, 128) - 1)));
        stream.push_back(static_cast<std::uint8_t>(i * 7 + 1));
        expected.push_back(static_cast<std::uint8_t>(i * 7 + 1));
    }
    stream.insert(stream.end(), {0x0F, 0xFF});
    expected.insert(expected.end(), {expected[0], expected[1], expected[2]});
    ASSERT_EQ(Stage2(s, stream, 5000), CodecResult::Ok);
    EXPECT_EQ(Output(s), expected);
}

// Random valid streams against a copy one byte at a time, overlapping matches included.
TEST(LzStage, ExpansionMatchesByteByByteCopy) {
    std::mt19937 rnd(777);
    for (int round = 0; round < 200; ++round) {
        Bytes stream, expected;
        for (int i = 0, items = 1 + static_cast<int>(rnd() % 400); i < items; ++i) {
            if (expected.empty() || rnd() % 3 == 0) {
                const unsigned length = 1 + rnd() % 128;
                stream.push_back(static_cast<std::uint8_t>(0x80 | (length - 1)));
                for (unsigned k = 0; k < length; ++k) {
                    stream.push_back(static_cast<std::uint8_t>(rnd() % 4));
                    expected.push_back(stream.back());
                }
            } else {
                const unsigned length = 3 + rnd() % 8;
                const auto reach = static_cast<unsigned>(std::min<std::size_t>(expected.size(), 4095));
                const unsigned distance = 1 + rnd() % (rnd() % 2 ? std::min(reach, 20u) : reach);
                stream.push_back(static_cast<std::uint8_t>((length - 3) << 4 | distance >> 8));
                stream.push_back(static_cast<std::uint8_t>(distance));
                for (unsigned k = 0; k < length; ++k) expected.push_back(expected[expected.size() - distance]);
            }
        }
        CodecState s;
        ASSERT_EQ(Stage2(s, stream, expected.size() + rnd() % 3), CodecResult::Ok) << "round " << round;
        ASSERT_EQ(Output(s), expected) << "round " << round;
    }
}

TEST(DecodeBlock, RunsBothStagesAndLeavesTheCapacityAsTheLengthOfA) {
    const std::vector<Code> codes = {{0x82, 3, 0b000}, {0x61, 3, 0b001}, {0x62, 3, 0b010},
                                     {0x63, 3, 0b011}, {0x00, 3, 0b100}, {0x03, 3, 0b101}};
    const Bytes block = Block(codes, Bytes{0x82, 0x61, 0x62, 0x63, 0x00, 0x03});
    CodecState s;
    ASSERT_EQ(DecodeBlock(s, block.data(), block.size(), kResourceCapacity), CodecResult::Ok);
    EXPECT_EQ(Output(s), (Bytes{0x61, 0x62, 0x63, 0x61, 0x62, 0x63}));
    EXPECT_EQ(s.A.size(), kResourceCapacity);
}

// ---- One crafted bad block per failure ----------------------------------------------------

TEST(CorruptBlock, TooFewSymbols) {
    CodecState s;
    EXPECT_EQ(Stage1(s, Block({{0x41, 1, 0b0}}, 3, "000")), CodecResult::TooFewSymbols);
    EXPECT_EQ(Stage1(s, Block({}, 3, "000")), CodecResult::TooFewSymbols);
    EXPECT_EQ(s.Stage1Length, 0);
}

TEST(CorruptBlock, EmptyBlock) {
    CodecState s;
    EXPECT_EQ(Stage1(s, Block(kAB, 0, "0101")), CodecResult::EmptyBlock);
    s = CodecState{};
    s.A.assign(16, 0);
    EXPECT_EQ(ExpandLzStage(s), CodecResult::EmptyBlock); // Stage1Length 0: B[0] is not read
}

TEST(CorruptBlock, AmbiguousCode) {
    CodecState s;
    EXPECT_EQ(Stage1(s, Block({{0x41, 2, 0b01}, {0x42, 2, 0b01}}, 1, "01")), CodecResult::AmbiguousCode); // equal
    EXPECT_EQ(Stage1(s, Block({{0x41, 1, 0b0}, {0x42, 3, 0b010}}, 1, "1")), CodecResult::AmbiguousCode); // prefix
    EXPECT_EQ(Stage1(s, Block({{0x41, 16, 0x8000}, {0x42, 1, 0b1}, {0x43, 1, 0b0}}, 1, "0")),
              CodecResult::AmbiguousCode); // the longer code comes first in byte order
}

TEST(CorruptBlock, UnknownCode) {
    const std::vector<Code> incomplete = {{0x41, 1, 0b0}, {0x42, 2, 0b10}}; // nothing starts with 11
    CodecState s;
    EXPECT_EQ(Stage1(s, Block(incomplete, 3, "0 11 0000000000000000")), CodecResult::UnknownCode);
    EXPECT_EQ(Stage1(s, Block(incomplete, 2, "0 11")), CodecResult::UnknownCode); // the last code of the input
    EXPECT_EQ(Stage1(s, Block({{0x41, 1, 0b0}, {0x42, 16, 0xFFFF}}, 1, "1111111111111110")), CodecResult::UnknownCode);
    EXPECT_TRUE(s.B.empty());
}

TEST(CorruptBlock, InputExhausted) {
    CodecState s;
    EXPECT_EQ(Stage1(s, Bytes(20, 0x00)), CodecResult::InputExhausted); // inside the table
    EXPECT_EQ(Stage1(s, Bytes(kHandMadeBlock.begin(), kHandMadeBlock.begin() + 36)), CodecResult::InputExhausted);
    // One data byte holds at most eight codes: N = 8 decodes, N = 9 is refused before B is sized.
    Bytes block = kHandMadeBlock;
    block[34] = 8;
    ASSERT_EQ(Stage1(s, block), CodecResult::Ok);
    EXPECT_EQ(s.B, (Bytes{0x61, 0x62, 0x61, 0x61, 0x61, 0x61, 0x61, 0x61}));
    block[34] = 9;
    EXPECT_EQ(Stage1(s, block), CodecResult::InputExhausted);
    EXPECT_EQ(s.B.capacity(), 0u);
    block[34] = block[35] = block[36] = block[37] = 0xFF;
    EXPECT_EQ(Stage1(s, block), CodecResult::InputExhausted);
    EXPECT_EQ(s.B.capacity(), 0u);
    // The last code starts inside the input but ends after it.
    const std::vector<Code> codes = {{0x41, 1, 0b0}, {0x42, 2, 0b10}, {0x43, 3, 0b110}, {0x44, 3, 0b111}};
    EXPECT_EQ(Stage1(s, Block(codes, 7, "000000 11")), CodecResult::InputExhausted);
    // The input ends after "00", which could still grow into a code: not an unknown code yet.
    const std::vector<Code> no000 = {{0x41, 1, 0b1}, {0x42, 2, 0b01}, {0x43, 3, 0b001}};
    EXPECT_EQ(Stage1(s, Block(no000, 7, "111111 00")), CodecResult::InputExhausted);
    // Stage 2: a literal run, and a match's low byte, past the N bytes; N past B.
    EXPECT_EQ(Stage2(s, {0x83, 'a', 'b', 'c'}, 100), CodecResult::InputExhausted);
    EXPECT_EQ(Stage2(s, {0x80, 'a', 0x00}, 100), CodecResult::InputExhausted);
    EXPECT_EQ(s.OutputCount, 0);
    s.B = {0x80, 'a'};
    s.Stage1Length = 3;
    EXPECT_EQ(ExpandLzStage(s), CodecResult::InputExhausted);
}

TEST(CorruptBlock, BadDistance) {
    CodecState s;
    EXPECT_EQ(Stage2(s, {0x00, 0x01}, 100), CodecResult::BadDistance);                 // nothing output yet
    EXPECT_EQ(Stage2(s, {0x80, 'a', 0x00, 0x00}, 100), CodecResult::BadDistance);      // distance 0
    EXPECT_EQ(Stage2(s, {0x81, 'a', 'b', 0x00, 0x03}, 100), CodecResult::BadDistance); // one before the start
    EXPECT_EQ(Stage2(s, {0x81, 'a', 'b', 0x00, 0x02}, 100), CodecResult::Ok);          // the very start
    EXPECT_EQ(Output(s), (Bytes{'a', 'b', 'a', 'b', 'a'}));
}

TEST(CorruptBlock, OutputOverflow) {
    CodecState s;
    EXPECT_EQ(Stage2(s, {0x85, 1, 2, 3, 4, 5, 6}, 5), CodecResult::OutputOverflow);
    EXPECT_EQ(Stage2(s, {0x82, 1, 2, 3, 0x00, 0x03}, 5), CodecResult::OutputOverflow);
    EXPECT_EQ(s.OutputCount, 0);
    EXPECT_EQ(Stage2(s, {0x82, 1, 2, 3, 0x00, 0x03}, 6), CodecResult::Ok); // exactly full
    const Bytes block = Block({{0x80, 1, 0b0}, {0x41, 1, 0b1}}, Bytes{0x80, 0x41, 0x80, 0x41});
    EXPECT_EQ(DecodeBlock(s, block.data(), block.size(), 1), CodecResult::OutputOverflow);
    EXPECT_EQ(DecodeBlock(s, block.data(), block.size(), 2), CodecResult::Ok);
}

} // namespace
