// The new-folder dialog of the folder browser: one name field; the file system decides what it accepts.
#pragma once

#include "texts/untInstalTeksty.h"
#include "ui/Forms.h"
#include "ui/StdCtrls.h"

class TfrmKatalogDodaj : public TForm {
public:
    TfrmKatalogDodaj();
    ~TfrmKatalogDodaj() override;

    void UstawJezyk(TJezyk jezyk);
    // btnDodaj is enabled exactly while a name is typed.
    void edtDodajChange();

    TEdit edtDodaj;
    TButton btnDodaj;
    TButton btnAnuluj;

private:
    void FormShow();
};

extern TfrmKatalogDodaj* frmKatalogDodaj;
