// The folder browser: fills the tree of fixed drives on every show, lists folders on selection, creates folders.
#include "dialogs/untKatalog.h"

#include <windows.h>

#include <algorithm>
#include <functional>
#include <utility>

#include "dialogs/untKatalogDodaj.h"
#include "dialogs/untPytanie.h"
#include "install/Czcionki.h"
#include "install/untInstalFunkcje.h"
#include "texts/Format.h"
#include "ui/Obrazki.h"
#include "ui/Unicode.h"

TfrmKatalog* frmKatalog = nullptr;

namespace {

enum : int { imgNaped = 0, imgKatalog = 1, imgOtwarty = 2 };

constexpr int kSzerokoscOkna = 444;
constexpr int kSzerokoscPrzyciskow = 97;

TFormArgs KatalogArgs()
{
    TFormArgs a;
    a.ClientWidth = kSzerokoscOkna;
    a.ClientHeight = 248;
    a.Caption = "Wybierz katalog";
    a.BorderStyle = bsSingle;
    a.BorderIcons = biSystemMenu;
    a.Position = poMainFormCenter;
    a.FontName = "MS Sans Serif";
    a.FontHeight = -11;
    return a;
}

// A folder search handle, closed with FindClose exactly once.
class TSzukanie {
public:
    TSzukanie(const std::wstring& wzorzec, WIN32_FIND_DATAW& dane)
        : FHandle(FindFirstFileExW(wzorzec.c_str(), FindExInfoBasic, &dane, FindExSearchLimitToDirectories,
                                   nullptr, 0))
    {
    }
    ~TSzukanie()
    {
        if (*this) FindClose(FHandle);
    }
    TSzukanie(const TSzukanie&) = delete;
    TSzukanie& operator=(const TSzukanie&) = delete;
    explicit operator bool() const { return FHandle != INVALID_HANDLE_VALUE; }
    bool Nastepny(WIN32_FIND_DATAW& dane) { return FindNextFileW(FHandle, &dane) != FALSE; }

private:
    HANDLE FHandle;
};

// The directory attribute only limits the search where the file system supports it: the attributes decide,
// and hidden or system folders are never listed.
bool JestWidocznymKatalogiem(const WIN32_FIND_DATAW& d)
{
    if (!(d.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) return false;
    if (d.dwFileAttributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) return false;
    const std::wstring_view nazwa = d.cFileName;
    return nazwa != L"." && nazwa != L"..";
}

// Calls f with the name of each listed subfolder of folder (trailing backslash), in the order of the search,
// until f returns false.
void KazdyPodkatalog(const std::string& folder, const std::function<bool(const std::wstring&)>& f)
{
    WIN32_FIND_DATAW dane{};
    TSzukanie szukanie(Widen(folder) + L"*.*", dane);
    if (!szukanie) return;
    do {
        if (JestWidocznymKatalogiem(dane) && !f(dane.cFileName)) return;
    } while (szukanie.Nastepny(dane));
}

std::string ZUkosnikiem(std::string sciezka)
{
    if (sciezka.empty() || sciezka.back() != '\\') sciezka += '\\';
    return sciezka;
}

bool KonczySie(const std::string& s, std::string_view koncowka)
{
    return s.size() >= koncowka.size() && s.compare(s.size() - koncowka.size(), koncowka.size(), koncowka) == 0;
}

std::wstring MaleLitery(const std::string& utf8)
{
    std::wstring w = Widen(utf8);
    if (!w.empty()) CharLowerBuffW(w.data(), static_cast<DWORD>(w.size()));
    return w;
}

// A single name below the selected folder: separators or dot names would create a folder elsewhere than
// under the node that receives it.
bool JestPojedynczaNazwa(const std::string& nazwa)
{
    return nazwa.find_first_of("\\/") == std::string::npos && nazwa != "." && nazwa != "..";
}

// Holds back the tree's painting while it is filled; the outermost holder repaints.
class TWstrzymanie {
public:
    TWstrzymanie(TTreeView& drzewo, int& licznik) : FDrzewo(drzewo), FLicznik(licznik)
    {
        if (FLicznik++ == 0) SendMessageW(FDrzewo.Handle(), WM_SETREDRAW, FALSE, 0);
    }
    ~TWstrzymanie()
    {
        if (--FLicznik == 0) {
            SendMessageW(FDrzewo.Handle(), WM_SETREDRAW, TRUE, 0);
            InvalidateRect(FDrzewo.Handle(), nullptr, TRUE);
        }
    }
    TWstrzymanie(const TWstrzymanie&) = delete;
    TWstrzymanie& operator=(const TWstrzymanie&) = delete;

private:
    TTreeView& FDrzewo;
    int& FLicznik;
};

// Sets the busy flag for a scope and puts the previous value back.
class TZajety {
public:
    explicit TZajety(bool& flaga) : FFlaga(flaga), FPoprzednio(std::exchange(flaga, true)) {}
    ~TZajety() { FFlaga = FPoprzednio; }
    TZajety(const TZajety&) = delete;
    TZajety& operator=(const TZajety&) = delete;

private:
    bool& FFlaga;
    bool FPoprzednio;
};

} // namespace

// Neither OK nor Cancel is a default or cancel button: Enter and Esc leave the browser open.
TfrmKatalog::TfrmKatalog()
    : TForm(KatalogArgs()),
      imlKatalog(Scale(16), Scale(16), 3),
      trvKatalog(*this, {.Left = 8, .Top = 8, .Width = 321, .Height = 205, .ShowButtons = true, .ShowLines = true,
                         .ShowRoot = false, .ReadOnly = true, .HideSelection = false, .Indent = 25}),
      edtKatalog(*this, {.Left = 8, .Top = 220, .Width = 321, .Height = 21}),
      btnOK(*this, {.Left = 340, .Top = 8, .Width = kSzerokoscPrzyciskow, .Height = 25, .Caption = "OK",
                    .ModalResult = mrOk}),
      btnAnuluj(*this, {.Left = 340, .Top = 40, .Width = kSzerokoscPrzyciskow, .Height = 25, .Caption = "Anuluj",
                        .ModalResult = mrCancel}),
      btnUtworz(*this, {.Left = 340, .Top = 80, .Width = kSzerokoscPrzyciskow, .Height = 25,
                        .Caption = "Utwórz katalog"})
{
    imlKatalog.Add(MakeTreeImage(TTreeImage::Drive, Scale(16)));
    imlKatalog.Add(MakeTreeImage(TTreeImage::Folder, Scale(16)));
    imlKatalog.Add(MakeTreeImage(TTreeImage::OpenFolder, Scale(16)));
    trvKatalog.SetImages(imlKatalog);
    trvKatalog.OnChange = [this](TTreeNode node) { trvKatalogChange(node); };
    // A click on an expand button lists the folder like a selection would.
    trvKatalog.OnExpanding = [this](TTreeNode node, bool&) { WypelnijWezel(node); };
    btnUtworz.OnClick = [this] { btnUtworzClick(); };
    // The path field takes the focus: a tree focused without a selection would select its first node and
    // overwrite the caller's path.
    SetActiveControl(&edtKatalog);
    OnShow = [this] { WypelnijDrzewo(); };
    DoCreate();
}

TfrmKatalog::~TfrmKatalog()
{
    Free();
}

void TfrmKatalog::UstawJezyk(TJezyk jezyk)
{
    FJezyk = jezyk;
    UstawCzcionke(Font(), jezyk);
    SetCaption(PobierzTekst(jezyk, txtSelectDirectory));
    btnOK.SetCaption(PobierzTekst(jezyk, txtOK));
    btnAnuluj.SetCaption(PobierzTekst(jezyk, txtCancel));
    btnUtworz.SetCaption(PobierzTekst(jezyk, txtNewFolder));

    // A caption longer than the column of buttons widens the column, and the dialog with it.
    const int kolumna = std::max({kSzerokoscPrzyciskow, btnOK.CaptionWidth(), btnAnuluj.CaptionWidth(),
                                  btnUtworz.CaptionWidth()});
    for (TButton* b : {&btnOK, &btnAnuluj, &btnUtworz}) b->SetWidth(kolumna);
    SetClientWidth(kSzerokoscOkna + kolumna - kSzerokoscPrzyciskow);
}

std::string TfrmKatalog::SciezkaWezla(TTreeNode node) const
{
    std::string sciezka;
    // A drive's text ends in its backslash already; it must not be doubled.
    for (TTreeNode n = node; n; n = n.Parent()) sciezka.insert(0, ZUkosnikiem(n.Text()));
    if (!sciezka.empty() && !KonczySie(sciezka, ":\\")) sciezka.pop_back();
    return sciezka;
}

void TfrmKatalog::WypelnijDrzewo()
{
    {
        TZajety zajety(FZajety);
        TWstrzymanie wstrzymanie(trvKatalog, FWstrzymanie);
        trvKatalog.Clear();
        for (const std::string& korzen : NapedyTypu(DRIVE_FIXED)) trvKatalog.Add({}, korzen, imgNaped, imgNaped);
        PrzejdzDo(edtKatalog.Text());
    }
    // The change event was held back while the tree was filled.
    btnUtworz.SetEnabled(static_cast<bool>(trvKatalog.Selected()));
}

void TfrmKatalog::PrzejdzDo(const std::string& sciezka)
{
    TZajety zajety(FZajety);
    TTreeNode kandydat = trvKatalog.GetFirstNode();
    if (sciezka.empty() || !kandydat) return;
    TWstrzymanie wstrzymanie(trvKatalog, FWstrzymanie);
    std::string reszta = sciezka;
    while (!reszta.empty() && kandydat) {
        const size_t ukosnik = reszta.find('\\');
        std::string skladnik = ukosnik == std::string::npos ? reszta : reszta.substr(0, ukosnik + 1);
        reszta.erase(0, skladnik.size());
        // The drive component keeps its backslash, as the drive nodes show it.
        if (KonczySie(skladnik, "\\") && !KonczySie(skladnik, ":\\")) skladnik.pop_back();
        const std::wstring szukany = MaleLitery(skladnik);
        TTreeNode znaleziony;
        for (TTreeNode n = kandydat; n; n = n.GetNextSibling()) {
            if (MaleLitery(n.Text()) == szukany) {
                znaleziony = n;
                break;
            }
        }
        if (!znaleziony) break;
        trvKatalog.SetSelected(znaleziony);
        RozwinZaznaczony();
        kandydat = znaleziony.GetFirstChild();
    }
}

void TfrmKatalog::WypelnijWezel(TTreeNode node)
{
    if (!node || node.GetFirstChild()) return;
    const std::string folder = ZUkosnikiem(SciezkaWezla(node));
    std::wstring duze = Widen(folder);
    CharUpperBuffW(duze.data(), static_cast<DWORD>(duze.size()));
    // Floppy drives are never touched: a drive without a disk would make the user wait.
    if (duze == L"A:\\" || duze == L"B:\\") return;
    TWstrzymanie wstrzymanie(trvKatalog, FWstrzymanie);
    bool dodano = false;
    KazdyPodkatalog(folder, [&](const std::wstring& nazwa) {
        const std::string n = Narrow(nazwa);
        TTreeNode dziecko = trvKatalog.Add(node, n, imgKatalog, imgOtwarty);
        dziecko.SetHasChildren(MaPodkatalogi(folder + n + "\\"));
        dodano = true;
        return true;
    });
    if (node.Parent()) node.SetHasChildren(dodano);
}

void TfrmKatalog::RozwinZaznaczony()
{
    TTreeNode node = trvKatalog.Selected();
    if (!node) return;
    WypelnijWezel(node);
    node.Expand();
}

void TfrmKatalog::trvKatalogChange(TTreeNode)
{
    if (FZajety) return;
    const TTreeNode zaznaczony = trvKatalog.Selected();
    btnUtworz.SetEnabled(static_cast<bool>(zaznaczony));
    if (!zaznaczony) return;
    edtKatalog.SetText(SciezkaWezla(zaznaczony));
    RozwinZaznaczony();
}

void TfrmKatalog::btnUtworzClick()
{
    TTreeNode rodzic = trvKatalog.Selected();
    if (!rodzic || !frmKatalogDodaj) return;
    if (frmKatalogDodaj->ShowModal() != mrOk) return;
    const std::string nazwa = frmKatalogDodaj->edtDodaj.Text();
    const std::string sciezka = ZUkosnikiem(SciezkaWezla(rodzic)) + nazwa;
    const bool utworzono = JestPojedynczaNazwa(nazwa) && CreateDirectoryW(Widen(sciezka).c_str(), nullptr) != FALSE;
    if (!utworzono) {
        if (frmPytanie)
            PokazPytanie(*frmPytanie, *this, Format(PobierzTekst(FJezyk, txtCannotCreateFolder), {nazwa}), rpOK);
        return;
    }
    edtKatalog.SetText(sciezka);
    const TTreeNode nowy = trvKatalog.Add(rodzic, nazwa, imgKatalog, imgOtwarty);
    if (rodzic.Parent()) rodzic.SetHasChildren(true);
    trvKatalog.SetSelected(nowy);
}

bool MaPodkatalogi(const std::string& folder)
{
    bool jest = false;
    KazdyPodkatalog(folder, [&](const std::wstring&) {
        jest = true;
        return false;
    });
    return jest;
}

std::string WybierzKatalog(const std::string& initial)
{
    TfrmKatalog* f = frmKatalog;
    if (!f) return initial;
    f->edtKatalog.SetText(initial);
    f->SetCaption(PobierzTekst(f->FJezyk, txtSelectDirectory));
    f->FZajety = false;
    if (f->ShowModal() != mrOk) return initial;
    return f->edtKatalog.Text();
}
