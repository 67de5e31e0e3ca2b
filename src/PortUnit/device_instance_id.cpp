#include "PortUnit/device_instance_id.h"

#include <optional>
#include <vector>

namespace PortUnit::detail {

namespace {

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameIgnoringCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (Lower(a[i]) != Lower(b[i]))
            return false;
    return true;
}

bool IsHexDigit(char c) { return (c >= '0' && c <= '9') || (Lower(c) >= 'a' && Lower(c) <= 'f'); }

std::vector<std::string_view> Split(std::string_view text, std::string_view separators)
{
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = text.find_first_of(separators, start);
        parts.push_back(
            text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
        if (end == std::string_view::npos)
            return parts;
        start = end + 1;
    }
}

// The four hexadecimal digits of "VID_0403" when field is that with this
// key, in lower case.
std::optional<std::string> IdField(std::string_view field, std::string_view key)
{
    if (field.size() != key.size() + 4 || !SameIgnoringCase(field.substr(0, key.size()), key))
        return std::nullopt;
    std::string digits;
    for (const char c : field.substr(key.size())) {
        if (!IsHexDigit(c))
            return std::nullopt;
        digits += Lower(c);
    }
    return digits;
}

// Windows makes an instance part up, with '&' in it, when the device reports
// no serial number; a serial number has letters and digits only.
bool IsOwnSerial(std::string_view instance)
{
    if (instance.empty())
        return false;
    for (const char c : instance) {
        const bool letterOrDigit = (c >= '0' && c <= '9') || (Lower(c) >= 'a' && Lower(c) <= 'z');
        if (!letterOrDigit && c != '_' && c != '-' && c != '.')
            return false;
    }
    return true;
}

}  // namespace

UsbIdentity ParseDeviceInstanceId(std::string_view id)
{
    const std::vector<std::string_view> parts = Split(id, "\\");
    if (parts.size() != 3 || parts[0].empty())
        return {};
    std::optional<std::string> vendor, product;
    bool interfaceOfComposite = false;
    for (const std::string_view field : Split(parts[1], "&+")) {
        if (!vendor)
            vendor = IdField(field, "VID_");
        else if (!product)
            product = IdField(field, "PID_");
        if (field.size() > 3 && SameIgnoringCase(field.substr(0, 3), "MI_"))
            interfaceOfComposite = true;
    }
    if (!vendor || !product)
        return {};

    UsbIdentity identity{*vendor, *product, {}};
    if (SameIgnoringCase(parts[0], "USB") && !interfaceOfComposite && IsOwnSerial(parts[2]))
        identity.serial = std::string(parts[2]);
    return identity;
}

}  // namespace PortUnit::detail
