// Windows' COM port names, checked as text on any machine.
#include "PortUnit/port_names.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

using PortUnit::detail::ComDevicePath;
using PortUnit::detail::ComPortNumber;

namespace {

TEST(ComPortNumber, TakesCom1ToCom255InEitherFormAndCase)
{
    const struct {
        std::string name;
        std::optional<int> number;
    } cases[] = {
        {"COM1", 1},
        {"COM7", 7},
        {"com7", 7},
        {"Com12", 12},
        {"COM255", 255},
        {"\\\\.\\COM12", 12},
        {"\\\\.\\com3", 3},
        // Out of range or malformed.
        {"COM0", std::nullopt},
        {"COM256", std::nullopt},
        {"COM1000", std::nullopt},
        {"COM99999999999", std::nullopt},
        {"COM07", std::nullopt},
        {"COMX", std::nullopt},
        {"COM", std::nullopt},
        {"COM 5", std::nullopt},
        {" COM5", std::nullopt},
        {"COM5 ", std::nullopt},
        {"COM5:", std::nullopt},
        {"COM-1", std::nullopt},
        {"COM+1", std::nullopt},
        {"COM１", std::nullopt},  // a full-width digit
        // Other devices and other paths.
        {"LPT1", std::nullopt},
        {"NUL", std::nullopt},
        {"CON", std::nullopt},
        {"", std::nullopt},
        {"\\\\.\\", std::nullopt},
        {"\\\\.\\\\\\.\\COM1", std::nullopt},
        {"\\\\?\\COM1", std::nullopt},
        {"\\\\.\\PhysicalDrive0", std::nullopt},
        {"C:\\COM1", std::nullopt},
        {"/dev/ttyUSB0", std::nullopt},
        {std::string("COM1\0", 5), std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("\"" + c.name + "\"");
        EXPECT_EQ(ComPortNumber(c.name), c.number);
    }
}

TEST(ComDevicePath, PrefixesTheDeviceNamespaceOnce)
{
    EXPECT_EQ(ComDevicePath("COM1"), "\\\\.\\COM1");
    EXPECT_EQ(ComDevicePath("com7"), "\\\\.\\com7");
    EXPECT_EQ(ComDevicePath("COM12"), "\\\\.\\COM12");
    EXPECT_EQ(ComDevicePath("\\\\.\\COM12"), "\\\\.\\COM12");
    // Whatever else the selector holds is prefixed too and refused when
    // opened, as a name that is no COM port.
    EXPECT_EQ(ComDevicePath("LPT1"), "\\\\.\\LPT1");
    EXPECT_EQ(ComDevicePath(""), "\\\\.\\");
}

}  // namespace
