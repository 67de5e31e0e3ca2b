// The whole receiving path on a real window (offscreen): bytes come in on a
// pseudo-terminal, the port's reader thread posts each one to the window,
// and the window's receiver, decoders and widgets take them.
//
// Two measurements:
//  - flood: the simulator sends N cyclic telemetry frames as fast as the
//    line takes them; how fast the window decodes them, and whether the
//    byte messages pile up in its queue meanwhile;
//  - paced: a line kept full at rising multiples of the 38 400-baud line
//    rate; the highest multiple the window keeps up with for the whole
//    stage (its queue of byte messages stays under a second's worth).
//
//   whole_path [--frames N] [--multiples 25,50,...] [--stage-seconds S] [--stall S]
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <sys/resource.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <string>
#include <thread>

#include "PortUnit/PortUnit.h"
#include "Unit1/PortSelector.h"
#include "Unit1/byte_event.h"
#include "Unit1/error_box.h"
#include "line_rate.h"
#include "protocol/frame.h"
#include "support/counting_window.h"
#include "support/proc_figures.h"
#include "ui_TForm1.h"

using Unit1::ByteMessageRelay;
using Unit1::PortSelector;
namespace errorbox = Unit1::errorbox;

namespace {

// Byte messages posted by the reader thread, counted on their way.
std::atomic<std::uint64_t> bytesPosted{0};

void countingPoster(void* queue, std::uint32_t wparam, std::intptr_t lparam)
{
    bytesPosted.fetch_add(1, std::memory_order_relaxed);
    ByteMessageRelay::post(queue, wparam, lparam);
}

// The window as the program has it, counting the byte messages it has taken
// and the telemetry frames that reached its decoders, and when the last one
// came.
class CountingForm : public support::CountingWindow {
public:
    qint64 lastFrameAtNs = -1;
    QElapsedTimer clock;

