// The interface font of the forms: face CzcionkaInterfejsu with the character set of a language.
#pragma once

#include "texts/untInstalTeksty.h"

class TFont;
class TRichEdit;

// Face CzcionkaInterfejsu, character set of the language; height and style stay.
void UstawCzcionke(TFont& czcionka, TJezyk jezyk);
// The same on a rich edit's own font, its default text and its selection.
void UstawCzcionkeEdytora(TRichEdit& edytor, TJezyk jezyk);
