// Where the per-user folder is on Windows: %APPDATA%\kalvi7, in the roaming
// profile, where Windows programs keep what a user set.
#include "app/user_folder.h"
#include "app/user_folder_base.h"

#include "common/windows_api.h"

#include <string>

namespace app {

Environment processEnvironment()
{
    return [](const char* name) {
        const std::wstring wideName(name, name + std::char_traits<char>::length(name));
        // The size asked first, with the terminating zero; an unset or
        // empty variable gives 0.
        const DWORD size = GetEnvironmentVariableW(wideName.c_str(), nullptr, 0);
        if (size == 0)
            return std::filesystem::path();
        std::wstring value(size, L'\0');
        const DWORD length = GetEnvironmentVariableW(wideName.c_str(), value.data(), size);
        if (length == 0 || length >= size)
            return std::filesystem::path();
        value.resize(length);
        return std::filesystem::path(value);
    };
}

std::filesystem::path userFolderPath(const Environment& environment)
{
    // A relative APPDATA would make the folder depend on where the program
    // happens to be started.
    const std::filesystem::path appData = environment(detail::kUserFolderBase);
    if (!appData.is_absolute())
        return {};
    return appData / "kalvi7";
}

}  // namespace app
