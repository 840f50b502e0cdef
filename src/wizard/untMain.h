// The wizard's main form: the frame, the five pages, the page switch, the language switch.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "dialogs/untPytanie.h"
#include "install/Instalacja.h"
#include "install/untInstalFunkcje.h"
#include "texts/untInstalTeksty.h"
#include "ui/ComCtrls.h"
#include "ui/ExtCtrls.h"
#include "ui/Forms.h"
#include "ui/StdCtrls.h"
#include "ui/Takt.h"
#include "unattended/Polecenie.h"
#include "uninstall/RekordDeinstalacji.h"

inline constexpr int kLiczbaStron = 5;
enum TStrona : int { stWstep = 1, stUmowa = 2, stOpcje = 3, stInstalacja = 4, stKoniec = 5 };

class TfrmMain : public TForm {
public:
    TfrmMain();
    ~TfrmMain() override;

    // -1 back, 0 the current page again, +1 next: the one entry of every page change.
    void ZmienStrone(int krok);
    void UstawKrok();
    void UstawJezyk(TJezyk jezyk);

    void UstawKatalogZrodlowy();
    void UstawKatalogDocelowy();
    bool SprawdzWolneMiejsce();
    bool SprawdzOpcje();
    void WczytajUmowe();
    // One line of a licence file, in that file's language, inserted at the editor's caret.
    static void WstawLinieUmowy(TRichEdit& edytor, std::string_view linia, TJezyk jezyk);

    // The installation, run on this page's thread; the outcome is left in FSukces and FPrzerwano.
    void Instaluj();
    void KopiujPliki();
    bool SprawdzPrzerwanie();
    void KopiujKatalog(const std::string& zrodlo, const std::string& cel, const std::string& wykluczenia);
    void KopiujPlik(const std::string& zrodlo, const std::string& cel, TOdcisk* odcisk = nullptr);
    void InstalujProgramGlowny();
    void InstalujPlikiZZasobow();
    void UtworzSkroty();
    void ZapiszRejestr();
    // The record of what a successful run put on the system, for the uninstaller, beside the installed files;
    // made from the journal, which it closes. Raises EInOutError when it cannot be written.
    void ZapiszRekordDeinstalacji();
    // The journals of earlier runs that did not end: the user is told, and they are undone. False when something
    // could not be undone.
    bool CofnijPrzerwaneInstalacje();

    // The command line's options; the wizard takes its folder, language, dictionaries and source from them.
    void UstawPolecenie(const TPolecenie& polecenie) { FPolecenie = polecenie; }
    // The installation without the wizard's pages (/SILENT: only a progress window; /VERYSILENT: no window):
    // the Options page's checks on the command line's choices, then the run. Its exit code.
    int InstalujBezKreatora();
    // The exit code of the wizard's run once it has ended: installed, failed, or not installed (cancelled).
    int KodWyjscia() const;
    // A question or a message, shown and logged; with nobody to answer, only logged and answered cicha.
    int Zapytaj(const std::string& tekst, TRodzajPytania rodzaj, int cicha = mrYes);

    void FormCreate();
    void FormShow();
    void FormDestroy();
    void FormCloseQuery(bool& canClose);
    void btnWsteczClick();
    void btnDalejClick();
    void btnZamknijClick();
    void btnKatalogClick();
    void chbInstalujSlownikiClick();
    void rdbUmowaAkceptujeClick();
    void btnPolskiClick();

    // The frame.
    TPanel pnlLeft;
    TImage Image1;
    TPanel pnlMain;
    TPanel pnlTop;
    TLabel lblTytul;
    TLabel lblKrok;
    TPanel pnlBottom;
    TBevel Bevel1;
    TButton btnWstecz;
    TButton btnDalej;
    TButton btnZamknij;

    // Page 1: welcome and language.
    TPanel pnlIntro;
    TLabel lblIntro;
    TPanel pnlJezyk;
    TLabel lblJezyk;
    TSpeedButton btnPolski;
    TSpeedButton btnAngielski;
    TSpeedButton btnNiemiecki;
    TSpeedButton btnFrancuski;
    TSpeedButton btnWloski;
    TLabel lblWersjaSpecjalna;

