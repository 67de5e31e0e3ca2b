// What the end-to-end tests share: the real window on the line of the
// simulator, started as a process of its own, and how they read what the
// window shows. Each test keeps its own checks.
#pragma once

#include <gtest/gtest.h>

#include <QColor>
#include <QEvent>
#include <QLabel>
#include <QPalette>

#include <algorithm>
#include <cmath>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Unit1/TForm1.h"
#include "support/sim_process.h"
#include "support/window_harness.h"
#include "ui_TForm1.h"

namespace e2e {

// The number a label shows, whichever decimal separator it uses.
inline std::optional<double> shownNumber(const QLabel* label)
{
    QString text = label->text();
    text.replace(QLatin1Char(','), QLatin1Char('.'));
    bool ok = false;
    const double value = text.toDouble(&ok);
    return ok ? std::optional<double>(value) : std::nullopt;
}

inline bool near(const QLabel* label, double expected, double tolerance)
{
    const auto value = shownNumber(label);
    return value && std::fabs(*value - expected) <= tolerance;
}

// Every colour a label's text takes, in order. The packet number's turns
// red for a frame with a bad CRC and black again for a good one.
class ColourLog : public QObject {
public:
    explicit ColourLog(QLabel* label) : label_(label) { label_->installEventFilter(this); }
    ~ColourLog() override { label_->removeEventFilter(this); }
    std::vector<QColor> colours;

    // Red, and some time later black again.
    bool sawRedThenBlack() const
    {
        const auto red = std::find(colours.begin(), colours.end(), QColor(Qt::red));
        return red != colours.end() && std::find(red, colours.end(), QColor(Qt::black)) != colours.end();
    }

protected:
    bool eventFilter(QObject* watched, QEvent* e) override
    {
        if (watched == label_ && e->type() == QEvent::PaletteChange)
            colours.push_back(label_->palette().color(QPalette::WindowText));
        return false;
    }

private:
    QLabel* label_;
};

// The window in a scratch directory whose settings.INI names the
// simulator's line at 38400 baud with cyclic telemetry, as the operator runs
// it before a launch. Every error box it shows fails the test.
class WindowOnSimulator : public ::testing::Test {
protected:
    // Starts the simulator with simArgs and opens the window on its line;
    // call it under ASSERT_NO_FATAL_FAILURE.
    void open(const std::vector<std::string>& simArgs)
    {
        sim = std::make_unique<support::SimProcess>(simArgs);
        scratch.writeSettings(harness::settingsText(sim->linePath(), "38400", /*continuedMode=*/true));
        form = std::make_unique<Unit1::TForm1>();
        ASSERT_TRUE(errors.texts.empty()) << qPrintable(errors.texts.front());
        form->show();
    }

    void TearDown() override
    {
        if (form)
            form->FormClose();
        EXPECT_TRUE(errors.texts.empty()) << qPrintable(errors.texts.front());
    }

    Ui::TForm1& ui() { return *form->ui(); }

    harness::ScratchDir scratch;
    harness::ErrorBoxes errors;
    std::unique_ptr<support::SimProcess> sim;
    std::unique_ptr<Unit1::TForm1> form;
};

}  // namespace e2e
