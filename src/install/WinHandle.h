// Owning wrappers for kernel handles, registry keys and the screen DC: each releases what it holds exactly once.
#pragma once

#include <windows.h>

#include <utility>

// A kernel handle; both nullptr and INVALID_HANDLE_VALUE mean "none", as Win32 returns either.
class UniqueHandle {
public:
    UniqueHandle() = default;
    explicit UniqueHandle(HANDLE h) : FHandle(h) {}
    UniqueHandle(UniqueHandle&& other) noexcept : FHandle(std::exchange(other.FHandle, nullptr)) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept
    {
        if (this != &other) Reset(std::exchange(other.FHandle, nullptr));
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    ~UniqueHandle() { Reset(); }

    HANDLE Get() const { return FHandle; }
    explicit operator bool() const { return FHandle && FHandle != INVALID_HANDLE_VALUE; }
    void Reset(HANDLE h = nullptr)
    {
        if (*this) CloseHandle(FHandle);
        FHandle = h;
    }
    // Gives the handle up, for a caller that must see the result of closing it.
    HANDLE Release() { return std::exchange(FHandle, nullptr); }

private:
    HANDLE FHandle = nullptr;
};

// An open directory listing (FindFirstFile).
class FindHandle {
public:
    explicit FindHandle(HANDLE h) : FHandle(h) {}
    FindHandle(const FindHandle&) = delete;
    FindHandle& operator=(const FindHandle&) = delete;
    ~FindHandle()
    {
        if (FHandle != INVALID_HANDLE_VALUE) FindClose(FHandle);
    }
    HANDLE Get() const { return FHandle; }
    explicit operator bool() const { return FHandle != INVALID_HANDLE_VALUE; }

private:
    HANDLE FHandle;
};

// An open registry key.
class UniqueRegKey {
public:
    UniqueRegKey() = default;
    UniqueRegKey(const UniqueRegKey&) = delete;
    UniqueRegKey& operator=(const UniqueRegKey&) = delete;
    ~UniqueRegKey()
    {
        if (FKey) RegCloseKey(FKey);
    }

    HKEY Get() const { return FKey; }
    // For the out parameter of RegOpenKeyExW / RegCreateKeyExW; the key must be empty.
    HKEY* Receive() { return &FKey; }
    explicit operator bool() const { return FKey != nullptr; }

private:
    HKEY FKey = nullptr;
};

// The DC of the whole screen.
class ScreenDC {
public:
    ScreenDC() : FDC(GetDC(nullptr)) {}
    ScreenDC(const ScreenDC&) = delete;
    ScreenDC& operator=(const ScreenDC&) = delete;
    ~ScreenDC()
    {
        if (FDC) ReleaseDC(nullptr, FDC);
    }

    HDC Get() const { return FDC; }
    explicit operator bool() const { return FDC != nullptr; }

private:
    HDC FDC;
};
