// Linux passes bytes: the command line and file names are taken as they
// come, and what is printed goes out as it is.
#include "ctl/system_io.h"

namespace ctl {

void useUtf8StandardStreams() {}

std::vector<std::string> commandLineArguments(int argc, char* argv[])
{
    return std::vector<std::string>(argv + 1, argv + argc);
}

std::FILE* createFileForWriting(const std::string& name) { return std::fopen(name.c_str(), "w"); }

}  // namespace ctl
