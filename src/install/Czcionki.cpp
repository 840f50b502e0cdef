// Applies the interface font and the language's character set to fonts and rich edits.
#include "install/Czcionki.h"

#include "install/untInstalFunkcje.h"
#include "ui/ComCtrls.h"

void UstawCzcionke(TFont& czcionka, TJezyk jezyk)
{
    czcionka.SetName(CzcionkaInterfejsu);
    czcionka.SetCharset(ZestawZnakow(jezyk));
}

void UstawCzcionkeEdytora(TRichEdit& edytor, TJezyk jezyk)
{
    UstawCzcionke(edytor.Font(), jezyk);
    edytor.SetDefaultAttributes(edytor.Font());
    edytor.SetSelectionAttributes(edytor.Font());
}
