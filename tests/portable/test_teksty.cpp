// Tests of the text catalogue and its transliteration, looking at the whole table.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <initializer_list>
#include <map>
#include <string>
#include <vector>

#include "texts/Format.h"
#include "texts/Transliteracja.h"
#include "texts/untInstalTeksty.h"

namespace {

// Every row the installer reads.
const std::vector<int> kRowsRead = {
    txtInstallerTitle, txtInstallationTitle, txtBack, txtNext, txtClose, txtCancel, txtFinish, txtAbort,
    txtStepOf, txtPageIntro, txtPageLicence, txtPageOptions, txtPageInstall, txtPageEnd, txtAskAbortInstall,
    txtWelcome, txtAcceptLicence, txtRejectLicence, txtInstallIn, txtChangeFolder, txtFreeSpace,
    txtRequiredSpace, txtOptDictionaries, txtOptStartMenu, txtOptDesktopTranslators,
    txtOptDesktopDictionaries, txtAskLowSpace, txtCannotCreateDir, txtOptAllUsers, txtAdminNote,
    txtInstalling, txtCopyingFiles, txtCreatingShortcuts, txtCreatingRegistry, txtFromPath, txtToPath,
    txtCancelledDeleting, txtDoneOk, txtDoneError, txtDoneAborted, txtAttention, txtYes, txtNo,
    txtQuestionCancel, txtSelectDirectory, txtOK, txtNewFolder, txtCannotCreateFolder, txtNewFolderTitle,
    txtNewFolderAdd, txtNewFolderCancel, txtCdTitle, txtCdPrompt,
};

// The arguments that callers pass, by kind; rows not named here get none.
const std::map<int, std::string> kCallerKinds = {
    {txtInstallerTitle, "s"}, {txtInstallationTitle, "s"}, {txtStepOf, "dds"}, {txtWelcome, "ss"},
    {txtFreeSpace, "s"}, {txtRequiredSpace, "s"}, {txtCannotCreateDir, "s"}, {txtInstalling, "s"},
    {txtFromPath, "s"}, {txtToPath, "s"}, {txtCannotCreateFolder, "s"}, {txtCdTitle, "s"},
    {txtCdPrompt, "s"},
};

const TJezyk kLanguages[] = {jzPolski, jzAngielski, jzFrancuski, jzNiemiecki, jzWloski, jzHiszpanski, jzRosyjski};

std::string CallerKinds(int row) {
    const auto it = kCallerKinds.find(row);
    return it == kCallerKinds.end() ? std::string() : it->second;
}

// Formats a cell with the arguments a caller passes for its row: the title for "%s", a step for "%d".
std::string FormatAsCaller(std::string_view templ, const std::string& kinds) {
    std::vector<FormatArg> args;
    for (char kind : kinds) args.push_back(kind == 's' ? FormatArg("Werbfranko") : FormatArg(3));
    switch (args.size()) {
        case 0: return Format(templ, {});
        case 1: return Format(templ, {args[0]});
        case 2: return Format(templ, {args[0], args[1]});
        default: return Format(templ, {args[0], args[1], args[2]});
    }
}

bool IsValidUtf8(std::string_view s) {
    for (std::size_t i = 0; i < s.size();) {
        const unsigned char lead = static_cast<unsigned char>(s[i]);
        std::size_t count = lead < 0x80 ? 0 : lead >= 0xC2 && lead <= 0xDF ? 1 : lead >= 0xE0 && lead <= 0xEF ? 2
                          : lead >= 0xF0 && lead <= 0xF4 ? 3 : 9;
        if (count == 9 || i + count >= s.size() + (count == 0)) return false;
        char32_t cp = lead & (0x7F >> count);
        for (std::size_t k = 1; k <= count; ++k) {
            const unsigned char c = static_cast<unsigned char>(s[i + k]);
            if ((c & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (c & 0x3F);
        }
        if ((count == 2 && cp < 0x800) || (count == 3 && (cp < 0x10000 || cp > 0x10FFFF)) ||
            (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        i += count + 1;
    }
    return true;
}

int Occurrences(const std::string& text, const std::string& word) {
    int n = 0;
    for (std::size_t at = text.find(word); at != std::string::npos; at = text.find(word, at + 1)) ++n;
    return n;
}

std::string WithoutPlaceholders(std::string_view s) {
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '%') ++i;
        else out += s[i];
    }
    return out;
}

}  // namespace

TEST(Teksty, EveryRowReadHasTextInEveryLanguage) {
    for (int row : kRowsRead)
        for (TJezyk j : kLanguages) EXPECT_FALSE(PobierzTekst(j, row).empty()) << "row " << row << " language " << +j;
}

TEST(Teksty, TextRowsAreExactlyTheRowsRead) {
    const std::span<const int> rows = TextRows();
    EXPECT_EQ(std::vector<int>(rows.begin(), rows.end()), kRowsRead);
}

TEST(Teksty, OtherNumbersAreEmptyInEveryLanguage) {
    std::vector<int> numbers = {0, -1, 341, 1000, INT_MIN, INT_MAX};
    for (int n = 1; n <= kTextCount; ++n)
        if (std::find(kRowsRead.begin(), kRowsRead.end(), n) == kRowsRead.end()) numbers.push_back(n);
    for (int n : numbers)
        for (TJezyk j : kLanguages) {
            EXPECT_EQ(PobierzTekst(j, n), "") << "number " << n << " language " << +j;
            EXPECT_TRUE(TextCell(j, n).empty());
        }
}

TEST(Teksty, LanguagesWithoutColumnReadPolish) {
    for (int code : {7, 8, 12, 255})
        for (int row : kRowsRead)
            EXPECT_EQ(PobierzTekst(static_cast<TJezyk>(code), row), PobierzTekst(jzPolski, row))
                << "language " << code << " row " << row;
}

// Known cells, written out here: a lookup that reads the wrong row or column, or cuts a text, shows.
TEST(Teksty, LookupGivesTheCatalogueText) {
    struct Cell {
        int Row;
        std::vector<std::string> Texts;  // Polish, English, French, German, Italian, Spanish, Russian
    };
    const Cell cells[] = {
        {txtBack, {"<<  Wstecz", "<<  Back", "<<  En arriere", "<<  Zurück", "<<  Indietro", "<<  Atrás",
                   "<<  Встеч"}},
        {txtFinish, {"Zakończ", "Finish", "Quitter", "Beenden", "Termina", "Finalizar", "Законьч"}},
        {txtAbort, {"Przerwij", "Cancel", "Annuler", "Unterbrechen", "Interrompi", "Cancelar",
                    Transliterate("Przerwij")}},
        {txtYes, {"Tak", "Yes", "Oui", "Ja", "Si", "Si", "Так"}},
        {txtNo, {"Nie", "No", "Non", "Nein", "No", "No", "Не"}},
        {txtOK, {"OK", "OK", "OK", "OK", "OK", "OK", "ОК"}},
        {txtStepOf, {"Krok %d z %d: %s", "Step %d of %d: %s", "Pas %d de %d: %s", "Schritt %d von %d: %s",
                     "Passo %d di %d: %s", "Paso %d de %d: %s", "Крок %d з %d: %s"}},
        {txtPageEnd, {"Koniec instalacji", "End of installation", "Fin de l'installation",
                      "Ende der Installation", "Fine d'istallazione", "Fin de la instalación",
                      "Конец инсталации"}},
        {txtToPath, {"Do: %s", "To: %s", "À: %s", "Zu: %s", "Al: %s", "A: %s", "До: %s"}},
        {txtCannotCreateFolder, {"Nie można utworzyć katalogu \"%s\".", "Folder \"%s\" cannot be created.",
                                 "On ne peut pas créer le répertoire \"%s\".",
                                 "Das Verzeichnis \"%s\" kann nicht gebildet werden.",
                                 "Non si può creare il catalogo \"%s\".", "Folder \"%s\" no puede ser creado.",
                                 "Не можна утвожиць каталогу \"%s\"."}},
        // French has no translation of its own: the Polish wording, without the untranslated mark.
        {txtCdTitle, {"Instalator", "%s - Instalator", "Instalator", "Installationsprogramm", "%s - Istallatore",
                      "%s - Instalador", "%s - Инсталатор"}},
    };
    for (const Cell& c : cells)
        for (TJezyk j : kLanguages)
            EXPECT_EQ(PobierzTekst(j, c.Row), c.Texts[j]) << "row " << c.Row << " language " << +j;

    // Long rows, with their line breaks.
    EXPECT_EQ(PobierzTekst(jzPolski, txtDoneOk),
              "Instalacja została pomyślnie zakończona.\r\n\r\nDziękujemy za zainstalowanie naszego programu "
              "i prosimy o wysłanie karty rejestracyjnej.");
    EXPECT_EQ(PobierzTekst(jzAngielski, txtDoneError),
              "An error occurred during the installation. Some possible causes are:\r\n\r\n1. There is "
              "insufficient disk space to install the program.\r\n2. Your CD-ROM drive may require cleaning.");
    EXPECT_EQ(PobierzTekst(jzFrancuski, txtDoneAborted),
              "L'installation est interrompue sur le désir de l'utilisateur.");
    EXPECT_EQ(PobierzTekst(jzFrancuski, txtAskAbortInstall),
              "L'installation n'est pas finie. Voulez-vous interrompre l'installation?");

    // The edges of the table and of the languages.
    EXPECT_EQ(PobierzTekst(jzAngielski, 1), "%s - Installer");
    EXPECT_EQ(PobierzTekst(jzAngielski, kTextCount), "");
    EXPECT_EQ(PobierzTekst(jzAngielski, kTextCount + 1), "");
    EXPECT_EQ(PobierzTekst(jzAngielski, 0), "");
    EXPECT_EQ(PobierzTekst(static_cast<TJezyk>(7), txtNext), "Dalej  >>");
    EXPECT_EQ(PobierzTekst(static_cast<TJezyk>(255), txtCancel), "Anuluj");
}

TEST(Teksty, EveryCellIsValidUtf8WithCrLfPairsOnly) {
    for (int row : TextRows())
        for (TJezyk j : kLanguages) {
            const std::string_view cell = TextCell(j, row);
            EXPECT_TRUE(IsValidUtf8(cell)) << "row " << row << " language " << +j;
            for (std::size_t i = 0; i < cell.size(); ++i) {
                if (cell[i] == '\r') {
                    EXPECT_TRUE(i + 1 < cell.size() && cell[i + 1] == '\n') << "row " << row;
                }
                if (cell[i] == '\n') {
                    EXPECT_TRUE(i > 0 && cell[i - 1] == '\r') << "row " << row;
                }
            }
        }
}

TEST(Teksty, NoCellShowsTheUntranslatedMark) {
    for (int row : TextRows())
        for (TJezyk j : kLanguages)
            EXPECT_EQ(TextCell(j, row).find("×"), std::string_view::npos) << "row " << row << " language " << +j;
}

// A caller passes its row's arguments in order; a cell may drop trailing ones, never add or reorder them.
TEST(Teksty, PlaceholdersArePrefixesOfTheCallersArguments) {
    for (int row : TextRows()) {
        const std::string caller = CallerKinds(row);
        std::string fullest;
        for (TJezyk j : kLanguages) {
            const std::string_view cell = TextCell(j, row);
            std::string kinds;
            ASSERT_NO_THROW(kinds = PlaceholderKinds(cell)) << "row " << row << " language " << +j;
            EXPECT_EQ(caller.compare(0, kinds.size(), kinds), 0)
                << "row " << row << " language " << +j << ": " << kinds << " vs " << caller;
            if (row != txtWelcome && row != txtCdTitle) {
                EXPECT_EQ(kinds, caller) << "row " << row << " language " << +j << ": only 61 and 301 drop one";
            }
            EXPECT_NO_THROW(FormatAsCaller(cell, caller)) << "row " << row << " language " << +j;
            if (kinds.size() > fullest.size()) fullest = kinds;
        }
        EXPECT_EQ(fullest, caller) << "row " << row << ": no translation takes every argument";
    }
}

TEST(Teksty, WelcomeNamesTheTitleOnceInFrenchAndGerman) {
    const std::map<TJezyk, int> expected = {{jzPolski, 2}, {jzAngielski, 2}, {jzFrancuski, 1},
                                            {jzNiemiecki, 1}, {jzWloski, 2}, {jzHiszpanski, 2},
                                            {jzRosyjski, 2}};
    for (const auto& [j, count] : expected)
        EXPECT_EQ(Occurrences(Format(PobierzTekst(j, txtWelcome), {"Werbfranko", "Werbfranko"}), "Werbfranko"),
                  count)
            << "language " << +j;
}

TEST(Teksty, CdTitleNamesTheTitleWhereTheTranslationHasIt) {
    const auto cdTitle = [](TJezyk j) { return Format(PobierzTekst(j, txtCdTitle), {"Werbfranko"}); };
    EXPECT_EQ(cdTitle(jzPolski), "Instalator");
    EXPECT_EQ(cdTitle(jzAngielski), "Werbfranko - Instalator");
    EXPECT_EQ(cdTitle(jzFrancuski), "Instalator");
    EXPECT_EQ(cdTitle(jzNiemiecki), "Installationsprogramm");
    EXPECT_EQ(cdTitle(jzWloski), "Werbfranko - Istallatore");
    EXPECT_EQ(cdTitle(jzHiszpanski), "Werbfranko - Instalador");
    EXPECT_EQ(cdTitle(jzRosyjski), "Werbfranko - Инсталатор");
}

TEST(Teksty, SpotChecks) {
    EXPECT_EQ(PobierzTekst(jzFrancuski, txtFinish), "Quitter");
    EXPECT_EQ(PobierzTekst(jzNiemiecki, txtClose), "Schließen");
    EXPECT_EQ(PobierzTekst(jzWloski, txtInstallerTitle), "%s – Istallatore");
    EXPECT_EQ(PobierzTekst(jzHiszpanski, txtInstallationTitle), "%s – Instalación");
    EXPECT_EQ(PobierzTekst(jzPolski, txtInstallIn), " Zainstaluj w katalogu:  ");
    EXPECT_EQ(PobierzTekst(jzAngielski, txtAskLowSpace),
              "There is too little disk space in the selected directory.\r\nDo you want to continue ?");
    EXPECT_NE(PobierzTekst(jzAngielski, txtWelcome).find("Unathorised copying"), std::string::npos);
    EXPECT_NE(PobierzTekst(jzFrancuski, txtWelcome).find("applications'avant"), std::string::npos);
    EXPECT_EQ(Format(PobierzTekst(jzPolski, txtStepOf), {2, 5, "Umowa"}), "Krok 2 z 5: Umowa");
}

TEST(Teksty, NewRowsHaveTheirButtonTexts) {
    EXPECT_EQ(PobierzTekst(jzPolski, txtQuestionCancel), "Anuluj");
    EXPECT_EQ(PobierzTekst(jzPolski, txtNewFolderTitle), "Nowy katalog");
    EXPECT_EQ(PobierzTekst(jzPolski, txtNewFolderAdd), "Utwórz");
    EXPECT_EQ(PobierzTekst(jzAngielski, txtNewFolderAdd), "Create");
    EXPECT_EQ(PobierzTekst(jzFrancuski, txtNewFolderAdd), "Créer");
    // Cancel buttons agree with each other, the new-folder dialog with the button that opens it.
    for (TJezyk j : kLanguages) {
        EXPECT_EQ(PobierzTekst(j, txtQuestionCancel), PobierzTekst(j, txtCancel)) << "language " << +j;
        EXPECT_EQ(PobierzTekst(j, txtNewFolderCancel), PobierzTekst(j, txtCancel)) << "language " << +j;
        EXPECT_EQ(PobierzTekst(j, txtNewFolderTitle), PobierzTekst(j, txtNewFolder)) << "language " << +j;
    }
}

TEST(Teksty, UntranslatedFrenchCellsHoldThePolishWording) {
    EXPECT_EQ(PobierzTekst(jzFrancuski, txtAdminNote), PobierzTekst(jzPolski, txtAdminNote));
    EXPECT_EQ(PobierzTekst(jzFrancuski, txtCdTitle), "Instalator");
}

TEST(Teksty, RussianIsThePolishWordingInCyrillic) {
    for (int row : TextRows()) {
        const std::string source = row == txtCdTitle ? "%s - Instalator" : PobierzTekst(jzPolski, row);
        EXPECT_EQ(PobierzTekst(jzRosyjski, row), Transliterate(source)) << "row " << row;
    }
}

TEST(Teksty, RussianHasNoLatinLettersOutsidePlaceholders) {
    for (int row : TextRows()) {
        const std::string text = WithoutPlaceholders(TextCell(jzRosyjski, row));
        for (std::size_t i = 0; i < text.size(); ++i) {
            const unsigned char c = static_cast<unsigned char>(text[i]);
            EXPECT_FALSE((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) << "row " << row << ": " << text;
            // Lead bytes 0xC3..0xC9 start U+00C0..U+027F, the accented Latin letters.
            EXPECT_FALSE(c >= 0xC3 && c <= 0xC9) << "row " << row << ": " << text;
        }
    }
}

TEST(Transliteracja, LetterGroups) {
    EXPECT_EQ(Transliterate("szczyt szczaw sz cz ch rz ży"), "щит щав ш ч х ж жи");
    EXPECT_EQ(Transliterate("ja je ju ją ję jó ia ie iu io ią ię ió"), "я е ю ён ен ю я е ю ё ён ен ю");
    EXPECT_EQ(Transliterate("ą ę ł ó ś ź ż ć ń y w"), "он ен л у сь зь ж ць нь ы в");
    EXPECT_EQ(Transliterate("Zakończ"), "Законьч");
    EXPECT_EQ(Transliterate("wszystkich użytkowników"), "вшистких ужитковникув");
    EXPECT_EQ(Transliterate("instalacji"), "инсталации");
    EXPECT_EQ(Transliterate("qvx"), "квкс");
}

TEST(Transliteracja, CapitalsStayCapitals) {
    EXPECT_EQ(Transliterate("Szczecin"), "Щецин");
    EXPECT_EQ(Transliterate("Ósmy Łódź Żaba Ćma"), "Усмы Лудзь Жаба Цьма");
    EXPECT_EQ(Transliterate("Ja JA ĄB Ąb ŚW"), "Я Я ОНБ Онб СЬВ");
    EXPECT_EQ(Transliterate("CD-ROM OK"), "ЦД-РОМ ОК");
}

TEST(Transliteracja, KeepsPlaceholdersDigitsPunctuationAndLineBreaks) {
    EXPECT_EQ(Transliterate("Krok %d z %d: %s"), "Крок %d з %d: %s");
    EXPECT_EQ(Transliterate("100%% (1.) \"x\" ?\r\n<<  >> – ..."), "100%% (1.) \"кс\" ?\r\n<<  >> – ...");
    EXPECT_EQ(Transliterate("ends with %"), "ендс витх %");
    EXPECT_EQ(Transliterate(""), "");
}

TEST(Transliteracja, PassesMalformedBytesThrough) {
    const std::string bad = "a\xC5" "b\xFF" "c\xE2\x80";
    EXPECT_EQ(Transliterate(bad), "а\xC5" "б\xFF" "ц\xE2\x80");
}

TEST(Transliteracja, LengthAndIntoAgreeWithTransliterate) {
    static_assert(TransliteratedLength("Zakończ") == std::string_view("Законьч").size());
    for (int row : TextRows()) {
        const std::string polish = PobierzTekst(jzPolski, row);
        std::string buffer(TransliteratedLength(polish), '\0');
        EXPECT_EQ(TransliterateInto(polish, buffer.data()), buffer.size());
        EXPECT_EQ(buffer, Transliterate(polish)) << "row " << row;
    }
}
