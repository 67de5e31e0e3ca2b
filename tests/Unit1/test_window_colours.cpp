// Every colour the window sets by hand, measured as drawn: the window is
// grabbed into an image and the contrast of its text pixels against the
// background pixels around them is taken, under a light and a dark palette.

#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <functional>
#include <map>
#include <memory>
#include <ostream>
#include <vector>

#include "Unit1/TForm1.h"
#include "Unit1/error_box.h"
#include "Unit1/readable_colour.h"
#include "support/window_harness.h"
#include "ui_TForm1.h"

using Unit1::TForm1;
namespace errorbox = Unit1::errorbox;
namespace readablecolour = Unit1::readablecolour;

namespace {

using readablecolour::contrastRatio;
using readablecolour::kLeastContrast;
using readablecolour::Rgb;

Rgb rgbOf(QRgb pixel)
{
    return {static_cast<std::uint8_t>(qRed(pixel)), static_cast<std::uint8_t>(qGreen(pixel)),
            static_cast<std::uint8_t>(qBlue(pixel))};
}

// What an area of the screen shows: its background is its commonest
// colour, its ink the pixels that stand out from it. The contrast is taken
// at the fifth strongest ink pixel, so that a lone stray pixel does not
// count as text.
struct Drawn {
    QColor background;
    QColor ink;
    double contrast = 1.0;
    int inkPixels = 0;
};

Drawn measure(const QImage& picture)
{
    const QImage image = picture.convertToFormat(QImage::Format_RGB32);
    std::map<QRgb, int> counts;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            ++counts[image.pixel(x, y)];
    Drawn drawn;
    if (counts.empty())
        return drawn;
    const QRgb background = std::max_element(counts.begin(), counts.end(), [](const auto& a, const auto& b) {
                                return a.second < b.second;
                            })->first;
    std::vector<std::pair<double, QRgb>> ink;
    for (const auto& [pixel, count] : counts) {
        if (pixel == background)
            continue;
        drawn.inkPixels += count;
        for (int i = 0; i < count; ++i)
            ink.emplace_back(contrastRatio(rgbOf(pixel), rgbOf(background)), pixel);
    }
    drawn.background = QColor(background);
    if (ink.size() < 5)
        return drawn;
    std::nth_element(ink.begin(), ink.begin() + 4, ink.end(), std::greater<>());
    drawn.contrast = ink[4].first;
    drawn.ink = QColor(ink[4].second);
    return drawn;
}

// The widget as the window draws it: the window is grabbed over the
// widget's rectangle, less margin on every side.
Drawn measureIn(QWidget& window, const QWidget& widget, int margin = 0)
{
    const QRect area =
        QRect(widget.mapTo(&window, QPoint(0, 0)), widget.size()).adjusted(margin, margin, -margin, -margin);
    return measure(window.grab(area).toImage());
}

std::string describe(const Drawn& drawn)
{
    return "ink " + drawn.ink.name().toStdString() + " on " + drawn.background.name().toStdString() +
           ", contrast " + std::to_string(drawn.contrast) + ", " + std::to_string(drawn.inkPixels) +
           " ink pixels";
}

// The toolkit's light palette, the one the window was laid out with.
QPalette lightPalette() { return QApplication::style()->standardPalette(); }

// GTK's Adwaita dark as Qt's GTK platform theme hands it to the program.
QPalette darkPalette()
{
    QPalette palette = lightPalette();
    const auto set = [&palette](QPalette::ColorRole role, const char* colour) {
        palette.setColor(QPalette::All, role, QColor(QString::fromLatin1(colour)));
    };
    set(QPalette::Window, "#323232");
    set(QPalette::WindowText, "#f0f0f0");
    set(QPalette::Base, "#242424");
    set(QPalette::AlternateBase, "#2b2b2b");
    set(QPalette::Text, "#f0f0f0");
    set(QPalette::PlaceholderText, "#f0f0f0");
    set(QPalette::Button, "#323232");
    set(QPalette::ButtonText, "#f0f0f0");
    set(QPalette::BrightText, "#4b4b4b");
    set(QPalette::Light, "#4b4b4b");
    set(QPalette::Midlight, "#2a2a2a");
    set(QPalette::Mid, "#262626");
    set(QPalette::Dark, "#212121");
    set(QPalette::Shadow, "#191919");
    set(QPalette::Highlight, "#308cc6");
    set(QPalette::HighlightedText, "#f0f0f0");
    set(QPalette::ToolTipBase, "#ffffdc");
    set(QPalette::ToolTipText, "#000000");
    return palette;
}

struct Theme {
    const char* name;
    QPalette (*palette)();
    QPalette (*other)();
};

void PrintTo(const Theme& theme, std::ostream* out) { *out << theme.name; }

const Theme kThemes[] = {
    {"light", &lightPalette, &darkPalette},
    {"dark", &darkPalette, &lightPalette},
};

// A window whose port writes go nowhere.
class QuietForm : public TForm1 {
public:
    void writeComByte(std::uint8_t) override {}
};

class WindowColours : public ::testing::TestWithParam<Theme> {
protected:
    void SetUp() override { saved_ = QApplication::palette(); }

