// The simulator's end of the line: the tool going and coming, the link,
// hang-ups, pacing and flooding.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "protocol/frame.h"
#include "protocol/host_frames.h"
#include "sim_port.h"

using namespace simtest;
using namespace protocol;
namespace fs = std::filesystem;

namespace {

class ScratchDir {
public:
    ScratchDir()
    {
        char name[] = "/tmp/kalvi7-sim-dir-XXXXXX";
        path_ = mkdtemp(name);
    }
    ~ScratchDir() { fs::remove_all(path_); }
    fs::path operator/(const char* name) const { return path_ / name; }

private:
    fs::path path_;
};

}  // namespace

TEST(SimLine, WaitsQuietlyWhileTheToolIsAwayAndAnswersWhenItIsBack)
{
    SimProcess sim({"--warmup", "0"});
    {
        Port port(sim.linePath());
        port.request(RQ_CYCLIC | RQ_TELEMETRY);
        ASSERT_EQ(port.collect(1, 1s).size(), 1u);
    }
    // The master now reports a hang-up on every poll; it must not spin on it.
    const double cpuBefore = sim.cpuSeconds();
    std::this_thread::sleep_for(1500ms);
    EXPECT_LT(sim.cpuSeconds() - cpuBefore, 0.15) << "the simulator used more than a tenth of a processor";

    Port again(sim.linePath());
    // The radiosonde kept its cyclic telemetry going, as a real one would.
    EXPECT_EQ(typesOf(again.collect(1, 1500ms)), std::vector<std::uint8_t>{PT_TELEMETRY});
    again.request(RQ_STATE);
    const auto frames = again.collect(1, 1s);
    ASSERT_EQ(typesOf(frames), std::vector<std::uint8_t>{PT_STATE});
    EXPECT_EQ(sim.terminate(), 0);
}

TEST(SimLine, DrivesADeviceAndEndsWhenItIsGone)
{
    // A pty pair stands in for two serial adapters on a null-modem cable:
    // the simulator drives the slave as its device, the test holds the master.
    const int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);  // not inherited by the simulator
    ASSERT_GE(master, 0);
    ASSERT_EQ(grantpt(master), 0);
    ASSERT_EQ(unlockpt(master), 0);
    const std::string device = ptsname(master);
    SimProcess sim({"--device", device, "--baud", "115200"});
    EXPECT_EQ(sim.linePath(), device);

    termios tio{};
    ASSERT_EQ(tcgetattr(master, &tio), 0);
    EXPECT_EQ(cfgetospeed(&tio), B115200) << "configured at the baud asked for";
    const auto request = buildRequest(RQ_STATE);
    ASSERT_EQ(write(master, request.data(), request.size()), static_cast<ssize_t>(request.size()));
    std::uint8_t answer[9] = {};
    std::size_t got = 0;
    const auto until = Clock::now() + 1s;
    while (got < sizeof answer && Clock::now() < until) {
        pollfd p{master, POLLIN, 0};
        if (poll(&p, 1, 100) > 0) {
            const ssize_t n = read(master, answer + got, sizeof answer - got);
            if (n > 0)
                got += static_cast<std::size_t>(n);
        }
    }
    ASSERT_EQ(got, sizeof answer);
    EXPECT_EQ(answer[4], PT_STATE);

    close(master);  // the device disappears
    EXPECT_EQ(sim.waitExit(2s), 1);
    EXPECT_NE(sim.errText().find("gone away"), std::string::npos) << sim.errText();
}

TEST(SimLine, LinkPointsAtThePtyAndGoesAtExit)
{
    ScratchDir dir;
    const auto link = dir / "radiosonde";
    SimProcess sim({"--link", link.string()});
    ASSERT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(fs::read_symlink(link), sim.linePath());
    {
        Port port(link.string());
        port.request(RQ_STATE);
        EXPECT_EQ(port.collect(1, 1s).size(), 1u);
    }
    EXPECT_EQ(sim.terminate(), 0);
    EXPECT_FALSE(fs::exists(fs::symlink_status(link)));

    // A file that is not a link is the user's: left alone, and the run fails.
    std::ofstream(dir / "settings.INI") << "[Port1 setting]\n";
    const auto refused = runToEnd({"--link", (dir / "settings.INI").string()});
    EXPECT_EQ(refused.code, 1);
    EXPECT_NE(refused.err.find("not a symlink"), std::string::npos) << refused.err;
    EXPECT_TRUE(fs::is_regular_file(dir / "settings.INI"));
}

