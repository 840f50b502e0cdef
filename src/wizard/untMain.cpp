// The wizard: frame and pages built from their design, the page state machine, the language switch.
#include "wizard/untMain.h"

#include <windows.h>

#include "dialogs/untCD.h"
#include "dialogs/untKatalog.h"
#include "dialogs/untKatalogDodaj.h"
#include "dialogs/untPytanie.h"
#include "install/Czcionki.h"
#include "install/Produkt.h"
#include "install/untInstalFunkcje.h"
#include "texts/Format.h"
#include "texts/FormatLocale.h"
#include "ui/Obrazki.h"
#include "ui/Unicode.h"

TfrmMain* frmMain = nullptr;
bool SkrotyDlaWszystkich = false;

namespace {


// The pages lie on each other between the title band and the button row.
TPanelArgs StronaArgs(int borderWidth)
{
    return {.Align = alClient, .BevelOuter = bvNone, .BorderWidth = borderWidth};
}

TSpeedButtonArgs Flaga(int left, bool down)
{
    return {.Left = left, .Top = 9, .Width = 38, .Height = 24, .Visible = down, .Enabled = down, .Flat = true,
            .GroupIndex = 1, .AllowAllUp = true, .Down = down};
}

TCheckBoxArgs Opcja(int top, int width, bool checked)
{
    return {.Left = 12, .Top = top, .Width = width, .Height = 17, .Checked = checked};
}

void UstawCzcionkeArial(TControl& c, int height, unsigned style = 0)
{
    c.Font().SetName("Arial");
    c.Font().SetHeight(height);
    c.Font().SetStyle(style);
}

const char* Tytul()
{
    const TOpisProduktu* opis = OpisProduktu(NumerProduktu);
    return opis ? opis->Tytul : "";
}

// Title text of each page, by page number.
constexpr int kTytulyStron[kLiczbaStron + 1] = {0, txtPageIntro, txtPageLicence, txtPageOptions, txtPageInstall,
                                                 txtPageEnd};

} // namespace

