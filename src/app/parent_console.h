// Where --help, --version and a start-up error are written. kalvi7.exe is
// a Windows GUI program: started from a console window it gets no standard
// output or error of its own, so without this its answers would go nowhere.
#pragma once

namespace app {

#ifdef _WIN32
// Leads standard output and standard error that go nowhere to the console
// of the program that started this one, if it has one. Redirected ones
// (a file, a pipe) are kept.
void writeToParentConsole();
#else
// A POSIX program always has the streams it was given.
inline void writeToParentConsole() {}
#endif

}  // namespace app
