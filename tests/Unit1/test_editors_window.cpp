// The parameter and calibration editors on the real window, offscreen. The
// bytes the handlers write are captured by a window whose port write is
// recorded instead of going to a serial line.

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QTimer>

#include <cstring>
#include <vector>

#include "Unit1/TForm1.h"
#include "protocol/crc16.h"
#include "protocol/host_frames.h"
#include "support/window_harness.h"

using Unit1::TForm1;

namespace {

using Bytes = std::vector<std::uint8_t>;

class RecordingForm : public TForm1 {
public:
    void writeComByte(std::uint8_t byte) override { written.push_back(byte); }
    Bytes written;
};

// Closes every modal message box that opens while it lives, after noting
// what it showed, so that a test never waits on a dialog.
class ModalBoxCloser {
public:
    struct Seen {
        QString title;
        QString text;
        QMessageBox::Icon icon;
        QMessageBox::StandardButtons buttons;
    };

    ModalBoxCloser()
    {
        timer_.setInterval(10);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box)
                return;
            seen.push_back({box->windowTitle(), box->text(), box->icon(), box->standardButtons()});
            box->done(QMessageBox::Ok);
        });
        timer_.start();
    }

    std::vector<Seen> seen;

private:
    QTimer timer_;
};

// The colour the editor is drawn in, taken right of its text.
QColor shownBackground(QLineEdit& edit)
{
    const QImage image = edit.grab().toImage();
    return image.pixelColor(image.width() - 4, image.height() / 2);
}

template <std::size_t N>
Bytes bytesOf(const std::array<std::uint8_t, N>& frame)
{
    return Bytes(frame.begin(), frame.end());
}

class EditorsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        // Only the editors write in these tests; the watchdog keeps quiet.
        form.setWatchdogIntervalForTest(600000);
        form.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
        form.written.clear();
    }

    template <typename W>
    W* widget(const char* name)
    {
        W* found = form.findChild<W*>(QString::fromLatin1(name));
        if (!found)
            ADD_FAILURE() << "no control " << name;
        return found;
    }
    std::array<QLineEdit*, 6> edits()
    {
        return {widget<QLineEdit>("Edit1"), widget<QLineEdit>("Edit2"), widget<QLineEdit>("Edit3"),
                widget<QLineEdit>("Edit4"), widget<QLineEdit>("Edit5"), widget<QLineEdit>("Edit6")};
    }
    void setTexts(const std::array<const char*, 6>& texts)
    {
        for (std::size_t i = 0; i < texts.size(); ++i)
            edits()[i]->setText(QString::fromUtf8(texts[i]));
    }
    std::array<QString, 6> texts()
    {
        std::array<QString, 6> all;
        for (std::size_t i = 0; i < all.size(); ++i)
            all[i] = edits()[i]->text();
        return all;
    }
    bool inEditMode() { return !widget<QLineEdit>("Edit1")->isReadOnly(); }
    void enterEditMode()
    {
        ASSERT_FALSE(inEditMode());
        widget<QPushButton>("SpeedButton4")->click();
        ASSERT_TRUE(inEditMode());
    }

    harness::ScratchDir scratch;  // settings.INI stays out of the build tree
    RecordingForm form;
};

// ---------------------------------------------------------------- parameters

TEST_F(EditorsTest, FrequencyButtonSendsTheCodeOfTheSpinText)
{
    // 403000 kHz, the start value, as the radiosonde's manual lists it.
    widget<QPushButton>("SpeedButton1")->click();
    EXPECT_EQ(form.written, (Bytes{0xAA, 0xAA, 0xBF, 0x35, 0x03, 0x09, 0x01, 0x3C, 0x00, 0x00, 0x03, 0x00,
                                   0x00, 0x3B, 0x96}));

    struct Case {
        int value;
        std::uint8_t code;
    };
    for (const Case c : {Case{406000, 120}, Case{400000, 0}, Case{405000, 100}}) {
        form.written.clear();
        widget<QSpinBox>("SpinEdit15")->setValue(c.value);
        widget<QPushButton>("SpeedButton1")->click();
        EXPECT_EQ(form.written, bytesOf(protocol::buildFrequencyCommand(c.code))) << c.value;
    }

    // A value typed off the 50 kHz grid goes out as the step below it.
    form.written.clear();
    widget<QSpinBox>("SpinEdit15")->selectAll();
    QTest::keyClicks(widget<QSpinBox>("SpinEdit15"), "403020");
    ASSERT_EQ(widget<QSpinBox>("SpinEdit15")->text(), QStringLiteral("403020"));
    widget<QPushButton>("SpeedButton1")->click();
    EXPECT_EQ(form.written, bytesOf(protocol::buildFrequencyCommand(60)));
}

