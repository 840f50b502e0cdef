// The uninstaller's window and the order of its run; the removal itself is untDeinstalFunkcje's.
#include "uninstall/untDeinstalka.h"

#include <algorithm>
#include <functional>
#include <optional>
#include <utility>

#include "install/Czcionki.h"
#include "install/ProductView.h"
#include "install/Produkt.h"
#include "install/untInstalFunkcje.h"
#include "texts/Format.h"
#include "ui/Takt.h"
#include "ui/Unicode.h"
#include "unattended/Protokol.h"
#include "uninstall/TekstyDeinstalki.h"

namespace {

constexpr std::size_t kPokazanychPozycji = 8;  // names a message lists before it only counts the rest
// Names each list of the closing message names: with thousands kept it would grow taller than the screen.
constexpr std::size_t kPokazanychNaKoncu = 16;

const char* Tytul()
{
    const TOpisProduktu* opis = OpisProduktu(NumerProduktu);
    return opis ? opis->Tytul : "";
}

std::string T(TJezyk jezyk, TTekstDeinstalki numer)
{
    return std::string(TekstDeinstalki(jezyk, numer));
}

TTekstDeinstalki TekstPowodu(TPowod powod)
{
    switch (powod) {
    case TPowod::pwZmieniony: return tdPowodZmieniony;
    case TPowod::pwNiePusty: return tdPowodNiePusty;
    case TPowod::pwInnaInstalacja: return tdPowodInnaInstalacja;
    case TPowod::pwPrzekierowany: return tdPowodPrzekierowany;
    case TPowod::pwNieUsuniety: break;
    }
    return tdPowodNieUsuniety;
}

// The list of a message: one name a line, at most limit names, the surplus counted with reszta.
std::string Lista(TJezyk jezyk, const std::vector<std::string>& pozycje, std::size_t limit, TTekstDeinstalki reszta)
{
    const std::size_t pokazane = std::min(pozycje.size(), limit);
    std::string tekst;
    for (std::size_t i = 0; i < pokazane; ++i) tekst += pozycje[i] + "\r\n";
    if (pozycje.size() > pokazane)
        tekst += Format(T(jezyk, reszta), {static_cast<int>(pozycje.size() - pokazane)}) + "\r\n";
    if (!tekst.empty()) tekst.resize(tekst.size() - 2);
    return tekst;
}

// A program key's language, when the key has one.
std::optional<DWORD> JezykZRejestru()
{
    const TOpisProduktu* opis = OpisProduktu(NumerProduktu);
    if (!opis || opis->ProgramyUstawien.empty()) return std::nullopt;
    const std::wstring klucz = Widen(std::string(opis->KluczProgramow) + "\\" + opis->ProgramyUstawien.front());
    DWORD jezyk = 0, rozmiar = sizeof jezyk;
    if (GetProductValue(HKEY_CURRENT_USER, klucz.c_str(), L"JezykInterfejsu", RRF_RT_REG_DWORD, nullptr, &jezyk,
                     &rozmiar) != ERROR_SUCCESS)
        return std::nullopt;
    return jezyk;
}

} // namespace

TfrmDeinstalka::TfrmDeinstalka()
    : TForm({.ClientWidth = 420, .ClientHeight = 96, .BorderStyle = bsDialog, .BorderIcons = 0,
                .Position = poScreenCenter, .FontName = "MS Sans Serif", .FontHeight = -11}),
      lblOpis(*this, {.Left = 12, .Top = 12, .Width = 396, .Height = 16, .AutoSize = false}),
      lblPlik(*this, {.Left = 12, .Top = 36, .Width = 396, .Height = 14, .AutoSize = false}),
      pnlPostep(*this, {.Left = 12, .Top = 62, .Width = 396, .Height = 22, .BevelOuter = bvLowered}),
      GaugePostep(pnlPostep, {.Align = alClient})
{
    DoCreate();
}

TfrmDeinstalka::~TfrmDeinstalka()
{
    Free();
}

void TfrmDeinstalka::UstawJezyk(TJezyk jezyk)
{
    FJezyk = jezyk;
    UstawCzcionke(Font(), jezyk);
    SetCaption(Format(T(jezyk, tdTytul), {Tytul()}));
    lblOpis.SetCaption(Format(T(jezyk, tdUsuwanie), {Tytul()}));
}

TJezyk JezykDeinstalacji(const TRekordDeinstalacji* rekord)
{
    if (const std::optional<DWORD> jezyk = JezykZRejestru()) return *jezyk == jzFrancuski ? jzFrancuski : jzPolski;
    return rekord && rekord->Jezyk == jzFrancuski ? jzFrancuski : jzPolski;
}

