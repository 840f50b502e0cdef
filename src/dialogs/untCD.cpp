// The CD drive dialog and its loop: drives listed on every attempt, the marker files decide.
#include "dialogs/untCD.h"

#include <windows.h>

#include <algorithm>

#include "install/Czcionki.h"
#include "install/Produkt.h"
#include "install/untInstalFunkcje.h"
#include "texts/Format.h"
#include "ui/Obrazki.h"
#include "ui/Unicode.h"
#include "wizard/untMain.h"

TfrmCD* frmCD = nullptr;

namespace {


TSpeedButtonArgs Flaga(int left, bool visible, bool down)
{
    return {.Left = left, .Top = 9, .Width = 38, .Height = 24, .Visible = visible, .Enabled = visible,
            .Flat = true, .GroupIndex = 1, .AllowAllUp = true, .Down = down};
}

} // namespace

TfrmCD::TfrmCD()
    : TForm({.ClientWidth = 303, .ClientHeight = 212, .Caption = "Wskaż CD z programem",
                .BorderStyle = bsDialog, .BorderIcons = 0, .Position = poScreenCenter, .FontName = "MS Sans Serif",
                .FontHeight = -11}),
      pnlPrzyciski(*this, {.Height = 36, .Align = alBottom, .BevelOuter = bvNone}),
      btnOK(pnlPrzyciski, {.Left = 144, .Top = 7, .Width = 75, .Height = 25, .Anchors = akRight | akBottom,
                           .Caption = "OK", .ModalResult = mrOk, .Default = true}),
      btnAnuluj(pnlPrzyciski, {.Left = 224, .Top = 7, .Width = 75, .Height = 25,
                               .Anchors = akRight | akBottom, .Caption = "Anuluj", .ModalResult = mrCancel,
                               .Cancel = true}),
      pnlJezyk(*this, {.Height = 37, .Align = alBottom, .BevelOuter = bvNone}),
      lblJezyk(pnlJezyk, {.Left = 8, .Top = 15, .Caption = "Język / Language / Sprache / Langue:"}),
      btnPolski(pnlJezyk, Flaga(200, true, true)),
      btnAngielski(pnlJezyk, Flaga(238, true, false)),
      btnNiemiecki(pnlJezyk, Flaga(276, false, false)),
      btnFrancuski(pnlJezyk, Flaga(314, false, false)),
      pnlDrive(*this, {.Height = 34, .Align = alBottom, .BevelOuter = bvNone}),
      cmbDrive(pnlDrive, {.Left = 8, .Top = 4, .Width = 289, .Height = 21}),
      pnlCD(*this, {.Align = alClient, .BevelOuter = bvNone, .BorderWidth = 8}),
      lblCD(pnlCD, {.Align = alClient, .AutoSize = false, .WordWrap = true})
{
    lblJezyk.Font().SetName("Arial");
    lblJezyk.Font().SetHeight(-11);
    lblJezyk.Font().SetCharset(EASTEUROPE_CHARSET);
    btnPolski.SetGlyph(FlagGlyph(TFlag::Polish));
    btnAngielski.SetGlyph(FlagGlyph(TFlag::English));
    btnNiemiecki.SetGlyph(FlagGlyph(TFlag::German));
    btnFrancuski.SetGlyph(FlagGlyph(TFlag::French));
    for (TSpeedButton* b : {&btnPolski, &btnAngielski, &btnNiemiecki, &btnFrancuski})
        b->OnClick = [this] { btnPolskiClick(); };
    // The language line is as wide as its font draws it; at some scales it reaches the first flag's place,
    // and the flags then move right by what it needs.
    const int odsuniecie = std::max(0, lblJezyk.Left() + lblJezyk.Width() + 2 - btnPolski.Left());
    for (TSpeedButton* b : {&btnPolski, &btnAngielski, &btnNiemiecki, &btnFrancuski})
        b->SetLeft(b->Left() + odsuniecie);
    // Tab order from the top: the drive list, then the buttons.
    pnlCD.SetTabOrder(0);
    pnlDrive.SetTabOrder(1);
    pnlJezyk.SetTabOrder(2);
    pnlPrzyciski.SetTabOrder(3);
    SetActiveControl(&cmbDrive);
    OnShow = [this] { FormShow(); };
    DoCreate();
}

