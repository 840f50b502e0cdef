// The text catalogue's data and lookup; the Russian column is computed from the Polish one at compile time.
#include "texts/untInstalTeksty.h"

#include <array>
#include <cstddef>

#include "texts/Transliteracja.h"

namespace {

constexpr int kWrittenLanguages = 6;  // every column but Russian is written out

struct TWiersz {
    int Numer;
    // Polish, English, French, German, Italian, Spanish; nullptr: no translation, the Polish wording.
    const char* Teksty[kWrittenLanguages];
    // What the Russian cell writes in Cyrillic when it is not the Polish text.
    const char* ZrodloRosyjskie = nullptr;
};

// In ascending order of numbers.
constexpr TWiersz kWiersze[] = {
    {txtInstallerTitle, {"%s - Instalator", "%s - Installer", "%s - Logiciel d'installation",
        "Installationsprogramm - %s", "%s – Istallatore", "%s – Instalador"}},
    {txtInstallationTitle, {"%s - Instalacja", "%s - Installer", "%s - Installation",
        "Installation - %s", "%s – Istallazione", "%s – Instalación"}},
    {txtBack, {"<<  Wstecz", "<<  Back", "<<  En arriere", "<<  Zurück", "<<  Indietro", "<<  Atrás"}},
    {txtNext, {"Dalej  >>", "Next  >>", "En avant  >>", "Weiter  >>", "Avanti  >>", "Siguiente  >>"}},
    {txtClose, {"Zamknij", "Close", "Fermer", "Schließen", "Chiudi", "Cerrar"}},
    {txtCancel, {"Anuluj", "Cancel", "Annuler", "Abbrechen", "Annulla", "Anular"}},
    {txtFinish, {"Zakończ", "Finish", "Quitter", "Beenden", "Termina", "Finalizar"}},
    {txtAbort, {"Przerwij", "Cancel", "Annuler", "Unterbrechen", "Interrompi", "Cancelar"}},

    {txtStepOf, {"Krok %d z %d: %s", "Step %d of %d: %s", "Pas %d de %d: %s", "Schritt %d von %d: %s",
        "Passo %d di %d: %s", "Paso %d de %d: %s"}},
    {txtPageIntro, {"Wstęp", "Intro", "Entrée", "Eintritt", "Introduzione", "Introducción"}},
    {txtPageLicence, {"Umowa licencyjna", "Licence agreement", "Contrat de concession", "Lizenzvertrag",
        "Contratto di licenza", "Contrato de licencia"}},
    {txtPageOptions, {"Opcje instalacji", "Installation options", "Options de l'installation",
        "Installationsoptionen", "Opzioni d'istallazione", "Opciones de instalación"}},
    {txtPageInstall, {"Instalacja", "Installation", "Installation", "Installation", "Istallazione",
        "Instalación"}},
    {txtPageEnd, {"Koniec instalacji", "End of installation", "Fin de l'installation", "Ende der Installation",
        "Fine d'istallazione", "Fin de la instalación"}},

    {txtAskAbortInstall, {
        "Instalacja nie została zakończona. Czy chcesz przerwać instalację ?",
        "The installation process has not finished. Do you want to cancel the installation ?",
        "L'installation n'est pas finie. Voulez-vous interrompre l'installation?",
        "Die Installation ist noch nicht abgeschlossen. Möchten Sie die Installation abbrechen?",
        "L'installazione non è stata completata. Annullare l'installazione?",
        "La instalación no ha finalizado. ¿Desea cancelar la instalación?"}},

    {txtWelcome, {
        "Witamy w programie instalacyjnym produktu \"%s\". \r\n\r\n"
        "Ten program zainstaluje \"%s\" na Twoim komputerze. \r\n"
        "Zaleca się zakończenie wszystkich aplikacji przed instalacją. \r\n\r\n"
        "Uwaga: Program ten jest chroniony przez prawo autorskie i umowy międzynarodowe. \r\n"
        "Nieautoryzowane kopiowanie lub dystrybucja tego programu lub jego części jest zabronione.",

        "Welcome in the installation program of '%s'. \r\n\r\n"
        "This program will install '%s' on your computer. \r\n"
        "It is advisable to close all running applications on your computer. \r\n\r\n"
        "Warning: This program is protected by copyright law and international agreements. \r\n"
        "Unathorised copying or distribution of this program or its part is forbidden.",

        "Bienvenu au programme d'installation du \"%s\".\r\n\r\n"
        "Nous recommandons que vous quittiez toutes les applications'avant d'installer.\r\n\r\n"
        "Attention: le programme est protégé par le droit d'auteur et les conventions internationales.\r\n"
        "Il est interdit de copier ou distribuer ce programme ou sa partie sans autorisation.",

        "Willkommen im Installationsprogramm von \"%s\".\r\n\r\n"
        "Dieses Programm installiert die Software auf Ihrem Computer.\r\n"
        "Es wird empfohlen, alle laufenden Anwendungen auf Ihrem Computer zu beenden.\r\n\r\n"
        "Warnung: Dieses Programm ist durch das Urheberrecht und internationale Verträge geschützt.\r\n"
        "Das unerlaubte Kopieren oder Verbreiten dieses Programms oder von Teilen davon ist verboten.",

        "Benvenuti nel programma di installazione di \"%s\".\r\n\r\n"
        "Questo programma installerà \"%s\" sul computer.\r\n"
        "Si consiglia di chiudere tutte le applicazioni in esecuzione sul computer.\r\n\r\n"
        "Attenzione: questo programma è protetto dalle leggi sul diritto d'autore e dai trattati "
        "internazionali.\r\n"
        "La copia o la distribuzione non autorizzata di questo programma o di parte di esso è vietata.",

        "Bienvenido al programa de instalación de \"%s\".\r\n\r\n"
        "Este programa instalará \"%s\" en su ordenador.\r\n"
        "Se recomienda cerrar todas las aplicaciones que se estén ejecutando en su ordenador.\r\n\r\n"
        "Advertencia: este programa está protegido por las leyes de derechos de autor y por tratados "
        "internacionales.\r\n"
        "Queda prohibida la copia o distribución no autorizada de este programa o de cualquier parte "
        "del mismo."}},

    {txtAcceptLicence, {"Akceptuję umowę", "I accept the agreement", "J'accepte", "Ich akzeptiere",
        "Accetto il contratto", "Acepto los términos del acuerdo"}},
    {txtRejectLicence, {"Nie akceptuję umowy", "I do not accept the agreement", "Je n'accepte pas",
        "Ich akzeptiere nicht", "Non accetto il contratto", "no acepto los términos del acuerdo"}},

    {txtInstallIn, {" Zainstaluj w katalogu:  ", " Install in directory:  ", " Installer dans le répertoire:  ",
        " Instalieren ins Verzeichnis:  ", " Installa nel catalogo:  ", " Instalar en directorio:  "}},
    {txtChangeFolder, {"Zmień...", "Change...", "Changer...", "Wählen...", "Cambia...", "Modificar..."}},
    {txtFreeSpace, {"Wolne miejsce na dysku: %s", "Available space: %s", "Place libre du disque: %s",
        "Freier Platz auf der Festplatte: %s", "Spazio libero sul disco: %s", "Espacio disponible: %s"}},
    {txtRequiredSpace, {"Miejsce potrzebne do instalacji: %s", "Required space: %s",
        "Place nécessaire pour l'installation: %s", "Platz erforderlich für die Installation: %s",
        "Lo spazio necessario per l'istallazione: %s", "Espacio requerido: %s"}},
    {txtOptDictionaries, {"Zainstaluj słowniki", "Install dictionaries", "Installer aussi les dictionnaires",
        "Sollen die Wörterbücher installiert werden?", "Installa i dizionari", "Instalar diccionarios"}},
    {txtOptStartMenu, {"Utwórz grupę w Menu Start", "Create a group in Start Menu",
        "Créer un groupe dans Menu Start", "Möchten Sie die Programmgruppe dem Startmenü hinzufügen?",
        "Crea un gruppo al Menu Start", "Crear grupo en Menu Start"}},
    {txtOptDesktopTranslators, {"Utwórz skróty do translatorów na pulpicie",
        "Create desktop shortcuts for translators", "Ajouter les raccourcis des traducteurs",
        "Abkürzungen des Translators auf Desktop hinzufügen?",
        "Crea dei collegamenti dei traduttori sulla scrivania (desktop)",
        "Crear accesos directos para los taductores"}},
    {txtOptDesktopDictionaries, {"Utwórz skróty do słowników na pulpicie",
        "Create desktop shortcuts for dictionaries", "Ajouter le raccourcis des dictionnaires",
        "Abkürzungen der Wörterbücher auf Desktop hinzufügen?",
        "Crea dei collegamenti dei dizionari sulla scrivania (desktop)",
        "Crear accesos directos para los direccionarios"}},
    {txtAskLowSpace, {
        "We wskazanej lokalizacji jest zbyt mało miejsca do zainstalowania programu.\r\nCzy chcesz kontynuować ?",
        "There is too little disk space in the selected directory.\r\nDo you want to continue ?",
        "Dans la localisation sélectionnée il y a trop peu de place pour installer le logiciel. "
        "Voulez-vous continuer ?",
        "Im ausgewählten Verzeichnis ist zu wenig Speicherplatz vorhanden.\r\nMöchten Sie trotzdem fortfahren?",
        "Lo spazio su disco nella cartella selezionata è insufficiente.\r\nContinuare comunque?",
        "No hay suficiente espacio en disco en el directorio seleccionado.\r\n¿Desea continuar?"}},
    {txtCannotCreateDir, {
        "Nie można utworzyć katalogu \"%s\".\r\nWybierz inny katalog.",
        "Directory '%s' cannot be created. Select another directory.",
        "On ne peut pas créer du répertoire \"%s\". Choisissez SVP un autre répertoire.",
        "Das Verzeichnis \"%s\" kann nicht erstellt werden. Bitte wählen Sie ein anderes Verzeichnis.",
        "Impossibile creare la cartella \"%s\". Selezionare un'altra cartella.",
        "No se puede crear el directorio \"%s\". Seleccione otro directorio."}},
    {txtOptAllUsers, {"Zainstaluj skróty dla wszystkich użytkowników", "Install shortcuts for all users",
        "Installer les raccourcis pour tous les utilisateurs", "Abkürzungen für alle Benutzer installieren",
        "Istalla dei collegamenti per tutti gli utenti", "Instalación de atajos para todos los usuarios"}},
    {txtAdminNote, {"(musisz mieć uprawnienia administratora)", "(you must have the administrator's privileges)",
        nullptr, "(Sie benötigen Administratorrechte)", "(sono necessari i privilegi di amministratore)",
        "(necesita privilegios de administrador)"}},

    {txtInstalling, {"Instaluję \"%s\"", "Installing '%s'", "Installation du \"%s\"", "Installieren \"%s\"",
        "Innstallo \"%s\"", "Instalando \"%s\""}},
    {txtCopyingFiles, {"Kopiowanie plików ...", "Copying files ...", "Les fichiers sont copiés ...",
        "Kopieren der Dateien", "Copiatura dei file...", "Copiando archivos..."}},
    {txtCreatingShortcuts, {"Tworzenie skrótów ...", "Creating shortcuts ...", "Les raccourcis sont créés ...",
        "Abkürzungen werden gebildet", "Creazione delle sigle...", "Creando atajos..."}},
    {txtCreatingRegistry, {"Tworzenie zapisów w rejestrze...", "Creating registry entries...",
        "Actualisation du registre...", "Registereintragungen werden gebildet...",
        "Creazione delle iscrizioni nel registro...", "Creando registro de entradas..."}},
    {txtFromPath, {"Z: %s", "From: %s", "De: %s", "Aus: %s", "Dal: %s", "De: %s"}},
    {txtToPath, {"Do: %s", "To: %s", "À: %s", "Zu: %s", "Al: %s", "A: %s"}},
    {txtCancelledDeleting, {
        "Instalacja anulowana - usuwam skopiowane pliki ...",
        "Installation cancelled - deleting copied files ...",
        "L'installation annulée - les fichiers copiés sont supprimés ...",
        "Installation abgebrochen - kopierte Dateien werden gelöscht ...",
        "Installazione annullata - eliminazione dei file copiati ...",
        "Instalación cancelada - eliminando los archivos copiados ..."}},

    {txtDoneOk, {
        "Instalacja została pomyślnie zakończona.\r\n\r\n"
        "Dziękujemy za zainstalowanie naszego programu i prosimy o wysłanie karty rejestracyjnej.",
        "Installation has finished successfully.\r\n\r\n"
        "Thank you for choosing our product and please send us back the registration form.",
        "Installation a bien fini.\r\n\r\n"
        "Nous remercions de l'installation de notre programme et prions de nous envoyer votre carte "
        "d'enregistrement.",
        "Die Installation wurde erfolgreich abgeschlossen.\r\n\r\n"
        "Vielen Dank, dass Sie sich für unser Produkt entschieden haben. "
        "Bitte senden Sie uns die Registrierungskarte zurück.",
        "L'installazione è stata completata correttamente.\r\n\r\n"
        "Grazie per aver scelto il nostro prodotto. Vi preghiamo di rispedirci il modulo di registrazione.",
        "La instalación ha finalizado correctamente.\r\n\r\n"
        "Gracias por elegir nuestro producto. Le rogamos que nos devuelva el formulario de registro."}},
    {txtDoneError, {
        "Wystąpił błąd podczas instalacji. Możliwe przyczyny to:\r\n\r\n"
        "1. Sprawdź, czy na dysku jest wystarczająca ilość miejsca.\r\n"
        "2. Twój napęd CD-ROM może wymagać czyszczenia.",
        "An error occurred during the installation. Some possible causes are:\r\n\r\n"
        "1. There is insufficient disk space to install the program.\r\n"
        "2. Your CD-ROM drive may require cleaning.",
        "Erreur d'installation. Raisons possibles:\r\n\r\n"
        "1. Verifiez s'il y a de la place suffisante dans le disque.\r\n"
        "2. Il est possible qu'il faut nettoyer votre lecteur CD-ROM.",
        "Während der Installation ist ein Fehler aufgetreten. Mögliche Ursachen:\r\n\r\n"
        "1. Der Speicherplatz auf der Festplatte reicht für die Installation des Programms nicht aus.\r\n"
        "2. Ihr CD-ROM-Laufwerk muss möglicherweise gereinigt werden.",
        "Si è verificato un errore durante l'installazione. Alcune possibili cause:\r\n\r\n"
        "1. Lo spazio su disco non è sufficiente per installare il programma.\r\n"
        "2. Potrebbe essere necessario pulire l'unità CD-ROM.",
        "Se ha producido un error durante la instalación. Algunas causas posibles son:\r\n\r\n"
        "1. No hay suficiente espacio en disco para instalar el programa.\r\n"
        "2. Es posible que su unidad de CD-ROM necesite una limpieza."}},
    {txtDoneAborted, {
        "Instalacja została przerwana na życzenie użytkownika.",
        "Installation was cancelled on user's request.",
        "L'installation est interrompue sur le désir de l'utilisateur.",
        "Die Installation wurde auf Wunsch des Benutzers abgebrochen.",
        "L'installazione è stata annullata su richiesta dell'utente.",
        "La instalación se ha cancelado a petición del usuario."}},

    {txtAttention, {"Uwaga", "Attention", "Attention", "Achtung", "Attenzione", "Atención"}},
    {txtYes, {"Tak", "Yes", "Oui", "Ja", "Si", "Si"}},
    {txtNo, {"Nie", "No", "Non", "Nein", "No", "No"}},
    // The Cancel button of the question dialog says what the other Cancel buttons say.
    {txtQuestionCancel, {"Anuluj", "Cancel", "Annuler", "Abbrechen", "Annulla", "Anular"}},

    {txtSelectDirectory, {"Wybierz katalog", "Select directory", "Choisissez un répertoire", "Verzeichnis",
        "Scegli il catalogo", "Seleccionar directorio"}},
    {txtOK, {"OK", "OK", "OK", "OK", "OK", "OK"}},
    {txtNewFolder, {"Nowy katalog", "New folder", "Nouveau répertoire", "Neues Verzeichnis", "Nuovo catalogo",
        "Nuevo folder"}},
    {txtCannotCreateFolder, {"Nie można utworzyć katalogu \"%s\".", "Folder \"%s\" cannot be created.",
        "On ne peut pas créer le répertoire \"%s\".", "Das Verzeichnis \"%s\" kann nicht gebildet werden.",
        "Non si può creare il catalogo \"%s\".", "Folder \"%s\" no puede ser creado."}},
    // The new-folder dialog is titled like the button that opens it.
    {txtNewFolderTitle, {"Nowy katalog", "New folder", "Nouveau répertoire", "Neues Verzeichnis",
        "Nuovo catalogo", "Nuevo folder"}},
    {txtNewFolderAdd, {"Utwórz", "Create", "Créer", "Erstellen", "Crea", "Crear"}},
    {txtNewFolderCancel, {"Anuluj", "Cancel", "Annuler", "Abbrechen", "Annulla", "Anular"}},

    {txtCdTitle, {"Instalator", "%s - Instalator", nullptr, "Installationsprogramm", "%s - Istallatore",
        "%s - Instalador"}, "%s - Instalator"},
    {txtCdPrompt, {
        "Witamy w programie instalacyjnym produktu \"%s\". \r\n\r\n"
        "Proszę włożyć do napędu płytę CD z programem, wybrać napęd i nacisnąć OK:",
        "Welcome in the installation program of '%s'.\r\n\r\n"
        "Please insert CD-ROM with the program files, choose the drive and click OK:",
        "Bienvenue dans le programme d'installation de \"%s\".\r\n\r\n"
        "Veuillez insérer le CD-ROM contenant les fichiers du programme, choisir le lecteur et cliquer "
        "sur OK\u00A0:",
        "Willkommen im Installationsprogramm von \"%s\".\r\n\r\n"
        "Bitte legen Sie die CD-ROM mit den Programmdateien ein, wählen Sie das Laufwerk aus und klicken "
        "Sie auf OK:",
        "Benvenuti nel programma di installazione di \"%s\".\r\n\r\n"
        "Inserire il CD-ROM con i file del programma, selezionare l'unità e fare clic su OK:",
        "Bienvenido al programa de instalación de \"%s\".\r\n\r\n"
        "Inserte el CD-ROM con los archivos del programa, seleccione la unidad y haga clic en OK:"}},
};

constexpr std::size_t kRowCount = std::size(kWiersze);

constexpr bool RowsAscendingInRange() {
    int previous = 0;
    for (const TWiersz& w : kWiersze) {
        if (w.Numer <= previous || w.Numer > kTextCount || w.Teksty[jzPolski] == nullptr) return false;
        previous = w.Numer;
    }
    return true;
}
static_assert(RowsAscendingInRange(), "rows must be ascending, within 1..kTextCount, with a Polish text");

constexpr std::string_view Cell(const TWiersz& w, int jezyk) {
    const char* text = w.Teksty[jezyk];
    return text != nullptr ? text : w.Teksty[jzPolski];
}

constexpr std::string_view RussianSource(const TWiersz& w) {
    return w.ZrodloRosyjskie != nullptr ? w.ZrodloRosyjskie : w.Teksty[jzPolski];
}

// The Russian column: every row's transliteration, one after another, each ended by a NUL.
constexpr std::size_t kRussianSize = [] {
    std::size_t n = 0;
    for (const TWiersz& w : kWiersze) n += TransliteratedLength(RussianSource(w)) + 1;
    return n;
}();

struct TRussianColumn {
    std::array<char, kRussianSize> Chars{};
    std::array<std::size_t, kRowCount> Start{};
    std::array<std::size_t, kRowCount> Length{};
};

constexpr TRussianColumn kRosyjski = [] {
    TRussianColumn column;
    std::size_t at = 0;
    for (std::size_t i = 0; i < kRowCount; ++i) {
        column.Start[i] = at;
        column.Length[i] = TransliterateInto(RussianSource(kWiersze[i]), column.Chars.data() + at);
        at += column.Length[i] + 1;
    }
    return column;
}();

using TTablica = std::array<std::array<std::string_view, kLanguageCount>, kTextCount + 1>;

// Indexed by text number and language; row 0 and the gaps between groups stay empty.
constexpr TTablica Teksty = [] {
    TTablica table{};
    for (std::size_t i = 0; i < kRowCount; ++i) {
        auto& row = table[static_cast<std::size_t>(kWiersze[i].Numer)];
        for (int j = 0; j < kWrittenLanguages; ++j) row[static_cast<std::size_t>(j)] = Cell(kWiersze[i], j);
        row[jzRosyjski] = std::string_view(kRosyjski.Chars.data() + kRosyjski.Start[i], kRosyjski.Length[i]);
    }
    return table;
}();

constexpr std::array<int, kRowCount> kNumery = [] {
    std::array<int, kRowCount> numbers{};
    for (std::size_t i = 0; i < kRowCount; ++i) numbers[i] = kWiersze[i].Numer;
    return numbers;
}();

}  // namespace

std::string_view TextCell(TJezyk jezyk, int numer) noexcept {
    if (numer < 1 || numer > kTextCount) return {};
    const unsigned column = jezyk < kLanguageCount ? jezyk : jzPolski;
    return Teksty[static_cast<std::size_t>(numer)][column];
}

std::string PobierzTekst(TJezyk jezyk, int numer) {
    return std::string(TextCell(jezyk, numer));
}

std::span<const int> TextRows() noexcept {
    return kNumery;
}
