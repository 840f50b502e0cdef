// Throughput of the block decoder and the encoder on about 2 MB of executable-like data.
#include "builtin/BlockCodec.h"
#include "werbpack/Encoder.h"

#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

class Random {
public:
    explicit Random(std::uint64_t seed) : FState(seed) {}
    std::uint32_t Next() {
        FState ^= FState << 13;
        FState ^= FState >> 7;
        FState ^= FState << 17;
        return static_cast<std::uint32_t>(FState >> 16);
    }
    std::uint32_t Below(std::uint32_t n) { return Next() % n; }
    // Small values much more often than large ones, like opcode and operand use in real code.
    std::uint32_t Skewed(std::uint32_t n) { return Below(Below(n) + 1); }

private:
    std::uint64_t FState;
};

// A 32-bit program image in miniature: code built from recurring instruction patterns, pointer
// tables, strings in two encodings, alignment padding, and a little incompressible data.
Bytes ExecutableLike(std::size_t size) {
    Random rnd(0x5EED);
    static const std::vector<Bytes> kInstructions = {
        {0x55}, {0x8B, 0xEC}, {0x83, 0xEC}, {0x53}, {0x56}, {0x57}, {0x5F}, {0x5E}, {0x5B}, {0xC9}, {0xC3},
        {0x8B, 0x45}, {0x8B, 0x4D}, {0x8B, 0x55}, {0x89, 0x45}, {0x89, 0x4D}, {0x8D, 0x45}, {0xFF, 0x75},
        {0x33, 0xC0}, {0x85, 0xC0}, {0x74}, {0x75}, {0xEB}, {0x6A, 0x00}, {0x50}, {0x51}, {0x8B, 0xF0},
        {0x8B, 0xF8}, {0x3B, 0xC3}, {0x0F, 0x84}, {0x0F, 0x85}, {0xE8}, {0xFF, 0x15}, {0xA1}, {0xC7, 0x45},
    };
    static const char* const kWords[] = {"Error", "File", "Setup", "Cannot", "open", "the", "program", "folder",
                                         "Install", "Windows", "Software", "Version", "Copy", "%s", "\\", ".dll"};
    Bytes out;
    out.reserve(size + 4096);
    std::uint32_t address = 0x00401000;
    while (out.size() < size) {
        const std::uint32_t section = rnd.Below(100);
        if (section < 60) { // a function
            const std::uint32_t count = 8 + rnd.Below(120);
            for (std::uint32_t i = 0; i < count; ++i) {
                const Bytes& ins = kInstructions[rnd.Skewed(static_cast<std::uint32_t>(kInstructions.size()))];
                out.insert(out.end(), ins.begin(), ins.end());
                if (ins.size() == 2 && ins[0] != 0x33 && ins[0] != 0x85) // a ModRM displacement
                    out.push_back(static_cast<std::uint8_t>(0xF0 + 4 * rnd.Skewed(8)));
                if (ins[0] == 0xE8 || ins[0] == 0xA1 || ins[0] == 0xFF || ins[0] == 0x0F) {
                    const std::uint32_t target = address + rnd.Skewed(0x40000) * 4;
                    for (int b = 0; b < 4; ++b) out.push_back(static_cast<std::uint8_t>(target >> (8 * b)));
                }
                if (ins.size() == 1 && (ins[0] == 0x74 || ins[0] == 0x75 || ins[0] == 0xEB))
                    out.push_back(static_cast<std::uint8_t>(rnd.Below(64)));
            }
            while (out.size() % 16) out.push_back(0xCC);
        } else if (section < 75) { // pointer table
            const std::uint32_t count = 4 + rnd.Below(60);
            for (std::uint32_t i = 0; i < count; ++i) {
                address += 4 * (1 + rnd.Skewed(64));
                for (int b = 0; b < 4; ++b) out.push_back(static_cast<std::uint8_t>(address >> (8 * b)));
            }
        } else if (section < 88) { // strings, ANSI or UTF-16
            const bool wide = rnd.Below(2) == 0;
            const std::uint32_t words = 1 + rnd.Below(8);
            for (std::uint32_t i = 0; i < words; ++i) {
                for (const char* c = kWords[rnd.Skewed(16)]; *c; ++c) {
                    out.push_back(static_cast<std::uint8_t>(*c));
                    if (wide) out.push_back(0);
                }
                out.push_back(' ');
                if (wide) out.push_back(0);
            }
            out.push_back(0);
            if (wide) out.push_back(0);
        } else if (section < 97) { // padding
            out.insert(out.end(), 16 + rnd.Below(1024), 0);
        } else { // packed data
            for (std::uint32_t i = 0, n = 64 + rnd.Below(512); i < n; ++i)
                out.push_back(static_cast<std::uint8_t>(rnd.Next()));
        }
    }
    out.resize(size);
    return out;
}