TEST_F(EditorsTest, NavigationModeButtonSendsTheSelectedIndex)
{
    widget<QComboBox>("ComboBox16")
        ->setCurrentIndex(widget<QComboBox>("ComboBox16")->findText(QStringLiteral("GPS")));
    widget<QPushButton>("SpeedButton2")->click();
    EXPECT_EQ(form.written, (Bytes{0xAA, 0xAA, 0xBF, 0x35, 0x03, 0x09, 0x10, 0x00, 0x00, 0x00, 0x03, 0x00,
                                   0x02, 0xBE, 0x6A}));
}

TEST_F(EditorsTest, GainEditorIsLockedUnlessTheSettingsEnableIt)
{
    EXPECT_FALSE(widget<QSpinBox>("SpinEdit1")->isEnabled());
    EXPECT_FALSE(widget<QPushButton>("SpeedButton3")->isEnabled());
    QTest::mouseClick(widget<QPushButton>("SpeedButton3"), Qt::LeftButton);
    EXPECT_TRUE(form.written.empty());

    // The handler itself sends the gain, 30 at start.
    form.SpeedButton3Click();
    EXPECT_EQ(form.written, (Bytes{0xAA, 0xAA, 0xBF, 0x35, 0x03, 0x09, 0x02, 0x00, 0x1E, 0x00, 0x03, 0x00,
                                   0x00, 0xA5, 0xA8}));
    EXPECT_FALSE(widget<QSpinBox>("SpinEdit1")->isEnabled());
    EXPECT_FALSE(widget<QPushButton>("SpeedButton3")->isEnabled());
}

// ---------------------------------------------------------------- edit mode

TEST_F(EditorsTest, ChangeAndCancelToggleTheEditMode)
{
    const QColor windowColour = QApplication::palette().color(QPalette::Base);
    const QColor buttonFace = QApplication::palette().color(QPalette::Button);

    widget<QPushButton>("SpeedButton4")->click();
    for (QLineEdit* edit : edits()) {
        EXPECT_FALSE(edit->isReadOnly()) << edit->objectName().toStdString();
        EXPECT_TRUE(edit->hasFrame()) << edit->objectName().toStdString();
        EXPECT_EQ(shownBackground(*edit), windowColour) << edit->objectName().toStdString();
    }
    EXPECT_EQ(widget<QPushButton>("SpeedButton4")->text(), QStringLiteral("Отмена"));
    EXPECT_TRUE(widget<QPushButton>("SpeedButton5")->isVisible());

    // What was typed stays after "Отмена".
    widget<QLineEdit>("Edit2")->setText(QStringLiteral("12,5"));
    widget<QPushButton>("SpeedButton4")->click();
    for (QLineEdit* edit : edits()) {
        EXPECT_TRUE(edit->isReadOnly()) << edit->objectName().toStdString();
        EXPECT_FALSE(edit->hasFrame()) << edit->objectName().toStdString();
        EXPECT_EQ(shownBackground(*edit), buttonFace) << edit->objectName().toStdString();
    }
    EXPECT_EQ(widget<QPushButton>("SpeedButton4")->text(), QStringLiteral("Изменить"));
    EXPECT_FALSE(widget<QPushButton>("SpeedButton5")->isVisible());
    EXPECT_EQ(widget<QLineEdit>("Edit2")->text(), QStringLiteral("12,5"));
    EXPECT_TRUE(form.written.empty());
}

// ---------------------------------------------------------------- write

