// The new-folder dialog and its captions.
#include "dialogs/untKatalogDodaj.h"

#include "install/Czcionki.h"

TfrmKatalogDodaj* frmKatalogDodaj = nullptr;

namespace {

TFormArgs DodajArgs()
{
    TFormArgs a;
    a.ClientWidth = 288;
    a.ClientHeight = 62;
    a.Caption = "Nowy katalog";
    a.BorderStyle = bsSingle;
    a.BorderIcons = 0;
    a.Position = poMainFormCenter;
    a.FontName = "MS Sans Serif";
    a.FontHeight = -11;
    return a;
}

} // namespace

TfrmKatalogDodaj::TfrmKatalogDodaj()
    : TForm(DodajArgs()),
      btnDodaj(*this, {.Left = 88, .Top = 36, .Width = 95, .Height = 23, .Enabled = false, .Caption = "Utwórz",
                       .ModalResult = mrOk}),
      btnAnuluj(*this, {.Left = 188, .Top = 36, .Width = 95, .Height = 23, .Caption = "Anuluj",
                        .ModalResult = mrCancel})
{
    DoCreate();
}

TfrmKatalogDodaj::~TfrmKatalogDodaj()
{
    Free();
}

void TfrmKatalogDodaj::UstawJezyk(TJezyk jezyk)
{
    UstawCzcionke(Font(), jezyk);
    SetCaption(PobierzTekst(jezyk, txtNewFolderTitle));
    btnDodaj.SetCaption(PobierzTekst(jezyk, txtNewFolderAdd));
    btnAnuluj.SetCaption(PobierzTekst(jezyk, txtNewFolderCancel));
}
