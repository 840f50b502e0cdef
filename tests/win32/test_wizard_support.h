// What the wizard tests share: the product CD on drive D:, the forms of a start-up, the CD dialog answered.
#pragma once

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "app/Formularze.h"
#include "dialogs/untCD.h"
#include "dialogs/untPytanie.h"
#include "install/untInstalFunkcje.h"
#include "test_files_support.h"
#include "test_ui_support.h"
#include "ui/Unicode.h"
#include "wizard/untMain.h"

// The tree's CD folder (drive D:) as Wine sees it through Z:, with a trailing backslash.
inline std::wstring CdFolder()
{
    const std::wstring folder = ThroughZ(Env(L"WERB_CDROM"));
    return folder.empty() ? folder : folder + L"\\";
}

inline void PutCdFile(const wchar_t* name)
{
    HANDLE h = CreateFileW((CdFolder() + name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    DWORD n = 0;
    WriteFile(h, "x", 1, &n, nullptr);
    CloseHandle(h);
}

inline void RemoveCdFile(const wchar_t* name)
{
    DeleteFileW((CdFolder() + name).c_str());
}

// Only the marker files matter to the CD dialog.
inline void ClearCd()
{
    for (const wchar_t* n : {L"Werbilo.exe", L"Werbilo2.exe", L"UmowaPol.txt"}) RemoveCdFile(n);
}

// The start-up of the program, without its message loop: the values, the forms in order.
class WizardTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        WybierzCzcionke();
        Application.Initialize();
    }

    void SetUp() override
    {
        ASSERT_FALSE(CdFolder().empty()) << "WERB_CDROM is not set";
        NumerProduktu = 1;
        JezykProduktu = jzFrancuski;
        CzyscFlageInstalacji = true;
        ClearCd();
        PutCdFile(L"Werbilo2.exe");
        PutCdFile(L"UmowaPol.txt");
        FForms = std::make_unique<TFormularze>();
    }

    void TearDown() override
    {
        Application.OnNextModalShown(nullptr);
        // Folders the options check created (the target folder), newest first.
        if (frmMain) {
            for (auto it = frmMain->FUtworzoneKatalogi.rbegin(); it != frmMain->FUtworzoneKatalogi.rend(); ++it)
                RemoveDirectoryW(Widen(*it).c_str());
        }
        FForms.reset();
        ClearCd();
        RegDeleteKeyW(HKEY_CURRENT_USER, L"SOFTWARE\\Zorvane\\Werbtron");
    }

    // Shows the wizard; its first page change asks for the drive, answered with OK on the first drive.
    void ShowWizard()
    {
        Application.OnNextModalShown([](TForm& f) {
            EXPECT_EQ(&f, frmCD);
            frmCD->btnOK.Click();
        });
        frmMain->Show();
        Application.ProcessMessages();
    }

    // Presses a button whose click shows the question dialog, and answers it with yes or no.
    std::string AnswerQuestion(TButton& trigger, bool yes)
    {
        std::string asked;
        Application.OnNextModalShown([&](TForm& f) {
            EXPECT_EQ(&f, frmPytanie);
            asked = frmPytanie->lblPytanie.Caption();
            (yes ? frmPytanie->btnTak : frmPytanie->btnNie).Click();
        });
        trigger.Click();
        return asked;
    }

    std::unique_ptr<TFormularze> FForms;
};
