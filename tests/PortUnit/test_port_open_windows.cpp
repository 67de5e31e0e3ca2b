// What only the Windows driver does: COM port names, and the device
// manager's facts behind the selector's tool tips.
#include "common/windows_api.h"

#include "PortUnit/PortUnit.h"
#include "byte_sink.h"
#include "line_peer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>

using namespace PortTest;

namespace {

// "\\.\" leads to every device of the machine; only COM1 to COM255 are
// opened, and any other name is refused before the system is asked.
TEST(OpenComPort, ANameThatIsNoComPortIsRefusedAndNothingOpens)
{
    ByteSink sink;
    const char* names[] = {"COM0",
                           "COM256",
                           "COMX",
                           "COM 5",
                           "LPT1",
                           "NUL",
                           "",
                           "\\\\.\\LPT1",
                           "\\\\.\\NUL",
                           "\\\\.\\COM0",
                           "\\\\.\\COM07",
                           "\\\\.\\C:",
                           "CON",
                           "\\\\.\\PhysicalDrive0"};
    for (const char* name : names) {
        SCOPED_TRACE(std::string("\"") + name + "\"");
        for (const std::string& path : {std::string(name), PortUnit::PortPathFor(name)}) {
            try {
                PortUnit::OpenComPort(path, 38400, 0, 8, 0);
                ADD_FAILURE() << path << " opened";
            } catch (const PortUnit::PortError& error) {
                EXPECT_STREQ(error.what(), "Ошибка: порт стенда не открыт");
                EXPECT_STREQ(error.reason(), "Это не имя COM-порта: порты называются от COM1 до COM255.");
            }
            EXPECT_FALSE(PortUnit::IsPortOpen());
            EXPECT_FALSE(PortUnit::IsReaderRunning());
        }
    }
}

// The selector's name in any case, or already in the device namespace, opens
// the same port.
TEST(OpenComPort, TakesAComNameInAnyCaseAndFormOnce)
{
    if (const std::string why = LinePeerUnavailable(); !why.empty())
        GTEST_SKIP() << why;
    const std::string port = std::getenv("KALVI7_TEST_DRIVER_PORT");
    std::string lower = port;
    for (char& c : lower)
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    const std::unique_ptr<LinePeer> peer = MakeLinePeer();
    ByteSink sink;
    for (const std::string& name : {port, lower, "\\\\.\\" + port}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(PortUnit::PortPathFor(name), "\\\\.\\" + name.substr(name.rfind('\\') + 1));
        PortUnit::OpenComPort(PortUnit::PortPathFor(name), 38400, 0, 8, 0);
        EXPECT_TRUE(PortUnit::IsReaderRunning());
        PortUnit::CloseComPort(true);
    }
}

bool UnderWine()
{
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

// The selector describes each of its entries when the list opens: that
// must cost no noticeable time. Wine keeps no device manager records of
// serial ports, so there no entry has a tool tip.
TEST(DescribeComPort, AnswersAtOnceAndUnderWineWithNothing)
{
    std::string described;
    const auto start = std::chrono::steady_clock::now();
    for (int number = 1; number <= 10; ++number)
        described += PortUnit::DescribeComPort("COM" + std::to_string(number));
    const auto spent = std::chrono::steady_clock::now() - start;
    EXPECT_LT(spent, 1s) << "ten entries took "
                         << std::chrono::duration_cast<std::chrono::milliseconds>(spent).count() << " ms";
    if (UnderWine()) {
        EXPECT_EQ(described, "");
    }

    EXPECT_EQ(PortUnit::DescribeComPort("LPT1"), "");
    EXPECT_EQ(PortUnit::DescribeComPort("COM0"), "");
    EXPECT_EQ(PortUnit::DescribeComPort(""), "");
}

}  // namespace
