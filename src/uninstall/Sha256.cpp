// SHA-256 as FIPS 180-4 gives it: 64-byte blocks, big-endian words, the length in bits at the end.
#include "uninstall/Sha256.h"

#include <algorithm>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#include <immintrin.h>
#define WERB_SHA_NI 1
#endif

namespace {

constexpr std::uint32_t kRound[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2,
};

constexpr std::uint32_t Rotr(std::uint32_t x, int n)
{
    return (x >> n) | (x << (32 - n));
}

#ifdef WERB_SHA_NI
// The processor's SHA extensions (with SSSE3 and SSE4.1 for the shuffles): every file the installation writes is
// hashed while it is copied, and in software that costs more than the copy itself.
bool ShaSprzetowe()
{
    static const bool jest = [] {
        unsigned a = 0, b = 0, c = 0, d = 0;
        if (!__get_cpuid(1, &a, &b, &c, &d) || !(c & bit_SSSE3) || !(c & bit_SSE4_1)) return false;
        return __get_cpuid_count(7, 0, &a, &b, &c, &d) && (b & (1u << 29));
    }();
    return jest;
}

__attribute__((target("sha,sse4.1,ssse3"))) void BlokiSprzetowo(std::uint32_t* stan, const std::uint8_t* p,
                                                                  std::size_t bloki)
{
    // Words big-endian within each 32-bit lane.
    const __m128i kolejnosc = _mm_set_epi64x(0x0c0d0e0f08090a0bLL, 0x0405060700010203LL);
    // The state as the instructions hold it: ABEF and CDGH.
    __m128i tmp = _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(stan)), 0xB1);
    __m128i stan1 = _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(stan + 4)), 0x1B);
    __m128i stan0 = _mm_alignr_epi8(tmp, stan1, 8);
    stan1 = _mm_blend_epi16(stan1, tmp, 0xF0);
    for (; bloki > 0; --bloki, p += 64) {
        const __m128i abef = stan0, cdgh = stan1;
        __m128i w[4];
        for (int i = 0; i < 16; ++i) {
            __m128i& g = w[i & 3];
            if (i < 4) {
                g = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * i)), kolejnosc);
            } else {
                // W[t..t+3] from the four groups before: sigma0 of the first, the words t-7.., sigma1 of the last.
                const __m128i s0 = _mm_sha256msg1_epu32(w[i & 3], w[(i + 1) & 3]);
                const __m128i w7 = _mm_alignr_epi8(w[(i + 3) & 3], w[(i + 2) & 3], 4);
                g = _mm_sha256msg2_epu32(_mm_add_epi32(s0, w7), w[(i + 3) & 3]);
            }
            __m128i m = _mm_add_epi32(g, _mm_loadu_si128(reinterpret_cast<const __m128i*>(kRound + 4 * i)));
            stan1 = _mm_sha256rnds2_epu32(stan1, stan0, m);
            m = _mm_shuffle_epi32(m, 0x0E);
            stan0 = _mm_sha256rnds2_epu32(stan0, stan1, m);
        }
        stan0 = _mm_add_epi32(stan0, abef);
        stan1 = _mm_add_epi32(stan1, cdgh);
    }
    tmp = _mm_shuffle_epi32(stan0, 0x1B);
    stan1 = _mm_shuffle_epi32(stan1, 0xB1);
    stan0 = _mm_blend_epi16(tmp, stan1, 0xF0);
    stan1 = _mm_alignr_epi8(stan1, tmp, 8);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(stan), stan0);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(stan + 4), stan1);
}
#endif

} // namespace

bool Sha256Sprzetowe()
{
#ifdef WERB_SHA_NI
    return ShaSprzetowe();
#else
    return false;
#endif
}

bool& Sha256TylkoProgramowo()
{
    static bool tylko = false;
    return tylko;
}

TSha256::TSha256()
    : FState{0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a, 0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19}
{
}

void TSha256::Block(const std::uint8_t* p)
{
    std::uint32_t w[64];
    for (int i = 0; i < 16; ++i)
        w[i] = std::uint32_t{p[4 * i]} << 24 | std::uint32_t{p[4 * i + 1]} << 16 | std::uint32_t{p[4 * i + 2]} << 8 |
               std::uint32_t{p[4 * i + 3]};
    for (int i = 16; i < 64; ++i) {
        const std::uint32_t s0 = Rotr(w[i - 15], 7) ^ Rotr(w[i - 15], 18) ^ (w[i - 15] >> 3);
        const std::uint32_t s1 = Rotr(w[i - 2], 17) ^ Rotr(w[i - 2], 19) ^ (w[i - 2] >> 10);
        w[i] = w[i - 16] + s0 + w[i - 7] + s1;
    }
    std::uint32_t a = FState[0], b = FState[1], c = FState[2], d = FState[3];
    std::uint32_t e = FState[4], f = FState[5], g = FState[6], h = FState[7];
    for (int i = 0; i < 64; ++i) {
        const std::uint32_t t1 = h + (Rotr(e, 6) ^ Rotr(e, 11) ^ Rotr(e, 25)) + ((e & f) ^ (~e & g)) + kRound[i] + w[i];
        const std::uint32_t t2 = (Rotr(a, 2) ^ Rotr(a, 13) ^ Rotr(a, 22)) + ((a & b) ^ (a & c) ^ (b & c));
        h = g;
        g = f;
        f = e;
        e = d + t1;
        d = c;
        c = b;
        b = a;
        a = t1 + t2;
    }
    FState[0] += a;
    FState[1] += b;
    FState[2] += c;
    FState[3] += d;
    FState[4] += e;
    FState[5] += f;
    FState[6] += g;
    FState[7] += h;
}

void TSha256::Blocks(const std::uint8_t* p, std::size_t n)
{
#ifdef WERB_SHA_NI
    if (!Sha256TylkoProgramowo() && ShaSprzetowe()) {
        BlokiSprzetowo(FState.data(), p, n);
        return;
    }
#endif
    for (; n > 0; --n, p += 64) Block(p);
}

void TSha256::Update(const void* data, std::size_t size)
{
    const auto* p = static_cast<const std::uint8_t*>(data);
    FLength += size;
    if (FBuffered > 0) {
        const std::size_t part = std::min(size, FBuffer.size() - FBuffered);
        std::memcpy(FBuffer.data() + FBuffered, p, part);
        FBuffered += part;
        p += part;
        size -= part;
        if (FBuffered < FBuffer.size()) return;
        Blocks(FBuffer.data(), 1);
        FBuffered = 0;
    }
    Blocks(p, size / 64);
    p += size / 64 * 64;
    size %= 64;
    std::memcpy(FBuffer.data(), p, size);
    FBuffered = size;
}

std::string TSha256::HexDigest()
{
    const std::uint64_t bits = FLength * 8;
    // 0x80, zeros up to 56 bytes in the block, then the length in bits, big-endian.
    const std::uint8_t one = 0x80;
    Update(&one, 1);
    const std::uint8_t zero = 0;
    while (FBuffered != 56) Update(&zero, 1);
    std::uint8_t length[8];
    for (int i = 0; i < 8; ++i) length[i] = static_cast<std::uint8_t>(bits >> (56 - 8 * i));
    Update(length, 8);

    static const char kHex[] = "0123456789abcdef";
    std::string out;
    for (std::uint32_t word : FState)
        for (int shift = 28; shift >= 0; shift -= 4) out += kHex[(word >> shift) & 0xf];
    return out;
}

std::string Sha256Hex(std::string_view bytes)
{
    TSha256 h;
    h.Update(bytes);
    return h.HexDigest();
}
