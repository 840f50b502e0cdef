// The wizard: frame and pages built from their design, the page state machine, the language switch.
#include "wizard/untMain.h"

#include <windows.h>

#include <cctype>
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
#include "install/TekstyInstalacji.h"
#include "install/WinHandle.h"
#include "install/untInstalFunkcje.h"
#include "texts/Format.h"
#include "texts/FormatLocale.h"
#include "ui/Obrazki.h"
#include "ui/Unicode.h"
#include "unattended/Protokol.h"

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
    UstawFlageInstalacji(NumerProduktu, true);
}

void TfrmMain::FormShow()
{
    // A run without the wizard sets itself up; its progress window is this form, shown on the Installation page.
    if (FPolecenie.Tryb != TTryb::Okna) return;
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
    UstawOpcjePolecenia();
    // Before anything else is asked: what an interrupted run left must not stay for want of a CD.
    CofnijPrzerwaneInstalacje();

    ZmienStrone(0);
}

void TfrmMain::FormDestroy()
{
    // A journal opened by the options check whose installation never ran: the program ends without it.
    if (FInstalacja.Trwa()) FInstalacja.Wycofaj();
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

} // namespace

bool TfrmMain::SprawdzWolneMiejsce()
{
    const std::string lista = ListaWykluczen(NumerProduktu, chbInstalujSlowniki.Checked());
    // A CD of many thousand files takes a while to walk: the window answers meanwhile, and a click waits.
    FWymaganeMiejsce =
        RozmiarKatalogu(FKatalogZrodlowyBezUkosnika, lista, [] { Application.AnswerWithoutInput(); }) +
        kDodatkoweMiejsce;

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

    // The run's journal first: the folder this check may create is already a change of the run.
    if (!ZajmijInstalacje()) {
        FOdmowa = kwInnaInstalacja;
        Zapytaj(Format(TekstInstalacji(FJezyk, tiInnaInstalacja), {Tytul()}), rpOK);
        return false;
    }
    if (!FInstalacja.Rozpocznij(FKatalogDocelowy, FJezyk)) {
        FOdmowa = kwBlad;
        Zapytaj(Format(TekstInstalacji(FJezyk, tiBrakDziennika), {Narrow(KatalogDziennikow())}), rpOK);
        return false;
    }
    // Refused without the wizard: nothing the check made stays behind. The wizard keeps the folder for the next try.
    const bool bezKreatora = FPolecenie.Tryb != TTryb::Okna;
    const auto porzuc = [&] { bezKreatora ? static_cast<void>(FInstalacja.Wycofaj()) : FInstalacja.Porzuc(); };
    // One folder only: a missing parent makes the user choose another folder. A folder given on the command
    // line gets its missing parents too, each journalled, as an administrator's script expects.
    bool utworzony = KatalogIstnieje(FKatalogDocelowy);
    if (!utworzony && bezKreatora) {
        std::vector<std::string> brakujace;
        for (std::size_t u = FKatalogDocelowy.find_last_of("\\/"); u != std::string::npos && u >= 3;
             u = FKatalogDocelowy.find_last_of("\\/", u - 1)) {
            std::string p = FKatalogDocelowy.substr(0, u);
            if (KatalogIstnieje(p)) break;
            brakujace.push_back(std::move(p));
        }
        for (auto p = brakujace.rbegin(); p != brakujace.rend(); ++p) FInstalacja.UtworzKatalog(*p);
    }
    if (!utworzony) utworzony = FInstalacja.UtworzKatalog(FKatalogDocelowy, true);
    if (!utworzony) {
        const DWORD blad = GetLastError();
        porzuc();
        FOdmowa = kwBlad;
        Protokol.Wpisz("Windows error " + OpisBledu(blad));
        Zapytaj(Format(PobierzTekst(FJezyk, txtCannotCreateDir), {FKatalogDocelowy}), rpOK);
        return false;
    }

    bool wynik = true;
    // Without a user to decide, too little space is a refusal: a run that would fail halfway is not started.
    if (!SprawdzWolneMiejsce()) {
        FOdmowa = kwBrakMiejsca;
        wynik = Zapytaj(Format(PobierzTekst(FJezyk, txtAskLowSpace), {FKatalogDocelowy}), rpTakNie, mrNo) == mrYes;
    }
    // Answered No: the folder stays as made and unrecorded; the next Next starts a journal afresh.
    if (!wynik) porzuc();
    return wynik;
}

