// The folder browser: a tree of the fixed drives and their folders, the chosen path, and a new-folder button.
#pragma once

#include <string>

#include "texts/untInstalTeksty.h"
#include "ui/ComCtrls.h"
#include "ui/Forms.h"
#include "ui/StdCtrls.h"

class TfrmKatalog : public TForm {
public:
    TfrmKatalog();
    ~TfrmKatalog() override;

    void UstawJezyk(TJezyk jezyk);

    // The path of a node: "C:\" for a drive, "C:\Program Files\Werbika" for a folder.
    std::string SciezkaWezla(TTreeNode node) const;
    // Fills the tree with the fixed drives and walks it to the text of edtKatalog.
    void WypelnijDrzewo();
    // Selects and lists the deepest node matching the path; edtKatalog is left alone.
    void PrzejdzDo(const std::string& sciezka);
    // Lists the subfolders of the selected node once (nothing when it already has children).
    void RozwinZaznaczony();
    void trvKatalogChange(TTreeNode node);
    void btnUtworzClick();

    TImageList imlKatalog;
    TTreeView trvKatalog;
    TEdit edtKatalog;
    TButton btnOK;
    TButton btnAnuluj;
    TButton btnUtworz;

    TJezyk FJezyk = jzPolski;
    bool FZajety = false;  // set while the dialog itself fills or walks the tree

private:
    void WypelnijWezel(TTreeNode node);

    int FWstrzymanie = 0;  // nesting of the held-back tree updates
};

extern TfrmKatalog* frmKatalog;

// Whether a folder (with trailing backslash) holds at least one subfolder that the browser lists.
bool MaPodkatalogi(const std::string& folder);

// The folder chosen in the browser, or initial unchanged when the user cancels.
std::string WybierzKatalog(const std::string& initial);
