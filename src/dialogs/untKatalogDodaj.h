// The new-folder dialog of the folder browser; its name field comes with the options page.
#pragma once

#include "texts/untInstalTeksty.h"
#include "ui/Forms.h"
#include "ui/StdCtrls.h"

class TfrmKatalogDodaj : public TForm {
public:
    TfrmKatalogDodaj();
    ~TfrmKatalogDodaj() override;

    void UstawJezyk(TJezyk jezyk);

    TButton btnDodaj;
    TButton btnAnuluj;
};

extern TfrmKatalogDodaj* frmKatalogDodaj;
