// The wizard: frame and pages built from their design, the page state machine, the language switch.
#include "wizard/untMain.h"

#include <windows.h>

#include <stdexcept>

#include "builtin/ResourceFiles.h"
#include "dialogs/untCD.h"
#include "dialogs/untKatalog.h"
#include "dialogs/untKatalogDodaj.h"
#include "dialogs/untPytanie.h"
#include "install/Czcionki.h"
#include "install/IoError.h"
#include "install/ProductView.h"
#include "install/Produkt.h"
#include "install/WinHandle.h"
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

    btnPolski.SetGlyph(FlagGlyph(TFlag::Polish));
    btnAngielski.SetGlyph(FlagGlyph(TFlag::English));
    btnNiemiecki.SetGlyph(FlagGlyph(TFlag::German));
    btnFrancuski.SetGlyph(FlagGlyph(TFlag::French));
    btnWloski.SetGlyph(FlagGlyph(TFlag::Italian));
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
    FKopieZapasowe.clear();
    FZmianySystemowe.clear();
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
    // While the installation runs the form must live on: a close request becomes a cancel request, which the
    // installation confirms and rolls back itself. Otherwise only the Close button asks.
    canClose = !FInstalacjaTrwa;
    if (FInstalacjaTrwa) FPrzerwij = true;
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
    // The folder a 32-bit program is given: the product is one.
    std::string p = Narrow(ProductProgramFiles());
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

namespace {

// The gauge holds 32-bit values: sizes count by their low 32 bits.
int Gauge32(std::int64_t v)
{
    return static_cast<int>(static_cast<std::uint32_t>(v));
}

} // namespace

void TfrmMain::Instaluj()
{
    FInstalacjaTrwa = true;
    FPrzerwij = false;
    FPrzerwano = false;
    bool blad = false;
    try {
        UstawKatalogZrodlowy();
        KopiujPliki();
        btnZamknij.SetEnabled(false);
        if (!FPrzerwano) {
            UtworzSkroty();
            ZapiszRejestr();
            ZapiszRekordDeinstalacji();
        }
    } catch (const std::exception&) {
        // Every file error ends the run here; the End page says that it failed.
        blad = true;
    }
    btnZamknij.SetEnabled(false);
    ZakonczZmiany();
    GaugePostep.SetProgress(GaugePostep.MaxValue());
    FInstalacjaTrwa = false;
    FSukces = !FPrzerwano && !blad;
    ZmienStrone(+1);
}

void TfrmMain::ZapiszZachowujac(const std::string& cel, const std::function<void()>& zapisz, bool celMozeIstniec)
{
    // A look-up of a name that is not there scans the folder under Wine: skipped where nothing can be.
    const std::string kopia = celMozeIstniec ? OdlozNaBok(cel) : std::string();
    try {
        zapisz();
    } catch (...) {
        // The file that failed is not recorded: what it replaced comes back instead of a partial copy.
        if (!kopia.empty()) PrzywrocOdlozony(cel, kopia);
        throw;
    }
    if (!kopia.empty()) FKopieZapasowe[cel] = kopia;
    FSkopiowanePliki.push_back(cel);
}

void TfrmMain::ZakonczZmiany()
{
    // Kept until now only for a roll-back; after one nothing is left here.
    for (const auto& [plik, kopia] : FKopieZapasowe) UsunOdlozony(kopia);
    for (const TZmianaPliku& z : FZmianySystemowe)
        if (!z.Kopia.empty()) UsunOdlozony(z.Kopia);
    FKopieZapasowe.clear();
    FZmianySystemowe.clear();
}

bool TfrmMain::Przerwac()
{
    return FPrzerwano || SprawdzPrzerwanie();
}