TfrmMain::TfrmMain()
    : TForm({.ClientWidth = 623, .ClientHeight = 353, .BorderStyle = bsSingle, .BorderIcons = 0,
                .Position = poScreenCenter, .FontName = "Arial", .FontHeight = -11}),
      pnlLeft(*this, {.Width = 137, .Align = alLeft, .BevelOuter = bvLowered, .BevelInner = bvRaised}),
      Image1(pnlLeft, {.Align = alClient, .Stretch = true}),
      pnlMain(*this, {.Align = alClient, .BevelOuter = bvNone}),
      pnlTop(pnlMain, {.Height = 53, .Align = alTop, .BevelOuter = bvNone, .Color = clHighlightText}),
      lblTytul(pnlTop, {.Left = 8, .Top = 8, .Width = 469, .Height = 15, .AutoSize = false}),
      lblKrok(pnlTop, {.Left = 20, .Top = 28}),
      pnlBottom(pnlMain, {.Top = 316, .Height = 37, .Align = alBottom, .BevelOuter = bvNone, .BorderWidth = 3}),
      Bevel1(pnlBottom, {.Width = 480, .Height = 8, .Align = alTop, .Shape = bsTopLine}),
      btnWstecz(pnlBottom, {.Left = 4, .Top = 10, .Width = 81, .Height = 25}),
      btnDalej(pnlBottom, {.Left = 85, .Top = 10, .Width = 81, .Height = 25, .Default = true}),
      btnZamknij(pnlBottom, {.Left = 409, .Top = 10, .Width = 75, .Height = 25, .Anchors = akTop | akRight}),

      pnlIntro(pnlMain, StronaArgs(12)),
      lblIntro(pnlIntro, {.Width = 462, .Height = 169, .Align = alTop, .AutoSize = false, .WordWrap = true}),
      pnlJezyk(pnlIntro, {.Top = 214, .Width = 462, .Height = 37, .Align = alBottom, .BevelOuter = bvNone}),
      lblJezyk(pnlJezyk, {.Left = 2, .Top = 15, .Caption = "Język / Language / Sprache / Langue:"}),
      btnPolski(pnlJezyk, Flaga(200, true)),
      btnAngielski(pnlJezyk, Flaga(238, false)),
      btnNiemiecki(pnlJezyk, Flaga(276, false)),
      btnFrancuski(pnlJezyk, Flaga(314, false)),
      btnWloski(pnlJezyk, Flaga(353, false)),
      lblWersjaSpecjalna(pnlIntro, {.Top = 184, .Width = 462, .Height = 30, .Align = alBottom, .AutoSize = false,
                                    .WordWrap = true}),

      pnlUmowa(pnlMain, StronaArgs(12)),
      redUmowa(pnlUmowa, {.Width = 462, .Height = 221, .Align = alTop, .ReadOnly = true}),
      rdbUmowaAkceptuje(pnlUmowa, {.Left = 12, .Top = 242, .Width = 173, .Height = 17}),
      rdbUmowaNieAkceptuje(pnlUmowa, {.Left = 196, .Top = 242, .Width = 237, .Height = 17}),

      pnlOpcje(pnlMain, StronaArgs(0)),
      gbxKatalog(pnlOpcje, {.Left = 12, .Top = 12, .Width = 465, .Height = 69}),
      lblKatalog(gbxKatalog, {.Left = 12, .Top = 24, .Width = 357, .Height = 13, .AutoSize = false}),
      lblMiejsceWolne(gbxKatalog, {.Left = 12, .Top = 48}),
      lblMiejsceWymagane(gbxKatalog, {.Left = 224, .Top = 48}),
      btnKatalog(gbxKatalog, {.Left = 380, .Top = 20, .Width = 75, .Height = 23}),
      chbInstalujSlowniki(pnlOpcje, Opcja(96, 429, true)),
      chbUtworzGrupe(pnlOpcje, Opcja(116, 429, true)),
      chbUtworzSkrotyTranslatorow(pnlOpcje, Opcja(136, 433, true)),
      chbUtworzSkrotySlownikow(pnlOpcje, Opcja(156, 425, true)),
      chbSkrotyAllUsers(pnlOpcje, Opcja(184, 405, false)),
      lblSkrotyAllUsers(pnlOpcje, {.Left = 32, .Top = 204}),

      pnlInstalacja(pnlMain, StronaArgs(0)),
      lblInstalacja(pnlInstalacja, {.Left = 12, .Top = 16, .Width = 462, .Height = 16, .AutoSize = false}),
      lblInstalacjaOpis(pnlInstalacja, {.Left = 12, .Top = 52, .Width = 462, .Height = 14, .AutoSize = false}),
      lblPlikZ(pnlInstalacja, {.Left = 12, .Top = 80, .Width = 462, .Height = 14, .AutoSize = false}),
      lblPlikDo(pnlInstalacja, {.Left = 12, .Top = 100, .Width = 462, .Height = 14, .AutoSize = false}),
      pnlPostep(pnlInstalacja, {.Left = 12, .Top = 132, .Width = 462, .Height = 22, .BevelOuter = bvLowered}),
      GaugePostep(pnlPostep, {.Align = alClient}),

      pnlKoniec(pnlMain, StronaArgs(12)),
      lblKoniec(pnlKoniec, {.Align = alClient, .AutoSize = false, .WordWrap = true})
{
    Image1.SetPicture(MakeSideStrip(133, 349));
    UstawCzcionkeArial(lblTytul, -12, fsBold);
    UstawCzcionkeArial(lblKrok, -12);
    UstawCzcionkeArial(lblIntro, -11);
    UstawCzcionkeArial(lblKoniec, -11);
    UstawCzcionkeArial(lblInstalacja, -12, fsBold);
    UstawCzcionkeArial(lblJezyk, -11);
    lblJezyk.Font().SetCharset(EASTEUROPE_CHARSET);
    UstawCzcionkeArial(redUmowa, -11);
    lblTytul.SetColor(clHighlightText);
    lblKrok.SetColor(clHighlightText);

    btnPolski.SetGlyph(MakeFlag(TFlag::Polish));
    btnAngielski.SetGlyph(MakeFlag(TFlag::English));
    btnNiemiecki.SetGlyph(MakeFlag(TFlag::German));
    btnFrancuski.SetGlyph(MakeFlag(TFlag::French));
    btnWloski.SetGlyph(MakeFlag(TFlag::Italian));
    for (TSpeedButton* b : {&btnPolski, &btnAngielski, &btnNiemiecki, &btnFrancuski, &btnWloski})
        b->OnClick = [this] { btnPolskiClick(); };

    btnWstecz.OnClick = [this] { btnWsteczClick(); };
    btnDalej.OnClick = [this] { btnDalejClick(); };
    btnZamknij.OnClick = [this] { btnZamknijClick(); };
    rdbUmowaAkceptuje.OnClick = [this] { rdbUmowaAkceptujeClick(); };
    rdbUmowaNieAkceptuje.OnClick = [this] { rdbUmowaAkceptujeClick(); };
    btnKatalog.OnClick = [this] { btnKatalogClick(); };
    chbInstalujSlowniki.OnClick = [this] { chbInstalujSlownikiClick(); };

    // The bands come after the page in tab order: the page's controls first, then the buttons.
    pnlBottom.SendToBack();

    OnCreate = [this] { FormCreate(); };
    OnShow = [this] { FormShow(); };
    OnDestroy = [this] { FormDestroy(); };
    OnCloseQuery = [this](bool& canClose) { FormCloseQuery(canClose); };
    DoCreate();
}

