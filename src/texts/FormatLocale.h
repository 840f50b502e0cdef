// The float format "#,##0.0" with the separators of the user's locale (Windows only).
#pragma once

#include <string>

// "12.0" on an English system, "12,0" on a Polish or French one; thousands grouped as the locale does.
std::string FormatFloatLocale(double value);