void TfrmMain::KopiujPliki()
{
    FSkopiowanoBajtow = 0;
    lblInstalacjaOpis.SetCaption(PobierzTekst(FJezyk, txtCopyingFiles));
    Application.ProcessMessages();
    GaugePostep.SetMinValue(0);
    GaugePostep.SetProgress(0);
    GaugePostep.SetMaxValue(Gauge32(FWymaganeMiejsce));

    KopiujKatalog(FKatalogZrodlowyBezUkosnika, FKatalogDocelowy,
                  ListaWykluczen(NumerProduktu, chbInstalujSlowniki.Checked()));
    if (Przerwac()) return;

    InstalujProgramGlowny();
    if (Przerwac()) return;

    FSkopiowanoBajtow += kDodatkoweMiejsce;
    GaugePostep.SetProgress(Gauge32(FSkopiowanoBajtow));
    lblPlikZ.SetCaption("");
    lblPlikDo.SetCaption("");
    Application.ProcessMessages();
    if (Przerwac()) return;

    for (const TPlikSystemowy& plik : kPlikiSystemowe) {
        // A shared file that cannot be updated does not fail the installation.
        InstalujPlikSystemowy(plik.Nazwa, FKatalogZrodlowy, plik.Major, plik.Minor, &FZmianySystemowe);
        Application.ProcessMessages();
        if (Przerwac()) return;
    }

    InstalujPlikiZZasobow();
    Application.ProcessMessages();
}

bool TfrmMain::SprawdzPrzerwanie()
{
    if (FPrzerwano) return true;
    if (!FPrzerwij) return false;
    if (Zapytaj(*this, PobierzTekst(FJezyk, txtAskAbortInstall), rpTakNie) != mrYes) {
        FPrzerwij = false;
        return false;
    }

    btnZamknij.SetEnabled(false);
    lblPlikZ.SetCaption("");
    lblPlikDo.SetCaption("");
    lblInstalacjaOpis.SetCaption(PobierzTekst(FJezyk, txtCancelledDeleting));
    GaugePostep.SetMinValue(0);
    GaugePostep.SetProgress(0);
    GaugePostep.SetMaxValue(
        static_cast<int>(FUtworzoneKatalogi.size() + FSkopiowanePliki.size() + FZmianySystemowe.size()));
    Application.ProcessMessages();
    // Newest first: each file and folder goes in the reverse order of its recording, inner folders first;
    // a file that replaced another gives its place back. A failure leaves that one item behind; a folder that
    // still holds anything stays.
    while (!FZmianySystemowe.empty()) {
        const TZmianaPliku& z = FZmianySystemowe.back();
        if (z.Kopia.empty()) DeleteFileW(Widen(z.Plik).c_str());
        else PrzywrocOdlozony(z.Plik, z.Kopia);
        FZmianySystemowe.pop_back();
        GaugePostep.SetProgress(GaugePostep.Progress() + 1);
        Application.ProcessMessages();
    }
    while (!FSkopiowanePliki.empty()) {
        const std::string& plik = FSkopiowanePliki.back();
        const auto kopia = FKopieZapasowe.find(plik);
        if (kopia == FKopieZapasowe.end()) {
            DeleteFileW(Widen(plik).c_str());
        } else {
            PrzywrocOdlozony(plik, kopia->second);
            FKopieZapasowe.erase(kopia);
        }
        FSkopiowanePliki.pop_back();
        GaugePostep.SetProgress(GaugePostep.Progress() + 1);
        Application.ProcessMessages();
    }
    while (!FUtworzoneKatalogi.empty()) {
        RemoveDirectoryW(Widen(FUtworzoneKatalogi.back()).c_str());
        FUtworzoneKatalogi.pop_back();
        GaugePostep.SetProgress(GaugePostep.Progress() + 1);
        Application.ProcessMessages();
    }
    FPrzerwano = true;
    return true;
}

namespace {

// One folder deeper for as long as it lives, however the copy of that folder ends; with it whether the
// target folder of that level is new.
class TPoziomNizej {
public:
    TPoziomNizej(int& glebokosc, bool& nowy, bool nowyNizej) : FGlebokosc(++glebokosc), FNowy(nowy), FNowyWyzej(nowy)
    {
        nowy = nowyNizej;
    }
    ~TPoziomNizej()
    {
        --FGlebokosc;
        FNowy = FNowyWyzej;
    }
    TPoziomNizej(const TPoziomNizej&) = delete;
    TPoziomNizej& operator=(const TPoziomNizej&) = delete;

private:
    int& FGlebokosc;
    bool& FNowy;
    const bool FNowyWyzej;
};

} // namespace

