// The question dialog and its layout: label sized to the text, button row centred under it.
#include "dialogs/untPytanie.h"

#include "install/Czcionki.h"

TfrmPytanie* frmPytanie = nullptr;

namespace {

constexpr int kOdstepPrzyciskow = 8;  // between neighbouring buttons

} // namespace

TfrmPytanie::TfrmPytanie()
    : TForm({.ClientWidth = 322, .ClientHeight = 124, .Caption = "Uwaga", .BorderStyle = bsDialog,
                .BorderIcons = 0, .Position = poDesigned, .FontName = "MS Sans Serif", .FontHeight = -11}),
      lblPytanie(*this, {.Left = 16, .Top = 16, .Alignment = taCenter, .Layout = tlCenter, .MaxWidth = 400}),
      btnTak(*this, {.Left = 8, .Top = 95, .Width = 97, .Height = 23, .Anchors = akLeft | akBottom, .TabOrder = 0,
                     .Caption = "Tak", .ModalResult = mrYes}),
      btnNie(*this, {.Left = 112, .Top = 95, .Width = 97, .Height = 23, .Anchors = akLeft | akBottom,
                     .TabOrder = 1, .Caption = "Nie", .ModalResult = mrNo}),
      btnAnuluj(*this, {.Left = 216, .Top = 95, .Width = 97, .Height = 23, .Anchors = akLeft | akBottom,
                        .TabOrder = 2, .Caption = "Anuluj", .ModalResult = mrCancel, .Cancel = true})
{
    SetActiveControl(&btnTak);
    DoCreate();
}

TfrmPytanie::~TfrmPytanie()
{
    Free();
}

void TfrmPytanie::UstawJezyk(TJezyk jezyk)
{
    UstawCzcionke(Font(), jezyk);
    SetCaption(PobierzTekst(jezyk, txtAttention));
    btnTak.SetCaption(PobierzTekst(jezyk, txtYes));
    btnNie.SetCaption(PobierzTekst(jezyk, txtNo));
    btnAnuluj.SetCaption(PobierzTekst(jezyk, txtQuestionCancel));
}

int PokazPytanie(TfrmPytanie& d, const TForm& owner, std::string_view text, TRodzajPytania kind)
{
    // No caller asks for more; an unknown kind gets the plain message with one button.
    if (kind > rpTakNieAnuluj) kind = rpOK;

    const std::string tak = d.btnTak.Caption();
    const std::string nie = d.btnNie.Caption();

    // Width of the longest line (at most 400), then wrapped to that width and frozen.
    d.lblPytanie.SetWordWrap(false);
    d.lblPytanie.SetAutoSize(true);
    d.lblPytanie.SetCaption(text);
    d.lblPytanie.SetWordWrap(true);
    d.lblPytanie.SetAutoSize(false);

    int w = d.btnTak.Width();
    if (kind == rpTakNie || kind == rpOKAnuluj) w += d.btnNie.Width() + kOdstepPrzyciskow;
    if (kind == rpTakNieAnuluj) w += d.btnNie.Width() + d.btnAnuluj.Width() + 2 * kOdstepPrzyciskow;
    if (d.lblPytanie.Width() < w) d.lblPytanie.SetWidth(w);

    const int x = d.lblPytanie.Left() + (d.lblPytanie.Width() - w) / 2;
    d.btnTak.SetLeft(x);
    d.btnNie.SetLeft(x + d.btnTak.Width() + kOdstepPrzyciskow);
    d.btnAnuluj.SetLeft(x + d.btnTak.Width() + kOdstepPrzyciskow + d.btnNie.Width() + kOdstepPrzyciskow);

    const bool nieWidoczny = kind != rpOK;
    const bool anulujWidoczny = kind == rpTakNieAnuluj;
    d.btnNie.SetVisible(nieWidoczny);
    d.btnNie.SetEnabled(nieWidoczny);
    d.btnAnuluj.SetVisible(anulujWidoczny);
    d.btnAnuluj.SetEnabled(anulujWidoczny);
    d.btnNie.SetCancel(kind == rpTakNie || kind == rpOKAnuluj);

    // "OK" is the same in every language.
    if (kind == rpOK || kind == rpOKAnuluj) d.btnTak.SetCaption("OK");
    if (kind == rpOKAnuluj) d.btnNie.SetCaption(d.btnAnuluj.Caption());
    d.SetActiveControl(&d.btnTak);

    const int lewy = d.lblPytanie.Left(), gorny = d.lblPytanie.Top();
    d.SetClientSize(2 * lewy + d.lblPytanie.Width(), 2 * gorny + d.lblPytanie.Height() + d.btnTak.Height() + 8);
    d.SetBounds(owner.Left() + (owner.Width() - d.Width()) / 2, owner.Top() + (owner.Height() - d.Height()) / 2,
                d.Width(), d.Height());

    const int wynik = d.ShowModal();

    d.btnTak.SetCaption(tak);
    d.btnNie.SetCaption(nie);
    return wynik;
}