    void TearDown() override
    {
        form.reset();
        QApplication::setPalette(saved_);
    }

    bool light() const { return std::string(GetParam().name) == "light"; }

    // The window opened under palette, which the application keeps.
    void open(const QPalette& palette)
    {
        QApplication::setPalette(palette);
        form = std::make_unique<QuietForm>();
        form->setWatchdogIntervalForTest(600000);
        form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    }
    void open() { open(GetParam().palette()); }

    void showPage(int index)
    {
        form->ui()->PageControl1->setCurrentIndex(index);
        QApplication::processEvents();
    }

    void receive(const harness::Bytes& wire)
    {
        for (std::uint8_t byte : wire)
            form->Calc(byte, 1);
        QApplication::processEvents();
    }

    void receiveVerdict(bool good)
    {
        harness::Bytes wire = harness::telemetryFrame(255);
        if (!good)
            wire.back() ^= 0xFF;
        receive(wire);
    }

    QLabel& label5() { return *form->ui()->Label5; }
    QColor label5Colour() { return label5().palette().color(QPalette::WindowText); }

    std::vector<QLineEdit*> calibrationEditors()
    {
        const Ui::TForm1& ui = *form->ui();
        return {ui.Edit1, ui.Edit2, ui.Edit3, ui.Edit4, ui.Edit5, ui.Edit6};
    }

    // The six editors hold the widest texts the calibration packet writes.
    void fillCalibrationEditors()
    {
        const char* texts[] = {"-999999,00000", "-1,23457E06", "-1,23457E006",
                               "4294967295",    "4294967295",  "31.12.18"};
        std::size_t i = 0;
        for (QLineEdit* edit : calibrationEditors()) {
            edit->setText(QString::fromUtf8(texts[i++]));
            edit->setCursorPosition(0);
        }
    }

    void expectEditorsRead(const char* mode)
    {
        for (QLineEdit* edit : calibrationEditors()) {
            // Inside the frame the editor draws in edit mode.
            const Drawn drawn = measureIn(*form, *edit, 3);
            EXPECT_GE(drawn.contrast, kLeastContrast)
                << mode << ", " << edit->objectName().toStdString() << ": " << describe(drawn);
        }
    }

    void expectPacketNumberReads(const char* verdict)
    {
        const Drawn drawn = measureIn(*form, label5());
        EXPECT_GE(drawn.contrast, kLeastContrast) << verdict << ": " << describe(drawn);
    }

