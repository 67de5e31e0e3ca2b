// The one way the program includes <windows.h>: without the min and max
// macros, which would break std::min and std::max, without the rarely used
// parts of the API, and for Windows 10, the oldest system the programs are
// for (the installer refuses older ones).
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef _WIN32_WINNT
#define _WIN32_WINNT 0x0A00
#endif
#include <windows.h>
