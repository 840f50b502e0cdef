// Tests of the template formatting routine and of the grouped one-decimal numbers.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

#include "texts/Format.h"

TEST(Format, FillsPlaceholdersInOrder) {
    EXPECT_EQ(Format("Step %d of %d: %s", {2, 5, "Options"}), "Step 2 of 5: Options");
    EXPECT_EQ(Format("%s%s", {"ab", "cd"}), "abcd");
    EXPECT_EQ(Format("Zakończ – %s", {"Łódź"}), "Zakończ – Łódź");
    EXPECT_EQ(Format("", {}), "");
}

TEST(Format, TakesStringsAndIntegersOfEveryCallerType) {
    const std::string title = "Werbfranko";
    const std::string_view view = "CD";
    EXPECT_EQ(Format("%s %s %s", {title, view, std::string("x")}), "Werbfranko CD x");
    EXPECT_EQ(Format("%d %d %d", {-42, 7L, std::numeric_limits<long long>::min()}),
              "-42 7 -9223372036854775808");
}

TEST(Format, IgnoresSurplusArguments) {
    EXPECT_EQ(Format("Instalator", {"Werbfranko"}), "Instalator");
    EXPECT_EQ(Format("%s", {"first", "second", 3}), "first");
}

TEST(Format, ThrowsWhenArgumentsAreMissing) {
    EXPECT_THROW(Format("%s", {}), EFormatError);
    EXPECT_THROW(Format("Step %d of %d: %s", {1, 2}), EFormatError);
}

TEST(Format, ThrowsOnKindMismatch) {
    EXPECT_THROW(Format("%d", {"7"}), EFormatError);
    EXPECT_THROW(Format("%s", {7}), EFormatError);
    EXPECT_THROW(Format("%s %d", {"a", "b"}), EFormatError);
}

TEST(Format, PercentSignAndUnknownPlaceholders) {
    EXPECT_EQ(Format("100%% %d%%", {5}), "100% 5%");
    EXPECT_EQ(Format("%%s", {}), "%s");
    EXPECT_THROW(Format("%x", {1}), EFormatError);
    EXPECT_THROW(Format("%5d", {1}), EFormatError);
    EXPECT_THROW(Format("%-s", {"a"}), EFormatError);
    EXPECT_THROW(Format("50%", {}), EFormatError);
}

TEST(Format, DoesNotReadPlaceholdersInsideArguments) {
    EXPECT_EQ(Format("%s|%s", {"%d", "%"}), "%d|%");
}

TEST(Format, PlaceholderKinds) {
    EXPECT_EQ(PlaceholderKinds("Krok %d z %d: %s"), "dds");
    EXPECT_EQ(PlaceholderKinds("%s%%%d"), "sd");
    EXPECT_EQ(PlaceholderKinds("100%% plain"), "");
    EXPECT_THROW(PlaceholderKinds("%q"), EFormatError);
    EXPECT_THROW(PlaceholderKinds("%s %"), EFormatError);
}

namespace {
std::string Grouped(double value) { return FormatFloatGrouped(value, ",", "."); }
}  // namespace

TEST(FormatFloatGrouped, GroupsThousandsByThrees) {
    EXPECT_EQ(Grouped(0.0), "0.0");
    EXPECT_EQ(Grouped(999.9), "999.9");
    EXPECT_EQ(Grouped(1000.0), "1,000.0");
    EXPECT_EQ(Grouped(12345.0), "12,345.0");
    EXPECT_EQ(Grouped(1234567.89), "1,234,567.9");
    EXPECT_EQ(Grouped(12582912 / 1048576.0), "12.0");
}

TEST(FormatFloatGrouped, RoundsHalfAwayFromZero) {
    EXPECT_EQ(Grouped(0.05), "0.1");
    EXPECT_EQ(Grouped(0.04), "0.0");
    EXPECT_EQ(Grouped(0.25), "0.3");  // an exact tie
    EXPECT_EQ(Grouped(0.75), "0.8");
    EXPECT_EQ(Grouped(0.15), "0.1");  // the double lies below 0.15
    EXPECT_EQ(Grouped(999.95), "1,000.0");
    EXPECT_EQ(Grouped(999999.96), "1,000,000.0");
    EXPECT_EQ(Grouped(9.96), "10.0");
}

TEST(FormatFloatGrouped, Negatives) {
    EXPECT_EQ(Grouped(-1234.5), "-1,234.5");
    EXPECT_EQ(Grouped(-0.05), "-0.1");
    EXPECT_EQ(Grouped(-0.25), "-0.3");
    EXPECT_EQ(Grouped(-0.04), "0.0");
    EXPECT_EQ(Grouped(-0.0), "0.0");
}

TEST(FormatFloatGrouped, ExactUpToTwoToThe53) {
    // Ten times these values is not a double: a rounding through value * 10 gets them wrong.
    EXPECT_EQ(Grouped(0x1p50 + 0.25), "1,125,899,906,842,624.3");
    EXPECT_EQ(Grouped(0x1p50 + 0.75), "1,125,899,906,842,624.8");
    EXPECT_EQ(Grouped(0x1p51 + 0.5), "2,251,799,813,685,248.5");
    EXPECT_EQ(Grouped(0x1p53), "9,007,199,254,740,992.0");
    EXPECT_EQ(Grouped(0x1p64 - 2048), "18,446,744,073,709,549,568.0");
    EXPECT_EQ(Grouped(0x1p64), "18,446,744,073,709,551,616.0");
    EXPECT_EQ(Grouped(1e20), "100,000,000,000,000,000,000.0");
}

TEST(FormatFloatGrouped, SeparatorsAreUtf8Strings) {
    EXPECT_EQ(FormatFloatGrouped(1234567.0, "\u00A0", ","), "1\u00A0234\u00A0567,0");
    EXPECT_EQ(FormatFloatGrouped(-1234.56, "\u202F", ","), "-1\u202F234,6");
    EXPECT_EQ(FormatFloatGrouped(1234.5, "", "."), "1234.5");
}

TEST(FormatFloatGrouped, NotANumberAndInfinities) {
    EXPECT_EQ(Grouped(std::nan("")), "NAN");
    EXPECT_EQ(Grouped(std::numeric_limits<double>::infinity()), "INF");
    EXPECT_EQ(Grouped(-std::numeric_limits<double>::infinity()), "-INF");
}
