#include "pty_fixture.h"

#include "PortUnit/PortUnit.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace PortTest {

namespace {

// The entries of a /proc directory whose names are numbers, without the
// descriptor the listing itself holds.
std::vector<int> NumberedEntries(const char* directory)
{
    std::vector<int> numbers;
    DIR* listing = opendir(directory);
    if (listing == nullptr)
        throw std::runtime_error(std::string("cannot list ") + directory);
    const int own = dirfd(listing);
    while (const dirent* entry = readdir(listing)) {
        char* end = nullptr;
        const long number = std::strtol(entry->d_name, &end, 10);
        if (end != entry->d_name && *end == '\0' && number != own)
            numbers.push_back(static_cast<int>(number));
    }
    closedir(listing);
    std::sort(numbers.begin(), numbers.end());
    return numbers;
}

std::string TaskFile(int tid, const char* name)
{
    std::ifstream file("/proc/self/task/" + std::to_string(tid) + "/" + name);
    std::string text;
    std::getline(file, text, '\0');
    return text;
}

}  // namespace

ThreadWatch::ThreadWatch()
{
    pid_t probe = 0;
    std::thread([&probe] { probe = gettid(); }).join();
    // The probe itself is not part of the baseline once it has left the list.
    Settled([probe] { return std::filesystem::exists("/proc/self/task/" + std::to_string(probe)); }, false);
    baseline_ = NumberedEntries("/proc/self/task");
}

std::vector<int> ThreadWatch::newTasks() const
{
    std::vector<int> fresh;
    const std::vector<int> now = NumberedEntries("/proc/self/task");
    std::set_difference(now.begin(), now.end(), baseline_.begin(), baseline_.end(),
                        std::back_inserter(fresh));
    return fresh;
}

std::size_t ThreadWatch::started() const { return newTasks().size(); }

std::chrono::nanoseconds ThreadWatch::startedCpuTime() const
{
    // The first figure of schedstat: nanoseconds spent running.
    std::chrono::nanoseconds total{0};
    for (int tid : newTasks()) {
        const std::string figures = TaskFile(tid, "schedstat");
        if (!figures.empty())
            total += std::chrono::nanoseconds(std::stoull(figures));
    }
    return total;
}

std::uint64_t ThreadWatch::startedWakeUps() const
{
    std::uint64_t total = 0;
    for (int tid : newTasks()) {
        std::istringstream status(TaskFile(tid, "status"));
        std::string line;
        while (std::getline(status, line)) {
            if (line.rfind("voluntary_ctxt_switches:", 0) == 0)
                total += std::stoull(line.substr(line.find(':') + 1));
        }
    }
    return total;
}

ThreadTimes CallingThreadTimes()
{
    std::istringstream figures(TaskFile(gettid(), "schedstat"));
    std::uint64_t running = 0, waiting = 0;
    if (!(figures >> running >> waiting))
        throw std::runtime_error("no scheduler figures in /proc/self/task/*/schedstat");
    return {std::chrono::nanoseconds(running), std::chrono::nanoseconds(waiting)};
}

namespace {

std::string DescriptorTarget(int fd)
{
    char target[512];
    const ssize_t n = readlink(("/proc/self/fd/" + std::to_string(fd)).c_str(), target, sizeof target);
    return n > 0 ? std::string(target, static_cast<std::size_t>(n)) : std::string();
}

std::vector<std::pair<int, std::string>> Descriptors()
{
    std::vector<std::pair<int, std::string>> held;
    for (int fd : NumberedEntries("/proc/self/fd"))
        held.emplace_back(fd, DescriptorTarget(fd));
    return held;
}

}  // namespace

DescriptorWatch::DescriptorWatch() : baseline_(Descriptors()) {}

std::vector<std::string> DescriptorWatch::opened() const
{
    std::vector<std::string> targets;
    for (const auto& held : Descriptors()) {
        if (std::find(baseline_.begin(), baseline_.end(), held) == baseline_.end())
            targets.push_back(held.second);
    }
    std::sort(targets.begin(), targets.end());
    return targets;
}

std::vector<std::string> PortDescriptors(const std::string& path)
{
    std::vector<std::string> targets = {std::filesystem::canonical(path).string(), "anon_inode:[eventfd]",
                                        "anon_inode:[eventfd]"};
    std::sort(targets.begin(), targets.end());
    return targets;
}

std::pair<int, std::string> RunOpenProbe(const std::string& path, bool unprivileged)
{
    int output[2];
    if (pipe2(output, O_CLOEXEC) != 0)
        throw std::runtime_error("no pipe");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, output[1], STDOUT_FILENO);
    const std::string program = PORT_OPEN_PROBE;
    char flag[] = "--unprivileged";
    char* argv[] = {const_cast<char*>(program.c_str()), const_cast<char*>(path.c_str()),
                    unprivileged ? flag : nullptr, nullptr};
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
