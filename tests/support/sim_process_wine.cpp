// The simulated radiosonde for a Windows test running under Wine. The
// simulator is a Linux program: Wine starts it, through unix-child.sh, as
// the Unix program it is, and its pseudo-terminal becomes a COM port of the
// Wine prefix (a link in the prefix's dosdevices folder), which the window
// and the driver open as any COM port. The line path a test gets is that
// port's name, "COM21", as an operator writes it into settings.INI.
#include "support/sim_process.h"

#include "common/windows_api.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace support {
namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

// Under Wine, kernel32 can say where a Windows path lies on the Unix side
// and back; on Windows these tests have no simulator to start.
using ToUnix = char*(__cdecl*)(const wchar_t*);
using ToWindows = wchar_t*(__cdecl*)(const char*);

template <typename Function>
Function wineFunction(const char* name)
{
    const HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    const auto function =
        kernel ? reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(kernel, name))) : nullptr;
    if (function == nullptr)
        throw std::runtime_error("the simulator runs under Wine only: no kernel32 " + std::string(name));
    return function;
}

std::string unixPath(const fs::path& windowsPath)
{
    char* text = wineFunction<ToUnix>("wine_get_unix_file_name")(windowsPath.wstring().c_str());
    if (text == nullptr)
        throw std::runtime_error("no Unix path for " + windowsPath.string());
    std::string path(text);
    HeapFree(GetProcessHeap(), 0, text);
    return path;
}

fs::path windowsPath(const std::string& unixPathText)
{
    wchar_t* text = wineFunction<ToWindows>("wine_get_dos_file_name")(unixPathText.c_str());
    if (text == nullptr)
        throw std::runtime_error("no Windows path for " + unixPathText);
    fs::path path(text);
    HeapFree(GetProcessHeap(), 0, text);
    return path;
}

std::string readFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

std::string trimmed(const std::string& text)
{
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

fs::path outputDirectory()
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        const fs::path dir =
            fs::temp_directory_path() / ("kalvi7-sim-test-" + std::to_string(GetCurrentProcessId()) + "-" +
                                         std::to_string(GetTickCount64()) + "-" + std::to_string(attempt));
        if (fs::create_directory(dir))
            return dir;
    }
    throw std::runtime_error("no directory for the simulator's output");
}

// The dosdevices folder of the running prefix, where a COM port is a link.
std::string dosDevices()
{
    const char* prefix = std::getenv("WINEPREFIX");
    if (prefix == nullptr || *prefix == '\0')
        throw std::runtime_error("WINEPREFIX is not set: run the test through tests/wine/wine-run.sh");
    return std::string(prefix) + "/dosdevices";
}

// A COM number no other test holds: a lock file made exclusively beside
// the links. Numbers from 20 up, clear of what an operator's prefix has.
int claimComNumber(fs::path& lockFile)
{
    const fs::path devices = windowsPath(dosDevices());
    for (int number = 20; number <= 250; ++number) {
        const fs::path lock = devices / ("com" + std::to_string(number) + ".kalvi7-test");
        const HANDLE file =
            CreateFileW(lock.wstring().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE)
            continue;
        CloseHandle(file);
        std::error_code ignored;
        if (fs::exists(devices / ("com" + std::to_string(number)), ignored)) {
            fs::remove(lock, ignored);
            continue;
        }
        lockFile = lock;
        return number;
    }
    throw std::runtime_error("no free COM number for the simulator");
}

std::wstring widen(const std::string& text) { return fs::path(text).wstring(); }

// Starts `program args` on the Unix side through unix-child.sh, which
// reports into dir.
void startUnixChild(const fs::path& dir, const std::vector<std::string>& programAndArgs)
{
    std::wstring command =
        L"\"" + windowsPath(KALVI7_UNIX_CHILD).wstring() + L"\" \"" + widen(unixPath(dir)) + L"\"";
    for (const auto& arg : programAndArgs)
        command += L" \"" + widen(arg) + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process))
        throw std::runtime_error("cannot start the simulator: error " + std::to_string(GetLastError()));
    // Wine gives no handles for a Unix program; should a later Wine give
    // them, they are not needed.
    if (process.hThread)
        CloseHandle(process.hThread);
    if (process.hProcess)
        CloseHandle(process.hProcess);
}

// The exit status unix-child.sh wrote, once there; -1 before.
int statusIn(const fs::path& dir)
{
    const std::string text = trimmed(readFile(dir / "status"));
    return text.empty() ? -1 : std::atoi(text.c_str());
}

