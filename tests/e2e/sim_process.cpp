#include "sim_process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QFile>

#include <chrono>
#include <stdexcept>
#include <thread>
#include <vector>

extern char** environ;

namespace e2e {

namespace {
constexpr auto kStartTimeout = std::chrono::seconds(5);

QString readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}
}  // namespace

// Spawned rather than forked: by the second test of the process the port's
// reader thread is running, and a fork taken from a process with threads is
// refused under ThreadSanitizer.
SimProcess::SimProcess(const QStringList& options)
{
    if (!outputs_.isValid())
        throw std::runtime_error("no directory for the simulator's output");
    const std::string outPath = outputs_.filePath(QStringLiteral("out")).toStdString();
    const std::string errPath = outputs_.filePath(QStringLiteral("err")).toStdString();

    std::vector<std::string> args{KALVI7_SIM};
    for (const QString& option : options)
        args.push_back(option.toStdString());
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int spawned = posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        pid_ = -1;
        throw std::runtime_error("kalvi7-sim did not start");
    }

    const auto deadline = std::chrono::steady_clock::now() + kStartTimeout;
    for (;;) {
        const QString out = readAll(outputs_.filePath(QStringLiteral("out")));
        const qsizetype end = out.indexOf(QLatin1Char('\n'));
        if (end >= 0) {
            linePath_ = out.left(end).trimmed().toStdString();
            break;
        }
        if (!running() || std::chrono::steady_clock::now() > deadline)
            throw std::runtime_error("kalvi7-sim printed no line path: " + log().toStdString());
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (linePath_.empty())
        throw std::runtime_error("kalvi7-sim printed an empty line path");
}

SimProcess::~SimProcess()
{
    if (pid_ < 0 || !running())
        return;
    kill(pid_, SIGTERM);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    while (running() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (running()) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
}

bool SimProcess::running()
{
    if (pid_ < 0 || ended_)
        return false;
    int status = 0;
    ended_ = waitpid(pid_, &status, WNOHANG) == pid_;
    return !ended_;
}

QString SimProcess::log() const
{
    return readAll(outputs_.filePath(QStringLiteral("err")));
}

}  // namespace e2e
