// Codec benchmark: our decoders against zlib, libdeflate, memcpy and the bit-by-bit decoder; encoder modes against gzip -9.
#include "builtin/BlockCodec.h"
#include "portable/ReferenceDecoder.h"
#include "werbpack/Encoder.h"

#include <benchmark/benchmark.h>
#ifdef WERB_HAVE_ZLIB
#include <zlib.h>
#endif
#ifdef WERB_HAVE_LIBDEFLATE
#include <libdeflate.h>
#endif

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

// ---- The corpus: executables of this machine, cut into blocks as the installer stores them ----

constexpr std::size_t kBlockSize = kResourceCapacity;
constexpr std::size_t kSmallBlock = 60 * 1024;

struct Source {
    std::string Path;
    std::size_t Limit; // bytes taken from the start of the file
};

// The first existing `name` in any folder matching dir/*/ or dir itself.
std::string FindIn(const std::vector<std::string>& dirs, const std::string& name) {
    for (const std::string& dir : dirs) {
        std::error_code ec;
        if (fs::is_regular_file(fs::path(dir) / name, ec)) return (fs::path(dir) / name).string();
        std::vector<fs::path> subdirs;
        for (const auto& e : fs::directory_iterator(dir, ec))
            if (e.is_directory(ec)) subdirs.push_back(e.path());
        std::sort(subdirs.begin(), subdirs.end());
        for (const fs::path& sub : subdirs)
            if (fs::is_regular_file(sub / name, ec)) return (sub / name).string();
    }
    return {};
}

std::vector<Source> Sources() {
    std::vector<Source> list;
    if (const char* named = std::getenv("WERB_BENCH_FILES")) { // colon-separated, whole files
        std::string all = named;
        for (std::size_t at = 0; at <= all.size();) {
            const std::size_t colon = std::min(all.find(':', at), all.size());
            if (colon > at) list.push_back({all.substr(at, colon - at), std::size_t{1} << 28});
            at = colon + 1;
        }
        return list;
    }
    constexpr std::size_t MiB = 1 << 20;
    const std::vector<std::string> mingw = {"/usr/lib/gcc/i686-w64-mingw32", "/usr/i686-w64-mingw32/lib"};
    const std::vector<std::string> wine = {"/usr/lib/i386-linux-gnu/wine/i386-windows", "/usr/lib/wine/i386-windows",
                                           "/usr/lib/wine"};
    list.push_back({WERB_SOURCE_DIR "/build/win32/instalator.exe", 4 * MiB});
    list.push_back({FindIn(mingw, "libstdc++-6.dll"), 2 * MiB});
    list.push_back({FindIn(mingw, "libgcc_s_dw2-1.dll"), 2 * MiB});
    list.push_back({FindIn(mingw, "libwinpthread-1.dll"), 2 * MiB});
    for (const char* dll : {"user32.dll", "comctl32.dll", "kernelbase.dll"}) list.push_back({FindIn(wine, dll), MiB});
    for (const char* bin : {"/usr/bin/bash", "/usr/bin/ls"}) list.push_back({bin, 2 * MiB});
    return list;
}

bool ReadPrefix(const std::string& path, std::size_t limit, Bytes& out) {
    std::ifstream f(path, std::ios::binary);
    if (!f) return false;
    out.resize(limit);
    f.read(reinterpret_cast<char*>(out.data()), static_cast<std::streamsize>(limit));
    out.resize(static_cast<std::size_t>(f.gcount()));
    return !out.empty();
}

struct Block {
    Bytes Raw, Best, Fast, Zlib, Deflate;
};

struct Corpus {
    std::vector<std::string> Files;
    std::vector<Block> Blocks;
    Block Small; // a 60 KB block
    Bytes SetupBlock; // a real code table with N = 1
    std::size_t RawBytes = 0, GzipBytes = 0, BestBytes = 0, FastBytes = 0, LargestBlock = 0;
};

// zlib at level 9: raw deflate (windowBits -15) for the decoder runs, the gzip wrapper (15 + 16) for sizes.
Bytes ZlibDeflate(const Bytes& raw, int windowBits) {
#ifdef WERB_HAVE_ZLIB
    z_stream z{};
    deflateInit2(&z, 9, Z_DEFLATED, windowBits, 8, Z_DEFAULT_STRATEGY);
    Bytes out(deflateBound(&z, raw.size()));
    z.next_in = const_cast<Bytes::value_type*>(raw.data());
    z.avail_in = static_cast<uInt>(raw.size());
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
#else
    (void)raw;
    (void)windowBits;
    return {};
#endif
}

