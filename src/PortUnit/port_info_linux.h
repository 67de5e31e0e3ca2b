// What a Linux machine tells of the adapter behind a serial port, read from
// sysfs and /dev without opening the port (an open raises DTR, which resets
// many devices), and which program holds a port's lock.
#pragma once

#include "port_enum_linux.h"

#include <istream>
#include <string>
#include <vector>

namespace PortUnit::detail {

struct PortFacts {
    // Of the USB device the port belongs to, as its descriptors say.
    std::string vendorId;   // "0403"
    std::string productId;  // "6001"
    std::string manufacturer;
    std::string product;
    std::string serial;
    std::string driver;  // of the port itself: "ftdi_sio", "cdc_acm", "serial8250"
    // The persistent names under <dev>/serial/by-id that lead to the port,
    // sorted.
    std::vector<std::string> byId;
};

// devicePath: the port as the selector shows it (roots.dev/ttyUSB0), or
// any link to it. Whatever cannot be read (no such entry, a symbolic link
// loop, an unreadable attribute) is left empty.
PortFacts ReadPortFacts(const std::string& devicePath, const SerialTreeRoots& roots);

// One fact a line, in a fixed order; empty when nothing is known.
std::string DescribePortFacts(const PortFacts& facts);

// The process holding the lock of the file with this device and inode, as
// the text of /proc/locks names it; 0 when none does.
long LockHolderPid(std::istream& procLocks, const LockedFile& file);

// "minicom, PID 1234" for the program that holds the lock on the port open
// as fd, from procRoot/locks and procRoot/<pid>/comm; empty when unknown.
std::string LockHolder(int fd, const std::string& procRoot);

}  // namespace PortUnit::detail
