// kalvi7-sim --replay: what it refuses before opening a line, the bytes it
// plays (exactly the capture's), and their timing at a few speeds.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <span>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "capture/capture_format.h"
#include "protocol/host_frames.h"
#include "sim_port.h"

using namespace simtest;
namespace fs = std::filesystem;

namespace {

using Bytes = std::vector<std::uint8_t>;
using Seconds = std::chrono::duration<double>;

class SimReplay : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir_ = fs::temp_directory_path() / ("kalvi7_replay_" + std::to_string(std::random_device{}()));
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string writeText(const std::string& name, const std::string& text) const
    {
        const std::string path = (dir_ / name).string();
        std::ofstream(path, std::ios::binary) << text;
        return path;
    }

    // A capture as kalvi7-ctl writes it: records at the given times.
    std::string writeCapture(const std::string& name, const std::vector<capture::Record>& records) const
    {
        const std::string path = (dir_ / name).string();
        std::FILE* file = std::fopen(path.c_str(), "w");
        if (file == nullptr)
            throw std::runtime_error("cannot write " + path);
        capture::CaptureWriter writer(file, {{"port", "/dev/ttyUSB0"}, {"baud", "38400"}});
        for (const auto& r : records)
            writer.record(r.microseconds, r.bytes.data(), r.bytes.size());
        writer.end();
        std::fclose(file);
        return path;
    }

    fs::path dir_;
};

Bytes concatenated(const std::vector<capture::Record>& records)
{
    Bytes all;
    for (const auto& r : records)
        all.insert(all.end(), r.bytes.begin(), r.bytes.end());
    return all;
}

// The tool's end of the line, keeping the raw bytes and when each read came.
class TimedPort {
public:
    explicit TimedPort(const std::string& path) : raw_(path) {}

    // Reads until `count` bytes in all have come or `timeout` passes.
    void readUntil(std::size_t count, std::chrono::milliseconds timeout)
    {
        const auto until = Clock::now() + timeout;
        while (bytes.size() < count && Clock::now() < until) {
            std::uint8_t buf[4096];
            const std::ptrdiff_t n = raw_.readSome(buf, until);
            if (n < 0)
                return;  // the simulator went away
            if (n == 0)
                continue;
            bytes.insert(bytes.end(), buf, buf + n);
            reads.push_back({bytes.size(), Clock::now()});
        }
    }
    // When the byte at this offset came.
    Clock::time_point arrivalOf(std::size_t offset) const
    {
        for (const auto& [total, at] : reads)
            if (total > offset)
                return at;
        return Clock::time_point::max();
    }
    void send(std::span<const std::uint8_t> frame) { raw_.send(frame); }

    Bytes bytes;
    std::vector<std::pair<std::size_t, Clock::time_point>> reads;  // bytes so far, when

private:
    RawPort raw_;
};