std::size_t GzipSize(const Bytes& file) { return ZlibDeflate(file, 15 + 16).size(); } // what gzip -9 writes
Bytes ZlibRaw(const Bytes& raw) { return ZlibDeflate(raw, -15); }

Bytes LibdeflateRaw(const Bytes& raw) {
#ifdef WERB_HAVE_LIBDEFLATE
    libdeflate_compressor* c = libdeflate_alloc_compressor(12);
    Bytes out(libdeflate_deflate_compress_bound(c, raw.size()));
    out.resize(libdeflate_deflate_compress(c, raw.data(), raw.size(), out.data(), out.size()));
    libdeflate_free_compressor(c);
    return out;
#else
    (void)raw;
    return {};
#endif
}

// The table of a block followed by N = 1 and one code: what a block costs before its first byte.
Bytes SetupBlockFrom(const Bytes& block) {
    reference::BitReader r(block.data(), block.size());
    for (int v = 0; v < 256; ++v) {
        unsigned present = 0, length = 0, code = 0;
        r.Bit(present);
        if (!present) continue;
        r.Bits(4, length);
        r.Bits(length ? static_cast<int>(length) : 16, code);
    }
    r.Align();
    std::size_t tableEnd = 0;
    for (unsigned byte; r.Byte(byte);) ++tableEnd;
    tableEnd = block.size() - tableEnd;
    Bytes out(block.begin(), block.begin() + static_cast<std::ptrdiff_t>(tableEnd));
    out.insert(out.end(), {1, 0, 0, 0});
    out.insert(out.end(), block.begin() + static_cast<std::ptrdiff_t>(tableEnd + 4),
               block.begin() + static_cast<std::ptrdiff_t>(std::min(block.size(), tableEnd + 12)));
    return out;
}

Block Prepare(Bytes raw) {
    Block b;
    b.Raw = std::move(raw);
    // The four compressors of a block are independent: two at a time on two cores.
    std::thread other([&] {
        b.Fast = EncodeBlock(b.Raw.data(), b.Raw.size(), EncodeMode::Fast);
        b.Zlib = ZlibRaw(b.Raw);
        b.Deflate = LibdeflateRaw(b.Raw);
    });
    b.Best = EncodeBlock(b.Raw.data(), b.Raw.size(), EncodeMode::Best);
    other.join();
    return b;
}

const Corpus& TheCorpus() {
    static const Corpus corpus = [] {
        Corpus c;
        for (const Source& src : Sources()) {
            Bytes file;
            if (src.Path.empty() || !ReadPrefix(src.Path, src.Limit, file)) continue;
            c.Files.push_back(src.Path + " (" + std::to_string(file.size()) + " bytes)");
            std::fprintf(stderr, "bench_codec: compressing %s, %zu bytes\n", src.Path.c_str(), file.size());
            c.RawBytes += file.size();
            c.GzipBytes += GzipSize(file);
            for (std::size_t at = 0; at < file.size(); at += kBlockSize) {
                const std::size_t size = std::min(kBlockSize, file.size() - at);
                c.Blocks.push_back(Prepare(Bytes(file.begin() + static_cast<std::ptrdiff_t>(at),
                                                 file.begin() + static_cast<std::ptrdiff_t>(at + size))));
                c.BestBytes += c.Blocks.back().Best.size();
                c.FastBytes += c.Blocks.back().Fast.size();
                c.LargestBlock = std::max(c.LargestBlock, size);
            }
        }
        if (c.Blocks.empty()) {
            std::fprintf(stderr, "bench_codec: no executable found for the corpus\n");
            std::exit(1);
        }
        const Bytes& first = c.Blocks.front().Raw;
        c.Small = Prepare(Bytes(first.begin(), first.begin() + static_cast<std::ptrdiff_t>(std::min(first.size(), kSmallBlock))));
        c.SetupBlock = SetupBlockFrom(c.Blocks.front().Best);
        return c;
    }();
    return corpus;
}

// ---- Decoders ----------------------------------------------------------------------------

enum class Decoder { Ours, Serial, BitByBit, Zlib, Libdeflate, Memcpy };

