// The fuzz target's oracle: the reference decoder of the tests (false: it refuses the input).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

bool ReferenceDecodeBlock(const std::uint8_t* data, std::size_t size, std::size_t capacity,
                          std::vector<std::uint8_t>& a, std::vector<std::uint8_t>& b, std::size_t& count);
bool ReferenceExpandLzStage(const std::vector<std::uint8_t>& b, std::vector<std::uint8_t>& a, std::size_t& count);
