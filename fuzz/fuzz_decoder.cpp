// Fuzz target of the block decoder: any bytes as a whole block and as a bare LZ stream; the decoder must end
// each with a result, stay inside its buffers, and give what the bit-by-bit reference decoder gives.
#include "builtin/BlockCodec.h"
#include "fuzz/reference_oracle.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

[[noreturn]] void Fail(const char* what, CodecResult r)
{
    std::fprintf(stderr, "decoder disagrees: %s (result: %s)\n", what, CodecResultText(r));
    std::abort();
}

bool SameOutput(const CodecState& s, const Bytes& a, std::size_t count)
{
    return static_cast<std::size_t>(s.OutputCount) == count && std::memcmp(s.A.data(), a.data(), count) == 0;
}

// The installer's path: one block at the file table's capacity, by every variant of the code stage.
void WholeBlock(const std::uint8_t* data, std::size_t size)
{
    // Reused from input to input, as the installer reuses its one codec for all resources.
    static CodecState shared;
    static Bytes refA, refB;
    std::size_t refCount = 0;
    const bool refOk = ReferenceDecodeBlock(data, size, kResourceCapacity, refA, refB, refCount);

    CodecResult first = CodecResult::Ok;
    for (CodeStageVariant v : {CodeStageVariant::Auto, CodeStageVariant::Serial, CodeStageVariant::MultiWay}) {
        const CodecResult r = DecodeBlock(shared, data, size, kResourceCapacity, v);
        if (v == CodeStageVariant::Auto) first = r;
        else if (r != first) Fail("the code-stage variants give different results", r);
        if (r == CodecResult::Ok) {
            if (!refOk) Fail("a block the reference refuses decoded", r);
            if (!SameOutput(shared, refA, refCount)) Fail("the output differs from the reference", r);
            if (shared.A.size() != kResourceCapacity) Fail("A lost the capacity as its length", r);
        } else {
            if (shared.OutputCount != 0) Fail("a failed block reports output", r);
            // The reference does not look for ambiguous codes, and an empty block expands to nothing there.
            if (refOk && r != CodecResult::AmbiguousCode && r != CodecResult::EmptyBlock)
                Fail("a block the reference decodes failed", r);
        }
    }

    // Buffers of exactly the block's sizes: a read past N is one past B's memory. A keeps its memory, since all
    // of it up to the capacity belongs to the output area.
    static CodecState fresh;
    fresh.B = Bytes();
    fresh.LaneOutput = Bytes();
    if (DecodeBlock(fresh, data, size, kResourceCapacity) != first) Fail("a fresh codec gives another result", first);
    if (first != CodecResult::Ok || refCount == 0) return;
    if (!SameOutput(fresh, refA, refCount)) Fail("a fresh codec gives other bytes", first);

    // One byte less room than the output needs is an overflow; exactly enough is not.
    CodecState tight;
    const CodecResult over = DecodeBlock(tight, data, size, refCount - 1);
    if (over != CodecResult::OutputOverflow) Fail("a capacity one short did not overflow", over);
    const CodecResult exact = DecodeBlock(tight, data, size, refCount);
    if (exact != CodecResult::Ok || !SameOutput(tight, refA, refCount)) Fail("an exact capacity failed", exact);
}

// The same bytes as the LZ stage's input alone: most of its items are unlikely behind a valid code stage.
void LzStream(const std::uint8_t* data, std::size_t size)
{
    if (size == 0) return;
    const Bytes b(data, data + size);
    // A two-byte match yields at most ten bytes: five times the input always fits.
    const std::size_t roomy = 5 * size;
    Bytes refA(roomy);
    std::size_t refCount = 0;
    const bool refOk = ReferenceExpandLzStage(b, refA, refCount);

    CodecState s;
    s.B = b;
    s.Stage1Length = static_cast<std::int32_t>(size);
    s.A.assign(roomy, 0);
    const CodecResult r = ExpandLzStage(s);
    if ((r == CodecResult::Ok) != refOk) Fail("the LZ stage and the reference disagree", r);
    if (r != CodecResult::Ok) {
        if (s.OutputCount != 0) Fail("a failed LZ stage reports output", r);
        return;
    }
    if (!SameOutput(s, refA, refCount)) Fail("the LZ output differs from the reference", r);
    if (s.A.size() != roomy) Fail("A lost the capacity as its length", r);
    if (refCount == 0) return;
    s.A.assign(refCount - 1, 0);
    if (const CodecResult over = ExpandLzStage(s); over != CodecResult::OutputOverflow)
        Fail("an LZ capacity one short did not overflow", over);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    WholeBlock(data, size);
    LzStream(data, size);
    return 0;
}
