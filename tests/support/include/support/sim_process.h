// The simulated radiosonde (kalvi7-sim, as this build made it) as a child
// process: started with the options a test chooses, it makes its
// pseudo-terminal and prints the path on its first line of output; ended
// with SIGTERM when the test is done. In a Windows test under Wine
// (sim_process_wine.cpp) the simulator is the Linux build's, its line a COM
// port of the Wine prefix, and the line path that port's name ("COM21").
#pragma once

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace support {

struct Finished {
    int code = -1;  // exit code, 128 + signal when killed, -1 when it never ended
    std::string out, err;
};

// Runs the simulator to its end (for command lines it must refuse); killed
// when it has not ended within the time.
Finished runToEnd(const std::vector<std::string>& args,
                  std::chrono::milliseconds timeout = std::chrono::seconds(5));

class SimProcess {
public:
    // Starts the simulator and waits for the path of its line; throws, with
    // what the simulator wrote to standard error, when it does not come up.
    explicit SimProcess(const std::vector<std::string>& args);
    ~SimProcess();
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    pid_t pid() const { return pid_; }
    // The first line of output: the pseudo-terminal (or device) it serves.
    const std::string& linePath() const { return linePath_; }
    // The next line of output, if one comes within the timeout.
    std::optional<std::string> nextLine(std::chrono::milliseconds timeout);
    bool running();
    // Sends SIGTERM and returns the exit status (SIGKILL after 3 s).
    int terminate();
    // Waits for the simulator to end by itself; -1 on timeout.
    int waitExit(std::chrono::milliseconds timeout);
    // What the simulator has written to standard error so far.
    std::string errText() const;
    // Processor time the simulator has used so far, in seconds.
    double cpuSeconds() const;

private:
    void release();  // ends the child, removes its files

    // Output goes to files, so that a simulator that writes more than a
    // pipe holds is never held up by a test that does not read.
    std::string outputs_;  // a private temporary directory
    pid_t pid_ = -1;
    int outFd_ = -1;  // reading end of the output file
    std::string pending_;
    std::string linePath_;
    // Under Wine: the lock on the COM number, and how much of the output
    // file has been read.
    std::string comLock_;
    std::size_t outRead_ = 0;
    int status_ = -1;
    bool exited_ = false;
};

}  // namespace support