void TfrmMain::KopiujKatalog(const std::string& zrodlo, const std::string& cel, const std::string& wykluczenia)
{
    WIN32_FIND_DATAW wpis{};
    // Every entry whatever its attributes: hidden, system and read-only files belong to the product too.
    const FindHandle szukaj(FindFirstFileExW(Widen(zrodlo + "\\*").c_str(), FindExInfoBasic, &wpis,
                                             FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH));
    if (!szukaj) {
        // A folder that was just listed in its parent and now cannot be read: the disc is gone or damaged.
        // Copying on would end in success with files missing. The top folder keeps the old rule: nothing.
        const DWORD blad = GetLastError();
        if (FGlebokoscKopii > 0 && blad != ERROR_FILE_NOT_FOUND && blad != ERROR_NO_MORE_FILES)
            throw EInOutError("cannot list " + zrodlo);
        return;
    }
    do {
        const std::string nazwa = Narrow(wpis.cFileName);
        // The pseudo-entries are skipped even when a list lacks them: they would loop or climb.
        if (nazwa == "." || nazwa == ".." || NaLiscieWykluczen(wykluczenia, nazwa)) continue;
        const std::string zrodlowy = zrodlo + "\\" + nazwa;
        const std::string docelowy = cel + "\\" + nazwa;
        if (wpis.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            // A folder that was there before is used but not recorded: a roll-back must not remove it.
            const bool utworzony = CreateDirectoryW(Widen(docelowy).c_str(), nullptr) != FALSE;
            if (utworzony) FUtworzoneKatalogi.push_back(docelowy);
            // Neither made nor there (a file of that name, no rights): its files would be missing from a run
            // that says it succeeded.
            if (!KatalogIstnieje(docelowy)) throw EInOutError("cannot create " + docelowy);
            const TPoziomNizej nizej(FGlebokoscKopii, FCelKopiiNowy, utworzony);
            KopiujKatalog(zrodlowy, docelowy, wykluczenia);
        } else {
            ZapiszZachowujac(docelowy, [&] { KopiujPlik(zrodlowy, docelowy); }, !FCelKopiiNowy);
        }
        GaugePostep.SetProgress(Gauge32(FSkopiowanoBajtow));
        Application.ProcessMessages();
        if (Przerwac()) return;
    } while (FindNextFileW(szukaj.Get(), &wpis));
    // The listing broke off: the rest of the folder would be missing from a run that says it succeeded.
    if (GetLastError() != ERROR_NO_MORE_FILES) throw EInOutError("cannot list " + zrodlo);
}

void TfrmMain::KopiujPlik(const std::string& zrodlo, const std::string& cel)
{
    lblPlikZ.SetCaption(Format(PobierzTekst(FJezyk, txtFromPath), {zrodlo}));
    lblPlikDo.SetCaption(Format(PobierzTekst(FJezyk, txtToPath), {cel}));
    Application.ProcessMessages();
    if (FBuforKopii.empty()) FBuforKopii.resize(kRozmiarBuforaKopii);
    KopiujPlikBlokami(zrodlo, cel, FBuforKopii, [this](std::uint32_t bajty) {
        FSkopiowanoBajtow += bajty;
        GaugePostep.SetProgress(Gauge32(FSkopiowanoBajtow));
    });
}

void TfrmMain::InstalujProgramGlowny()
{
    const std::string cel = FKatalogDocelowy + "\\" + kMainProgramFile;
    lblPlikZ.SetCaption(Format(PobierzTekst(FJezyk, txtFromPath), {FKatalogZrodlowy}));
    lblPlikDo.SetCaption(Format(PobierzTekst(FJezyk, txtToPath), {cel}));
    Application.ProcessMessages();
    ZapiszZachowujac(cel, [&] { WriteMainProgramFile(cel); });
    Application.ProcessMessages();
    if (!FPrzerwano) SprawdzPrzerwanie();
}

void TfrmMain::InstalujPlikiZZasobow()
{
    // Silent by design: a file that cannot be written stays as far as it got, the next one follows.
    for (const ResourceFileEntry& plik : kResourceFiles)
        WriteResourceFile(plik, FKatalogDocelowy + "\\" + plik.TargetName);
}

// ---- Licence page; shortcuts and registry, the last steps of a successful installation ----
#include "install/Skroty.h"
#include "install/TKod.h"
#include "uninstall/untDeinstalFunkcje.h"
#include "wizard/TekstUmowy.h"

