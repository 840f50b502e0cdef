// The float format follows the separators of the locale the test process runs in (LC_ALL under Wine).
#include <gtest/gtest.h>

#include "texts/FormatLocale.h"

#include <windows.h>

#include <cstdlib>

namespace {

// Expected text of 1234567.85 in the locales the installer is used in.
const char* ExpectedFor(LCID lcid)
{
    switch (PRIMARYLANGID(LANGIDFROMLCID(lcid))) {
    case LANG_ENGLISH: return "1,234,567.9";
    case LANG_POLISH:
    case LANG_FRENCH: return "1\xC2\xA0" "234\xC2\xA0" "567,9";
    case LANG_GERMAN: return "1.234.567,9";
    default: return nullptr;
    }
}

} // namespace

// A row that ran in another locale than its own would compare that locale's separators and prove nothing.
TEST(FormatFloatLocale, RunsInTheLocaleOfItsRow)
{
    const char* expected = std::getenv("WERB_EXPECTED_LCID");
    ASSERT_NE(expected, nullptr) << "WERB_EXPECTED_LCID not set";
    EXPECT_EQ(GetUserDefaultLCID(), static_cast<LCID>(std::atoi(expected)));
}

TEST(FormatFloatLocale, UsesTheUserLocaleSeparators)
{
    const LCID lcid = GetUserDefaultLCID();
    const char* expected = ExpectedFor(lcid);
    ASSERT_NE(expected, nullptr) << "no expectation for locale " << lcid;
    EXPECT_EQ(FormatFloatLocale(1234567.85), expected) << "locale " << lcid;
}

TEST(FormatFloatLocale, SizesInMegabytes)
{
    const LCID lcid = GetUserDefaultLCID();
    const bool comma = PRIMARYLANGID(LANGIDFROMLCID(lcid)) != LANG_ENGLISH;
    EXPECT_EQ(FormatFloatLocale(12.0), comma ? "12,0" : "12.0");
    EXPECT_EQ(FormatFloatLocale(0.0), comma ? "0,0" : "0.0");
    EXPECT_EQ(FormatFloatLocale(12582912.0 / 1048576.0), comma ? "12,0" : "12.0");
}