// Decodes every block once; false if a result differs from the input.
class DecodeRun {
public:
    explicit DecodeRun(Decoder which) : FWhich(which), FOut(kBlockSize) {
#ifdef WERB_HAVE_ZLIB
        if (which == Decoder::Zlib) inflateInit2(&FZ, -15);
#endif
#ifdef WERB_HAVE_LIBDEFLATE
        if (which == Decoder::Libdeflate) FD = libdeflate_alloc_decompressor();
#endif
    }
    ~DecodeRun() {
#ifdef WERB_HAVE_ZLIB
        if (FWhich == Decoder::Zlib) inflateEnd(&FZ);
#endif
#ifdef WERB_HAVE_LIBDEFLATE
        if (FD) libdeflate_free_decompressor(FD);
#endif
    }

    // The decoded bytes of b, or null on failure.
    const std::uint8_t* Decode(const Block& b, std::size_t& size) {
        switch (FWhich) {
        case Decoder::Ours:
        case Decoder::Serial: {
            const auto variant = FWhich == Decoder::Ours ? CodeStageVariant::Auto : CodeStageVariant::Serial;
            if (DecodeBlock(FCodec, b.Best.data(), b.Best.size(), kResourceCapacity, variant) != CodecResult::Ok)
                return nullptr;
            size = static_cast<std::size_t>(FCodec.OutputCount);
            return FCodec.A.data();
        }
        case Decoder::BitByBit:
            if (!reference::DecodeBlock(b.Best.data(), b.Best.size(), kResourceCapacity, FOut, FStage1, size))
                return nullptr;
            return FOut.data();
        case Decoder::Zlib:
#ifdef WERB_HAVE_ZLIB
            inflateReset(&FZ);
            FZ.next_in = const_cast<Bytes::value_type*>(b.Zlib.data());
            FZ.avail_in = static_cast<uInt>(b.Zlib.size());
            FZ.next_out = FOut.data();
            FZ.avail_out = static_cast<uInt>(FOut.size());
            if (inflate(&FZ, Z_FINISH) != Z_STREAM_END) return nullptr;
            size = FZ.total_out;
            return FOut.data();
#else
            return nullptr;
#endif
        case Decoder::Libdeflate:
#ifdef WERB_HAVE_LIBDEFLATE
            if (libdeflate_deflate_decompress(FD, b.Deflate.data(), b.Deflate.size(), FOut.data(), FOut.size(), &size) !=
                LIBDEFLATE_SUCCESS)
                return nullptr;
            return FOut.data();
#else
            return nullptr;
#endif
        case Decoder::Memcpy:
            std::memcpy(FOut.data(), b.Raw.data(), b.Raw.size());
            size = b.Raw.size();
            return FOut.data();
        }
        return nullptr;
    }

    int Lanes() const { return FCodec.Lanes; }

private:
    Decoder FWhich;
    Bytes FOut, FStage1;
    CodecState FCodec;
#ifdef WERB_HAVE_ZLIB
    z_stream FZ{};
#endif
#ifdef WERB_HAVE_LIBDEFLATE
    libdeflate_decompressor* FD = nullptr;
#endif
};

void DecodeBlocks(benchmark::State& state, Decoder which, bool small) {
    const Corpus& c = TheCorpus();
    std::vector<const Block*> blocks;
    if (small) blocks.push_back(&c.Small);
    else
        for (const Block& b : c.Blocks) blocks.push_back(&b);
    DecodeRun run(which);
    std::size_t bytes = 0;
    for (const Block* b : blocks) { // once untimed: the right bytes, and warm buffers
        std::size_t size = 0;
        const std::uint8_t* out = run.Decode(*b, size);
        if (!out || size != b->Raw.size() || std::memcmp(out, b->Raw.data(), size) != 0) {
            state.SkipWithError("decoded bytes differ (or this decoder is not built in)");
            return;
        }
        bytes += size;
    }
    for (auto _ : state)
        for (const Block* b : blocks) {
            std::size_t size = 0;
            benchmark::DoNotOptimize(run.Decode(*b, size));
        }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
    if (which == Decoder::Ours) state.counters["lanes"] = run.Lanes();
}

// Header and table of one block: a real table, N = 1.
void DecodeSetup(benchmark::State& state) {
    CodecState codec;
    codec.A = TheCorpus().SetupBlock;
    if (DecodeCodeStage(codec) != CodecResult::Ok) {
        state.SkipWithError("the set-up block does not decode");
        return;
    }
    for (auto _ : state) benchmark::DoNotOptimize(DecodeCodeStage(codec));
    state.counters["calls"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

// Each of our stages alone over the corpus, one codec per block so that its stage-1 input stays loaded.
void DecodeStage(benchmark::State& state, bool lzStage) {
    const Corpus& c = TheCorpus();
    std::vector<CodecState> codecs(c.Blocks.size());
    for (std::size_t i = 0; i < codecs.size(); ++i) {
        codecs[i].A = c.Blocks[i].Best;
        if (DecodeCodeStage(codecs[i]) != CodecResult::Ok) {
            state.SkipWithError("a block does not decode");
            return;
        }
        if (lzStage) codecs[i].A.resize(kResourceCapacity);
    }
    for (auto _ : state)
        for (CodecState& codec : codecs) benchmark::DoNotOptimize(lzStage ? ExpandLzStage(codec) : DecodeCodeStage(codec));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * c.RawBytes));
}