TfrmMain::~TfrmMain()
{
    Free();
}

TPanel* TfrmMain::Strona(int numer)
{
    switch (numer) {
    case stWstep: return &pnlIntro;
    case stUmowa: return &pnlUmowa;
    case stOpcje: return &pnlOpcje;
    case stInstalacja: return &pnlInstalacja;
    case stKoniec: return &pnlKoniec;
    default: return nullptr;
    }
}

void TfrmMain::FormCreate()
{
    FKatalogZrodlowy.clear();
    FKatalogZrodlowyBezUkosnika.clear();
    FKatalogDocelowy.clear();
    FStrona = stWstep;
    FSukces = FInstalacjaTrwa = FPrzerwij = FPrzerwano = false;
    FUtworzoneKatalogi.clear();
    FSkopiowanePliki.clear();
    UstawFlageInstalacji(NumerProduktu, true);
}

void TfrmMain::FormShow()
{
    // The note text of this product is empty.
    lblWersjaSpecjalna.SetCaption("");

    // Product 1 with French as its language offers only the Polish button.
    for (TSpeedButton* b : {&btnAngielski, &btnNiemiecki, &btnFrancuski, &btnWloski}) {
        b->SetVisible(false);
        b->SetEnabled(false);
    }
    btnPolski.SetVisible(true);
    btnPolski.SetEnabled(true);
    chbSkrotyAllUsers.SetVisible(false);
    chbSkrotyAllUsers.SetEnabled(false);
    lblSkrotyAllUsers.SetVisible(false);
    lblSkrotyAllUsers.SetEnabled(false);

    UstawKatalogDocelowy();

    const TJezyk systemu = JezykSystemu();
    UstawJezyk(systemu == JezykProduktu ? systemu : jzPolski);

    ZmienStrone(0);
}

void TfrmMain::FormDestroy()
{
    if (CzyscFlageInstalacji) UstawFlageInstalacji(NumerProduktu, false);
    FUtworzoneKatalogi.clear();
    FSkopiowanePliki.clear();
    if (!FKatalogDocelowy.empty()) {
        // Left by the product's own programs; a failure to delete it does not matter.
        DeleteFileW(Widen(FKatalogDocelowy + "\\tx.tmp").c_str());
    }
}

void TfrmMain::FormCloseQuery(bool& canClose)
{
    // Only the Close button asks; every other close request is granted.
    canClose = true;
}

