// The serial port driver on Linux: termios for the line, poll() for the
// reader, an eventfd to wake the reader when the port is closed and another
// to wake it when the window has caught up.
#include "PortUnit/PortUnit.h"

#include "PortUnit/line_settings_posix.h"
#include "PortUnit/open_failure.h"
#include "PortUnit/port_common.h"
#include "PortUnit/port_enum_linux.h"
#include "PortUnit/port_info_linux.h"
#include "PortUnit/termios2_baud.h"

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
#include <system_error>
#include <thread>

namespace PortUnit {

namespace {

using namespace detail;  // texts, Flow, PostBytes

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

// The module's state, one instance. PortHandle is written only while no
// reader runs; the reader thread reads it, the stop request and its wake-up
// descriptors.
struct PortState {
    int PortHandle = -1;
    std::thread ReaderThread;
    int ReaderWakeFd = -1;
    // Signalled when the window has taken enough byte messages for a reader
    // that stopped at the limit to read again.
    int ReaderRoomFd = -1;
    std::atomic<bool> ReaderStopRequested{false};
    std::atomic<bool> ReaderRunning{false};
    bool WriteStalled = false;

    bool StopRequested() const { return ReaderStopRequested.load(std::memory_order_acquire); }

    // Closes the reader's wake-up descriptors; the reader is not running.
    void CloseWakeups()
    {
        CloseIfOpen(ReaderWakeFd);
        CloseIfOpen(ReaderRoomFd);
    }

    // Back to a closed port: no reader, no descriptor, no stalled write.
    // Only once the reader thread has been joined.
    void Reset()
    {
        CloseWakeups();
        if (PortHandle >= 0) {
            ioctl(PortHandle, TIOCNXCL);
            CloseIfOpen(PortHandle);
        }
        ReaderStopRequested.store(false, std::memory_order_release);
        ReaderRunning.store(false, std::memory_order_release);
        WriteStalled = false;
    }

private:
    static void CloseIfOpen(int& fd)
    {
        if (fd >= 0)
            close(fd);
        fd = -1;
    }
};

PortState State;

// Waits on the wake-up descriptor alone; true when a stop was asked for.
bool WaitForStop(int timeoutMs)
{
    pollfd wake{State.ReaderWakeFd, POLLIN, 0};
    poll(&wake, 1, timeoutMs);
    return State.StopRequested();
}

// Holds the reader while the window is a full limit of byte messages
// behind; false when a stop was asked for meanwhile. The room signal is
// level-triggered: one that came before the wait began is still seen.
bool WaitForTakenMessages()
{
    while (!Flow.MayResume()) {
        pollfd watched[2] = {{State.ReaderWakeFd, POLLIN, 0}, {State.ReaderRoomFd, POLLIN, 0}};
        if (poll(watched, 2, -1) < 0 && errno != EINTR)
            return false;
        if (State.StopRequested())
            return false;
        std::uint64_t signals = 0;
        [[maybe_unused]] const ssize_t cleared = read(State.ReaderRoomFd, &signals, sizeof signals);
    }
    return !State.StopRequested();
}

enum class Drain { DeliveredLittle, DeliveredMuch, NothingQueued, LineDown };

// What a drain reports once it has delivered `delivered` bytes; `otherwise`
// when it has delivered none.
Drain DrainResult(std::size_t delivered, Drain otherwise)
{
    if (delivered == 0)
        return otherwise;
    return delivered < ReadBufferSize ? Drain::DeliveredLittle : Drain::DeliveredMuch;
}

// The bytes the terminal reports queued; 0 when it cannot say.
std::size_t QueuedBytes()
{
    int queued = 0;
    if (ioctl(State.PortHandle, FIONREAD, &queued) != 0 || queued < 0)
        return 0;
    return static_cast<std::size_t>(queued);
}

enum class ReadResult { Got, Interrupted, QueueEmpty, LineDown };

// One read of at most `wanted` bytes; `got` holds the count when some came.
ReadResult ReadOnce(std::uint8_t* buffer, std::size_t wanted, std::size_t& got)
{
    const ssize_t n = read(State.PortHandle, buffer, wanted);
    if (n > 0) {
        got = static_cast<std::size_t>(n);
        return ReadResult::Got;
    }
    if (n < 0 && errno == EINTR)
        return ReadResult::Interrupted;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
        return ReadResult::QueueEmpty;
    return ReadResult::LineDown;
}

// Reads what the port has queued, at most ReadBufferSize bytes at a time,
// and posts every byte, until the queue is empty.
Drain DrainReceiveQueue()
{
    std::uint8_t buffer[ReadBufferSize];
    std::size_t delivered = 0;
    while (!State.StopRequested()) {
        const std::size_t queued = QueuedBytes();
        if (queued == 0 && delivered > 0)
            break;
        if (!Flow.HasRoomFor(ReadBufferSize) && !WaitForTakenMessages())
            break;
        // With nothing reported queued the read still runs once: it tells
        // an empty queue (EAGAIN) from a line that is down (0 or an error).
        const std::size_t wanted = queued > 0 ? std::min(queued, ReadBufferSize) : ReadBufferSize;
        std::size_t got = 0;
        switch (ReadOnce(buffer, wanted, got)) {
        case ReadResult::Got:
            PostBytes(buffer, got);
            delivered += got;
            break;
        case ReadResult::Interrupted: break;
        case ReadResult::QueueEmpty: return DrainResult(delivered, Drain::NothingQueued);
        case ReadResult::LineDown: return DrainResult(delivered, Drain::LineDown);
        }
    }
    return DrainResult(delivered, Drain::NothingQueued);
}

// Blocks in poll() while the line is idle; ends only when CloseComPort asks.
void ComReaderThread()
{
    int retryPauseMs = FirstRetryPauseMs;
    while (!State.StopRequested()) {
        pollfd watched[2] = {{State.PortHandle, POLLIN, 0}, {State.ReaderWakeFd, POLLIN, 0}};
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
            case Drain::DeliveredMuch: retryPauseMs = FirstRetryPauseMs; continue;
            case Drain::NothingQueued: break;
            case Drain::LineDown: lineDown = true; break;
            }
        }
        if (!lineDown)
            continue;
        if (WaitForStop(retryPauseMs))
            break;
        retryPauseMs = std::min(retryPauseMs * 2, LongestRetryPauseMs);
    }
    State.ReaderRunning.store(false, std::memory_order_release);
}

