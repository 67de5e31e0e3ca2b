// Ctrl+C, Ctrl+Break, a closed console window, a logoff or a shutdown all
// ask for the same orderly end. The system calls the handler on a thread
// of its own, so the flag is atomic rather than a signal's sig_atomic_t.
#include "common/windows_api.h"

#include <atomic>

#include "ctl/stop_signals.h"

namespace ctl {
namespace {

std::atomic<bool> stopEvent{false};
HANDLE handledEvent = nullptr;

// A closed console, a logoff and a shutdown end the process once the
// handler returns, and Windows grants it about 5 s before it ends it
// anyway; within that the program closes the port (the reader's close is
// bounded at a few seconds) and flushes what it printed.
constexpr DWORD kCloseGraceMs = 4500;

BOOL WINAPI onConsoleEvent(DWORD event)
{
    switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT: stopEvent.store(true); return TRUE;
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
        stopEvent.store(true);
        if (handledEvent != nullptr)
            WaitForSingleObject(handledEvent, kCloseGraceMs);
        return TRUE;
    default: return FALSE;
    }
}

}  // namespace

void catchStopSignals()
{
    handledEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    SetConsoleCtrlHandler(onConsoleEvent, TRUE);
}

bool stopRequested() { return stopEvent.load(); }

void stopHandled()
{
    if (handledEvent != nullptr)
        SetEvent(handledEvent);
}

}  // namespace ctl
