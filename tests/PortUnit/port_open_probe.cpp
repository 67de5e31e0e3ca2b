// Opens the port named by argv[1] as the program would and says how it went:
// exit 0 after "opened", exit 1 after the error text.
#include "PortUnit.h"

#include <cstdio>

int main(int argc, char** argv)
{
    if (argc != 2)
        return 2;
    try {
        PortUnit::OpenComPort(argv[1], 38400, 0, 8, 0);
    } catch (const PortUnit::PortError& error) {
        std::fputs(error.what(), stdout);
        return 1;
    }
    std::fputs("opened", stdout);
    PortUnit::CloseComPort(true);
    return 0;
}