TEST_F(SimReplay, RefusesBadCapturesAndOptionsBeforeOpeningALine)
{
    const std::string good = writeText("good.capture", "kalvi7-capture 1\n0.000000 AA\n");
    std::string late = "kalvi7-capture 1\n# port /dev/ttyUSB0\n";
    for (int i = 0; i < 500; ++i)
        late += capture::formatTime(i * 10'000) + " AA AA 81 3C 00\n";
    late += "5.000000 AA AA 8\n";  // line 503: the last record cut short in a byte
    const struct {
        std::vector<std::string> args;
        std::string message;  // what standard error must hold
    } cases[] = {
        {{"--replay", writeText("v2.capture", "kalvi7-capture 2\n0.000000 AA\n")},
         "v2.capture: line 1: unsupported capture version 2"},
        {{"--replay", writeText("text.capture", "hello\n")}, "text.capture: line 1: not a capture"},
        {{"--replay", writeText("back.capture", "kalvi7-capture 1\n1.000000 AA\n0.500000 BB\n")},
         "back.capture: line 3: time goes backwards"},
        {{"--replay", writeText("comma.capture", "kalvi7-capture 1\n0,500000 BB\n")},
         "comma.capture: line 2: bad time \"0,500000\""},
        {{"--replay", writeText("cut.capture", "kalvi7-capture 1\n0.000000 AA\n0.100000 B")},
         "cut.capture: line 3: the last line has no newline"},
        {{"--replay", writeText("late.capture", late)}, "late.capture: line 503: bad byte \"8\""},
        {{"--replay", writeText("empty.capture", "")}, "empty.capture: line 1: empty file"},
        {{"--replay", (dir_ / "missing.capture").string()}, "missing.capture: cannot open"},
        {{"--replay", dir_.string()}, "is a directory"},
        {{"--replay"}, "--replay needs a value"},
        {{"--replay", good, "--speed", "-1"}, "--speed: must lie within 0..1000"},
        {{"--replay", good, "--speed", "fast"}, "--speed: 'fast' is not a number"},
        {{"--speed", "2"}, "--speed goes with --replay"},
        {{"--replay", good, "--flood"}, "--flood shapes the simulated radiosonde"},
        {{"--bad-crc", "3", "--replay", good}, "--bad-crc shapes the simulated radiosonde"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        const auto r = runToEnd(c.args);
        EXPECT_EQ(r.code, 2) << r.err;
        EXPECT_TRUE(r.out.empty()) << "no line may be announced: " << r.out;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    }
}

TEST_F(SimReplay, PlaysTheCapturedBytesUnchangedAndEnds)
{
    // Every byte value, line-discipline characters included (newline,
    // carriage return, XON/XOFF, ^C, DEL), in small records and in one
    // larger than a pseudo-terminal takes at once.
    std::vector<capture::Record> records;
    for (int start = 0; start < 256; start += 16) {
        capture::Record r{start * 100, {}};
        for (int b = start; b < start + 16; ++b)
            r.bytes.push_back(static_cast<std::uint8_t>(b));
        records.push_back(r);
    }
    capture::Record big{30'000, {}};
    std::mt19937 rng(7);
    for (int i = 0; i < 100'000; ++i)
        big.bytes.push_back(static_cast<std::uint8_t>(rng()));
    records.push_back(big);
    records.push_back({30'000, {0x03, 0x11, 0x13, 0x7F, 0x0A, 0x0D, 0x04}});
    const Bytes expected = concatenated(records);

    SimProcess sim({"--replay", writeCapture("all.capture", records), "--speed", "0"});
    TimedPort port(sim.linePath());
    port.send(protocol::buildRequest(0x0F));   // asks, and must get no answer
    port.readUntil(expected.size() + 1, 10s);  // one more than the capture: nothing else comes
    EXPECT_EQ(port.bytes.size(), expected.size());
    EXPECT_TRUE(port.bytes == expected) << "the played bytes differ from the capture's";
    EXPECT_EQ(sim.waitExit(5s), 0) << "the simulator ends after the capture\n" << sim.errText();
    EXPECT_NE(sim.errText().find("replayed " + std::to_string(expected.size()) + " bytes"), std::string::npos)
        << sim.errText();
}

// Records at these capture times (seconds), each a few bytes with a marker.
std::vector<capture::Record> recordsAt(const std::vector<double>& times)
{
    std::vector<capture::Record> records;
    for (std::size_t i = 0; i < times.size(); ++i)
        records.push_back(
            {static_cast<std::int64_t>(times[i] * 1e6),
             {0xAA, static_cast<std::uint8_t>(i), 0x0A, 0x0D, static_cast<std::uint8_t>(0xF0 + i)}});
    return records;
}

TEST_F(SimReplay, KeepsTheRecordedTimingAtTheGivenSpeed)
{
    // A machine under load wakes the simulator (and this test) late, never
    // early. Times are taken from the moment before the port is opened, which
    // is before the replay can begin: so a record can never seem early, the
    // lower bounds are tight, and the upper ones allow seconds of lateness.
    constexpr double kEarly = 0.005;  // clock granularity, not load
    constexpr double kLate = 1.5;
    const std::vector<double> times{0.0, 0.3, 0.3, 0.9, 1.8};
    const struct {
        std::string speed;
        double scale;  // played time per recorded time
    } cases[] = {{"1", 1.0}, {"0.5", 2.0}, {"4", 0.25}};
    for (const auto& c : cases) {
        SCOPED_TRACE("--speed " + c.speed);
        const auto records = recordsAt(times);
        SimProcess sim({"--replay", writeCapture("timed.capture", records), "--speed", c.speed});
        const auto opened = Clock::now();
        TimedPort port(sim.linePath());
        const Bytes expected = concatenated(records);
        port.readUntil(expected.size(), std::chrono::seconds(10));
        ASSERT_TRUE(port.bytes == expected)
            << "got " << port.bytes.size() << " of " << expected.size() << " bytes";

        // Between records, lateness of the first shortens the gap to the
        // next; so each record is held to its time since the opening too.
        std::size_t offset = 0;
        for (std::size_t i = 0; i < records.size(); ++i) {
            const double came = Seconds(port.arrivalOf(offset) - opened).count();
            const double due = times[i] * c.scale;
            EXPECT_GE(came, due - kEarly)
                << "record " << i << " came " << came << " s after the port was opened, "
                << "due at " << due << " s: early, which no load explains";
            EXPECT_LE(came, due + kLate)
                << "record " << i << " came " << came << " s after the port was opened, "
                << "due at " << due << " s: only a machine that keeps the simulator from "
                << "running for " << kLate << " s fails this";
            offset += records[i].bytes.size();
        }
    }
}

TEST_F(SimReplay, AtSpeedZeroPlaysAsFastAsTheLineTakesIt)
{
    // Ten minutes of capture, a telemetry-sized record every second.
    std::vector<capture::Record> records;
    for (int s = 0; s < 600; ++s)
        records.push_back({s * 1'000'000LL, Bytes(60, static_cast<std::uint8_t>(s))});
    const Bytes expected = concatenated(records);
    constexpr double kAllowed = 20.0;
    SimProcess sim({"--replay", writeCapture("long.capture", records), "--speed", "0"});
    TimedPort port(sim.linePath());
    const auto start = Clock::now();
    port.readUntil(expected.size(), std::chrono::seconds(static_cast<int>(kAllowed)));
    const double took = Seconds(Clock::now() - start).count();
    EXPECT_TRUE(port.bytes == expected)
        << "got " << port.bytes.size() << " of " << expected.size() << " bytes in " << took
        << " s; only a machine so loaded that " << expected.size() << " bytes through a pseudo-terminal take "
        << kAllowed << " s fails this";
}

TEST_F(SimReplay, WaitsWhileThePortIsClosedAndGoesOnWhereItStopped)
{
    const auto records = recordsAt({0.0, 1.5, 1.5, 1.8});
    SimProcess sim({"--replay", writeCapture("pause.capture", records)});
    const std::string path = sim.linePath();
    const std::size_t firstSize = records[0].bytes.size();
    {
        TimedPort port(path);
        port.readUntil(firstSize, 5s);
        ASSERT_EQ(port.bytes, records[0].bytes);
    }
    // Closed for longer than the rest of the capture: none of it may be
    // played into the closed port.
    std::this_thread::sleep_for(2200ms);
    const auto reopened = Clock::now();
    TimedPort port(path);
    const Bytes all = concatenated(records);
    const Bytes rest(all.begin() + static_cast<std::ptrdiff_t>(firstSize), all.end());
    port.readUntil(rest.size(), 5s);
    EXPECT_EQ(port.bytes, rest);
    // The rest keeps its gap: 1.5 s in the capture, less the time the
    // simulator took to see the close, which even a loaded machine keeps
    // under 1.2 s.
    const double came = Seconds(port.arrivalOf(0) - reopened).count();
    EXPECT_GE(came, 0.3) << "the rest came " << came << " s after the port was opened again";
    EXPECT_EQ(sim.waitExit(5s), 0) << sim.errText();
}

}  // namespace