    std::unique_ptr<QuietForm> form;
    harness::ScratchDir scratch;  // settings.INI stays out of the build tree

private:
    QPalette saved_;
};

TEST_P(WindowColours, PacketNumberReadsInBothVerdicts)
{
    open();
    showPage(1);

    receiveVerdict(true);
    ASSERT_EQ(label5().text(), QStringLiteral("255"));
    expectPacketNumberReads("good frame");
    const Drawn good = measureIn(*form, label5());
    if (light()) {
        EXPECT_EQ(label5Colour(), QColor(0, 0, 0));
    }

    receiveVerdict(false);
    ASSERT_EQ(label5().text(), QStringLiteral("255")) << "a bad frame is not decoded";
    expectPacketNumberReads("bad frame");
    const Drawn bad = measureIn(*form, label5());
    if (light()) {
        EXPECT_EQ(label5Colour(), QColor(255, 0, 0));
    }
    // The bad verdict is drawn red, and unlike the good one.
    EXPECT_GT(bad.ink.red(), bad.ink.green() + 60) << describe(bad);
    EXPECT_NE(bad.ink, good.ink);

    receiveVerdict(true);
    expectPacketNumberReads("good frame after a bad one");
    if (light()) {
        EXPECT_EQ(label5Colour(), QColor(0, 0, 0));
    }
}

TEST_P(WindowColours, EveryTextOfBothPagesReads)
{
    open();
    form->setStatusText("Режим работы передатчика установлен 16:58:23");
    receiveVerdict(false);
    for (int page : {0, 1}) {
        showPage(page);
        int measured = 0;
        for (QLabel* label : form->findChildren<QLabel*>()) {
            if (!label->isVisible() || label->text().isEmpty())
                continue;
            const Drawn drawn = measureIn(*form, *label);
            EXPECT_GE(drawn.contrast, kLeastContrast)
                << "page " << page << ", " << label->objectName().toStdString() << " \""
                << label->text().toStdString() << "\": " << describe(drawn);
            ++measured;
        }
        EXPECT_GT(measured, 20) << "page " << page;
    }
}

TEST_P(WindowColours, CalibrationEditorsReadInViewAndEditMode)
{
    open();
    fillCalibrationEditors();
    QApplication::processEvents();
    expectEditorsRead("view mode");

    form->ui()->SpeedButton4->click();
    ASSERT_FALSE(form->ui()->Edit1->isReadOnly());
    QApplication::processEvents();
    expectEditorsRead("edit mode");

    form->ui()->SpeedButton4->click();
    ASSERT_TRUE(form->ui()->Edit1->isReadOnly());
    QApplication::processEvents();
    expectEditorsRead("view mode again");
}

TEST_P(WindowColours, LinkIndicatorShowsItsState)
{
    open();
    QRadioButton& indicator = *form->ui()->RadioButton1;
    QStyleOptionButton option;
    option.initFrom(&indicator);
    const QRect mark =
        indicator.style()->subElementRect(QStyle::SE_RadioButtonIndicator, &option, &indicator);
    const QPoint centre = indicator.mapTo(form.get(), mark.center());
    const auto centrePixel = [&] {
        QApplication::processEvents();
        return form->grab(QRect(centre, QSize(1, 1))).toImage().pixel(0, 0);
    };

    form->setRadioButton1(false);
    const QRgb off = centrePixel();
    form->setRadioButton1(true);
    const QRgb on = centrePixel();
    EXPECT_GE(contrastRatio(rgbOf(on), rgbOf(off)), kLeastContrast)
        << "on " << QColor(on).name().toStdString() << ", off " << QColor(off).name().toStdString();
}

TEST_P(WindowColours, ErrorBoxesRead)
{
    open();
    std::vector<Drawn> seen;
    QTimer watcher;
    watcher.setInterval(10);
    QObject::connect(&watcher, &QTimer::timeout, [&seen] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box)
            return;
        if (auto* text = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label")))
            seen.push_back(measureIn(*box, *text));
        box->done(QMessageBox::Ok);
    });
    watcher.start();

    // The calibration editor's own box, for a coefficient that is no number.
    form->ui()->SpeedButton4->click();
    form->ui()->Edit1->setText(QStringLiteral("abc"));
    form->SpeedButton5Click();
    // The box every escaping error is shown in.
    errorbox::setCaptureForTest({});
    errorbox::show(QStringLiteral("Порт COM1 не открыт"));
    errorbox::setCaptureForTest(&harness::printErrorBox);

    ASSERT_EQ(seen.size(), 2u);
    for (const Drawn& drawn : seen)
        EXPECT_GE(drawn.contrast, kLeastContrast) << describe(drawn);
}

// The desktop switches between its light and dark theme while the program
// runs: what was set by hand under the old palette must follow.
TEST_P(WindowColours, ThemeChangedWhileRunning)
{
    open(GetParam().other());
    fillCalibrationEditors();
    form->ui()->SpeedButton4->click();
    showPage(1);
    receiveVerdict(false);

    QApplication::setPalette(GetParam().palette());
    QApplication::processEvents();
    expectPacketNumberReads("bad frame");
    if (light()) {
        EXPECT_EQ(label5Colour(), QColor(255, 0, 0));
    }
    receiveVerdict(true);
    expectPacketNumberReads("good frame");

    showPage(0);
    expectEditorsRead("edit mode");
    form->ui()->SpeedButton4->click();
    QApplication::processEvents();
    expectEditorsRead("view mode");
}

INSTANTIATE_TEST_SUITE_P(Palettes, WindowColours, ::testing::ValuesIn(kThemes),
                         [](const ::testing::TestParamInfo<Theme>& test) {
                             return std::string(test.param.name);
                         });

}  // namespace
