// The serial port driver on Windows: overlapped I/O on the COM port, a
// reader thread that waits for received characters, one overlapped write
// per byte.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef _WIN32_WINNT
#define _WIN32_WINNT 0x0601  // CancelIoEx
#endif
#include <windows.h>

#include "PortUnit.h"

#include "port_common.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <deque>
#include <memory>
#include <string>

namespace PortUnit {

namespace {

using namespace detail;  // texts, Flow, PostBytes

constexpr DWORD ReadBufferSize = 256;
constexpr DWORD DriverQueueSize = 256;

// While the wait itself fails (adapter pulled) the reader tries again,
// pausing longer as the failure lasts.
constexpr DWORD FirstRetryPauseMs = 100;
constexpr DWORD LongestRetryPauseMs = 1000;

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

std::wstring Widen(const std::string& text)
{
    if (text.empty())
        return {};
    const int length =
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(std::max(length, 0)), L'\0');
    if (length > 0)
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
    return wide;
}

// The system's own description of an error code, for the rare failures
// that have no text of their own.
std::string SystemMessage(DWORD code)
{
    wchar_t* text = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
        code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string message;
    if (length > 0) {
        const int size =
            WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
        message.resize(static_cast<std::size_t>(std::max(size, 0)));
        if (size > 0)
            WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), message.data(), size, nullptr,
                                nullptr);
    }
    LocalFree(text);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == ' '))
        message.pop_back();
    return message.empty() ? "error " + std::to_string(code) : message;
}

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
    return !ReaderStopRequested.load(std::memory_order_acquire);
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
template <typename Start>
bool CompleteReaderOperation(Start start, DWORD& transferred)
{
    ResetEvent(ReaderWait.hEvent);
    if (start())
        return GetOverlappedResult(PortHandle, &ReaderWait, &transferred, FALSE) != FALSE;
    if (GetLastError() != ERROR_IO_PENDING)
        return false;
    HANDLE waits[2] = {ReaderWait.hEvent, ReaderStopEvent};
    if (WaitForMultipleObjects(2, waits, FALSE, INFINITE) != WAIT_OBJECT_0) {
        CollectCancelledOperation();
        return false;
    }
    return GetOverlappedResult(PortHandle, &ReaderWait, &transferred, FALSE) != FALSE;
}

// The bytes the driver holds in its receive queue; 0 when it cannot say.
// Asking clears any line error (framing, parity, overrun), which would
// otherwise stop the reading; the errors themselves are ignored.
DWORD QueuedBytes()
{
    DWORD errors = 0;
    COMSTAT status{};
    if (!ClearCommError(PortHandle, &errors, &status))
        return 0;
    return status.cbInQue;
}

// One overlapped read of at most `wanted` bytes; `got` holds the count.
// False when the read failed or a stop cut it short.
bool ReadOnce(BYTE* buffer, DWORD wanted, DWORD& got)
{
    return CompleteReaderOperation([&] { return ReadFile(PortHandle, buffer, wanted, nullptr, &ReaderWait); },
                                   got);
}

// Reads what the receive queue holds, at most ReadBufferSize bytes at a
// time, and posts every byte, until the queue is empty.
void DrainReceiveQueue()
{
    BYTE buffer[ReadBufferSize];
    while (!ReaderStopRequested.load(std::memory_order_acquire)) {
        const DWORD queued = QueuedBytes();
        if (queued == 0)
            return;
        if (!Flow.HasRoomFor(ReadBufferSize) && !WaitForTakenMessages())
            return;
        DWORD got = 0;
        if (!ReadOnce(buffer, std::min(queued, ReadBufferSize), got))
            return;
        PostBytes(buffer, got);
        if (got == 0)
            return;
    }
}

