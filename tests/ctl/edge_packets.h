// Packets the simulator never sends, each with what its watch --json line
// must say: missing sensors, coefficients that are not numbers, the
// transmitter off, an unknown correction and navigation mode, readings
// and codes at the ends of their ranges, a point with no geodetic values,
// impossible navigation times, a fix type without a word, acknowledgements
// of every kind.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace ctltest {

struct EdgePacket {
    std::string what;
    std::vector<std::uint8_t> frame;  // sync word to CRC
    std::string type;                 // of its line
    // Keys of "values" and the JSON each must hold, character for character.
    std::vector<std::pair<std::string, std::string>> values;
    std::vector<std::string> present;  // keys "fields" must have, whatever they hold
    std::vector<std::string> absent;   // keys neither "fields" nor "values" may have
    std::string statusWords;           // an acknowledgement's words before the local time
};

// In the order the peer sends them; each gives one line.
std::vector<EdgePacket> edgePackets();

}  // namespace ctltest
