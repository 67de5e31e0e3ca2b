// What a soak run recorded, and the verdicts drawn from it.
#pragma once

#include <QString>

#include <vector>

#include "soak/soak_checks.h"
#include "soak/soak_sim.h"
#include "soak/soak_window.h"

namespace soak {

struct Record {
    qint64 ranMs = 0;
    qint64 plannedMs = 0;
    double changeEvery = 0;
    bool flood = false;
    std::vector<const SimLine*> sims;
    const SoakWindow* window = nullptr;
    std::vector<PortChange> changes;
    std::size_t openFailures = 0;
    std::vector<Sample> samples;  // resident memory less recordKb, once a second
    long recordKb = 0;            // the harness's own records at the end
    int finalOpenFds = 0;
    std::vector<QString> errorBoxes;
};

// Prints one line per check and the figures behind it; returns the number
// of checks that failed.
int report(const Record& run);

}  // namespace soak
