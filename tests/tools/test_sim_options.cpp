// The simulator's command line.
#include <gtest/gtest.h>

#include "sim_port.h"

using namespace simtest;

TEST(SimOptions, BadCommandLinesExitWithCode2AndSayWhy)
{
    struct Case {
        std::vector<std::string> args;
        const char* named;  // what the message must mention
    };
    const Case cases[] = {
        {{"--frobnicate"}, "--frobnicate"},
        {{"--baud"}, "--baud"},
        {{"--baud", "0"}, "--baud"},
        {{"--baud", "fast"}, "--baud"},
        {{"--device", "/dev/null", "--baud", "12345"}, "--baud"},
        {{"--bad-crc", "0"}, "--bad-crc"},
        {{"--lat", "91"}, "--lat"},
        {{"--lon", "1e999"}, "--lon"},
        {{"--silence", "5,3"}, "--silence"},
        {{"--silence", "2,x"}, "--silence"},
        {{"--hangup", "0"}, "--hangup"},
        {{"--frames", "-1"}, "--frames"},
        {{"--noise=1"}, "--noise"},
        {{"--device", "/dev/ttyS9", "--link", "/tmp/x"}, "--link"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.front());
        const auto r = runToEnd(c.args);
        EXPECT_EQ(r.code, 2);
        EXPECT_TRUE(r.out.empty()) << "no line is opened: " << r.out;
        EXPECT_NE(r.err.find(c.named), std::string::npos) << r.err;
    }
}

TEST(SimOptions, HelpDescribesEveryOption)
{
    const auto r = runToEnd({"--help"});
    EXPECT_EQ(r.code, 0);
    for (const char* option : {"--device", "--link", "--baud", "--flood", "--frames", "--lat", "--lon",
                               "--height", "--warmup", "--state", "--bad-crc", "--noise", "--silence",
                               "--hangup", "--seed", "--replay", "--speed", "--verbose", "--help"})
        EXPECT_NE(r.out.find(option), std::string::npos) << option;
}

TEST(SimOptions, ValuesMayFollowAnEqualsSign)
{
    SimProcess sim({"--warmup=0", "--state=0x01"});
    Port port(sim.linePath());
    port.request(0x08);
    const auto frames = port.collect(1, 1s);
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].body.at(2), 0x01);
}
