// The installer's texts about its journal: one row a text, Polish then French.
#include "install/TekstyInstalacji.h"

namespace {

struct TWiersz {
    const char* Polski;
    const char* Francuski;
};

// Indexed by TTekstInstalacji.
constexpr TWiersz kTeksty[kLiczbaTekstowInstalacji] = {
    {"Poprzednia instalacja programu %s została przerwana.\r\nTo, co zdążyła zmienić, zostanie teraz cofnięte.",
     "L'installation précédente de %s a été interrompue.\r\nCe qu'elle avait modifié va maintenant être annulé."},
    {"Nie udało się cofnąć:\r\n%s", "Impossible d'annuler :\r\n%s"},
    {"Trwa inna instalacja programu %s. Zaczekaj, aż się zakończy, i spróbuj ponownie.",
     "Une autre installation de %s est en cours. Attendez qu'elle se termine, puis réessayez."},
    {"Nie można zapisać dziennika instalacji w folderze:\r\n%s",
     "Impossible d'écrire le journal d'installation dans le dossier :\r\n%s"},
    {"Błąd instalacji - cofanie zmian ...", "Erreur d'installation - annulation des modifications ..."},
    {"Nie znaleziono płyty z programem %s: nie ma jej plików ani w folderze\r\n%s\r\nani w żadnym napędzie CD-ROM.",
     "Le CD de %s est introuvable : ses fichiers ne sont ni dans le dossier\r\n%s\r\nni dans un lecteur de CD-ROM."},
};

} // namespace

std::string_view TekstInstalacji(TJezyk jezyk, TTekstInstalacji numer)
{
    if (numer < 0 || numer >= kLiczbaTekstowInstalacji) return {};
    return jezyk == jzFrancuski ? kTeksty[numer].Francuski : kTeksty[numer].Polski;
}
