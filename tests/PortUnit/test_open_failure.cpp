// The reason lines that do not come from an errno value: Windows' error
// codes, a name that is no COM port, settings a port will not keep. Plain
// texts, checked on any machine.
#include "PortUnit/open_failure.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdint>
#include <string>

using namespace PortUnit::detail;

namespace {

TEST(WindowsErrorReason, GivesTheSameFixedLinesAsTheErrnoValuesOfTheSameMeaning)
{
    const struct {
        std::uint32_t code;
        std::string line;
    } cases[] = {
        // CreateFileW: no such port, held by another program, a bad path.
        {2, "Такого порта нет (ERROR_FILE_NOT_FOUND)."},
        {3, "Такого порта нет (ERROR_PATH_NOT_FOUND)."},
        {5, "Порт занят другой программой (ERROR_ACCESS_DENIED)."},
        {32, "Порт занят другой программой (ERROR_SHARING_VIOLATION)."},
        {123, "Путь к порту неверен (ERROR_INVALID_NAME)."},
        {206, "Слишком длинное имя порта (ERROR_FILENAME_EXCED_RANGE)."},
        // The comm calls: a device that is no serial port, settings it
        // refuses, an adapter that is gone or does not answer.
        {1,
         "Это не последовательный порт: устройство не отвечает на запросы настроек линии "
         "(ERROR_INVALID_FUNCTION)."},
        {50,
         "Это не последовательный порт: устройство не отвечает на запросы настроек линии "
         "(ERROR_NOT_SUPPORTED)."},
        {87, "Порт не принимает такие параметры (ERROR_INVALID_PARAMETER)."},
        {31, "Устройство порта не отвечает (ERROR_GEN_FAILURE)."},
        {121, "Устройство порта не отвечает (ERROR_SEM_TIMEOUT)."},
        {1167, "Устройства порта нет (ERROR_DEVICE_NOT_CONNECTED)."},
        {1117, "Ошибка ввода-вывода (ERROR_IO_DEVICE)."},
        {8, "Системе не хватает памяти (ERROR_NOT_ENOUGH_MEMORY)."},
        {1450, "Системе не хватает памяти (ERROR_NO_SYSTEM_RESOURCES)."},
        {995, "Открытие прервано (ERROR_OPERATION_ABORTED)."},
        // Codes the table does not know: the number, in the program's words.
        {1784, "Системная ошибка: 1784."},
        {0xE0000001u, "Системная ошибка: 3758096385."},
        {0, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.code);
        EXPECT_EQ(WindowsErrorReason(c.code), c.line);
    }
}

TEST(RefusedSettingsReason, NamesTheValueThePortWouldNotKeep)
{
    EXPECT_EQ(RefusedBaudReason(250000), "Порт не принимает скорость 250000 бод.");
    EXPECT_EQ(RefusedBaudReason(0), "Порт не принимает скорость 0 бод.");
    const struct {
        std::uint8_t parity, dataBits, stopBits;
        std::string line;
    } framings[] = {
        {0, 8, 0, "Порт не принимает формат знака: 8 бит данных, без контроля чётности, 1 стоповый бит."},
        {1, 7, 1, "Порт не принимает формат знака: 7 бит данных, контроль нечётности, 1,5 стоповых бита."},
        {2, 8, 2, "Порт не принимает формат знака: 8 бит данных, контроль чётности, 2 стоповых бита."},
        {3, 8, 0, "Порт не принимает формат знака: 8 бит данных, бит чётности всегда 1, 1 стоповый бит."},
        {4, 8, 0, "Порт не принимает формат знака: 8 бит данных, бит чётности всегда 0, 1 стоповый бит."},
        {5, 9, 3,
         "Порт не принимает формат знака: 9 бит данных, чётность с кодом 5, стоповые биты с кодом 3."},
    };
    for (const auto& f : framings) {
        SCOPED_TRACE(f.line);
        EXPECT_EQ(RefusedFramingReason(f.parity, f.dataBits, f.stopBits), f.line);
    }
}

TEST(ThreadStartReason, TellsTheThreadLimitFromABusyPort)
{
    // EAGAIN from a lock is a port held elsewhere; from the thread library
    // it is the system's limit of threads.
    EXPECT_EQ(ThreadStartReason(EAGAIN), "Системе не хватает ресурсов для потока чтения (EAGAIN).");
    EXPECT_EQ(ThreadStartReason(ENOMEM), "Системе не хватает памяти (ENOMEM).");
}

}  // namespace
