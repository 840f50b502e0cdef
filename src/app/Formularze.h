// The five forms of the installer, created once in start-up order and freed in reverse.
#pragma once

#include <memory>

class TfrmMain;
class TfrmKatalog;
class TfrmKatalogDodaj;
class TfrmPytanie;
class TfrmCD;

// Sets the globals frmMain, frmKatalog, frmKatalogDodaj, frmPytanie and frmCD while it lives.
class TFormularze {
public:
    TFormularze();
    ~TFormularze();
    TFormularze(const TFormularze&) = delete;
    TFormularze& operator=(const TFormularze&) = delete;

private:
    std::unique_ptr<TfrmMain> FMain;
    std::unique_ptr<TfrmKatalog> FKatalog;
    std::unique_ptr<TfrmKatalogDodaj> FKatalogDodaj;
    std::unique_ptr<TfrmPytanie> FPytanie;
    std::unique_ptr<TfrmCD> FCD;
};