namespace {

// Windows 2000 and later: the systems on which the national letters of a licence line are typed.
bool LiteryWpisywane()
{
    const DWORD wersja = GetVersion();
    return !(wersja & 0x80000000u) && LOBYTE(LOWORD(wersja)) > 4;
}

// Whether the thread's locale is the one the file's language is written for.
bool LokalDlaJezyka(TJezyk jezyk)
{
    const LCID lokal = GetThreadLocale();
    if (jezyk == jzPolski) return lokal == 1045;
    if (jezyk == jzFrancuski) return lokal == 1036;
    return true;
}

// While a line is typed: the file language's keyboard layout and a writable control; both as they were after.
class TWpisywanie {
public:
    TWpisywanie(TRichEdit& edytor, TJezyk jezyk)
        : FEdytor(edytor), FTylkoDoOdczytu(edytor.ReadOnly()), FUklad(GetKeyboardLayout(0))
    {
        if (FTylkoDoOdczytu) FEdytor.SetReadOnly(false);
        // Without the layout the letters still arrive right: they are typed as UTF-16, not as bytes.
        if (HKL uklad = LoadKeyboardLayoutW(jezyk == jzFrancuski ? L"0000040c" : L"00000415", 0))
            ActivateKeyboardLayout(uklad, 0);
    }
    ~TWpisywanie()
    {
        ActivateKeyboardLayout(FUklad, 0);
        if (FTylkoDoOdczytu) FEdytor.SetReadOnly(true);
    }
    TWpisywanie(const TWpisywanie&) = delete;
    TWpisywanie& operator=(const TWpisywanie&) = delete;

private:
    TRichEdit& FEdytor;
    bool FTylkoDoOdczytu;
    HKL FUklad;
};

class TAktualizacja {
public:
    explicit TAktualizacja(TRichEdit& edytor) : FEdytor(edytor) { FEdytor.BeginUpdate(); }
    ~TAktualizacja() { FEdytor.EndUpdate(); }
    TAktualizacja(const TAktualizacja&) = delete;
    TAktualizacja& operator=(const TAktualizacja&) = delete;

private:
    TRichEdit& FEdytor;
};

} // namespace

void TfrmMain::WstawLinieUmowy(TRichEdit& edytor, std::string_view linia, TJezyk jezyk)
{
    if (linia.empty()) return;
    edytor.SetSelectionCharset(ZestawZnakow(jezyk));
    const UINT strona = StronaKodowa(jezyk);
    if (!LiteryWpisywane() || (LokalDlaJezyka(jezyk) && !MaZnakWyzwalajacy(linia))) {
        edytor.SetSelText(ZeStronyKodowej(linia, strona));
        return;
    }
    const TWpisywanie wpisywanie(edytor, jezyk);
    for (const TCzescLinii& czesc : CzesciLinii(linia)) {
        const std::string tekst = ZeStronyKodowej(czesc.Tekst, strona);
        if (!czesc.Wpisana) {
            edytor.SetSelText(tekst);
            continue;
        }
        for (wchar_t znak : Widen(tekst)) edytor.TypeChar(znak);
    }
}

void TfrmMain::WczytajUmowe()
{
    try {
        const TAktualizacja aktualizacja(redUmowa);
        redUmowa.Clear();
        // Without a source folder the names would be looked up in the current folder.
        if (!FKatalogZrodlowy.empty()) {
            const TJezyk jezyk = PlikIstnieje(FKatalogZrodlowy + PlikUmowy(FJezyk)) ? FJezyk : jzPolski;
            if (std::optional<std::string> tekst = CzytajPlik(FKatalogZrodlowy + PlikUmowy(jezyk))) {
                // A NUL would end the piece of text the control takes at once; a licence has none.
                std::erase(*tekst, '\0');
                for (const std::string& linia : LinieTekstu(*tekst)) {
                    WstawLinieUmowy(redUmowa, linia, jezyk);
                    redUmowa.SetSelText("\r\n");
                }
            }
        }
    } catch (const std::exception&) {
        // Loading is silent: the page keeps what was inserted, and the user can still accept.
    }
    // Outside the guard, so that an error cannot leave the page scrolled to where it stopped.
    redUmowa.SetSelStart(0);
}

