// The simulated radiosonde as a child process: started with the options a
// test chooses, it makes its pseudo-terminal and prints the path on its
// first line of output; ended with SIGTERM when the test is done.
#pragma once

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <sys/types.h>

#include <string>

namespace e2e {

class SimProcess {
public:
    // Starts the simulator and waits for the path of its line; throws when
    // it does not come up.
    explicit SimProcess(const QStringList& options);
    ~SimProcess();
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    const std::string& linePath() const { return linePath_; }
    bool running();
    // What the simulator has written to standard error so far.
    QString log() const;

private:
    // Standard output and error go to files, so that a simulator that
    // writes more than a pipe holds is never held up by a test that does
    // not read.
    QTemporaryDir outputs_;
    pid_t pid_ = -1;
    bool ended_ = false;
    std::string linePath_;
};

}  // namespace e2e
