// The Windows reader's figures under Wine, taken from the Linux side: what
// a silent line costs (the program's threads and the prefix's wineserver),
// how late a byte written on the line reaches the program as a byte
// message, and what happens when the port vanishes while open.
//
//   wine_reader_figures PORT_LISTEN_EXE --preload|--plain [--silent S] [--bytes N] [--com N]
//
// It makes a pseudo-terminal, links it as COMn of the prefix (COM29 unless
// --com says otherwise) and runs port_listen.exe on it through
// $KALVI7_WINE_RUN: tests/wine/wine-run.sh, whose modem-line answers let
// Wine's wait work (--preload), or plain_wine.sh, under which every wait
// fails at once (--plain); the flag names the run. After S seconds of silence (20) it writes N single bytes
// (100), 37 ms apart, noting when each left on the machine's raw monotonic clock, which port_listen reads
// too; then it removes the link and closes the pseudo-terminal, and watches 10 s more. Built and run by
// wine_reader_figures.sh.
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace {

using namespace std::chrono_literals;

std::int64_t RawNanoseconds()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC_RAW, &now);
    return std::int64_t{now.tv_sec} * 1000000000 + now.tv_nsec;
}

std::string ReadText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<int> Numbered(const std::string& directory)
{
    std::vector<int> numbers;
    if (DIR* listing = opendir(directory.c_str())) {
        while (const dirent* entry = readdir(listing)) {
            char* end = nullptr;
            const long number = std::strtol(entry->d_name, &end, 10);
            if (end != entry->d_name && *end == '\0')
                numbers.push_back(static_cast<int>(number));
        }
        closedir(listing);
    }
    std::sort(numbers.begin(), numbers.end());
    return numbers;
}

