// Creation order matters: the main form is the application's main window and sets the installation flag.
#include "app/Formularze.h"

#include "dialogs/untCD.h"
#include "dialogs/untKatalog.h"
#include "dialogs/untKatalogDodaj.h"
#include "dialogs/untPytanie.h"
#include "wizard/untMain.h"

TFormularze::TFormularze()
{
    FMain = std::make_unique<TfrmMain>();
    frmMain = FMain.get();
    FKatalog = std::make_unique<TfrmKatalog>();
    frmKatalog = FKatalog.get();
    FKatalogDodaj = std::make_unique<TfrmKatalogDodaj>();
    frmKatalogDodaj = FKatalogDodaj.get();
    FPytanie = std::make_unique<TfrmPytanie>();
    frmPytanie = FPytanie.get();
    FCD = std::make_unique<TfrmCD>();
    frmCD = FCD.get();
}

TFormularze::~TFormularze()
{
    FCD.reset();
    frmCD = nullptr;
    FPytanie.reset();
    frmPytanie = nullptr;
    FKatalogDodaj.reset();
    frmKatalogDodaj = nullptr;
    FKatalog.reset();
    frmKatalog = nullptr;
    FMain.reset();
    frmMain = nullptr;
}