DWORD WINAPI ComReaderThread(LPVOID)
{
    ReaderWait = OVERLAPPED{};
    ReaderWait.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    DWORD retryPauseMs = FirstRetryPauseMs;
    while (ReaderWait.hEvent != nullptr && !ReaderStopRequested.load(std::memory_order_acquire)) {
        DWORD events = 0;
        DWORD unused = 0;
        if (!CompleteReaderOperation([&] { return WaitCommEvent(PortHandle, &events, &ReaderWait); },
                                     unused)) {
            if (ReaderStopRequested.load(std::memory_order_acquire) ||
                WaitForSingleObject(ReaderStopEvent, retryPauseMs) == WAIT_OBJECT_0)
                break;
            retryPauseMs = std::min(retryPauseMs * 2, LongestRetryPauseMs);
            continue;
        }
        retryPauseMs = FirstRetryPauseMs;
        if (events & EV_RXCHAR)
            DrainReceiveQueue();
    }
    if (ReaderWait.hEvent != nullptr)
        CloseHandle(ReaderWait.hEvent);
    ReaderWait.hEvent = nullptr;
    ReaderRunning.store(false, std::memory_order_release);
    return 0;
}

void StartComReader()
{
    // Starting the reader has no error text of its own; should it fail, the
    // port stays open without a reader and the system says why.
    ReaderStopEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (ReaderStopEvent == nullptr)
        throw PortError(SystemMessage(GetLastError()));
    ReaderRoomEvent = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    if (ReaderRoomEvent == nullptr) {
        const DWORD error = GetLastError();
        CloseHandle(ReaderStopEvent);
        ReaderStopEvent = nullptr;
        throw PortError(SystemMessage(error));
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
        throw PortError(SystemMessage(error));
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
    for (int number = 1; number <= 255; ++number) {
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

std::string PortPathFor(const std::string& selectorText) { return "\\\\.\\" + selectorText; }

// The errno value that says to the operator what a failed CreateFileW of a
// port means: Windows refuses a port another program holds with "access
// denied".
static int OpenErrorAsErrno(DWORD error)
{
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND: return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION: return EBUSY;
    default: return 0;
    }
}

void OpenComPort(const std::string& path, std::uint32_t baudRate, std::uint8_t parity, std::uint8_t dataBits,
                 std::uint8_t stopBits)
{
    // One port at a time: a port still open is closed rather than leaked
    // with its reader still running.
    CloseComPort(true);

    PortHandle = CreateFileW(Widen(path).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                             FILE_FLAG_OVERLAPPED, nullptr);
    if (PortHandle == INVALID_HANDLE_VALUE)
        throw PortError(TextNotOpened, OpenFailureReason(OpenErrorAsErrno(GetLastError())));

    if (!SetCommMask(PortHandle, EV_RXCHAR))
        throw PortError(TextMask);

    if (!SetupComm(PortHandle, DriverQueueSize, DriverQueueSize))
        throw PortError(TextQueues);

    if (!PurgeComm(PortHandle, PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR))
        throw PortError(TextNotPurged);

    DCB state{};
    state.DCBlength = sizeof state;
    if (!GetCommState(PortHandle, &state))
        throw PortError(TextNoState);

    state.BaudRate = baudRate;
    state.Parity = parity;
    state.ByteSize = dataBits;
    state.StopBits = stopBits;
    if (!SetCommState(PortHandle, &state))
        throw PortError(TextLineSettings);

    COMMTIMEOUTS timeouts{};
    if (!GetCommTimeouts(PortHandle, &timeouts))
        throw PortError(TextNoTimeouts);

    // Reads return at once with what has been received; writes have no
    // time-out.
    timeouts.ReadIntervalTimeout = MAXDWORD;
    timeouts.ReadTotalTimeoutMultiplier = 0;
    timeouts.ReadTotalTimeoutConstant = 0;
    timeouts.WriteTotalTimeoutMultiplier = 0;
    timeouts.WriteTotalTimeoutConstant = 0;
    if (!SetCommTimeouts(PortHandle, &timeouts))
        throw PortError(TextTimeouts);

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

// The adapter behind a COM port is not looked up on Windows (SetupAPI would
// tell it); the selector's entries carry no tool tip there.
std::string DescribeComPort(const std::string& /*name*/) { return {}; }

bool IsPortOpen() { return PortHandle != INVALID_HANDLE_VALUE; }

bool IsReaderRunning() { return ReaderRunning.load(std::memory_order_acquire); }

}  // namespace PortUnit