int TfrmMain::Zapytaj(const std::string& tekst, TRodzajPytania rodzaj, int cicha)
{
    if (FPolecenie.BezPytan()) {
        Protokol.Wpisz("Message: " + tekst + (rodzaj == rpOK ? std::string() : cicha == mrYes ? " - Yes" : " - No"));
        return cicha;
    }
    Protokol.Wpisz("Message shown: " + tekst);
    const int odpowiedz = frmPytanie ? PokazPytanie(*frmPytanie, *this, tekst, rodzaj) : 0;
    if (rodzaj != rpOK) Protokol.Wpisz(odpowiedz == mrYes ? "Answered Yes" : "Answered No");
    return odpowiedz;
}

void TfrmMain::UstawOpcjePolecenia()
{
    if (FPolecenie.Jezyk) UstawJezyk(*FPolecenie.Jezyk);
    if (FPolecenie.Katalog) {
        FKatalogDocelowy = *FPolecenie.Katalog;
        if (FKatalogDocelowy.size() > 2 && (FKatalogDocelowy.back() == '\\' || FKatalogDocelowy.back() == '/'))
            FKatalogDocelowy.pop_back();
        lblKatalog.SetCaption(FKatalogDocelowy);
    }
    if (FPolecenie.BezSlownikow) chbInstalujSlowniki.SetChecked(false);
    // A source without the product's files is not taken: the wizard asks for the CD as it always did.
    if (FPolecenie.Zrodlo) FKatalogZrodlowy = ZnajdzPlyteProduktu(FPolecenie.Zrodlo);
}

void TfrmMain::UkladPostepu()
{
    for (TControl* c : std::initializer_list<TControl*>{&pnlLeft, &pnlTop, &btnWstecz, &btnDalej}) c->SetVisible(false);
    for (int i = stWstep; i <= stKoniec; ++i) Strona(i)->SetVisible(i == stInstalacja);
    pnlInstalacja.BringToFront();
    lblPlikZ.SetCaption("");
    lblPlikDo.SetCaption("");
    SetClientSize(ClientWidth() - pnlLeft.Width(), pnlPostep.Top() + pnlPostep.Height() + 16 + pnlBottom.Height());
}

namespace {

// A full path of a drive or a network share: what the folder dialog of the Options page gives.
bool SciezkaBezwzgledna(std::string_view katalog)
{
    const bool dysk = katalog.size() >= 3 && std::isalpha(static_cast<unsigned char>(katalog[0])) &&
                      katalog[1] == ':' && (katalog[2] == '\\' || katalog[2] == '/');
    const bool siec = katalog.size() > 2 && katalog[0] == '\\' && katalog[1] == '\\';
    return dysk || siec;
}

} // namespace

int TfrmMain::Wynik(int kod)
{
    static constexpr const char* kOpisy[] = {"installed", "the command line is wrong", "cancelled",
                                             "failed and rolled back", "not enough free space",
                                             "no product CD or source found", "another installation is running",
                                             "an earlier interrupted installation could not be undone"};
    const std::string opis = kod >= 0 && kod < 8 ? kOpisy[kod] : "";
    Protokol.Krok("Outcome: exit code " + std::to_string(kod) + (opis.empty() ? "" : " (" + opis + ")"));
    return kod;
}

int TfrmMain::InstalujBezKreatora()
{
    Protokol.Krok(FPolecenie.Tryb == TTryb::BardzoCichy ? "Installation without any window"
                                                         : "Installation with a progress window only");
    UstawKatalogDocelowy();
    const TJezyk systemu = JezykSystemu();
    UstawJezyk(systemu == JezykProduktu ? systemu : jzPolski);
    UstawOpcjePolecenia();
    Protokol.Wpisz(std::string("Interface language: ") + (FJezyk == jzFrancuski ? "French" : "Polish"));
    if (FPolecenie.Tryb == TTryb::Cichy) UkladPostepu();
    if (!CofnijPrzerwaneInstalacje()) return Wynik(kwNiecofnieta);

    if (FKatalogZrodlowy.empty()) FKatalogZrodlowy = ZnajdzPlyteProduktu(FPolecenie.Zrodlo);
    if (FKatalogZrodlowy.empty()) {
        const std::string gdzie = FPolecenie.Zrodlo ? *FPolecenie.Zrodlo : KatalogAplikacji();
        Zapytaj(Format(TekstInstalacji(FJezyk, tiBrakZrodla), {Tytul(), gdzie}), rpOK);
        return Wynik(kwBrakZrodla);
    }
    UstawKatalogZrodlowy();
    Protokol.Wpisz("Source: " + FKatalogZrodlowy);
    if (!SciezkaBezwzgledna(FKatalogDocelowy)) {
        Zapytaj(Format(PobierzTekst(FJezyk, txtCannotCreateDir), {FKatalogDocelowy}), rpOK);
        return Wynik(kwZlePolecenie);
    }
    Protokol.Wpisz("Target: " + FKatalogDocelowy);
    Protokol.Wpisz(std::string("Dictionaries: ") + (chbInstalujSlowniki.Checked() ? "yes" : "no"));
    // Whoever starts a silent installation accepts the licence.
    FStrona = stOpcje;
    if (!SprawdzOpcje()) return Wynik(FOdmowa);
    // Shown once there is something to cancel: the checks' walk of the CD takes no clicks.
    if (FPolecenie.Tryb == TTryb::Cichy) {
        btnZamknij.SetCaption(PobierzTekst(FJezyk, txtAbort));
        Show();
    }
    ZmienStrone(+1);
    return Wynik(KodWyjscia());
}

