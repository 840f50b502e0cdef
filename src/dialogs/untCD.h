// The CD drive dialog: lists the CD-ROM drives and accepts only the one holding the product CD.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "texts/untInstalTeksty.h"
#include "ui/ExtCtrls.h"
#include "ui/Forms.h"
#include "ui/StdCtrls.h"

class TfrmCD : public TForm {
public:
    TfrmCD();
    ~TfrmCD() override;

    void UstawJezyk(TJezyk jezyk);
    void btnPolskiClick();
    // Lists the CD-ROM drives afresh into cmbDrive and FKorzenie; selects the first.
    void WypelnijNapedy();

    // Bottom-aligned panels are created from the bottom up.
    TPanel pnlPrzyciski;
    TButton btnOK;
    TButton btnAnuluj;
    TPanel pnlJezyk;
    TLabel lblJezyk;
    TSpeedButton btnPolski;
    TSpeedButton btnAngielski;
    TSpeedButton btnNiemiecki;
    TSpeedButton btnFrancuski;
    TPanel pnlDrive;
    TComboBox cmbDrive;
    TPanel pnlCD;
    TLabel lblCD;

    std::vector<std::string> FKorzenie;  // parallel to the items of cmbDrive

private:
    void FormShow();
};

// Whether a drive root (with trailing backslash) holds the product CD.
bool JestPlytaProduktu(const std::string& korzen);

// The product CD without asking: zadany (a folder, given or not with its trailing backslash) when given, else
// the folder the installer was started from, else the first CD-ROM drive; each only when it holds the product
// CD. The root with trailing backslash, or "" when none does.
std::string ZnajdzPlyteProduktu(const std::optional<std::string>& zadany);

// The root of the chosen drive ("D:\"), or "" when the user cancelled. Shown again until the product CD.
std::string WybierzNapedCD();

extern TfrmCD* frmCD;
