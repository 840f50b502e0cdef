// The formatting routine of the catalogue's templates: "%s" and "%d" in order; float "#,##0.0".
#pragma once

#include <cstdint>
#include <initializer_list>
#include <stdexcept>
#include <string>
#include <string_view>
#include <variant>

// A template asked for an argument it was not given, of the wrong kind, or used an unknown placeholder.
class EFormatError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class FormatArg {
public:
    FormatArg(std::string_view s) : FValue(std::string(s)) {}
    FormatArg(const char* s) : FValue(std::string(s)) {}
    FormatArg(const std::string& s) : FValue(s) {}
    FormatArg(int v) : FValue(static_cast<std::int64_t>(v)) {}
    FormatArg(long v) : FValue(static_cast<std::int64_t>(v)) {}
    FormatArg(long long v) : FValue(static_cast<std::int64_t>(v)) {}
    bool IsString() const { return std::holds_alternative<std::string>(FValue); }
    const std::string& Str() const { return std::get<std::string>(FValue); }
    std::int64_t Int() const { return std::get<std::int64_t>(FValue); }
private:
    std::variant<std::string, std::int64_t> FValue;
};

// "%s" takes a string, "%d" an integer, "%%" is a percent sign; surplus arguments are ignored.
// Throws EFormatError when the template asks for more arguments than given or for another kind, or holds
// another "%x" or a lone "%" at its end.
std::string Format(std::string_view templ, std::initializer_list<FormatArg> args);

// The kinds of the placeholders in order ("sd" for "%s ... %d"); throws EFormatError on a bad placeholder.
std::string PlaceholderKinds(std::string_view templ);

// "#,##0.0": one decimal, rounded half away from zero on the exact binary value, thousands grouped by threes,
// separators given as UTF-8; a minus sign for negatives but never "-0.0"; "NAN", "INF", "-INF" otherwise.
std::string FormatFloatGrouped(double value, std::string_view thousands, std::string_view decimal);
