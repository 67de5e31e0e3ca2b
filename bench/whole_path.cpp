// The whole receiving path at full speed: the simulated radiosonde floods a
// pseudo-terminal with cyclic telemetry, the port's reader thread posts
// every byte to a real window (offscreen), and the window's receiver,
// decoders and widgets take them. Counts the telemetry frames decoded and
// reports them per second and as a multiple of what a 38 400-baud line can
// carry.
//
//   whole_path [--frames N] [--sim PATH]
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "TForm1.h"
#include "error_box.h"
#include "frame.h"
#include "line_rate.h"
#include "proc_figures.h"

namespace {

// The window as the program has it, counting the telemetry frames that
// reach the decoders and the gaps in their packet numbers.
class CountingForm : public TForm1 {
public:
    std::uint64_t telemetryFrames = 0;
    std::uint64_t numberGaps = 0;
    std::uint64_t badFrames = 0;
    qint64 firstAtNs = -1, lastAtNs = -1;
    QElapsedTimer clock;

    void dispatchFrame(const protocol::RxBuffer& RxBuf) override
    {
        if (RxBuf[0] == protocol::PT_TELEMETRY) {
            const std::uint8_t number = RxBuf[3];
            if (telemetryFrames > 0 && number != static_cast<std::uint8_t>(lastNumber_ + 1))
                ++numberGaps;
            lastNumber_ = number;
            ++telemetryFrames;
            lastAtNs = clock.nsecsElapsed();
            if (firstAtNs < 0)
                firstAtNs = lastAtNs;
        }
        TForm1::dispatchFrame(RxBuf);
    }
    void setPacketNumberColour(bool crcGood) override
    {
        if (!crcGood)
            ++badFrames;
        TForm1::setPacketNumberColour(crcGood);
    }

private:
    std::uint8_t lastNumber_ = 0;
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

int fail(const char* why)
{
    std::fprintf(stderr, "whole_path: %s\n", why);
    return 1;
}

}  // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    std::uint64_t frames = 50000;
    QString simPath = QStringLiteral(KALVI7_SIM);
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); i += 2) {
        if (args[i] == "--frames")
            frames = args[i + 1].toULongLong();
        else if (args[i] == "--sim")
            simPath = args[i + 1];
        else
            return fail("usage: whole_path [--frames N] [--sim PATH]");
    }
    if (frames < 2)
        return fail("--frames must be at least 2");

    int errorBoxes = 0;
    errorbox::setCaptureForTest([&errorBoxes](const QString& text) {
        ++errorBoxes;
        std::fprintf(stderr, "whole_path: error box: %s\n", qPrintable(text));
    });

    QTemporaryDir scratch;
    if (!scratch.isValid() || !QDir::setCurrent(scratch.path()))
        return fail("no scratch directory");

    QProcess sim;
    sim.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    sim.start(simPath, {"--flood", "--frames", QString::number(frames), "--warmup", "0", "--seed", "1"});
    if (!sim.waitForStarted(5000) || !sim.waitForReadyRead(5000))
        return fail("the simulator did not start");
    const std::string pty = sim.readLine().trimmed().toStdString();

    // Cyclic telemetry on: the watchdog's first request asks for it.
    std::ofstream("settings.INI") << "[Port1 setting]\nPort=" << pty
                                  << "\nBaudRate=38400\n[Form setting]\nContinuedMode=1\n";

    const ProcFigures before = ProcFigures::ofSelf();
    CountingForm form;
    form.clock.start();
    form.show();

    // The first request goes out at the watchdog's first expiry, 3 s in.
    QElapsedTimer waited;
    waited.start();
    while (form.telemetryFrames == 0 && waited.elapsed() < 10000)
        pump(50);
    if (form.telemetryFrames == 0)
        return fail("no telemetry frame arrived");

    const double cpuAtFirst = processCpuSeconds();
    long peakRssKb = 0;
    // Until every frame is in, or nothing has come for two seconds.
    std::uint64_t seen = 0;
    QElapsedTimer quiet;
    quiet.start();
    while (form.telemetryFrames < frames) {
        pump(100);
        peakRssKb = std::max(peakRssKb, ProcFigures::ofSelf().vmRssKb);
        if (form.telemetryFrames != seen) {
            seen = form.telemetryFrames;
            quiet.restart();
        } else if (quiet.elapsed() > 2000) {
            break;
        }
    }
    const double cpu = processCpuSeconds() - cpuAtFirst;
    const double seconds = static_cast<double>(form.lastAtNs - form.firstAtNs) / 1e9;
    const double perSecond = static_cast<double>(form.telemetryFrames - 1) / seconds;

    std::printf("telemetry frames decoded   %llu of %llu sent\n",
                static_cast<unsigned long long>(form.telemetryFrames),
                static_cast<unsigned long long>(frames));
    std::printf("time, first to last frame  %.3f s\n", seconds);
    std::printf("whole path                 %.0f telemetry frames/s\n", perSecond);
    std::printf("multiple of the line rate  %.1f x (38400 baud: %.1f telemetry frames/s)\n",
                perSecond / linerate::kTelemetryFramesPerSecond, linerate::kTelemetryFramesPerSecond);
    std::printf("processor time meanwhile   %.2f s (%.2f cores; reader and window threads)\n", cpu,
                cpu / seconds);
    std::printf("resident memory            %ld kB before the window, peak %ld kB\n",
                before.vmRssKb, peakRssKb);
    std::printf("numbering gaps, bad CRCs   %llu, %llu\n",
                static_cast<unsigned long long>(form.numberGaps),
                static_cast<unsigned long long>(form.badFrames));

    form.close();
    sim.terminate();
    sim.waitForFinished(5000);

    const bool complete = form.telemetryFrames == frames && form.numberGaps == 0 && form.badFrames == 0;
    if (!complete || errorBoxes != 0)
        return fail("frames were lost, damaged or an error box was shown");
    return 0;
}
