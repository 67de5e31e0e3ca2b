// The program's own command-line options, read before the window system is
// touched. Every other argument is left to the toolkit.
#pragma once

#include <optional>

namespace app {

struct StartOptions {
    // Set when the program is to end at once with this status: --help and
    // --version have answered on standard output.
    std::optional<int> exitStatus;
    // --user-folder: run in the per-user folder (user_folder.h).
    bool userFolder = false;
};

StartOptions readStartOptions(int& argc, char* argv[]);

}  // namespace app