void TfrmMain::UtworzSkroty()
{
    lblInstalacjaOpis.SetCaption(PobierzTekst(FJezyk, txtCreatingShortcuts));
    Application.ProcessMessages();
    // Without a target folder the program files would be looked for in the current drive's root.
    if (FKatalogDocelowy.empty()) return;

    // The first step that records for the uninstaller: a record left by an earlier run of this form goes.
    FRekordDeinstalacji = {};
    const auto utworzWKatalogu = [this](const std::string& katalog, std::uint8_t miejsce) {
        for (const TSkrot& skrot : TabelaSkrotow) {
            if (!(skrot.Flagi & miejsce) || !SkrotPasuje(skrot, NumerProduktu, FJezyk)) continue;
            const std::string cel = FKatalogDocelowy + "\\" + skrot.Plik;
            const std::string plikSkrotu = katalog + "\\" + skrot.Nazwa + ".lnk";
            // A program left out of the installation gets no link; a link that fails is skipped.
            if (PlikIstnieje(cel) && UtworzSkrot(cel, plikSkrotu, skrot.Nazwa))
                FRekordDeinstalacji.Skroty.push_back({plikSkrotu});
        }
    };

    if (chbUtworzGrupe.Checked()) {
        const std::string programy = FolderProgramy(SkrotyDlaWszystkich);
        const std::string nazwa = NazwaGrupy(NumerProduktu, FJezyk);
        // A product without a group name in this language has no group, rather than links loose in Programs.
        if (!programy.empty() && !nazwa.empty()) {
            const std::string grupa = programy + "\\" + nazwa;
            // Fails when the group exists already, from an earlier installation: its links are overwritten.
            CreateDirectoryW(Widen(grupa).c_str(), nullptr);
            if (KatalogIstnieje(grupa)) {
                // The product's own group, made now or by an earlier installation: it goes once it is empty.
                FRekordDeinstalacji.Grupy.push_back(grupa);
                utworzWKatalogu(grupa, kSkrotGrupa);
            }
        }
    }

    const bool translatory = chbUtworzSkrotyTranslatorow.Checked();
    const bool slowniki = chbUtworzSkrotySlownikow.Checked();
    if (!translatory && !slowniki) return;
    const std::string pulpit = FolderPulpit(SkrotyDlaWszystkich);
    if (pulpit.empty() || !KatalogIstnieje(pulpit)) return;
    if (translatory) utworzWKatalogu(pulpit, kSkrotPulpitTranslatora);
    if (slowniki) utworzWKatalogu(pulpit, kSkrotPulpitSlownika);
}

