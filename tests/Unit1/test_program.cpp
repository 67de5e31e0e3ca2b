// The real program, started as the operator starts it: in a directory whose
// settings.INI names a pseudo-terminal, ended by SIGTERM.

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QProcess>
#include <QProcessEnvironment>
#include <QThread>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <string>

#include "protocol/host_frames.h"
#include "support/window_harness.h"

using namespace harness;

namespace {

// Does process pid hold a descriptor on path?
bool holdsFile(qint64 pid, const std::string& path)
{
    std::error_code error;
    const std::filesystem::path wanted = std::filesystem::canonical(path, error);
    const std::filesystem::path descriptors = "/proc/" + std::to_string(pid) + "/fd";
    for (const auto& entry : std::filesystem::directory_iterator(descriptors, error)) {
        if (std::filesystem::read_symlink(entry.path(), error) == wanted)
            return true;
    }
    return false;
}

// Has process pid set a handler for SIGTERM yet? (SigCgt of its status.)
bool handlesSigterm(qint64 pid)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("SigCgt:", 0) == 0)
            return (std::stoull(line.substr(7), nullptr, 16) >> (SIGTERM - 1) & 1) != 0;
    }
    return false;
}

}  // namespace

TEST(Program, FirstRequestAfterThreeSecondsAndSettingsWrittenOnSigterm)
{
    ScratchDir scratch;
    Pty pty;
    scratch.writeSettings(settingsText(pty.slavePath(), "38400", false, true));

    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    program.setProcessEnvironment(environment);
    program.setWorkingDirectory(scratch.path());
    program.setProcessChannelMode(QProcess::ForwardedChannels);
    QElapsedTimer clock;
    clock.start();
    program.start(QStringLiteral(KALVI7_PROGRAM), {});
    ASSERT_TRUE(program.waitForStarted(5000));

    // The watchdog's first expiry: 0x01 from CheckBox26's change, then again.
    const protocol::RequestFrame request = protocol::buildRequest(0x01);
    Bytes expected(request.begin(), request.end());
    expected.insert(expected.end(), request.begin(), request.end());
    // The watchdog's period counts from the end of start-up, which a busy
    // machine can stretch; the moment the program holds the port marks it.
    Bytes received;
    qint64 firstByteAt = -1;
    qint64 portOpenedAt = -1;
    while (received.size() < expected.size() && clock.elapsed() < 20000) {
        if (portOpenedAt < 0 && holdsFile(program.processId(), pty.slavePath()))
            portOpenedAt = clock.elapsed();
        const Bytes fresh = pty.drain();
        if (!fresh.empty() && firstByteAt < 0)
            firstByteAt = clock.elapsed();
        received.insert(received.end(), fresh.begin(), fresh.end());
        QThread::msleep(5);
    }
    EXPECT_EQ(received, expected);
    EXPECT_GE(firstByteAt, 2900);
    ASSERT_GE(portOpenedAt, 0) << "the port was never seen open";
    EXPECT_LE(firstByteAt - portOpenedAt, 4000)
        << "the first request came " << firstByteAt << " ms after the start and "
        << firstByteAt - portOpenedAt
        << " ms after the port was opened; a machine that holds the program's timer back by a second also "
           "fails this";

    program.terminate();  // SIGTERM
    ASSERT_TRUE(program.waitForFinished(5000));
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 0);
    EXPECT_EQ(scratch.readSettings(), settingsText(pty.slavePath(), "38400", false, true));
}

TEST(Program, SigtermWhileTheStartUpErrorBoxIsOpenStillWritesTheSettings)
{
    ScratchDir scratch;
    const std::string absent = "/dev/kalvi7-no-such-port";
    scratch.writeSettings(settingsText(absent));

    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    program.setProcessEnvironment(environment);
    program.setWorkingDirectory(scratch.path());
    program.setProcessChannelMode(QProcess::ForwardedChannels);
    program.start(QStringLiteral(KALVI7_PROGRAM), {});
    ASSERT_TRUE(program.waitForStarted(5000));
    QThread::msleep(1500);  // the port's error box is up, waiting for OK
    // A busy machine can hold the program's start back longer; a SIGTERM
    // before its handler is set would kill it instead.
    QElapsedTimer clock;
    clock.start();
    while (!handlesSigterm(program.processId()) && clock.elapsed() < 10000)
        QThread::msleep(10);

    program.terminate();
    ASSERT_TRUE(program.waitForFinished(5000));
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 0);
    EXPECT_EQ(scratch.readSettings(), settingsText(absent));
}
