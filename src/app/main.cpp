// Program entry: the application object, its title, the one window, and the
// message loop. The window's own handlers do the rest: FormCreate at its
// creation, FormClose and FormDestroy when it is closed.

#include <QApplication>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFont>

#include "TForm1.h"
#include "error_box.h"

#include <QDialog>

#include <cstdio>
#include <functional>
#include <optional>

#ifdef Q_OS_UNIX
#include <QSocketNotifier>

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>
#include <csignal>

namespace {

// SIGTERM, SIGINT and SIGHUP end the program the way the close box does.
// The handler only writes to a socket pair; the event loop reads it and
// runs the window's close, so the port is released and the settings are
// written.
int signalPair[2] = {-1, -1};

void onTerminationSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const auto written = ::write(signalPair[0], &byte, 1);
}

void onTerminationSignals(QObject& owner, std::function<void()> handler)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPair) != 0)
        return;
    for (int fd : signalPair)
        ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    ::fcntl(signalPair[0], F_SETFL, O_NONBLOCK);

    auto* notifier = new QSocketNotifier(signalPair[1], QSocketNotifier::Read, &owner);
    QObject::connect(notifier, &QSocketNotifier::activated, &owner, [handler] {
        char byte;
        [[maybe_unused]] const auto got = ::read(signalPair[1], &byte, 1);
        handler();
    });

    struct sigaction action = {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : {SIGTERM, SIGINT, SIGHUP})
        ::sigaction(signal, &action, nullptr);
}

}  // namespace
#endif

namespace {

// --help and --version answer on standard output and end the program before
// the window system is touched, so they work on a console without a display.
// Every other argument is left as it always was: the toolkit takes its own
// (-platform, -style, ...) and the rest is ignored. Single-dash words are
// read whole, so the toolkit's -reverse is not taken for -r -e -v ...
// Returns the exit status when the program is to end here.
std::optional<int> answerInformationOptions(int& argc, char* argv[])
{
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.setApplicationDescription(QStringLiteral(
        "Pre-flight preparation of the KALVI-7 radiosonde over a serial port: live telemetry,\n"
        "calibration, radio settings and health flags.\n"
        "Reads settings.INI from the current directory at start and writes it there at exit.\n"
        "The Qt toolkit's own options (-platform, -style, ...) are accepted too.\n"
        "See kalvi7(1)."));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Show this text and exit."));
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")},
                                     QStringLiteral("Show the version and exit."));
    parser.addOption(help);
    parser.addOption(version);

    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    // Unknown options are not errors here: they belong to the toolkit.
    parser.parse(arguments);

    if (parser.isSet(help)) {
        // A core application, which needs no display, gives the usage line
        // the program's name as it was started.
        const QCoreApplication core(argc, argv);
        std::fputs(parser.helpText().toLocal8Bit().constData(), stdout);
        return 0;
    }
    if (parser.isSet(version)) {
        std::fputs("kalvi7 " KALVI7_VERSION "\n", stdout);
        return 0;
    }
    return std::nullopt;
}

}  // namespace

int main(int argc, char* argv[])
{
    if (const auto status = answerInformationOptions(argc, argv))
        return *status;

    QApplication application(argc, argv);
    // The application's title names the program in the task bar and heads
    // every error box. It is deliberately not the display name, which Qt
    // would append to the window's caption.
    QCoreApplication::setApplicationName(errorbox::applicationTitle());
    // The window's font for everything else too (error boxes, tool tips):
    // on a bare system the default "sans-serif" may resolve to a
    // monospaced face.
    QApplication::setFont(QFont(QStringList{QStringLiteral("Arial"), QStringLiteral("Liberation Sans")}, 8));

    [[maybe_unused]] TForm1* window = nullptr;  // read only by the signal handling of Unix
    bool quitDuringStart = false;
#ifdef Q_OS_UNIX
    onTerminationSignals(application, [&window, &quitDuringStart] {
        if (window) {
            window->close();
            return;
        }
        // Still starting, perhaps showing the port's error box: dismiss it
        // and close the window as soon as it exists.
        quitDuringStart = true;
        if (auto* box = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
            box->reject();
    });
#endif

    // FormCreate runs here; an error it lets through (the port failing to
    // open) is shown before the window appears.
    TForm1 form;
    window = &form;
    if (quitDuringStart) {
        form.close();
        return 0;
    }
    form.show();
    return QApplication::exec();
}
