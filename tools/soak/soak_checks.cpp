#include "soak/soak_checks.h"

#include <algorithm>

namespace soak {
namespace {

// Items placed in the byte stream from `from` up to but not including `to`,
// both ends of good frames: a bad frame between the two, or the end of a
// line that the first frame came on and the second did not. Items are in
// stream order, as recorded; a search, not a walk, as a flooded line has
// hundreds of thousands of gaps and as many bad frames.
template <typename T, typename Place>
std::size_t countBetween(const std::vector<T>& items, std::uint64_t from, std::uint64_t to, Place placeOf)
{
    const auto first =
        std::partition_point(items.begin(), items.end(), [&](const T& item) { return placeOf(item) < from; });
    const auto end =
        std::partition_point(first, items.end(), [&](const T& item) { return placeOf(item) < to; });
    return static_cast<std::size_t>(end - first);
}

}  // namespace

LossReport lossesOf(const SimLine& sim, const std::vector<Decoded>& telemetry,
                    const std::vector<std::uint64_t>& badFrameEnds, const std::vector<PortChange>& changes)
{
    LossReport report;
    const Decoded* previous = nullptr;
    for (const Decoded& frame : telemetry) {
        if (frame.northern != sim.northern())
            continue;
        ++report.decoded;
        if (previous) {
            const auto missing = static_cast<std::uint8_t>(frame.number - previous->number - 1);
            if (missing == 255) {
                ++report.repeated;
                report.details.push_back(QStringLiteral("%1: packet %2 decoded twice at %3 ms")
                                             .arg(sim.name())
                                             .arg(frame.number)
                                             .arg(frame.atMs));
            } else if (missing > 0) {
                report.lost += missing;
                const qint64 from = previous->atMs, to = frame.atMs;
                const auto changed = countBetween(changes, previous->endByte, frame.endByte,
                                                  [](const PortChange& c) { return c.oldLineEnds; });
                const auto red = countBetween(badFrameEnds, previous->endByte, frame.endByte,
                                              [](std::uint64_t end) { return end; });
                if (changed > 0)
                    report.lostToPortChange += missing;
                else if (red >= missing)
                    report.lostToBadCrc += missing;
                else if (sim.disturbedBetween(from, to))
                    report.lostToLineFault += missing;
                else {
                    report.unexplained += missing;
                    report.details.push_back(
                        QStringLiteral("%1: packets %2 to %3 lost between %4 and %5 ms, no fault there")
                            .arg(sim.name())
                            .arg(static_cast<std::uint8_t>(previous->number + 1))
                            .arg(static_cast<std::uint8_t>(frame.number - 1))
                            .arg(from)
                            .arg(to));
                }
            }
        }
        previous = &frame;
    }
    return report;
}

qint64 longestQuietMs(const std::vector<Decoded>& telemetry, qint64 endMs)
{
    if (telemetry.empty())
        return endMs;
    qint64 longest = 0;
    for (std::size_t i = 1; i < telemetry.size(); ++i)
        longest = std::max(longest, telemetry[i].atMs - telemetry[i - 1].atMs);
    return std::max(longest, endMs - telemetry.back().atMs);
}

long medianRssKb(const std::vector<Sample>& samples, qint64 fromMs, qint64 toMs)
{
    std::vector<long> values;
    for (const Sample& s : samples) {
        if (s.atMs >= fromMs && s.atMs < toMs)
            values.push_back(s.vmRssKb);
    }
    if (values.empty())
        return -1;
    std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2),
                     values.end());
    return values[values.size() / 2];
}

}  // namespace soak
