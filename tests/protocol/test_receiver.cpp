#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "protocol/host_frames.h"
#include "protocol/receiver.h"

using namespace protocol;
using Bytes = std::vector<std::uint8_t>;

namespace {

// Records what the receiver reports, in order: 'T' byte taken, 'B' good CRC
// (the window's black), 'R' bad CRC (red), 'D' good frame handed on.
struct RecordingSink : ReceiverSink {
    std::string events;
    std::vector<Bytes> dispatched;  // the bodies handed to the decoders
    bool throwInDecoder = false;

    void byteTaken() override { events += 'T'; }
    void frameChecked(bool good) override { events += good ? 'B' : 'R'; }
    void frameReceived(const RxBuffer& buf) override
    {
        events += 'D';
        dispatched.emplace_back(buf.begin(), buf.begin() + buf[1]);
        if (throwInDecoder)
            throw std::runtime_error("decoder failed");
    }
    std::string verdicts() const
    {
        std::string v;
        for (char c : events)
            if (c != 'T')
                v += c;
        return v;
    }
};

Bytes frame(std::uint8_t type, std::uint8_t length, std::uint8_t fill = 0x11)
{
    Bytes body{type, length};
    while (body.size() < length)
        body.push_back(static_cast<std::uint8_t>(fill + body.size()));
    return wrapBody(body);
}

Bytes operator+(Bytes a, const Bytes& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

Bytes corrupted(Bytes wire)
{
    wire.back() ^= 0x01;
    return wire;
}

void checkInvariants(const FrameReceiver& rx)
{
    ASSERT_LE(rx.rxPos(), 198);
    ASSERT_LE(rx.rxSynced(), 1);
    if (rx.rxSynced() == 1) {
        ASSERT_LT(rx.rxPos(), rx.rxBuf()[1] + 2u);
    }
}

struct Fed {
    RecordingSink sink;
    FrameReceiver rx{sink};
    void feed(const Bytes& bytes)
    {
        for (std::uint8_t b : bytes) {
            rx.Calc(b, 1);
            checkInvariants(rx);
        }
    }
};

}  // namespace

TEST(Receiver, VerdictsOfByteStreams)
{
    const Bytes telemetry = frame(0x81, 50);
    const Bytes noise{0x00, 0xAA, 0xAA, 0x13, 0xFF, 0xBF, 0x35, 0xAA};
    Bytes insideSync = frame(0x81, 50);
    // A whole frame inside another's payload: its sync word abandons the
    // outer frame without a verdict; the inner one completes, and the rest
    // of the outer frame is noise.
    const Bytes inner = frame(0x84, 3);
    insideSync.insert(insideSync.begin() + 20, inner.begin(), inner.end());

    struct Case {
        const char* what;
        Bytes stream;
        std::string verdicts;
    };
    const Case cases[] = {
        {"good telemetry", telemetry, "BD"},
        {"leading noise then a good frame", noise + telemetry, "BD"},
        {"bad CRC then a good frame", corrupted(telemetry) + telemetry, "RBD"},
        {"every device type dispatched", frame(0x80, 3) + frame(0x82, 50) + frame(0x83, 8) + frame(0x84, 3),
         "BDBDBDBD"},
        {"host types and unknown types are dispatched too; decoders ignore them",
         frame(0x01, 3) + frame(0x85, 3), "BDBD"},
        {"length 0 is red on the length byte", Bytes{0xAA, 0xAA, 0xBF, 0x35, 0x81, 0x00}, "R"},
        {"length 1 is red one byte later", Bytes{0xAA, 0xAA, 0xBF, 0x35, 0x81, 0x01, 0x00}, "R"},
        {"length 197 completes", frame(0x81, 197), "BD"},
        {"length 198 never completes", frame(0x81, 198), ""},
        {"sync inside a frame restarts it", insideSync, "BD"},
        {"two frames back to back", telemetry + frame(0x84, 3), "BDBD"},
    };
    for (const auto& c : cases) {
        Fed f;
        f.feed(c.stream);
        EXPECT_EQ(f.sink.verdicts(), c.verdicts) << c.what;
        // Every accepted byte restarts the watchdog, whatever happens to it.
        EXPECT_EQ(std::count(f.sink.events.begin(), f.sink.events.end(), 'T'),
                  static_cast<long>(c.stream.size()))
            << c.what;
    }
}

TEST(Receiver, DecoderSeesTheBodyAtBodyOffsets)
{
    Fed f;
    const Bytes wire = frame(0x81, 50);
    f.feed(wire);
    ASSERT_EQ(f.sink.dispatched.size(), 1u);
    EXPECT_EQ(f.sink.dispatched[0], Bytes(wire.begin() + 4, wire.end() - 2));
    // CRC bytes stay behind the body in RxBuf.
    EXPECT_EQ(f.rx.rxBuf()[50], wire[wire.size() - 2]);
    EXPECT_EQ(f.rx.rxBuf()[51], wire[wire.size() - 1]);
    EXPECT_EQ(f.rx.rxPos(), 0);
    EXPECT_EQ(f.rx.rxSynced(), 0);
}

TEST(Receiver, LengthBoundaries)
{
    {
        Fed f;  // 197 fills indexes 0..198 and completes when RxPos reaches 199
        f.feed(frame(0x81, 197));
        EXPECT_EQ(f.sink.verdicts(), "BD");
    }
    {
        Fed f;  // 198 is dropped when RxPos reaches 199, hunting again
        const Bytes wire = frame(0x81, 198);
        f.feed(Bytes(wire.begin(), wire.begin() + 4 + 199));
        EXPECT_EQ(f.rx.rxPos(), 0);
        EXPECT_EQ(f.rx.rxSynced(), 0);
        f.feed(frame(0x84, 3));
        EXPECT_EQ(f.sink.verdicts(), "BD");
    }
}

TEST(Receiver, NoiseWithoutSyncResetsAfter199Bytes)
{
    Fed f;
    f.feed(Bytes(199, 0x55));
    EXPECT_EQ(f.rx.rxPos(), 0);
    f.rx.Calc(0x77, 1);  // the 200th byte lands at index 0
    EXPECT_EQ(f.rx.rxBuf()[0], 0x77);
    EXPECT_EQ(f.rx.rxPos(), 1);
    EXPECT_EQ(f.sink.verdicts(), "");
}

TEST(Receiver, MessageParameters)
{
    Fed f;
    f.rx.Calc(0xAA, 0);  // not a byte message: nothing at all
    f.rx.Calc(0xAA, 2);
    EXPECT_EQ(f.sink.events, "");
    EXPECT_EQ(f.rx.rxPos(), 0);
    f.rx.Calc(0x1AA, 1);  // only the low eight bits are the byte
    EXPECT_EQ(f.rx.rxBuf()[0], 0xAA);
    EXPECT_EQ(f.sink.events, "T");
}

TEST(Receiver, DecoderFailureIsSwallowedAndTheNextFrameDecodes)
{
    Fed f;
    f.sink.throwInDecoder = true;
    f.feed(frame(0x81, 50));
    f.sink.throwInDecoder = false;
    f.feed(frame(0x82, 50));
    EXPECT_EQ(f.sink.verdicts(), "BDBD");
    EXPECT_EQ(f.rx.rxPos(), 0);
}

TEST(Receiver, ShortFrameLeavesStaleBytesBehindIt)
{
    Fed f;
    f.feed(frame(0x81, 50, 0x40));
    f.feed(frame(0x84, 3, 0x05));
    ASSERT_EQ(f.sink.dispatched.size(), 2u);
    // Bytes past the short frame's CRC are what the telemetry frame left.
    const Bytes first = frame(0x81, 50, 0x40);
    EXPECT_EQ(f.rx.rxBuf()[10], first[4 + 10]);
}

TEST(Receiver, InvariantsHoldForArbitraryStreams)
{
    std::mt19937 rng(20261210);
    const Bytes good = frame(0x81, 50);
    for (int round = 0; round < 200; ++round) {
        Fed f;
        Bytes stream;
        for (int piece = 0; piece < 20; ++piece) {
            switch (rng() % 4) {
            case 0: stream = stream + good; break;
            case 1: stream = stream + Bytes{0xAA, 0xAA, 0xBF, 0x35}; break;
            case 2: stream.push_back(static_cast<std::uint8_t>(rng())); break;
            default:
                stream = stream + Bytes{0xAA,
                                        0xAA,
                                        0xBF,
                                        0x35,
                                        static_cast<std::uint8_t>(rng()),
                                        static_cast<std::uint8_t>(rng())};
            }
        }
        f.feed(stream);  // checkInvariants after every byte
        if (HasFatalFailure())
            return;
    }
}
