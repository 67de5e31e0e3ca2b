// The soak's verdicts, worked out from what was recorded during the run.
#pragma once

#include <QString>

#include <cstdint>
#include <vector>

#include "soak/soak_sim.h"
#include "soak/soak_window.h"

namespace soak {

struct PortChange {
    qint64 atMs;
    std::uint64_t oldLineEnds;  // byte messages of the lines before it, in all
    const SimLine* to;
    bool opened;  // false: the open failed
    int openFds;  // descriptors right after it
};

struct Sample {
    qint64 atMs;
    long vmRssKb;
};

// Frames lost between two frames of one radiosonde, and why.
struct LossReport {
    std::uint64_t decoded = 0;
    std::uint64_t lost = 0;  // missing packet numbers in all
    std::uint64_t lostToBadCrc = 0;
    std::uint64_t lostToPortChange = 0;
    std::uint64_t lostToLineFault = 0;  // hang-up or silence
    std::uint64_t unexplained = 0;
    std::uint64_t repeated = 0;    // a packet number twice in a row
    std::vector<QString> details;  // one line per unexplained loss
};

LossReport lossesOf(const SimLine& sim, const std::vector<Decoded>& telemetry,
                    const std::vector<std::uint64_t>& badFrameEnds, const std::vector<PortChange>& changes);

// Longest time without any telemetry frame decoded, from the first frame on.
qint64 longestQuietMs(const std::vector<Decoded>& telemetry, qint64 endMs);

// Median of the samples in [fromMs, toMs); -1 when there are none.
long medianRssKb(const std::vector<Sample>& samples, qint64 fromMs, qint64 toMs);

}  // namespace soak