void EncodeBlocks(benchmark::State& state, EncodeMode mode) {
    const Corpus& c = TheCorpus();
    for (auto _ : state)
        for (const Block& b : c.Blocks) benchmark::DoNotOptimize(EncodeBlock(b.Raw.data(), b.Raw.size(), mode).data());
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * c.RawBytes));
}

// ---- The table of ratios -------------------------------------------------------------------

// Keeps every run's counters; the table uses the median of the repetitions.
class TableReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& reports) override {
        for (const Run& r : reports) {
            if (r.error_occurred) continue;
            const std::string name = r.run_name.function_name;
            for (const auto& [counter, value] : r.counters) {
                if (r.run_type == Run::RT_Aggregate) {
                    if (r.aggregate_name == "median") FMedian[name][counter] = value.value;
                } else {
                    FRuns[name][counter].push_back(value.value);
                }
            }
        }
        ConsoleReporter::ReportRuns(reports);
    }

    // Median of a counter of a benchmark; 0 when it did not run.
    double Value(const std::string& name, const std::string& counter) const {
        if (auto m = FMedian.find(name); m != FMedian.end())
            if (auto v = m->second.find(counter); v != m->second.end()) return v->second;
        auto r = FRuns.find(name);
        if (r == FRuns.end()) return 0;
        auto v = r->second.find(counter);
        if (v == r->second.end() || v->second.empty()) return 0;
        std::vector<double> values = v->second;
        std::sort(values.begin(), values.end());
        const std::size_t mid = values.size() / 2;
        return values.size() % 2 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
    }
    double MBs(const std::string& name) const { return Value(name, "bytes_per_second") / 1e6; }

private:
    std::map<std::string, std::map<std::string, double>> FMedian;
    std::map<std::string, std::map<std::string, std::vector<double>>> FRuns;
};

std::string CpuModel() {
    std::ifstream f("/proc/cpuinfo");
    for (std::string line; std::getline(f, line);)
        if (line.rfind("model name", 0) == 0) return line.substr(line.find(':') + 2);
    return "unknown CPU";
}

double Ratio(double a, double b) { return b > 0 ? a / b : 0; }

const char* Verdict(bool met) { return met ? "met" : "MISSED"; }