// Should the reader not start, the port stays open without a reader, as
// after a failed step, and the reason is given in the program's words, not
// the system's message, which follows the system's language.
void StartComReader()
{
    State.ReaderWakeFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (State.ReaderWakeFd < 0)
        throw PortError(TextReaderNotStarted, OpenFailureReason(errno));
    State.ReaderRoomFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (State.ReaderRoomFd < 0) {
        const int error = errno;
        State.CloseWakeups();
        throw PortError(TextReaderNotStarted, OpenFailureReason(error));
    }
    State.ReaderStopRequested.store(false, std::memory_order_release);
    State.ReaderRunning.store(true, std::memory_order_release);
    try {
        State.ReaderThread = std::thread(ComReaderThread);
    } catch (const std::system_error& error) {
        State.ReaderRunning.store(false, std::memory_order_release);
        State.CloseWakeups();
        throw PortError(TextReaderNotStarted, ThreadStartReason(error.code().value()));
    }
}

void StopComReader()
{
    if (!State.ReaderThread.joinable())
        return;
    State.ReaderStopRequested.store(true, std::memory_order_release);
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t woken = write(State.ReaderWakeFd, &one, sizeof one);
    State.ReaderThread.join();
    State.CloseWakeups();
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

// Empty when the line took the settings; otherwise why not: the system's
// reason when a call failed, the refused value when the port kept another.
std::string ApplyLineSettings(std::uint32_t baudRate, std::uint8_t parity, std::uint8_t dataBits,
                              std::uint8_t stopBits, termios line)
{
    detail::MakeRawLine(line);
    if (!detail::ApplyFraming(line, parity, dataBits, stopBits))
        return RefusedFramingReason(parity, dataBits, stopBits);
    // tcsetattr succeeds when any part of the change took, so the result is
    // read back.
    termios back{};
    if (tcsetattr(State.PortHandle, TCSANOW, &line) != 0 || tcgetattr(State.PortHandle, &back) != 0)
        return OpenFailureReason(errno);
    if (!detail::SameFraming(line, back))
        return RefusedFramingReason(parity, dataBits, stopBits);
    const int baudError = detail::SetLineBaud(State.PortHandle, baudRate);
    if (baudError == detail::RateNotKept)
        return RefusedBaudReason(baudRate);
    return OpenFailureReason(baudError);
}

// Reads return at once with whatever is queued, possibly nothing. Empty
// when they do; otherwise why not.
std::string ApplyReadTimeouts(termios line)
{
    line.c_cc[VMIN] = 0;
    line.c_cc[VTIME] = 0;
    termios back{};
    if (tcsetattr(State.PortHandle, TCSANOW, &line) != 0 || tcgetattr(State.PortHandle, &back) != 0)
        return OpenFailureReason(errno);
    if (back.c_cc[VMIN] != 0 || back.c_cc[VTIME] != 0)
        return NotKeptReason();
    return {};
}

bool WaitForRoom(std::chrono::steady_clock::time_point deadline)
{
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return false;
        pollfd port{State.PortHandle, POLLOUT, 0};
        const int ready = poll(&port, 1, static_cast<int>(left.count()));
        if (ready > 0)
            return (port.revents & POLLOUT) != 0;
        if (ready == 0 || errno != EINTR)
            return false;
    }
}

}  // namespace

