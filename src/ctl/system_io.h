// What kalvi7-ctl takes from the system and gives back to it is UTF-8
// throughout: the captions are Russian, and a port or file name may hold
// any letter. On Linux that is how the system passes text already; on
// Windows the command line, file names and console speak UTF-16, and the
// standard streams would turn "\n" into "\r\n".
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace ctl {

// Standard output and error carry the program's UTF-8 bytes unchanged to a
// pipe or a file, and a console shows them as the letters they are. Once,
// before anything is printed.
void useUtf8StandardStreams();

// The command line as UTF-8, without the program's name.
std::vector<std::string> commandLineArguments(int argc, char* argv[]);

// A file made (or emptied) for writing, by its UTF-8 name, written byte
// for byte as on Linux; nullptr with errno set when it cannot be.
std::FILE* createFileForWriting(const std::string& name);

}  // namespace ctl
