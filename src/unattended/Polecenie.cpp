// The options of unattended runs: parsed by name, case-insensitively, each at most with one value.
#include "unattended/Polecenie.h"

#include <algorithm>

#include "texts/Format.h"

namespace {

std::string Wielkie(std::string_view s)
{
    std::string w(s);
    std::transform(w.begin(), w.end(), w.begin(),
                   [](unsigned char c) { return static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c); });
    return w;
}

// A value keeps no quotes of its own: `/DIR="C:\x\"` reaches the program as `C:\x"` by the rules that turn a
// backslash before a quote into a quote.
std::string Wartosc(std::string_view v)
{
    std::string w(v);
    std::erase(w, '"');
    while (w.size() > 3 && (w.back() == '\\' || w.back() == '/')) w.pop_back();
    return w;
}

} // namespace

TPolecenie CzytajPolecenie(const std::vector<std::string>& argumenty, TProgram program)
{
    TPolecenie p;
    const bool instalator = program == TProgram::Instalator;
    for (const std::string& argument : argumenty) {
        p.Opcje = true;
        const auto blad = [&](bool brakWartosci) {
            if (!p.Blad.empty()) return;
            p.Blad = argument;
            p.BrakWartosci = brakWartosci;
        };
        if (argument.size() < 2 || (argument[0] != '/' && argument[0] != '-')) {
            blad(false);
            continue;
        }
        const std::size_t rowna = argument.find('=');
        const std::string nazwa = Wielkie(std::string_view(argument).substr(1, rowna == std::string::npos
                                                                                  ? std::string::npos
                                                                                  : rowna - 1));
        const bool maWartosc = rowna != std::string::npos;
        const std::string wartosc = maWartosc ? Wartosc(std::string_view(argument).substr(rowna + 1)) : "";

        // The switches take no value; "/SILENT=1" is a mistake the administrator should hear of.
        const auto przelacznik = [&](bool dozwolony, auto ustaw) {
            if (!dozwolony || maWartosc) return blad(false);
            ustaw();
        };
        const auto zWartoscia = [&](std::optional<std::string>& pole) {
            if (!instalator) return blad(false);
            if (wartosc.empty()) return blad(true);
            pole = wartosc;
        };

        if (nazwa == "SILENT") {
            przelacznik(true, [&] { if (p.Tryb != TTryb::BardzoCichy) p.Tryb = TTryb::Cichy; });
        } else if (nazwa == "VERYSILENT") {
            przelacznik(true, [&] { p.Tryb = TTryb::BardzoCichy; });
        } else if (nazwa == "SUPPRESSMSGBOXES") {
            przelacznik(true, [&] { p.BezKomunikatow = true; });
        } else if (nazwa == "NODICTIONARIES") {
            przelacznik(instalator, [&] { p.BezSlownikow = true; });
        } else if (nazwa == "HELP" || nazwa == "?") {
            przelacznik(true, [&] { p.Pomoc = true; });
        } else if (nazwa == "DIR") {
            zWartoscia(p.Katalog);
        } else if (nazwa == "SOURCE") {
            zWartoscia(p.Zrodlo);
        } else if (nazwa == "LANG") {
            if (!instalator) {
                blad(false);
            } else if (wartosc.empty()) {
                blad(true);
            } else if (Wielkie(wartosc) == "PL") {
                p.Jezyk = jzPolski;
            } else if (Wielkie(wartosc) == "FR") {
                p.Jezyk = jzFrancuski;
            } else {
                blad(false);
            }
        } else if (nazwa == "LOG") {
            // "/LOG=" names no file: the default one, as plain "/LOG".
            p.Log = wartosc;
        } else {
            blad(false);
        }
    }
    return p;
}