    std::uint64_t backlog() const { return bytesPosted.load() - bytesTaken; }

protected:
    void telemetryCounted(const protocol::RxBuffer&) override { lastFrameAtNs = clock.nsecsElapsed(); }
};

double processCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

void pump(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// Pumps events until done() or timeoutMs; done()'s verdict.
bool pumpUntil(const std::function<bool()>& done, int timeoutMs)
{
    QElapsedTimer waited;
    waited.start();
    while (!done() && waited.elapsed() < timeoutMs)
        pump(20);
    return done();
}

// A child that prints its pty as its first line of output.
class LineSource {
public:
    bool start(const QString& program, const QStringList& args)
    {
        process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process_.start(program, args);
        if (!process_.waitForStarted(5000) || !process_.waitForReadyRead(5000))
            return false;
        pty_ = QString::fromUtf8(process_.readLine().trimmed());
        return !pty_.isEmpty();
    }
    const QString& pty() const { return pty_; }
    ~LineSource()
    {
        process_.terminate();
        process_.waitForFinished(5000);
    }

private:
    QProcess process_;
    QString pty_;
};

// Points the window at another port, as the operator's pick in the selector.
void openPort(CountingForm& form, const QString& pty)
{
    // The counting poster is in place before the reader starts, so that
    // every message of the new line is counted.
    PortUnit::SetByteMessageTarget(&countingPoster, &form.byteQueue());
    PortSelector* selector = form.ui()->ComboBox3;
    selector->addItem(pty);
    selector->setCurrentIndex(selector->count() - 1);
    form.PortChange(selector->currentIndex());
    form.newLine();
}

int fail(const char* why)
{
    std::fprintf(stderr, "whole_path: %s\n", why);
    return 1;
}

// The simulator floods the line with `frames` telemetry frames.
bool flood(CountingForm& form, const QString& sim, std::uint64_t frames)
{
    LineSource source;
    if (!source.start(sim, {"--flood", "--frames", QString::number(frames), "--warmup", "0"}))
        return fail("the simulator did not start"), false;
    const std::uint64_t before = form.telemetryFrames;
    openPort(form, source.pty());
    // Cyclic telemetry is asked for by the watchdog's next request.
    if (!pumpUntil([&] { return form.telemetryFrames > before; }, 10000))
        return fail("no telemetry frame arrived"), false;

    const std::uint64_t first = form.telemetryFrames;
    const qint64 firstAtNs = form.lastFrameAtNs;
    const double cpuAtFirst = processCpuSeconds();
    std::uint64_t peakBacklog = 0;
    long peakRssKb = 0;
    // Every frame in, or nothing new for 2 s, or a minute gone.
    std::uint64_t seen = first;
    QElapsedTimer quiet, total;
    quiet.start();
    total.start();
    while (form.telemetryFrames - before < frames && quiet.elapsed() < 2000 && total.elapsed() < 60000) {
        pump(100);
        peakBacklog = std::max(peakBacklog, form.backlog());
        peakRssKb = std::max(peakRssKb, ProcFigures::ofSelf().vmRssKb);
        if (form.telemetryFrames != seen) {
            seen = form.telemetryFrames;
            quiet.restart();
        }
    }
    const double seconds = static_cast<double>(form.lastFrameAtNs - firstAtNs) / 1e9;
    const double perSecond = static_cast<double>(form.telemetryFrames - first) / seconds;
    const double cpu = processCpuSeconds() - cpuAtFirst;
    std::printf(
        "flood: %llu of %llu telemetry frames decoded in %.2f s: %.0f frames/s, %.1f x the line rate\n",
        static_cast<unsigned long long>(form.telemetryFrames - before),
        static_cast<unsigned long long>(frames), seconds, perSecond,
        perSecond / linerate::kTelemetryFramesPerSecond);
    std::printf(
        "       processor %.2f s (%.2f cores), byte messages queued at most %llu, "
        "still queued %llu, resident memory at most %ld kB\n",
        cpu, cpu / seconds, static_cast<unsigned long long>(peakBacklog),
        static_cast<unsigned long long>(form.backlog()), peakRssKb);
    return true;
}

// A full line at `multiple` times 38 400 baud for `seconds`; true if the
// window kept up throughout.
bool paced(CountingForm& form, const QString& feeder, double multiple, double seconds)
{
    LineSource source;
    if (!source.start(feeder, {"--baud", QString::number(linerate::kBaud * multiple)}))
        return fail("the line feeder did not start"), false;
    openPort(form, source.pty());
    pump(1000);  // settle: the reader running, the first frames in

    const double bytesPerSecond = linerate::kCharactersPerSecond * multiple;
    const std::uint64_t framesBefore = form.telemetryFrames;
    const double cpuBefore = processCpuSeconds();
    std::uint64_t peakBacklog = 0;
    QElapsedTimer stage;
    stage.start();
    while (static_cast<double>(stage.elapsed()) < seconds * 1000) {
        pump(50);
        peakBacklog = std::max(peakBacklog, form.backlog());
    }
    const double elapsed = static_cast<double>(stage.elapsed()) / 1000.0;
    const double perSecond = static_cast<double>(form.telemetryFrames - framesBefore) / elapsed;
    const double cpu = processCpuSeconds() - cpuBefore;
    // Kept up: nearly every frame the line carried was decoded within the
    // stage, and the queue never held more than a quarter second of bytes.
    const bool keptUp = perSecond >= 0.95 * multiple * linerate::kTelemetryFramesPerSecond &&
                        static_cast<double>(peakBacklog) < bytesPerSecond / 4;
    std::printf(
        "paced %6.0f x: %7.0f telemetry frames/s decoded (line %7.0f), processor %.2f cores, "
        "byte messages queued at most %llu: %s\n",
        multiple, perSecond, multiple * linerate::kTelemetryFramesPerSecond, cpu / elapsed,
        static_cast<unsigned long long>(peakBacklog), keptUp ? "kept up" : "fell behind");

    // Let the queue drain before the next stage, so stages do not mix.
    PortUnit::CloseComPort(true);
    pumpUntil([&] { return form.backlog() == 0; }, 60000);
    return keptUp;
}

// The line at its rate, the window blocked for `seconds`: the queue it
// finds on waking and the time it needs to work through it.
bool stall(CountingForm& form, double seconds)
{
    LineSource source;
    if (!source.start(QStringLiteral(KALVI7_FEEDER), {"--baud", QString::number(linerate::kBaud)}))
        return fail("the line feeder did not start"), false;
    openPort(form, source.pty());
    pump(2000);
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    const std::uint64_t queued = form.backlog();
    QElapsedTimer recovery;
    recovery.start();
    // Caught up: no more than a tenth of a second of bytes waiting.
    const bool caughtUp = pumpUntil(
        [&] { return static_cast<double>(form.backlog()) < linerate::kCharactersPerSecond / 10; }, 300000);
    std::printf("stall: window blocked %.0f s at the line rate: %llu byte messages queued, %s in %.2f s\n",
                seconds, static_cast<unsigned long long>(queued), caughtUp ? "caught up" : "not caught up",
                static_cast<double>(recovery.elapsed()) / 1000.0);
    PortUnit::CloseComPort(true);
    pumpUntil([&] { return form.backlog() == 0; }, 60000);
    return caughtUp;
}

}  // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    std::uint64_t frames = 20000;
    QStringList multiples{"10", "25", "50", "100", "150", "200", "300"};
    double stageSeconds = 10;
    double stallSeconds = 10;
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); i += 2) {
        if (args[i] == "--frames")
            frames = args[i + 1].toULongLong();
        else if (args[i] == "--multiples")
            multiples = args[i + 1].split(',');
        else if (args[i] == "--stage-seconds")
            stageSeconds = args[i + 1].toDouble();
        else if (args[i] == "--stall")
            stallSeconds = args[i + 1].toDouble();
        else
            return fail(
                "usage: whole_path [--frames N] [--multiples 25,50,...] [--stage-seconds S] [--stall S]");
    }

    int errorBoxes = 0;
    errorbox::setCaptureForTest([&errorBoxes](const QString& text) {
        if (++errorBoxes > 1)
            std::fprintf(stderr, "whole_path: error box: %s\n", qPrintable(text));
    });

    QTemporaryDir scratch;
    if (!scratch.isValid() || !QDir::setCurrent(scratch.path()))
        return fail("no scratch directory");
    // No port to start with; cyclic telemetry on, so that the watchdog's
    // request starts the simulator's flood.
    std::ofstream("settings.INI") << "[Port1 setting]\nPort=" << scratch.filePath("none").toStdString()
                                  << "\nBaudRate=38400\n[Form setting]\nContinuedMode=1\n";
    CountingForm form;
    errorBoxes = 0;  // the one for the missing port at start-up
    form.clock.start();
    form.show();

    if (!flood(form, QStringLiteral(KALVI7_SIM), frames))
        return 1;
    PortUnit::CloseComPort(true);
    pumpUntil([&] { return form.backlog() == 0; }, 120000);

    double sustained = 0;
    for (const QString& m : multiples) {
        const double multiple = m.toDouble();
        if (!paced(form, QStringLiteral(KALVI7_FEEDER), multiple, stageSeconds))
            break;
        sustained = multiple;
    }
    std::printf("highest multiple of the line rate kept up with: %.0f x\n", sustained);
    if (stallSeconds > 0)
        stall(form, stallSeconds);
    // A frame cut short by a change of line may end on the next line's
    // bytes and fail its CRC; within a line nothing may be lost.
    std::printf("frames missing within a line %llu, bad CRCs %llu, error boxes %d\n",
                static_cast<unsigned long long>(form.numberGaps),
                static_cast<unsigned long long>(form.badFrames), errorBoxes);
    return errorBoxes == 0 && form.numberGaps == 0 ? 0 : 1;
}
