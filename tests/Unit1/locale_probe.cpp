// locale_probe: the real window under whatever locale its environment
// names (LANG, LC_ALL, LOCPATH), driven the way an operator drives it. It
// prints what the window showed and what it sent, one "key=value" line each
// in UTF-8, for locale_test to compare between locales:
//   system=...            the locale the toolkit and the C library picked up
//   spin.*=...            the texts of the parameter editors
//   frame.*=AA AA ...     the bytes the window wrote for each "Сохранить"
//   field.LabelN=...      every display field after one packet of each kind
//   edit.EditN=...        the calibration editors after a calibration packet
//   status=...            the status bar after an acknowledgement
//   sorted=...            port names in the order the port list takes
//   window.direction=...  the window's layout direction
// Exit code 0 when the window could be driven; the verdict is the test's.

#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QSpinBox>

#include <langinfo.h>
#include <algorithm>
#include <clocale>
#include <cstdio>
#include <string>
#include <vector>

#include "PortUnit/port_enum_linux.h"
#include "Unit1/TForm1.h"
#include "Unit1/error_box.h"
#include "protocol/host_frames.h"
#include "support/window_harness.h"
#include "telemetry/telemetry.h"
#include "ui_TForm1.h"

using Unit1::TForm1;
namespace errorbox = Unit1::errorbox;

namespace {

using harness::Bytes;

void print(const std::string& key, const std::string& value)
{
    std::printf("%s=%s\n", key.c_str(), value.c_str());
}

void print(const std::string& key, const QString& value) { print(key, value.toStdString()); }

std::string hex(const Bytes& bytes)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string text;
    for (std::uint8_t byte : bytes) {
        if (!text.empty())
            text.push_back(' ');
        text.push_back(digits[byte >> 4]);
        text.push_back(digits[byte & 0x0F]);
    }
    return text;
}

// What the window writes to its line in answer to one action; a frame of
// the settings command is 15 bytes, a calibration write 58.
Bytes sentFor(harness::Pty& pty, std::size_t length)
{
    Bytes sent;
    harness::pumpUntil(
        [&] {
            const Bytes fresh = pty.drain();
            sent.insert(sent.end(), fresh.begin(), fresh.end());
            return sent.size() >= length;
        },
        2000);
    return sent;
}

// Typed as a keyboard delivers it: one key press per character.
void type(QWidget& widget, const QString& text)
{
    for (QChar c : text) {
        const int key = c == u','                          ? Qt::Key_Comma
                        : c.isDigit() && c.unicode() < 128 ? Qt::Key_0 + (c.unicode() - '0')
                                                           : 0;
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, QString(c));
        QApplication::sendEvent(&widget, &press);
        QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, QString(c));
        QApplication::sendEvent(&widget, &release);
    }
}

void feed(TForm1& form, const Bytes& wire)
{
    for (std::uint8_t byte : wire)
        form.Calc(byte, 1);
}

Bytes ackFrame(std::uint8_t code)
{
    const std::uint8_t body[] = {0x80, 3, code};
    return protocol::wrapBody(body);
}

}  // namespace

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    errorbox::setCaptureForTest(
        [](const QString& text) { std::fprintf(stderr, "error box: %s\n", text.toUtf8().constData()); });

    print("system", QLocale::system().name());
    print("system.digits", QLocale::system().toString(403000));
    print("system.c_time", std::string(std::setlocale(LC_TIME, nullptr)));
    print("system.t_fmt", std::string(nl_langinfo(T_FMT)));

    harness::ScratchDir scratch;
    harness::Pty pty;
    scratch.writeSettings(harness::settingsText(pty.slavePath(), "38400", false, true));
    TForm1 form;
    form.setWatchdogIntervalForTest(600000);
    form.show();
    Ui::TForm1& ui = *form.ui();
    pty.drain();

    // Left to right, as the window is laid out, whatever the locale's script.
    print("window.direction",
          std::string(form.layoutDirection() == Qt::LeftToRight ? "left to right" : "right to left"));

    // The parameter editors as the window starts, and what each button sends.
    print("spin.frequency", ui.SpinEdit15->text());
    print("spin.gain", ui.SpinEdit1->text());
    ui.SpeedButton1->click();
    print("frame.frequency", hex(sentFor(pty, 15)));
    ui.SpeedButton3->click();
    print("frame.gain", hex(sentFor(pty, 15)));
    ui.ComboBox16->setCurrentIndex(2);
    ui.SpeedButton2->click();
    print("frame.navmode", hex(sentFor(pty, 15)));

    // A step up with the arrow, then a value typed with a thousands comma.
    ui.SpinEdit15->stepUp();
    print("spin.stepped", ui.SpinEdit15->text());
    ui.SpeedButton1->click();
    print("frame.stepped", hex(sentFor(pty, 15)));
    ui.SpinEdit15->selectAll();
    type(*ui.SpinEdit15, QStringLiteral("405,100"));
    print("spin.typed", ui.SpinEdit15->text());
    ui.SpeedButton1->click();
    print("frame.typed", hex(sentFor(pty, 15)));
    ui.SpinEdit1->selectAll();
    type(*ui.SpinEdit1, QStringLiteral("63"));
    print("spin.gain_typed", ui.SpinEdit1->text());
    ui.SpeedButton3->click();
    print("frame.gain_typed", hex(sentFor(pty, 15)));

    // A calibration write of typed texts.
    ui.SpeedButton4->click();
    const char* texts[] = {"1,5", "-40", "273,15", "123456", "4294967295", "01.02.03"};
    QLineEdit* edits[] = {ui.Edit1, ui.Edit2, ui.Edit3, ui.Edit4, ui.Edit5, ui.Edit6};
    for (int i = 0; i < 6; ++i)
        edits[i]->setText(QString::fromUtf8(texts[i]));
    ui.SpeedButton5->click();
    print("frame.calibration", hex(sentFor(pty, 58)));

    // One packet of each kind, then everything the window shows.
    feed(form, harness::telemetryFrame(42));
    feed(form, harness::calibrationFrame());
    feed(form, harness::settingsFrame());
    feed(form, harness::stateFrame(0x05));
    for (int i = 0; i < telemetry::kFieldCount; ++i) {
        const auto field = static_cast<telemetry::Field>(i);
        print(std::string("field.") + telemetry::fieldName(field), form.text(field));
    }
    for (int i = 0; i < 6; ++i)
        print("edit." + edits[i]->objectName().toStdString(), edits[i]->text());
    feed(form, ackFrame(3));
    print("status", form.ui()
                        ->StatusBar1->findChild<QWidget*>(QStringLiteral("StatusBar1Panel"))
                        ->property("text")
                        .toString());

    std::vector<std::string> names = {"ttyUSB10", "ttyS10",  "ttyUSB9", "ttyS2", "ttyACM0", "ttyS02",
                                      "rfcomm1",  "ttyAMA0", "ttyİ1",   "ttyi1", "ttyI1"};
    std::sort(names.begin(), names.end(), PortUnit::detail::NaturalLess);
    std::string sorted;
    for (const std::string& name : names)
        sorted += (sorted.empty() ? "" : " ") + name;
    print("sorted", sorted);

    std::fflush(stdout);
    return 0;
}
