// The new-folder dialog: an empty name field on every show, its captions.
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

// Neither button is a default or cancel button: Enter and Esc leave the dialog open.
TfrmKatalogDodaj::TfrmKatalogDodaj()
    : TForm(DodajArgs()),
      edtDodaj(*this, {.Left = 8, .Top = 8, .Width = 273, .Height = 21}),
      btnDodaj(*this, {.Left = 88, .Top = 36, .Width = 95, .Height = 23, .Enabled = false, .Caption = "Utwórz",
                       .ModalResult = mrOk}),
      btnAnuluj(*this, {.Left = 188, .Top = 36, .Width = 95, .Height = 23, .Caption = "Anuluj",
                        .ModalResult = mrCancel})
{
    edtDodaj.OnChange = [this] { edtDodajChange(); };
    OnShow = [this] { FormShow(); };
    DoCreate();
}

TfrmKatalogDodaj::~TfrmKatalogDodaj()
{
    Free();
}

void TfrmKatalogDodaj::FormShow()
{
    edtDodaj.SetText("");
    // Clearing an already empty field need not report a change.
    edtDodajChange();
    SetActiveControl(&edtDodaj);
}

void TfrmKatalogDodaj::edtDodajChange()
{
    btnDodaj.SetEnabled(!edtDodaj.Text().empty());
}

void TfrmKatalogDodaj::UstawJezyk(TJezyk jezyk)
{
    UstawCzcionke(Font(), jezyk);
    SetCaption(PobierzTekst(jezyk, txtNewFolderTitle));
    btnDodaj.SetCaption(PobierzTekst(jezyk, txtNewFolderAdd));
    btnAnuluj.SetCaption(PobierzTekst(jezyk, txtNewFolderCancel));
}
