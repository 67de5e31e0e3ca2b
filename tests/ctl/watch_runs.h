// kalvi7-ctl watch --json run for a while against the simulator, or against
// a peer of the test's own that sends the packets it is given.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace ctltest {

struct WatchRun {
    std::string name;  // what was watched, for messages
    int status = -1;
    std::vector<std::string> lines;
    std::string err;
};

// Watches the simulator started with `simOptions` for `watchFor`, then
// ends the watch with SIGTERM.
WatchRun watchSimulator(const std::string& name, const std::vector<std::string>& simOptions,
                        std::chrono::milliseconds watchFor);

// Watches a peer that answers the first request with `frames`, all at
// once, and then keeps silent.
WatchRun watchPeer(const std::string& name, const std::vector<std::vector<std::uint8_t>>& frames,
                   std::chrono::milliseconds watchFor);

}  // namespace ctltest
