// A process's own figures as the kernel keeps them in /proc: resident
// memory, open descriptors, processor time and context switches.
#pragma once

#include <dirent.h>
#include <sys/types.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>

struct ProcFigures {
    long vmRssKb = -1;            // VmRSS of /proc/<pid>/status
    int openFds = -1;             // entries of /proc/<pid>/fd
    double cpuSeconds = -1;       // utime + stime of /proc/<pid>/stat, every thread
    long voluntarySwitches = -1;  // of the main thread: its wake-ups
    long involuntarySwitches = -1;

    static ProcFigures ofSelf() { return of(getpid()); }

    static ProcFigures of(pid_t pid)
    {
        ProcFigures figures;
        const std::string dir = "/proc/" + std::to_string(pid);
        std::ifstream status(dir + "/status");
        for (std::string line; std::getline(status, line);) {
            std::istringstream fields(line);
            std::string key;
            long value = 0;
            fields >> key >> value;
            if (key == "VmRSS:")
                figures.vmRssKb = value;
            else if (key == "voluntary_ctxt_switches:")
                figures.voluntarySwitches = value;
            else if (key == "nonvoluntary_ctxt_switches:")
                figures.involuntarySwitches = value;
        }
        figures.openFds = countEntries(dir + "/fd");
        figures.cpuSeconds = cpuOf(dir + "/stat");
        return figures;
    }

private:
    static int countEntries(const std::string& path)
    {
        DIR* dir = opendir(path.c_str());
        if (!dir)
            return -1;
        int count = 0;
        while (const dirent* entry = readdir(dir)) {
            if (entry->d_name[0] != '.')
                ++count;
        }
        closedir(dir);
        // The directory stream just read holds a descriptor of its own.
        return path == "/proc/" + std::to_string(getpid()) + "/fd" ? count - 1 : count;
    }

    // Fields 14 and 15 (utime, stime) in clock ticks. The command name, field
    // 2, may hold blanks and parentheses: fields are counted after its last ')'.
    static double cpuOf(const std::string& path)
    {
        std::ifstream stat(path);
        std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
        const auto close = text.rfind(')');
        if (close == std::string::npos)
            return -1;
        std::istringstream fields(text.substr(close + 2));
        std::string skip;
        for (int field = 3; field < 14; ++field)
            fields >> skip;
        unsigned long long utime = 0, stime = 0;
        fields >> utime >> stime;
        return static_cast<double>(utime + stime) / static_cast<double>(sysconf(_SC_CLK_TCK));
    }
};