// Processor seconds (user and system) of a process or a thread, from its
// stat file; all of a process's threads, ended ones included.
double CpuSeconds(const std::string& statFile)
{
    const std::string stat = ReadText(statFile);
    const std::size_t close = stat.rfind(')');
    if (close == std::string::npos)
        return 0;
    std::istringstream fields(stat.substr(close + 2));
    std::string field;
    unsigned long long user = 0, system = 0;
    for (int index = 0; fields >> field; ++index) {
        if (index == 11)
            user = std::stoull(field);
        if (index == 12) {
            system = std::stoull(field);
            break;
        }
    }
    return static_cast<double>(user + system) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

// The process whose name is `name` and whose environment names the prefix.
int FindProcess(const std::string& name, const std::string& prefix)
{
    for (int pid : Numbered("/proc")) {
        const std::string dir = "/proc/" + std::to_string(pid);
        std::string comm = ReadText(dir + "/comm");
        comm = comm.substr(0, comm.find('\n'));
        if (comm != name.substr(0, 15))
            continue;
        if (ReadText(dir + "/environ").find("WINEPREFIX=" + prefix + '\0') != std::string::npos)
            return pid;
    }
    return -1;
}

// The prefix's wineserver: it works in a folder named after the prefix's
// device and inode.
int FindWineserver(const std::string& prefix)
{
    struct stat info {};
    if (stat(prefix.c_str(), &info) != 0)
        return -1;
    char folder[64];
    std::snprintf(folder, sizeof folder, "/server-%llx-%llx", static_cast<unsigned long long>(info.st_dev),
                  static_cast<unsigned long long>(info.st_ino));
    for (int pid : Numbered("/proc")) {
        char cwd[512];
        const ssize_t n = readlink(("/proc/" + std::to_string(pid) + "/cwd").c_str(), cwd, sizeof cwd - 1);
        if (n <= 0)
            continue;
        const std::string path(cwd, static_cast<std::size_t>(n));
        if (path.size() >= std::strlen(folder) &&
            path.compare(path.size() - std::strlen(folder), std::string::npos, folder) == 0)
            return pid;
    }
    return -1;
}

struct Sample {
    double program = 0;
    double server = 0;
    std::map<int, double> threads;
};

Sample Take(int program, int server)
{
    Sample sample;
    sample.program = CpuSeconds("/proc/" + std::to_string(program) + "/stat");
    sample.server = server > 0 ? CpuSeconds("/proc/" + std::to_string(server) + "/stat") : 0;
    const std::string tasks = "/proc/" + std::to_string(program) + "/task";
    for (int tid : Numbered(tasks))
        sample.threads[tid] = CpuSeconds(tasks + "/" + std::to_string(tid) + "/stat");
    return sample;
}

// What the program and the wineserver spent between two samples, with the
// program's threads that ran throughout (in the order they were started)
// and those that ended meanwhile.
void Report(const char* what, const Sample& before, const Sample& after, double seconds)
{
    const double program = after.program - before.program;
    const double server = after.server - before.server;
    std::printf("%s, %.0f s: program %.2f %% of a core, wineserver %.2f %%\n", what, seconds,
                100 * program / seconds, 100 * server / seconds);
    double inLiveThreads = 0;
    int index = 0;
    for (const auto& [tid, cpu] : after.threads) {
        const auto earlier = before.threads.find(tid);
        const double spent = cpu - (earlier != before.threads.end() ? earlier->second : 0);
        inLiveThreads += spent;
        std::printf("    thread %d (%d): %.2f %%\n", ++index, tid, 100 * spent / seconds);
    }
    std::printf("    threads that ended meanwhile: %.2f %%\n",
                100 * std::max(0.0, program - inLiveThreads) / seconds);
}

std::string Option(int argc, char** argv, const char* name, const char* fallback)
{
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], name) == 0)
            return argv[i + 1];
    return fallback;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 3 || (std::strcmp(argv[2], "--preload") != 0 && std::strcmp(argv[2], "--plain") != 0)) {
        std::fprintf(stderr,
                     "usage: wine_reader_figures PORT_LISTEN_EXE --preload|--plain [--silent S] "
                     "[--bytes N] [--com N]\n");
        return 2;
    }
    const std::string exe = argv[1];
    const bool preload = std::strcmp(argv[2], "--preload") == 0;
    const int silentSeconds = std::stoi(Option(argc, argv, "--silent", "20"));
    const int byteCount = std::stoi(Option(argc, argv, "--bytes", "100"));
    const std::string com = Option(argc, argv, "--com", "29");
    const char* prefixVariable = std::getenv("WINEPREFIX");
    const char* wineRun = std::getenv("KALVI7_WINE_RUN");
    if (prefixVariable == nullptr || wineRun == nullptr) {
        std::fprintf(stderr,
                     "wine_reader_figures: WINEPREFIX and KALVI7_WINE_RUN must be set (see "
                     "wine_reader_figures.sh)\n");
        return 2;
    }
    const std::string prefix = prefixVariable;
    const std::string link = prefix + "/dosdevices/com" + com;

    // The line: raw, its slave held here too so that the master never
    // reads as an error while the program has not opened it.
    const int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0)
        throw std::runtime_error("no pseudo-terminal");
    const std::string slavePath = ptsname(master);
    const int slave = open(slavePath.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    termios line{};
    tcgetattr(slave, &line);
    cfmakeraw(&line);
    tcsetattr(slave, TCSANOW, &line);
    unlink(link.c_str());
    if (symlink(slavePath.c_str(), link.c_str()) != 0)
        throw std::runtime_error("cannot link " + link);

    // The program runs the silence, the bytes, the vanished port, and a
    // margin; it prints its arrivals when it closes.
    const int runSeconds = 3 + silentSeconds + byteCount * 37 / 1000 + 1 + 10 + 2;
    int output[2];
    if (pipe(output) != 0)
        throw std::runtime_error("no pipe");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, output[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, output[0]);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    const std::string seconds = std::to_string(runSeconds);
    const std::string port = "COM" + com;
    std::vector<std::string> command = {wineRun, exe, port, seconds};
    std::vector<char*> args;
    for (std::string& word : command)
        args.push_back(word.data());
    args.push_back(nullptr);
    pid_t child = 0;
    if (posix_spawnp(&child, args[0], &actions, nullptr, args.data(), environ) != 0)
        throw std::runtime_error("cannot start the program");
    close(output[1]);
    FILE* printed = fdopen(output[0], "r");

    char text[256] = "";
    if (std::fgets(text, sizeof text, printed) == nullptr || std::strncmp(text, "open", 4) != 0) {
        std::fprintf(stderr, "wine_reader_figures: the port did not open: %s\n", text);
        return 1;
    }
    const auto opened = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(3s);  // Wine's start-up settles
    const int program = FindProcess(exe.substr(exe.rfind('/') + 1), prefix);
    const int server = FindWineserver(prefix);
    if (program < 0)
        throw std::runtime_error("the program's process is not to be found");

    std::printf("%s\n", preload ? "Wine with the modem-line answers (the wait works)"
                                : "plain Wine (every wait fails at once)");
    const Sample silentStart = Take(program, server);
    const auto silentFrom = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(silentSeconds));
    const Sample silentEnd = Take(program, server);
    Report("silent line", silentStart, silentEnd,
           std::chrono::duration<double>(std::chrono::steady_clock::now() - silentFrom).count());

    std::vector<std::int64_t> sent;
    const auto firstByte = std::chrono::steady_clock::now();
    for (int i = 0; i < byteCount; ++i) {
        const unsigned char byte = static_cast<unsigned char>(i);
        sent.push_back(RawNanoseconds());
        if (write(master, &byte, 1) != 1)
            throw std::runtime_error("cannot write the line");
        std::this_thread::sleep_until(firstByte + (i + 1) * 37ms);
    }
    std::this_thread::sleep_for(1s);

    // The adapter is pulled: the port's link goes, and so does the line.
    unlink(link.c_str());
    close(master);
    close(slave);
    const Sample goneStart = Take(program, server);
    const auto goneFrom = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(10s);
    Report("the port vanished while open", goneStart, Take(program, server),
           std::chrono::duration<double>(std::chrono::steady_clock::now() - goneFrom).count());

    std::vector<double> delays;
    std::vector<int> bytes;
    // Read up to the program's last line, not to the end of the pipe: the
    // prefix's own processes that it started (services.exe and the like)
    // hold the pipe until the wineserver ends.
    bool closed = false;
    while (!closed && std::fgets(text, sizeof text, printed) != nullptr) {
        long long arrival = 0;
        int byte = 0;
        if (std::sscanf(text, "%lld %d", &arrival, &byte) == 2) {
            if (delays.size() < sent.size())
                delays.push_back(static_cast<double>(arrival - sent[delays.size()]) / 1e6);
            bytes.push_back(byte);
        }
        closed = closed || std::strncmp(text, "closed", 6) == 0;
    }
    int status = 0;
    waitpid(child, &status, 0);
    const double overdue =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - opened).count() - runSeconds;

    bool inOrder = static_cast<int>(bytes.size()) == byteCount;
    for (std::size_t i = 0; inOrder && i < bytes.size(); ++i)
        inOrder = bytes[i] == static_cast<int>(i % 256);
    std::sort(delays.begin(), delays.end());
    if (!delays.empty())
        std::printf(
            "byte written to message: %zu of %d bytes, all in order: %s; delay min %.1f ms, median "
            "%.1f ms, 90 %% %.1f ms, max %.1f ms\n",
            bytes.size(), byteCount, inOrder ? "yes" : "no", delays.front(), delays[delays.size() / 2],
            delays[delays.size() * 9 / 10], delays.back());
    else
        std::printf("byte written to message: none of %d bytes arrived\n", byteCount);
    std::printf("close after the port vanished: %s, the program ended %.1f s after its time\n",
                closed ? "done" : "NOT DONE", overdue);
    return closed && inOrder ? 0 : 1;
}