void TfrmMain::ZapiszRejestr()
{
    lblInstalacjaOpis.SetCaption(PobierzTekst(FJezyk, txtCreatingRegistry));
    const TOpisProduktu* opis = OpisProduktu(NumerProduktu);
    if (!opis) return;

    const auto zakodowana = [](const std::string& tekst) {
        return KodujWartosc(tekst, NumerProduktu, kFlagaUstawien, kPoziomUstawien);
    };
    const std::pair<const char*, std::string> ustawienia[] = {
        {"Katalog", zakodowana(FKatalogDocelowy)},
        {"CD", zakodowana(FKatalogZrodlowy)},
        {"Wersja", opis->Wersja},
        {"SlZewnFr", zakodowana("0")},
        {"SlZewnPl", zakodowana("0")},
    };
    const std::pair<const char*, std::string> deinstalacja[] = {
        {"DisplayName", FJezyk == JezykProduktu ? opis->TytulJezykaProduktu : opis->TytulInnychJezykow},
        {"UninstallString", PolecenieDeinstalacji(*opis, FKatalogDocelowy)},
    };
    const std::string kluczDeinstalacji = KluczDeinstalacji(*opis);

    // For the uninstaller, each key as it is opened and each value once written. The product's keys and
    // their parents below SOFTWARE (the vendor's) belong to the family and go once empty; of the uninstall
    // entry's parents (the system's list of programs) only those this run creates.
    TRegistry rejestr;
    TKorzen korzenRekordu = TKorzen::HKCU;
    const auto otworz = [&](const std::string& klucz, bool rodziny) {
        const std::vector<std::string> nowe = BrakujaceKlucze(korzenRekordu, klucz);
        if (!rejestr.OpenKey(klucz, true)) return false;
        for (auto od = klucz.find('\\', klucz.find('\\') + 1); rodziny && od != std::string::npos;
             od = klucz.find('\\', od + 1))
            FRekordDeinstalacji.DodajKlucz(korzenRekordu, klucz.substr(0, od));
        for (const std::string& k : nowe) FRekordDeinstalacji.DodajKlucz(korzenRekordu, k);
        FRekordDeinstalacji.DodajKlucz(korzenRekordu, klucz);
        return true;
    };
    const auto zapisz = [&](const std::string& klucz, const char* nazwa, const std::string& wartosc) {
        rejestr.WriteString(nazwa, wartosc);
        FRekordDeinstalacji.DodajWartosc(korzenRekordu, klucz, nazwa);
    };

    for (HKEY korzen : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
        korzenRekordu = korzen == HKEY_LOCAL_MACHINE ? TKorzen::HKLM : TKorzen::HKCU;
        try {
            rejestr.SetRootKey(korzen);
            rejestr.SetAccess(KEY_ALL_ACCESS);
            if (otworz(opis->KluczUstawien, true)) {
                for (const auto& [nazwa, wartosc] : ustawienia) zapisz(opis->KluczUstawien, nazwa, wartosc);
                rejestr.CloseKey();
            }
            if ((korzen == HKEY_LOCAL_MACHINE) == SkrotyDlaWszystkich && otworz(kluczDeinstalacji, false)) {
                for (const auto& [nazwa, wartosc] : deinstalacja) zapisz(kluczDeinstalacji, nazwa, wartosc);
                rejestr.CloseKey();
            }
        } catch (const ERegistryError&) {
            // Typically no rights under HKEY_LOCAL_MACHINE: this root keeps what it got, the next one still runs.
        }
    }

    // Unguarded: the programs cannot start without their language, so a failure here fails the installation.
    rejestr.SetRootKey(HKEY_CURRENT_USER);
    korzenRekordu = TKorzen::HKCU;
    for (const char* program : opis->ProgramyUstawien) {
        const std::string klucz = std::string(opis->KluczProgramow) + "\\" + program;
        if (!otworz(klucz, true)) continue;
        rejestr.WriteInteger("JezykInterfejsu", FJezyk);
        FRekordDeinstalacji.DodajWartosc(TKorzen::HKCU, klucz, "JezykInterfejsu");
        rejestr.CloseKey();
    }
    Application.ProcessMessages();
}

void TfrmMain::ZapiszRekordDeinstalacji()
{
    const TOpisProduktu* opis = OpisProduktu(NumerProduktu);
    // Without a target folder there is nowhere to put the record, nor anything to name in it.
    if (!opis || FKatalogDocelowy.empty()) return;
    TRekordDeinstalacji& rekord = FRekordDeinstalacji;
    rekord.Katalog = FKatalogDocelowy;
    rekord.Jezyk = FJezyk;

    rekord.Pliki.clear();
    const auto dodajPlik = [&rekord](const std::string& sciezka) {
        for (const TPlikRekordu& p : rekord.Pliki)
            if (TenSamTekst(p.Sciezka, sciezka)) return;
        rekord.Pliki.push_back({sciezka});
    };
    for (const std::string& plik : FSkopiowanePliki) dodajPlik(plik);
    // The file table's step records nothing and skips silently: a file there is its own only when it holds
    // what the step writes (a read-only file of an earlier installation, say, it left alone).
    for (const ResourceFileEntry& e : kResourceFiles) {
        const std::string sciezka = FKatalogDocelowy + "\\" + e.TargetName;
        const std::optional<std::string> zapisane = ResourceFileBytes(e);
        if (zapisane && CzytajPlik(sciezka) == zapisane) dodajPlik(sciezka);
    }
    rekord.Katalogi = FUtworzoneKatalogi;
    // The installation flag of the create handler is this installer's too.
    rekord.DodajWartosc(TKorzen::HKCU, opis->KluczUstawien, "InstallationInProgress");

    // Silent, as the other last steps: without a record the uninstaller says so and removes nothing.
    ZapiszPlikRekordu(FKatalogDocelowy + "\\" + kPlikRekordu, rekord);
}
// ---- end of shortcuts and registry ----
