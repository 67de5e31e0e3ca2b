// The running window against a pseudo-terminal that plays the radiosonde:
// the request chain, the display of a telemetry packet, the CRC verdict,
// the link watchdog, the service key chord and the request switches.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QRadioButton>
#include <QSpinBox>
#include <QStatusBar>
#include <QTabWidget>
#include <QTest>
#include <QWindow>

#include <chrono>
#include <memory>
#include <thread>
#include <utility>

#include "PortUnit/PortUnit.h"
#include "Unit1/TForm1.h"
#include "protocol/frame.h"
#include "support/counting_window.h"
#include "support/window_harness.h"
#include "telemetry/telemetry.h"
#include "ui_TForm1.h"

using Unit1::TForm1;

using namespace harness;
using telemetry::Field;

namespace {

class WindowTest : public ::testing::Test {
protected:
    void open(bool continuedMode = false)
    {
        scratch.writeSettings(settingsText(pty.slavePath(), "38400", continuedMode));
        form = std::make_unique<TForm1>();
        ASSERT_TRUE(errors.texts.empty()) << qPrintable(errors.texts.front());
    }

    Ui::TForm1& ui() { return *form->ui(); }
    QColor label5Colour() { return ui().Label5->palette().color(QPalette::WindowText); }

    void showWindow()
    {
        form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    }

