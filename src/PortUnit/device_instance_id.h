// The USB facts a Windows device instance id carries, read from its text:
// "USB\VID_0403&PID_6001\A50285BI" is vendor 0403, product 6001, serial
// number A50285BI. Plain text work, the same on every system, so that it is
// checked on any machine.
#pragma once

#include <string>
#include <string_view>

namespace PortUnit::detail {

struct UsbIdentity {
    // Lower-case hexadecimal, as lsusb and Linux's sysfs write them; both
    // empty when the id names no USB device.
    std::string vendorId;
    std::string productId;
    // The device's own serial number; empty when the device has none and
    // Windows made the instance part up ("5&2E7AE4A1&0&1"), for one
    // interface of a composite device (&MI_00), and for ids whose instance
    // part is the vendor driver's own (FTDIBUS\VID_0403+PID_6001+A50285BIA),
    // whose parent, the USB device, carries the serial number.
    std::string serial;
};

// Anything that is not "<enumerator>\<device>\<instance>" with VID_xxxx and
// PID_xxxx (four hexadecimal digits each, separated by & or +) in its
// device part gives empty facts: ACPI\PNP0501\1, a made-up text.
UsbIdentity ParseDeviceInstanceId(std::string_view id);

}  // namespace PortUnit::detail