namespace {

// One argument as CommandLineToArgvW gives it back: quoted when it holds blanks or quotes, with the
// backslashes before a quote doubled.
std::string Zacytowany(const std::string& argument)
{
    if (!argument.empty() && argument.find_first_of(" \t\"") == std::string::npos) return argument;
    std::string w = "\"";
    std::size_t ukosniki = 0;
    for (char c : argument) {
        if (c == '\\') {
            ++ukosniki;
            continue;
        }
        w.append(c == '"' ? ukosniki * 2 + 1 : ukosniki, '\\');
        w += c;
        ukosniki = 0;
    }
    w.append(ukosniki * 2, '\\');
    return w + '"';
}

} // namespace

std::string PolecenieDlaKopii(const std::vector<std::string>& argumenty,
                              const std::function<std::string(const std::string&)>& pelna)
{
    std::string linia;
    for (std::string a : argumenty) {
        const std::size_t rowna = a.find('=');
        if (a.size() > 1 && (a[0] == '/' || a[0] == '-') && rowna != std::string::npos) {
            const std::string nazwa = Wielkie(std::string_view(a).substr(1, rowna - 1));
            const std::string wartosc = Wartosc(std::string_view(a).substr(rowna + 1));
            if ((nazwa == "LOG" || nazwa == "SOURCE") && !wartosc.empty()) {
                const std::string pelnaSciezka = pelna(wartosc);
                if (!pelnaSciezka.empty()) a = a.substr(0, rowna + 1) + pelnaSciezka;
            }
        }
        linia += " " + Zacytowany(a);
    }
    return linia;
}

std::wstring_view ResztaPolecenia(std::wstring_view linia)
{
    std::size_t i = 0;
    if (!linia.empty() && linia[0] == L'"') {
        const std::size_t koniec = linia.find(L'"', 1);
        i = koniec == std::wstring_view::npos ? linia.size() : koniec + 1;
    }
    while (i < linia.size() && linia[i] != L' ' && linia[i] != L'\t') ++i;
    while (i < linia.size() && (linia[i] == L' ' || linia[i] == L'\t')) ++i;
    return linia.substr(i);
}

