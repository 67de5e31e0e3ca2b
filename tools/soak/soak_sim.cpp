#include "soak/soak_sim.h"

#include <sys/prctl.h>

#include <cmath>
#include <csignal>

namespace soak {
namespace {

// Slack around a fault's window for the bytes already on their way and for
// the harness seeing the simulator's announcements a little late.
constexpr qint64 kSlackMs = 500;

qint64 ms(double seconds) { return static_cast<qint64>(std::llround(seconds * 1000.0)); }

}  // namespace

SimLine::SimLine(QString name, QString program, QString link, double latitude, Faults faults, bool flood,
                 int seed)
    : name_(std::move(name)),
      program_(std::move(program)),
      link_(std::move(link)),
      latitude_(latitude),
      faults_(faults),
      flood_(flood),
      seed_(seed)
{
    process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    // The simulator goes with the harness, however the harness ends.
    process_.setChildProcessModifier([] { prctl(PR_SET_PDEATHSIG, SIGTERM); });
    connect(&process_, &QProcess::readyReadStandardOutput, this, &SimLine::readLines);
    connect(&process_, &QProcess::finished, this, [this](int code, QProcess::ExitStatus status) {
        if (stopping_)
            return;
        ended_ = true;
        endReason_ = status == QProcess::CrashExit ? QStringLiteral("crashed")
                                                   : QStringLiteral("exited with %1").arg(code);
    });
}

SimLine::~SimLine() { stop(); }

bool SimLine::start(qint64 nowMs)
{
    QStringList args{"--link",   link_,
                     "--warmup", "0",
                     "--lat",    QString::number(latitude_),
                     "--seed",   QString::number(seed_)};
    if (flood_)
        args << "--flood";
    if (faults_.badCrcEvery > 0)
        args << "--bad-crc" << QString::number(faults_.badCrcEvery);
    if (faults_.noise)
        args << "--noise";
    if (faults_.silenceFor > 0)
        args << "--silence" << QStringLiteral("%1,%2").arg(faults_.silenceFor).arg(faults_.silenceEvery);
    if (faults_.hangupEvery > 0)
        args << "--hangup" << QStringLiteral("%1,%2").arg(faults_.hangupEvery).arg(faults_.hangupFor);

    startedAtMs_ = nowMs;
    process_.start(program_, args);
    if (!process_.waitForStarted(5000) || !process_.waitForReadyRead(5000))
        return false;
    readLines();
    return linesSeen_ > 0;
}

void SimLine::readLines()
{
    while (process_.canReadLine()) {
        process_.readLine();
        // The first line is the first pty; each later one a line remade
        // after a hang-up.
        if (linesSeen_++ > 0)
            linesRemadeAtMs_.push_back(clock());
    }
}

bool SimLine::lineDownBetween(qint64 fromMs, qint64 toMs) const
{
    fromMs -= kSlackMs;
    toMs += kSlackMs;
    for (qint64 remade : linesRemadeAtMs_) {
        const qint64 droppedAt = remade - ms(faults_.hangupFor);
        if (droppedAt <= toMs && remade >= fromMs)
            return true;
    }
    return false;
}

bool SimLine::disturbedBetween(qint64 fromMs, qint64 toMs) const
{
    if (lineDownBetween(fromMs, toMs))
        return true;
    fromMs -= kSlackMs;
    toMs += kSlackMs;
    if (faults_.silenceFor > 0) {
        // The simulator keeps its silences on its own clock, which starts
        // when it prints its first pty.
        const qint64 period = ms(faults_.silenceEvery);
        const qint64 quietFrom = period - ms(faults_.silenceFor);
        const qint64 first = std::max<qint64>(0, (fromMs - startedAtMs_) / period - 1);
        for (qint64 k = first; startedAtMs_ + k * period + quietFrom <= toMs; ++k) {
            const qint64 begins = startedAtMs_ + k * period + quietFrom;
            const qint64 ends = startedAtMs_ + (k + 1) * period;
            if (begins <= toMs && ends >= fromMs)
                return true;
        }
    }
    return false;
}

void SimLine::stop()
{
    if (process_.state() == QProcess::NotRunning)
        return;
    stopping_ = true;
    process_.terminate();
    if (!process_.waitForFinished(5000))
        process_.kill();
    process_.waitForFinished(2000);
}

}  // namespace soak
