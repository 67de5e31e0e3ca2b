// A capture played back to the real window: the simulator replays
// data/preflight.capture (a few seconds of a radiosonde before launch:
// telemetry, calibration, settings and state once a second, one telemetry
// frame with a bad CRC) into its pseudo-terminal, and the window shows
// what those packets hold. The expected texts come from how the capture
// was made (its "source" note: the launch site, the state flags, the
// simulator's factory calibration and radio settings), not from the window.

#include <gtest/gtest.h>

#include <QLabel>

#include <vector>

#include "support/window_harness.h"
#include "window_on_simulator.h"

using namespace harness;
using e2e::ColourLog;
using e2e::near;

namespace {

// The capture lasts some 3 s and starts when the window opens the port.
constexpr int kDeadlineMs = 10000;

constexpr double kSiteLat = 55.9298;
constexpr double kSiteLon = 37.5217;
constexpr double kSiteHeight = 187.0;

using Replay = e2e::WindowOnSimulator;

TEST_F(Replay, TheWindowShowsTheCapturedPackets)
{
    ASSERT_NO_FATAL_FAILURE(open({"--replay", KALVI7_PREFLIGHT_CAPTURE}));
    ColourLog colours(ui().Label5);

    struct Expected {
        QLabel* label;
        QString text;
    };
    const std::vector<Expected> texts{
        // Calibration: the simulator's factory values.
        {ui().Label17, QStringLiteral("1,50000")},
        {ui().Label55, QStringLiteral("-40,00")},
        {ui().Label56, QStringLiteral("273,150")},
        {ui().Label63, QStringLiteral("240315")},
        {ui().Label64, QStringLiteral("1187")},
        {ui().Label65, QStringLiteral("15.03.24")},
        // Radio settings: frequency code 60, correction 4, bias current
        // code 3, GLONASS and GPS.
        {ui().Label66, QStringLiteral("403000 кГц (60)")},
        {ui().Label67, QStringLiteral("1000 Гц (4)")},
        {ui().Label69, QStringLiteral("2 мА (3)")},
        {ui().Label70, QStringLiteral("ГЛОНАСС+GPS (0)")},
        // State flags 0x02: the navigation module does not answer.
        {ui().Label74, QStringLiteral("OK")},
        {ui().Label75, QStringLiteral("Нет")},
        {ui().Label76, QStringLiteral("OK")},
        // Telemetry: firmware 17, a 3D fix.
        {ui().Label4, QStringLiteral("17")},
        {ui().Label138, QStringLiteral("3D")},
    };
    const auto allShown = [&] {
        for (const auto& e : texts)
            if (e.label->text() != e.text)
                return false;
        // The launch site, from the telemetry's Earth-centred position
        // through the geodetic conversion (the fix scatters by metres).
        return near(ui().Label119, kSiteLat, 0.0001) && near(ui().Label127, kSiteLon, 0.0002) &&
               near(ui().Label128, kSiteHeight, 15.0);
    };
    const bool shown = pumpUntil(allShown, kDeadlineMs);
    QString report;
    for (const auto& e : texts)
        if (e.label->text() != e.text)
            report += e.label->objectName() + QStringLiteral(" \"") + e.label->text() +
                      QStringLiteral("\" not \"") + e.text + QStringLiteral("\"\n");
    report += QStringLiteral("Label119 ") + ui().Label119->text() + QStringLiteral(", Label127 ") +
              ui().Label127->text() + QStringLiteral(", Label128 ") + ui().Label128->text();
    EXPECT_TRUE(shown) << qPrintable(report) << "\n" << sim->errText();

    // The capture's bad frame comes two seconds in, and a good one a
    // second later: played with its timing, both reach the window.
    EXPECT_TRUE(pumpUntil([&] { return colours.sawRedThenBlack(); }, kDeadlineMs))
        << "the packet number was never red and then black again\n"
        << sim->errText();
    EXPECT_EQ(ui().Label5->text(), QStringLiteral("3"))
        << "the last telemetry packet of the capture is number 3";
}

}  // namespace