    // Page 2: licence.
    TPanel pnlUmowa;
    TRichEdit redUmowa;
    TRadioButton rdbUmowaAkceptuje;
    TRadioButton rdbUmowaNieAkceptuje;

    // Page 3: options.
    TPanel pnlOpcje;
    TGroupBox gbxKatalog;
    TLabel lblKatalog;
    TLabel lblMiejsceWolne;
    TLabel lblMiejsceWymagane;
    TButton btnKatalog;
    TCheckBox chbInstalujSlowniki;
    TCheckBox chbUtworzGrupe;
    TCheckBox chbUtworzSkrotyTranslatorow;
    TCheckBox chbUtworzSkrotySlownikow;
    TCheckBox chbSkrotyAllUsers;
    TLabel lblSkrotyAllUsers;

    // Page 4: installation.
    TPanel pnlInstalacja;
    TLabel lblInstalacja;
    TLabel lblInstalacjaOpis;
    TLabel lblPlikZ;
    TLabel lblPlikDo;
    TPanel pnlPostep;
    TGauge GaugePostep;

    // Page 5: end.
    TPanel pnlKoniec;
    TLabel lblKoniec;

    std::int32_t FStrona = stWstep;
    TJezyk FJezyk = jzPolski;
    std::string FKatalogZrodlowy;            // CD root with trailing backslash
    std::string FKatalogZrodlowyBezUkosnika;
    std::string FKatalogDocelowy;            // without trailing backslash
    std::int64_t FWolneMiejsce = 0;
    std::int64_t FWymaganeMiejsce = 0;
    bool FSukces = false;
    bool FInstalacjaTrwa = false;
    bool FPrzerwij = false;
    bool FPrzerwano = false;
    std::int64_t FSkopiowanoBajtow = 0;
    // Every change of the run, journalled before it is made; the roll-back and the record come from it.
    TInstalacja FInstalacja;
    // Its views: the folders created and the files written into the target folder, in order.
    std::vector<std::string>& FUtworzoneKatalogi = FInstalacja.UtworzoneKatalogi;
    std::vector<std::string>& FSkopiowanePliki = FInstalacja.SkopiowanePliki;
    TPolecenie FPolecenie;
    // Why the Options page's check refused last: the exit code of a run without the wizard.
    int FOdmowa = kwPrzerwano;

private:
    TPanel* Strona(int numer);
    // The command line's choices over the wizard's defaults.
    void UstawOpcjePolecenia();
    // The window of /SILENT: the Installation page and the cancel button, without the side strip, the title
    // band and the page buttons.
    void UkladPostepu();
    // The outcome in the log; the exit code.
    int Wynik(int kod);
    bool Przerwac();
    // Undoes the run through its journal, the page showing opis and the gauge counting the items.
    void Wycofaj(const std::string& opis);
    // The "From:"/"To:" lines of the file being copied, at a bounded rate; PokazCzekajacyPlik shows the
    // last one held back, so that the lines end on the file the copy ended with.
    void PokazPlik(const std::string& zrodlo, const std::string& cel);
    void PokazCzekajacyPlik();

    int FGlebokoscKopii = 0;               // folders below the copy's top one, while it runs
    bool FCelKopiiNowy = false;            // the folder the copy writes into was made by this run
    std::vector<std::uint8_t> FBuforKopii; // the copy's one block buffer, allocated with the first file
    std::string FGrupa;                    // the product's Start-menu group, made now or before
    TTakt FTaktPliku{50};
    std::string FCzekajacyZ, FCzekajacyDo; // the file lines held back by FTaktPliku, when FPlikCzeka
    bool FPlikCzeka = false;
};

extern TfrmMain* frmMain;
// The all-users choice of the shortcuts, taken from chbSkrotyAllUsers when the Options page is confirmed.
extern bool SkrotyDlaWszystkich;