TfrmCD::~TfrmCD()
{
    Free();
}

void TfrmCD::FormShow()
{
    // Polish always; a foreign language only for the product that has it.
    const bool angielski = JezykProduktu == jzAngielski;
    const bool niemiecki = JezykProduktu == jzNiemiecki;
    const bool francuski = JezykProduktu == jzFrancuski && NumerProduktu != 1;
    btnPolski.SetVisible(true);
    btnPolski.SetEnabled(true);
    btnAngielski.SetVisible(angielski);
    btnAngielski.SetEnabled(angielski);
    btnNiemiecki.SetVisible(niemiecki);
    btnNiemiecki.SetEnabled(niemiecki);
    btnFrancuski.SetVisible(francuski);
    btnFrancuski.SetEnabled(francuski);
    if (niemiecki) btnNiemiecki.SetLeft(238);
    if (francuski) btnFrancuski.SetLeft(238);
}

void TfrmCD::UstawJezyk(TJezyk jezyk)
{
    const char* tytul = OpisProduktu(NumerProduktu) ? OpisProduktu(NumerProduktu)->Tytul : "";
    UstawCzcionke(Font(), jezyk);
    SetCaption(Format(PobierzTekst(jezyk, txtCdTitle), {tytul}));
    lblCD.SetCaption(Format(PobierzTekst(jezyk, txtCdPrompt), {tytul}));
    btnOK.SetCaption(PobierzTekst(jezyk, txtOK));
    btnAnuluj.SetCaption(PobierzTekst(jezyk, txtCancel));
    btnPolski.SetDown(jezyk == jzPolski);
    btnAngielski.SetDown(jezyk == jzAngielski);
    btnNiemiecki.SetDown(jezyk == jzNiemiecki);
    btnFrancuski.SetDown(jezyk == jzFrancuski);
}

void TfrmCD::btnPolskiClick()
{
    const std::pair<TSpeedButton*, TJezyk> kolejnosc[] = {
        {&btnPolski, jzPolski}, {&btnAngielski, jzAngielski}, {&btnNiemiecki, jzNiemiecki},
        {&btnFrancuski, jzFrancuski}};
    for (const auto& [przycisk, jezyk] : kolejnosc) {
        if (przycisk->Down()) {
            if (frmMain) frmMain->UstawJezyk(jezyk);
            return;
        }
    }
}

void TfrmCD::WypelnijNapedy()
{
    cmbDrive.Items.Clear();
    FKorzenie = NapedyTypu(DRIVE_CDROM);
    for (const std::string& korzen : FKorzenie) cmbDrive.Items.Add(korzen);
    if (!FKorzenie.empty()) cmbDrive.SetItemIndex(0);
}

bool JestPlytaProduktu(const std::string& korzen)
{
    if (korzen.empty()) return false;
    return (PlikIstnieje(korzen + "Werbilo.exe") || PlikIstnieje(korzen + "Werbilo2.exe")) &&
           PlikIstnieje(korzen + "UmowaPol.txt");
}

std::string ZnajdzPlyteProduktu(const std::optional<std::string>& zadany)
{
    const auto zUkosnikiem = [](std::string katalog) {
        if (!katalog.empty() && katalog.back() != '\\' && katalog.back() != '/') katalog += '\\';
        return katalog;
    };
    if (zadany) {
        const std::string korzen = zUkosnikiem(*zadany);
        return JestPlytaProduktu(korzen) ? korzen : std::string();
    }
    if (const std::string start = KatalogAplikacji(); JestPlytaProduktu(start)) return start;
    for (const std::string& naped : NapedyTypu(DRIVE_CDROM))
        if (JestPlytaProduktu(naped)) return naped;
    return {};
}

std::string WybierzNapedCD()
{
    if (!frmCD) return {};
    for (;;) {
        frmCD->WypelnijNapedy();
        if (frmCD->ShowModal() != mrOk) return {};
        const int i = frmCD->cmbDrive.ItemIndex();
        const std::string kandydat =
            i >= 0 && i < static_cast<int>(frmCD->FKorzenie.size()) ? frmCD->FKorzenie[static_cast<size_t>(i)] : "";
        if (JestPlytaProduktu(kandydat)) return kandydat;
    }
}
