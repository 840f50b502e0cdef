// The folder browser and its new-folder dialog on real folders under C:\, answered through their real buttons.
#include "test_wizard_support.h"

#include <algorithm>
#include <functional>
#include <vector>

#include <commctrl.h>

#include "dialogs/untKatalog.h"
#include "dialogs/untKatalogDodaj.h"
#include "texts/Format.h"

namespace {

const std::wstring kKorzen = L"C:\\werb-katalog-test";

bool Istnieje(const std::wstring& p)
{
    return GetFileAttributesW(p.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void UsunDrzewo(const std::wstring& folder)
{
    WIN32_FIND_DATAW d{};
    HANDLE h = FindFirstFileW((folder + L"\\*").c_str(), &d);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring n = d.cFileName;
            if (n == L"." || n == L"..") continue;
            const std::wstring p = folder + L"\\" + n;
            SetFileAttributesW(p.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (d.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                UsunDrzewo(p);
            else
                DeleteFileW(p.c_str());
        } while (FindNextFileW(h, &d));
        FindClose(h);
    }
    SetFileAttributesW(folder.c_str(), FILE_ATTRIBUTE_NORMAL);
    RemoveDirectoryW(folder.c_str());
}

void Katalog(const std::wstring& wzgledna, DWORD atrybuty = 0)
{
    const std::wstring p = kKorzen + L"\\" + wzgledna;
    ASSERT_TRUE(CreateDirectoryW(p.c_str(), nullptr)) << Narrow(p);
    if (atrybuty) {
        ASSERT_TRUE(SetFileAttributesW(p.c_str(), atrybuty | FILE_ATTRIBUTE_DIRECTORY));
    }
}

TTreeNode Dziecko(TTreeNode rodzic, const std::string& tekst)
{
    for (TTreeNode n = rodzic.GetFirstChild(); n; n = n.GetNextSibling())
        if (n.Text() == tekst) return n;
    return {};
}

std::vector<std::string> Teksty(TTreeNode pierwszy)
{
    std::vector<std::string> t;
    for (TTreeNode n = pierwszy; n; n = n.GetNextSibling()) t.push_back(n.Text());
    return t;
}

TTreeNode WezelDysku(const std::string& tekst)
{
    for (TTreeNode n = frmKatalog->trvKatalog.GetFirstNode(); n; n = n.GetNextSibling())
        if (n.Text() == tekst) return n;
    return {};
}

bool Zawiera(const std::vector<std::string>& v, const std::string& s)
{
    return std::find(v.begin(), v.end(), s) != v.end();
}

// Types into the focused window with real WM_CHAR messages and lets the loop deliver them.
void Pisz(HWND okno, const std::wstring& tekst)
{
    for (wchar_t c : tekst) PostMessageW(okno, WM_CHAR, c, 1);
    Application.ProcessMessages();
}

// Ends every modal loop of the browser, its new-folder dialog and the question dialog that a broken test would
// leave running. One per test: the layer's watchdog watches a single form.
class TStraznik {
public:
    TStraznik() { FTimer = SetTimer(nullptr, 0, 20000, &TStraznik::Fire); }
    ~TStraznik() { KillTimer(nullptr, FTimer); }
    TStraznik(const TStraznik&) = delete;
    TStraznik& operator=(const TStraznik&) = delete;

private:
    static void CALLBACK Fire(HWND, UINT, UINT_PTR id, DWORD)
    {
        KillTimer(nullptr, id);
        for (TForm* f : {static_cast<TForm*>(frmPytanie), static_cast<TForm*>(frmKatalogDodaj),
                         static_cast<TForm*>(frmKatalog)})
            if (f && f->Modal()) f->SetModalResult(kWatchdogResult);
        ADD_FAILURE() << "watchdog: a modal loop did not end";
    }
    UINT_PTR FTimer = 0;
};

} // namespace

class KatalogTest : public WizardTest {
protected:
    void SetUp() override
    {
        WizardTest::SetUp();
        ShowWizard();
        UsunDrzewo(kKorzen);
        ASSERT_TRUE(CreateDirectoryW(kKorzen.c_str(), nullptr));
        Katalog(L"sub");
        Katalog(L"sub\\gleboki");
        Katalog(L"pusty");
    }

    void TearDown() override
    {
        UsunDrzewo(kKorzen);
        WizardTest::TearDown();
    }

    // Runs the browser; inside its modal loop `inside` looks at it and closes it.
    std::string Przegladaj(const std::string& initial, std::function<void(TfrmKatalog&)> inside)
    {
        TStraznik straznik;
        bool shown = false;
        Application.OnNextModalShown([&](TForm& f) {
            shown = true;
            EXPECT_EQ(&f, frmKatalog);
            inside(*frmKatalog);
        });
        const std::string wynik = WybierzKatalog(initial);
        EXPECT_TRUE(shown);
        EXPECT_FALSE(frmKatalog->Visible());
        return wynik;
    }

    // Presses btnUtworz; the new-folder dialog gets `name` typed as real keys and is confirmed.
    void UtworzPrzezDialog(TfrmKatalog& k, const std::wstring& nazwa)
    {
        bool shown = false;
        Application.OnNextModalShown([&](TForm& f) {
            shown = true;
            EXPECT_EQ(&f, frmKatalogDodaj);
            Pisz(GetFocus(), nazwa);
            EXPECT_EQ(frmKatalogDodaj->edtDodaj.Text(), Narrow(nazwa));
            EXPECT_TRUE(frmKatalogDodaj->btnDodaj.Enabled());
            frmKatalogDodaj->btnDodaj.Click();
        });
        k.btnUtworz.Click();
        EXPECT_TRUE(shown);
    }
};

TEST_F(KatalogTest, FormsAreBuiltAsDesigned)
{
    TfrmKatalog& k = *frmKatalog;
    EXPECT_EQ(k.ClientWidth(), 444);
    EXPECT_EQ(k.ClientHeight(), 248);
    const LONG styl = GetWindowLongW(k.Handle(), GWL_STYLE);
    EXPECT_TRUE(styl & WS_SYSMENU);
    EXPECT_FALSE(styl & (WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX));
    struct Box {
        const TControl& c;
        int l, t, w, h;
    } boxes[] = {{k.trvKatalog, 8, 8, 321, 205}, {k.edtKatalog, 8, 220, 321, 21}, {k.btnOK, 340, 8, 97, 25},
                 {k.btnAnuluj, 340, 40, 97, 25}, {k.btnUtworz, 340, 80, 97, 25}};
    for (const Box& b : boxes) {
        EXPECT_EQ(b.c.Left(), b.l);
        EXPECT_EQ(b.c.Top(), b.t);
        EXPECT_EQ(b.c.Width(), b.w);
        EXPECT_EQ(b.c.Height(), b.h);
    }
    const LONG drzewo = GetWindowLongW(k.trvKatalog.Handle(), GWL_STYLE);
    EXPECT_TRUE(drzewo & TVS_SHOWSELALWAYS);
    EXPECT_TRUE(drzewo & TVS_HASBUTTONS);
    EXPECT_FALSE(drzewo & TVS_LINESATROOT);
    EXPECT_FALSE(drzewo & TVS_EDITLABELS);
    EXPECT_EQ(SendMessageW(k.trvKatalog.Handle(), TVM_GETINDENT, 0, 0), k.Scale(25));
    EXPECT_EQ(k.imlKatalog.Count(), 3);
    EXPECT_EQ(k.btnOK.ModalResult(), mrOk);
    EXPECT_EQ(k.btnAnuluj.ModalResult(), mrCancel);
    for (const TButton* b : {&k.btnOK, &k.btnAnuluj, &k.btnUtworz}) {
        EXPECT_FALSE(b->Default());
        EXPECT_FALSE(b->Cancel());
    }

    TfrmKatalogDodaj& d = *frmKatalogDodaj;
    EXPECT_EQ(d.ClientWidth(), 288);
    EXPECT_EQ(d.ClientHeight(), 62);
    EXPECT_FALSE(GetWindowLongW(d.Handle(), GWL_STYLE) & WS_SYSMENU);
    EXPECT_EQ(d.edtDodaj.Left(), 8);
    EXPECT_EQ(d.edtDodaj.Top(), 8);
    EXPECT_EQ(d.edtDodaj.Width(), 273);
    EXPECT_EQ(d.edtDodaj.Height(), 21);
    EXPECT_EQ(d.btnDodaj.Left(), 88);
    EXPECT_EQ(d.btnDodaj.Top(), 36);
    EXPECT_EQ(d.btnDodaj.Width(), 95);
    EXPECT_EQ(d.btnAnuluj.Left(), 188);
    EXPECT_EQ(d.btnAnuluj.Height(), 23);
    EXPECT_FALSE(d.btnDodaj.Enabled()) << "disabled at design";
    EXPECT_EQ(d.btnDodaj.ModalResult(), mrOk);
    EXPECT_EQ(d.btnAnuluj.ModalResult(), mrCancel);
    for (const TButton* b : {&d.btnDodaj, &d.btnAnuluj}) {
        EXPECT_FALSE(b->Default());
        EXPECT_FALSE(b->Cancel());
    }
}

TEST_F(KatalogTest, CentredOnTheMainForm)
{
    Przegladaj("", [](TfrmKatalog& k) {
        EXPECT_NEAR(k.Left(), frmMain->Left() + (frmMain->Width() - k.Width()) / 2, 1);
        EXPECT_NEAR(k.Top(), frmMain->Top() + (frmMain->Height() - k.Height()) / 2, 1);
        k.btnAnuluj.Click();
    });
}

TEST_F(KatalogTest, ALowerCasePathSelectsEveryLevelAndTheEditKeepsTheCallersText)
{
    const std::string initial = "c:\\werb-katalog-test\\sub";
    const std::string wynik = Przegladaj(initial, [&](TfrmKatalog& k) {
        const TTreeNode sel = k.trvKatalog.Selected();
        ASSERT_TRUE(sel);
        EXPECT_EQ(sel.Text(), "sub");
        EXPECT_EQ(sel.Parent().Text(), "werb-katalog-test");
        EXPECT_EQ(sel.Parent().Parent().Text(), "C:\\");
        EXPECT_FALSE(sel.Parent().Parent().Parent());
        EXPECT_EQ(k.SciezkaWezla(sel), "C:\\werb-katalog-test\\sub");
        EXPECT_EQ(k.edtKatalog.Text(), initial) << "navigation does not write the edit";
        EXPECT_TRUE(k.btnUtworz.Enabled());
        // Each level was listed and opened on the way; the last one too.
        EXPECT_TRUE(sel.Parent().Expanded());
        EXPECT_TRUE(Dziecko(sel, "gleboki"));
        EXPECT_FALSE(k.FZajety);
        k.btnOK.Click();
    });
    EXPECT_EQ(wynik, initial);
}

TEST_F(KatalogTest, TheDeepestMatchStaysSelected)
{
    Przegladaj("C:\\WERB-KATALOG-TEST\\nie-ma\\sub", [](TfrmKatalog& k) {
        const TTreeNode sel = k.trvKatalog.Selected();
        ASSERT_TRUE(sel);
        EXPECT_EQ(k.SciezkaWezla(sel), "C:\\werb-katalog-test");
        k.btnAnuluj.Click();
    });
    // A trailing backslash is only a separator.
    Przegladaj("C:\\werb-katalog-test\\sub\\", [](TfrmKatalog& k) {
        EXPECT_EQ(k.SciezkaWezla(k.trvKatalog.Selected()), "C:\\werb-katalog-test\\sub");
        k.btnAnuluj.Click();
    });
}

TEST_F(KatalogTest, TheTreeListsTheFixedDrivesOnlyInCapitals)
{
    std::vector<std::string> stale;
    wchar_t bufor[512] = {};
    const DWORD n = GetLogicalDriveStringsW(511, bufor);
    ASSERT_GT(n, 0u);
    for (const wchar_t* p = bufor; *p; p += wcslen(p) + 1)
        if (GetDriveTypeW(p) == DRIVE_FIXED) stale.push_back(Narrow(p));
    ASSERT_EQ(GetDriveTypeW(L"D:\\"), static_cast<UINT>(DRIVE_CDROM)) << "the prefix's D: is a CD-ROM";
    Przegladaj("", [&](TfrmKatalog& k) {
        const std::vector<std::string> dyski = Teksty(k.trvKatalog.GetFirstNode());
        for (std::string& s : stale) CharUpperBuffA(s.data(), static_cast<DWORD>(s.size()));
        EXPECT_EQ(dyski, stale);
        EXPECT_TRUE(Zawiera(dyski, "C:\\"));
        EXPECT_FALSE(Zawiera(dyski, "D:\\"));
        for (TTreeNode d = k.trvKatalog.GetFirstNode(); d; d = d.GetNextSibling()) {
            EXPECT_EQ(d.ImageIndex(), 0);
            EXPECT_EQ(d.SelectedIndex(), 0);
        }
        EXPECT_FALSE(k.trvKatalog.Selected()) << "an empty path selects nothing";
        EXPECT_FALSE(k.btnUtworz.Enabled());
        k.btnAnuluj.Click();
    });
}

TEST_F(KatalogTest, APathOnTheCdRomOrAUncPathSelectsNothing)
{
    for (const std::string initial : {"D:\\", "D:\\Werbika", "\\\\serwer\\udzial\\Werbika", "Q:\\nic"}) {
        SCOPED_TRACE(initial);
        const std::string wynik = Przegladaj(initial, [&](TfrmKatalog& k) {
            EXPECT_FALSE(k.trvKatalog.Selected());
            EXPECT_FALSE(k.btnUtworz.Enabled());
            EXPECT_EQ(k.edtKatalog.Text(), initial);
            // The shown dialog keeps the caller's text: the focus went to the edit, not to the tree.
            Application.ProcessMessages();
            EXPECT_EQ(k.edtKatalog.Text(), initial);
            EXPECT_FALSE(k.trvKatalog.Selected());
            k.btnOK.Click();
        });
        EXPECT_EQ(wynik, initial);
    }
}

TEST_F(KatalogTest, SelectingANodeWritesItsPathAndOkReturnsIt)
{
    const std::string wynik = Przegladaj("c:\\werb-katalog-test", [](TfrmKatalog& k) {
        TTreeNode c = WezelDysku("C:\\");
        ASSERT_TRUE(c);
        k.trvKatalog.SetSelected(c);
        EXPECT_EQ(k.edtKatalog.Text(), "C:\\") << "a drive keeps its backslash";
        TTreeNode test = Dziecko(c, "werb-katalog-test");
        ASSERT_TRUE(test);
        TTreeNode sub = Dziecko(test, "sub");
        ASSERT_TRUE(sub);
        k.trvKatalog.SetSelected(sub);
        EXPECT_EQ(k.edtKatalog.Text(), "C:\\werb-katalog-test\\sub") << "a folder has no final backslash";
        EXPECT_EQ(sub.ImageIndex(), 1);
        EXPECT_EQ(sub.SelectedIndex(), 2);
        EXPECT_TRUE(Dziecko(sub, "gleboki")) << "selection lists the subfolders";
        EXPECT_TRUE(k.btnUtworz.Enabled());
        k.btnOK.Click();
    });
    EXPECT_EQ(wynik, "C:\\werb-katalog-test\\sub");
}

TEST_F(KatalogTest, ArrowKeysInTheTreeSelectLikeAClick)
{
    const std::string wynik = Przegladaj("C:\\werb-katalog-test\\sub", [](TfrmKatalog& k) {
        k.trvKatalog.SetFocus();
        PressKey(k, VK_DOWN);  // sub -> gleboki
        Application.ProcessMessages();
        EXPECT_EQ(k.edtKatalog.Text(), "C:\\werb-katalog-test\\sub\\gleboki");
        k.btnOK.Click();
    });
    EXPECT_EQ(wynik, "C:\\werb-katalog-test\\sub\\gleboki");
}

TEST_F(KatalogTest, CancelAndTheCloseBoxReturnTheInitialPathAfterBrowsing)
{
    const std::string initial = "C:\\werb-katalog-test\\sub";
    auto przejdz = [](TfrmKatalog& k) {
        k.trvKatalog.SetSelected(Dziecko(k.trvKatalog.Selected().Parent(), "pusty"));
        EXPECT_EQ(k.edtKatalog.Text(), "C:\\werb-katalog-test\\pusty");
    };
    EXPECT_EQ(Przegladaj(initial,
                         [&](TfrmKatalog& k) {
                             przejdz(k);
                             k.btnAnuluj.Click();
                         }),
              initial);
    EXPECT_EQ(Przegladaj(initial,
                         [&](TfrmKatalog& k) {
                             przejdz(k);
                             SendMessageW(k.Handle(), WM_SYSCOMMAND, SC_CLOSE, 0);
                         }),
              initial);
}

TEST_F(KatalogTest, EnterAndEscDoNotCloseTheBrowser)
{
    const std::string wynik = Przegladaj("C:\\werb-katalog-test", [](TfrmKatalog& k) {
        PressKey(k, VK_ESCAPE);
        PressKey(k, VK_RETURN);
        Application.ProcessMessages();
        EXPECT_TRUE(k.Visible());
        EXPECT_EQ(k.ModalResult(), mrNone);
        k.edtKatalog.SetText("C:\\gdzie\\indziej");
        k.btnOK.Click();
    });
    EXPECT_EQ(wynik, "C:\\gdzie\\indziej") << "a typed path is returned as typed";
}

TEST_F(KatalogTest, AnEmptyPathIsReturnedEmptyOnOk)
{
    EXPECT_EQ(Przegladaj("", [](TfrmKatalog& k) { k.btnOK.Click(); }), "");
}

TEST_F(KatalogTest, EveryShowRebuildsTheTreeAndSetsTheCaption)
{
    Przegladaj("C:\\werb-katalog-test", [](TfrmKatalog& k) {
        EXPECT_FALSE(Dziecko(k.trvKatalog.Selected(), "pozniej"));
        k.btnAnuluj.Click();
    });
    Katalog(L"pozniej");
    frmKatalog->SetCaption("cokolwiek");
    Przegladaj("C:\\werb-katalog-test", [](TfrmKatalog& k) {
        EXPECT_TRUE(Dziecko(k.trvKatalog.Selected(), "pozniej"));
        EXPECT_EQ(k.Caption(), PobierzTekst(jzPolski, txtSelectDirectory));
        k.btnAnuluj.Click();
    });
}

TEST_F(KatalogTest, ANewFolderIsCreatedSelectedAndReturned)
{
    const std::string wynik = Przegladaj("C:\\werb-katalog-test\\pusty", [&](TfrmKatalog& k) {
        const TTreeNode pusty = k.trvKatalog.Selected();
        ASSERT_TRUE(pusty);
        EXPECT_EQ(pusty.Count(), 0);
        Application.OnNextModalShown([&](TForm&) {
            TfrmKatalogDodaj& d = *frmKatalogDodaj;
            EXPECT_EQ(d.edtDodaj.Text(), "");
            EXPECT_FALSE(d.btnDodaj.Enabled()) << "nothing typed yet";
            EXPECT_TRUE(d.edtDodaj.Focused());
            Pisz(d.edtDodaj.Handle(), L"Nowy katalog");
            EXPECT_TRUE(d.btnDodaj.Enabled());
            // Enter and Esc leave the dialog open.
            PressKey(d, VK_RETURN);
            PressKey(d, VK_ESCAPE);
            Application.ProcessMessages();
            EXPECT_TRUE(d.Visible());
            d.btnDodaj.Click();
        });
        k.btnUtworz.Click();
        const TTreeNode nowy = k.trvKatalog.Selected();
        ASSERT_TRUE(nowy);
        EXPECT_EQ(nowy.Text(), "Nowy katalog");
        EXPECT_TRUE(nowy.Parent() == pusty);
        EXPECT_EQ(nowy.ImageIndex(), 1);
        EXPECT_EQ(nowy.SelectedIndex(), 2);
        EXPECT_EQ(pusty.Count(), 1);
        EXPECT_EQ(k.edtKatalog.Text(), "C:\\werb-katalog-test\\pusty\\Nowy katalog");
        k.btnOK.Click();
    });
    EXPECT_EQ(wynik, "C:\\werb-katalog-test\\pusty\\Nowy katalog");
    EXPECT_TRUE(Istnieje(kKorzen + L"\\pusty\\Nowy katalog"));
}

TEST_F(KatalogTest, ANewFolderOnTheDriveRootGoesUnderIt)
{
    const std::wstring nazwa = L"werb-katalog-test-korzen";
    RemoveDirectoryW((L"C:\\" + nazwa).c_str());
    Przegladaj("C:\\", [&](TfrmKatalog& k) {
        ASSERT_EQ(k.trvKatalog.Selected().Text(), "C:\\");
        UtworzPrzezDialog(k, nazwa);
        EXPECT_EQ(k.edtKatalog.Text(), "C:\\" + Narrow(nazwa));
        EXPECT_EQ(k.trvKatalog.Selected().Text(), Narrow(nazwa));
        k.btnAnuluj.Click();
    });
    EXPECT_TRUE(Istnieje(L"C:\\" + nazwa));
    RemoveDirectoryW((L"C:\\" + nazwa).c_str());
}

TEST_F(KatalogTest, CancellingTheNewFolderDialogChangesNothing)
{
    Przegladaj("C:\\werb-katalog-test\\pusty", [](TfrmKatalog& k) {
        Application.OnNextModalShown([](TForm&) {
            Pisz(frmKatalogDodaj->edtDodaj.Handle(), L"niechciany");
            frmKatalogDodaj->btnAnuluj.Click();
        });
        k.btnUtworz.Click();
        EXPECT_EQ(k.trvKatalog.Selected().Text(), "pusty");
        EXPECT_EQ(k.trvKatalog.Selected().Count(), 0);
        EXPECT_EQ(k.edtKatalog.Text(), "C:\\werb-katalog-test\\pusty");
        k.btnAnuluj.Click();
    });
    EXPECT_FALSE(Istnieje(kKorzen + L"\\pusty\\niechciany"));
    // The next show of the dialog starts empty again.
    Przegladaj("C:\\werb-katalog-test\\pusty", [](TfrmKatalog& k) {
        Application.OnNextModalShown([](TForm&) {
            EXPECT_EQ(frmKatalogDodaj->edtDodaj.Text(), "");
            EXPECT_FALSE(frmKatalogDodaj->btnDodaj.Enabled());
            frmKatalogDodaj->btnAnuluj.Click();
        });
        k.btnUtworz.Click();
        k.btnAnuluj.Click();
    });
}

TEST_F(KatalogTest, ARefusedNameIsReportedWithThatNameAndNothingIsCreated)
{
    {
        HANDLE h = CreateFileW((kKorzen + L"\\plik.txt").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(h, INVALID_HANDLE_VALUE);
        CloseHandle(h);
    }
    RemoveDirectoryW(L"C:\\werb-ucieczka");
    // A forbidden character, an existing file, an existing folder, and names that would leave the folder.
    for (const std::wstring nazwa : {L"zly?znak", L"gwiazd*ka", L"plik.txt", L"sub", L"..\\werb-ucieczka", L"a/b"}) {
        SCOPED_TRACE(Narrow(nazwa));
        Przegladaj("C:\\werb-katalog-test", [&](TfrmKatalog& k) {
            const TTreeNode sel = k.trvKatalog.Selected();
            const std::vector<std::string> przed = Teksty(sel.GetFirstChild());
            std::string pytanie;
            int pokazano = 0;
            Application.OnNextModalShown([&](TForm&) {
                Pisz(frmKatalogDodaj->edtDodaj.Handle(), nazwa);
                Application.OnNextModalShown([&](TForm& f) {
                    ++pokazano;
                    EXPECT_EQ(&f, frmPytanie);
                    pytanie = frmPytanie->lblPytanie.Caption();
                    EXPECT_TRUE(frmPytanie->btnTak.Visible());
                    EXPECT_FALSE(frmPytanie->btnNie.Visible());
                    EXPECT_FALSE(frmPytanie->btnAnuluj.Visible());
                    frmPytanie->btnTak.Click();
                });
                frmKatalogDodaj->btnDodaj.Click();
            });
            k.btnUtworz.Click();
            EXPECT_EQ(pokazano, 1);
            EXPECT_EQ(pytanie, "Nie można utworzyć katalogu \"" + Narrow(nazwa) + "\".");
            EXPECT_TRUE(k.trvKatalog.Selected() == sel);
            EXPECT_EQ(Teksty(sel.GetFirstChild()), przed);
            EXPECT_EQ(k.edtKatalog.Text(), "C:\\werb-katalog-test");
            k.btnAnuluj.Click();
        });
    }
    EXPECT_FALSE(Istnieje(L"C:\\werb-ucieczka")) << "nothing beside the selected folder";
    RemoveDirectoryW(L"C:\\werb-ucieczka");
    EXPECT_FALSE(Istnieje(kKorzen + L"\\a"));
    EXPECT_FALSE(Istnieje(kKorzen + L"\\zly?znak"));
}

TEST_F(KatalogTest, TheMessageFollowsTheDialogsLanguage)
{
    frmMain->UstawJezyk(jzFrancuski);
    Przegladaj("C:\\werb-katalog-test", [](TfrmKatalog& k) {
        std::string pytanie;
        Application.OnNextModalShown([&](TForm&) {
            Pisz(frmKatalogDodaj->edtDodaj.Handle(), L"sub");
            Application.OnNextModalShown([&](TForm&) {
                pytanie = frmPytanie->lblPytanie.Caption();
                frmPytanie->btnTak.Click();
            });
            frmKatalogDodaj->btnDodaj.Click();
        });
        k.btnUtworz.Click();
        EXPECT_EQ(pytanie, Format(PobierzTekst(jzFrancuski, txtCannotCreateFolder), {"sub"}));
        EXPECT_NE(pytanie, Format(PobierzTekst(jzPolski, txtCannotCreateFolder), {"sub"}));
        k.btnAnuluj.Click();
    });
}

// Hidden and system folders are those with the attribute, whatever their names.
TEST_F(KatalogTest, AFolderWhoseOnlySubfoldersAreHiddenHasNoExpandButton)
{
    Katalog(L"ukryte");
    Katalog(L"ukryte\\schowany", FILE_ATTRIBUTE_HIDDEN);
    Katalog(L"ukryte\\systemowy", FILE_ATTRIBUTE_SYSTEM);
    Katalog(L"widoczne");
    Katalog(L"widoczne\\dziecko");
    Katalog(L"tajny", FILE_ATTRIBUTE_HIDDEN);
    Katalog(L"tajny\\wewnatrz");
    // The prefix must keep the attributes, or this test proves nothing.
    for (const wchar_t* p : {L"\\ukryte\\schowany", L"\\tajny"})
        ASSERT_TRUE(GetFileAttributesW((kKorzen + p).c_str()) & FILE_ATTRIBUTE_HIDDEN) << Narrow(p);
    ASSERT_TRUE(GetFileAttributesW((kKorzen + L"\\ukryte\\systemowy").c_str()) & FILE_ATTRIBUTE_SYSTEM);

    EXPECT_FALSE(MaPodkatalogi("C:\\werb-katalog-test\\ukryte\\"));
    EXPECT_TRUE(MaPodkatalogi("C:\\werb-katalog-test\\widoczne\\"));
    EXPECT_FALSE(MaPodkatalogi("C:\\werb-katalog-test\\pusty\\"));
    EXPECT_FALSE(MaPodkatalogi("C:\\werb-katalog-test\\nie-ma\\"));

    Przegladaj("C:\\werb-katalog-test", [](TfrmKatalog& k) {
        const TTreeNode test = k.trvKatalog.Selected();
        const std::vector<std::string> dzieci = Teksty(test.GetFirstChild());
        EXPECT_TRUE(Zawiera(dzieci, "ukryte"));
        EXPECT_TRUE(Zawiera(dzieci, "widoczne"));
        EXPECT_FALSE(Zawiera(dzieci, "tajny")) << "a hidden folder is never listed";
        const TTreeNode ukryte = Dziecko(test, "ukryte");
        const TTreeNode widoczne = Dziecko(test, "widoczne");
        EXPECT_FALSE(ukryte.HasChildren());
        EXPECT_TRUE(widoczne.HasChildren());
        EXPECT_FALSE(Dziecko(test, "pusty").HasChildren());
        k.trvKatalog.SetSelected(ukryte);
        EXPECT_EQ(ukryte.Count(), 0);
        EXPECT_FALSE(ukryte.HasChildren());
        k.btnAnuluj.Click();
    });

    // A path through a hidden folder stops above it.
    Przegladaj("C:\\werb-katalog-test\\tajny\\wewnatrz", [](TfrmKatalog& k) {
        EXPECT_EQ(k.trvKatalog.Selected().Text(), "werb-katalog-test");
        k.btnAnuluj.Click();
    });
}

// A name with a leading dot is a name like any other: the attribute decides. (Wine marks such a folder
// hidden; Windows does not.)
TEST_F(KatalogTest, ADotNameIsListedAsItsAttributeSays)
{
    Katalog(L".kropka");
    Katalog(L"kropka-rodzic");
    Katalog(L"kropka-rodzic\\.kropka");
    const bool hidden = GetFileAttributesW((kKorzen + L"\\.kropka").c_str()) & FILE_ATTRIBUTE_HIDDEN;
    EXPECT_EQ(MaPodkatalogi("C:\\werb-katalog-test\\kropka-rodzic\\"), !hidden);
    Przegladaj("C:\\werb-katalog-test", [hidden](TfrmKatalog& k) {
        EXPECT_EQ(Zawiera(Teksty(k.trvKatalog.Selected().GetFirstChild()), ".kropka"), !hidden);
        k.btnAnuluj.Click();
    });
}

TEST_F(KatalogTest, TheExpandButtonOfAnUnselectedFolderListsIt)
{
    Przegladaj("C:\\werb-katalog-test", [](TfrmKatalog& k) {
        TTreeNode sub = Dziecko(k.trvKatalog.Selected(), "sub");
        ASSERT_TRUE(sub.HasChildren());
        ASSERT_EQ(sub.Count(), 0);
        sub.Expand();
        EXPECT_TRUE(Dziecko(sub, "gleboki"));
        EXPECT_EQ(k.trvKatalog.Selected().Text(), "werb-katalog-test");
        EXPECT_EQ(k.edtKatalog.Text(), "C:\\werb-katalog-test");
        k.btnAnuluj.Click();
    });
}

TEST_F(KatalogTest, CaptionsInPolishAndFrench)
{
    struct Rzad {
        TJezyk jezyk;
        const char* tytul;
        const char* ok;
        const char* anuluj;
        const char* nowy;
        const char* dodajTytul;
        const char* dodaj;
        const char* dodajAnuluj;
        BYTE charset;
    } rzedy[] = {
        {jzPolski, "Wybierz katalog", "OK", "Anuluj", "Nowy katalog", "Nowy katalog", "Utwórz", "Anuluj",
         EASTEUROPE_CHARSET},
        {jzFrancuski, "Choisissez un répertoire", nullptr, nullptr, "Nouveau répertoire", "Nouveau répertoire",
         "Créer", "Annuler", ANSI_CHARSET},
    };
    for (const Rzad& r : rzedy) {
        SCOPED_TRACE(static_cast<int>(r.jezyk));
        frmMain->UstawJezyk(r.jezyk);
        TfrmKatalog& k = *frmKatalog;
        TfrmKatalogDodaj& d = *frmKatalogDodaj;
        EXPECT_EQ(k.FJezyk, r.jezyk);
        EXPECT_EQ(k.Caption(), r.tytul);
        EXPECT_EQ(k.btnOK.Caption(), PobierzTekst(r.jezyk, txtOK));
        EXPECT_EQ(k.btnAnuluj.Caption(), PobierzTekst(r.jezyk, txtCancel));
        if (r.ok) {
            EXPECT_EQ(k.btnOK.Caption(), r.ok);
        }
        if (r.anuluj) {
            EXPECT_EQ(k.btnAnuluj.Caption(), r.anuluj);
        }
        EXPECT_EQ(k.btnUtworz.Caption(), r.nowy);
        EXPECT_EQ(d.Caption(), r.dodajTytul);
        EXPECT_EQ(d.btnDodaj.Caption(), r.dodaj);
        EXPECT_EQ(d.btnAnuluj.Caption(), r.dodajAnuluj);
        EXPECT_EQ(k.Font().Charset(), r.charset);
        EXPECT_EQ(d.Font().Charset(), r.charset);
        Przegladaj("", [&](TfrmKatalog& f) {
            EXPECT_EQ(f.Caption(), r.tytul);
            f.btnAnuluj.Click();
        });
    }
}
