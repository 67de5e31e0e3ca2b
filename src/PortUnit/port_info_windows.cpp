// What Windows' device manager knows of the adapter behind a COM port, read
// through SetupAPI without opening the port: the friendly name, the maker
// of its driver package, the driver service, and the USB ids and serial
// number its device instance id carries.
#include "common/windows_api.h"

#include <cfgmgr32.h>
#include <setupapi.h>

#include "PortUnit/PortUnit.h"

#include "PortUnit/device_instance_id.h"
#include "PortUnit/port_facts.h"
#include "PortUnit/port_names.h"

#include <optional>
#include <string>
#include <vector>

namespace PortUnit {

namespace {

using namespace detail;

// The device setup class of serial and parallel ports (devguid.h's
// GUID_DEVCLASS_PORTS, spelt out so that no GUID has to be instantiated
// from a header).
constexpr GUID PortsClass = {0x4d36e978, 0xe325, 0x11ce, {0xbf, 0xc1, 0x08, 0x00, 0x2b, 0xe1, 0x03, 0x18}};

// A device's texts are the driver's and the device's own: what a tool tip
// shows of them is kept to one short line each.
constexpr std::size_t LongestText = 256;

std::string Narrow(const wchar_t* text, std::size_t length)
{
    if (length == 0)
        return {};
    const int wideLength = static_cast<int>(length);
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, wideLength, nullptr, 0, nullptr, nullptr);
    if (size <= 0)
        return {};
    std::string narrow(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, wideLength, narrow.data(), size, nullptr, nullptr);
    return narrow;
}

bool IsControl(char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; }

// A registry or device text up to its first terminator, at most
// LongestText characters, trailing blanks dropped, control characters
// shown as "?" (a device may report anything).
std::string Tidy(const std::vector<wchar_t>& buffer)
{
    std::size_t length = 0;
    while (length < buffer.size() && length < LongestText && buffer[length] != L'\0')
        ++length;
    std::string text = Narrow(buffer.data(), length);
    while (!text.empty() && (text.back() == ' ' || IsControl(text.back())))
        text.pop_back();
    for (char& c : text)
        if (IsControl(c))
            c = '?';
    return text;
}

// A text property of the device (SPDRP_FRIENDLYNAME, SPDRP_MFG,
// SPDRP_SERVICE); empty when it has none.
std::string DeviceText(HDEVINFO devices, SP_DEVINFO_DATA& device, DWORD property)
{
    std::vector<wchar_t> buffer(LongestText + 1, L'\0');
    DWORD type = 0;
    const DWORD bytes = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
    if (!SetupDiGetDeviceRegistryPropertyW(devices, &device, property, &type,
                                           reinterpret_cast<BYTE*>(buffer.data()), bytes, nullptr) ||
        type != REG_SZ)
        return {};
    return Tidy(buffer);
}

// The COM port name the ports class gives a device ("PortName" of its
// device key); nothing for a device that is not a COM port (a printer
// port, a port not yet given a name).
std::optional<int> ComPortNumberOf(HDEVINFO devices, SP_DEVINFO_DATA& device)
{
    const HKEY key = SetupDiOpenDevRegKey(devices, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_QUERY_VALUE);
    if (key == INVALID_HANDLE_VALUE)
        return std::nullopt;
    std::vector<wchar_t> buffer(32, L'\0');
    // One character short of the buffer: the value need not end in a
    // terminator.
    DWORD bytes = static_cast<DWORD>((buffer.size() - 1) * sizeof(wchar_t));
    DWORD type = 0;
    const LONG read =
        RegQueryValueExW(key, L"PortName", nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()), &bytes);
    RegCloseKey(key);
    if (read != ERROR_SUCCESS || type != REG_SZ)
        return std::nullopt;
    return ComPortNumber(Tidy(buffer));
}

std::string InstanceIdOf(DEVINST instance)
{
    std::vector<wchar_t> buffer(MAX_DEVICE_ID_LEN + 1, L'\0');
    if (CM_Get_Device_IDW(instance, buffer.data(), MAX_DEVICE_ID_LEN, 0) != CR_SUCCESS)
        return {};
    return Tidy(buffer);
}

// The USB ids and serial number: from the port's own instance id, and from
// its parent's when the port's own carries no serial number. The parent is
// the USB device itself when the port is one interface of a composite
// device (USB\VID_2341&PID_8036&MI_00) or the child of a vendor's bus
// driver (FTDIBUS\VID_0403+PID_6001+...).
UsbIdentity UsbIdentityOf(DEVINST instance)
{
    UsbIdentity own = ParseDeviceInstanceId(InstanceIdOf(instance));
    if (!own.serial.empty())
        return own;
    DEVINST parent = 0;
    if (CM_Get_Parent(&parent, instance, 0) != CR_SUCCESS)
        return own;
    UsbIdentity above = ParseDeviceInstanceId(InstanceIdOf(parent));
    const bool sameDevice =
        own.vendorId.empty() || (above.vendorId == own.vendorId && above.productId == own.productId);
    return !above.vendorId.empty() && sameDevice ? above : own;
}

PortFacts FactsOf(HDEVINFO devices, SP_DEVINFO_DATA& device)
{
    PortFacts facts;
    const UsbIdentity usb = UsbIdentityOf(device.DevInst);
    facts.vendorId = usb.vendorId;
    facts.productId = usb.productId;
    facts.serial = usb.serial;
    facts.manufacturer = DeviceText(devices, device, SPDRP_MFG);
    facts.product = DeviceText(devices, device, SPDRP_FRIENDLYNAME);
    facts.driver = DeviceText(devices, device, SPDRP_SERVICE);
    return facts;
}

}  // namespace

std::string DescribeComPort(const std::string& name)
{
    const std::optional<int> number = ComPortNumber(name);
    if (!number)
        return {};
    // The devices present now of the ports class; under Wine, which has no
    // device manager records of serial ports, an empty set at once.
    const HDEVINFO devices = SetupDiGetClassDevsW(&PortsClass, nullptr, nullptr, DIGCF_PRESENT);
    if (devices == INVALID_HANDLE_VALUE)
        return {};
    PortFacts facts;
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    for (DWORD index = 0; SetupDiEnumDeviceInfo(devices, index, &device); ++index) {
        if (ComPortNumberOf(devices, device) == number) {
            facts = FactsOf(devices, device);
            break;
        }
    }
    SetupDiDestroyDeviceInfoList(devices);
    return DescribePortFacts(facts);
}

}  // namespace PortUnit
