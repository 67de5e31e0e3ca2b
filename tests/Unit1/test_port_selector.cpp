// The port selector on the running window: the mouse wheel never changes
// the port; a pick from the opened list or the keyboard on the focused
// selector does.

#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QHelpEvent>
#include <QSignalSpy>
#include <QTest>
#include <QTextDocument>
#include <QToolTip>
#include <QWheelEvent>

#include <memory>

#include "PortUnit/PortUnit.h"
#include "Unit1/PortSelector.h"
#include "Unit1/TForm1.h"
#include "support/window_harness.h"
#include "ui_TForm1.h"

using Unit1::PortSelector;
using Unit1::TForm1;

using namespace harness;

namespace {

const QString kAbsentPort = QStringLiteral("/dev/kalvi7-no-such-port");

class PortSelectorTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        scratch.writeSettings(settingsText(pty.slavePath()));
        form = std::make_unique<TForm1>();
        ASSERT_TRUE(errors.texts.empty());
        // A port that does not open on either side of the radiosonde's, so
        // that a step either way would show.
        selector().insertItem(0, kAbsentPort);
        selector().addItem(kAbsentPort);
        ASSERT_EQ(selected(), QString::fromStdString(pty.slavePath()));
        form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
        QApplication::setActiveWindow(form.get());
        ASSERT_TRUE(PortUnit::IsPortOpen());
    }

    PortSelector& selector() { return *form->ui()->ComboBox3; }
    QString selected() { return selector().currentText(); }

    ScratchDir scratch;
    Pty pty;
    ErrorBoxes errors;
    std::unique_ptr<TForm1> form;
};

TEST_F(PortSelectorTest, TheWheelNeverChangesThePort)
{
    struct Case {
        const char* what;
        QPoint angleDelta;
        QPoint pixelDelta;
        bool focused;
    };
    const Case cases[] = {
        {"one notch up", {0, 120}, {}, false},
        {"one notch down", {0, -120}, {}, false},
        {"three notches down", {0, -360}, {}, false},
        {"a touchpad's pixels", {0, -15}, {0, -30}, false},
        {"sideways", {-120, 0}, {}, false},
        {"one notch up, focused", {0, 120}, {}, true},
        {"one notch down, focused", {0, -120}, {}, true},
    };
    QSignalSpy activated(&selector(), &QComboBox::activated);
    QSignalSpy changed(&selector(), &QComboBox::currentIndexChanged);
    for (const Case& c : cases) {
        if (c.focused)
            selector().setFocus();
        else
            form->ui()->Edit1->setFocus();
        const QPointF centre = QPointF(selector().rect().center());
        QWheelEvent wheel(centre, selector().mapToGlobal(centre), c.pixelDelta, c.angleDelta, Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(&selector(), &wheel);
        pumpFor(20);

        EXPECT_EQ(selected(), QString::fromStdString(pty.slavePath())) << c.what;
        EXPECT_EQ(activated.count(), 0) << c.what;
        EXPECT_EQ(changed.count(), 0) << c.what;
        EXPECT_TRUE(PortUnit::IsPortOpen()) << c.what;
        EXPECT_TRUE(errors.texts.empty()) << c.what;
    }
    // The radiosonde's line is still the window's.
    pty.send(telemetryFrame(5));
    EXPECT_TRUE(pumpUntil([&] { return form->text(telemetry::Field::Label5) == "5"; }, 2000));
}

TEST_F(PortSelectorTest, TheKeyboardOnTheFocusedSelectorChangesThePort)
{
    QSignalSpy activated(&selector(), &QComboBox::activated);
    selector().setFocus();
    ASSERT_TRUE(selector().hasFocus());
    QTest::keyClick(&selector(), Qt::Key_Down);
    EXPECT_EQ(activated.count(), 1);
    EXPECT_EQ(selected(), kAbsentPort);
    // The old line was closed, the new port refused to open.
    EXPECT_FALSE(PortUnit::IsPortOpen());
    EXPECT_EQ(errors.texts.size(), 1u);
}

TEST_F(PortSelectorTest, APickFromTheOpenedListChangesThePort)
{
    QSignalSpy activated(&selector(), &QComboBox::activated);
    // After the window's refresh, which keeps the open port selected, the
    // list gets an entry to pick.
    QObject::connect(&selector(), &PortSelector::aboutToShowPopup, form.get(),
                     [this] { selector().addItem(kAbsentPort); });
    selector().showPopup();
    ASSERT_EQ(selected(), QString::fromStdString(pty.slavePath()));
    QAbstractItemView* list = selector().view();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(list->window()));
    const QRect entry = list->visualRect(selector().model()->index(selector().count() - 1, 0));
    ASSERT_TRUE(list->viewport()->rect().contains(entry.center()));
    // The list takes no release for a pick just after it opened (the
    // release of the click that opened it).
    QTest::qWait(QApplication::doubleClickInterval() + 100);
    QTest::mouseMove(list->viewport(), entry.center());
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, entry.center());
    EXPECT_EQ(activated.count(), 1);
    EXPECT_EQ(selected(), kAbsentPort);
    EXPECT_FALSE(PortUnit::IsPortOpen());
    EXPECT_EQ(errors.texts.size(), 1u);
}

