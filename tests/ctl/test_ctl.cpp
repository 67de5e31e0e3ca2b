// kalvi7-ctl as an operator's script runs it: each command and each exit
// status against the simulated radiosonde, or against a peer of the test's
// own where the fault is one the simulator does not make.

#include <gtest/gtest.h>

#include <QJsonDocument>
#include <QJsonObject>

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <unistd.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "capture/capture_format.h"
#include "ctl_harness.h"
#include "protocol/frame.h"
#include "protocol/host_frames.h"
#include "support/sim_process.h"

namespace ctltest {
namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;

// Short waits for the tests; the real 5 s is tried once below.
const std::string kFast = "--test-timeout-ms=400";

std::string hex(const Bytes& bytes)
{
    std::string text;
    char two[4];
    for (const std::uint8_t b : bytes) {
        std::snprintf(two, sizeof two, "%02X ", b);
        text += two;
    }
    if (!text.empty())
        text.pop_back();
    return text;
}

// The blocks of status output: heading -> lines.
std::vector<std::string> headings(const std::string& out)
{
    std::vector<std::string> found;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);)
        if (line.rfind("# ", 0) == 0)
            found.push_back(line);
    return found;
}

std::string block(const std::string& out, const std::string& heading)
{
    const auto at = out.find("# " + heading + "\n");
    if (at == std::string::npos)
        return {};
    const auto from = at + heading.size() + 3;
    const auto end = out.find("\n# ", from);
    return out.substr(from, end == std::string::npos ? std::string::npos : end + 1 - from);
}

class AgainstSimulator : public ::testing::Test {
protected:
    support::SimProcess sim{{"--warmup", "0"}};
    std::vector<std::string> withPort(std::vector<std::string> args)
    {
        args.insert(args.begin(), {"--port", sim.linePath()});
        return args;
    }
};

TEST_F(AgainstSimulator, StatusPrintsAllFourBlocksWithTheWindowsCaptions)
{
    const Result r = runCtl(withPort({"status"}));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(headings(r.out),
              (std::vector<std::string>{"# telemetry", "# calibration", "# settings", "# state"}));
    EXPECT_NE(block(r.out, "telemetry").find("Температура, °C:\t"), std::string::npos) << r.out;
    EXPECT_NE(block(r.out, "telemetry").find("Широта B, °:\t55,75"), std::string::npos) << r.out;
    EXPECT_NE(block(r.out, "calibration").find("№ р/з:\t"), std::string::npos) << r.out;
    EXPECT_NE(block(r.out, "settings").find("Несущая частота:\t"), std::string::npos) << r.out;
    EXPECT_EQ(block(r.out, "state"),
              "Исправность ФАПЧ передатчика:\tOK\nСвязь с навигационным модулем:\tOK\n"
              "Связь с датчиком давления:\tOK\n");
    // Each line of a block is caption, tab, text; no operator-page copy twice.
    std::istringstream lines(r.out);
    int temperatures = 0;
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("# ", 0) == 0)
            continue;
        EXPECT_NE(line.find(":\t"), std::string::npos) << line;
        temperatures += line.rfind("Температура, °C:", 0) == 0;
    }
    EXPECT_EQ(temperatures, 1);
}

struct AckCase {
    std::vector<std::string> args;
    std::string printed;
};

