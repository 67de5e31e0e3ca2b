#include "support/sim_process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace support {
namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

std::string outputDirectory()
{
    std::string name = (std::filesystem::temp_directory_path() / "kalvi7-sim-test-XXXXXX").string();
    if (mkdtemp(name.data()) == nullptr)
        throw std::runtime_error(std::string("no directory for the simulator's output: ") +
                                 std::strerror(errno));
    return name;
}

// Spawned rather than forked: by the second test of a window test process
// the port's reader thread is running, and a fork taken from a process with
// threads is refused under ThreadSanitizer.
pid_t spawnSim(const std::vector<std::string>& args, const std::string& outPath, const std::string& errPath)
{
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    std::vector<std::string> argv{KALVI7_SIM};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char*> cargv;
    for (auto& a : argv)
        cargv.push_back(a.data());
    cargv.push_back(nullptr);
    pid_t pid = -1;
    const int rc = posix_spawn(&pid, KALVI7_SIM, &actions, nullptr, cargv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0)
        throw std::runtime_error(std::string("cannot start the simulator: ") + std::strerror(rc));
    return pid;
}

std::string readFile(const std::string& path)
{
    std::ifstream in(path);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

int decodeStatus(int status) { return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status); }

// The child's exit status once it has ended within the time, else -1.
int waitFor(pid_t pid, std::chrono::milliseconds timeout)
{
    const auto until = Clock::now() + timeout;
    do {
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) == pid)
            return decodeStatus(status);
        std::this_thread::sleep_for(10ms);
    } while (Clock::now() < until);
    return -1;
}

int killAndReap(pid_t pid)
{
    kill(pid, SIGKILL);
    int status = 0;
    waitpid(pid, &status, 0);
    return decodeStatus(status);
}

std::string trimmed(const std::string& text)
{
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

}  // namespace

Finished runToEnd(const std::vector<std::string>& args, std::chrono::milliseconds timeout)
{
    const std::string outputs = outputDirectory();
    const std::string outPath = outputs + "/out", errPath = outputs + "/err";
    Finished f;
    try {
        const pid_t pid = spawnSim(args, outPath, errPath);
        f.code = waitFor(pid, timeout);
        if (f.code < 0)
            killAndReap(pid);
    } catch (...) {
        std::filesystem::remove_all(outputs);
        throw;
    }
    f.out = readFile(outPath);
    f.err = readFile(errPath);
    std::filesystem::remove_all(outputs);
    return f;
}

SimProcess::SimProcess(const std::vector<std::string>& args) : outputs_(outputDirectory())
{
    try {
        pid_ = spawnSim(args, outputs_ + "/out", outputs_ + "/err");
        outFd_ = ::open((outputs_ + "/out").c_str(), O_RDONLY | O_CLOEXEC);
        if (outFd_ < 0)
            throw std::runtime_error(std::string("cannot read the simulator's output: ") +
                                     std::strerror(errno));
        const auto line = nextLine(5s);
        if (!line)
            throw std::runtime_error("kalvi7-sim printed no line path: " + errText());
        linePath_ = trimmed(*line);
        if (linePath_.empty())
            throw std::runtime_error("kalvi7-sim printed an empty line path");
    } catch (...) {
        release();
        throw;
    }
}

SimProcess::~SimProcess() { release(); }

void SimProcess::release()
{
    terminate();
    if (outFd_ >= 0)
        ::close(outFd_);
    outFd_ = -1;
    if (!outputs_.empty())
        std::filesystem::remove_all(outputs_);
    outputs_.clear();
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
        char buf[512];
        const ssize_t n = ::read(outFd_, buf, sizeof buf);
        if (n > 0) {
            pending_.append(buf, static_cast<std::size_t>(n));
            continue;
        }
        if (n < 0 && errno != EINTR)
            return std::nullopt;
        // Nothing new: the simulator has ended (whatever it wrote before
        // ending has been read by now), or has not written yet.
        if (exited_ || Clock::now() >= until)
            return std::nullopt;
        if (!running()) {
            // One last look at what it wrote just before it ended.
            continue;
        }
        std::this_thread::sleep_for(5ms);
    }
}

bool SimProcess::running()
{
    if (pid_ < 0 || exited_)
        return false;
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
        status_ = decodeStatus(status);
        exited_ = true;
    }
    return !exited_;
}

int SimProcess::terminate()
{
    if (!exited_ && pid_ > 0) {
        kill(pid_, SIGTERM);
        status_ = waitFor(pid_, 3000ms);
        if (status_ < 0)
            status_ = killAndReap(pid_);
        exited_ = true;
    }
    return status_;
}

int SimProcess::waitExit(std::chrono::milliseconds timeout)
{
    if (!exited_ && pid_ > 0) {
        status_ = waitFor(pid_, timeout);
        exited_ = status_ >= 0;
    }
    return status_;
}

std::string SimProcess::errText() const { return readFile(outputs_ + "/err"); }

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

}  // namespace support
