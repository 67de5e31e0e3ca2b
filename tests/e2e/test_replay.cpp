// A capture played back to the real window: the simulator replays
// data/preflight.capture (a few seconds of a radiosonde before launch:
// telemetry, calibration, settings and state once a second, one telemetry
// frame with a bad CRC) into its pseudo-terminal, and the window shows
// what those packets hold. The expected texts come from how the capture
// was made (its "source" note: the launch site, the state flags, the
// simulator's factory calibration and radio settings), not from the window.

#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "telemetry/field_legend.h"

#include "support/window_harness.h"
#include "window_on_simulator.h"

using Unit1::TForm1;

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

// What the window shows, one control a line: every display field, the six
// calibration editors and the two spin boxes, as "name<TAB>text".
QString shownTexts(TForm1& form)
{
    QString shown;
    const auto line = [&shown](const QString& name, const QString& text) {
        shown += name + QLatin1Char('\t') + text + QLatin1Char('\n');
    };
    for (const auto& legend : telemetry::kFieldLegend) {
        const QString name = QString::fromLatin1(telemetry::fieldName(legend.field));
        const auto* label = form.findChild<QLabel*>(name);
        line(name, label ? label->text() : QStringLiteral("(missing)"));
    }
    for (int i = 1; i <= 6; ++i) {
        const QString name = QStringLiteral("Edit%1").arg(i);
        const auto* edit = form.findChild<QLineEdit*>(name);
        line(name, edit ? edit->text() : QStringLiteral("(missing)"));
    }
    for (const char* name : {"SpinEdit15", "SpinEdit1"}) {
        const auto* spin = form.findChild<QSpinBox*>(QString::fromLatin1(name));
        line(QString::fromLatin1(name), spin ? spin->text() : QStringLiteral("(missing)"));
    }
    return shown;
}

QString fileText(const char* path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return QString::fromStdString(text.str());
}

// The same packets show the same texts wherever the window runs: this
// snapshot of the whole window after the capture, taken from the Linux
// window and checked against the capture by hand once, is what the window
// cross-built for Windows must show under Wine, down to the last digit of
// every field, editor and spin box.
TEST_F(Replay, EveryFieldEditorAndSpinBoxShowsTheSameTextsOnEverySystem)
{
    ASSERT_NO_FATAL_FAILURE(open({"--replay", KALVI7_PREFLIGHT_CAPTURE}));
    // The last packets of the capture: telemetry number 3 and the radio
    // settings in the spin boxes. Taken at once, before the watchdog blanks
    // the fields 3 s after the last byte.
    const auto settled = [&] {
        return ui().Label5->text() == QStringLiteral("3") && ui().Label76->text() == QStringLiteral("OK") &&
               !ui().Edit1->text().isEmpty() && ui().SpinEdit15->value() == 403000;
    };
    ASSERT_TRUE(pumpUntil(settled, kDeadlineMs)) << qPrintable(shownTexts(*form)) << sim->errText();
    pumpFor(200);  // whatever came in the same burst
    const QString expected = fileText(KALVI7_PREFLIGHT_SHOWN);
    ASSERT_FALSE(expected.isEmpty()) << "no " << KALVI7_PREFLIGHT_SHOWN;
    const QStringList shown = shownTexts(*form).split(QLatin1Char('\n'));
    const QStringList wanted = expected.split(QLatin1Char('\n'));
    QString differences;
    for (qsizetype i = 0; i < std::max(shown.size(), wanted.size()); ++i) {
        const QString got = i < shown.size() ? shown[i] : QStringLiteral("(nothing)");
        const QString want = i < wanted.size() ? wanted[i] : QStringLiteral("(nothing)");
        if (got != want)
            differences += QStringLiteral("shown \"%1\", expected \"%2\"\n").arg(got, want);
    }
    EXPECT_TRUE(differences.isEmpty()) << qPrintable(differences);
}

}  // namespace