std::string TekstWyniku(TJezyk jezyk, const TWynikUsuwania& wynik, const std::string& plikRekordu)
{
    const bool wszystko = UsunietoWszystko(wynik);
    std::string tekst = Format(T(jezyk, wszystko ? tdUsunietoWszystko : tdUsunietoCzesc), {Tytul()}) + "\r\n\r\n" +
                        Format(T(jezyk, tdLiczby), {wynik.Pliki, wynik.Katalogi, wynik.Skroty, wynik.Rejestr});
    const auto lista = [&](TTekstDeinstalki naglowek, const std::vector<std::string>& pozycje) {
        if (pozycje.empty()) return;
        tekst += "\r\n\r\n" + T(jezyk, naglowek) + "\r\n" + Lista(jezyk, pozycje, kPokazanychNaKoncu, tdIInne);
    };
    lista(tdUsunieteZmienione, wynik.UsunieteZmienione);
    lista(tdPoRestarcie, wynik.PoRestarcie);
    // The changed files the user kept first: the question promised to name them here.
    std::vector<const TPozostawiony*> kolejno;
    for (const TPozostawiony& p : wynik.Pozostawione)
        if (p.Powod == TPowod::pwZmieniony) kolejno.push_back(&p);
    for (const TPozostawiony& p : wynik.Pozostawione)
        if (p.Powod != TPowod::pwZmieniony) kolejno.push_back(&p);
    std::vector<std::string> pozycje;
    for (std::size_t i = 0; i < kolejno.size() && i <= kPokazanychNaKoncu; ++i)
        pozycje.push_back(kolejno[i]->Co + " (" + T(jezyk, TekstPowodu(kolejno[i]->Powod)) + ")");
    // Only the names shown are made; the count is of them all.
    pozycje.resize(kolejno.size());
    lista(tdPozostawiono, pozycje);
    if (wynik.RekordPozostawiony) tekst += "\r\n\r\n" + Format(T(jezyk, tdRekordPozostawiony), {plikRekordu});
    return tekst;
}

bool UsunietoWszystko(const TWynikUsuwania& wynik)
{
    return wynik.Pozostawione.empty() && wynik.PoRestarcie.empty() && !wynik.RekordPozostawiony;
}

