// The standard streams of a GUI program on Windows, led to the console it
// was started from. The console's prompt does not wait for a GUI program,
// so the text may come after the next prompt; it still comes.
#include "app/parent_console.h"

#include "common/windows_api.h"

#include <cstdio>

namespace app {

namespace {

bool goesNowhere(DWORD stream)
{
    const HANDLE handle = GetStdHandle(stream);
    return handle == nullptr || handle == INVALID_HANDLE_VALUE || GetFileType(handle) == FILE_TYPE_UNKNOWN;
}

}  // namespace

void writeToParentConsole()
{
    const bool output = goesNowhere(STD_OUTPUT_HANDLE);
    const bool error = goesNowhere(STD_ERROR_HANDLE);
    if (!output && !error)
        return;
    if (!AttachConsole(ATTACH_PARENT_PROCESS))
        return;  // started from Explorer or a shortcut: there is no console
    FILE* stream = nullptr;
    if (output)
        static_cast<void>(freopen_s(&stream, "CONOUT$", "w", stdout));
    if (error)
        static_cast<void>(freopen_s(&stream, "CONOUT$", "w", stderr));
}

}  // namespace app
