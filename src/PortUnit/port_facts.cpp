#include "PortUnit/port_facts.h"

namespace PortUnit::detail {

namespace {

void AddLine(std::string& text, const char* caption, const std::string& value)
{
    if (value.empty())
        return;
    if (!text.empty())
        text += '\n';
    text += caption;
    text += value;
}

}  // namespace

std::string DescribePortFacts(const PortFacts& facts)
{
    // Russian captions like the rest of the window; the values are the
    // device's own, usually English. The ids as lsusb writes them.
    std::string text;
    if (!facts.vendorId.empty() || !facts.productId.empty())
        AddLine(text, "USB: ",
                (facts.vendorId.empty() ? "?" : facts.vendorId) + ":" +
                    (facts.productId.empty() ? "?" : facts.productId));
    AddLine(text, "Производитель: ", facts.manufacturer);
    AddLine(text, "Устройство: ", facts.product);
    AddLine(text, "Серийный номер: ", facts.serial);
    AddLine(text, "Драйвер: ", facts.driver);
    for (const std::string& name : facts.byId)
        AddLine(text, "Постоянное имя: ", name);
    return text;
}

}  // namespace PortUnit::detail
