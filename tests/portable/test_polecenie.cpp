// The command line of unattended runs: what administrators type, and what they get wrong.
#include <gtest/gtest.h>

#include "unattended/Polecenie.h"

namespace {

TPolecenie Instalator(std::vector<std::string> a)
{
    return CzytajPolecenie(a, TProgram::Instalator);
}

} // namespace

TEST(Polecenie, OptionsInAnyOrderAndLetterCaseWithSlashOrDash)
{
    const TPolecenie p = Instalator({"-verysilent", "/Dir=C:\\Gry\\Wérb Łódź 2", "/lang=FR", "-NoDictionaries",
                                     "/SOURCE=E:\\", "/log=C:\\log\\werb.log", "/suppressmsgboxes"});
    EXPECT_TRUE(p.Blad.empty()) << p.Blad;
    EXPECT_TRUE(p.Opcje);
    EXPECT_EQ(p.Tryb, TTryb::BardzoCichy);
    EXPECT_TRUE(p.BezKomunikatow);
    EXPECT_TRUE(p.BezPytan());
    EXPECT_EQ(p.Katalog, "C:\\Gry\\Wérb Łódź 2");
    EXPECT_EQ(p.Jezyk, jzFrancuski);
    EXPECT_TRUE(p.BezSlownikow);
    EXPECT_EQ(p.Zrodlo, "E:\\");
    EXPECT_EQ(p.Log, "C:\\log\\werb.log");
}

TEST(Polecenie, NothingGivenIsTheWizardAsBefore)
{
    const TPolecenie p = Instalator({});
    EXPECT_FALSE(p.Opcje);
    EXPECT_EQ(p.Tryb, TTryb::Okna);
    EXPECT_FALSE(p.BezPytan());
    EXPECT_FALSE(p.Log);
    EXPECT_FALSE(p.Katalog);
}

TEST(Polecenie, SilentAsksOnlyWhenMessagesAreNotSuppressedAndVerySilentNeverAsks)
{
    EXPECT_FALSE(Instalator({"/SILENT"}).BezPytan());
    EXPECT_TRUE(Instalator({"/SILENT", "/SUPPRESSMSGBOXES"}).BezPytan());
    EXPECT_TRUE(Instalator({"/VERYSILENT"}).BezPytan());
    // The quieter mode wins whatever the order.
    EXPECT_EQ(Instalator({"/VERYSILENT", "/SILENT"}).Tryb, TTryb::BardzoCichy);
}

TEST(Polecenie, LogWithoutAFileTakesTheDefault)
{
    EXPECT_EQ(Instalator({"/LOG"}).Log, "");
    EXPECT_EQ(Instalator({"/LOG="}).Log, "");
}

TEST(Polecenie, AQuotedValueEndingInABackslashKeepsNoQuote)
{
    // `/DIR="C:\Gry\"` arrives as `/DIR=C:\Gry"`.
    EXPECT_EQ(Instalator({"/DIR=C:\\Gry\""}).Katalog, "C:\\Gry");
    EXPECT_EQ(Instalator({"/SOURCE=D:\\"}).Zrodlo, "D:\\");
}

TEST(Polecenie, TheFirstArgumentNotUnderstoodIsNamedAndAMissingValueSaidSo)
{
    struct Przypadek {
        std::vector<std::string> Argumenty;
        std::string Blad;
        bool BrakWartosci;
    };
    const Przypadek przypadki[] = {
        {{"/SILENT", "/QUIET", "/FOO"}, "/QUIET", false},
        {{"/DIR"}, "/DIR", true},
        {{"/DIR="}, "/DIR=", true},
        {{"/LANG=de"}, "/LANG=de", false},
        {{"/LANG"}, "/LANG", true},
        {{"/SILENT=1"}, "/SILENT=1", false},
        {{"C:\\Gry"}, "C:\\Gry", false},
        {{"/"}, "/", false},
        {{"--SILENT"}, "--SILENT", false},
    };
    for (const Przypadek& p : przypadki) {
        const TPolecenie wynik = Instalator(p.Argumenty);
        EXPECT_EQ(wynik.Blad, p.Blad) << p.Argumenty.front();
        EXPECT_EQ(wynik.BrakWartosci, p.BrakWartosci) << p.Argumenty.front();
        EXPECT_NE(TekstBleduPolecenia(jzPolski, wynik).find(p.Blad), std::string::npos);
    }
}