TEST(SimLine, HangupMakesANewPtyAndMovesTheLink)
{
    ScratchDir dir;
    const auto link = dir / "radiosonde";
    SimProcess sim({"--link", link.string(), "--hangup", "1,0.3"});
    Port first(link.string());
    EXPECT_TRUE(first.collectFor(2s).empty());
    EXPECT_TRUE(first.hungUp()) << "the tool sees the line drop";

    const auto second = sim.nextLine(2s);
    ASSERT_TRUE(second.has_value());
    EXPECT_NE(*second, sim.linePath());
    EXPECT_EQ(fs::read_symlink(link), *second);
    Port port(link.string());
    port.request(RQ_STATE);
    EXPECT_EQ(port.collect(1, 500ms).size(), 1u);
}

TEST(SimLine, BytesLeaveAtTheBaudRate)
{
    // The four packets of a full mask are 135 bytes on the wire; from the end
    // of the first (56 bytes) to the end of the last, 79 bytes go by.
    struct Case {
        const char* baud;
        std::chrono::milliseconds atLeast, atMost;
    };
    const Case cases[] = {
        {"2400", 300ms, 400ms},  // 240 bytes a second: 329 ms
        {"9600", 70ms, 120ms},   // 82 ms
        {"115200", 0ms, 40ms},   // 7 ms
    };
    // The spread is timed where the frames are read, so a busy machine that
    // reads the first or the last frame late moves it either way. Such
    // delays come and go while the pacing is the simulator's own: three
    // tries, and one inside the window is enough.
    for (const auto& c : cases) {
        SCOPED_TRACE(c.baud);
        std::string spreads;
        for (int attempt = 0; attempt < 3; ++attempt) {
            SimProcess sim({"--warmup", "0", "--baud", c.baud});
            Port port(sim.linePath());
            port.request(RQ_TELEMETRY | RQ_CALIBRATION | RQ_SETTINGS | RQ_STATE);
            const auto frames = port.collect(4, 3s);
            ASSERT_EQ(frames.size(), 4u);
            const auto spread =
                std::chrono::duration_cast<std::chrono::milliseconds>(frames[3].at - frames[0].at);
            spreads += " " + std::to_string(spread.count()) + " ms";
            if (spread >= c.atLeast && spread <= c.atMost)
                break;
            if (attempt == 2)
                ADD_FAILURE() << "spreads" << spreads << ", outside " << c.atLeast.count() << " to "
                              << c.atMost.count() << " ms every time";
        }
    }
}

TEST(SimLine, FloodSendsTheAskedNumberOfFramesBackToBack)
{
    SimProcess sim({"--warmup", "0", "--flood", "--frames", "300"});
    Port port(sim.linePath());
    port.request(RQ_CYCLIC | RQ_TELEMETRY);
    const auto frames = port.collect(300, 5s);
    ASSERT_EQ(frames.size(), 300u);
    for (std::size_t i = 0; i < frames.size(); ++i) {
        ASSERT_TRUE(frames[i].crcGood) << i;
        ASSERT_EQ(frames[i].type(), PT_TELEMETRY) << i;
        // The packet number wraps from 255 to 0.
        ASSERT_EQ(frames[i].body[3], static_cast<std::uint8_t>(i)) << i;
    }
    EXPECT_LT(frames.back().at - frames.front().at, 2s) << "not paced to the baud rate";
    EXPECT_TRUE(port.collectFor(300ms).empty()) << "nothing after the last one";
    port.close();
    EXPECT_EQ(sim.waitExit(3s), 0);
    EXPECT_NE(sim.errText().find("sent 300 telemetry frames"), std::string::npos) << sim.errText();
}