TEST_F(EditorsTest, SuccessfulWriteSendsTheFrameAndLeavesEditMode)
{
    enterEditMode();
    setTexts({"1,5", "-40", "273,15", "123456", "4294967295", "01.02.03"});
    ModalBoxCloser boxes;
    widget<QPushButton>("SpeedButton5")->click();
    EXPECT_TRUE(boxes.seen.empty());

    ASSERT_EQ(form.written.size(), 58u);
    const Bytes& w = form.written;
    const std::uint8_t* body = w.data() + 4;
    EXPECT_EQ(Bytes(w.begin(), w.begin() + 4), (Bytes{0xAA, 0xAA, 0xBF, 0x35}));
    EXPECT_EQ(Bytes(body, body + 4), (Bytes{0x02, 52, 0xB1, 0x55}));
    EXPECT_EQ(Bytes(body + 4, body + 8), (Bytes{0x00, 0x00, 0xC0, 0x3F}));   // 1.5f
    EXPECT_EQ(Bytes(body + 8, body + 12), (Bytes{0x00, 0x00, 0x20, 0xC2}));  // -40.0f
    float c = 0;
    std::memcpy(&c, body + 12, 4);
    EXPECT_EQ(c, 273.15f);
    EXPECT_EQ(Bytes(body + 16, body + 40), Bytes(24, 0));
    EXPECT_EQ(Bytes(body + 40, body + 44), (Bytes{0x40, 0xE2, 0x01, 0x00}));  // 123456
    EXPECT_EQ(Bytes(body + 44, body + 48), (Bytes{0xFF, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(Bytes(body + 48, body + 52), (Bytes{0xDB, 0x27, 0x00, 0x00}));  // 10203
    const std::uint16_t crc = protocol::crc16calc(std::span<const std::uint8_t>(body, 52), 52);
    EXPECT_EQ(w[56], crc & 0xFF);
    EXPECT_EQ(w[57], crc >> 8);

    EXPECT_FALSE(inEditMode());
    EXPECT_EQ(widget<QPushButton>("SpeedButton4")->text(), QStringLiteral("Изменить"));
    EXPECT_FALSE(widget<QPushButton>("SpeedButton5")->isVisible());
    EXPECT_EQ(widget<QLineEdit>("Edit1")->text(), QStringLiteral("1,5"));
}

TEST_F(EditorsTest, RefusedWriteNamesTheFieldAndKeepsEverything)
{
    const char* const coefficients = "Ошибка при вводе коэффициентов";
    struct Case {
        std::array<const char*, 6> texts;
        std::size_t refused;  // the editor named and given the focus
        const char* message;
    };
    const Case cases[] = {
        {{"", "2", "3", "4", "5", "06.07.08"}, 0, coefficients},     // empty coefficient
        {{"1.5", "2", "3", "4", "5", "06.07.08"}, 0, coefficients},  // pasted with a point
        {{"1,5", "1,5,5", "3", "4", "5", "06.07.08"}, 1, coefficients},
        {{"1,5", "2", "1E39", "4", "5", "06.07.08"}, 2, coefficients},  // beyond single precision
        {{"1,5", "x", "3", "-", "-", "-"}, 1, coefficients},            // the first that fails
        // After a link drop the numbers and the date hold "-"; the operator
        // retyped A, B and C, which are fine.
        {{"1,5", "2", "3", "-", "-", "-"}, 3, "Ошибка при вводе поля «№ р/з»"},
        {{"1,5", "2", "3", "4", "-", "-"}, 4, "Ошибка при вводе поля «№ б/д»"},
        {{"1,5", "2", "3", "4", "4294967296", "06.07.08"}, 4, "Ошибка при вводе поля «№ б/д»"},
        {{"1,5", "2", "3", "4", "5", "-"}, 5, "Ошибка при вводе поля «Дата»"},
        {{"1,5", "2", "3", "4", "5", "1.2.3"}, 5, "Ошибка при вводе поля «Дата»"},
    };
    enterEditMode();
    QApplication::setActiveWindow(&form);
    for (const Case& c : cases) {
        setTexts(c.texts);
        widget<QSpinBox>("SpinEdit15")->setFocus();
        const auto before = texts();
        form.written.clear();

        ModalBoxCloser boxes;
        widget<QPushButton>("SpeedButton5")->click();

        const std::string label = "Edit" + std::to_string(c.refused + 1) + " \"" + c.texts[c.refused] + "\"";
        ASSERT_EQ(boxes.seen.size(), 1u) << label;
        EXPECT_EQ(boxes.seen[0].title, QStringLiteral("Error")) << label;
        EXPECT_EQ(boxes.seen[0].text, QString::fromUtf8(c.message)) << label;
        EXPECT_EQ(boxes.seen[0].icon, QMessageBox::Critical) << label;
        EXPECT_EQ(boxes.seen[0].buttons, QMessageBox::StandardButtons(QMessageBox::Ok)) << label;
        EXPECT_TRUE(form.written.empty()) << label;
        EXPECT_TRUE(inEditMode()) << label;
        EXPECT_TRUE(widget<QPushButton>("SpeedButton5")->isVisible()) << label;
        EXPECT_EQ(texts(), before) << label;
        // The operator is left in the field, its text selected to be typed over.
        QLineEdit* refused = edits()[c.refused];
        EXPECT_EQ(form.focusWidget(), refused) << label;
        EXPECT_EQ(refused->selectedText(), refused->text()) << label;
    }
}

// ---------------------------------------------------------------- key filter

TEST_F(EditorsTest, KeyFilterOnTypedCharacters)
{
    enterEditMode();
    struct Case {
        QLineEdit* edit;
        const char* start;
        const char* typed;  // one key click per character
        const char* result;
    };
    const Case cases[] = {
        {widget<QLineEdit>("Edit1"), "", "12", "12"},
        {widget<QLineEdit>("Edit1"), "", "-1", "1"},
        {widget<QLineEdit>("Edit2"), "", "a b", ""},
        {widget<QLineEdit>("Edit1"), "1", ".5", "1,5"},    // "." enters as ","
        {widget<QLineEdit>("Edit1"), "1", ",5,.", "1,5"},  // one separator in a coefficient
        {widget<QLineEdit>("Edit3"), "2", ",5", "2,5"},
        {widget<QLineEdit>("Edit4"), "12", ".,", "12"},  // none in the numbers
        {widget<QLineEdit>("Edit5"), "", "7.", "7"},
        {widget<QLineEdit>("Edit6"), "", "01.02,03.", "01,02,03"},  // two in the date
        {widget<QLineEdit>("Edit6"), "01.02.0", "3.", "01.02.03"},
    };
    for (const Case& c : cases) {
        c.edit->setText(QString::fromUtf8(c.start));
        QTest::keyClicks(c.edit, QString::fromUtf8(c.typed));
        EXPECT_EQ(c.edit->text(), QString::fromUtf8(c.result))
            << c.edit->objectName().toStdString() << " typed \"" << c.typed << "\"";
    }

    // Editing keys still work: Backspace, Delete and the cursor keys.
    QLineEdit* number = widget<QLineEdit>("Edit4");
    number->setText(QStringLiteral("123"));
    number->end(false);
    QTest::keyClick(number, Qt::Key_Backspace);
    QTest::keyClick(number, Qt::Key_Home);
    QTest::keyClick(number, '9');
    EXPECT_EQ(number->text(), QStringLiteral("912"));
    QTest::keyClick(number, Qt::Key_Delete);
    EXPECT_EQ(number->text(), QStringLiteral("92"));  // the caret stood after the 9
}

TEST_F(EditorsTest, ClipboardShortcutsAreRefused)
{
    enterEditMode();
    QApplication::clipboard()->setText(QStringLiteral("-7.5"));
    widget<QLineEdit>("Edit1")->setText(QStringLiteral("3"));
    widget<QLineEdit>("Edit1")->end(false);

    QTest::keyClick(widget<QLineEdit>("Edit1"), Qt::Key_V, Qt::ControlModifier);
    QTest::keyClick(widget<QLineEdit>("Edit1"), Qt::Key_Insert, Qt::ShiftModifier);
    // As the keyboard delivers Ctrl+V: the control character 0x16.
    QKeyEvent ctrlV(QEvent::KeyPress, Qt::Key_V, Qt::ControlModifier, QStringLiteral("\x16"));
    QApplication::sendEvent(widget<QLineEdit>("Edit1"), &ctrlV);
    EXPECT_EQ(widget<QLineEdit>("Edit1")->text(), QStringLiteral("3"));

    widget<QLineEdit>("Edit1")->selectAll();
    QTest::keyClick(widget<QLineEdit>("Edit1"), Qt::Key_X, Qt::ControlModifier);
    EXPECT_EQ(widget<QLineEdit>("Edit1")->text(), QStringLiteral("3"));
}

TEST_F(EditorsTest, EnterMovesTheFocusOnInViewAndEditMode)
{
    QApplication::setActiveWindow(&form);
    for (bool editMode : {false, true}) {
        if (editMode)
            enterEditMode();
        widget<QLineEdit>("Edit3")->setFocus();
        ASSERT_EQ(form.focusWidget(), widget<QLineEdit>("Edit3"));
        QTest::keyClick(widget<QLineEdit>("Edit3"), Qt::Key_Return);
        EXPECT_EQ(form.focusWidget(), widget<QLineEdit>("Edit4")) << "edit mode " << editMode;
        EXPECT_EQ(widget<QLineEdit>("Edit3")->text(), QStringLiteral("0"));

        // Tab itself still moves on.
        QTest::keyClick(widget<QLineEdit>("Edit4"), Qt::Key_Tab);
        EXPECT_EQ(form.focusWidget(), widget<QLineEdit>("Edit5")) << "edit mode " << editMode;

        // From the last editor the focus leaves the group.
        widget<QLineEdit>("Edit6")->setFocus();
        QTest::keyClick(widget<QLineEdit>("Edit6"), Qt::Key_Enter, Qt::KeypadModifier);
        for (QLineEdit* edit : edits())
            EXPECT_NE(form.focusWidget(), edit) << "edit mode " << editMode;
    }
}

// ---------------------------------------------------------------- decoders

namespace {

Bytes calibrationPacket(float a, std::uint32_t number1, std::uint32_t date)
{
    std::array<std::uint8_t, 50> body{};
    body[0] = 0x82;
    body[1] = 50;
    std::memcpy(&body[2], &a, 4);
    std::memcpy(&body[38], &number1, 4);
    std::memcpy(&body[46], &date, 4);
    return protocol::wrapBody(body);
}

}  // namespace

TEST_F(EditorsTest, PacketsAndTimeOutsLeaveTheEditorsAloneInEditMode)
{
    const auto feed = [this](const Bytes& wire) {
        for (std::uint8_t byte : wire)
            form.Calc(byte, 1);
    };

    // In view mode the editors show what the radiosonde sends...
    feed(calibrationPacket(1.5f, 77, 10203));
    ASSERT_EQ(widget<QLineEdit>("Edit1")->text(), QStringLiteral("1,50000"));
    ASSERT_EQ(widget<QLineEdit>("Edit6")->text(), QStringLiteral("01.02.03"));

    // ...while the operator edits, only the service page does.
    enterEditMode();
    setTexts({"2,5", "1", "2", "3", "4", "05.06.07"});
    const auto typed = texts();
    feed(calibrationPacket(-40.0f, 88, 311218));
    EXPECT_EQ(form.text(telemetry::Field::Label17), "-40,00000");
    EXPECT_EQ(texts(), typed);

    form.Timer3Timer();
    EXPECT_EQ(form.text(telemetry::Field::Label17), "-");
    EXPECT_EQ(texts(), typed);
    EXPECT_TRUE(inEditMode());
}

TEST_F(EditorsTest, ValueWiderThanItsEditorShowsItsSign)
{
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    for (std::uint8_t byte : calibrationPacket(-999999.0f, 77, 10203))
        form.Calc(byte, 1);
    QLineEdit* edit1 = widget<QLineEdit>("Edit1");
    ASSERT_EQ(edit1->text(), QStringLiteral("-999999,00000"));
    // Too wide for the editor: the start, with the minus sign, is in view.
    ASSERT_GT(edit1->fontMetrics().horizontalAdvance(edit1->text()), edit1->width());
    EXPECT_EQ(edit1->cursorPosition(), 0);
}

}  // namespace
