// The simulated radiosonde as a child process: started with the options a
// test chooses, it makes its pseudo-terminal and prints the path on its
// first line of output; ended with SIGTERM when the test is done.
#pragma once

#include <QProcess>
#include <QStringList>

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
    bool running() const { return process_.state() == QProcess::Running; }
    // What the simulator has written to standard error so far.
    QString log();

private:
    QProcess process_;
    std::string linePath_;
    QString log_;
};

}  // namespace e2e
