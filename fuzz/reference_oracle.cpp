// The bit-by-bit reference decoder behind plain functions, in a unit of its own: the fuzzer build leaves it
// without coverage instrumentation, which would otherwise take most of the time and steer the fuzzer by the
// oracle's branches instead of the decoder's.
#include "fuzz/reference_oracle.h"

#include "portable/ReferenceDecoder.h"

bool ReferenceDecodeBlock(const std::uint8_t* data, std::size_t size, std::size_t capacity,
                          std::vector<std::uint8_t>& a, std::vector<std::uint8_t>& b, std::size_t& count)
{
    return reference::DecodeBlock(data, size, capacity, a, b, count);
}

bool ReferenceExpandLzStage(const std::vector<std::uint8_t>& b, std::vector<std::uint8_t>& a, std::size_t& count)
{
    return reference::ExpandLzStage(b, a, count);
}