TEST_F(AgainstSimulator, SettingCommandsEndOnTheirAcknowledgement)
{
    const AckCase cases[] = {
        {{"set", "frequency", "405000"}, "Настройки сохранены "},
        {{"set", "nav-mode", "gps"}, "Настройки сохранены "},
        {{"set", "gain", "12"}, "Настройки сохранены "},
        {{"write-calibration", "--b", "1.25", "--yes"}, "Градуировки сохранены "},
    };
    for (const AckCase& c : cases) {
        const Result r = runCtl(withPort(c.args));
        EXPECT_EQ(r.status, 0) << c.args[0] << ' ' << c.args[1] << ": " << r.err;
        EXPECT_NE(r.out.find(c.printed), std::string::npos) << r.out;
    }
    // The radiosonde now reports what was set, and nothing else changed.
    const Result r = runCtl(withPort({"status"}));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("Несущая частота:\t405000 кГц (100)"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Режим навигации:\tGPS (2)"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Усиление:\t"), std::string::npos);
    EXPECT_NE(r.out.find("(12)\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("B:\t1,25\n"), std::string::npos) << r.out;
}

TEST_F(AgainstSimulator, WriteCalibrationChangesOnlyTheFieldsGiven)
{
    const Result before = runCtl(withPort({"status"}));
    ASSERT_EQ(before.status, 0) << before.err;

    // Without --yes: shown, not written.
    const Result dry = runCtl(withPort({"write-calibration", "--number", "777"}));
    EXPECT_EQ(dry.status, 0) << dry.err;
    EXPECT_NE(dry.out.find("№ р/з:\t"), std::string::npos);
    EXPECT_NE(dry.out.find("\t777\n"), std::string::npos) << dry.out;
    EXPECT_EQ(block(runCtl(withPort({"status"})).out, "calibration"), block(before.out, "calibration"));

    const Result wet = runCtl(withPort({"write-calibration", "--number", "777", "--yes"}));
    EXPECT_EQ(wet.status, 0) << wet.err;
    std::string expected = block(before.out, "calibration");
    const auto row = expected.find("№ р/з:\t");
    ASSERT_NE(row, std::string::npos);
    expected.replace(row, expected.find('\n', row) - row, "№ р/з:\t777");
    EXPECT_EQ(block(runCtl(withPort({"status"})).out, "calibration"), expected);
}

TEST_F(AgainstSimulator, WatchJsonGivesOneObjectALineAndEndsCleanlyOnSigterm)
{
    CtlProcess watch(withPort({"watch", "--json"}));
    std::this_thread::sleep_for(1500ms);
    watch.signal(SIGTERM);
    const Result r = watch.wait(5s);
    ASSERT_EQ(r.status, 0) << r.err;
    std::istringstream lines(r.out);
    std::vector<std::string> types;
    for (std::string line; std::getline(lines, line);) {
        QJsonParseError error{};
        const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(line), &error);
        ASSERT_TRUE(doc.isObject()) << line << ": " << error.errorString().toStdString();
        const QJsonObject object = doc.object();
        EXPECT_TRUE(object.value("time").toString().contains(QLatin1Char('T'))) << line;
        types.push_back(object.value("type").toString().toStdString());
        if (types.back() == "telemetry") {
            EXPECT_TRUE(object.value("fields").toObject().contains("temperature"));
        }
    }
    ASSERT_GE(types.size(), 4u) << r.out;
    EXPECT_EQ(std::vector<std::string>(types.begin(), types.begin() + 4),
              (std::vector<std::string>{"telemetry", "calibration", "settings", "state"}));
}

TEST_F(AgainstSimulator, WatchPlainGivesTimedBlocksAndEndsCleanlyOnSigint)
{
    CtlProcess watch(withPort({"watch"}));
    std::this_thread::sleep_for(1500ms);
    watch.signal(SIGINT);
    const Result r = watch.wait(5s);
    ASSERT_EQ(r.status, 0) << r.err;
    const std::vector<std::string> heads = headings(r.out);
    ASSERT_GE(heads.size(), 4u) << r.out;
    const char* types[] = {"telemetry", "calibration", "settings", "state"};
    for (std::size_t i = 0; i < 4; ++i) {
        // "# telemetry 2026-12-10T20:01:02.345+03:00"
        const std::string prefix = std::string("# ") + types[i] + " ";
        EXPECT_EQ(heads[i].rfind(prefix, 0), 0u) << heads[i];
        EXPECT_EQ(heads[i].size(), prefix.size() + 29) << heads[i];
    }
}

// The settings file of the current directory names the port and speed
// when the command line does not.
TEST_F(AgainstSimulator, PortAndSpeedComeFromSettingsIni)
{
    const std::string ini = "[Port1 setting]\r\nPort=" + sim.linePath() + "\r\nBaudRate=38400\r\n";
    const Result r = CtlProcess({"status"}, ini).wait(10s);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(headings(r.out).size(), 4u);
}

