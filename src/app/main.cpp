// Program entry: the application object, its title, the one window, and the
// message loop. The window's own handlers do the rest: FormCreate at its
// creation, FormClose and FormDestroy when it is closed.

#include <QApplication>
#include <QCoreApplication>
#include <QFont>

#include "Unit1/TForm1.h"
#include "Unit1/error_box.h"
#include "app/parent_console.h"
#include "app/start_options.h"
#include "app/user_folder.h"

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

using Unit1::TForm1;
namespace errorbox = Unit1::errorbox;

namespace {

// The per-user folder, made and entered before anything reads settings.INI
// from the current directory. A failure goes to standard error at once, for
// a start from a shell and before a toolkit without a display gives up.
std::optional<app::UserFolder> enterUserFolder()
{
    app::UserFolder folder = app::enterUserFolder(app::processEnvironment());
    if (!folder.entered()) {
        app::writeToParentConsole();
        std::fprintf(stderr, "kalvi7: %s.\n%s\n", folder.message.c_str(), folder.reason.c_str());
        std::fflush(stderr);
    }
    return folder;
}

// A folder that cannot be made or entered stops the start, as the desktop
// entry stops when its mkdir fails: run anywhere else, the program would
// read and write a settings.INI the operator does not expect.
int refuseStart(const app::UserFolder& folder)
{
    errorbox::show(
        errorbox::withReason(QString::fromStdString(folder.message), QString::fromStdString(folder.reason)));
    return 1;
}

}  // namespace

int main(int argc, char* argv[])
{
    const app::StartOptions options = app::readStartOptions(argc, argv);
    if (options.exitStatus)
        return *options.exitStatus;
    const std::optional<app::UserFolder> folder = options.userFolder ? enterUserFolder() : std::nullopt;

    QApplication application(argc, argv);
    // The application's title names the program in the task bar and heads
    // every error box. It is deliberately not the display name, which Qt
    // would append to the window's caption.
    QCoreApplication::setApplicationName(errorbox::applicationTitle());
    // The window's font for everything else too (error boxes, tool tips):
    // on a bare system the default "sans-serif" may resolve to a
    // monospaced face.
    QApplication::setFont(QFont(QStringList{QStringLiteral("Arial"), QStringLiteral("Liberation Sans")}, 8));
    if (folder && !folder->entered())
        return refuseStart(*folder);

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
