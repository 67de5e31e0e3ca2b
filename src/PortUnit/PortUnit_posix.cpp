// The serial port driver on Linux: termios for the line, poll() for the
// reader, an eventfd to wake the reader when the port is closed and another
// to wake it when the window has caught up.
#include "PortUnit.h"

#include "byte_flow.h"
#include "line_settings_posix.h"
#include "port_enum_linux.h"
#include "termios2_baud.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <mutex>
#include <system_error>
#include <thread>

namespace PortUnit {

namespace {

const char* const TextNotOpened = "Ошибка: порт стенда не открыт";
const char* const TextNotPurged = "Ошибка: порт не сброшен";
const char* const TextNoState = "Ошибка - DCB не получен";
const char* const TextLineSettings = "Ошибка установки параметров порта";
const char* const TextNoTimeouts = "Ошибка получения таймаутов порта";
const char* const TextTimeouts = "Ошибка установки таймаутов порта";

constexpr std::size_t ReadBufferSize = 256;

// While the line is down (adapter pulled, far end of a pseudo-terminal
// closed) poll reports the port ready at once, every time; the reader then
// waits between attempts, longer as the failure lasts.
constexpr int FirstRetryPauseMs = 100;
constexpr int LongestRetryPauseMs = 1000;

// After a small delivery the reader lets the line's next bytes gather this
// long before it reads again. A serial port hands its bytes over a few at a
// time (a UART every few milliseconds); woken for each, reader and window
// spend more on waking than on the bytes, some 3 % of a core with a line
// full of telemetry at 38 400 baud, against 1.5 to 1.8 % when the bytes
// come in 20 ms batches. 20 ms is a fraction of a frame's own time on the
// wire to an operator, and far less than the terminal's buffer holds at
// any usable rate. Large deliveries (the reader is behind) are followed at
// once.
constexpr int GatherMs = 20;

// How long one byte may wait for room in the kernel's output buffer. Enough
// for the buffer to drain at any usable rate; a device that holds the line
// (flow control never released) costs the window this much once, after
// which bytes are dropped without waiting until a write gets through again.
constexpr int WriteRoomWaitMs = 500;

// Module state. PortHandle is written only while no reader runs.
int PortHandle = -1;
std::thread ReaderThread;
int ReaderWakeFd = -1;
// Signalled when the window has taken enough byte messages for a reader
// that stopped at the limit to read again.
int ReaderRoomFd = -1;
detail::ByteFlow Flow;
std::atomic<bool> ReaderStopRequested{false};
std::atomic<bool> ReaderRunning{false};
bool WriteStalled = false;

std::mutex TargetMutex;
ByteMessagePoster TargetPoster = nullptr;
void* TargetContext = nullptr;

// Waits on the wake-up descriptor alone; true when a stop was asked for.
bool WaitForStop(int timeoutMs)
{
    pollfd wake{ReaderWakeFd, POLLIN, 0};
    poll(&wake, 1, timeoutMs);
    return ReaderStopRequested.load(std::memory_order_acquire);
}

void SignalRoom()
{
    const int room = ReaderRoomFd;
    if (room < 0)
        return;
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t signalled = write(room, &one, sizeof one);
}

// Holds the reader while the window is a full limit of byte messages
// behind; false when a stop was asked for meanwhile. The room signal is
// level-triggered: one that came before the wait began is still seen.
bool WaitForTakenMessages()
{
    while (!Flow.MayResume()) {
        pollfd watched[2] = {{ReaderWakeFd, POLLIN, 0}, {ReaderRoomFd, POLLIN, 0}};
        if (poll(watched, 2, -1) < 0 && errno != EINTR)
            return false;
        if (ReaderStopRequested.load(std::memory_order_acquire))
            return false;
        std::uint64_t signals = 0;
        [[maybe_unused]] const ssize_t cleared = read(ReaderRoomFd, &signals, sizeof signals);
    }
    return !ReaderStopRequested.load(std::memory_order_acquire);
}

void PostBytes(const std::uint8_t* bytes, std::size_t count)
{
    ByteMessagePoster poster;
    void* context;
    {
        std::lock_guard<std::mutex> lock(TargetMutex);
        poster = TargetPoster;
        context = TargetContext;
    }
    if (poster == nullptr)
        return;
    // Counted before posting: the window may take a message before the
    // poster has returned.
    Flow.Posted(count);
    for (std::size_t i = 0; i < count; ++i)
        poster(context, bytes[i], 1);
}

enum class Drain { DeliveredLittle, DeliveredMuch, NothingQueued, LineDown };

// Reads what the port has queued, at most ReadBufferSize bytes at a time,
// and posts every byte, until the queue is empty.
Drain DrainReceiveQueue()
{
    std::uint8_t buffer[ReadBufferSize];
    std::size_t delivered = 0;
    const auto deliveredResult = [&delivered] {
        return delivered < ReadBufferSize ? Drain::DeliveredLittle : Drain::DeliveredMuch;
    };
    while (!ReaderStopRequested.load(std::memory_order_acquire)) {
        int queued = 0;
        if (ioctl(PortHandle, FIONREAD, &queued) != 0)
            queued = 0;
        if (queued <= 0 && delivered > 0)
            return deliveredResult();
        if (!Flow.HasRoomFor(ReadBufferSize) && !WaitForTakenMessages())
            break;
        // With nothing reported queued the read still runs once: it tells
        // an empty queue (EAGAIN) from a line that is down (0 or an error).
        const std::size_t wanted = queued > 0 ? std::min(static_cast<std::size_t>(queued), ReadBufferSize) : ReadBufferSize;
        const ssize_t got = read(PortHandle, buffer, wanted);
        if (got > 0) {
            PostBytes(buffer, static_cast<std::size_t>(got));
            delivered += static_cast<std::size_t>(got);
            continue;
        }
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return delivered > 0 ? deliveredResult() : Drain::NothingQueued;
        return delivered > 0 ? deliveredResult() : Drain::LineDown;
    }
    return delivered > 0 ? deliveredResult() : Drain::NothingQueued;
}

// Blocks in poll() while the line is idle; ends only when CloseComPort asks.
void ComReaderThread()
{
    int retryPauseMs = FirstRetryPauseMs;
    while (!ReaderStopRequested.load(std::memory_order_acquire)) {
        pollfd watched[2] = {{PortHandle, POLLIN, 0}, {ReaderWakeFd, POLLIN, 0}};
        const int ready = poll(watched, 2, -1);
        if (ready < 0 && errno == EINTR)
            continue;
        if (watched[1].revents != 0)
            break;

        bool lineDown = ready < 0 || (watched[0].revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
        if (ready > 0 && (watched[0].revents & (POLLIN | POLLHUP | POLLERR)) != 0) {
            switch (DrainReceiveQueue()) {
            case Drain::DeliveredLittle:
                retryPauseMs = FirstRetryPauseMs;
                // A stop asked for meanwhile ends the wait and the loop.
                WaitForStop(GatherMs);
                continue;
            case Drain::DeliveredMuch:
                retryPauseMs = FirstRetryPauseMs;
                continue;
            case Drain::NothingQueued:
                break;
            case Drain::LineDown:
                lineDown = true;
                break;
            }
        }
        if (!lineDown)
            continue;
        if (WaitForStop(retryPauseMs))
            break;
        retryPauseMs = std::min(retryPauseMs * 2, LongestRetryPauseMs);
    }
    ReaderRunning.store(false, std::memory_order_release);
}

// Starting the reader has no error text of its own; should it fail, the
// port stays open without a reader and the system says why.
void StartComReader()
{
    ReaderWakeFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (ReaderWakeFd < 0)
        throw PortError(std::system_category().message(errno));
    ReaderRoomFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (ReaderRoomFd < 0) {
        const int error = errno;
        close(ReaderWakeFd);
        ReaderWakeFd = -1;
        throw PortError(std::system_category().message(error));
    }
    ReaderStopRequested.store(false, std::memory_order_release);
    ReaderRunning.store(true, std::memory_order_release);
    try {
        ReaderThread = std::thread(ComReaderThread);
    } catch (const std::system_error& error) {
        ReaderRunning.store(false, std::memory_order_release);
        close(ReaderWakeFd);
        ReaderWakeFd = -1;
        close(ReaderRoomFd);
        ReaderRoomFd = -1;
        throw PortError(error.what());
    }
}

void StopComReader()
{
    if (!ReaderThread.joinable())
        return;
    ReaderStopRequested.store(true, std::memory_order_release);
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t woken = write(ReaderWakeFd, &one, sizeof one);
    ReaderThread.join();
    close(ReaderWakeFd);
    ReaderWakeFd = -1;
    close(ReaderRoomFd);
    ReaderRoomFd = -1;
}

// Exclusive use: an advisory lock, taken before anything about the line is
// changed, refuses the port to every program that asks for the lock
// (root included, whom TIOCEXCL does not stop); TIOCEXCL then refuses
// further opens to programs that do not lock.
bool TakeExclusive(int fd)
{
    if (flock(fd, LOCK_EX | LOCK_NB) != 0)
        return false;
    // A file that is not a terminal has no exclusive mode; it fails later,
    // at the first step that needs a terminal.
    return ioctl(fd, TIOCEXCL) == 0 || errno == ENOTTY;
}

bool ApplyLineSettings(std::uint32_t baudRate, std::uint8_t parity, std::uint8_t dataBits,
                       std::uint8_t stopBits, termios line)
{
    detail::MakeRawLine(line);
    if (!detail::ApplyFraming(line, parity, dataBits, stopBits))
        return false;
    // tcsetattr succeeds when any part of the change took, so the result is
    // read back.
    termios back{};
    if (tcsetattr(PortHandle, TCSANOW, &line) != 0 || tcgetattr(PortHandle, &back) != 0
        || !detail::SameFraming(line, back))
        return false;
    return detail::SetLineBaud(PortHandle, baudRate);
}

// Reads return at once with whatever is queued, possibly nothing.
bool ApplyReadTimeouts(termios line)
{
    line.c_cc[VMIN] = 0;
    line.c_cc[VTIME] = 0;
    termios back{};
    return tcsetattr(PortHandle, TCSANOW, &line) == 0 && tcgetattr(PortHandle, &back) == 0
        && back.c_cc[VMIN] == 0 && back.c_cc[VTIME] == 0;
}

bool WaitForRoom(std::chrono::steady_clock::time_point deadline)
{
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return false;
        pollfd port{PortHandle, POLLOUT, 0};
        const int ready = poll(&port, 1, static_cast<int>(left.count()));
        if (ready > 0)
            return (port.revents & POLLOUT) != 0;
        if (ready == 0 || errno != EINTR)
            return false;
    }
}

}  // namespace

void SetByteMessageTarget(ByteMessagePoster poster, void* context)
{
    {
        std::lock_guard<std::mutex> lock(TargetMutex);
        TargetPoster = poster;
        TargetContext = context;
        Flow.ResetCount();
    }
    SignalRoom();
}

void ByteMessageTaken()
{
    if (Flow.Taken())
        SignalRoom();
}

std::int64_t ByteMessagesInFlight()
{
    return Flow.InFlight();
}

std::vector<std::string> EnumComPorts()
{
    return detail::ListSerialPorts(detail::SerialTreeRoots{});
}

std::string DefaultPortName()
{
    return "/dev/ttyUSB0";
}

std::string PortPathFor(const std::string& selectorText)
{
    return selectorText;
}

void OpenComPort(const std::string& path, std::uint32_t baudRate, std::uint8_t parity,
                 std::uint8_t dataBits, std::uint8_t stopBits)
{
    // One port at a time: a port still open is closed rather than leaked
    // with its reader still running.
    CloseComPort(true);

    // Step 1: open for exclusive use. O_NOCTTY keeps the port from becoming
    // our controlling terminal, O_NONBLOCK keeps open() from waiting for
    // carrier and lets writes report a full buffer.
    const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        throw PortError(TextNotOpened);
    if (!TakeExclusive(fd)) {
        close(fd);
        throw PortError(TextNotOpened);
    }
    PortHandle = fd;

    // The receive mask and the driver queue sizes of the Windows driver have
    // no counterpart here; those steps always succeed.

    if (tcflush(PortHandle, TCIOFLUSH) != 0)
        throw PortError(TextNotPurged);

    termios line{};
    if (tcgetattr(PortHandle, &line) != 0)
        throw PortError(TextNoState);

    if (!ApplyLineSettings(baudRate, parity, dataBits, stopBits, line))
        throw PortError(TextLineSettings);

    if (tcgetattr(PortHandle, &line) != 0)
        throw PortError(TextNoTimeouts);

    if (!ApplyReadTimeouts(line))
        throw PortError(TextTimeouts);

    StartComReader();
}

void CloseComPort(bool close)
{
    if (!close)
        return;
    // The reader is joined first: it holds no pending operation on the port
    // afterwards, so the descriptor can go at once.
    StopComReader();
    if (PortHandle >= 0) {
        ioctl(PortHandle, TIOCNXCL);
        ::close(PortHandle);
        PortHandle = -1;
    }
    WriteStalled = false;
}

void WriteComByte(std::int32_t channel, std::uint8_t byte)
{
    if (channel != 1 || PortHandle < 0)
        return;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(WriteRoomWaitMs);
    for (;;) {
        const ssize_t written = write(PortHandle, &byte, 1);
        if (written == 1) {
            WriteStalled = false;
            return;
        }
        if (written < 0 && errno == EINTR)
            continue;
        // A full output buffer is waited out, so that a frame is not cut in
        // the middle; other failures lose the byte without notice.
        if (written < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) && !WriteStalled) {
            if (WaitForRoom(deadline))
                continue;
            WriteStalled = true;
        }
        return;
    }
}

bool IsPortOpen()
{
    return PortHandle >= 0;
}

bool IsReaderRunning()
{
    return ReaderRunning.load(std::memory_order_acquire);
}

}  // namespace PortUnit