TEST_F(AgainstSimulator, WatchRawShowsFramesWithTheirVerdict)
{
    support::SimProcess faulty({"--warmup", "0", "--bad-crc", "2"});
    CtlProcess watch({"--port", faulty.linePath(), "watch", "--raw"});
    std::this_thread::sleep_for(1500ms);
    watch.signal(SIGINT);
    const Result r = watch.wait(5s);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("\tgood\tAA AA BF 35 81 "), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\tbad\tAA AA BF 35 "), std::string::npos) << r.out;
}

// Ended by its time or by a signal, the file is a whole capture.
TEST_F(AgainstSimulator, CaptureWritesTheDocumentedFormat)
{
    for (const bool bySignal : {false, true}) {
        SCOPED_TRACE(bySignal ? "ended by SIGTERM" : "ended by --seconds");
        char path[] = "/tmp/kalvi7-ctl-capture-XXXXXX";
        const int fd = mkstemp(path);
        ASSERT_GE(fd, 0);
        close(fd);
        Result r;
        if (bySignal) {
            CtlProcess capturing(withPort({"capture", path}));
            std::this_thread::sleep_for(1500ms);
            capturing.signal(SIGTERM);
            r = capturing.wait(5s);
        } else {
            r = runCtl(withPort({"capture", path, "--seconds", "1.5"}));
            EXPECT_GE(r.took, 1400ms);
        }
        ASSERT_EQ(r.status, 0) << r.err;
        std::ifstream file(path);
        const capture::Capture taken = capture::readCapture(file);
        std::remove(path);
        ASSERT_FALSE(taken.records.empty());
        std::vector<std::string> keys;
        for (const auto& [key, value] : taken.notes)
            keys.push_back(key);
        EXPECT_EQ(keys, (std::vector<std::string>{"port", "baud", "started", "end"}));
        Bytes all;
        for (const capture::Record& record : taken.records)
            all.insert(all.end(), record.bytes.begin(), record.bytes.end());
        EXPECT_EQ(hex(Bytes(all.begin(), all.begin() + 5)), "AA AA BF 35 81");
    }
}

// A silent peer, one that sends only garbage: every command that waits
// ends with 3 within its time-out. The request went out all the same.
TEST(SilentOrGarbagePeer, CommandsEndWithNoAnswer)
{
    const std::vector<std::vector<std::string>> commands = {
        {"status"},
        {"set", "gain", "5"},
        {"write-calibration", "--a", "2"},
    };
    for (const bool garbage : {false, true}) {
        for (const auto& command : commands) {
            std::atomic<bool> stop{false};
            PtyPeer peer;
            std::thread noise;
            if (garbage) {
                noise = std::thread([&] {
                    // Never the sync word's first byte, so no frame ever starts.
                    Bytes junk(64);
                    for (std::size_t i = 0; i < junk.size(); ++i)
                        junk[i] = static_cast<std::uint8_t>(0x11 + i % 0x80);
                    while (!stop) {
                        peer.write(junk);
                        std::this_thread::sleep_for(5ms);
                    }
                });
            }
            std::vector<std::string> args{"--port", peer.slavePath(), kFast};
            args.insert(args.end(), command.begin(), command.end());
            const Result r = runCtl(args, 5s);
            stop = true;
            if (noise.joinable())
                noise.join();
            EXPECT_EQ(r.status, 3) << command[0] << (garbage ? " garbage: " : " silent: ") << r.err;
            EXPECT_LT(r.took, 3s) << command[0];
            const Bytes got = peer.received();
            EXPECT_EQ(hex(Bytes(got.begin(), got.begin() + std::min<std::ptrdiff_t>(4, std::ssize(got)))),
                      "AA AA BF 35")
                << command[0];
        }
    }
}

