// Bytes as they go over the line, for the tests' peers and packets.
#pragma once

#include <cstdint>
#include <vector>

namespace support {

using Bytes = std::vector<std::uint8_t>;

}  // namespace support
