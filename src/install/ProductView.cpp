// Where a 32-bit program looks: the 32-bit registry view, the 32-bit system folder.
#include "install/ProductView.h"

#include "install/WinHandle.h"

namespace {

std::wstring Trimmed(const wchar_t* buf, UINT n)
{
    if (n == 0 || n >= MAX_PATH + 1) return {};
    std::wstring folder(buf, n);
    while (folder.size() > 3 && folder.back() == L'\\') folder.pop_back();
    return folder;
}

} // namespace

std::wstring ProductSystemFolder()
{
    wchar_t buf[MAX_PATH + 1] = {};
    // Fails with ERROR_CALL_NOT_IMPLEMENTED on 32-bit Windows, whose only system folder is the 32-bit one.
    std::wstring folder = Trimmed(buf, GetSystemWow64DirectoryW(buf, MAX_PATH + 1));
    if (folder.empty()) folder = Trimmed(buf, GetSystemDirectoryW(buf, MAX_PATH + 1));
    return folder;
}

std::wstring ProductProgramFiles()
{
    wchar_t buf[MAX_PATH + 1] = {};
    DWORD size = sizeof buf - sizeof(wchar_t);
    if (GetProductValue(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows\\CurrentVersion", L"ProgramFilesDir",
                        RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND, nullptr, buf, &size) != ERROR_SUCCESS)
        return {};
    return buf;
}

LSTATUS GetProductValue(HKEY root, const wchar_t* key, const wchar_t* value, DWORD flags, DWORD* type, void* data,
                        DWORD* size)
{
    UniqueRegKey opened;
    const LSTATUS r = RegOpenKeyExW(root, key, 0, KEY_QUERY_VALUE | kProductView, opened.Receive());
    if (r != ERROR_SUCCESS) return r;
    return RegGetValueW(opened.Get(), nullptr, value, flags, type, data, size);
}

LSTATUS DeleteProductKey(HKEY root, const wchar_t* key)
{
    return RegDeleteKeyExW(root, key, kProductView, 0);
}