int TfrmMain::KodWyjscia() const
{
    if (FSukces) return kwZainstalowano;
    // The End page after a run that was not cancelled: it failed.
    return FStrona == stKoniec && !FPrzerwano ? kwBlad : kwPrzerwano;
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
    Protokol.Krok("Installing from " + FKatalogZrodlowy + " into " + FKatalogDocelowy);
    try {
        // Started by the options check; a run entered otherwise starts its own.
        if (!FInstalacja.Trwa() && !FInstalacja.Rozpocznij(FKatalogDocelowy, FJezyk))
            throw EInOutError("cannot write the installation journal");
        UstawKatalogZrodlowy();
        KopiujPliki();
        btnZamknij.SetEnabled(false);
        if (!FPrzerwano) {
            UtworzSkroty();
            ZapiszRejestr();
            Protokol.Krok("Writing the uninstall record");
            ZapiszRekordDeinstalacji();
        }
    } catch (const std::exception& e) {
        // Every file error ends the run here; the End page says that it failed.
        const DWORD kod = GetLastError();
        blad = true;
        Protokol.Krok(std::string("Installation failed: ") + e.what() +
                      (kod ? ", last Windows error " + OpisBledu(kod) : std::string()));
    }
    btnZamknij.SetEnabled(false);
    // A failure is undone as a cancel is: nothing of a run that did not succeed stays.
    if (FInstalacja.Trwa()) Wycofaj(std::string(TekstInstalacji(FJezyk, tiBladWycofywanie)));
    GaugePostep.SetProgress(GaugePostep.MaxValue());
    FInstalacjaTrwa = false;
    FSukces = !FPrzerwano && !blad;
    ZmienStrone(+1);
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

    Protokol.Krok("Copying the CD's files");
    KopiujKatalog(FKatalogZrodlowyBezUkosnika, FKatalogDocelowy,
                  ListaWykluczen(NumerProduktu, chbInstalujSlowniki.Checked()));
    PokazCzekajacyPlik();
    if (Przerwac()) return;

    Protokol.Krok("Writing the main program");
    InstalujProgramGlowny();
    if (Przerwac()) return;

    FSkopiowanoBajtow += kDodatkoweMiejsce;
    GaugePostep.SetProgress(Gauge32(FSkopiowanoBajtow));
    lblPlikZ.SetCaption("");
    lblPlikDo.SetCaption("");
    Application.ProcessMessages();
    if (Przerwac()) return;

    Protokol.Krok("Shared system files");
    for (const TPlikSystemowy& plik : kPlikiSystemowe) {
        // A shared file that cannot be updated does not fail the installation.
        bool zmieniany = false;
        InstalujPlikSystemowy(plik.Nazwa, FKatalogZrodlowy, plik.Major, plik.Minor,
                              [this, &zmieniany](const std::string& systemowy, const std::function<bool()>& kopiuj) {
                                  zmieniany = true;
                                  return FInstalacja.ZapiszPlikSystemowy(systemowy, kopiuj);
                              });
        if (!zmieniany)
            Protokol.Wpisz(std::string("System file kept (the installed one is as new or newer, is the system's "
                                       "own, or the CD has none): ") + plik.Nazwa);
        Application.ProcessMessages();
        if (Przerwac()) return;
    }

    Protokol.Krok("Writing the programs from the installer's resources");
    InstalujPlikiZZasobow();
    Application.ProcessMessages();
}

