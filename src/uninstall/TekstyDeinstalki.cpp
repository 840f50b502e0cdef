// The uninstaller's texts: one row a text, Polish then French.
#include "uninstall/TekstyDeinstalki.h"

namespace {

struct TWiersz {
    const char* Polski;
    const char* Francuski;
};

// Indexed by TTekstDeinstalki.
constexpr TWiersz kTeksty[kLiczbaTekstowDeinstalki] = {
    {"%s - Deinstalator", "%s - Désinstallation"},
    {"Czy usunąć program %s i wszystkie jego składniki z komputera?",
     "Voulez-vous supprimer %s et tous ses composants de cet ordinateur ?"},
    {"Od czasu instalacji zmieniono pliki programu (%d):\r\n%s\r\nCzy usunąć także te pliki?",
     "Des fichiers du programme ont été modifiés depuis l'installation (%d) :\r\n%s\r\n"
     "Faut-il supprimer aussi ces fichiers ?"},
    {"Usuwanie programu %s...", "Suppression de %s..."},
    {"Program %s został usunięty z komputera.", "%s a été supprimé de cet ordinateur."},
    {"Program %s został usunięty z komputera; niektóre elementy pozostawiono.",
     "%s a été supprimé de cet ordinateur ; certains éléments ont été conservés."},
    {"Usunięto plików: %d, folderów: %d, skrótów: %d, wpisów rejestru: %d.",
     "Supprimés : fichiers %d, dossiers %d, raccourcis %d, entrées du registre %d."},
    {"Pozostawiono:", "Conservés :"},
    {"... i %d innych", "... et %d autres"},
    {"Nie znaleziono zapisu instalacji programu %s:\r\n%s\r\nNic nie zostało usunięte.",
     "Le journal d'installation de %s est introuvable :\r\n%s\r\nRien n'a été supprimé."},
    {"Zapis instalacji programu %s jest uszkodzony:\r\n%s\r\nNic nie zostało usunięte.",
     "Le journal d'installation de %s est endommagé :\r\n%s\r\nRien n'a été supprimé."},
    {"Zapis instalacji programu %s:\r\n%s\r\ndotyczy innego folderu: %s\r\nNic nie zostało usunięte.",
     "Le journal d'installation de %s :\r\n%s\r\nconcerne un autre dossier : %s\r\nRien n'a été supprimé."},
    {"zmieniony po instalacji", "modifié depuis l'installation"},
    {"nie można usunąć: w użyciu lub chroniony", "impossible à supprimer : utilisé ou protégé"},
    {"zawiera elementy, których instalacja nie utworzyła", "contient des éléments que l'installation n'a pas créés"},
    {"należy do innej instalacji programu", "appartient à une autre installation du programme"},
    {"prowadzi przez dowiązanie do innego miejsca", "mène par un lien vers un autre emplacement"},
    {"... i %d innych (wszystkie wymienia podsumowanie)", "... et %d autres (tous nommés dans le bilan final)"},
    {"Na życzenie usunięto zmienione pliki:", "Fichiers modifiés supprimés à votre demande :"},
    {"Pliki w użyciu zostaną usunięte przy ponownym uruchomieniu komputera:",
     "Les fichiers en cours d'utilisation seront supprimés au prochain démarrage de l'ordinateur :"},
    {"To, co pozostało, opisuje zapis instalacji:\r\n%s\r\nUruchom deinstalator ponownie, aby dokończyć.",
     "Le journal d'installation décrit ce qui reste :\r\n%s\r\nRelancez la désinstallation pour terminer."},
    {"Folder programu %s:\r\n%s\r\njest dowiązaniem, prowadzi przez dowiązanie do innego miejsca lub jest zablokowany "
     "przez inny program.\r\nNic nie zostało usunięte.",
     "Le dossier de %s :\r\n%s\r\nest un lien, mène par un lien vers un autre emplacement ou est bloqué par un autre "
     "programme.\r\nRien n'a été supprimé."},
};

} // namespace

std::string_view TekstDeinstalki(TJezyk jezyk, TTekstDeinstalki numer)
{
    if (numer < 0 || numer >= kLiczbaTekstowDeinstalki) return {};
    return jezyk == jzFrancuski ? kTeksty[numer].Francuski : kTeksty[numer].Polski;
}
