#include "soak/soak_report.h"

#include <algorithm>
#include <cstdio>

namespace soak {
int report(const Record& run)
{
    int violations = 0;
    const auto verdict = [&violations](bool ok, const char* what, const QString& figures) {
        std::printf("%-4s %-34s %s\n", ok ? "ok" : "FAIL", what, qPrintable(figures));
        if (!ok)
            ++violations;
    };

    std::printf("soak: %.0f s, a port change every %.1f s (%zu changes), second line %s\n",
                static_cast<double>(run.ranMs) / 1000.0, run.changeEvery, run.changes.size(),
                run.flood ? "flooding" : "paced");

    bool simsAlive = true;
    for (const SimLine* sim : run.sims) {
        if (sim->ended()) {
            simsAlive = false;
            std::printf("     simulator %s %s\n", qPrintable(sim->name()), qPrintable(sim->endReason()));
        }
    }
    verdict(simsAlive && run.ranMs >= run.plannedMs, "ran its full time",
            QStringLiteral("%1 s").arg(run.ranMs / 1000));

    for (const SimLine* sim : run.sims) {
        const LossReport r = lossesOf(*sim, run.window->telemetry, run.window->badFrameEnds, run.changes);
        verdict(r.unexplained == 0 && r.repeated == 0 && r.decoded > 0,
                qPrintable(QStringLiteral("telemetry of %1 complete").arg(sim->name())),
                QStringLiteral("%1 decoded; %2 lost: %3 to bad CRCs, %4 to port changes, %5 to "
                               "hang-ups and silences, %6 unexplained; %7 repeated; %8 hang-ups")
                    .arg(r.decoded)
                    .arg(r.lost)
                    .arg(r.lostToBadCrc)
                    .arg(r.lostToPortChange)
                    .arg(r.lostToLineFault)
                    .arg(r.unexplained)
                    .arg(r.repeated)
                    .arg(sim->linesRemadeAtMs().size()));
        for (const QString& line : r.details)
            std::printf("     %s\n", qPrintable(line));
    }
    std::printf("     %zu frames failed their CRC; %llu telemetry frames without a position\n",
                run.window->badFrameEnds.size(),
                static_cast<unsigned long long>(run.window->framesWithoutPosition));

    // Quiet spells: a port change onto a line in a silence or a hang-up,
    // then the watchdog's 3 s before it asks again.
    double worstFault = 0;
    for (const SimLine* sim : run.sims)
        worstFault = std::max(worstFault, sim->faults().silenceFor + sim->faults().hangupFor);
    const auto quietLimitMs = static_cast<qint64>((run.changeEvery + worstFault + 3 + 3) * 1000);
    const qint64 quiet = longestQuietMs(run.window->telemetry, run.ranMs);
    verdict(quiet <= quietLimitMs, "telemetry kept coming",
            QStringLiteral("longest spell without a frame %1 s (limit %2 s)")
                .arg(static_cast<double>(quiet) / 1000.0, 0, 'f', 1)
                .arg(static_cast<double>(quietLimitMs) / 1000.0, 0, 'f', 1));

    std::size_t unexplainedFailures = 0;
    for (const PortChange& c : run.changes) {
        if (!c.opened && !c.to->lineDownBetween(c.atMs, c.atMs))
            ++unexplainedFailures;
    }
    verdict(unexplainedFailures == 0, "ports opened unless hung up",
            QStringLiteral("%1 opens failed, %2 of them with the line up")
                .arg(run.openFailures)
                .arg(unexplainedFailures));

    const qint64 warmUpMs = std::min<qint64>(60000, run.ranMs / 5);
    const qint64 windowMs = std::min<qint64>(30000, (run.ranMs - warmUpMs) / 2);
    const long baseline = medianRssKb(run.samples, warmUpMs, warmUpMs + windowMs);
    const long final = medianRssKb(run.samples, run.ranMs - windowMs, run.ranMs + 1);
    long peak = 0;
    for (const Sample& s : run.samples)
        peak = std::max(peak, s.vmRssKb);
    verdict(baseline > 0 && final - baseline < 1024, "resident memory flat",
            QStringLiteral("%1 kB after %2 s of warm-up, %3 kB at the end (%4%5 kB), peak %6 kB "
                           "(less the harness's records, %7 kB at the end)")
                .arg(baseline)
                .arg(warmUpMs / 1000)
                .arg(final)
                .arg(final >= baseline ? "+" : "")
                .arg(final - baseline)
                .arg(peak)
                .arg(run.recordKb));

    int fdsLow = 1 << 30, fdsHigh = -1;
    for (const PortChange& c : run.changes) {
        if (c.opened && c.atMs >= warmUpMs) {
            fdsLow = std::min(fdsLow, c.openFds);
            fdsHigh = std::max(fdsHigh, c.openFds);
        }
    }
    verdict(fdsHigh >= 0 && fdsLow == fdsHigh, "descriptors constant",
            QStringLiteral("%1 to %2 open after each successful port change; %3 at the end")
                .arg(fdsLow)
                .arg(fdsHigh)
                .arg(run.finalOpenFds));

    verdict(run.errorBoxes.empty(), "no error box", QStringLiteral("%1 shown").arg(run.errorBoxes.size()));
    for (const QString& text : run.errorBoxes)
        std::printf("     %s\n", qPrintable(text));
    return violations;
}

}  // namespace soak
