// Finding the serial ports of a Linux machine from sysfs, without opening
// any of them: an open raises DTR, which resets many devices, and may
// disturb a port another program is using.
#pragma once

#include <cstdint>
#include <istream>
#include <optional>
#include <set>
#include <string>
#include <tuple>
#include <vector>

namespace PortUnit::detail {

// Where the listing looks; the defaults are the live system, tests point
// them at a small tree of their own.
struct SerialTreeRoots {
    std::string sysClassTty = "/sys/class/tty";
    std::string dev = "/dev";
    std::string procLocks = "/proc/locks";
};

// Device paths of the serial ports present, in natural order. Listed: the
// USB adapters (ttyUSB, ttyACM), the ARM UARTs (ttyAMA), Bluetooth serial
// links (rfcomm) and every other tty bound to a driver whose UART type is
// not 0; left out: virtual terminals, pseudo-terminals, the ttyS
// placeholders with no UART behind them, entries without a /dev node, and
// ports on which another program holds a file lock.
std::vector<std::string> ListSerialPorts(const SerialTreeRoots& roots);

// A file as /proc/locks names it: device major, device minor, inode.
using LockedFile = std::tuple<unsigned, unsigned, std::uint64_t>;

// Every file that /proc/locks text lists, whatever the kind of lock.
std::set<LockedFile> ParseLockedFiles(std::istream& procLocks);

// The file one field of a /proc/locks line names, when the field has the
// form major:minor:inode (the first two hexadecimal); nothing otherwise.
std::optional<LockedFile> ParseLockedFileField(const std::string& field);

// "ttyS2" before "ttyS10": runs of digits compare by value.
bool NaturalLess(const std::string& a, const std::string& b);

}  // namespace PortUnit::detail
