// Encoder of the compressed block format: the inverse of DecodeBlock, used by werbpack and the tests.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Largest input EncodeBlock accepts (256 MiB): the decoder counts in signed 32 bits, the LZ
// stage may grow incompressible data by one byte in 128, and the match finder indexes its
// candidates (at most 72 per byte) in 32 bits.
inline constexpr std::size_t kMaxEncodeSize = std::size_t{1} << 28;

// How hard the LZ stage looks for the cheapest parse.
enum class EncodeMode : std::uint8_t {
    Best, // optimal parse priced by the prefix stage's code lengths; never larger than Fast
    Fast, // one pass of a priced parse over the last places of three hashes
};

// LZ stage: literal runs of 1..128 and matches of 3..10 bytes at distances 1..4095.
std::vector<std::uint8_t> EncodeLzStage(const std::uint8_t* data, std::size_t size, EncodeMode mode = EncodeMode::Best);
// Prefix-code stage: code table (1..16-bit codes, at least two byte values), N, coded bits.
// Returns an empty vector for an empty input, which the format cannot express.
std::vector<std::uint8_t> EncodeCodeStage(const std::uint8_t* data, std::size_t size);
// Both stages; size must be 1..kMaxEncodeSize, otherwise the result is empty.
std::vector<std::uint8_t> EncodeBlock(const std::uint8_t* data, std::size_t size, EncodeMode mode = EncodeMode::Best);