void TfrmMain::ZmienStrone(int krok)
{
    UstawKatalogZrodlowy();
    FStrona += krok;
    UstawKrok();

    if (FStrona == stKoniec) {
        lblKoniec.SetCaption("");
        lblKoniec.SetCaption(PobierzTekst(FJezyk, FSukces ? txtDoneOk : FPrzerwano ? txtDoneAborted : txtDoneError));
    }
    if (FStrona == stUmowa) WczytajUmowe();

    for (int i = stWstep; i <= stKoniec; ++i) {
        TPanel* p = Strona(i);
        p->SetEnabled(i == FStrona);
        p->SetVisible(i == FStrona);
    }
    if (TPanel* biezaca = Strona(FStrona)) biezaca->BringToFront();

    btnDalej.SetEnabled(FStrona == stWstep || FStrona == stUmowa || FStrona == stOpcje);
    btnWstecz.SetEnabled(FStrona == stUmowa || FStrona == stOpcje);
    btnZamknij.SetEnabled(true);

    if (FStrona == stUmowa) {
        rdbUmowaAkceptujeClick();
        redUmowa.SetFocus();
    }
    if (FStrona == stOpcje) SprawdzWolneMiejsce();
    if (FStrona == stInstalacja) {
        btnZamknij.SetCaption(PobierzTekst(FJezyk, txtAbort));
        Instaluj();
    }
    if (FStrona == stKoniec) {
        btnZamknij.SetCaption(PobierzTekst(FJezyk, txtFinish));
        btnZamknij.SetFocus();
    }
}

void TfrmMain::UstawKrok()
{
    const int tytul = FStrona >= stWstep && FStrona <= stKoniec ? kTytulyStron[FStrona] : 0;
    lblKrok.SetCaption(Format(PobierzTekst(FJezyk, txtStepOf), {FStrona, kLiczbaStron, PobierzTekst(FJezyk, tytul)}));
}

void TfrmMain::UstawJezyk(TJezyk jezyk)
{
    FJezyk = jezyk;
    if (frmPytanie) frmPytanie->UstawJezyk(jezyk);
    if (frmKatalog) frmKatalog->UstawJezyk(jezyk);
    if (frmKatalogDodaj) frmKatalogDodaj->UstawJezyk(jezyk);
    if (frmCD) frmCD->UstawJezyk(jezyk);

    UstawCzcionke(Font(), jezyk);
    UstawCzcionke(lblTytul.Font(), jzPolski);
    UstawCzcionke(lblKrok.Font(), jezyk);
    UstawCzcionke(lblJezyk.Font(), jzPolski);
    UstawCzcionke(lblIntro.Font(), jezyk);
    UstawCzcionkeEdytora(redUmowa, jezyk);
    UstawCzcionke(lblKoniec.Font(), jezyk);

    const char* tytul = Tytul();
    SetCaption(Format(PobierzTekst(jezyk, txtInstallerTitle), {tytul}));
    lblTytul.SetCaption(Format(PobierzTekst(jezyk, txtInstallationTitle), {tytul}));
    btnWstecz.SetCaption(PobierzTekst(jezyk, txtBack));
    btnDalej.SetCaption(PobierzTekst(jezyk, txtNext));
    btnZamknij.SetCaption(PobierzTekst(jezyk, txtClose));
    lblIntro.SetCaption(Format(PobierzTekst(jezyk, txtWelcome), {tytul, tytul}));
    rdbUmowaAkceptuje.SetCaption(PobierzTekst(jezyk, txtAcceptLicence));
    rdbUmowaNieAkceptuje.SetCaption(PobierzTekst(jezyk, txtRejectLicence));
    lblWersjaSpecjalna.SetCaption("");
    gbxKatalog.SetCaption(PobierzTekst(jezyk, txtInstallIn));
    btnKatalog.SetCaption(PobierzTekst(jezyk, txtChangeFolder));
    lblMiejsceWolne.SetCaption(PobierzTekst(jezyk, txtFreeSpace));
    lblMiejsceWymagane.SetCaption(PobierzTekst(jezyk, txtRequiredSpace));
    chbInstalujSlowniki.SetCaption(PobierzTekst(jezyk, txtOptDictionaries));
    chbUtworzGrupe.SetCaption(PobierzTekst(jezyk, txtOptStartMenu));
    chbUtworzSkrotyTranslatorow.SetCaption(PobierzTekst(jezyk, txtOptDesktopTranslators));
    chbUtworzSkrotySlownikow.SetCaption(PobierzTekst(jezyk, txtOptDesktopDictionaries));
    chbSkrotyAllUsers.SetCaption(PobierzTekst(jezyk, txtOptAllUsers));
    lblSkrotyAllUsers.SetCaption(PobierzTekst(jezyk, txtAdminNote));
    lblInstalacja.SetCaption(Format(PobierzTekst(jezyk, txtInstalling), {tytul}));
    lblInstalacjaOpis.SetCaption(PobierzTekst(jezyk, txtCopyingFiles));
    lblKoniec.SetCaption(PobierzTekst(jezyk, txtDoneOk));

    UstawKrok();
    if (FStrona == stOpcje) SprawdzWolneMiejsce();

    btnPolski.SetDown(jezyk == jzPolski);
    btnAngielski.SetDown(jezyk == jzAngielski);
    btnNiemiecki.SetDown(jezyk == jzNiemiecki);
    btnFrancuski.SetDown(jezyk == jzFrancuski);
    btnWloski.SetDown(jezyk == jzWloski);
}

