// The question dialog: one reusable modal form with a text and up to three buttons.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "texts/untInstalTeksty.h"
#include "ui/ExtCtrls.h"
#include "ui/Forms.h"
#include "ui/StdCtrls.h"

enum TRodzajPytania : std::uint8_t { rpOK = 0, rpTakNie = 1, rpOKAnuluj = 2, rpTakNieAnuluj = 3 };

class TfrmPytanie : public TForm {
public:
    TfrmPytanie();
    ~TfrmPytanie() override;

    void UstawJezyk(TJezyk jezyk);

    TLabel lblPytanie;
    TButton btnTak;
    TButton btnNie;
    TButton btnAnuluj;
};

// Sizes the dialog to the text, centres it over the owner and returns 6 (Yes/OK), 7 (No) or 2 (Cancel).
int PokazPytanie(TfrmPytanie& dialog, const TForm& owner, std::string_view text, TRodzajPytania kind);

extern TfrmPytanie* frmPytanie;
