// The folder browser form and its captions.
#include "dialogs/untKatalog.h"

#include "install/Czcionki.h"

TfrmKatalog* frmKatalog = nullptr;

namespace {

TFormArgs KatalogArgs()
{
    TFormArgs a;
    a.ClientWidth = 444;
    a.ClientHeight = 248;
    a.Caption = "Wybierz katalog";
    a.BorderStyle = bsSingle;
    a.BorderIcons = biSystemMenu;
    a.Position = poMainFormCenter;
    a.FontName = "MS Sans Serif";
    a.FontHeight = -11;
    return a;
}

} // namespace

// Neither OK nor Cancel is a default or cancel button: Enter and Esc leave the browser open.
TfrmKatalog::TfrmKatalog()
    : TForm(KatalogArgs()),
      btnOK(*this, {.Left = 340, .Top = 8, .Width = 97, .Height = 25, .Caption = "OK", .ModalResult = mrOk}),
      btnAnuluj(*this, {.Left = 340, .Top = 40, .Width = 97, .Height = 25, .Caption = "Anuluj",
                        .ModalResult = mrCancel}),
      btnUtworz(*this, {.Left = 340, .Top = 80, .Width = 97, .Height = 25, .Caption = "Utwórz katalog"})
{
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
}
