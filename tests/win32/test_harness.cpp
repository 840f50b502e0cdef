// The Wine prefix the tests run in: drive D: is a CD-ROM on the tree's cdrom folder, the registry is real.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <string>

#include "install/ProductView.h"
#include "ui/Unicode.h"

namespace {

// The cdrom folder as Wine sees it through Z:, from the Unix path ctest passes.
std::wstring CdFolderThroughZ()
{
    const wchar_t* unix = _wgetenv(L"WERB_CDROM");
    if (!unix || !*unix) return {};
    std::wstring p = L"Z:";
    for (const wchar_t* c = unix; *c; ++c) p += (*c == L'/') ? L'\\' : *c;
    return p;
}

} // namespace

TEST(WineHarness, DriveDIsACdRom)
{
    EXPECT_EQ(GetDriveTypeW(L"D:\\"), static_cast<UINT>(DRIVE_CDROM));
    EXPECT_EQ(GetDriveTypeW(L"C:\\"), static_cast<UINT>(DRIVE_FIXED));
}

TEST(WineHarness, FilesPutIntoTheCdFolderAppearOnD)
{
    const std::wstring folder = CdFolderThroughZ();
    ASSERT_FALSE(folder.empty()) << "WERB_CDROM is not set";
    const std::wstring name = L"harness-probe.txt";
    const std::wstring viaZ = folder + L"\\" + name;

    HANDLE h = CreateFileW(viaZ.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    const char data[] = "probe";
    DWORD written = 0;
    EXPECT_TRUE(WriteFile(h, data, sizeof data - 1, &written, nullptr));
    CloseHandle(h);

    const std::wstring viaD = L"D:\\" + name;
    WIN32_FILE_ATTRIBUTE_DATA fad{};
    ASSERT_TRUE(GetFileAttributesExW(viaD.c_str(), GetFileExInfoStandard, &fad));
    EXPECT_EQ(fad.nFileSizeLow, 5u);
    EXPECT_TRUE(DeleteFileW(viaZ.c_str()));
    EXPECT_EQ(GetFileAttributesW(viaD.c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST(WineHarness, RegistryKeysAreRealAndRemovable)
{
    const wchar_t* key = L"Software\\WerbfrankoHarnessProbe";
    HKEY h = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, key, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &h, nullptr),
              ERROR_SUCCESS);
    const DWORD one = 1;
    EXPECT_EQ(RegSetValueExW(h, L"Probe", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one), sizeof one),
              ERROR_SUCCESS);
    RegCloseKey(h);

    DWORD value = 0, size = sizeof value;
    EXPECT_EQ(RegGetValueW(HKEY_CURRENT_USER, key, L"Probe", RRF_RT_REG_DWORD, nullptr, &value, &size),
              ERROR_SUCCESS);
    EXPECT_EQ(value, 1u);
    EXPECT_EQ(RegDeleteKeyW(HKEY_CURRENT_USER, key), ERROR_SUCCESS);
    EXPECT_NE(RegOpenKeyExW(HKEY_CURRENT_USER, key, 0, KEY_READ, &h), ERROR_SUCCESS);
}

// The prefix is 64-bit Windows and the product a 32-bit program: whatever this test's own build, the installer
// must read and write where a 32-bit program does.
TEST(WineHarness, TheProductsViewIsThatOfA32BitProgram)
{
    EXPECT_STRCASEEQ(Narrow(ProductProgramFiles()).c_str(), "C:\\Program Files (x86)");
    EXPECT_STRCASEEQ(Narrow(ProductSystemFolder()).c_str(), "C:\\windows\\syswow64");

    // A value written through the view is seen by the 32-bit view alone.
    const wchar_t* key = L"Software\\WerbfrankoViewProbe";
    HKEY h = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, key, 0, nullptr, 0, KEY_ALL_ACCESS | kProductView, nullptr, &h,
                              nullptr),
              ERROR_SUCCESS);
    RegCloseKey(h);
    EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, key, 0, KEY_READ | KEY_WOW64_32KEY, &h), ERROR_SUCCESS);
    RegCloseKey(h);
    EXPECT_NE(RegOpenKeyExW(HKEY_LOCAL_MACHINE, key, 0, KEY_READ | KEY_WOW64_64KEY, &h), ERROR_SUCCESS);
    EXPECT_EQ(DeleteProductKey(HKEY_LOCAL_MACHINE, key), ERROR_SUCCESS);
    EXPECT_NE(RegOpenKeyExW(HKEY_LOCAL_MACHINE, key, 0, KEY_READ | KEY_WOW64_32KEY, &h), ERROR_SUCCESS);
}
