// Windows device instance ids read as text on any machine, and the tool tip
// they give beside the Linux one.
#include "PortUnit/device_instance_id.h"
#include "PortUnit/port_facts.h"

#include <gtest/gtest.h>

#include <string>

using namespace PortUnit::detail;

namespace {

TEST(ParseDeviceInstanceId, ReadsTheUsbIdsAndTheDevicesOwnSerialNumber)
{
    const struct {
        const char* what;
        std::string id;
        std::string vendor, product, serial;
    } cases[] = {
        {"FTDI adapter", "USB\\VID_0403&PID_6001\\A50285BI", "0403", "6001", "A50285BI"},
        {"CH340 without a serial number: Windows makes the instance part up",
         "USB\\VID_1A86&PID_7523\\5&2E7AE4A1&0&1", "1a86", "7523", ""},
        {"Prolific without a serial number", "USB\\VID_067B&PID_2303\\6&1B3A5E5&0&3", "067b", "2303", ""},
        {"CDC ACM device", "USB\\VID_2341&PID_0043\\85736323838351F0E1B0", "2341", "0043",
         "85736323838351F0E1B0"},
        {"one interface of a composite device: the serial number is the parent's",
         "USB\\VID_2341&PID_8036&MI_00\\6&3A4B3C&0&0000", "2341", "8036", ""},
        {"FTDI's own bus driver: ids with '+', the serial number is the parent's",
         "FTDIBUS\\VID_0403+PID_6001+A50285BIA\\0000", "0403", "6001", ""},
        {"lower case", "usb\\vid_0403&pid_6015\\dk0ahh2a", "0403", "6015", "dk0ahh2a"},
        {"UART on the main board", "ACPI\\PNP0501\\1", "", "", ""},
        {"Bluetooth serial link",
         "BTHENUM\\{00001101-0000-1000-8000-00805F9B34FB}_LOCALMFG&0002\\7&1D80ECD3&0&0", "", "", ""},
        {"garbage", "not an id", "", "", ""},
        {"empty", "", "", "", ""},
        {"no instance part", "USB\\VID_0403&PID_6001", "", "", ""},
        {"empty instance part", "USB\\VID_0403&PID_6001\\", "0403", "6001", ""},
        {"too many parts", "USB\\VID_0403&PID_6001\\A5\\B", "", "", ""},
        {"no enumerator", "\\VID_0403&PID_6001\\A50285BI", "", "", ""},
        {"short vendor id", "USB\\VID_403&PID_6001\\A50285BI", "", "", ""},
        {"long product id", "USB\\VID_0403&PID_60011\\A50285BI", "", "", ""},
        {"ids that are not hexadecimal", "USB\\VID_04G3&PID_6001\\A50285BI", "", "", ""},
        {"product id alone", "USB\\PID_6001\\A50285BI", "", "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const UsbIdentity identity = ParseDeviceInstanceId(c.id);
        EXPECT_EQ(identity.vendorId, c.vendor);
        EXPECT_EQ(identity.productId, c.product);
        EXPECT_EQ(identity.serial, c.serial);
    }
}

// What Windows' device manager knows of an FTDI adapter reads as the Linux
// tool tip does, line for line, with the driver service in place of the
// kernel driver and no by-id name.
TEST(DescribePortFacts, ReadsTheSameForWhatWindowsKnows)
{
    PortFacts facts;
    const UsbIdentity usb = ParseDeviceInstanceId("USB\\VID_0403&PID_6001\\A50285BI");
    facts.vendorId = usb.vendorId;
    facts.productId = usb.productId;
    facts.serial = usb.serial;
    facts.manufacturer = "FTDI";
    facts.product = "USB Serial Port (COM7)";
    facts.driver = "FTSER2K";
    EXPECT_EQ(DescribePortFacts(facts),
              "USB: 0403:6001\nПроизводитель: FTDI\nУстройство: USB Serial Port (COM7)\n"
              "Серийный номер: A50285BI\nДрайвер: FTSER2K");

    PortFacts uart;
    uart.manufacturer = "(Standard port types)";
    uart.product = "Communications Port (COM1)";
    uart.driver = "Serial";
    EXPECT_EQ(
        DescribePortFacts(uart),
        "Производитель: (Standard port types)\nУстройство: Communications Port (COM1)\nДрайвер: Serial");
}

}  // namespace
