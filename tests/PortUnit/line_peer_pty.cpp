// The Linux peer: a pseudo-terminal, whose slave the driver opens.
#include "line_peer.h"

#include "support/pty.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <stdexcept>

namespace PortTest {

namespace {

class PtyPeer : public LinePeer {
public:
    ~PtyPeer() override { releaseDriverEnd(); }

    std::string driverPath() const override { return pty_.slavePath(); }
    void send(const Bytes& bytes) override { pty_.send(bytes); }
    Bytes receive(std::size_t expected, std::chrono::milliseconds within) override
    {
        return pty_.receive(expected, within);
    }

    // As the driver itself holds a port: its lock, and the terminal's
    // exclusive mode.
    std::string holdDriverEnd() override
    {
        releaseDriverEnd();
        holder_ = open(pty_.slavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (holder_ < 0 || flock(holder_, LOCK_EX | LOCK_NB) != 0 || ioctl(holder_, TIOCEXCL) != 0)
            throw std::runtime_error(std::string("cannot hold the port: ") + std::strerror(errno));
        return {};
    }

    void releaseDriverEnd() override
    {
        if (holder_ < 0)
            return;
        ioctl(holder_, TIOCNXCL);
        close(holder_);
        holder_ = -1;
    }

private:
    support::Pty pty_;
    int holder_ = -1;
};

}  // namespace

std::string LinePeerUnavailable() { return {}; }

std::unique_ptr<LinePeer> MakeLinePeer() { return std::make_unique<PtyPeer>(); }

std::string MissingPortPath() { return "/dev/kalvi7-no-such-port"; }

std::size_t ThreadCount()
{
    std::size_t count = 0;
    for ([[maybe_unused]] const auto& task : std::filesystem::directory_iterator("/proc/self/task"))
        ++count;
    return count;
}

}  // namespace PortTest
