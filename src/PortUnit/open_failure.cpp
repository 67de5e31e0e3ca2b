// The reason line of a port that did not open, or that opened and then
// failed a step. Neither strerror() nor FormatMessage is used: their text
// follows the system's language, and the operator reads a Russian window
// whatever the computer is set to. Each line names the system's code too
// (ENOENT, ERROR_FILE_NOT_FOUND), which is what a search or a support call
// needs. Both systems' codes lead to one set of texts, so that a cause
// reads the same on either.
#include "PortUnit/open_failure.h"

#include "PortUnit/PortUnit.h"

#include <cerrno>

namespace PortUnit {

namespace {

constexpr const char* NoSuchPort = "Такого порта нет";
constexpr const char* Busy = "Порт занят другой программой";
constexpr const char* NotResponding = "Устройство порта не отвечает";
constexpr const char* NoDevice = "Устройства порта нет";
constexpr const char* InputOutput = "Ошибка ввода-вывода";
constexpr const char* BadPath = "Путь к порту неверен";
constexpr const char* NameTooLong = "Слишком длинное имя порта";
constexpr const char* TooManyOwnFiles = "Программа открыла слишком много файлов";
constexpr const char* NoMemory = "Системе не хватает памяти";
constexpr const char* Interrupted = "Открытие прервано";
// A file or a device that is no serial line: /dev/null, a regular file, a
// Windows device that takes no comm call.
constexpr const char* NotSerial =
    "Это не последовательный порт: устройство не отвечает на запросы настроек линии";
constexpr const char* ParametersRefused = "Порт не принимает такие параметры";

struct KnownError {
    long value;
    const char* name;
    const char* text;
};

// The errors an open of a serial device and the terminal calls after it
// give in practice.
constexpr KnownError KnownErrnos[] = {
    {ENOENT, "ENOENT", NoSuchPort},
    {ENXIO, "ENXIO", NotResponding},
    {ENODEV, "ENODEV", NoDevice},
    {EIO, "EIO", InputOutput},
    {ENOTDIR, "ENOTDIR", BadPath},
    {EISDIR, "EISDIR", "Указан каталог, а не порт"},
    {ELOOP, "ELOOP", "Символические ссылки пути замкнуты в круг"},
    {ENAMETOOLONG, "ENAMETOOLONG", NameTooLong},
    {EMFILE, "EMFILE", TooManyOwnFiles},
    {ENFILE, "ENFILE", "Система открыла слишком много файлов"},
    {ENOLCK, "ENOLCK", "Порт нельзя заблокировать для себя"},
    {EINTR, "EINTR", Interrupted},
    {ENOTTY, "ENOTTY", NotSerial},
    {EINVAL, "EINVAL", ParametersRefused},
    {ENOMEM, "ENOMEM", NoMemory},
};

// The codes CreateFileW and the comm calls give (winerror.h; the values are
// part of the Windows ABI, so the table needs no Windows header and is
// checked on any machine).
constexpr KnownError KnownWindowsErrors[] = {
    {2, "ERROR_FILE_NOT_FOUND", NoSuchPort},
    {3, "ERROR_PATH_NOT_FOUND", NoSuchPort},
    {433, "ERROR_NO_SUCH_DEVICE", NoSuchPort},
    // Serial ports are opened for one program at a time; whoever comes
    // second is refused access, whatever their rights.
    {5, "ERROR_ACCESS_DENIED", Busy},
    {32, "ERROR_SHARING_VIOLATION", Busy},
    {170, "ERROR_BUSY", Busy},
    // A device that takes no comm call: not a serial port.
    {1, "ERROR_INVALID_FUNCTION", NotSerial},
    {6, "ERROR_INVALID_HANDLE", NotSerial},
    {22, "ERROR_BAD_COMMAND", NotSerial},
    {50, "ERROR_NOT_SUPPORTED", NotSerial},
    {87, "ERROR_INVALID_PARAMETER", ParametersRefused},
    // A USB adapter that is pulled out or stops answering.
    {21, "ERROR_NOT_READY", NotResponding},
    {31, "ERROR_GEN_FAILURE", NotResponding},
    {121, "ERROR_SEM_TIMEOUT", NotResponding},
    {1460, "ERROR_TIMEOUT", NotResponding},
    {55, "ERROR_DEV_NOT_EXIST", NoDevice},
    {1167, "ERROR_DEVICE_NOT_CONNECTED", NoDevice},
    {1617, "ERROR_DEVICE_REMOVED", NoDevice},
    {23, "ERROR_CRC", InputOutput},
    {29, "ERROR_WRITE_FAULT", InputOutput},
    {30, "ERROR_READ_FAULT", InputOutput},
    {1117, "ERROR_IO_DEVICE", InputOutput},
    {123, "ERROR_INVALID_NAME", BadPath},
    {161, "ERROR_BAD_PATHNAME", BadPath},
    {267, "ERROR_DIRECTORY", BadPath},
    {206, "ERROR_FILENAME_EXCED_RANGE", NameTooLong},
    {4, "ERROR_TOO_MANY_OPEN_FILES", TooManyOwnFiles},
    {8, "ERROR_NOT_ENOUGH_MEMORY", NoMemory},
    {14, "ERROR_OUTOFMEMORY", NoMemory},
    {1450, "ERROR_NO_SYSTEM_RESOURCES", NoMemory},
    {1451, "ERROR_NONPAGED_SYSTEM_RESOURCES", NoMemory},
    {995, "ERROR_OPERATION_ABORTED", Interrupted},
};

std::string Tagged(const char* text, const char* name) { return std::string(text) + " (" + name + ")."; }

template <std::size_t N>
const KnownError* Find(const KnownError (&table)[N], long value)
{
    for (const KnownError& known : table)
        if (known.value == value)
            return &known;
    return nullptr;
}

}  // namespace

std::string OpenFailureReason(int systemError, const std::string& holder)
{
    if (systemError == 0)
        return {};

    // Permission denied: on a Linux desktop serial devices belong to the
    // dialout group, which a new user is not in.
    if (systemError == EACCES || systemError == EPERM)
        return std::string("Нет прав на доступ к порту (") + (systemError == EACCES ? "EACCES" : "EPERM") +
               "): добавьте пользователя в группу dialout командой sudo usermod -aG dialout $USER"
               " и войдите в систему заново.";

    // Busy: another program holds the terminal's exclusive mode (EBUSY) or
    // its lock (EWOULDBLOCK from flock).
    const bool busy = systemError == EBUSY || systemError == EWOULDBLOCK || systemError == EAGAIN;
    if (busy) {
        const char* name = systemError == EBUSY         ? "EBUSY"
                           : systemError == EWOULDBLOCK ? "EWOULDBLOCK"
                                                        : "EAGAIN";
        if (holder.empty())
            return Tagged(Busy, name);
        return std::string(Busy) + ": " + holder + " (" + name + ").";
    }

    if (const KnownError* known = Find(KnownErrnos, systemError))
        return Tagged(known->text, known->name);
    return "Системная ошибка: errno " + std::to_string(systemError) + ".";
}

namespace detail {

std::string WindowsErrorReason(std::uint32_t code)
{
    if (code == 0)
        return {};
    if (const KnownError* known = Find(KnownWindowsErrors, static_cast<long>(code)))
        return Tagged(known->text, known->name);
    return "Системная ошибка: " + std::to_string(code) + ".";
}

std::string NotAComPortNameReason() { return "Это не имя COM-порта: порты называются от COM1 до COM255."; }

std::string RefusedBaudReason(std::uint32_t baud)
{
    return "Порт не принимает скорость " + std::to_string(baud) + " бод.";
}

std::string RefusedFramingReason(std::uint8_t parity, std::uint8_t dataBits, std::uint8_t stopBits)
{
    static const char* const parities[] = {"без контроля чётности", "контроль нечётности",
                                           "контроль чётности", "бит чётности всегда 1",
                                           "бит чётности всегда 0"};
    static const char* const stops[] = {"1 стоповый бит", "1,5 стоповых бита", "2 стоповых бита"};
    const std::string parityText = parity < std::size(parities)
                                       ? std::string(parities[parity])
                                       : "чётность с кодом " + std::to_string(parity);
    const std::string stopText = stopBits < std::size(stops)
                                     ? std::string(stops[stopBits])
                                     : "стоповые биты с кодом " + std::to_string(stopBits);
    return "Порт не принимает формат знака: " + std::to_string(dataBits) + " бит данных, " + parityText +
           ", " + stopText + ".";
}

std::string NotKeptReason() { return "Порт принял настройки, но не сохранил их."; }

std::string ThreadStartReason(int systemError)
{
    if (systemError == EAGAIN)
        return "Системе не хватает ресурсов для потока чтения (EAGAIN).";
    return OpenFailureReason(systemError);
}

}  // namespace detail

}  // namespace PortUnit
