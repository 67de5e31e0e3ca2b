// --help and --version answer on standard output and end the program before
// the window system is touched, so they work on a console without a display.
// Every other argument is left as it always was: the toolkit takes its own
// (-platform, -style, ...) and the rest is ignored. Single-dash words are
// read whole, so the toolkit's -reverse is not taken for -r -e -v ...
#include "app/start_options.h"

#include "app/parent_console.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cstdio>

namespace app {

namespace {

// The toolkit wraps the text to the width of the column.
#ifdef _WIN32
constexpr const char* kUserFolderText =
    "Make the per-user folder %APPDATA%\\kalvi7 if need be and run in it, so that its settings.INI is used; "
    "the Start menu entry starts the program so.";
#else
constexpr const char* kUserFolderText =
    "Make the per-user folder $XDG_CONFIG_HOME/kalvi7 (~/.config/kalvi7 when XDG_CONFIG_HOME is unset or "
    "relative) if need be and run in it, so that its settings.INI is used.";
#endif

}  // namespace

StartOptions readStartOptions(int& argc, char* argv[])
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
    const QCommandLineOption userFolder(QStringLiteral("user-folder"), QString::fromUtf8(kUserFolderText));
    parser.addOption(help);
    parser.addOption(version);
    parser.addOption(userFolder);

    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    // Unknown options are not errors here: they belong to the toolkit.
    parser.parse(arguments);

    StartOptions options;
    options.userFolder = parser.isSet(userFolder);
    if (parser.isSet(help)) {
        writeToParentConsole();
        // A core application, which needs no display, gives the usage line
        // the program's name as it was started.
        const QCoreApplication core(argc, argv);
        std::fputs(parser.helpText().toLocal8Bit().constData(), stdout);
        std::fflush(stdout);
        options.exitStatus = 0;
    } else if (parser.isSet(version)) {
        writeToParentConsole();
        std::fputs("kalvi7 " KALVI7_VERSION "\n", stdout);
        std::fflush(stdout);
        options.exitStatus = 0;
    }
    return options;
}

}  // namespace app