    ScratchDir scratch;
    Pty pty;
    ErrorBoxes errors;
    std::unique_ptr<TForm1> form;
    RequestLog requests{pty};
};

TEST_F(WindowTest, OneRequestChainFromTheWatchdogToTheStatePacket)
{
    struct Case {
        bool cyclic;
        // Masks expected after: the expiry, telemetry, calibration, settings, state.
        std::vector<std::vector<std::uint8_t>> masksPerStep;
    };
    const Case cases[] = {
        {false, {{0x01, 0x01}, {0x00, 0x02}, {0x00, 0x04}, {0x00, 0x08}, {0x00}}},
        {true, {{0x81, 0x81}, {0x83}, {0x81, 0x85}, {0x81, 0x89}, {0x81}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.cyclic ? "cyclic telemetry on" : "cyclic telemetry off");
        open(c.cyclic);
        requests.clear();

        const std::function<void()> steps[] = {
            [&] { form->Timer3Timer(); },          [&] { pty.send(telemetryFrame(1)); },
            [&] { pty.send(calibrationFrame()); }, [&] { pty.send(settingsFrame()); },
            [&] { pty.send(stateFrame(0)); },
        };
        std::vector<std::uint8_t> expected;
        for (std::size_t i = 0; i < std::size(steps); ++i) {
            steps[i]();
            expected.insert(expected.end(), c.masksPerStep[i].begin(), c.masksPerStep[i].end());
            ASSERT_TRUE(requests.waitFor(expected.size(), 2000)) << "step " << i;
        }
        pumpFor(100);  // nothing more follows
        EXPECT_EQ(requests.masks(), expected);
        form.reset();
    }
}

TEST_F(WindowTest, TelemetryFillsBothPagesAndTheStatePacketClearsTheLinkIndicator)
{
    open();
    pty.send(telemetryFrame(42));
    ASSERT_TRUE(pumpUntil([&] { return form->text(Field::Label5) == "42"; }, 2000));

    const std::pair<Field, Field> copies[] = {
        {Field::Label47, Field::Label90},  {Field::Label48, Field::Label91},
        {Field::Label49, Field::Label111}, {Field::Label6, Field::Label134},
        {Field::Label21, Field::Label136}, {Field::Label25, Field::Label138},
        {Field::Label77, Field::Label119}, {Field::Label78, Field::Label127},
        {Field::Label79, Field::Label128}, {Field::Label82, Field::Label131},
        {Field::Label83, Field::Label132}, {Field::Label85, Field::Label113},
    };
    for (const auto& [source, copy] : copies) {
        SCOPED_TRACE(telemetry::fieldName(source));
        EXPECT_NE(form->text(source), "0") << "not written";
        EXPECT_EQ(form->text(copy), form->text(source));
    }
    EXPECT_EQ(ui().Label47->text(), QStringLiteral("23,45"));
    EXPECT_EQ(ui().Label52->text(), QStringLiteral("2048 (3,30 В)"));
    EXPECT_TRUE(ui().RadioButton1->isChecked());

    pty.send(stateFrame(0x83));
    ASSERT_TRUE(pumpUntil([&] { return form->text(Field::Label74) == "Нет"; }, 2000));
    EXPECT_FALSE(ui().RadioButton1->isChecked());
}

TEST_F(WindowTest, PacketNumberTurnsRedOnABadCrcAndBlackOnTheNextGoodFrame)
{
    open();
    Bytes damaged = telemetryFrame(5);
    damaged.back() ^= 0xFF;
    pty.send(damaged);
    ASSERT_TRUE(pumpUntil([&] { return label5Colour() == QColor(255, 0, 0); }, 2000));
    EXPECT_EQ(form->text(Field::Label5), "0") << "a bad frame is not decoded";

    pty.send(telemetryFrame(6));
    ASSERT_TRUE(pumpUntil([&] { return form->text(Field::Label5) == "6"; }, 2000));
    EXPECT_EQ(label5Colour(), QColor(0, 0, 0));
}

TEST_F(WindowTest, SilenceBlanksEveryFieldAndAsksAgain)
{
    open();
    pty.send(telemetryFrame(9));
    ASSERT_TRUE(pumpUntil([&] { return form->text(Field::Label5) == "9"; }, 2000));
    // CheckBox26 was never checked: only CheckBox32's change sends.
    ASSERT_TRUE(requests.waitFor(1, 2000));
    EXPECT_EQ(requests.masks(), std::vector<std::uint8_t>{0x02});
    requests.clear();

    form->setWatchdogIntervalForTest(200);
    ASSERT_TRUE(requests.waitFor(2, 2000));
    // The calibration packet is still awaited, so its bit goes out with 0x01.
    EXPECT_EQ(requests.masks(), (std::vector<std::uint8_t>{0x03, 0x03}));
    for (Field field : telemetry::kWatchdogFields)
        EXPECT_EQ(form->text(field), "-") << telemetry::fieldName(field);
    for (int i = 0; i < telemetry::kEditorCount; ++i)
        EXPECT_EQ(form->editText(static_cast<telemetry::Editor>(i)), "-");
}

TEST_F(WindowTest, ServiceChordTogglesThePagesAndSizesTheWindow)
{
    open();
    showWindow();
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Блок предполётной подготовки КАЛВИ-7 v 1.3"));
    EXPECT_FALSE(form->windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
    EXPECT_EQ(form->minimumSize(), form->maximumSize()) << "the window cannot be resized";

    ui().SpinEdit15->setFocus();
    const QPoint corner = form->frameGeometry().topLeft();
    QWindow* window = form->windowHandle();
    const auto chord = Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier;

    struct Press {
        const char* what;
        int key;
        Qt::KeyboardModifiers modifiers;
        int pageAfter;
    };
    const Press presses[] = {
        {"Ctrl+Tab, the page control's own page key", Qt::Key_Tab, Qt::ControlModifier, 0},
        {"Ctrl+Alt without Shift", Qt::Key_K, Qt::ControlModifier | Qt::AltModifier, 0},
        {"Ctrl+Shift without Alt", Qt::Key_K, Qt::ControlModifier | Qt::ShiftModifier, 0},
        {"the three with another letter", Qt::Key_J, chord, 0},
        {"the chord", Qt::Key_K, chord, 1},
        {"the chord on the service page", Qt::Key_K, chord, 0},
        {"the chord on a Russian layout", 0x041B, chord, 1},
    };
    for (const Press& press : presses) {
        SCOPED_TRACE(press.what);
        // Only the Cyrillic letter carries its text; Qt's key codes above
        // 0xFFFF (Tab and the like) are no characters.
        const bool letter = press.key > 0x7F && press.key <= 0xFFFF;
        const QString text = letter ? QString(QChar(press.key)) : QString();
        QTest::sendKeyEvent(QTest::Click, window, static_cast<Qt::Key>(press.key), text, press.modifiers);
        pumpFor(20);
        ASSERT_EQ(ui().PageControl1->currentIndex(), press.pageAfter);
        const QSize outer = press.pageAfter == 0 ? QSize(394, 362) : QSize(659, 482);
        const QSize pages = press.pageAfter == 0 ? QSize(390, 320) : QSize(649, 435);
        EXPECT_EQ(form->frameGeometry().size(), outer);
        EXPECT_EQ(ui().PageControl1->size(), pages);
        EXPECT_EQ(form->frameGeometry().topLeft(), corner);
        EXPECT_EQ(ui().StatusBar1->geometry().bottom(), form->height() - 1);
    }
}

TEST_F(WindowTest, OnlyTheOperatorsRequestSwitchesTakeClicks)
{
    open();
    showWindow();
    form->FormKeyDown(Qt::Key_K, Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier, 0, 0);
    requests.clear();

    // CheckBox26 and the link indicator look enabled but ignore the operator.
    EXPECT_TRUE(ui().CheckBox26->isEnabled());
    QTest::mouseClick(ui().CheckBox26, Qt::LeftButton);
    QTest::keyClick(ui().CheckBox26, Qt::Key_Space);
    QTest::mouseClick(ui().RadioButton1, Qt::LeftButton);
    pumpFor(50);
    EXPECT_FALSE(ui().CheckBox26->isChecked());
    EXPECT_FALSE(ui().RadioButton1->isChecked());
    EXPECT_TRUE(requests.masks().empty());

    QTest::mouseClick(ui().CheckBox32, Qt::LeftButton);
    ASSERT_TRUE(requests.waitFor(1, 1000));
    EXPECT_TRUE(ui().CheckBox32->isChecked());
    EXPECT_EQ(requests.masks(), std::vector<std::uint8_t>{0x02});

    // The cyclic switch sends nothing itself; its bit rides on the next frame.
    QTest::mouseClick(ui().CheckBox54, Qt::LeftButton);
    pumpFor(50);
    EXPECT_EQ(requests.masks().size(), 1u);
    QTest::mouseClick(ui().CheckBox43, Qt::LeftButton);
    ASSERT_TRUE(requests.waitFor(2, 1000));
    EXPECT_EQ(requests.masks().back(), 0x8A);
}

// A line faster than the window: while the window is busy the reader stops
// at the limit of untaken byte messages and the rest of the bytes wait in
// the terminal; once the window runs again every frame arrives, in order.
TEST_F(WindowTest, ALineFasterThanTheWindowIsHeldBackAndLosesNoFrame)
{
    scratch.writeSettings(settingsText(pty.slavePath()));
    auto counting = std::make_unique<support::CountingWindow>();
    ASSERT_TRUE(errors.texts.empty()) << qPrintable(errors.texts.front());

    constexpr int frameCount = 600;  // 33 600 bytes, four limits' worth
    Bytes line;
    for (int i = 0; i < frameCount; ++i) {
        const Bytes frame = telemetryFrame(static_cast<std::uint8_t>(i));
        line.insert(line.end(), frame.begin(), frame.end());
    }
    std::thread radiosonde([&] { pty.send(line); });

    // The window is busy elsewhere (no events handled) while the reader
    // reads up to the limit, however long a busy machine makes that take.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (PortUnit::ByteMessagesInFlight() < PortUnit::ByteMessagesInFlightLimit - 256 &&
           std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_LE(PortUnit::ByteMessagesInFlight(), PortUnit::ByteMessagesInFlightLimit);
    EXPECT_GE(PortUnit::ByteMessagesInFlight(), PortUnit::ByteMessagesInFlightLimit - 256)
        << "the reader should have read up to the limit";

    // The window's own requests are read off as it goes, so that they never
    // fill the line back.
    EXPECT_TRUE(pumpUntil(
        [&] {
            pty.drain();
            return counting->telemetryFrames == std::uint64_t{frameCount};
        },
        20000))
        << counting->telemetryFrames << " of " << frameCount << " frames";
    radiosonde.join();
    EXPECT_EQ(counting->numberGaps, 0u);
    EXPECT_EQ(PortUnit::ByteMessagesInFlight(), 0);
}

}  // namespace