namespace {

constexpr const char* kPomocInstalatoraPl =
    "Opcje programu instalacyjnego (wielkość liter bez znaczenia, na początku / lub -):\r\n"
    "  /SILENT  bez stron kreatora: tylko okno postępu instalacji\r\n"
    "  /VERYSILENT  bez żadnego okna\r\n"
    "  /SUPPRESSMSGBOXES  pytania dostają odpowiedź domyślną, komunikaty trafiają tylko do dziennika\r\n"
    "  /DIR=\"folder\"  folder docelowy\r\n"
    "  /LANG=pl lub /LANG=fr  język interfejsu\r\n"
    "  /NODICTIONARIES  bez słowników\r\n"
    "  /SOURCE=\"folder\"  katalog główny płyty z produktem\r\n"
    "  /LOG lub /LOG=\"plik\"  dziennik w UTF-8 (domyślnie %TEMP%\\Werbfranko-instalacja.log)\r\n"
    "  /? lub /HELP  ta pomoc\r\n"
    "Instalacja cicha uznaje umowę licencyjną za przyjętą przez uruchamiającego.\r\n"
    "\r\n"
    "Kody wyjścia:\r\n"
    "  0 zainstalowano\r\n  1 błędny wiersz polecenia\r\n  2 przerwano\r\n"
    "  3 błąd, zmiany cofnięto\r\n  4 za mało wolnego miejsca\r\n  5 nie znaleziono płyty z produktem\r\n"
    "  6 trwa inna instalacja produktu\r\n  7 nie udało się cofnąć przerwanej wcześniej instalacji";
constexpr const char* kPomocInstalatoraFr =
    "Options du programme d'installation (majuscules ou minuscules, précédées de / ou -) :\r\n"
    "  /SILENT  sans les pages de l'assistant : seulement la fenêtre de progression\r\n"
    "  /VERYSILENT  sans aucune fenêtre\r\n"
    "  /SUPPRESSMSGBOXES  les questions reçoivent leur réponse par défaut, les messages vont au journal\r\n"
    "  /DIR=\"dossier\"  le dossier d'installation\r\n"
    "  /LANG=pl ou /LANG=fr  la langue de l'interface\r\n"
    "  /NODICTIONARIES  sans les dictionnaires\r\n"
    "  /SOURCE=\"dossier\"  la racine du CD du produit\r\n"
    "  /LOG ou /LOG=\"fichier\"  un journal en UTF-8 (par défaut %TEMP%\\Werbfranko-instalacja.log)\r\n"
    "  /? ou /HELP  cette aide\r\n"
    "Une installation silencieuse tient le contrat de licence pour accepté par qui la lance.\r\n"
    "\r\n"
    "Codes de sortie :\r\n"
    "  0 installé\r\n  1 ligne de commande incorrecte\r\n  2 annulé\r\n"
    "  3 échec, modifications annulées\r\n  4 espace libre insuffisant\r\n  5 CD du produit introuvable\r\n"
    "  6 une autre installation du produit est en cours\r\n"
    "  7 une installation interrompue auparavant n'a pas pu être annulée";
constexpr const char* kPomocDeinstalatoraPl =
    "Opcje programu deinstalacyjnego (wielkość liter bez znaczenia, na początku / lub -):\r\n"
    "  /SILENT  tylko okno postępu\r\n"
    "  /VERYSILENT  bez żadnego okna\r\n"
    "  /SUPPRESSMSGBOXES  pytania dostają odpowiedź domyślną (zmienione pliki zostają)\r\n"
    "  /LOG lub /LOG=\"plik\"  dziennik w UTF-8 (domyślnie %TEMP%\\Werbfranko-deinstalacja.log)\r\n"
    "  /? lub /HELP  ta pomoc\r\n"
    "\r\n"
    "Kody wyjścia:\r\n"
    "  0 usunięto\r\n  1 błędny wiersz polecenia\r\n  2 przerwano\r\n"
    "  8 usunięto, niektóre pozycje pozostawiono (wymienia je dziennik)\r\n"
    "  9 brak użytecznego zapisu instalacji";
constexpr const char* kPomocDeinstalatoraFr =
    "Options du programme de désinstallation (majuscules ou minuscules, précédées de / ou -) :\r\n"
    "  /SILENT  seulement la fenêtre de progression\r\n"
    "  /VERYSILENT  sans aucune fenêtre\r\n"
    "  /SUPPRESSMSGBOXES  les questions reçoivent leur réponse par défaut (les fichiers modifiés restent)\r\n"
    "  /LOG ou /LOG=\"fichier\"  un journal en UTF-8 (par défaut %TEMP%\\Werbfranko-deinstalacja.log)\r\n"
    "  /? ou /HELP  cette aide\r\n"
    "\r\n"
    "Codes de sortie :\r\n"
    "  0 supprimé\r\n  1 ligne de commande incorrecte\r\n  2 annulé\r\n"
    "  8 supprimé, certains éléments conservés (le journal les nomme)\r\n"
    "  9 aucun enregistrement d'installation utilisable";

} // namespace

std::string TekstPomocy(TJezyk jezyk, TProgram program)
{
    const bool fr = jezyk == jzFrancuski;
    if (program == TProgram::Instalator) return fr ? kPomocInstalatoraFr : kPomocInstalatoraPl;
    return fr ? kPomocDeinstalatoraFr : kPomocDeinstalatoraPl;
}

std::string TekstBleduPolecenia(TJezyk jezyk, const TPolecenie& polecenie)
{
    const bool fr = jezyk == jzFrancuski;
    const char* wzor = polecenie.BrakWartosci
                           ? (fr ? "L'option %s demande une valeur." : "Opcja %s wymaga wartości.")
                           : (fr ? "Option inconnue : %s" : "Nieznana opcja: %s");
    return Format(wzor, {polecenie.Blad}) + "\r\n\r\n" + (fr ? "Aide : /?" : "Pomoc: /?");
}