TEST(Polecenie, TheUninstallerKnowsOnlyItsOwnOptions)
{
    const TPolecenie dobre =
        CzytajPolecenie({"/VERYSILENT", "/SUPPRESSMSGBOXES", "/LOG=C:\\u.log", "/?"}, TProgram::Deinstalator);
    EXPECT_TRUE(dobre.Blad.empty()) << dobre.Blad;
    EXPECT_TRUE(dobre.Pomoc);
    for (const char* obca : {"/DIR=C:\\x", "/LANG=fr", "/NODICTIONARIES", "/SOURCE=D:\\"})
        EXPECT_EQ(CzytajPolecenie({obca}, TProgram::Deinstalator).Blad, obca);
}

TEST(Polecenie, TheRestOfTheCommandLineIsWhatFollowsTheProgramsName)
{
    EXPECT_EQ(ResztaPolecenia(L"\"D:\\instalator.exe\" /SILENT /DIR=\"C:\\a b\""), L"/SILENT /DIR=\"C:\\a b\"");
    EXPECT_EQ(ResztaPolecenia(L"D:\\instalator.exe   -verysilent"), L"-verysilent");
    EXPECT_EQ(ResztaPolecenia(L"\"C:\\Program Files\\x.exe\""), L"");
    EXPECT_EQ(ResztaPolecenia(L"instalator"), L"");
    // A name quoted only in part ends at the first blank after its closing quote.
    EXPECT_EQ(ResztaPolecenia(L"\"D:\\inst\"alator.exe /LOG"), L"/LOG");
    EXPECT_EQ(ResztaPolecenia(L"\"unterminated /LOG"), L"");
}

TEST(Polecenie, HelpNamesEveryOptionAndExitCodeInBothLanguages)
{
    for (TJezyk j : {jzPolski, jzFrancuski}) {
        const std::string pomoc = TekstPomocy(j, TProgram::Instalator);
        for (const char* o : {"/SILENT", "/VERYSILENT", "/SUPPRESSMSGBOXES", "/DIR=", "/LANG=", "/NODICTIONARIES",
                              "/SOURCE=", "/LOG", "/HELP", "  7 "})
            EXPECT_NE(pomoc.find(o), std::string::npos) << o;
        const std::string deinstalacja = TekstPomocy(j, TProgram::Deinstalator);
        EXPECT_EQ(deinstalacja.find("/DIR"), std::string::npos);
        EXPECT_NE(deinstalacja.find("  9 "), std::string::npos);
    }
}

TEST(Polecenie, TheCopyGetsEveryArgumentQuotedAsReadAndTheLogAndSourceAsFullPaths)
{
    const auto pelna = [](const std::string& n) { return n.size() > 1 && n[1] == ':' ? n : "C:\\cd\\" + n; };
    EXPECT_EQ(PolecenieDlaKopii({}, pelna), "");
    EXPECT_EQ(PolecenieDlaKopii({"/VERYSILENT", "/DIR=C:\\Gry\\Wérb Łódź 2", "/LOG=werb.log", "-source=E:\\"}, pelna),
              " /VERYSILENT \"/DIR=C:\\Gry\\Wérb Łódź 2\" /LOG=C:\\cd\\werb.log -source=E:\\");
    // A quote in a value, and backslashes before the closing quote, come back as they were.
    EXPECT_EQ(PolecenieDlaKopii({"/DIR=C:\\a \"b\"\\"}, pelna), " \"/DIR=C:\\a \\\"b\\\"\\\\\"");
    // Without a value the log is the default one; nothing to make full.
    EXPECT_EQ(PolecenieDlaKopii({"/LOG", "/LOG="}, pelna), " /LOG /LOG=");
}