void TfrmMain::btnPolskiClick()
{
    const std::pair<TSpeedButton*, TJezyk> kolejnosc[] = {{&btnPolski, jzPolski},
                                                          {&btnAngielski, jzAngielski},
                                                          {&btnNiemiecki, jzNiemiecki},
                                                          {&btnFrancuski, jzFrancuski},
                                                          {&btnWloski, jzWloski}};
    for (const auto& [przycisk, jezyk] : kolejnosc) {
        if (przycisk->Down()) {
            UstawJezyk(jezyk);
            return;
        }
    }
}

void TfrmMain::btnWsteczClick()
{
    ZmienStrone(-1);
}

void TfrmMain::btnDalejClick()
{
    if (SprawdzOpcje()) ZmienStrone(+1);
}

void TfrmMain::btnZamknijClick()
{
    if (FStrona == stInstalacja) {
        // The installation notices the request between files and asks itself.
        FPrzerwij = true;
        return;
    }
    if (FStrona == stKoniec) {
        Close();
        return;
    }
    if (frmPytanie && PokazPytanie(*frmPytanie, *this, PobierzTekst(FJezyk, txtAskAbortInstall), rpTakNie) == mrYes)
        Close();
}

void TfrmMain::rdbUmowaAkceptujeClick()
{
    btnDalej.SetEnabled(rdbUmowaAkceptuje.Checked());
}

void TfrmMain::UstawKatalogZrodlowy()
{
    if (FKatalogZrodlowy.empty()) {
        FKatalogZrodlowy = WybierzNapedCD();
        // Cancelled: the wizard ends without a message once the current handler returns.
        if (FKatalogZrodlowy.empty()) Close();
    }
    FKatalogZrodlowyBezUkosnika = FKatalogZrodlowy;
    if (!FKatalogZrodlowyBezUkosnika.empty() && FKatalogZrodlowyBezUkosnika.back() == '\\')
        FKatalogZrodlowyBezUkosnika.pop_back();
}

void TfrmMain::UstawKatalogDocelowy()
{
    std::string p;
    wchar_t bufor[MAX_PATH + 1] = {};
    DWORD rozmiar = sizeof bufor - sizeof(wchar_t);
    if (RegGetValueW(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows\\CurrentVersion", L"ProgramFilesDir",
                     RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND, nullptr, bufor, &rozmiar) == ERROR_SUCCESS)
        p = Narrow(bufor);
    if (p.empty()) p = "C:";
    const TOpisProduktu* opis = OpisProduktu(NumerProduktu);
    FKatalogDocelowy = p + "\\" + (opis ? opis->NazwaKatalogu : "");
    lblKatalog.SetCaption(FKatalogDocelowy);
}

