// The soak's loss accounting: a missing packet number must be put down to
// the fault that explains it, and to nothing when nothing does.
#include <gtest/gtest.h>

#include "soak/soak_checks.h"

namespace {

using soak::Decoded;

soak::SimLine quietSim()
{
    // Never started: its silences run on a clock that starts at 0 ms,
    // silent from 33 s to 37 s of every 37 s.
    return soak::SimLine("north", {}, {}, 55.0, {.silenceFor = 4, .silenceEvery = 37}, false, 1);
}

// The byte that ends a frame is its time here, unless given.
struct Case {
    const char* name;
    std::vector<Decoded> telemetry;
    std::vector<std::uint64_t> badFrameEnds;
    std::vector<std::uint64_t> oldLinesEnd;
    std::uint64_t lost, badCrc, portChange, lineFault, unexplained, repeated;
};

TEST(SoakLosses, EachGapIsPutDownToWhatExplainsIt)
{
    const std::vector<Case> cases = {
        {"consecutive, across the wrap",
         {{1000, true, 254}, {2000, true, 255}, {3000, true, 0}},
         {},
         {},
         0,
         0,
         0,
         0,
         0,
         0},
        {"one lost, one bad CRC between", {{1000, true, 10}, {3000, true, 12}}, {2000}, {}, 1, 1, 0, 0, 0, 0},
        {"two lost, one bad CRC between", {{1000, true, 10}, {4000, true, 13}}, {2000}, {}, 2, 0, 0, 0, 2, 0},
        {"bad CRC outside the gap", {{1000, true, 10}, {3000, true, 12}}, {500}, {}, 1, 0, 0, 0, 1, 0},
        {"the old line ends with the first frame of a gap",
         {{1000, true, 10}, {3000, true, 12}},
         {},
         {1000},
         1,
         0,
         1,
         0,
         0,
         0},
        {"the old line ends with the second",
         {{1000, true, 10}, {3000, true, 12}},
         {},
         {3000},
         1,
         0,
         0,
         0,
         1,
         0},
        {"bad CRC in the same millisecond, between in the stream",
         {{1000, true, 10, 7}, {1000, true, 12, 9}},
         {8},
         {},
         1,
         1,
         0,
         0,
         0,
         0},
        {"bad CRC in the same millisecond, after in the stream",
         {{1000, true, 10, 7}, {1000, true, 12, 9}},
         {10},
         {},
         1,
         0,
         0,
         0,
         1,
         0},
        {"three lost among many bad CRCs",
         {{1000, true, 10}, {5000, true, 14}},
         {200, 900, 1500, 2500, 4900, 5000, 6000},
         {},
         3,
         3,
         0,
         0,
         0,
         0},
        {"lost across a port change", {{1000, true, 10}, {9000, true, 15}}, {}, {5000}, 4, 0, 4, 0, 0, 0},
        {"lost in a silence", {{32000, true, 10}, {38000, true, 12}}, {}, {}, 1, 0, 0, 1, 0, 0},
        {"lost well before a silence", {{10000, true, 10}, {12000, true, 12}}, {}, {}, 1, 0, 0, 0, 1, 0},
        {"the same packet twice", {{1000, true, 10}, {2000, true, 10}}, {}, {}, 0, 0, 0, 0, 0, 1},
        {"the other radiosonde's frames do not count",
         {{1000, true, 10}, {1500, false, 99}, {2000, true, 11}},
         {},
         {},
         0,
         0,
         0,
         0,
         0,
         0},
    };
    const soak::SimLine sim = quietSim();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<soak::PortChange> changes;
        for (std::uint64_t end : c.oldLinesEnd)
            changes.push_back({static_cast<qint64>(end), end, &sim, true, 0});
        std::vector<Decoded> telemetry = c.telemetry;
        for (Decoded& frame : telemetry) {
            if (frame.endByte == 0)
                frame.endByte = static_cast<std::uint64_t>(frame.atMs);
        }
        const soak::LossReport r = soak::lossesOf(sim, telemetry, c.badFrameEnds, changes);
        EXPECT_EQ(r.lost, c.lost);
        EXPECT_EQ(r.lostToBadCrc, c.badCrc);
        EXPECT_EQ(r.lostToPortChange, c.portChange);
        EXPECT_EQ(r.lostToLineFault, c.lineFault);
        EXPECT_EQ(r.unexplained, c.unexplained);
        EXPECT_EQ(r.repeated, c.repeated);
        EXPECT_EQ(r.details.size(), c.unexplained > 0 || c.repeated > 0 ? 1u : 0u);
    }
}

TEST(SoakLosses, QuietSpellsCountUpToTheEndOfTheRun)
{
    EXPECT_EQ(soak::longestQuietMs({}, 5000), 5000);
    EXPECT_EQ(soak::longestQuietMs({{1000, true, 1}, {8000, true, 2}, {9000, true, 3}}, 10000), 7000);
    EXPECT_EQ(soak::longestQuietMs({{1000, true, 1}, {2000, true, 2}}, 12000), 10000);
}

TEST(SoakMemory, MedianOfAWindowIgnoresASingleSpike)
{
    const std::vector<soak::Sample> samples = {{0, 900}, {1000, 100}, {2000, 5000}, {3000, 102}, {4000, 101}};
    EXPECT_EQ(soak::medianRssKb(samples, 1000, 5000), 102);
    EXPECT_EQ(soak::medianRssKb(samples, 6000, 7000), -1);
}

}  // namespace
