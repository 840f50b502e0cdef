// The uninstaller's window and its run: the question, the removal with progress, the closing message.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "dialogs/untPytanie.h"
#include "texts/untInstalTeksty.h"
#include "unattended/Polecenie.h"
#include "ui/ComCtrls.h"
#include "ui/ExtCtrls.h"
#include "ui/Forms.h"
#include "ui/StdCtrls.h"
#include "uninstall/untDeinstalFunkcje.h"

class TfrmDeinstalka : public TForm {
public:
    TfrmDeinstalka();
    ~TfrmDeinstalka() override;

    void UstawJezyk(TJezyk jezyk);

    TLabel lblOpis;
    TLabel lblPlik;
    TPanel pnlPostep;
    TGauge GaugePostep;

    TJezyk FJezyk = jzPolski;
};

// The interface language the installation recorded: "JezykInterfejsu" of the product's first program key;
// French when it says so, Polish otherwise; the record's language when the registry has none.
TJezyk JezykDeinstalacji(const TRekordDeinstalacji* rekord);

// The closing message: what was removed, what waits for the restart, every name kept and why, and where the
// record of what is left stays.
std::string TekstWyniku(TJezyk jezyk, const TWynikUsuwania& wynik, const std::string& plikRekordu);

// Whether the run removed everything: nothing kept, nothing left to the restart, no record kept.
bool UsunietoWszystko(const TWynikUsuwania& wynik);

// Uninstalls the installation whose record lies in katalog (without trailing backslash): reads the record,
// asks, waits for the process rodzic to end (the instance that relaunched this one; nullptr for none),
// removes and reports. The folder is held from before its record is read to the end, and refused when it is a
// link, leads through one or cannot be held. obraz is the running uninstaller's file (empty: this process's
// image), which a folder left without its record by an ended run is compared with. polecenie: /SILENT asks
// nothing before the removal, /VERYSILENT shows no window, and under BezPytan() the changed files are kept and
// every message only goes to the log. dokoncz, when given, says rodzic waits for this run's exit code, so its
// file (the uninstaller) stays in use: the last step is left to the run dokoncz starts (false when none could
// start). Returns a TKodWyjscia: kwZainstalowano removed everything, kwPrzerwano declined, kwPozostawiono
// removed with items kept, kwBrakRekordu no usable record or the folder refused.
int Deinstaluj(const std::string& katalog, TfrmDeinstalka& okno, TfrmPytanie& pytanie, HANDLE rodzic,
               const std::string& obraz = {}, const TPolecenie& polecenie = {},
               const std::function<bool()>& dokoncz = {});
