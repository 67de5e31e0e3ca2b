// Program entry: the application object, its title, the one window, and the
// message loop. The window's own handlers do the rest: FormCreate at its
// creation, FormClose and FormDestroy when it is closed.

#include <QApplication>

#include "TForm1.h"
#include "error_box.h"

#ifdef Q_OS_UNIX
#include <QSocketNotifier>

#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// SIGTERM, SIGINT and SIGHUP end the program the way the close box does.
// The handler only writes to a socket pair; the loop reads it and closes
// the window, so the port is released and the settings are written.
int signalPair[2] = {-1, -1};

void onTerminationSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const auto written = ::write(signalPair[0], &byte, 1);
}

void closeOnTerminationSignals(TForm1& form)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPair) != 0)
        return;
    for (int fd : signalPair)
        ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    ::fcntl(signalPair[0], F_SETFL, O_NONBLOCK);

    auto* notifier = new QSocketNotifier(signalPair[1], QSocketNotifier::Read, &form);
    QObject::connect(notifier, &QSocketNotifier::activated, &form, [&form] {
        char byte;
        [[maybe_unused]] const auto got = ::read(signalPair[1], &byte, 1);
        form.close();
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

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    // The application's title names the program in the task bar and heads
    // every error box. It is deliberately not the display name, which Qt
    // would append to the window's caption.
    QCoreApplication::setApplicationName(errorbox::applicationTitle());

    // FormCreate runs here; an error it lets through (the port failing to
    // open) is shown before the window appears.
    TForm1 form;
#ifdef Q_OS_UNIX
    closeOnTerminationSignals(form);
#endif
    form.show();
    return QApplication::exec();
}
