// kalvi7-showcase: the main window filled with the widest texts the
// decoders can write, for a look (or a screenshot) at whether anything is
// clipped. No port is opened: the packets are fed straight into the
// window's receiver, and the link watchdog is held off so that the texts
// stay. Ctrl+Alt+Shift+K turns to the service page as in the program.
//
// Prints "ready" on standard output once the window is shown and filled;
// ends when the window is closed or on SIGINT/SIGTERM.

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <atomic>
#include <csignal>
#include <cstdio>

#include "Unit1/TForm1.h"
#include "Unit1/error_box.h"
#include "showcase/widest_frames.h"

using Unit1::TForm1;
namespace errorbox = Unit1::errorbox;

namespace {

std::atomic<bool> stopRequested{false};

void requestStop(int) { stopRequested = true; }

// Longer than any look at the window: the watchdog would write "-".
constexpr int kWatchdogHeldOffMs = 24 * 60 * 60 * 1000;

// A settings file naming a port that does not exist in the scratch
// directory, so that no serial device is touched; the selector shows it.
bool writeSettings(const QString& directory)
{
    QFile file(QDir(directory).filePath(QStringLiteral("settings.INI")));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    file.write(
        "[Port1 setting]\nPort=COM1\nBaudRate=38400\n"
        "[Form setting]\nContinuedMode=0\nAmplSetEnable=0\n");
    return true;
}

}  // namespace

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    QCoreApplication::setApplicationName(errorbox::applicationTitle());

    // The window keeps settings.INI in the current directory; a scratch one
    // keeps the operator's own file out of reach.
    QTemporaryDir scratch;
    if (!scratch.isValid() || !QDir::setCurrent(scratch.path()) || !writeSettings(scratch.path())) {
        std::fprintf(stderr, "kalvi7-showcase: no scratch directory\n");
        return 1;
    }
    // The port that is not there is expected; its error goes to standard
    // error instead of a modal box.
    errorbox::setCaptureForTest(
        [](const QString& text) { std::fprintf(stderr, "kalvi7-showcase: %s\n", qPrintable(text)); });

    TForm1 form;
    form.setWatchdogIntervalForTest(kWatchdogHeldOffMs);
    for (const showcase::Frame& frame : showcase::widestFrames())
        for (std::uint8_t byte : frame)
            form.Calc(byte, 1);
    form.show();

    QTimer::singleShot(0, [] {
        std::printf("ready\n");
        std::fflush(stdout);
    });

    std::signal(SIGINT, requestStop);
    std::signal(SIGTERM, requestStop);
    QTimer stopPoll;
    QObject::connect(&stopPoll, &QTimer::timeout, [&form] {
        if (stopRequested)
            form.close();
    });
    stopPoll.start(100);

    const int status = QApplication::exec();
    QDir::setCurrent(QDir::tempPath());
    return status;
}
