// werbpack: packs files into the installer's compressed block format and unpacks them with its own decoder.
#include "builtin/BlockCodec.h"
#include "werbpack/Encoder.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

// Every failure is one line on stderr and exit status 1.
[[gnu::format(printf, 1, 2)]] int Fail(const char* format, ...) {
    std::fputs("werbpack: ", stderr);
    va_list args;
    va_start(args, format);
    std::vfprintf(stderr, format, args);
    va_end(args);
    std::fputc('\n', stderr);
    return 1;
}

int Usage() {
    std::fputs("usage: werbpack pack [--fast] [--capacity N] IN OUT  encode IN into the block OUT\n"
               "       werbpack unpack [--capacity N] IN OUT         decode the block IN into OUT\n"
               "pack uses the best (slower) parse unless --fast is given; pack refuses IN larger than N,\n"
               "unpack refuses output larger than N (default 2500000)\n",
               stderr);
    return 1;
}

struct Args {
    bool Pack = false;
    bool HasCapacity = false;
    EncodeMode Mode = EncodeMode::Best;
    std::size_t Capacity = kMainProgramCapacity;
    const char* In = nullptr;
    const char* Out = nullptr;
};

bool ParseCapacity(const char* text, std::size_t& value) {
    if (!*text) return false;
    std::uint64_t v = 0;
    for (const char* p = text; *p; ++p) {
        if (*p < '0' || *p > '9') return false;
        v = v * 10 + static_cast<unsigned>(*p - '0');
        if (v > kMaxEncodeSize) return false;
    }
    value = static_cast<std::size_t>(v);
    return v != 0;
}

// Returns 0 when the arguments are usable, otherwise the exit status after the message.
int ParseArgs(int argc, char** argv, Args& a) {
    const std::string command = argv[1];
    if (command == "pack") a.Pack = true;
    else if (command != "unpack") return Fail("unknown command '%s' (expected pack or unpack)", argv[1]);
    std::vector<const char*> files;
    for (int i = 2; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--capacity") {
            if (i + 1 >= argc) return Fail("--capacity needs a number of bytes");
            if (!ParseCapacity(argv[++i], a.Capacity))
                return Fail("bad capacity '%s' (expected 1 to %zu bytes)", argv[i], kMaxEncodeSize);
            a.HasCapacity = true;
        } else if (arg == "--fast" && a.Pack) {
            a.Mode = EncodeMode::Fast;
        } else if (arg.size() > 1 && arg[0] == '-') {
            return Fail("unknown option '%s'", argv[i]);
        } else {
            files.push_back(argv[i]);
        }
    }
    if (files.size() != 2) return Fail("%s needs IN and OUT, got %zu file names", argv[1], files.size());
    a.In = files[0];
    a.Out = files[1];
    return 0;
}

bool ReadFile(const char* path, Bytes& data, std::string& error) {
    std::FILE* f = std::fopen(path, "rb");
    if (!f) {
        error = std::strerror(errno);
        return false;
    }
    std::uint8_t chunk[65536];
    std::size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, f)) > 0) data.insert(data.end(), chunk, chunk + got);
    const bool ok = !std::ferror(f);
    if (!ok) error = std::strerror(errno);
    std::fclose(f);
    return ok;
}

// Writes a temporary file next to OUT and renames it, so OUT appears only when complete.
bool WriteFile(const char* path, const std::uint8_t* data, std::size_t size, std::string& error) {
    const std::string temp = std::string(path) + ".werbpack-tmp";
    std::FILE* f = std::fopen(temp.c_str(), "wb");
    if (!f) {
        error = std::strerror(errno);
        return false;
    }
    bool ok = std::fwrite(data, 1, size, f) == size;
    if (!ok) error = std::strerror(errno);
    if (std::fclose(f) != 0 && ok) {
        ok = false;
        error = std::strerror(errno);
    }
    if (ok && std::rename(temp.c_str(), path) != 0) {
        ok = false;
        error = std::strerror(errno);
    }
    if (!ok) std::remove(temp.c_str());
    return ok;
}

double Percent(std::size_t part, std::size_t whole) {
    return 100.0 * static_cast<double>(part) / static_cast<double>(whole);
}

int Pack(const Args& a, const Bytes& input) {
    if (a.HasCapacity && input.size() > a.Capacity)
        return Fail("'%s' is %zu bytes, more than the capacity of %zu", a.In, input.size(), a.Capacity);
    if (input.size() > kMaxEncodeSize)
        return Fail("'%s' is %zu bytes, more than the largest block of %zu", a.In, input.size(), kMaxEncodeSize);
    const Bytes block = EncodeBlock(input.data(), input.size(), a.Mode);
    // Only a block that the installer's decoder turns back into the input is worth writing.
    CodecState& codec = SharedCodec();
    const CodecResult r = DecodeBlock(codec, block.data(), block.size(), input.size());
    if (r != CodecResult::Ok)
        return Fail("the block made from '%s' does not decode: %s; nothing written", a.In, CodecResultText(r));
    if (static_cast<std::size_t>(codec.OutputCount) != input.size() ||
        std::memcmp(codec.A.data(), input.data(), input.size()) != 0)
        return Fail("the block made from '%s' decodes to different bytes; nothing written", a.In);
    std::string error;
    if (!WriteFile(a.Out, block.data(), block.size(), error))
        return Fail("cannot write '%s': %s", a.Out, error.c_str());
    std::printf("packed '%s' (%zu bytes) into '%s' (%zu bytes), ratio %.2f%%\n", a.In, input.size(), a.Out,
                block.size(), Percent(block.size(), input.size()));
    return 0;
}

int Unpack(const Args& a, const Bytes& block) {
    CodecState& codec = SharedCodec();
    const CodecResult r = DecodeBlock(codec, block.data(), block.size(), a.Capacity);
    if (r == CodecResult::OutputOverflow)
        return Fail("cannot unpack '%s': %s of %zu bytes", a.In, CodecResultText(r), a.Capacity);
    if (r != CodecResult::Ok) return Fail("cannot unpack '%s': %s", a.In, CodecResultText(r));
    const auto size = static_cast<std::size_t>(codec.OutputCount);
    std::string error;
    if (!WriteFile(a.Out, codec.A.data(), size, error)) return Fail("cannot write '%s': %s", a.Out, error.c_str());
    std::printf("unpacked '%s' (%zu bytes) into '%s' (%zu bytes), ratio %.2f%%\n", a.In, block.size(), a.Out, size,
                Percent(block.size(), size));
    return 0;
}

int Run(int argc, char** argv) {
    if (argc < 2) return Usage();
    Args a;
    if (int status = ParseArgs(argc, argv, a)) return status;
    Bytes input;
    std::string error;
    if (!ReadFile(a.In, input, error)) return Fail("cannot read '%s': %s", a.In, error.c_str());
    if (input.empty()) return Fail("'%s' is empty", a.In);
    return a.Pack ? Pack(a, input) : Unpack(a, input);
}

} // namespace

int main(int argc, char** argv) {
    try {
        return Run(argc, argv);
    } catch (const std::bad_alloc&) {
        return Fail("out of memory");
    }
}
