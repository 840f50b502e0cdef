// SHA-256 (FIPS 180-4): the fingerprint of every file the uninstallation record names, and its checksum.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

class TSha256 {
public:
    TSha256();
    void Update(const void* data, std::size_t size);
    void Update(std::string_view bytes) { Update(bytes.data(), bytes.size()); }
    // The digest as 64 lower-case hex digits; the object is spent after it.
    std::string HexDigest();

private:
    void Block(const std::uint8_t* block);
    void Blocks(const std::uint8_t* blocks, std::size_t count);

    std::array<std::uint32_t, 8> FState;
    std::array<std::uint8_t, 64> FBuffer{};
    std::size_t FBuffered = 0;
    std::uint64_t FLength = 0;  // bytes so far
};

// The digest of one piece of text, 64 lower-case hex digits.
std::string Sha256Hex(std::string_view bytes);
// Whether the processor's SHA instructions do the work; and a switch that keeps to the portable code, for
// comparing the two.
bool Sha256Sprzetowe();
bool& Sha256TylkoProgramowo();

// The size and digest of what is being written, computed while it is written.
struct TOdcisk {
    std::uint64_t Rozmiar = 0;
    TSha256 Skrot;
    void Dodaj(const void* dane, std::size_t rozmiar)
    {
        Skrot.Update(dane, rozmiar);
        Rozmiar += rozmiar;
    }
};