// Only the state packet comes: it is printed, and the status is 3.
TEST(SilentOrGarbagePeer, StatusPrintsWhatCameAndEndsWithThree)
{
    PtyPeer peer([answered = false](PtyPeer& self, const Bytes& got) mutable {
        if (!answered && got.size() >= 9) {
            answered = true;
            const std::uint8_t state[] = {protocol::PT_STATE, 3, 0x02};
            self.write(protocol::wrapBody(state));
        }
    });
    const Result r = runCtl({"--port", peer.slavePath(), kFast, "status"});
    EXPECT_EQ(r.status, 3) << r.err;
    EXPECT_EQ(r.out,
              "# state\nИсправность ФАПЧ передатчика:\tOK\nСвязь с навигационным модулем:\tНет\n"
              "Связь с датчиком давления:\tOK\n");
    EXPECT_NE(r.err.find("telemetry, calibration, settings"), std::string::npos) << r.err;
}

// The watchdog's silence is reported, and telemetry asked for again.
TEST(SilentOrGarbagePeer, WatchReportsSilenceAndAsksAgain)
{
    PtyPeer peer;
    CtlProcess watch({"--port", peer.slavePath(), kFast, "watch", "--json"});
    std::this_thread::sleep_for(1100ms);
    watch.signal(SIGTERM);
    const Result r = watch.wait(5s);
    EXPECT_EQ(r.status, 0) << r.err;
    std::istringstream lines(r.out);
    int silences = 0;
    for (std::string line; std::getline(lines, line);) {
        const QJsonObject object = QJsonDocument::fromJson(QByteArray::fromStdString(line)).object();
        EXPECT_EQ(object.value("type").toString(), "silent") << line;
        ++silences;
    }
    EXPECT_GE(silences, 2) << r.out;
    // One request at the start and one at each expiry: the telemetry switch
    // is still set, so only the watchdog's own call sends, as in the window.
    const std::string telemetryRequest = "AA AA BF 35 01 03 01 E1 30";
    const std::string sent = hex(peer.received());
    std::size_t requests = 0;
    for (std::size_t at = sent.find(telemetryRequest); at != std::string::npos;
         at = sent.find(telemetryRequest, at + 1))
        ++requests;
    EXPECT_EQ(requests, 1u + static_cast<std::size_t>(silences)) << sent;
}

TEST(SilentOrGarbagePeer, StatusGivesUpAfterFiveQuietSeconds)
{
    PtyPeer peer;
    const Result r = runCtl({"--port", peer.slavePath(), "status"}, 10s);
    EXPECT_EQ(r.status, 3) << r.err;
    EXPECT_GE(r.took, 4900ms);
    EXPECT_LT(r.took, 7s);
    EXPECT_NE(r.err.find("telemetry"), std::string::npos) << r.err;
}

// The frames are the window's, byte for byte.
TEST(SentFrames, SetCommandsSendTheWindowsFrames)
{
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"set", "frequency", "403000"}, "AA AA BF 35 03 09 01 3C 00 00 03 00 00 3B 96"},
        {{"set", "gain", "30"}, "AA AA BF 35 03 09 02 00 1E 00 03 00 00 A5 A8"},
        {{"set", "nav-mode", "both"}, "AA AA BF 35 03 09 10 00 00 00 03 00 00 3F AB"},
        {{"set", "nav-mode", "glonass"}, "AA AA BF 35 03 09 10 00 00 00 03 00 01 FE 6B"},
        {{"set", "nav-mode", "gps"}, "AA AA BF 35 03 09 10 00 00 00 03 00 02 BE 6A"},
    };
    for (const auto& [command, frame] : cases) {
        PtyPeer peer;
        std::vector<std::string> args{"--port", peer.slavePath(), kFast};
        args.insert(args.end(), command.begin(), command.end());
        const Result r = runCtl(args);
        EXPECT_EQ(r.status, 3) << r.err;  // nobody acknowledges
        EXPECT_EQ(hex(peer.received()), frame) << command[1];
    }
}

// Answers a settings command with an acknowledgement of the calibration
// write: the command did not get what it asked for.
TEST(SentFrames, AnotherAcknowledgementEndsWithFive)
{
    PtyPeer peer([answered = false](PtyPeer& self, const Bytes& got) mutable {
        if (!answered && got.size() >= 15) {
            answered = true;
            const std::uint8_t ack[] = {protocol::PT_ACK, 3, 2};
            self.write(protocol::wrapBody(ack));
        }
    });
    const Result r = runCtl({"--port", peer.slavePath(), kFast, "set", "gain", "7"});
    EXPECT_EQ(r.status, 5) << r.err;
    EXPECT_NE(r.out.find("Градуировки сохранены "), std::string::npos) << r.out;
}

