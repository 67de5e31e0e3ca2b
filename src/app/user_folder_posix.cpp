// Where the per-user folder is on Linux and other POSIX systems: the XDG
// configuration directory, with the desktop entry's rules.
#include "app/user_folder.h"
#include "app/user_folder_base.h"

#include <cstdlib>

namespace app {

Environment processEnvironment()
{
    return [](const char* name) {
        const char* value = std::getenv(name);
        return value ? std::filesystem::path(value) : std::filesystem::path();
    };
}

std::filesystem::path userFolderPath(const Environment& environment)
{
    // XDG_CONFIG_HOME counts only when absolute: a relative one would make
    // the folder depend on where the program happens to be started.
    const std::filesystem::path config = environment("XDG_CONFIG_HOME");
    if (config.is_absolute())
        return config / "kalvi7";
    const std::filesystem::path home = environment(detail::kUserFolderBase);
    if (!home.is_absolute())
        return {};
    return home / ".config" / "kalvi7";
}

}  // namespace app
