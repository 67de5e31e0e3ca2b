// The reason line of a port that did not open. strerror() is not used: its
// text follows the system's language, and the operator reads a Russian
// window whatever the computer is set to. Each line names the errno value
// too, which is what a search or a support call needs.
#include "PortUnit.h"

#include <cerrno>

namespace PortUnit {

namespace {

struct KnownError {
    int value;
    const char* name;
    const char* text;
};

constexpr const char* BusyText = "Порт занят другой программой";

// The errors an open of a serial device gives in practice.
constexpr KnownError KnownErrors[] = {
    {ENOENT, "ENOENT", "Такого порта нет"},
    {ENXIO, "ENXIO", "Устройство порта не отвечает"},
    {ENODEV, "ENODEV", "Устройства порта нет"},
    {EIO, "EIO", "Ошибка ввода-вывода"},
    {ENOTDIR, "ENOTDIR", "Путь к порту неверен"},
    {EISDIR, "EISDIR", "Указан каталог, а не порт"},
    {ELOOP, "ELOOP", "Символические ссылки пути замкнуты в круг"},
    {ENAMETOOLONG, "ENAMETOOLONG", "Слишком длинное имя порта"},
    {EMFILE, "EMFILE", "Программа открыла слишком много файлов"},
    {ENFILE, "ENFILE", "Система открыла слишком много файлов"},
    {ENOLCK, "ENOLCK", "Порт нельзя заблокировать для себя"},
    {EINTR, "EINTR", "Открытие прервано"},
};

std::string Tagged(const char* text, const char* name) { return std::string(text) + " (" + name + ")."; }

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
            return Tagged(BusyText, name);
        return std::string(BusyText) + ": " + holder + " (" + name + ").";
    }

    for (const KnownError& known : KnownErrors)
        if (known.value == systemError)
            return Tagged(known.text, known.name);
    return "Системная ошибка: errno " + std::to_string(systemError) + ".";
}

}  // namespace PortUnit