bool TfrmMain::SprawdzPrzerwanie()
{
    if (FPrzerwano) return true;
    if (!FPrzerwij) return false;
    // The question names the file the copy stopped at.
    PokazCzekajacyPlik();
    // The cancel button was pressed: with the question suppressed, its answer is the one the button asked for.
    if (Zapytaj(PobierzTekst(FJezyk, txtAskAbortInstall), rpTakNie, mrYes) != mrYes) {
        FPrzerwij = false;
        return false;
    }

    btnZamknij.SetEnabled(false);
    Wycofaj(PobierzTekst(FJezyk, txtCancelledDeleting));
    FPrzerwano = true;
    return true;
}

void TfrmMain::Wycofaj(const std::string& opis)
{
    Protokol.Krok("Rolling back " + std::to_string(FInstalacja.DoCofniecia()) + " changes");
    FPlikCzeka = false;
    lblPlikZ.SetCaption("");
    lblPlikDo.SetCaption("");
    lblInstalacjaOpis.SetCaption(opis);
    GaugePostep.SetMinValue(0);
    GaugePostep.SetProgress(0);
    GaugePostep.SetMaxValue(FInstalacja.DoCofniecia());
    Application.ProcessMessages();
    // Newest first: each change goes in the reverse order of its journal entry, inner folders before outer;
    // a replaced file, system file or registry value gets its old self back. A failure leaves that one item.
    const TWynikWycofania wynik = FInstalacja.Wycofaj([this] {
        GaugePostep.SetProgress(GaugePostep.Progress() + 1);
        Application.ProcessMessages();
    });
    for (const std::string& n : wynik.Niecofniete) Protokol.Wpisz("Not undone: " + n);
    Protokol.Krok("Rolled back: " + std::to_string(wynik.Cofniete) + " changes undone, " +
                  std::to_string(wynik.Niecofniete.size()) + " not");
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
        if (nazwa == "." || nazwa == "..") continue;
        if (NaLiscieWykluczen(wykluczenia, nazwa)) {
            if (Protokol.Otwarty())
                Protokol.Wpisz("Skipped: " + zrodlo + "\\" + nazwa +
                               (NaLiscieWykluczen(ListaWykluczen(NumerProduktu, true), nazwa)
                                    ? " (not installed from the CD: the installer's own file, or one it writes itself)"
                                    : " (a dictionary, and dictionaries were not chosen)"));
            continue;
        }
        const std::string zrodlowy = zrodlo + "\\" + nazwa;
        const std::string docelowy = cel + "\\" + nazwa;
        if (wpis.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            // A folder that was there before is used but not recorded: a roll-back must not remove it.
            const bool utworzony = FInstalacja.UtworzKatalog(docelowy);
            // Neither made nor there (a file of that name, no rights): its files would be missing from a run
            // that says it succeeded.
            if (!utworzony && !KatalogIstnieje(docelowy)) throw EInOutError("cannot create " + docelowy);
            const TPoziomNizej nizej(FGlebokoscKopii, FCelKopiiNowy, utworzony);
            KopiujKatalog(zrodlowy, docelowy, wykluczenia);
        } else {
            // In a folder this run made, the name is free: no look-up (a folder scan under Wine) for a file to keep.
            FInstalacja.ZapiszPlik(docelowy, !FCelKopiiNowy, [&](TOdcisk& odcisk) {
                KopiujPlik(zrodlowy, docelowy, &odcisk);
                return true;
            });
        }
        GaugePostep.SetProgress(Gauge32(FSkopiowanoBajtow));
        Application.ProcessMessages();
        if (Przerwac()) return;
    } while (FindNextFileW(szukaj.Get(), &wpis));
    // The listing broke off: the rest of the folder would be missing from a run that says it succeeded.
    if (GetLastError() != ERROR_NO_MORE_FILES) throw EInOutError("cannot list " + zrodlo);
}

void TfrmMain::PokazPlik(const std::string& zrodlo, const std::string& cel)
{
    FCzekajacyZ = zrodlo;
    FCzekajacyDo = cel;
    FPlikCzeka = true;
    if (FTaktPliku.Teraz()) PokazCzekajacyPlik();
}

void TfrmMain::PokazCzekajacyPlik()
{
    if (!FPlikCzeka) return;
    FPlikCzeka = false;
    lblPlikZ.SetCaption(Format(PobierzTekst(FJezyk, txtFromPath), {FCzekajacyZ}));
    lblPlikDo.SetCaption(Format(PobierzTekst(FJezyk, txtToPath), {FCzekajacyDo}));
}

