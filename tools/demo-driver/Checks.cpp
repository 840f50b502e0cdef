// The demo's verdicts: each check belongs to a feature; features not yet expected report without failing.
#include "Checks.h"

#include <sstream>

#include "Desktop.h"

TChecks::TChecks(const std::string& expected)
{
    std::istringstream words(expected);
    for (std::string w; words >> w;) {
        if (w == "all") FAll = true;
        FExpected.insert(w);
    }
}

bool TChecks::Expected(const char* feature) const
{
    return !feature || FAll || FExpected.count(feature);
}

bool TChecks::Check(const char* feature, bool ok, const std::string& what)
{
    const std::string tag = feature ? std::string(" [") + feature + "] " : std::string(" ");
    if (feature) {
        auto [it, fresh] = FFeaturePassed.emplace(feature, ok);
        if (!fresh) it->second = it->second && ok;
    }
    if (ok) {
        ++FOk;
        Print("  ok     " + tag + what);
    } else if (Expected(feature)) {
        ++FMissing;
        Print("  MISSING" + tag + what);
    } else {
        ++FNotYet;
        Print("  not yet" + tag + what);
    }
    return ok;
}

void TChecks::Note(const std::string& what)
{
    Print("  " + what);
}

int TChecks::Finish(const char* stage)
{
    std::string passing;
    for (const auto& [feature, passed] : FFeaturePassed)
        if (passed && !Expected(feature.c_str())) passing += " " + feature;
    Print(std::string("== ") + stage + ": " + std::to_string(FOk) + " ok, " + std::to_string(FMissing) +
          " missing, " + std::to_string(FNotYet) + " not yet expected");
    if (!passing.empty())
        Print("   passing now though not expected:" + passing +
              " (list them in WERB_DEMO_FEATURES in cmake/cd.cmake)");
    return FMissing > 0 ? 1 : 0;
}
