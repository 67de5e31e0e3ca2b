#include "sim_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <bit>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "host_frames.h"

extern char** environ;

namespace simtest {
namespace {

struct Spawned {
    pid_t pid;
    int outFd;
};

Spawned spawnSim(const std::vector<std::string>& args, const std::string& errPath)
{
    int out[2];
    if (pipe2(out, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errPath.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    std::vector<std::string> argv{KALVI7_SIM_PATH};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char*> cargv;
    for (auto& a : argv)
        cargv.push_back(a.data());
    cargv.push_back(nullptr);
    pid_t pid = -1;
    const int rc = posix_spawn(&pid, KALVI7_SIM_PATH, &actions, nullptr, cargv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    if (rc != 0) {
        ::close(out[0]);
        throw std::runtime_error(std::string("cannot start the simulator: ") + std::strerror(rc));
    }
    return {pid, out[0]};
}

std::string tempErrPath()
{
    char name[] = "/tmp/kalvi7-sim-test-XXXXXX";
    const int fd = mkstemp(name);
    if (fd >= 0)
        ::close(fd);
    return name;
}

std::string readFile(const std::string& path)
{
    std::ifstream in(path);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

int decodeStatus(int status) { return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status); }

int waitFor(pid_t pid, std::chrono::milliseconds timeout, int& status)
{
    const auto until = Clock::now() + timeout;
    do {
        const pid_t r = waitpid(pid, &status, WNOHANG);
        if (r == pid)
            return decodeStatus(status);
        std::this_thread::sleep_for(10ms);
    } while (Clock::now() < until);
    return -1;
}

}  // namespace

Finished runToEnd(const std::vector<std::string>& args, std::chrono::milliseconds timeout)
{
    const std::string errPath = tempErrPath();
    const Spawned s = spawnSim(args, errPath);
    Finished f;
    const auto until = Clock::now() + timeout;
    char buf[4096];
    for (;;) {
        pollfd p{s.outFd, POLLIN, 0};
        const int left = static_cast<int>(
            std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now()).count());
        if (left <= 0 || poll(&p, 1, left) <= 0)
            break;
        const ssize_t n = ::read(s.outFd, buf, sizeof buf);
        if (n <= 0)
            break;
        f.out.append(buf, static_cast<std::size_t>(n));
    }
    ::close(s.outFd);
    int status = 0;
    f.code = waitFor(s.pid, 1000ms, status);
    if (f.code < 0) {
        kill(s.pid, SIGKILL);
        waitpid(s.pid, &status, 0);
    }
    f.err = readFile(errPath);
    ::unlink(errPath.c_str());
    return f;
}

SimProcess::SimProcess(const std::vector<std::string>& args) : errPath_(tempErrPath())
{
    const Spawned s = spawnSim(args, errPath_);
    pid_ = s.pid;
    outFd_ = s.outFd;
    if (auto line = nextLine(5s))
        firstLine_ = *line;
    else
        throw std::runtime_error("the simulator printed no path: " + errText());
}

SimProcess::~SimProcess()
{
    terminate();
    if (outFd_ >= 0)
        ::close(outFd_);
    ::unlink(errPath_.c_str());
}

std::optional<std::string> SimProcess::nextLine(std::chrono::milliseconds timeout)
{
    const auto until = Clock::now() + timeout;
    for (;;) {
        if (const auto nl = pending_.find('\n'); nl != std::string::npos) {
            std::string line = pending_.substr(0, nl);
            pending_.erase(0, nl + 1);
            return line;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now());
        pollfd p{outFd_, POLLIN, 0};
        if (left.count() <= 0 || poll(&p, 1, static_cast<int>(left.count())) <= 0)
            return std::nullopt;
        char buf[512];
        const ssize_t n = ::read(outFd_, buf, sizeof buf);
        if (n <= 0)
            return std::nullopt;
        pending_.append(buf, static_cast<std::size_t>(n));
    }
}

int SimProcess::terminate()
{
    if (!exited_ && pid_ > 0) {
        kill(pid_, SIGTERM);
        int status = 0;
        status_ = waitFor(pid_, 3000ms, status);
        if (status_ < 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, &status, 0);
        }
        exited_ = true;
    }
    return status_;
}

int SimProcess::waitExit(std::chrono::milliseconds timeout)
{
    if (!exited_) {
        int status = 0;
        status_ = waitFor(pid_, timeout, status);
        exited_ = status_ >= 0;
    }
    return status_;
}

std::string SimProcess::errText() const { return readFile(errPath_); }

double SimProcess::cpuSeconds() const
{
    // Fields 14 and 15 of /proc/PID/stat, after the parenthesised name.
    const std::string stat = readFile("/proc/" + std::to_string(pid_) + "/stat");
    std::istringstream in(stat.substr(stat.rfind(')') + 2));
    std::string field;
    long long utime = 0, stime = 0;
    for (int i = 3; i <= 15 && in >> field; ++i) {
        if (i == 14)
            utime = std::stoll(field);
        if (i == 15)
            stime = std::stoll(field);
    }
    return static_cast<double>(utime + stime) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

Port::Port(const std::string& path)
{
    fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0)
        throw std::runtime_error("cannot open " + path + ": " + std::strerror(errno));
    termios tio{};
    tcgetattr(fd_, &tio);
    cfmakeraw(&tio);
    tcsetattr(fd_, TCSANOW, &tio);
}

Port::~Port() { close(); }

void Port::close()
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

void Port::send(std::span<const std::uint8_t> bytes)
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

void Port::request(std::uint8_t mask) { send(protocol::buildRequest(mask)); }

void Port::frameChecked(bool crcGood)
{
    const auto& buf = receiver_.rxBuf();
    if (sink_)
        sink_->push_back({std::vector<std::uint8_t>(buf.begin(), buf.begin() + buf[1]), crcGood,
                          Clock::now()});
}

std::vector<Received> Port::collect(std::size_t count, std::chrono::milliseconds timeout)
{
    std::vector<Received> frames;
    sink_ = &frames;
    const auto until = Clock::now() + timeout;
    while (frames.size() < count && !hungUp_) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now());
        if (left.count() <= 0)
            break;
        pollfd p{fd_, POLLIN, 0};
        if (poll(&p, 1, static_cast<int>(left.count())) <= 0)
            continue;
        std::uint8_t buf[256];
        const ssize_t n = ::read(fd_, buf, sizeof buf);
        if (n < 0 && (errno == EAGAIN || errno == EINTR))
            continue;
        if (n <= 0) {
            hungUp_ = true;
            break;
        }
        bytesRead_ += static_cast<std::size_t>(n);
        for (ssize_t i = 0; i < n; ++i)
            receiver_.Calc(buf[i], 1);
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