void TfrmMain::KopiujPlik(const std::string& zrodlo, const std::string& cel, TOdcisk* odcisk)
{
    PokazPlik(zrodlo, cel);
    if (FBuforKopii.empty()) FBuforKopii.resize(kRozmiarBuforaKopii);
    KopiujPlikBlokami(zrodlo, cel, FBuforKopii, [this](std::uint32_t bajty) {
        FSkopiowanoBajtow += bajty;
        GaugePostep.SetProgress(Gauge32(FSkopiowanoBajtow));
    }, odcisk);
}

void TfrmMain::InstalujProgramGlowny()
{
    const std::string cel = FKatalogDocelowy + "\\" + kMainProgramFile;
    lblPlikZ.SetCaption(Format(PobierzTekst(FJezyk, txtFromPath), {FKatalogZrodlowy}));
    lblPlikDo.SetCaption(Format(PobierzTekst(FJezyk, txtToPath), {cel}));
    Application.ProcessMessages();
    FInstalacja.ZapiszPlik(cel, true, [&](TOdcisk& odcisk) {
        WriteMainProgramFile(cel, &odcisk);
        return true;
    });
    Application.ProcessMessages();
    if (!FPrzerwano) SprawdzPrzerwanie();
}

void TfrmMain::InstalujPlikiZZasobow()
{
    // Silent by design: a file that cannot be written is undone at once, the next one follows.
    for (const ResourceFileEntry& plik : kResourceFiles) {
        const std::string cel = FKatalogDocelowy + "\\" + plik.TargetName;
        try {
            FInstalacja.ZapiszPlik(cel, true, [&](TOdcisk& odcisk) { return WriteResourceFile(plik, cel, &odcisk); });
        } catch (const EInOutError& e) {
            // Could not be kept aside: left as it was.
            Protokol.Wpisz(std::string("File kept, ") + e.what());
        }
        Application.AnswerWithoutInput();
    }
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
    Protokol.Krok("Shortcuts");
    lblInstalacjaOpis.SetCaption(PobierzTekst(FJezyk, txtCreatingShortcuts));
    Application.ProcessMessages();
    // Without a target folder the program files would be looked for in the current drive's root.
    if (FKatalogDocelowy.empty()) return;

    FGrupa.clear();
    const auto utworzWKatalogu = [this](const std::string& katalog, std::uint8_t miejsce) {
        for (const TSkrot& skrot : TabelaSkrotow) {
            if (!(skrot.Flagi & miejsce) || !SkrotPasuje(skrot, NumerProduktu, FJezyk)) continue;
            const std::string cel = FKatalogDocelowy + "\\" + skrot.Plik;
            const std::string plikSkrotu = katalog + "\\" + skrot.Nazwa + ".lnk";
            // A program left out of the installation gets no link; a link that fails is skipped.
            if (PlikIstnieje(cel))
                FInstalacja.ZapiszSkrot(plikSkrotu, [&] { return UtworzSkrot(cel, plikSkrotu, skrot.Nazwa); });
            // The shell takes its time over a link: the window answers between them.
            Application.AnswerWithoutInput();
        }
    };

    if (chbUtworzGrupe.Checked()) {
        const std::string programy = FolderProgramy(SkrotyDlaWszystkich);
        const std::string nazwa = NazwaGrupy(NumerProduktu, FJezyk);
        // A product without a group name in this language has no group, rather than links loose in Programs.
        if (!programy.empty() && !nazwa.empty()) {
            const std::string grupa = programy + "\\" + nazwa;
            // It may exist already, from an earlier installation: its links are overwritten.
            if (FInstalacja.UtworzGrupe(grupa)) {
                // The product's own group, made now or by an earlier installation: it goes once it is empty.
                FGrupa = grupa;
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
    Protokol.Krok("Registry settings");
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
        // What deployment tools run to remove the product without a question.
        {"QuietUninstallString", PolecenieDeinstalacji(*opis, FKatalogDocelowy) + " /SILENT"},
    };
    const std::string kluczDeinstalacji = KluczDeinstalacji(*opis);

    // Each value through the journal, with what it held before; a value that cannot be written raises.
    const auto zapiszKlucz = [this](TKorzen korzen, const std::string& klucz,
                                    const std::function<void(const std::function<void(const char*, DWORD, const void*,
                                                                                      DWORD)>&)>& wartosci) {
        UniqueRegKey otwarty;
        if (!FInstalacja.OtworzKlucz(korzen, klucz, otwarty)) return;
        wartosci([&](const char* nazwa, DWORD typ, const void* dane, DWORD rozmiar) {
            if (!FInstalacja.ZapiszWartosc(korzen, klucz, otwarty.Get(), nazwa, typ, dane, rozmiar))
                throw ERegistryError("cannot write \"" + std::string(nazwa) + "\"");
        });
    };
    const auto teksty = [](const auto& lista) {
        return [&lista](const auto& zapisz) {
            for (const auto& [nazwa, wartosc] : lista) {
                const std::wstring tekst = Widen(wartosc);
                zapisz(nazwa, REG_SZ, tekst.c_str(), static_cast<DWORD>((tekst.size() + 1) * sizeof(wchar_t)));
            }
        };
    };

    for (TKorzen korzen : {TKorzen::HKCU, TKorzen::HKLM}) {
        try {
            zapiszKlucz(korzen, opis->KluczUstawien, teksty(ustawienia));
            if ((korzen == TKorzen::HKLM) == SkrotyDlaWszystkich)
                zapiszKlucz(korzen, kluczDeinstalacji, teksty(deinstalacja));
        } catch (const ERegistryError&) {
            // Typically no rights under HKEY_LOCAL_MACHINE: this root keeps what it got, the next one still runs.
        }
    }

    // Unguarded: the programs cannot start without their language, so a failure here fails the installation.
    const DWORD jezyk = FJezyk;
    for (const char* program : opis->ProgramyUstawien)
        zapiszKlucz(TKorzen::HKCU, std::string(opis->KluczProgramow) + "\\" + program, [&](const auto& zapisz) {
            zapisz("JezykInterfejsu", REG_DWORD, &jezyk, sizeof jezyk);
        });
    Application.ProcessMessages();
}

void TfrmMain::ZapiszRekordDeinstalacji()
{
    const TOpisProduktu* opis = OpisProduktu(NumerProduktu);
    // Without a target folder there is nowhere to put the record, nor anything to name in it.
    if (!opis || FKatalogDocelowy.empty()) throw EInOutError("no folder for the uninstall record");
    TRekordDeinstalacji rekord = FInstalacja.Rekord();
    rekord.Katalog = FKatalogDocelowy;
    rekord.Jezyk = FJezyk;
    if (!FGrupa.empty() && std::none_of(rekord.Grupy.begin(), rekord.Grupy.end(),
                                        [this](const std::string& g) { return TenSamTekst(g, FGrupa); }))
        rekord.Grupy.push_back(FGrupa);
    // The installation flag of the create handler is this installer's too.
    rekord.DodajWartosc(TKorzen::HKCU, opis->KluczUstawien, "InstallationInProgress");
    // A run that cannot be uninstalled is not a success: it is undone like any other failure.
    if (!FInstalacja.Zakoncz(rekord, FKatalogDocelowy + "\\" + kPlikRekordu))
        throw EInOutError("cannot write the uninstall record");
}

bool TfrmMain::CofnijPrzerwaneInstalacje()
{
    const std::vector<TPrzerwanaInstalacja> przerwane = PrzerwaneInstalacje();
    if (przerwane.empty()) return true;
    Zapytaj(Format(TekstInstalacji(FJezyk, tiPrzerwana), {Tytul()}), rpOK);
    std::vector<std::string> niecofniete;
    for (const TPrzerwanaInstalacja& p : przerwane) {
        Protokol.Krok("Undoing the interrupted installation of the journal " + Narrow(p.Plik));
        TWynikWycofania wynik = WycofajPrzerwana(p, [] { Application.ProcessMessages(); });
        niecofniete.insert(niecofniete.end(), wynik.Niecofniete.begin(), wynik.Niecofniete.end());
    }
    ZwolnijInstalacje();
    for (const std::string& n : niecofniete) Protokol.Wpisz("Not undone: " + n);
    if (niecofniete.empty()) return true;
    // A list that fits the screen: the first ones, then how many more.
    constexpr std::size_t kPokazane = 12;
    std::string lista;
    for (std::size_t i = 0; i < niecofniete.size() && i < kPokazane; ++i) lista += niecofniete[i] + "\r\n";
    if (niecofniete.size() > kPokazane) lista += "(+" + std::to_string(niecofniete.size() - kPokazane) + ")";
    Zapytaj(Format(TekstInstalacji(FJezyk, tiNieCofnieto), {lista}), rpOK);
    return false;
}
// ---- end of shortcuts and registry ----