int waitForStatus(const fs::path& dir, std::chrono::milliseconds timeout)
{
    const auto until = Clock::now() + timeout;
    for (;;) {
        const int status = statusIn(dir);
        if (status >= 0 || Clock::now() >= until)
            return status;
        std::this_thread::sleep_for(10ms);
    }
}

int stopAndWait(const fs::path& dir)
{
    std::ofstream(dir / "stop").put('\n');
    return waitForStatus(dir, 6s);
}

std::vector<std::string> simulatorCommand(const std::vector<std::string>& args)
{
    std::vector<std::string> command{KALVI7_SIM};
    command.insert(command.end(), args.begin(), args.end());
    return command;
}

}  // namespace

Finished runToEnd(const std::vector<std::string>& args, std::chrono::milliseconds timeout)
{
    const fs::path dir = outputDirectory();
    Finished f;
    try {
        startUnixChild(dir, simulatorCommand(args));
        // Wine takes a moment to start the Unix side.
        f.code = waitForStatus(dir, timeout + 2s);
        if (f.code < 0)
            stopAndWait(dir);
    } catch (...) {
        std::error_code ignored;
        fs::remove_all(dir, ignored);
        throw;
    }
    f.out = readFile(dir / "out");
    f.err = readFile(dir / "err");
    std::error_code ignored;
    fs::remove_all(dir, ignored);
    return f;
}

SimProcess::SimProcess(const std::vector<std::string>& args) : outputs_(outputDirectory().string())
{
    try {
        fs::path lock;
        const int number = claimComNumber(lock);
        comLock_ = lock.string();
        std::vector<std::string> withLink = args;
        withLink.insert(withLink.begin(), {"--link", dosDevices() + "/com" + std::to_string(number)});
        startUnixChild(outputs_, simulatorCommand(withLink));
        const auto line = nextLine(10s);
        if (!line)
            throw std::runtime_error("kalvi7-sim printed no line path: " + errText());
        if (trimmed(*line).empty())
            throw std::runtime_error("kalvi7-sim printed an empty line path");
        linePath_ = "COM" + std::to_string(number);
        const std::string pid = trimmed(readFile(fs::path(outputs_) / "pid"));
        pid_ = pid.empty() ? -1 : std::atoi(pid.c_str());
    } catch (...) {
        release();
        throw;
    }
}

SimProcess::~SimProcess() { release(); }

void SimProcess::release()
{
    if (!outputs_.empty() && fs::exists(fs::path(outputs_) / "pid"))
        terminate();
    std::error_code ignored;
    if (!comLock_.empty())
        fs::remove(comLock_, ignored);
    comLock_.clear();
    if (!outputs_.empty())
        fs::remove_all(outputs_, ignored);
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
        const std::string out = readFile(fs::path(outputs_) / "out");
        if (out.size() > outRead_) {
            pending_ += out.substr(outRead_);
            outRead_ = out.size();
            continue;
        }
        if (exited_ || Clock::now() >= until)
            return std::nullopt;
        if (!running())
            continue;  // one last look at what it wrote just before it ended
        std::this_thread::sleep_for(5ms);
    }
}

bool SimProcess::running()
{
    if (exited_)
        return false;
    const int status = statusIn(outputs_);
    if (status >= 0) {
        status_ = status;
        exited_ = true;
    }
    return !exited_;
}

int SimProcess::terminate()
{
    if (!exited_) {
        status_ = stopAndWait(outputs_);
        exited_ = true;
    }
    return status_;
}

int SimProcess::waitExit(std::chrono::milliseconds timeout)
{
    if (!exited_) {
        status_ = waitForStatus(outputs_, timeout);
        exited_ = status_ >= 0;
    }
    return status_;
}

std::string SimProcess::errText() const { return readFile(fs::path(outputs_) / "err"); }

double SimProcess::cpuSeconds() const
{
    // Fields 14 and 15 of /proc/PID/stat, read through Wine's Unix drive;
    // the clock tick of Linux, 100 a second.
    const std::string stat = readFile(windowsPath("/proc/" + std::to_string(pid_) + "/stat"));
    if (stat.empty())
        return 0;
    std::istringstream in(stat.substr(stat.rfind(')') + 2));
    std::string field;
    long long utime = 0, stime = 0;
    for (int i = 3; i <= 15 && in >> field; ++i) {
        if (i == 14)
            utime = std::stoll(field);
        if (i == 15)
            stime = std::stoll(field);
    }
    return static_cast<double>(utime + stime) / 100.0;
}

}  // namespace support