// The sample: WERB_BENCH_FILE when set (a real program), otherwise 2 MB generated.
const Bytes& Sample() {
    static const Bytes sample = [] {
        if (const char* path = std::getenv("WERB_BENCH_FILE")) {
            Bytes data;
            if (std::FILE* f = std::fopen(path, "rb")) {
                std::uint8_t chunk[65536];
                std::size_t got;
                while ((got = std::fread(chunk, 1, sizeof chunk, f)) > 0) data.insert(data.end(), chunk, chunk + got);
                std::fclose(f);
            }
            if (!data.empty()) return data;
            std::fprintf(stderr, "bench_codec: cannot read %s, using generated data\n", path);
        }
        return ExecutableLike(2 * 1024 * 1024);
    }();
    return sample;
}

void DecodeBlockThroughput(benchmark::State& state) {
    const Bytes& input = Sample();
    const Bytes block = EncodeBlock(input.data(), input.size());
    CodecState codec;
    for (auto _ : state) {
        const CodecResult r = DecodeBlock(codec, block.data(), block.size(), input.size());
        if (r != CodecResult::Ok || static_cast<std::size_t>(codec.OutputCount) != input.size()) {
            state.SkipWithError(CodecResultText(r));
            break;
        }
        benchmark::DoNotOptimize(codec.A.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * input.size()));
    state.counters["ratio"] = static_cast<double>(block.size()) / static_cast<double>(input.size());
}
BENCHMARK(DecodeBlockThroughput)->Unit(benchmark::kMillisecond);

// Each stage alone, to see where decoding time goes.
void DecodeStagesThroughput(benchmark::State& state) {
    const Bytes& input = Sample();
    const Bytes stream = EncodeLzStage(input.data(), input.size());
    const Bytes block = EncodeCodeStage(stream.data(), stream.size());
    const bool lzStage = state.range(0) == 1;
    CodecState codec;
    codec.A = block;
    if (DecodeCodeStage(codec) != CodecResult::Ok) {
        state.SkipWithError("stage 1 failed");
        return;
    }
    for (auto _ : state) {
        CodecResult r;
        if (lzStage) {
            codec.A.resize(input.size());
            r = ExpandLzStage(codec);
        } else {
            codec.A.assign(block.begin(), block.end());
            r = DecodeCodeStage(codec);
        }
        if (r != CodecResult::Ok) {
            state.SkipWithError(CodecResultText(r));
            break;
        }
        benchmark::DoNotOptimize(codec.B.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * (lzStage ? input.size() : stream.size())));
    state.SetLabel(lzStage ? "LZ stage, output bytes" : "code stage, output bytes");
}
BENCHMARK(DecodeStagesThroughput)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void EncodeBlockThroughput(benchmark::State& state) {
    const Bytes& input = Sample();
    std::size_t packed = 0;
    for (auto _ : state) {
        const Bytes block = EncodeBlock(input.data(), input.size());
        packed = block.size();
        benchmark::DoNotOptimize(block.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * input.size()));
    state.counters["ratio"] = static_cast<double>(packed) / static_cast<double>(input.size());
}
BENCHMARK(EncodeBlockThroughput)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