namespace {

// A fixed allowance in bytes for what the installation writes beyond the CD's files.
constexpr std::int64_t kDodatkoweMiejsce = 2100000;
constexpr TColor kKolorBraku = RGB(255, 0, 0);

std::string TekstMegabajtow(std::int64_t bajty)
{
    return FormatFloatLocale(static_cast<double>(bajty) / 1048576.0) + " MB";
}

bool KatalogIstnieje(const std::string& katalog)
{
    const DWORD a = GetFileAttributesW(Widen(katalog).c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

// The question dialog's answer; 0 (neither yes nor no) when there is no dialog.
int Zapytaj(const TForm& owner, const std::string& text, TRodzajPytania rodzaj)
{
    return frmPytanie ? PokazPytanie(*frmPytanie, owner, text, rodzaj) : 0;
}

} // namespace

bool TfrmMain::SprawdzWolneMiejsce()
{
    const std::string lista = ListaWykluczen(NumerProduktu, chbInstalujSlowniki.Checked());
    FWymaganeMiejsce = RozmiarKatalogu(FKatalogZrodlowyBezUkosnika, lista) + kDodatkoweMiejsce;

    // A drive that does not exist or cannot be queried has no free space: 0, not the -1 of the query.
    FWolneMiejsce = WolneMiejsceDysku(NumerDysku(FKatalogDocelowy));
    bool ok = FWolneMiejsce >= FWymaganeMiejsce;
    if (FWolneMiejsce < 0) {
        FWolneMiejsce = 0;
        ok = false;
    }

    lblMiejsceWolne.Font().SetColor(ok ? clWindowText : kKolorBraku);
    lblMiejsceWolne.SetCaption(Format(PobierzTekst(FJezyk, txtFreeSpace), {TekstMegabajtow(FWolneMiejsce)}));
    lblMiejsceWymagane.SetCaption(
        Format(PobierzTekst(FJezyk, txtRequiredSpace), {TekstMegabajtow(FWymaganeMiejsce)}));
    return ok;
}

bool TfrmMain::SprawdzOpcje()
{
    if (FStrona != stOpcje) return true;
    SkrotyDlaWszystkich = chbSkrotyAllUsers.Checked();
    FKatalogDocelowy = lblKatalog.Caption();

    const bool istnial = KatalogIstnieje(FKatalogDocelowy);
    // One folder only: a missing parent makes the user choose another folder.
    if (!istnial && !CreateDirectoryW(Widen(FKatalogDocelowy).c_str(), nullptr)) {
        Zapytaj(*this, Format(PobierzTekst(FJezyk, txtCannotCreateDir), {FKatalogDocelowy}), rpOK);
        return false;
    }

    bool wynik = true;
    if (!SprawdzWolneMiejsce())
        wynik = Zapytaj(*this, Format(PobierzTekst(FJezyk, txtAskLowSpace), {FKatalogDocelowy}), rpTakNie) == mrYes;
    // Recorded only when the installation goes on, so that its roll-back removes the folder it made.
    if (wynik && !istnial) FUtworzoneKatalogi.push_back(FKatalogDocelowy);
    return wynik;
}

void TfrmMain::btnKatalogClick()
{
    FKatalogDocelowy = WybierzKatalog(FKatalogDocelowy);
    lblKatalog.SetCaption(FKatalogDocelowy);
    SprawdzWolneMiejsce();
}

void TfrmMain::chbInstalujSlownikiClick()
{
    SprawdzWolneMiejsce();
}

void TfrmMain::Instaluj()
{
    FSukces = false;
    ZmienStrone(+1);
}

// ---- Licence page; shortcuts and registry, the last steps of a successful installation ----
void TfrmMain::WczytajUmowe()
{
}

void TfrmMain::UtworzSkroty()
{
}

void TfrmMain::ZapiszRejestr()
{
}
// ---- end of shortcuts and registry ----