// A peer that answers the calibration request with a calibration packet
// of the given coefficients and keeps what it gets.
PtyPeer::Answer calibrationPeer(float a, float b)
{
    return [sent = false, a, b](PtyPeer& self, const Bytes& got) mutable {
        if (sent || got.size() < 9)
            return;
        sent = true;
        Bytes body(50, 0);
        body[0] = protocol::PT_CALIBRATION;
        body[1] = 50;
        auto put = [&](std::size_t at, auto v) { std::memcpy(&body[at], &v, 4); };
        put(2, a);
        put(6, b);
        put(10, 273.15f);
        put(38, std::uint32_t{240315});
        put(42, std::uint32_t{1187});
        put(46, std::uint32_t{150324});
        self.write(protocol::wrapBody(body));
    };
}

// What write-calibration sends after its request for the calibration:
// nothing without --yes, nothing when a value the radiosonde reported does
// not pass the check, and otherwise the write with the given fields and,
// for the others, the radiosonde's own bits (its B has more digits than
// the two decimals the window shows).
TEST(SentFrames, WriteCalibrationSendsOnlyAWriteThatPasses)
{
    const float b = 1.234567f;
    const auto write = protocol::buildCalibrationWrite({2.5f, b, 273.15f, 240315, 1187, 150324});
    const struct {
        std::vector<std::string> args;
        float reportedA;
        int status;
        std::string sentAfterRequest;
    } cases[] = {
        {{"--a", "2,5"}, 1.5f, 0, ""},
        {{"--b", "1.5", "--yes"}, std::nanf(""), 2, ""},
        {{"--a", "2,5", "--yes"}, 1.5f, 3, hex(Bytes(write.begin(), write.end()))},  // nobody acknowledges
    };
    const auto request = protocol::buildRequest(protocol::RQ_CALIBRATION);
    for (const auto& c : cases) {
        PtyPeer peer(calibrationPeer(c.reportedA, b));
        std::vector<std::string> args{"--port", peer.slavePath(), kFast, "write-calibration"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const Result r = runCtl(args);
        EXPECT_EQ(r.status, c.status) << c.args[0] << ": " << r.err;
        const Bytes got = peer.received();
        ASSERT_GE(got.size(), 9u);
        EXPECT_EQ(hex(Bytes(got.begin(), got.begin() + 9)), hex(Bytes(request.begin(), request.end())));
        EXPECT_EQ(hex(Bytes(got.begin() + 9, got.end())), c.sentAfterRequest) << c.args[0];
    }
}

// A bad command line is refused before the port is even opened.
TEST(BadCommandLine, EndsWithTwoAndSendsNothing)
{
    const std::vector<std::vector<std::string>> cases = {
        {},
        {"frob"},
        {"status", "extra"},
        {"status", "--yes"},
        {"--baud", "fast", "status"},
        {"--bogus", "status"},
        {"--baud"},
        {"--baud=", "status"},
        {"watch", "--json=yes"},
        {"watch", "--json", "--raw"},
        {"set", "frequency", "399950"},
        {"set", "frequency", "406050"},
        {"set", "frequency", "403025"},
        {"set", "frequency", "4e5"},
        {"set", "gain", "64"},
        {"set", "gain", "-1"},
        {"set", "nav-mode", "galileo"},
        {"set", "power", "3"},
        {"write-calibration"},
        {"write-calibration", "--a", "abc", "--yes"},
        {"write-calibration", "--b", "1e999", "--yes"},
        {"write-calibration", "--number", "-1", "--yes"},
        {"write-calibration", "--board", "4294967296", "--yes"},
        {"write-calibration", "--date", "1.3.24", "--yes"},
        {"write-calibration", "--a", "1", "--a", "2", "--yes"},
        {"capture"},
        {"capture", "/nonexistent-dir/file"},
        {"capture", "x", "--seconds", "0"},
    };
    PtyPeer peer;
    for (const auto& command : cases) {
        std::vector<std::string> args{"--port", peer.slavePath()};
        args.insert(args.end(), command.begin(), command.end());
        const Result r = runCtl(args);
        std::string shown;
        for (const auto& word : command)
            shown += word + ' ';
        EXPECT_EQ(r.status, 2) << shown << r.err;
        EXPECT_FALSE(r.err.empty()) << shown;
        EXPECT_TRUE(r.out.empty()) << shown << r.out;
    }
    EXPECT_EQ(hex(peer.received()), "");
}

// Gain changes stay locked unless settings.INI unlocks them, as the
// window's gain editor does; nothing goes out while they are.
TEST(BadCommandLine, GainIsLockedUnlessTheSettingsUnlockIt)
{
    PtyPeer peer;
    const std::vector<std::string> args{"--port", peer.slavePath(), kFast, "set", "gain", "30"};
    for (const std::string& settings : {std::string(), std::string("[Form setting]\nAmplSetEnable=0\n")}) {
        const Result r = runCtl(args, std::chrono::seconds(10), settings);
        EXPECT_EQ(r.status, 2) << settings << r.err;
        EXPECT_NE(r.err.find("AmplSetEnable=1"), std::string::npos) << r.err;
    }
    EXPECT_EQ(hex(peer.received()), "");
    // Unlocked, the frame goes out (nobody answers: 3).
    EXPECT_EQ(runCtl(args).status, 3);
    EXPECT_EQ(hex(peer.received()), "AA AA BF 35 03 09 02 00 1E 00 03 00 00 A5 A8");
}

TEST(PortTrouble, BusyOrMissingPortEndsWithFourAndTheReason)
{
    PtyPeer peer;
    {
        // Held as the window holds it.
        const int holder = open(peer.slavePath().c_str(), O_RDWR | O_NOCTTY);
        ASSERT_GE(holder, 0);
        ASSERT_EQ(flock(holder, LOCK_EX | LOCK_NB), 0);
        const Result r = runCtl({"--port", peer.slavePath(), "status"});
        close(holder);
        EXPECT_EQ(r.status, 4) << r.err;
        EXPECT_NE(r.err.find("Порт занят другой программой"), std::string::npos) << r.err;
    }
    {
        // Held by another kalvi7-ctl on the simulator's line.
        support::SimProcess sim({"--warmup", "0"});
        CtlProcess holder({"--port", sim.linePath(), "watch"});
        std::this_thread::sleep_for(500ms);
        const Result r = runCtl({"--port", sim.linePath(), "set", "gain", "3"});
        EXPECT_EQ(r.status, 4) << r.err;
        EXPECT_NE(r.err.find("Порт занят другой программой"), std::string::npos) << r.err;
        holder.signal(SIGTERM);
        EXPECT_EQ(holder.wait(5s).status, 0);
    }
    const Result missing = runCtl({"--port", "/dev/kalvi7-no-such-port", "status"});
    EXPECT_EQ(missing.status, 4);
    EXPECT_NE(missing.err.find("Такого порта нет (ENOENT)."), std::string::npos) << missing.err;

    // A capture that cannot start leaves a file of the same name as it was.
    char path[] = "/tmp/kalvi7-ctl-kept-XXXXXX";
    const int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(write(fd, "kept\n", 5), 5);
    close(fd);
    EXPECT_EQ(runCtl({"--port", "/dev/kalvi7-no-such-port", "capture", path}).status, 4);
    std::ifstream kept(path);
    std::string text;
    std::getline(kept, text);
    std::remove(path);
    EXPECT_EQ(text, "kept");
    EXPECT_EQ(hex(peer.received()), "");
}

TEST(Information, HelpAndVersionAnswerWithoutAPort)
{
    const Result help = runCtl({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind("Usage: kalvi7-ctl", 0), 0u) << help.out;
    const Result version = runCtl({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, "kalvi7-ctl " KALVI7_VERSION "\n");
}

}  // namespace
}  // namespace ctltest
