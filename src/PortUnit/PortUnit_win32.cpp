// The serial port driver on Windows: overlapped I/O on the COM port, a
// reader thread that waits for received characters, one overlapped write
// per byte.
#include "common/windows_api.h"

#include "PortUnit/PortUnit.h"

#include "PortUnit/open_failure.h"
#include "PortUnit/port_common.h"
#include "PortUnit/port_names.h"

#include <algorithm>
#include <atomic>
#include <deque>
#include <memory>
#include <optional>
#include <string>

namespace PortUnit {

namespace {

using namespace detail;  // texts, Flow, PostBytes

constexpr DWORD ReadBufferSize = 256;
constexpr DWORD DriverQueueSize = 256;

// While the wait fails, it is tried again after this pause, longer as the
// failure lasts: a failed wait is not free (Wine starts and ends a thread
// for each), and a port that has gone (adapter pulled) fails every call.
constexpr DWORD FirstRetryPauseMs = 100;
constexpr DWORD LongestRetryPauseMs = 1000;

// Between those tries, as long as the port still answers, the reader looks
// at the receive queue itself this often: Wine ends every wait on a port
// without modem lines (a pseudo-terminal) at once, and bytes must not wait
// for the next try. They wait this long at most, which is what the Linux
// reader lets them gather anyway; a silent line costs one cheap call per
// poll.
constexpr DWORD FailedWaitPollMs = 20;

// At close, how long writes still in progress get to finish before they
// are cancelled: the last frame goes out, a stuck line does not hold the
// window.
constexpr DWORD PendingWriteGraceMs = 500;

// At close, how long the reader gets to end after it has been told to: it
// ends at once on a sound driver; the bound keeps a driver that loses a
// cancel from hanging the window's exit.
constexpr DWORD StopGraceMs = 2000;

// One byte on its way to the port: the byte and its own overlapped record
// stay put until the write has completed.
struct PendingWrite {
    OVERLAPPED record{};
    BYTE byte = 0;
};

// Module state. PortHandle is written only while no reader runs.
HANDLE PortHandle = INVALID_HANDLE_VALUE;
HANDLE ReaderThread = nullptr;
HANDLE ReaderStopEvent = nullptr;
// Set when the window has taken enough byte messages for a reader that
// stopped at the limit to read again (auto-reset).
HANDLE ReaderRoomEvent = nullptr;
OVERLAPPED ReaderWait{};  // owned by the reader thread
std::atomic<bool> ReaderStopRequested{false};
std::atomic<bool> ReaderRunning{false};
std::deque<std::unique_ptr<PendingWrite>> PendingWrites;

bool StopRequested() { return ReaderStopRequested.load(std::memory_order_acquire); }

// Why the last Windows call failed, in the program's words
// (FormatMessage would answer in the system's language).
std::string LastErrorReason() { return WindowsErrorReason(GetLastError()); }

// Holds the reader while the window is a full limit of byte messages
// behind; false when a stop was asked for meanwhile. A room signal given
// before the wait began is still seen; a stale one costs one more look.
bool WaitForTakenMessages()
{
    while (!Flow.MayResume()) {
        HANDLE waits[2] = {ReaderStopEvent, ReaderRoomEvent};
        if (WaitForMultipleObjects(2, waits, FALSE, INFINITE) != WAIT_OBJECT_0 + 1)
            return false;
    }
    return !StopRequested();
}

// Ends the reader's pending operation when a stop is asked for. CancelIoEx
// ends a pending read; a pending WaitCommEvent ends for certain only when
// the event mask changes (Wine ignores the cancel), so the mask is cleared
// too: the port is about to close anyway. The record stays in use until the
// system has let go of it, but never for longer than StopGraceMs: a driver
// that never completes must not hold the program at its exit. Its event is
// then left open rather than closed under a pending operation.
void CollectCancelledOperation()
{
    CancelIoEx(PortHandle, &ReaderWait);
    SetCommMask(PortHandle, 0);
    if (WaitForSingleObject(ReaderWait.hEvent, StopGraceMs) != WAIT_OBJECT_0) {
        ReaderWait.hEvent = nullptr;
        return;
    }
    DWORD transferred = 0;
    GetOverlappedResult(PortHandle, &ReaderWait, &transferred, FALSE);
}

// Runs one overlapped operation of the reader to its end. False when it
// failed, or when a stop was asked for while it was pending (the operation
// is then cancelled and collected, so that its record is free again).
// `pended`, when given, tells whether the operation had to be waited for.
template <typename Start>
bool CompleteReaderOperation(Start start, DWORD& transferred, bool* pended = nullptr)
{
    if (pended != nullptr)
        *pended = false;
    ResetEvent(ReaderWait.hEvent);
    if (start())
        return GetOverlappedResult(PortHandle, &ReaderWait, &transferred, FALSE) != FALSE;
    if (GetLastError() != ERROR_IO_PENDING)
        return false;
    if (pended != nullptr)
        *pended = true;
    HANDLE waits[2] = {ReaderWait.hEvent, ReaderStopEvent};
    if (WaitForMultipleObjects(2, waits, FALSE, INFINITE) != WAIT_OBJECT_0) {
        CollectCancelledOperation();
        return false;
    }
    return GetOverlappedResult(PortHandle, &ReaderWait, &transferred, FALSE) != FALSE;
}

// The bytes the driver holds in its receive queue; nothing when the port
// does not answer. Asking clears any line error (framing, parity, overrun),
// which would otherwise stop the reading; the errors themselves are
// ignored.
std::optional<DWORD> QueuedBytes()
{
    DWORD errors = 0;
    COMSTAT status{};
    if (!ClearCommError(PortHandle, &errors, &status))
        return std::nullopt;
    return status.cbInQue;
}

// One overlapped read of at most `wanted` bytes; `got` holds the count.
// False when the read failed or a stop cut it short.
bool ReadOnce(BYTE* buffer, DWORD wanted, DWORD& got)
{
    return CompleteReaderOperation([&] { return ReadFile(PortHandle, buffer, wanted, nullptr, &ReaderWait); },
                                   got);
}

enum class Drain { Delivered, NothingQueued, PortDown };

// Reads what the receive queue holds, at most ReadBufferSize bytes at a
// time, and posts every byte, until the queue is empty.
Drain DrainReceiveQueue()
{
    BYTE buffer[ReadBufferSize];
    bool delivered = false;
    while (!StopRequested()) {
        const std::optional<DWORD> queued = QueuedBytes();
        if (!queued)
            return Drain::PortDown;
        if (*queued == 0)
            break;
        if (!Flow.HasRoomFor(ReadBufferSize) && !WaitForTakenMessages())
            break;
        DWORD got = 0;
        if (!ReadOnce(buffer, std::min(*queued, ReadBufferSize), got))
            return delivered ? Drain::Delivered : Drain::PortDown;
        PostBytes(buffer, got);
        if (got == 0)
            break;
        delivered = true;
    }
    return delivered ? Drain::Delivered : Drain::NothingQueued;
}

// Blocks in WaitCommEvent while the line is idle, as long as the wait
// works; while it fails, polls the receive queue and tries the wait again
// now and then. Ends only when CloseComPort asks.
DWORD WINAPI ComReaderThread(LPVOID)
{
    ReaderWait = OVERLAPPED{};
    ReaderWait.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    DWORD retryPauseMs = FirstRetryPauseMs;
    ULONGLONG nextWaitAt = 0;  // while the wait fails: when to try it again
    while (ReaderWait.hEvent != nullptr && !StopRequested()) {
        if (GetTickCount64() >= nextWaitAt) {
            DWORD events = 0;
            DWORD unused = 0;
            bool waited = false;
            if (CompleteReaderOperation([&] { return WaitCommEvent(PortHandle, &events, &ReaderWait); },
                                        unused, &waited)) {
                // Only a wait that waited shows the wait works again: one
                // that ends at once because bytes are queued succeeds under
                // Wine too, and the next, on a quiet line, fails again.
                if (waited)
                    retryPauseMs = FirstRetryPauseMs;
                if (events & EV_RXCHAR)
                    DrainReceiveQueue();
                continue;
            }
            if (StopRequested())
                break;
            nextWaitAt = GetTickCount64() + retryPauseMs;
            retryPauseMs = std::min(retryPauseMs * 2, LongestRetryPauseMs);
        }
        // The wait fails: what the receive queue holds is delivered before
        // any pause, so that a failed wait makes bytes late by one poll at
        // most. A port that does not answer either is left alone until the
        // wait is tried again.
        DWORD pauseMs = FailedWaitPollMs;
        if (DrainReceiveQueue() == Drain::PortDown) {
            const ULONGLONG now = GetTickCount64();
            pauseMs = nextWaitAt > now ? static_cast<DWORD>(nextWaitAt - now) : 0;
        }
        if (WaitForSingleObject(ReaderStopEvent, pauseMs) == WAIT_OBJECT_0)
            break;
    }
    if (ReaderWait.hEvent != nullptr)
        CloseHandle(ReaderWait.hEvent);
    ReaderWait.hEvent = nullptr;
    ReaderRunning.store(false, std::memory_order_release);
    return 0;
}

void StartComReader()
{
    // Should the reader not start, the port stays open without a reader, as
    // after a failed step, and the reason says why.
    ReaderStopEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (ReaderStopEvent == nullptr)
        throw PortError(TextReaderNotStarted, LastErrorReason());
    ReaderRoomEvent = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    if (ReaderRoomEvent == nullptr) {
        const DWORD error = GetLastError();
        CloseHandle(ReaderStopEvent);
        ReaderStopEvent = nullptr;
        throw PortError(TextReaderNotStarted, WindowsErrorReason(error));
    }
    ReaderStopRequested.store(false, std::memory_order_release);
    ReaderRunning.store(true, std::memory_order_release);
    ReaderThread = CreateThread(nullptr, 0, ComReaderThread, nullptr, 0, nullptr);
    if (ReaderThread == nullptr) {
        const DWORD error = GetLastError();
        ReaderRunning.store(false, std::memory_order_release);
        CloseHandle(ReaderStopEvent);
        ReaderStopEvent = nullptr;
        CloseHandle(ReaderRoomEvent);
        ReaderRoomEvent = nullptr;
        throw PortError(TextReaderNotStarted, WindowsErrorReason(error));
    }
}

void StopComReader()
{
    if (ReaderThread == nullptr)
        return;
    ReaderStopRequested.store(true, std::memory_order_release);
    SetEvent(ReaderStopEvent);
    // The reader's own waits for a cancelled operation are bounded, so it
    // ends within the grace time; this wait is bounded as well, so that
    // nothing in a driver can hold the window's exit.
    WaitForSingleObject(ReaderThread, StopGraceMs + 1000);
    CloseHandle(ReaderThread);
    ReaderThread = nullptr;
    CloseHandle(ReaderStopEvent);
    ReaderStopEvent = nullptr;
    CloseHandle(ReaderRoomEvent);
    ReaderRoomEvent = nullptr;
}

void Release(PendingWrite& write)
{
    if (write.record.hEvent != nullptr)
        CloseHandle(write.record.hEvent);
    write.record.hEvent = nullptr;
}

// Frees the records of the writes that have completed, oldest first.
void CollectFinishedWrites()
{
    while (!PendingWrites.empty() && HasOverlappedIoCompleted(&PendingWrites.front()->record)) {
        Release(*PendingWrites.front());
        PendingWrites.pop_front();
    }
}

// Before the handle goes: every write either finishes within the grace
// time or is cancelled, and is collected either way.
void FinishPendingWrites()
{
    const ULONGLONG deadline = GetTickCount64() + PendingWriteGraceMs;
    for (auto& write : PendingWrites) {
        const ULONGLONG now = GetTickCount64();
        const DWORD left = now < deadline ? static_cast<DWORD>(deadline - now) : 0;
        if (WaitForSingleObject(write->record.hEvent, left) != WAIT_OBJECT_0)
            CancelIoEx(PortHandle, &write->record);
        DWORD transferred = 0;
        GetOverlappedResult(PortHandle, &write->record, &transferred, TRUE);
        Release(*write);
    }
    PendingWrites.clear();
}

}  // namespace

void detail::SignalRoom()
{
    if (ReaderRoomEvent != nullptr)
        SetEvent(ReaderRoomEvent);
}

std::vector<std::string> EnumComPorts()
{
    std::vector<std::string> ports;
    for (int number = FirstComPortNumber; number <= LastComPortNumber; ++number) {
        // Names past COM8 exist only in the device namespace.
        const std::wstring probe =
            (number <= 8 ? L"" : L"\\\\.\\") + std::wstring(L"COM") + std::to_wstring(number);
        const HANDLE port = CreateFileW(probe.c_str(), 0, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        if (port != INVALID_HANDLE_VALUE) {
            ports.push_back("COM" + std::to_string(number));
            CloseHandle(port);
        }
    }
    return ports;
}

std::string DefaultPortName() { return "COM1"; }

std::string PortPathFor(const std::string& selectorText) { return ComDevicePath(selectorText); }

void OpenComPort(const std::string& path, std::uint32_t baudRate, std::uint8_t parity, std::uint8_t dataBits,
                 std::uint8_t stopBits)
{
    // One port at a time: a port still open is closed rather than leaked
    // with its reader still running.
    CloseComPort(true);

    // Only a COM port is opened: "\\.\" leads to every device of the
    // machine (LPT1, NUL, a disk), and a malformed name would otherwise fail
    // with a reason that does not say what is wrong with it, or open
    // something else.
    const std::optional<int> number = ComPortNumber(path);
    if (!number)
        throw PortError(TextNotOpened, NotAComPortNameReason());
    const std::wstring device = L"\\\\.\\COM" + std::to_wstring(*number);

    PortHandle = CreateFileW(device.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                             FILE_FLAG_OVERLAPPED, nullptr);
    if (PortHandle == INVALID_HANDLE_VALUE)
        throw PortError(TextNotOpened, LastErrorReason());

    if (!SetCommMask(PortHandle, EV_RXCHAR))
        throw PortError(TextMask, LastErrorReason());

    if (!SetupComm(PortHandle, DriverQueueSize, DriverQueueSize))
        throw PortError(TextQueues, LastErrorReason());

    if (!PurgeComm(PortHandle, PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR))
        throw PortError(TextNotPurged, LastErrorReason());

    DCB state{};
    state.DCBlength = sizeof state;
    if (!GetCommState(PortHandle, &state))
        throw PortError(TextNoState, LastErrorReason());

    state.BaudRate = baudRate;
    state.Parity = parity;
    state.ByteSize = dataBits;
    state.StopBits = stopBits;
    if (!SetCommState(PortHandle, &state))
        throw PortError(TextLineSettings, LastErrorReason());

    COMMTIMEOUTS timeouts{};
    if (!GetCommTimeouts(PortHandle, &timeouts))
        throw PortError(TextNoTimeouts, LastErrorReason());

    // Reads return at once with what has been received; writes have no
    // time-out.
    timeouts.ReadIntervalTimeout = MAXDWORD;
    timeouts.ReadTotalTimeoutMultiplier = 0;
    timeouts.ReadTotalTimeoutConstant = 0;
    timeouts.WriteTotalTimeoutMultiplier = 0;
    timeouts.WriteTotalTimeoutConstant = 0;
    if (!SetCommTimeouts(PortHandle, &timeouts))
        throw PortError(TextTimeouts, LastErrorReason());

    StartComReader();
}

void CloseComPort(bool close)
{
    if (!close)
        return;
    StopComReader();
    if (PortHandle == INVALID_HANDLE_VALUE)
        return;
    SetCommMask(PortHandle, 0);  // ends any wait still pending on the port
    Sleep(10);
    FinishPendingWrites();
    CloseHandle(PortHandle);
    PortHandle = INVALID_HANDLE_VALUE;
}

void WriteComByte(std::int32_t channel, std::uint8_t byte)
{
    if (channel != 1 || PortHandle == INVALID_HANDLE_VALUE)
        return;
    CollectFinishedWrites();

    auto write = std::make_unique<PendingWrite>();
    write->byte = byte;
    write->record.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (write->record.hEvent == nullptr)
        return;
    // A write that fails is lost without notice; one still in progress
    // keeps its record until it completes.
    if (!WriteFile(PortHandle, &write->byte, 1, nullptr, &write->record) &&
        GetLastError() == ERROR_IO_PENDING) {
        PendingWrites.push_back(std::move(write));
        return;
    }
    Release(*write);
}

bool IsPortOpen() { return PortHandle != INVALID_HANDLE_VALUE; }

bool IsReaderRunning() { return ReaderRunning.load(std::memory_order_acquire); }

}  // namespace PortUnit
