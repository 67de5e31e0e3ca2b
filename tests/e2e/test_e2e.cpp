// The real window against the simulated radiosonde, the whole way round:
// the simulator's process and pseudo-terminal, the port driver's reader
// thread, the receiver, the decoders, the request chain and the editors'
// write frames. Every wait polls a condition against a deadline.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QSpinBox>
#include <QStatusBar>
#include <QTest>
#include <QTime>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "support/window_harness.h"
#include "window_on_simulator.h"

using namespace harness;
using e2e::ColourLog;
using e2e::near;

namespace {

// A link that starts, chains and answers well within this; the first
// request goes out after the window's 3-second watchdog.
constexpr int kDeadlineMs = 8000;

// The launch site given to the simulator: southern and western, so that the
// signs and the 0..360 longitude of the display are on the path.
constexpr double kSiteLat = -34.6037;
constexpr double kSiteLon = -58.3816;
constexpr double kShownLon = kSiteLon + 360.0;  // longitude is shown eastward
// The simulator scatters its fix by a couple of metres per axis; the shown
// latitude must stay within that, some 11 m (a latitude off by tens of
// metres reads to the operator as a bad fix).
constexpr double kLatitudeTolerance = 0.0001;

class EndToEnd : public e2e::WindowOnSimulator {
protected:
    // The simulator at the launch site, sending at once, with the test's
    // own options first.
    void openAtSite(std::vector<std::string> simOptions)
    {
        const auto degrees = [](double value) { return QString::number(value, 'f', 4).toStdString(); };
        simOptions.insert(simOptions.end(), {"--warmup", "0", "--lat", degrees(kSiteLat), "--lon",
                                             degrees(kSiteLon), "--seed", "7"});
        open(simOptions);
    }

    void TearDown() override
    {
        WindowOnSimulator::TearDown();
        if (sim) {
            EXPECT_TRUE(sim->running()) << "the simulator ended early:\n" << sim->errText();
        }
    }

    QString status() { return form->findChild<QLabel*>(QStringLiteral("StatusBar1Panel"))->text(); }
    std::vector<QLineEdit*> editors()
    {
        return {ui().Edit1, ui().Edit2, ui().Edit3, ui().Edit4, ui().Edit5, ui().Edit6};
    }
    QStringList editorTexts()
    {
        QStringList texts;
        for (QLineEdit* edit : editors())
            texts << edit->text();
        return texts;
    }
    QStringList calibrationFields()
    {
        return {ui().Label17->text(), ui().Label55->text(), ui().Label56->text(),
                ui().Label63->text(), ui().Label64->text(), ui().Label65->text()};
    }

