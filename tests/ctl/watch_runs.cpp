#include "watch_runs.h"

#include <signal.h>

#include <sstream>
#include <thread>

#include "ctl_harness.h"
#include "support/sim_process.h"

namespace ctltest {
namespace {

using namespace std::chrono_literals;

// A short watchdog, so that a run of a second or two has its "silent"
// lines too.
const std::string kShortWatchdog = "--test-timeout-ms=400";

WatchRun watch(const std::string& name, const std::string& port, std::chrono::milliseconds watchFor)
{
    CtlProcess ctl({"--port", port, kShortWatchdog, "watch", "--json"});
    std::this_thread::sleep_for(watchFor);
    ctl.signal(SIGTERM);
    const Result r = ctl.wait(5s);
    WatchRun run{name, r.status, {}, r.err};
    std::istringstream lines(r.out);
    for (std::string line; std::getline(lines, line);)
        run.lines.push_back(line);
    return run;
}

}  // namespace

WatchRun watchSimulator(const std::string& name, const std::vector<std::string>& simOptions,
                        std::chrono::milliseconds watchFor)
{
    support::SimProcess sim(simOptions);
    return watch(name, sim.linePath(), watchFor);
}

WatchRun watchPeer(const std::string& name, const std::vector<std::vector<std::uint8_t>>& frames,
                   std::chrono::milliseconds watchFor)
{
    // The first request frame is nine bytes long.
    PtyPeer peer([frames, answered = false](PtyPeer& self, const std::vector<std::uint8_t>& got) mutable {
        if (answered || got.size() < 9)
            return;
        answered = true;
        std::vector<std::uint8_t> all;
        for (const auto& frame : frames)
            all.insert(all.end(), frame.begin(), frame.end());
        self.write(all);
    });
    return watch(name, peer.slavePath(), watchFor);
}

}  // namespace ctltest
