// The folder browser form; its tree and path field come with the options page.
#pragma once

#include "texts/untInstalTeksty.h"
#include "ui/Forms.h"
#include "ui/StdCtrls.h"

class TfrmKatalog : public TForm {
public:
    TfrmKatalog();
    ~TfrmKatalog() override;

    void UstawJezyk(TJezyk jezyk);

    TButton btnOK;
    TButton btnAnuluj;
    TButton btnUtworz;

    TJezyk FJezyk = jzPolski;
};

extern TfrmKatalog* frmKatalog;
