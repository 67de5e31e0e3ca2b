#include "PortUnit/port_info_linux.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace PortUnit::detail {

namespace {

// A sysfs attribute is one short line; anything longer is not one.
constexpr std::size_t LongestAttribute = 256;

// How far above the port's device the USB device may sit: a USB serial
// port hangs below its interface, which hangs below the device.
constexpr int UsbDeviceSearchDepth = 6;

// The first line of a small regular file, trimmed, with control characters
// (a device may report anything) shown as "?"; empty when unreadable.
std::string ReadAttribute(const fs::path& file)
{
    std::error_code error;
    if (!fs::is_regular_file(file, error))
        return {};
    std::ifstream in(file, std::ios::binary);
    char buffer[LongestAttribute];
    in.read(buffer, sizeof buffer);
    std::string text(buffer, static_cast<std::size_t>(in.gcount()));
    text = text.substr(0, text.find('\n'));
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r'))
        text.pop_back();
    for (char& c : text)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            c = '?';
    return text;
}

// The driver of the hardware behind a port's device. Since Linux 6.5 a
// UART's tty hangs below two devices of the kernel's own "serial-base" bus
// (drivers "port" and "ctrl"), which say nothing; the driver of the
// hardware sits above them.
std::string DriverOf(fs::path device)
{
    constexpr int SerialBaseLevels = 2;
    for (int depth = 0; depth <= SerialBaseLevels && device.has_relative_path(); ++depth) {
        std::error_code error;
        const fs::path driver = fs::read_symlink(device / "driver", error);
        if (error)
            return {};
        const fs::path bus = driver.parent_path().parent_path().filename();
        if (bus != "serial-base")
            return driver.filename().string();
        device = device.parent_path();
    }
    return {};
}

// The nearest directory at or above device that describes a USB device.
fs::path UsbDeviceOf(fs::path device)
{
    std::error_code error;
    for (int depth = 0; depth < UsbDeviceSearchDepth && device.has_relative_path(); ++depth) {
        if (fs::is_regular_file(device / "idVendor", error))
            return device;
        device = device.parent_path();
    }
    return {};
}

std::vector<std::string> ByIdNames(const std::string& devicePath, const SerialTreeRoots& roots)
{
    std::vector<std::string> names;
    const fs::path byId = fs::path(roots.dev) / "serial" / "by-id";
    std::error_code error;
    fs::directory_iterator entries(byId, error);
    if (error)
        return names;
    for (const fs::directory_entry& entry : entries) {
        std::error_code unresolved;
        if (fs::equivalent(entry.path(), devicePath, unresolved) && !unresolved)
            names.push_back(entry.path().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace

PortFacts ReadPortFacts(const std::string& devicePath, const SerialTreeRoots& roots)
{
    PortFacts facts;
    // A link such as a by-id name is followed to the device node, whose
    // name is the tty's name in sysfs.
    std::error_code error;
    fs::path node = fs::canonical(devicePath, error);
    if (error)
        node = devicePath;
    const std::string name = node.filename().string();
    if (name.empty())
        return facts;

    const fs::path entry = fs::path(roots.sysClassTty) / name;
    const fs::path device = fs::canonical(entry / "device", error);
    if (!error) {
        facts.driver = DriverOf(device);
        const fs::path usb = UsbDeviceOf(device);
        if (!usb.empty()) {
            facts.vendorId = ReadAttribute(usb / "idVendor");
            facts.productId = ReadAttribute(usb / "idProduct");
            facts.manufacturer = ReadAttribute(usb / "manufacturer");
            facts.product = ReadAttribute(usb / "product");
            facts.serial = ReadAttribute(usb / "serial");
        }
    }
    facts.byId = ByIdNames(devicePath, roots);
    return facts;
}

long LockHolderPid(std::istream& procLocks, const LockedFile& file)
{
    // "1: FLOCK  ADVISORY  WRITE 9377 00:1b:3 0 EOF": the holder's PID
    // stands before the file's major:minor:inode (hexadecimal, hexadecimal,
    // decimal). Lines with "->" are processes waiting for a lock, not
    // holding one.
    std::string line;
    while (std::getline(procLocks, line)) {
        if (line.find("->") != std::string::npos)
            continue;
        std::istringstream fields(line);
        std::string previous, field;
        while (fields >> field) {
            if (const auto named = ParseLockedFileField(field)) {
                if (*named != file)
                    break;
                long pid = 0;
                int pidConsumed = 0;
                if (std::sscanf(previous.c_str(), "%ld%n", &pid, &pidConsumed) == 1 &&
                    pidConsumed == static_cast<int>(previous.size()) && pid > 0)
                    return pid;
                break;
            }
            previous = field;
        }
    }
    return 0;
}

std::string LockHolder(int fd, const std::string& procRoot)
{
    struct stat info {};
    if (fstat(fd, &info) != 0)
        return {};
    std::ifstream locks(fs::path(procRoot) / "locks");
    if (!locks)
        return {};
    const long pid = LockHolderPid(locks, {major(info.st_dev), minor(info.st_dev), info.st_ino});
    if (pid <= 0)
        return {};
    const std::string command = ReadAttribute(fs::path(procRoot) / std::to_string(pid) / "comm");
    const std::string pidText = "PID " + std::to_string(pid);
    return command.empty() ? pidText : command + ", " + pidText;
}

}  // namespace PortUnit::detail
