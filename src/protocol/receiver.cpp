#include "protocol/receiver.h"

#include "protocol/crc16.h"
#include "protocol/frame.h"

namespace protocol {

void FrameReceiver::Calc(std::uint32_t wparam, std::intptr_t lparam)
{
    if (lparam != 1)
        return;

    sink_.byteTaken();

    RxBuf[RxPos] = static_cast<std::uint8_t>(wparam & 0xFFu);
    ++RxPos;

    // The sync word counts only once the type and length bytes after it
    // have arrived; it is searched for on every byte, so a sync word inside
    // a frame abandons that frame and starts on the new one.
    if (RxPos >= 6 && RxBuf[RxPos - 6] == kSyncWord[0] && RxBuf[RxPos - 5] == kSyncWord[1] &&
        RxBuf[RxPos - 4] == kSyncWord[2] && RxBuf[RxPos - 3] == kSyncWord[3]) {
        RxBuf[0] = RxBuf[RxPos - 2];
        RxBuf[1] = RxBuf[RxPos - 1];
        RxPos = 2;
        RxSynced = 1;
    }

    // int: 255 + 2 must not wrap.
    const unsigned length = RxBuf[1];
    if (RxSynced == 1 && RxPos >= length + 2u) {
        const std::uint16_t crc = crc16calc(RxBuf, static_cast<std::uint16_t>(length));
        const bool good = RxBuf[length] == (crc & 0xFFu) && RxBuf[length + 1] == (crc >> 8);
        sink_.frameChecked(good);
        if (good) {
            try {
                sink_.frameReceived(RxBuf);
            } catch (...) {
                // A decoder that fails ends its own work silently; the fields
                // it wrote before keep their texts.
            }
        }
        RxPos = 0;
        RxSynced = 0;
    }

    // The largest frame that can complete (length 197) ends at index 198;
    // past that nothing can complete, so the receiver starts over and never
    // writes index 199.
    if (RxPos >= 199) {
        RxPos = 0;
        RxSynced = 0;
    }
}

}  // namespace protocol
