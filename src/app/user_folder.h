// The per-user folder the program runs in when the desktop menu or the
// Windows Start menu starts it (--user-folder): its settings.INI stays there
// between runs, away from the program's own folder, which the user may not
// be allowed to write and an uninstall removes. The folder is made on the
// first start.
#pragma once

#include <filesystem>
#include <functional>
#include <string>

namespace app {

// The value of an environment variable, an empty path when it is unset.
using Environment = std::function<std::filesystem::path(const char* name)>;

// The process's own environment (on Windows read as UTF-16, so that a
// Cyrillic user name arrives whole).
Environment processEnvironment();

struct UserFolder {
    std::filesystem::path path;  // empty when the environment names no base for it
    // Empty when the folder is the current directory; otherwise the
    // operator's message, naming the folder, and on its own line why.
    std::string message;
    std::string reason;

    bool entered() const { return message.empty(); }
};

// Where the folder is, and nothing more: on Windows %APPDATA%\kalvi7;
// elsewhere $XDG_CONFIG_HOME/kalvi7, or ~/.config/kalvi7 when XDG_CONFIG_HOME
// is unset, empty or not absolute, as the desktop entry has it. An empty
// path when the base (APPDATA, HOME) is unset or not absolute.
std::filesystem::path userFolderPath(const Environment& environment);

// Makes the folder if need be, with its parents (on POSIX the folder itself
// with mode 700, private as the rest of ~/.config; an existing one keeps
// its mode), and makes it the current directory. The texts are the
// program's own, whatever language the system speaks.
UserFolder enterUserFolder(const Environment& environment);

}  // namespace app
