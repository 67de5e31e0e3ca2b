#include "PortUnit/port_enum_linux.h"

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

bool StartsWith(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }

// Kinds of port that are serial lines whenever they exist.
bool IsAlwaysSerial(const std::string& name)
{
    for (const char* prefix : {"ttyUSB", "ttyACM", "ttyAMA", "rfcomm"})
        if (StartsWith(name, prefix))
            return true;
    return false;
}

// A tty bound to a driver is a serial port unless its UART type says there
// is no UART: the ttyS entries a PC kernel reserves whether or not the
// hardware exists carry type 0.
bool HasUartBehind(const fs::path& ttyEntry)
{
    std::error_code error;
    if (!fs::exists(ttyEntry / "device" / "driver", error))
        return false;
    std::ifstream typeFile(ttyEntry / "type");
    std::string type;
    if (!(typeFile >> type))
        return true;  // drivers without the attribute: USB serial and the like
    return type != "0";
}

bool IsLocked(const fs::path& node, const std::set<LockedFile>& locked)
{
    struct stat info {};
    if (stat(node.c_str(), &info) != 0)
        return false;
    return locked.count({major(info.st_dev), minor(info.st_dev), info.st_ino}) != 0;
}

std::set<LockedFile> ReadLockedFiles(const std::string& procLocks)
{
    std::ifstream file(procLocks);
    return file ? ParseLockedFiles(file) : std::set<LockedFile>{};
}

}  // namespace

std::optional<LockedFile> ParseLockedFileField(const std::string& field)
{
    unsigned deviceMajor = 0, deviceMinor = 0;
    unsigned long long inode = 0;
    int consumed = 0;
    if (std::count(field.begin(), field.end(), ':') != 2 ||
        std::sscanf(field.c_str(), "%x:%x:%llu%n", &deviceMajor, &deviceMinor, &inode, &consumed) != 3 ||
        consumed != static_cast<int>(field.size()))
        return std::nullopt;
    return LockedFile{deviceMajor, deviceMinor, inode};
}

std::set<LockedFile> ParseLockedFiles(std::istream& procLocks)
{
    // A line reads, for example, "1: FLOCK  ADVISORY  WRITE 9377 00:1b:3 0 EOF"
    // (a waiter has "->" after the number); the file is the one field of the
    // form major:minor:inode, the first two in hexadecimal.
    std::set<LockedFile> files;
    std::string line;
    while (std::getline(procLocks, line)) {
        std::istringstream fields(line);
        std::string field;
        while (fields >> field) {
            if (const auto file = ParseLockedFileField(field)) {
                files.insert(*file);
                break;
            }
        }
    }
    return files;
}

namespace {

// "0" to "9" only, whatever the process's locale says a digit is.
bool IsAsciiDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

bool NaturalLess(const std::string& a, const std::string& b)
{
    std::size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        const bool digitA = IsAsciiDigit(a[i]);
        const bool digitB = IsAsciiDigit(b[j]);
        if (digitA && digitB) {
            std::size_t endA = i, endB = j;
            while (endA < a.size() && IsAsciiDigit(a[endA]))
                ++endA;
            while (endB < b.size() && IsAsciiDigit(b[endB]))
                ++endB;
            std::size_t startA = i, startB = j;
            while (startA + 1 < endA && a[startA] == '0')
                ++startA;
            while (startB + 1 < endB && b[startB] == '0')
                ++startB;
            const std::size_t lengthA = endA - startA, lengthB = endB - startB;
            if (lengthA != lengthB)
                return lengthA < lengthB;
            const int order = a.compare(startA, lengthA, b, startB, lengthB);
            if (order != 0)
                return order < 0;
            i = endA;
            j = endB;
        } else {
            if (a[i] != b[j])
                return static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[j]);
            ++i;
            ++j;
        }
    }
    return a.size() - i < b.size() - j;
}

std::vector<std::string> ListSerialPorts(const SerialTreeRoots& roots)
{
    std::vector<std::string> ports;
    std::error_code error;
    fs::directory_iterator entries(roots.sysClassTty, error);
    if (error)
        return ports;
    const std::set<LockedFile> locked = ReadLockedFiles(roots.procLocks);

    for (const fs::directory_entry& entry : entries) {
        const std::string name = entry.path().filename().string();
        if (!IsAlwaysSerial(name) && !HasUartBehind(entry.path()))
            continue;
        const fs::path node = fs::path(roots.dev) / name;
        if (!fs::exists(node, error) || IsLocked(node, locked))
            continue;
        ports.push_back(node.string());
    }
    std::sort(ports.begin(), ports.end(), NaturalLess);
    return ports;
}

}  // namespace PortUnit::detail