int Deinstaluj(const std::string& katalog, TfrmDeinstalka& okno, TfrmPytanie& pytanie, HANDLE rodzic,
               const std::string& obraz, const TPolecenie& polecenie, const std::function<bool()>& dokoncz)
{
    const bool cichy = polecenie.Tryb != TTryb::Okna;
    const bool bezPytan = polecenie.BezPytan();
    const std::string plikRekordu = katalog + "\\" + kPlikRekordu;
    Protokol.Krok("Target folder: " + katalog);
    // Held before its record is read: nothing read or removed below can come from a folder put in its place.
    TCelDeinstalacji cel = OtworzCel(katalog);
    const DWORD bladCelu = GetLastError();
    const bool celPewny = cel.Stan == TStanCelu::scOtwarty || cel.Stan == TStanCelu::scBrak;
    const TZapisDeinstalacji zapis = celPewny ? ZapisDeinstalacji(katalog, obraz.empty() ? SciezkaAplikacji() : obraz,
                                                                  [] { Application.AnswerWithoutInput(); }, &cel)
                                              : TZapisDeinstalacji{};
    const bool tutejszy = zapis.Stan == TStanZapisu::zsDobry || zapis.Stan == TStanZapisu::zsResztka;
    const TJezyk jezyk = JezykDeinstalacji(zapis.Stan == TStanZapisu::zsDobry ? &zapis.Rekord : nullptr);

    okno.UstawJezyk(jezyk);
    pytanie.UstawJezyk(jezyk);
    okno.lblPlik.SetCaption("");
    okno.GaugePostep.SetProgress(0);
    // A very silent run keeps the form hidden from start to end.
    if (polecenie.Tryb != TTryb::BardzoCichy) okno.Show();
    Application.ProcessMessages();

    // Every message goes to the log; on the screen only when someone is there to read it.
    const auto komunikat = [&](const std::string& tekst, bool pokaz) {
        Protokol.Wpisz(tekst);
        if (pokaz) PokazPytanie(pytanie, okno, tekst, rpOK);
    };
    const auto koniec = [&](int kod, const char* jak) {
        okno.Hide();
        Protokol.Krok(std::string("Outcome: ") + jak + ", exit code " + std::to_string(kod));
        return kod;
    };

    if (!celPewny) {
        Protokol.Wpisz(cel.Stan == TStanCelu::scPrzekierowany
                           ? std::string("The target folder is a link or is reached through one")
                           : "The target folder cannot be held: Windows error " + OpisBledu(bladCelu));
        komunikat(Format(T(jezyk, tdCelNiepewny), {Tytul(), katalog}), !bezPytan);
        return koniec(kwBrakRekordu, "target folder refused");
    }
    if (!tutejszy) {
        const TTekstDeinstalki tekst = zapis.Stan == TStanZapisu::zsBrak         ? tdBrakRekordu
                                       : zapis.Stan == TStanZapisu::zsUszkodzony ? tdRekordUszkodzony
                                                                                 : tdRekordObcy;
        // The texts of two arguments ignore the third.
        komunikat(Format(T(jezyk, tekst), {Tytul(), plikRekordu, zapis.Rekord.Katalog}), !bezPytan);
        return koniec(kwBrakRekordu, "no usable record");
    }
    Protokol.Krok(zapis.Stan == TStanZapisu::zsDobry ? "Record read: " + plikRekordu
                                                     : std::string("No record: the rest of a finished run"));
    // Whoever starts a silent run has decided already; without anyone to ask, Yes is the question's default.
    if (!cichy && !bezPytan && PokazPytanie(pytanie, okno, Format(T(jezyk, tdPytanie), {Tytul()}), rpTakNie) != mrYes)
        return koniec(kwPrzerwano, "declined");

    // The instance that started this copy runs from the folder being removed: its file is free once it ends.
    // One that waits for this run's outcome leaves its file to dokoncz instead.
    if (rodzic && !dokoncz) {
        Protokol.Krok("Waiting for the instance that started this copy to end");
        WaitForSingleObject(rodzic, 60000);
    }
    Protokol.Krok("Removal: each item as it comes, then what was kept");

    TObslugaUsuwania obsluga;
    obsluga.DeinstalatorWUzyciu = static_cast<bool>(dokoncz);
    obsluga.UsunZmienione = [&](const std::vector<std::string>& zmienione) {
        // The rest of a finished run is only the uninstaller as it was checked: changed since, it stays.
        if (zapis.Stan == TStanZapisu::zsResztka) return false;
        // Nobody to ask: the answer that loses no one's work.
        if (bezPytan) {
            Protokol.Wpisz("Changed since the installation, kept: " + std::to_string(zmienione.size()) + " files");
            return false;
        }
        // The user's own work is at stake: Enter keeps it.
        std::function<void()> onShow = std::exchange(pytanie.OnShow, [&pytanie] {
            pytanie.SetActiveControl(&pytanie.btnNie);
            pytanie.btnNie.SetDefault(true);
        });
        const int odpowiedz = PokazPytanie(
            pytanie, okno,
            Format(T(jezyk, tdZmienione),
                   {static_cast<int>(zmienione.size()),
                    // The closing message names them all only when they fit its list.
                    Lista(jezyk, zmienione, kPokazanychPozycji,
                          zmienione.size() <= kPokazanychNaKoncu ? tdIInneNaKoncu : tdIInne)}),
            rpTakNie);
        pytanie.OnShow = std::move(onShow);
        pytanie.btnNie.SetDefault(false);
        Protokol.Wpisz(odpowiedz == mrYes ? "Changed files: the user had them removed" : "Changed files: kept");
        return odpowiedz == mrYes;
    };
    // The item's name and the messages at a bounded rate: thousands of small files go faster than anyone reads,
    // and a look at the queue costs as much as a small file's check.
    TTakt napis(50), komunikaty(10);
    std::string wpisany;  // a long step reports the same item again
    obsluga.Postep = [&](const std::string& co, int zrobione, int wszystkie) {
        if (co != wpisany) {
            Protokol.Wpisz("Removing " + co);
            wpisany = co;
        }
        if (napis.Teraz()) okno.lblPlik.SetCaption(co);
        okno.GaugePostep.SetMaxValue(wszystkie);
        okno.GaugePostep.SetProgress(zrobione);
        if (komunikaty.Teraz()) Application.ProcessMessages();
    };
    TWynikUsuwania wynik = UsunZainstalowane(zapis.Rekord, plikRekordu, MiejscaProduktu(), obsluga, &cel);
    okno.lblPlik.SetCaption("");
    okno.GaugePostep.SetProgress(okno.GaugePostep.MaxValue());
    Application.ProcessMessages();

    if (wynik.ResztaNaPozniej) {
        if (dokoncz && dokoncz()) {
            Protokol.Wpisz("The uninstaller and " + katalog + " go once the instance that started this run has "
                           "ended: a copy of it waits for that");
        } else {
            Protokol.Wpisz("No copy could start to remove the uninstaller and its folder later");
            wynik.RekordPozostawiony = true;
        }
    }
    Protokol.Krok("Removed: " + std::to_string(wynik.Pliki) + " files, " + std::to_string(wynik.Katalogi) +
                  " folders, " + std::to_string(wynik.Skroty) + " shortcuts, " + std::to_string(wynik.Rejestr) +
                  " registry entries");
    for (const std::string& p : wynik.UsunieteZmienione) Protokol.Wpisz("Removed though changed: " + p);
    for (const std::string& p : wynik.PoRestarcie) Protokol.Wpisz("Removed at the next restart: " + p);
    for (const TPozostawiony& p : wynik.Pozostawione)
        Protokol.Wpisz("Kept: " + p.Co + " (" + T(jezyk, TekstPowodu(p.Powod)) + ")");
    if (wynik.RekordPozostawiony) Protokol.Wpisz("Kept: " + plikRekordu + ", the record of what is left");

    const bool wszystko = UsunietoWszystko(wynik);
    // A silent run that removed everything has nothing for anyone to read.
    komunikat(TekstWyniku(jezyk, wynik, plikRekordu), !bezPytan && !(cichy && wszystko));
    return wszystko ? koniec(kwZainstalowano, "removed") : koniec(kwPozostawiono, "removed, items kept");
}
