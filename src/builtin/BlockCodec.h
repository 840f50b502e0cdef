// The two-stage compressed block format of the built-in program files: prefix-code stage, then LZ stage.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

// Outcome of one stage. Every failure leaves the buffers in bounds and ends the block.
enum class CodecResult : std::uint8_t {
    Ok,
    TooFewSymbols,  // the code table names fewer than two byte values
    EmptyBlock,     // N is 0 (or stage 2 was given no input)
    AmbiguousCode,  // a code is a prefix of (or equal to) another
    UnknownCode,    // the next bits match no code of the table
    InputExhausted, // the input ended inside the table, N, a code, or a stage-2 item
    BadDistance,    // a match distance of 0 or beyond the start of the output
    OutputOverflow, // stage 2 would write past the capacity of buffer A (or N exceeds 2^31 - 1)
};

// Short English description of a result, for messages.
const char* CodecResultText(CodecResult r);

// Limits of the format, shared by the decoder and the encoder.
inline constexpr int kMaxCodeLength = 16;
inline constexpr int kMaxLiteralRun = 128;
inline constexpr int kMinMatch = 3;
inline constexpr int kMaxMatch = 10;
inline constexpr int kMaxDistance = 4095;

struct CodeEntry {
    std::uint8_t Length; // 1..16
    std::uint16_t Code;
    std::uint8_t Value;
};

// State shared by the two stages of one block.
struct CodecState {
    std::vector<std::uint8_t> A; // stage-1 input; then the stage-2 output area, sized to the capacity
    std::vector<std::uint8_t> B; // stage-1 output (N bytes), the stage-2 input
    std::int32_t OutputCount = 0;  // bytes stage 2 produced; 0 after a failed stage 2
    std::int32_t Stage1Length = 0; // N of the last stage-1 block; 0 after a failed stage 1
    std::array<CodeEntry, 256> Table{}; // sorted by length, then byte value
    int TableCount = 0;
    std::size_t BitPosition = 0; // index of the current input byte in A
    int BitsLeft = 8;            // unread bits of that byte, 8 down to 1
    // Decoding lookups, rebuilt per block: a root table indexed by the next bits, and subtables
    // for the longer codes. Entry = length | value << 8; 0 = no code.
    std::vector<std::uint32_t> RootLookup;
    std::vector<std::uint32_t> SubLookup;
    std::vector<std::uint8_t> LaneOutput; // the multi-way decoder's speculative lanes
    int Lanes = 0; // lanes the last code stage kept (1 = serial), for tests and benchmarks
};

// How the prefix-code stage is decoded; every variant gives the same bytes and results.
enum class CodeStageVariant : std::uint8_t {
    Auto,     // multi-way when the block is large enough, serial otherwise
    Serial,   // one table-driven stream
    MultiWay, // four interleaved speculative streams whenever the block allows, else serial
};

// Decodes the stage-1 block that fills A into B; sets Stage1Length.
CodecResult DecodeCodeStage(CodecState& s);
CodecResult DecodeCodeStage(CodecState& s, CodeStageVariant variant);
// Expands the first Stage1Length bytes of B into A (whose size is the capacity); sets OutputCount.
// A keeps its size; only its first OutputCount bytes are the result.
CodecResult ExpandLzStage(CodecState& s);

// The callers' whole sequence: stage 1, size A to the capacity, stage 2. Stage 1 reads `data`
// where it lies instead of a copy in A, which then grows only once for block after block.
// On Ok the result is the first OutputCount bytes of A.
CodecResult DecodeBlock(CodecState& s, const std::uint8_t* data, std::size_t size, std::size_t capacity);
CodecResult DecodeBlock(CodecState& s, const std::uint8_t* data, std::size_t size, std::size_t capacity,
                        CodeStageVariant variant);

// Capacities of the installer's callers.
inline constexpr std::size_t kMainProgramCapacity = 2500000;
inline constexpr std::size_t kResourceCapacity = 2097152;

// The program-wide instance.
CodecState& SharedCodec();
