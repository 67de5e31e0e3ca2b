// Radiosonde packets whose every field decodes to the widest text its
// decoder can write, for a look at the window with nothing clipped.
#pragma once

#include <cstdint>
#include <vector>

namespace showcase {

using Frame = std::vector<std::uint8_t>;  // on the wire: sync word, body, CRC

// In the order they are fed to the window: the state packet before the
// telemetry, so that the link indicator ends up lit.
std::vector<Frame> widestFrames();

}  // namespace showcase