    // The acknowledgement: the code's text and a local time close to now.
    static bool acknowledged(const QString& text, const QString& prefix)
    {
        static const QRegularExpression stamp(QStringLiteral("^(\\d\\d)\\D(\\d\\d)\\D(\\d\\d)$"));
        if (!text.startsWith(prefix))
            return false;
        const auto match = stamp.match(text.mid(prefix.size()));
        if (!match.hasMatch())
            return false;
        const int shown =
            match.captured(1).toInt() * 3600 + match.captured(2).toInt() * 60 + match.captured(3).toInt();
        const int now = QTime::currentTime().msecsSinceStartOfDay() / 1000;
        const int apart = std::abs(now - shown) % 86400;
        return std::min(apart, 86400 - apart) <= 5;
    }
};

TEST_F(EndToEnd, SiteCalibrationAndBothWritesComeBackFromTheRadiosonde)
{
    ASSERT_NO_FATAL_FAILURE(openAtSite({}));

    // The operator page shows where the radiosonde stands.
    ASSERT_TRUE(pumpUntil(
        [&] {
            return near(ui().Label119, kSiteLat, kLatitudeTolerance) && near(ui().Label127, kShownLon, 0.001);
        },
        kDeadlineMs))
        << "Label119 " << qPrintable(ui().Label119->text()) << ", Label127 "
        << qPrintable(ui().Label127->text()) << "\n"
        << sim->errText();
    EXPECT_EQ(ui().Label138->text(), QStringLiteral("3D"));

    // The simulator's factory calibration reaches the editors of the operator page.
    const QStringList factory{QStringLiteral("1,50000"), QStringLiteral("-40,00"),
                              QStringLiteral("273,150"), QStringLiteral("240315"),
                              QStringLiteral("1187"),    QStringLiteral("15.03.24")};
    ASSERT_TRUE(pumpUntil([&] { return editorTexts() == factory; }, kDeadlineMs))
        << qPrintable(editorTexts().join(QStringLiteral(" | ")));
    EXPECT_EQ(calibrationFields(), factory);

    // Carrier frequency: 405250 kHz is code 105, and it comes back in the
    // settings packet of the next chain.
    ui().SpinEdit15->setValue(405250);
    ui().SpeedButton1->click();
    EXPECT_TRUE(
        pumpUntil([&] { return ui().Label66->text() == QStringLiteral("405250 кГц (105)"); }, kDeadlineMs))
        << qPrintable(ui().Label66->text());
    EXPECT_TRUE(pumpUntil([&] { return acknowledged(status(), QStringLiteral("Настройки сохранены ")); },
                          kDeadlineMs))
        << qPrintable(status());

    // Calibration: "Изменить", type new values through the key filter, "Сохранить".
    ui().SpeedButton4->click();
    ASSERT_FALSE(ui().Edit1->isReadOnly());
    for (QLineEdit* edit : editors())
        edit->clear();
    // A separator is accepted only while Edit3 holds none, so Edit3 comes last;
    // the date's "," separators are what a typed "." becomes.
    const std::vector<std::pair<QLineEdit*, const char*>> typing{
        {ui().Edit6, "01.02.25"}, {ui().Edit1, "2,25"}, {ui().Edit2, "41.5"},
        {ui().Edit4, "987654"},   {ui().Edit5, "4321"}, {ui().Edit3, "300,125"}};
    for (const auto& [edit, keys] : typing)
        QTest::keyClicks(edit, QString::fromUtf8(keys));
    ASSERT_EQ(editorTexts(),
              (QStringList{QStringLiteral("2,25"), QStringLiteral("41,5"), QStringLiteral("300,125"),
                           QStringLiteral("987654"), QStringLiteral("4321"), QStringLiteral("01,02,25")}));

    // While the operator edits, the calibration packets that keep coming
    // (the decoder clears CheckBox32 for each) leave the typing alone.
    int calibrationPackets = 0;
    const auto counter = QObject::connect(ui().CheckBox32, &QCheckBox::toggled,
                                          [&](bool on) { calibrationPackets += on ? 0 : 1; });
    EXPECT_TRUE(pumpUntil([&] { return calibrationPackets >= 1; }, kDeadlineMs));
    QObject::disconnect(counter);
    EXPECT_EQ(editorTexts()[0], QStringLiteral("2,25"));
    EXPECT_EQ(ui().Label17->text(), QStringLiteral("1,50000"));

    ui().SpeedButton5->click();
    EXPECT_TRUE(ui().Edit1->isReadOnly());
    EXPECT_TRUE(pumpUntil([&] { return acknowledged(status(), QStringLiteral("Градуировки сохранены ")); },
                          kDeadlineMs))
        << qPrintable(status());
    const QStringList written{QStringLiteral("2,25000"), QStringLiteral("41,50"), QStringLiteral("300,125"),
                              QStringLiteral("987654"),  QStringLiteral("4321"),  QStringLiteral("01.02.25")};
    EXPECT_TRUE(
        pumpUntil([&] { return calibrationFields() == written && editorTexts() == written; }, kDeadlineMs))
        << "fields " << qPrintable(calibrationFields().join(QStringLiteral(" | "))) << "\neditors "
        << qPrintable(editorTexts().join(QStringLiteral(" | ")));

    // The frequency written before is still what the radiosonde reports.
    EXPECT_EQ(ui().Label66->text(), QStringLiteral("405250 кГц (105)"));
}

TEST_F(EndToEnd, PacketNumberTurnsRedOnABadChecksumAndBlackOnTheNextGoodFrame)
{
    ASSERT_NO_FATAL_FAILURE(openAtSite({"--bad-crc", "3"}));
    ColourLog colours(ui().Label5);

    ASSERT_TRUE(pumpUntil([&] { return colours.sawRedThenBlack(); }, kDeadlineMs))
        << colours.colours.size() << " colour changes\n"
        << sim->errText();
    // The bad frames are dropped and the good ones still get through.
    EXPECT_TRUE(pumpUntil([&] { return near(ui().Label119, kSiteLat, kLatitudeTolerance); }, kDeadlineMs))
        << qPrintable(ui().Label119->text());
}

}  // namespace
