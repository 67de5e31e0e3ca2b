#include "PortUnit/port_names.h"

namespace PortUnit::detail {

namespace {

constexpr std::string_view DeviceNamespace = "\\\\.\\";

bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix)
{
    if (text.size() < prefix.size())
        return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        const char c = text[i];
        const char lower = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
        if (lower != prefix[i])
            return false;
    }
    return true;
}

}  // namespace

std::optional<int> ComPortNumber(std::string_view name)
{
    if (name.substr(0, DeviceNamespace.size()) == DeviceNamespace)
        name.remove_prefix(DeviceNamespace.size());
    if (!StartsWithIgnoringCase(name, "com"))
        return std::nullopt;
    const std::string_view digits = name.substr(3);
    // No leading zero: Windows knows COM7, not COM07. Three digits at most
    // keep the number far from overflow before the range check.
    if (digits.empty() || digits.size() > 3 || digits.front() == '0')
        return std::nullopt;
    int number = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9')
            return std::nullopt;
        number = number * 10 + (c - '0');
    }
    if (number < FirstComPortNumber || number > LastComPortNumber)
        return std::nullopt;
    return number;
}

std::string ComDevicePath(std::string_view name)
{
    if (name.substr(0, DeviceNamespace.size()) == DeviceNamespace)
        return std::string(name);
    return std::string(DeviceNamespace) + std::string(name);
}

}  // namespace PortUnit::detail
