// kalvi7-ctl: the radiosonde from a shell. Reads the command line, opens
// the port as the window does (exclusively, at settings.INI's speed), runs
// one command and closes the port.

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <string>
#include <system_error>
#include <vector>

#include "PortUnit/PortUnit.h"
#include "ctl/arrival_queue.h"
#include "ctl/commands.h"
#include "ctl/options.h"
#include "ctl/stop_signals.h"
#include "ctl/system_io.h"
#include "settings/settings_ini.h"

namespace {

class QueueSource : public ctl::ByteSource {
public:
    explicit QueueSource(ctl::ArrivalQueue& queue) : queue_(queue) {}
    std::optional<ctl::Arrival> next(ctl::Clock::time_point until) override { return queue_.pop(until); }

private:
    ctl::ArrivalQueue& queue_;
};

// The open step's own text says which step failed; the driver's reason line
// (the same the window shows under it: the system's reason in words that do
// not follow the computer's language, and what to do for the usual causes)
// comes on a line of its own.
std::string openFailure(const std::string& path, const PortUnit::PortError& error)
{
    std::string text = "kalvi7-ctl: " + path + ": " + error.what();
    if (*error.reason() != '\0')
        text += std::string("\nkalvi7-ctl: ") + error.reason();
    return text;
}

// Why a file could not be made, in the words of --help whatever language
// the computer is set to (strerror follows it). Windows says "access
// denied" for a directory as well; the name tells that case apart.
std::string fileError(const std::string& name, int error)
{
    std::error_code ec;
    if (error == EACCES && std::filesystem::is_directory(std::u8string(name.begin(), name.end()), ec))
        error = EISDIR;
    switch (error) {
    case EACCES:
    case EPERM: return "cannot be written here (permission denied, EACCES)";
    case ENOENT: return "its directory does not exist (ENOENT)";
    case ENOTDIR: return "a part of the path is not a directory (ENOTDIR)";
    case EISDIR: return "is a directory (EISDIR)";
    case EROFS: return "the file system is read-only (EROFS)";
    case ENOSPC: return "no space left on the device (ENOSPC)";
    case ENAMETOOLONG: return "the name is too long (ENAMETOOLONG)";
    case EINVAL: return "the name holds characters the file system does not allow (EINVAL)";
    default: return "cannot be created (errno " + std::to_string(error) + ")";
    }
}

}  // namespace

int main(int argc, char* argv[])
{
    ctl::useUtf8StandardStreams();
    ctl::Options options;
    try {
        options = ctl::parseOptions(ctl::commandLineArguments(argc, argv));
    } catch (const ctl::UsageError& error) {
        std::cerr << "kalvi7-ctl: " << error.what() << "\nTry 'kalvi7-ctl --help'.\n";
        return ctl::kExitUsage;
    }
    if (options.help) {
        std::cout << ctl::helpText() << std::flush;
        return 0;
    }
    if (options.version) {
        std::cout << "kalvi7-ctl " KALVI7_VERSION "\n" << std::flush;
        return 0;
    }

    const settings::Settings settings =
        settings::loadSettings(settings::settingsPath(), PortUnit::DefaultPortName());
    const std::string port = options.port ? *options.port : settings.port;
    const std::uint32_t baud = options.baud            ? *options.baud
                               : settings.baudRate > 0 ? static_cast<std::uint32_t>(settings.baudRate)
                                                       : 38400u;

    // The window keeps its gain editor locked unless settings.INI enables
    // it (before launch the gain must be 30); a script is held to the same.
    if (options.command == ctl::Command::Set && options.setting == ctl::Setting::Gain &&
        !settings.amplSetEnable) {
        std::cerr << "kalvi7-ctl: gain changes are locked, as in the window: set AmplSetEnable=1 under "
                     "[Form setting] in settings.INI to allow them (before launch the gain must be 30)\n";
        return ctl::kExitUsage;
    }

    ctl::catchStopSignals();
    ctl::ArrivalQueue queue;
    PortUnit::SetByteMessageTarget(&ctl::ArrivalQueue::post, &queue);
    try {
        PortUnit::OpenComPort(PortUnit::PortPathFor(port), baud, 0, 8, 0);
    } catch (const PortUnit::PortError& error) {
        std::cerr << openFailure(port, error) << '\n';
        return ctl::kExitPort;
    }

    // The capture file is made once the port is open, so that a port that
    // fails leaves an existing file alone, and before anything is sent, so
    // that a file that cannot be written refuses the command as a bad
    // argument does.
    std::FILE* captureFile = nullptr;
    if (options.command == ctl::Command::Capture) {
        captureFile = ctl::createFileForWriting(options.captureFile);
        if (!captureFile) {
            const int error = errno;
            std::cerr << "kalvi7-ctl: " << options.captureFile << ": "
                      << fileError(options.captureFile, error) << '\n';
            PortUnit::CloseComPort(true);
            return ctl::kExitUsage;
        }
    }

    QueueSource source(queue);
    auto send = [](std::uint8_t byte) { PortUnit::WriteComByte(1, byte); };
    ctl::Link link(source, send);
    ctl::Context context{link, send, ctl::stopRequested, std::cout, std::cerr, {}, settings.continuedMode};
    if (options.testTimeoutMs) {
        const std::chrono::milliseconds wait(*options.testTimeoutMs);
        context.timing = {wait, wait, wait};
    }

    int status = ctl::kExitOk;
    try {
        switch (options.command) {
        case ctl::Command::Status:
            status = ctl::runStatus(context, options.format == ctl::WatchFormat::Json);
            break;
        case ctl::Command::Watch: status = ctl::runWatch(context, options.format); break;
        case ctl::Command::Set: status = ctl::runSet(context, options.setting, options.value); break;
        case ctl::Command::WriteCalibration: status = ctl::runWriteCalibration(context, options); break;
        case ctl::Command::Capture:
            status = ctl::runCapture(context, captureFile, port, baud, options.seconds);
            break;
        case ctl::Command::None: break;
        }
    } catch (const std::exception& error) {
        std::cerr << "kalvi7-ctl: " << error.what() << '\n';
        status = 1;
    }
    std::cout.flush();
    PortUnit::CloseComPort(true);
    PortUnit::SetByteMessageTarget(nullptr, nullptr);
    if (captureFile)
        std::fclose(captureFile);
    ctl::stopHandled();
    return status;
}
