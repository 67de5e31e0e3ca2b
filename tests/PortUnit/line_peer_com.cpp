// The Windows peer: the second port of a null-modem pair, opened with plain
// Win32 calls as the radiosonde's side; the driver opens the first. The
// pair is named by the environment:
//
//   KALVI7_TEST_DRIVER_PORT   the driver's end, e.g. COM21
//   KALVI7_TEST_PEER_PORT     the peer's end, e.g. COM22
//
// Under Wine, tests/wine/null_modem.cpp makes the pair from two
// pseudo-terminals and copies bytes between them; on a Windows machine, two
// real ports joined by a null-modem cable (or a virtual pair) do.
#include "common/windows_api.h"

#include <tlhelp32.h>

#include "line_peer.h"

#include <cstdlib>
#include <stdexcept>
#include <string>
#include <thread>

namespace PortTest {

namespace {

std::string Environment(const char* name)
{
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

std::wstring DevicePath(const std::string& name)
{
    return L"\\\\.\\" + std::wstring(name.begin(), name.end());
}

// An exclusive handle on a COM port, as a program holding it has.
HANDLE OpenExclusive(const std::string& name)
{
    return CreateFileW(DevicePath(name).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0,
                       nullptr);
}

class ComPeer : public LinePeer {
public:
    ComPeer() : driverPort_(Environment("KALVI7_TEST_DRIVER_PORT"))
    {
        const std::string peerPort = Environment("KALVI7_TEST_PEER_PORT");
        port_ = OpenExclusive(peerPort);
        if (port_ == INVALID_HANDLE_VALUE)
            throw std::runtime_error("cannot open the peer's port " + peerPort + ": error " +
                                     std::to_string(GetLastError()));
        // The driver's line settings, binary, no flow control; reads return
        // at once with what has come, writes wait for the line.
        DCB state{};
        state.DCBlength = sizeof state;
        GetCommState(port_, &state);
        state.BaudRate = 38400;
        state.ByteSize = 8;
        state.Parity = NOPARITY;
        state.StopBits = ONESTOPBIT;
        state.fBinary = TRUE;
        state.fParity = FALSE;
        state.fOutxCtsFlow = FALSE;
        state.fOutxDsrFlow = FALSE;
        state.fDtrControl = DTR_CONTROL_ENABLE;
        state.fRtsControl = RTS_CONTROL_ENABLE;
        state.fOutX = FALSE;
        state.fInX = FALSE;
        COMMTIMEOUTS timeouts{};
        timeouts.ReadIntervalTimeout = MAXDWORD;
        if (!SetCommState(port_, &state) || !SetCommTimeouts(port_, &timeouts)) {
            CloseHandle(port_);
            throw std::runtime_error("cannot set up the peer's port " + peerPort);
        }
        // Nothing of an earlier test is still on the line.
        Sleep(20);
        PurgeComm(port_, PURGE_RXCLEAR | PURGE_TXCLEAR);
    }

    ~ComPeer() override
    {
        releaseDriverEnd();
        CloseHandle(port_);
    }

    std::string driverPath() const override { return "\\\\.\\" + driverPort_; }

    void send(const Bytes& bytes) override
    {
        DWORD written = 0;
        if (!WriteFile(port_, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
            written != bytes.size())
            throw std::runtime_error("the peer's write failed: error " + std::to_string(GetLastError()));
    }

    Bytes receive(std::size_t expected, std::chrono::milliseconds within) override
    {
        Bytes got;
        const auto deadline = std::chrono::steady_clock::now() + within;
        while (got.size() < expected && std::chrono::steady_clock::now() < deadline) {
            BYTE buffer[4096];
            DWORD n = 0;
            if (ReadFile(port_, buffer, sizeof buffer, &n, nullptr) && n > 0)
                got.insert(got.end(), buffer, buffer + n);
            else
                Sleep(1);
        }
        return got;
    }

    // Windows opens a COM port for one program at a time. Wine checks no
    // sharing on devices and opens it again for whoever asks; a second
    // open of our own tells which it is.
    std::string holdDriverEnd() override
    {
        releaseDriverEnd();
        holder_ = OpenExclusive(driverPort_);
        if (holder_ == INVALID_HANDLE_VALUE)
            throw std::runtime_error("cannot hold " + driverPort_ + ": error " +
                                     std::to_string(GetLastError()));
        const HANDLE second = OpenExclusive(driverPort_);
        if (second == INVALID_HANDLE_VALUE)
            return {};
        CloseHandle(second);
        return "this system opens a COM port again while a program holds it (Wine: no sharing check on "
               "devices), so no program is refused one";
    }

    void releaseDriverEnd() override
    {
        if (holder_ != INVALID_HANDLE_VALUE)
            CloseHandle(holder_);
        holder_ = INVALID_HANDLE_VALUE;
    }

private:
    std::string driverPort_;
    HANDLE port_ = INVALID_HANDLE_VALUE;
    HANDLE holder_ = INVALID_HANDLE_VALUE;
};

}  // namespace

std::string LinePeerUnavailable()
{
    if (Environment("KALVI7_TEST_DRIVER_PORT").empty() || Environment("KALVI7_TEST_PEER_PORT").empty())
        return "no null-modem pair: KALVI7_TEST_DRIVER_PORT and KALVI7_TEST_PEER_PORT name none";
    return {};
}

std::unique_ptr<LinePeer> MakeLinePeer() { return std::make_unique<ComPeer>(); }

std::string MissingPortPath() { return "\\\\.\\COM254"; }

std::size_t ThreadCount()
{
    const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return 0;
    std::size_t count = 0;
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry))
        if (entry.th32OwnerProcessID == GetCurrentProcessId())
            ++count;
    CloseHandle(snapshot);
    return count;
}

}  // namespace PortTest
