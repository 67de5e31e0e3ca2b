// kalvi7-ctl as a child process, and a peer of our own on a
// pseudo-terminal for what the simulator does not do: stay silent, send
// only garbage, acknowledge with the wrong code, keep every byte it got.
#pragma once

#include <sys/types.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace ctltest {

struct Result {
    int status = -1;  // exit status, or -1 when it had to be killed
    std::string out, err;
    std::chrono::milliseconds took{0};
};

class CtlProcess {
public:
    // Runs in a scratch directory of its own, with a settings.INI holding
    // `settingsIni` when that is not empty.
    explicit CtlProcess(const std::vector<std::string>& args, const std::string& settingsIni = {});
    ~CtlProcess();
    void signal(int number);
    // Waits at most `limit`; kills the program when it is not done by then.
    Result wait(std::chrono::milliseconds limit);

private:
    std::string dir_;
    pid_t pid_ = -1;
    std::chrono::steady_clock::time_point started_;
};

// A settings.INI that only unlocks gain changes, as most cases need.
inline const std::string kGainUnlocked = "[Form setting]\nAmplSetEnable=1\n";

inline Result runCtl(const std::vector<std::string>& args,
                     std::chrono::milliseconds limit = std::chrono::seconds(10),
                     const std::string& settingsIni = kGainUnlocked)
{
    return CtlProcess(args, settingsIni).wait(limit);
}

// The master side of a pseudo-terminal; the program opens slavePath().
// A thread keeps every byte it reads and hands it to `answer`, which may
// write back.
class PtyPeer {
public:
    using Answer = std::function<void(PtyPeer&, const std::vector<std::uint8_t>& received)>;
    explicit PtyPeer(Answer answer = {});
    ~PtyPeer();
    const std::string& slavePath() const { return slavePath_; }
    void write(const std::vector<std::uint8_t>& bytes);
    std::vector<std::uint8_t> received();

private:
    int master_ = -1;
    int slaveKeeper_ = -1;  // keeps the line up between the program's opens
    std::string slavePath_;
    Answer answer_;
    std::atomic<bool> stop_{false};
    std::mutex lock_;
    std::vector<std::uint8_t> received_;
    std::thread reader_;
};

}  // namespace ctltest
