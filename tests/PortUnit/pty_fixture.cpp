#include "pty_fixture.h"

#include "PortUnit.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>

extern char** environ;

namespace PortTest {

Pty::Pty()
{
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    char name[128];
    if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0
        || ptsname_r(master_, name, sizeof name) != 0)
        throw std::runtime_error("no pseudo-terminal");
    slavePath_ = name;
}

Pty::~Pty()
{
    closeMaster();
}

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
            throw std::runtime_error("write to the pty master failed");
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

ByteSink::ByteSink()
{
    PortUnit::SetByteMessageTarget(&ByteSink::post, this);
}

ByteSink::~ByteSink()
{
    PortUnit::CloseComPort(true);
    PortUnit::SetByteMessageTarget(nullptr, nullptr);
}

void ByteSink::post(void* context, std::uint32_t wparam, std::intptr_t lparam)
{
    auto* sink = static_cast<ByteSink*>(context);
    bool taken = false;
    {
        std::lock_guard<std::mutex> lock(sink->mutex_);
        sink->messages_.emplace_back(wparam, lparam);
        if (sink->holding_)
            ++sink->held_;
        else
            taken = true;
    }
    sink->arrived_.notify_all();
    if (taken)
        PortUnit::ByteMessageTaken();
}

void ByteSink::hold()
{
    std::lock_guard<std::mutex> lock(mutex_);
    holding_ = true;
}

void ByteSink::takeHeld()
{
    std::size_t held = 0;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        holding_ = false;
        held = std::exchange(held_, 0);
    }
    for (std::size_t i = 0; i < held; ++i)
        PortUnit::ByteMessageTaken();
}

bool ByteSink::waitFor(std::size_t count, std::chrono::milliseconds within)
{
    std::unique_lock<std::mutex> lock(mutex_);
    return arrived_.wait_for(lock, within, [&] { return messages_.size() >= count; });
}

std::vector<std::pair<std::uint32_t, std::intptr_t>> ByteSink::messages() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return messages_;
}

Bytes ByteSink::bytes() const
{
    Bytes result;
    for (const auto& [wparam, lparam] : messages())
        result.push_back(static_cast<std::uint8_t>(wparam));
    return result;
}

std::size_t ByteSink::count() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return messages_.size();
}

namespace {

std::size_t EntriesIn(const char* directory)
{
    std::size_t count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(directory))
        ++count;
    return count;
}

}  // namespace

std::size_t OpenDescriptorCount()
{
    return EntriesIn("/proc/self/fd");
}

std::size_t ThreadCount()
{
    return EntriesIn("/proc/self/task");
}

std::uint64_t OtherThreadsWakeUps()
{
    const std::string self = std::to_string(gettid());
    std::uint64_t total = 0;
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
        if (task.path().filename() == self)
            continue;
        std::ifstream status(task.path() / "status");
        std::string line;
        while (std::getline(status, line)) {
            if (line.rfind("voluntary_ctxt_switches:", 0) == 0)
                total += std::stoull(line.substr(line.find(':') + 1));
        }
    }
    return total;
}

std::chrono::microseconds ProcessCpuTime()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = usage.ru_utime.tv_sec + usage.ru_stime.tv_sec;
    const auto micros = usage.ru_utime.tv_usec + usage.ru_stime.tv_usec;
    return std::chrono::seconds(seconds) + std::chrono::microseconds(micros);
}

std::pair<int, std::string> RunOpenProbe(const std::string& path)
{
    int output[2];
    if (pipe2(output, O_CLOEXEC) != 0)
        throw std::runtime_error("no pipe");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, output[1], STDOUT_FILENO);
    const std::string program = PORT_OPEN_PROBE;
    char* argv[] = {const_cast<char*>(program.c_str()), const_cast<char*>(path.c_str()), nullptr};
    pid_t child = 0;
    const int spawned = posix_spawn(&child, program.c_str(), &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    close(output[1]);
    if (spawned != 0) {
        close(output[0]);
        throw std::runtime_error("cannot start the probe");
    }
    std::string printed;
    char buffer[256];
    ssize_t n;
    while ((n = read(output[0], buffer, sizeof buffer)) > 0)
        printed.append(buffer, static_cast<std::size_t>(n));
    close(output[0]);
    int status = 0;
    waitpid(child, &status, 0);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, printed};
}

}  // namespace PortTest
