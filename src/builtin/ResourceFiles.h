// The product's executables written from the installer's own compressed RCDATA resources.
#pragma once

#include <windows.h>

#include <cstdint>
#include <exception>
#include <optional>
#include <string>

#include "uninstall/Sha256.h"

// One file of the product's file table: kind 0 is the concatenation of its decoded resources.
struct ResourceFileEntry {
    const char* TargetName;     // file name in the target folder
    const char* FirstResource;  // "" = none
    const char* SecondResource; // "" = none
    std::uint8_t Kind;
};

inline constexpr ResourceFileEntry kResourceFiles[] = {
    {"Werbika.exe", "WERBIKAPL", "", 0},
    {"Werbilo.exe", "WERBILOFR", "", 0},
    {"SlZewFr.exe", "SLZEWFRPL", "", 0},
    {"SlZewPl.exe", "SLZEWPLFR", "", 0},
};

// The main program, written on its own first (and again by the file table).
inline constexpr const char* kMainProgramFile = "Werbika.exe";
inline constexpr const char* kMainProgramResource = "WERBIKAPL";

// Writes the main program file to path from its resource at the main program's capacity. Raises EInOutError
// when the file cannot be created or closed; a missing or undecodable resource or a failed write leaves the
// file as far as it was written.
// odcisk, when given, takes the bytes as they are written.
void WriteMainProgramFile(const std::string& path, TOdcisk* odcisk = nullptr);

// Writes one entry of the file table to path by its kind; true when the file was written and closed.
// A missing resource ends the entry: the file stays as far as written and the result is false.
bool WriteResourceFile(const ResourceFileEntry& entry, const std::string& path, TOdcisk* odcisk = nullptr);

// The bytes WriteResourceFile writes for an entry, for telling its file from one it left alone; nothing when a
// resource is missing or does not decode.
std::optional<std::string> ResourceFileBytes(const ResourceFileEntry& entry);

// Decodes the named resource at the file table's capacity and appends it to the open file; false when
// decoding or writing failed. Raises EResourceMissing when the module has no such resource.
bool AppendDecodedResource(const char* resourceName, HANDLE file, TOdcisk* odcisk = nullptr);

class EResourceMissing : public std::exception {
public:
    const char* what() const noexcept override { return "resource missing"; }
};