TEST_F(PortSelectorTest, EachEntryCarriesWhatTheSystemKnowsOfItsAdapterAsItsToolTip)
{
    // The system knows nothing of a pseudo-terminal or a missing port: no
    // entry tool tip, and the list shows nothing over them.
    for (const QString& port : {QString::fromStdString(pty.slavePath()), kAbsentPort})
        EXPECT_FALSE(selector().itemData(selector().findText(port), Qt::ToolTipRole).isValid())
            << port.toStdString();

    // A stand-in for the system, which knows the radiosonde's port; one
    // adapter reports markup in its product name, which stays text.
    const QString ptyPort = QString::fromStdString(pty.slavePath());
    const QString description =
        QStringLiteral("USB: 0403:6001\nПроизводитель: FTDI\nСерийный номер: A50285BI");
    selector().setDescriberForTest([&](const QString& port) {
        if (port == ptyPort)
            return description;
        return port == kAbsentPort ? QStringLiteral("Устройство: <b>UART</b>") : QString();
    });
    // The tool tip as the operator reads it: markup rendered, plain text as is.
    const auto shownTip = [this](int row) {
        const QVariant tip = selector().itemData(row, Qt::ToolTipRole);
        if (!tip.isValid())
            return QStringLiteral("(none)");
        if (!Qt::mightBeRichText(tip.toString()))
            return tip.toString();
        QTextDocument rendered;
        rendered.setHtml(tip.toString());
        return rendered.toPlainText();
    };
    const auto expectedTip = [&](const QString& port) {
        return port == ptyPort       ? description
               : port == kAbsentPort ? QStringLiteral("Устройство: <b>UART</b>")
                                     : QStringLiteral("(none)");
    };

    // The entries present, and those the refresh puts in when the list
    // opens (the open port among them, put back after the fresh list).
    for (int row = 0; row < selector().count(); ++row)
        EXPECT_EQ(shownTip(row), expectedTip(selector().itemText(row))) << row;
    QObject::connect(&selector(), &PortSelector::aboutToShowPopup, form.get(),
                     [this] { selector().addItem(kAbsentPort); });
    selector().showPopup();
    for (int row = 0; row < selector().count(); ++row)
        EXPECT_EQ(shownTip(row), expectedTip(selector().itemText(row))) << row;

    // The opened list shows it over the entry; the entries and the
    // selector's own hint stay as they were.
    QAbstractItemView* list = selector().view();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(list->window()));
    const int ptyRow = selector().findText(ptyPort);
    ASSERT_GE(ptyRow, 0);
    const QPoint over = list->visualRect(selector().model()->index(ptyRow, 0)).center();
    QHelpEvent help(QEvent::ToolTip, over, list->viewport()->mapToGlobal(over));
    QApplication::sendEvent(list->viewport(), &help);
    EXPECT_EQ(QToolTip::text(), description);
    selector().hidePopup();
    EXPECT_EQ(selected(), ptyPort);
    EXPECT_TRUE(selector().toolTip().startsWith(QStringLiteral("Используемый порт: ") + ptyPort));
    EXPECT_TRUE(errors.texts.empty());
}

}  // namespace
