#include "ctl_harness.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <stdexcept>

extern char** environ;

namespace ctltest {
namespace {

std::string readFile(const std::string& path)
{
    std::ifstream file(path);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

}  // namespace

CtlProcess::CtlProcess(const std::vector<std::string>& args, const std::string& settingsIni)
{
    char pattern[] = "/tmp/kalvi7-ctl-test-XXXXXX";
    if (!mkdtemp(pattern))
        throw std::runtime_error("no scratch directory");
    dir_ = pattern;
    if (!settingsIni.empty())
        std::ofstream(dir_ + "/settings.INI") << settingsIni;
    std::vector<std::string> all{KALVI7_CTL};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& arg : all)
        argv.push_back(arg.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, (dir_ + "/out").c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, (dir_ + "/err").c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    // No settings.INI of the developer's is read: the program runs in the scratch directory.
    posix_spawn_file_actions_addchdir_np(&actions, dir_.c_str());
    started_ = std::chrono::steady_clock::now();
    const int spawned = posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        throw std::runtime_error("kalvi7-ctl did not start");
}

CtlProcess::~CtlProcess()
{
    if (pid_ > 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    std::remove((dir_ + "/out").c_str());
    std::remove((dir_ + "/err").c_str());
    std::remove((dir_ + "/settings.INI").c_str());
    rmdir(dir_.c_str());
}

void CtlProcess::signal(int number)
{
    if (pid_ > 0)
        kill(pid_, number);
}

Result CtlProcess::wait(std::chrono::milliseconds limit)
{
    Result result;
    const auto deadline = started_ + limit;
    int raw = 0;
    for (;;) {
        const pid_t done = waitpid(pid_, &raw, WNOHANG);
        if (done == pid_) {
            result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
            break;
        }
        if (std::chrono::steady_clock::now() > deadline) {
            kill(pid_, SIGKILL);
            waitpid(pid_, &raw, 0);
            result.status = -1;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    pid_ = -1;
    result.took =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started_);
    result.out = readFile(dir_ + "/out");
    result.err = readFile(dir_ + "/err");
    return result;
}

PtyPeer::PtyPeer(Answer answer) : answer_(std::move(answer))
{
    int slave = -1;
    if (openpty(&master_, &slave, nullptr, nullptr, nullptr) != 0)
        throw std::runtime_error("no pseudo-terminal");
    termios raw{};
    tcgetattr(slave, &raw);
    cfmakeraw(&raw);
    tcsetattr(slave, TCSANOW, &raw);
    slavePath_ = ttyname(slave);
    slaveKeeper_ = slave;
    reader_ = std::thread([this] {
        std::vector<std::uint8_t> all;
        while (!stop_) {
            pollfd watched{master_, POLLIN, 0};
            if (poll(&watched, 1, 20) <= 0 || !(watched.revents & POLLIN))
                continue;
            std::uint8_t buffer[256];
            const ssize_t n = ::read(master_, buffer, sizeof buffer);
            if (n <= 0)
                continue;
            {
                const std::lock_guard<std::mutex> hold(lock_);
                received_.insert(received_.end(), buffer, buffer + n);
                all = received_;
            }
            if (answer_)
                answer_(*this, all);
        }
    });
}

PtyPeer::~PtyPeer()
{
    stop_ = true;
    reader_.join();
    close(master_);
    close(slaveKeeper_);
}

void PtyPeer::write(const std::vector<std::uint8_t>& bytes)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
        if (n <= 0)
            return;
        done += static_cast<std::size_t>(n);
    }
}

std::vector<std::uint8_t> PtyPeer::received()
{
    // What is on its way through the line has a moment to arrive.
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const std::lock_guard<std::mutex> hold(lock_);
    return received_;
}

}  // namespace ctltest
