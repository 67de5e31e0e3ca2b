// What a Linux machine tells of the adapter behind a serial port, read from
// sysfs and /dev without opening the port (an open raises DTR, which resets
// many devices), and which program holds a port's lock.
#pragma once

#include "PortUnit/port_enum_linux.h"
#include "PortUnit/port_facts.h"

#include <istream>
#include <string>

namespace PortUnit::detail {

// devicePath: the port as the selector shows it (roots.dev/ttyUSB0), or
// any link to it. Whatever cannot be read (no such entry, a symbolic link
// loop, an unreadable attribute) is left empty.
PortFacts ReadPortFacts(const std::string& devicePath, const SerialTreeRoots& roots);

// The process holding the lock of the file with this device and inode, as
// the text of /proc/locks names it; 0 when none does.
long LockHolderPid(std::istream& procLocks, const LockedFile& file);

// "minicom, PID 1234" for the program that holds the lock on the port open
// as fd, from procRoot/locks and procRoot/<pid>/comm; empty when unknown.
std::string LockHolder(int fd, const std::string& procRoot);

}  // namespace PortUnit::detail
