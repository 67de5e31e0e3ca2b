// What the system tells of the adapter behind a serial port, and the tool
// tip text the selector shows for it. Gathered differently on each system
// (sysfs on Linux, the device manager on Windows) and described alike, so
// that the two tool tips read the same.
#pragma once

#include <string>
#include <vector>

namespace PortUnit::detail {

struct PortFacts {
    // Of the USB device the port belongs to, as its descriptors say; the
    // ids in lower-case hexadecimal, as lsusb writes them.
    std::string vendorId;   // "0403"
    std::string productId;  // "6001"
    std::string manufacturer;
    // The device's name: the product string on Linux, the device manager's
    // friendly name on Windows.
    std::string product;
    std::string serial;
    // Of the port itself: "ftdi_sio", "cdc_acm", "serial8250" on Linux;
    // the driver service ("FTSER2K", "usbser", "Serial") on Windows.
    std::string driver;
    // The persistent names under /dev/serial/by-id that lead to the port,
    // sorted; Linux only.
    std::vector<std::string> byId;
};

// One fact a line, with Russian captions, in a fixed order; empty when
// nothing is known.
std::string DescribePortFacts(const PortFacts& facts);

}  // namespace PortUnit::detail
