#include "support/pty.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

namespace support {

Pty::Pty()
{
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    char name[128];
    if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0 ||
        ptsname_r(master_, name, sizeof name) != 0) {
        const int error = errno;
        closeMaster();
        throw std::runtime_error(std::string("no pseudo-terminal: ") + std::strerror(error));
    }
    slavePath_ = name;
}

Pty::~Pty() { closeMaster(); }

void Pty::closeMaster()
{
    if (master_ >= 0)
        close(master_);
    master_ = -1;
}

void Pty::send(const Bytes& bytes)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = write(master_, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
        } else if (n < 0 && errno == EAGAIN) {
            pollfd room{master_, POLLOUT, 0};
            poll(&room, 1, 100);
        } else if (!(n < 0 && errno == EINTR)) {
            throw std::runtime_error(std::string("write to the pseudo-terminal: ") +
                                     (n < 0 ? std::strerror(errno) : "nothing written"));
        }
    }
}

Bytes Pty::receive(std::size_t expected, std::chrono::milliseconds within)
{
    Bytes got;
    const auto deadline = std::chrono::steady_clock::now() + within;
    while (got.size() < expected) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            break;
        pollfd ready{master_, POLLIN, 0};
        if (poll(&ready, 1, static_cast<int>(left.count())) <= 0)
            continue;
        std::uint8_t buffer[4096];
        const ssize_t n = read(master_, buffer, sizeof buffer);
        if (n > 0)
            got.insert(got.end(), buffer, buffer + n);
        else if (n == 0 || (errno != EAGAIN && errno != EINTR))
            break;
    }
    return got;
}

Bytes Pty::drain()
{
    Bytes all;
    std::uint8_t chunk[512];
    for (;;) {
        const ssize_t n = read(master_, chunk, sizeof chunk);
        if (n <= 0)
            break;
        all.insert(all.end(), chunk, chunk + n);
    }
    return all;
}

}  // namespace support
