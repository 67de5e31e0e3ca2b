// The real program, started as the operator starts it: in a directory whose
// settings.INI names a pseudo-terminal, ended by SIGTERM.

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QProcess>
#include <QProcessEnvironment>
#include <QThread>

#include "host_frames.h"
#include "window_harness.h"

using namespace harness;

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
    Bytes received;
    qint64 firstByteAt = -1;
    while (received.size() < expected.size() && clock.elapsed() < 8000) {
        const Bytes fresh = pty.drain();
        if (!fresh.empty() && firstByteAt < 0)
            firstByteAt = clock.elapsed();
        received.insert(received.end(), fresh.begin(), fresh.end());
        QThread::msleep(5);
    }
    EXPECT_EQ(received, expected);
    EXPECT_GE(firstByteAt, 2900);
    EXPECT_LE(firstByteAt, 5000);

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

    program.terminate();
    ASSERT_TRUE(program.waitForFinished(5000));
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 0);
    EXPECT_EQ(scratch.readSettings(), settingsText(absent));
}
