// Opens the port named by argv[1] as the program would and says how it went:
// exit 0 after "opened", exit 1 after the error text and, when the system
// gave one, a line with its reason. With --unprivileged a probe started as
// root first becomes the user nobody, as an operator outside the port's
// group would run the program.
#include "PortUnit/PortUnit.h"

#include <grp.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

int main(int argc, char** argv)
{
    if (argc != 2 && !(argc == 3 && std::strcmp(argv[2], "--unprivileged") == 0))
        return 2;
    if (argc == 3 && getuid() == 0) {
        const unsigned nobody = 65534;
        if (setgroups(0, nullptr) != 0 || setgid(nobody) != 0 || setuid(nobody) != 0)
            return 3;
    }
    try {
        PortUnit::OpenComPort(argv[1], 38400, 0, 8, 0);
    } catch (const PortUnit::PortError& error) {
        std::fputs(error.what(), stdout);
        if (*error.reason() != '\0') {
            std::fputs("\n", stdout);
            std::fputs(error.reason(), stdout);
        }
        return 1;
    }
    std::fputs("opened", stdout);
    PortUnit::CloseComPort(true);
    return 0;
}
