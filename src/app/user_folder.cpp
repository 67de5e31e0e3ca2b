// Making the per-user folder and moving into it, on every system; where it
// is comes from user_folder_posix.cpp or user_folder_win32.cpp.
#include "app/user_folder.h"
#include "app/user_folder_base.h"

#include <system_error>

namespace app {

namespace {

namespace fs = std::filesystem;

struct KnownError {
    std::errc condition;
    const char* name;
    const char* text;
};

// The failures making or entering a folder gives in practice. The system's
// own message is not used: its language is the system's, and the operator
// reads a Russian window whatever the computer is set to.
constexpr KnownError kKnownErrors[] = {
    {std::errc::permission_denied, "EACCES", "Нет прав на запись или на вход в папку"},
    {std::errc::operation_not_permitted, "EPERM", "Нет прав на запись или на вход в папку"},
    {std::errc::read_only_file_system, "EROFS", "Диск только для чтения"},
    {std::errc::no_space_on_device, "ENOSPC", "Нет места на диске"},
    {std::errc::file_exists, "EEXIST", "На этом месте файл, а не папка"},
    {std::errc::not_a_directory, "ENOTDIR", "На пути к папке файл, а не папка"},
    {std::errc::no_such_file_or_directory, "ENOENT", "Нет такого диска или папки"},
    {std::errc::filename_too_long, "ENAMETOOLONG", "Слишком длинный путь"},
    {std::errc::too_many_symbolic_link_levels, "ELOOP", "Символические ссылки пути замкнуты в круг"},
};

std::string reasonFor(const std::error_code& error)
{
    for (const KnownError& known : kKnownErrors)
        if (error == known.condition)
            return std::string(known.text) + " (" + known.name + ").";
    return "Системная ошибка: " + std::string(error.category().name()) + " " + std::to_string(error.value()) +
           ".";
}

std::string utf8(const fs::path& path)
{
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

UserFolder failed(const fs::path& folder, const char* what, const std::error_code& error)
{
    return {folder, "Ошибка: папка настроек " + utf8(folder) + " " + what, reasonFor(error)};
}

// Makes the folder unless it is there. Only the folder itself is made
// private: its parents (~/.config) are the system's to set.
std::error_code makeFolder(const fs::path& folder)
{
    std::error_code error;
    if (fs::is_directory(folder, error))
        return {};
    if (folder.has_parent_path()) {
        fs::create_directories(folder.parent_path(), error);
        if (error)
            return error;
    }
    const bool made = fs::create_directory(folder, error);
    if (error)
        return error;
#ifndef _WIN32
    if (made)
        fs::permissions(folder, fs::perms::owner_all, fs::perm_options::replace, error);
#else
    static_cast<void>(made);
#endif
    return error;
}

}  // namespace

UserFolder enterUserFolder(const Environment& environment)
{
    const fs::path folder = userFolderPath(environment);
    if (folder.empty())
        return {folder, "Ошибка: папка настроек не найдена",
                std::string("Переменная окружения ") + detail::kUserFolderBase +
                    " не задана или не абсолютный путь."};
    if (const std::error_code error = makeFolder(folder))
        return failed(folder, "не создана", error);
    std::error_code error;
    fs::current_path(folder, error);
    if (error)
        return failed(folder, "не открыта", error);
    return {folder, {}, {}};
}

}  // namespace app
