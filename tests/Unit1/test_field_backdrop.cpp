// The value fields drawn over a kept picture of what lies beneath them:
// the window must look exactly as when the toolkit draws every field with
// everything beneath it, on both pages, as the texts change, after a
// palette change, and for a field another widget overlaps.

#include <gtest/gtest.h>

#include <QImage>
#include <QLabel>
#include <QPalette>
#include <QTabWidget>
#include <QTest>

#include <memory>
#include <vector>

#include "Unit1/TForm1.h"
#include "Unit1/field_backdrop.h"
#include "protocol/frame.h"
#include "protocol/host_frames.h"
#include "support/window_harness.h"
#include "telemetry/telemetry.h"
#include "ui_TForm1.h"

using Unit1::FieldBackdrops;
using Unit1::TForm1;

using namespace harness;
using telemetry::Field;

namespace {

// A telemetry frame whose every shown value depends on step.
Bytes movingFrame(int step)
{
    const Bytes base = telemetryFrame(static_cast<std::uint8_t>(step));
    std::vector<std::uint8_t> body(base.begin() + 4, base.end() - 2);  // without sync word and CRC
    const auto put = [&body](std::size_t offset, std::uint32_t value, int size) {
        for (int i = 0; i < size; ++i)
            body[offset + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value >> (8 * i));
    };
    body[6] = static_cast<std::uint8_t>(step % 60);                  // second
    put(8, static_cast<std::uint32_t>(285123456 + 731 * step), 4);   // X
    put(16, static_cast<std::uint32_t>(525000000 - 977 * step), 4);  // Z
    put(24, static_cast<std::uint32_t>(310 + 7 * step), 2);          // Vz
    put(32, static_cast<std::uint32_t>(2345 - 13 * step), 2);        // temperature
    put(34, static_cast<std::uint32_t>(5012 + 29 * step), 2);        // humidity
    put(36, static_cast<std::uint32_t>(10132 - 3 * step), 2);        // pressure
    return protocol::wrapBody(body);
}

class FieldBackdropTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        scratch.writeSettings(settingsText(pty.slavePath(), "38400", true));
        form = std::make_unique<TForm1>();
        form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    }

    void showFrame(int step)
    {
        for (std::uint8_t byte : movingFrame(step))
            form->Calc(byte, 1);
        pumpFor(60);  // painted, pictures rendered
    }

    FieldBackdrops* backdrops() { return form->findChild<FieldBackdrops*>(); }

    std::vector<QLabel*> fieldsOnPage(QWidget* page)
    {
        std::vector<QLabel*> shown;
        for (int i = 0; i < telemetry::kFieldCount; ++i) {
            auto* label = form->findChild<QLabel*>(telemetry::fieldName(static_cast<Field>(i)));
            if (page->isAncestorOf(label))
                shown.push_back(label);
        }
        return shown;
    }

    // The window as drawn now, and as the toolkit draws it without the
    // pictures; the pictures are kept again afterwards.
    void expectSameAsWithoutPictures(const char* when)
    {
        SCOPED_TRACE(when);
        const QImage withPictures = form->grab().toImage();
        delete backdrops();
        const QImage without = form->grab().toImage();
        ASSERT_EQ(withPictures.size(), without.size());
        EXPECT_TRUE(withPictures == without) << "the fields over their pictures look different";
        std::vector<QLabel*> fields;
        for (int i = 0; i < telemetry::kFieldCount; ++i)
            fields.push_back(form->findChild<QLabel*>(telemetry::fieldName(static_cast<Field>(i))));
        new FieldBackdrops(*form, fields);
        pumpFor(30);
    }

    ScratchDir scratch;
    Pty pty;
    ErrorBoxes errors;
    std::unique_ptr<TForm1> form;
};

TEST_F(FieldBackdropTest, FieldsOverTheirPicturesLookAsTheToolkitDrawsThem)
{
    QTabWidget* pages = form->ui()->PageControl1;
    for (int page : {0, 1}) {
        SCOPED_TRACE(page);
        pages->setCurrentIndex(page);
        showFrame(1);
        showFrame(2);  // redrawn over the pictures
        for (QLabel* field : fieldsOnPage(pages->widget(page)))
            EXPECT_TRUE(backdrops()->drawsOverBackdrop(field)) << qPrintable(field->objectName());
        showFrame(3);
        expectSameAsWithoutPictures("new texts");
    }
}

TEST_F(FieldBackdropTest, APaletteChangeRendersThePicturesAgain)
{
    showFrame(1);
    showFrame(2);
    QPalette dark = form->palette();
    dark.setColor(QPalette::Window, QColor(40, 44, 52));
    dark.setColor(QPalette::WindowText, QColor(220, 220, 220));
    form->setPalette(dark);
    pumpFor(30);
    showFrame(3);
    showFrame(4);
    EXPECT_TRUE(backdrops()->drawsOverBackdrop(form->ui()->Label90));
    expectSameAsWithoutPictures("after the palette change");
}

TEST_F(FieldBackdropTest, AnOverlappedFieldIsLeftToTheToolkit)
{
    QLabel* field = form->ui()->Label90;
    auto* cover = new QWidget(field->parentWidget());
    cover->setGeometry(field->geometry().adjusted(10, 2, -10, -2));
    cover->lower();  // beneath the field: part of what the picture would hold
    cover->show();
    cover->setAutoFillBackground(true);
    showFrame(1);
    showFrame(2);
    EXPECT_FALSE(backdrops()->drawsOverBackdrop(field));
    EXPECT_TRUE(backdrops()->drawsOverBackdrop(form->ui()->Label91));
    expectSameAsWithoutPictures("with the overlapped field");
}

}  // namespace
