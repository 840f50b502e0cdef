// The formatting routine of the catalogue's templates and the size numbers shown next to them.
#include "texts/Format.h"

#include <charconv>
#include <cmath>
#include <cstdint>

namespace {

// Calls text(piece) for literal text and placeholder(kind, index) for "%s" / "%d", in template order.
template <class TText, class TPlaceholder>
void Scan(std::string_view templ, TText text, TPlaceholder placeholder) {
    std::size_t index = 0;
    std::size_t pos = 0;
    while (pos < templ.size()) {
        const std::size_t percent = templ.find('%', pos);
        if (percent == std::string_view::npos) {
            text(templ.substr(pos));
            return;
        }
        text(templ.substr(pos, percent - pos));
        if (percent + 1 == templ.size()) throw EFormatError("Format: the template ends with a lone '%'");
        const char kind = templ[percent + 1];
        if (kind == '%') {
            text("%");
        } else if (kind == 's' || kind == 'd') {
            placeholder(kind, index++);
        } else {
            throw EFormatError(std::string("Format: unknown placeholder '%") + kind + "'");
        }
        pos = percent + 2;
    }
}

}  // namespace

std::string Format(std::string_view templ, std::initializer_list<FormatArg> args) {
    std::string result;
    result.reserve(templ.size());
    Scan(
        templ, [&](std::string_view piece) { result += piece; },
        [&](char kind, std::size_t index) {
            if (index >= args.size())
                throw EFormatError("Format: the template needs argument " + std::to_string(index + 1) + " of " +
                                   std::to_string(args.size()));
            const FormatArg& arg = args.begin()[index];
            if (arg.IsString() != (kind == 's'))
                throw EFormatError("Format: argument " + std::to_string(index + 1) + " is not of kind '" + kind +
                                   "'");
            if (kind == 's')
                result += arg.Str();
            else
                result += std::to_string(arg.Int());
        });
    return result;
}

std::string PlaceholderKinds(std::string_view templ) {
    std::string kinds;
    Scan(templ, [](std::string_view) {}, [&](char kind, std::size_t) { kinds += kind; });
    return kinds;
}

std::string FormatFloatGrouped(double value, std::string_view thousands, std::string_view decimal) {
    if (std::isnan(value)) return "NAN";
    if (std::isinf(value)) return value < 0 ? "-INF" : "INF";

    // Rounding works on the exact binary value: the whole part and the fraction are exact doubles, and the
    // fraction times 2^60 is an exact integer whenever it can reach the first decimal at all.
    const double magnitude = std::fabs(value);
    const double whole = std::trunc(magnitude);
    const double fraction = magnitude - whole;
    unsigned tenths = 0;
    if (fraction >= 0x1p-8) {
        constexpr int kFractionBits = 60;
        const std::uint64_t scaled = static_cast<std::uint64_t>(std::ldexp(fraction, kFractionBits)) * 10;
        tenths = static_cast<unsigned>(scaled >> kFractionBits);
        const std::uint64_t rest = scaled & ((std::uint64_t{1} << kFractionBits) - 1);
        if (rest >= (std::uint64_t{1} << (kFractionBits - 1))) ++tenths;  // half away from zero
    }

    std::string digits;
    if (whole < 0x1p64) {
        std::uint64_t units = static_cast<std::uint64_t>(whole);
        if (tenths == 10) {  // a fraction only exists below 2^53, so this cannot overflow
            tenths = 0;
            ++units;
        }
        digits = std::to_string(units);
    } else {
        char buffer[400];  // the largest double has 309 digits
        const auto end = std::to_chars(buffer, buffer + sizeof buffer, whole, std::chars_format::fixed, 0).ptr;
        digits.assign(buffer, end);
    }

    std::string result;
    if (std::signbit(value) && (digits != "0" || tenths != 0)) result += '-';
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i != 0 && (digits.size() - i) % 3 == 0) result += thousands;
        result += digits[i];
    }
    result += decimal;
    result += static_cast<char>('0' + tenths);
    return result;
}
