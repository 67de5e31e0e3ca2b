// SIGINT (Ctrl+C), SIGTERM (kill, a service manager) and SIGHUP (the
// terminal went away) all ask for the same orderly end.
#include <csignal>
#include <initializer_list>

#include "ctl/stop_signals.h"

namespace ctl {
namespace {

volatile std::sig_atomic_t stopSignal = 0;

void onStopSignal(int) { stopSignal = 1; }

}  // namespace

void catchStopSignals()
{
    struct sigaction action = {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP})
        sigaction(signal, &action, nullptr);
}

bool stopRequested() { return stopSignal != 0; }

void stopHandled() {}

}  // namespace ctl