void detail::SignalRoom()
{
    const int room = State.ReaderRoomFd;
    if (room < 0)
        return;
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t signalled = write(room, &one, sizeof one);
}

std::vector<std::string> EnumComPorts() { return detail::ListSerialPorts(detail::SerialTreeRoots{}); }

std::string DescribeComPort(const std::string& name)
{
    return detail::DescribePortFacts(detail::ReadPortFacts(name, detail::SerialTreeRoots{}));
}

std::string DefaultPortName() { return "/dev/ttyUSB0"; }

std::string PortPathFor(const std::string& selectorText) { return selectorText; }

void OpenComPort(const std::string& path, std::uint32_t baudRate, std::uint8_t parity, std::uint8_t dataBits,
                 std::uint8_t stopBits)
{
    // One port at a time: a port still open is closed rather than leaked
    // with its reader still running.
    CloseComPort(true);

    // Step 1: open for exclusive use. O_NOCTTY keeps the port from becoming
    // our controlling terminal, O_NONBLOCK keeps open() from waiting for
    // carrier and lets writes report a full buffer.
    // The system's reason goes with the error: permission and a port held
    // by another program are what an operator can mend.
    const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        throw PortError(TextNotOpened, OpenFailureReason(errno));
    if (!TakeExclusive(fd)) {
        const int error = errno;
        // A lock is listed with its holder; a terminal in another program's
        // exclusive mode tells only that it is busy.
        const std::string holder = error == EWOULDBLOCK ? detail::LockHolder(fd, "/proc") : std::string();
        close(fd);
        throw PortError(TextNotOpened, OpenFailureReason(error, holder));
    }
    State.PortHandle = fd;

    // The receive mask and the driver queue sizes of the Windows driver have
    // no counterpart here; those steps always succeed.

    // Every later step says why it failed as well; a file that is no
    // terminal (/dev/null, a regular file) fails the first of them with
    // ENOTTY, which says just that.
    if (tcflush(State.PortHandle, TCIOFLUSH) != 0)
        throw PortError(TextNotPurged, OpenFailureReason(errno));

    termios line{};
    if (tcgetattr(State.PortHandle, &line) != 0)
        throw PortError(TextNoState, OpenFailureReason(errno));

    if (const std::string refused = ApplyLineSettings(baudRate, parity, dataBits, stopBits, line);
        !refused.empty())
        throw PortError(TextLineSettings, refused);

    if (tcgetattr(State.PortHandle, &line) != 0)
        throw PortError(TextNoTimeouts, OpenFailureReason(errno));

    if (const std::string refused = ApplyReadTimeouts(line); !refused.empty())
        throw PortError(TextTimeouts, refused);

    StartComReader();
}

void CloseComPort(bool close)
{
    if (!close)
        return;
    // The reader is joined first: it holds no pending operation on the port
    // afterwards, so the descriptor can go at once.
    StopComReader();
    State.Reset();
}

void WriteComByte(std::int32_t channel, std::uint8_t byte)
{
    if (channel != 1 || State.PortHandle < 0)
        return;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(WriteRoomWaitMs);
    for (;;) {
        const ssize_t written = write(State.PortHandle, &byte, 1);
        if (written == 1) {
            State.WriteStalled = false;
            return;
        }
        if (written < 0 && errno == EINTR)
            continue;
        // A full output buffer is waited out, so that a frame is not cut in
        // the middle; other failures lose the byte without notice.
        if (written < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) && !State.WriteStalled) {
            if (WaitForRoom(deadline))
                continue;
            State.WriteStalled = true;
        }
        return;
    }
}

bool IsPortOpen() { return State.PortHandle >= 0; }

bool IsReaderRunning() { return State.ReaderRunning.load(std::memory_order_acquire); }

}  // namespace PortUnit
