#include "sim_port.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstring>
#include <stdexcept>

#include "protocol/host_frames.h"

namespace simtest {

RawPort::RawPort(const std::string& path)
{
    fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0)
        throw std::runtime_error("cannot open " + path + ": " + std::strerror(errno));
    termios tio{};
    tcgetattr(fd_, &tio);
    cfmakeraw(&tio);
    tcsetattr(fd_, TCSANOW, &tio);
}

RawPort::~RawPort() { close(); }

void RawPort::close()
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

void RawPort::send(std::span<const std::uint8_t> bytes)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno != EAGAIN && errno != EINTR)
            throw std::runtime_error(std::string("write: ") + std::strerror(errno));
        if (n > 0)
            done += static_cast<std::size_t>(n);
    }
}

std::ptrdiff_t RawPort::readSome(std::span<std::uint8_t> into, Clock::time_point deadline)
{
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    pollfd p{fd_, POLLIN, 0};
    if (left.count() <= 0 || poll(&p, 1, static_cast<int>(left.count())) <= 0)
        return 0;
    const ssize_t n = ::read(fd_, into.data(), into.size());
    if (n < 0 && (errno == EAGAIN || errno == EINTR))
        return 0;
    return n > 0 ? n : -1;
}

void Port::request(std::uint8_t mask) { send(protocol::buildRequest(mask)); }

void Port::frameChecked(bool crcGood)
{
    const auto& buf = receiver_.rxBuf();
    if (sink_)
        sink_->push_back(
            {std::vector<std::uint8_t>(buf.begin(), buf.begin() + buf[1]), crcGood, Clock::now()});
}

std::vector<Received> Port::collect(std::size_t count, std::chrono::milliseconds timeout)
{
    std::vector<Received> frames;
    sink_ = &frames;
    const auto until = Clock::now() + timeout;
    while (frames.size() < count && !hungUp_ && Clock::now() < until) {
        std::uint8_t buf[256];
        const std::ptrdiff_t n = raw_.readSome(buf, until);
        hungUp_ = n < 0;
        for (std::ptrdiff_t i = 0; i < n; ++i)
            receiver_.Calc(buf[i], 1);
        bytesRead_ += static_cast<std::size_t>(std::max<std::ptrdiff_t>(n, 0));
    }
    sink_ = nullptr;
    return frames;
}

std::uint16_t u16(const std::vector<std::uint8_t>& body, std::size_t offset)
{
    return static_cast<std::uint16_t>(body.at(offset) | (body.at(offset + 1) << 8));
}

std::uint32_t u32(const std::vector<std::uint8_t>& body, std::size_t offset)
{
    return u16(body, offset) | (static_cast<std::uint32_t>(u16(body, offset + 2)) << 16);
}

std::int32_t i32(const std::vector<std::uint8_t>& body, std::size_t offset)
{
    return static_cast<std::int32_t>(u32(body, offset));
}

float f32(const std::vector<std::uint8_t>& body, std::size_t offset)
{
    return std::bit_cast<float>(u32(body, offset));
}

std::vector<std::uint8_t> typesOf(const std::vector<Received>& frames)
{
    std::vector<std::uint8_t> types;
    for (const auto& f : frames)
        types.push_back(f.type());
    return types;
}

}  // namespace simtest
