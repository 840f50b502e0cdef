// The product's executables from the installer's resources: decoded with the shared codec, written raw.
#include "builtin/ResourceFiles.h"

#include <cstring>
#include <optional>
#include <span>

#include "builtin/BlockCodec.h"
#include "install/IoError.h"
#include "install/WinHandle.h"
#include "install/untInstalFunkcje.h"
#include "ui/Unicode.h"

namespace {

// The bytes of an RCDATA resource of this module; nothing when there is none (an empty one is still found).
std::optional<std::span<const std::uint8_t>> Resource(const char* name)
{
    HRSRC info = FindResourceW(nullptr, Widen(name).c_str(), MAKEINTRESOURCEW(10));
    if (!info) return {};
    HGLOBAL loaded = LoadResource(nullptr, info);
    const void* data = loaded ? LockResource(loaded) : nullptr;
    const DWORD size = SizeofResource(nullptr, info);
    if (!data) return {};
    return std::span<const std::uint8_t>{static_cast<const std::uint8_t*>(data), size};
}

bool WriteAll(HANDLE file, const std::uint8_t* data, std::size_t size)
{
    while (size > 0) {
        const DWORD part = static_cast<DWORD>(size > (1u << 30) ? (1u << 30) : size);
        DWORD written = 0;
        if (!WriteFile(file, data, part, &written, nullptr) || written != part) return false;
        data += part;
        size -= part;
    }
    return true;
}

// Loads and decodes a resource into the shared codec and appends the result; false on any failure.
// Decodes a block with the shared codec; its output is the first OutputCount bytes of A. False on any
// failure, also when the buffers cannot grow to the capacity.
bool Decode(std::span<const std::uint8_t> block, std::size_t capacity)
{
    try {
        return DecodeBlock(SharedCodec(), block.data(), block.size(), capacity) == CodecResult::Ok;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

bool DecodeAndAppend(std::span<const std::uint8_t> block, std::size_t capacity, HANDLE file, TOdcisk* odcisk)
{
    const CodecState& codec = SharedCodec();
    if (!Decode(block, capacity)) return false;
    const auto size = static_cast<std::size_t>(codec.OutputCount);
    if (!WriteAll(file, codec.A.data(), size)) return false;
    if (odcisk) odcisk->Dodaj(codec.A.data(), size);
    return true;
}

bool CloseTarget(UniqueHandle& file)
{
    return CloseHandle(file.Release()) != 0;
}

} // namespace

void WriteMainProgramFile(const std::string& path, TOdcisk* odcisk)
{
    UniqueHandle file = NowyPlik(path);
    if (!file) throw EInOutError("cannot create " + path);
    if (const auto block = Resource(kMainProgramResource))
        DecodeAndAppend(*block, kMainProgramCapacity, file.Get(), odcisk);
    if (!CloseTarget(file)) throw EInOutError("cannot close " + path);
}

bool AppendDecodedResource(const char* resourceName, HANDLE file, TOdcisk* odcisk)
{
    const auto block = Resource(resourceName);
    if (!block) throw EResourceMissing();
    return DecodeAndAppend(*block, kResourceCapacity, file, odcisk);
}

bool WriteResourceFile(const ResourceFileEntry& entry, const std::string& path, TOdcisk* odcisk)
{
    if (entry.Kind != 0) return false;
    UniqueHandle file = NowyPlik(path);
    if (!file) return false;
    try {
        for (const char* name : {entry.FirstResource, entry.SecondResource})
            if (name && *name) AppendDecodedResource(name, file.Get(), odcisk);
    } catch (const EResourceMissing&) {
        return false;
    }
    return CloseTarget(file);
}

std::optional<std::string> ResourceFileBytes(const ResourceFileEntry& entry)
{
    if (entry.Kind != 0) return std::nullopt;
    std::string bytes;
    const CodecState& codec = SharedCodec();
    for (const char* name : {entry.FirstResource, entry.SecondResource}) {
        if (!name || !*name) continue;
        const auto block = Resource(name);
        if (!block || !Decode(*block, kResourceCapacity)) return std::nullopt;
        bytes.append(reinterpret_cast<const char*>(codec.A.data()), static_cast<std::size_t>(codec.OutputCount));
    }
    return bytes;
}
