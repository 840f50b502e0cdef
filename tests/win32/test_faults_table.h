// The table `make faults` prints: one row per fault, with the page the run ended on and what it left outside
// what that outcome allows. A test program prints its rows at its end when WERB_FAULTS_TABLE is set.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "test_files_support.h"

struct TFaultRow {
    std::string Fault;
    std::string Page;
    int FilesOff;
    int RegistryOff;
};

inline std::vector<TFaultRow>& FaultTable()
{
    static std::vector<TFaultRow> rows;
    return rows;
}

class TPrintFaultTable : public ::testing::Environment {
public:
    void TearDown() override
    {
        if (Env(L"WERB_FAULTS_TABLE").empty() || FaultTable().empty()) return;
        std::printf("\n%-52s %-14s %-22s %s\n", "fault", "outcome page", "files off expectations",
                    "registry off expectations");
        for (const TFaultRow& r : FaultTable())
            std::printf("%-52s %-14s %-22d %d\n", r.Fault.c_str(), r.Page.c_str(), r.FilesOff, r.RegistryOff);
    }
};
inline const auto* const kPrintFaultTable = ::testing::AddGlobalTestEnvironment(new TPrintFaultTable);
