// The demo's verdicts: each check belongs to a feature; features not yet expected report without failing.
#pragma once

#include <map>
#include <set>
#include <string>

// The features of the installation that land one by one, as the walk and the report name them.
inline constexpr const char* kFeatures[] = {"licence", "copy", "builtin", "system", "shortcuts", "registry",
                                            "success", "uninstall", "silent"};

class TChecks {
public:
    // expected: the features that must pass, space separated; "all" for every one. Checks without a feature
    // (what works today) must always pass.
    explicit TChecks(const std::string& expected);

    // Prints one line ("ok", "MISSING" or "not yet") and records it; returns ok.
    bool Check(const char* feature, bool ok, const std::string& what);
    void Note(const std::string& what);

    // The closing lines: what is missing, which features pass without being expected. 1 when something
    // expected failed, else 0.
    int Finish(const char* stage);

private:
    bool Expected(const char* feature) const;

    std::set<std::string> FExpected;
    bool FAll = false;
    int FOk = 0;
    int FMissing = 0;
    int FNotYet = 0;
    std::map<std::string, bool> FFeaturePassed;  // feature -> no failed check so far
};