void PrintTable(const TableReporter& t) {
    const Corpus& c = TheCorpus();
    std::printf("\nCodec benchmark on %u cores of %s; medians of the repetitions, ratios from this run\n",
                std::thread::hardware_concurrency(), CpuModel().c_str());
    std::printf("corpus: %zu bytes in %zu blocks of up to %zu bytes, from:\n", c.RawBytes, c.Blocks.size(), c.LargestBlock);
    for (const std::string& f : c.Files) std::printf("  %s\n", f.c_str());

    const double zlib = t.MBs("Decode/zlib"), libdeflate = t.MBs("Decode/libdeflate"),
                 bitByBit = t.MBs("Decode/bit-by-bit"), memcpyRate = t.MBs("Decode/memcpy");
    std::printf("\n%-22s %10s %8s %12s %12s %9s\n", "decoder", "MB/s", "x zlib", "x libdeflate", "x bit-by-bit",
                "x memcpy");
    for (const char* name : {"ours", "ours serial", "bit-by-bit", "zlib", "libdeflate", "memcpy"}) {
        const double v = t.MBs(std::string("Decode/") + name);
        std::printf("%-22s %10.1f %8.2f %12.2f %12.1f %9.3f\n", name, v, Ratio(v, zlib), Ratio(v, libdeflate),
                    Ratio(v, bitByBit), Ratio(v, memcpyRate));
    }
    const double small = t.MBs("Decode60K/ours"), smallZlib = t.MBs("Decode60K/zlib"),
                 smallLibdeflate = t.MBs("Decode60K/libdeflate");
    std::printf("%-22s %10.1f %8.2f %12.2f   (zlib %.1f, libdeflate %.1f MB/s)\n", "ours, one 60 KB block", small,
                Ratio(small, smallZlib), Ratio(small, smallLibdeflate), smallZlib, smallLibdeflate);
    const double calls = t.Value("Decode/header-and-table", "calls");
    const double setupUs = calls > 0 ? 1e6 / calls : 0;
    std::printf("header and table set-up of a real block: %.2f us\n", setupUs);
    std::printf("our stages alone: code stage %.1f MB/s, LZ stage %.1f MB/s (of output bytes)\n",
                t.MBs("Decode/code-stage"), t.MBs("Decode/lz-stage"));

    std::printf("\n%-22s %10s %12s %10s\n", "encoder", "MB/s", "bytes", "x gzip -9");
    std::printf("%-22s %10.2f %12zu %10.4f\n", "best", t.MBs("Encode/best"), c.BestBytes,
                Ratio(static_cast<double>(c.BestBytes), static_cast<double>(c.GzipBytes)));
    std::printf("%-22s %10.2f %12zu %10.4f\n", "fast", t.MBs("Encode/fast"), c.FastBytes,
                Ratio(static_cast<double>(c.FastBytes), static_cast<double>(c.GzipBytes)));
    std::printf("%-22s %10s %12zu %10.4f   (zlib deflate level 9 with the gzip wrapper, per file)\n", "gzip -9", "",
                c.GzipBytes, 1.0);

    const double ours = t.MBs("Decode/ours");
    const double best = Ratio(static_cast<double>(c.BestBytes), static_cast<double>(c.GzipBytes));
    const double fast = Ratio(static_cast<double>(c.FastBytes), static_cast<double>(c.GzipBytes));
    std::printf("\ngoals:\n");
    std::printf("  decoder >= 1.8x zlib, 0.85x libdeflate, 20x bit-by-bit: %.2fx, %.2fx, %.1fx  %s\n", Ratio(ours, zlib),
                Ratio(ours, libdeflate), Ratio(ours, bitByBit),
                Verdict(Ratio(ours, zlib) >= 1.8 && Ratio(ours, libdeflate) >= 0.85 && Ratio(ours, bitByBit) >= 20));
    std::printf("  stretch >= 2.8x zlib, 1.3x libdeflate: %s\n",
                Verdict(Ratio(ours, zlib) >= 2.8 && Ratio(ours, libdeflate) >= 1.3));
    std::printf("  set-up under 5 us: %.2f us %s; 60 KB block faster than zlib: %s\n", setupUs,
                Verdict(setupUs > 0 && setupUs < 5), Verdict(small > smallZlib));
    std::printf("  best <= 1.23x gzip -9 and <= fast: %.4f %s; best >= 2 MB/s: %s\n", best,
                Verdict(best <= 1.23 && c.BestBytes <= c.FastBytes), Verdict(t.MBs("Encode/best") >= 2));
    std::printf("  fast <= 1.27x gzip -9 at >= 30 MB/s: %.4f, %.1f MB/s %s\n", fast, t.MBs("Encode/fast"),
                Verdict(fast <= 1.27 && t.MBs("Encode/fast") >= 30));
}

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    TheCorpus(); // compress once, before any timing

    const std::pair<const char*, Decoder> decoders[] = {
        {"ours", Decoder::Ours},           {"ours serial", Decoder::Serial}, {"bit-by-bit", Decoder::BitByBit},
        {"zlib", Decoder::Zlib},           {"libdeflate", Decoder::Libdeflate}, {"memcpy", Decoder::Memcpy},
    };
    for (const auto& [name, which] : decoders) {
        auto* b = benchmark::RegisterBenchmark((std::string("Decode/") + name).c_str(), DecodeBlocks, which, false);
        b->Unit(benchmark::kMillisecond);
        if (which == Decoder::BitByBit) b->Iterations(1);
    }
    for (const auto& [name, which] : decoders)
        if (which == Decoder::Ours || which == Decoder::Zlib || which == Decoder::Libdeflate)
            benchmark::RegisterBenchmark((std::string("Decode60K/") + name).c_str(), DecodeBlocks, which, true)
                ->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("Decode/header-and-table", DecodeSetup)->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("Decode/code-stage", DecodeStage, false)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("Decode/lz-stage", DecodeStage, true)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("Encode/best", EncodeBlocks, EncodeMode::Best)->Unit(benchmark::kMillisecond)->Iterations(1);
    benchmark::RegisterBenchmark("Encode/fast", EncodeBlocks, EncodeMode::Fast)->Unit(benchmark::kMillisecond)->Iterations(1);

    TableReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    PrintTable(reporter);
    benchmark::Shutdown();
    return 0;
}
