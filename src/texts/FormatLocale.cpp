// Reads the user's decimal and thousands separators and formats through the portable routine.
#include "texts/FormatLocale.h"

#include "texts/Format.h"
#include "ui/Unicode.h"

#include <windows.h>

namespace {

std::string LocaleString(LCTYPE what, const char* fallback)
{
    wchar_t buf[8] = {};
    // The documented maximum for both separators is four characters with the terminator.
    if (GetLocaleInfoW(LOCALE_USER_DEFAULT, what, buf, 8) <= 1) return fallback;
    return Narrow(buf);
}

} // namespace

std::string FormatFloatLocale(double value)
{
    return FormatFloatGrouped(value, LocaleString(LOCALE_STHOUSAND, ","), LocaleString(LOCALE_SDECIMAL, "."));
}
