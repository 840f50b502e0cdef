// Writes the fuzzer's hand-made seeds: the crafted bad blocks of the decoder's tests, one file each, and the
// small good blocks they are made from.  usage: crafted_blocks FOLDER
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "portable/CodecTestBlocks.h"

namespace {

using codec_test::Block;
using codec_test::Bytes;
using codec_test::Code;

bool Write(const std::string& folder, const std::string& name, const Bytes& bytes)
{
    std::FILE* f = std::fopen((folder + "/" + name).c_str(), "wb");
    if (!f) return false;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: crafted_blocks FOLDER\n");
        return 2;
    }
    const std::string folder = argv[1];
    const std::vector<Code> ab = {{0x61, 1, 0b0}, {0x62, 1, 0b1}};
    const Bytes handMade = Block(ab, 3, "010");
    Bytes truncated(handMade.begin(), handMade.begin() + 36);
    Bytes tooLong = handMade;
    tooLong[34] = 9; // more codes than one data byte holds
    Bytes hugeN = handMade;
    hugeN[34] = hugeN[35] = hugeN[36] = hugeN[37] = 0xFF;

    const std::vector<std::pair<std::string, Bytes>> seeds = {
        // Good blocks: the hand-made one, 16-bit codes, a table ending on a byte, a run and a match.
        {"ok-hand-made", handMade},
        {"ok-16-bit-codes", Block({{0x41, 16, 0x0001}, {0x42, 1, 0b1}, {0x43, 16, 0x0000}}, 4,
                                  "1 0000000000000001 0000000000000000 1")},
        {"ok-table-on-byte", Block({{0x10, 4, 0b0000}, {0x20, 4, 0b1000}}, 3, "1000 0000 1000")},
        {"ok-run-and-match", Block({{0x82, 3, 0b000}, {0x61, 3, 0b001}, {0x62, 3, 0b010}, {0x63, 3, 0b011},
                                    {0x00, 3, 0b100}, {0x03, 3, 0b101}},
                                   6, "000 001 010 011 100 101")},
        // One per failure of the code stage.
        {"bad-one-symbol", Block({{0x41, 1, 0b0}}, 3, "000")},
        {"bad-no-symbol", Block(std::vector<Code>{}, 3, "000")},
        {"bad-empty", Block(ab, 0, "0101")},
        {"bad-equal-codes", Block({{0x41, 2, 0b01}, {0x42, 2, 0b01}}, 1, "01")},
        {"bad-prefix-code", Block({{0x41, 1, 0b0}, {0x42, 3, 0b010}}, 1, "1")},
        {"bad-prefix-long-first", Block({{0x41, 16, 0x8000}, {0x42, 1, 0b1}, {0x43, 1, 0b0}}, 1, "0")},
        {"bad-unknown-code", Block({{0x41, 1, 0b0}, {0x42, 2, 0b10}}, 3, "0 11 0000000000000000")},
        {"bad-unknown-last-code", Block({{0x41, 1, 0b0}, {0x42, 2, 0b10}}, 2, "0 11")},
        {"bad-unknown-16-bit", Block({{0x41, 1, 0b0}, {0x42, 16, 0xFFFF}}, 1, "1111111111111110")},
        {"bad-inside-table", Bytes(20, 0x00)},
        {"bad-truncated-n", truncated},
        {"bad-n-past-data", tooLong},
        {"bad-n-huge", hugeN},
        {"bad-code-past-end",
         Block({{0x41, 1, 0b0}, {0x42, 2, 0b10}, {0x43, 3, 0b110}, {0x44, 3, 0b111}}, 7, "000000 11")},
        {"bad-could-grow", Block({{0x41, 1, 0b1}, {0x42, 2, 0b01}, {0x43, 3, 0b001}}, 7, "111111 00")},
        // LZ streams as the LZ stage's bare input: runs and matches cut short, bad distances, overflow.
        {"lz-ok-run-and-match", {0x82, 0x61, 0x62, 0x63, 0x00, 0x03}},
        {"lz-ok-repeat-last", {0x80, 0x5A, 0x70, 0x01}},
        {"lz-bad-run-cut", {0x83, 'a', 'b', 'c'}},
        {"lz-bad-match-cut", {0x80, 'a', 0x00}},
        {"lz-bad-nothing-before", {0x00, 0x01}},
        {"lz-bad-distance-0", {0x80, 'a', 0x00, 0x00}},
        {"lz-bad-before-start", {0x81, 'a', 'b', 0x00, 0x03}},
        {"lz-bad-overflow", Block({{0x80, 1, 0b0}, {0x41, 1, 0b1}}, 4, "0101")},
    };
    for (const auto& [name, bytes] : seeds)
        if (!Write(folder, name, bytes)) {
            std::fprintf(stderr, "crafted_blocks: cannot write %s/%s\n", folder.c_str(), name.c_str());
            return 1;
        }
    return 0;
}
