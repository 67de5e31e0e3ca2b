// The parameter editors and their buttons on the operator page: where they
// sit, and that the widest text each shows fits inside it in the window's
// own font and style, so a narrower layout that cuts a text is caught.

#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStyleOptionComboBox>
#include <QTest>

#include "TForm1.h"
#include "support/window_harness.h"
#include "ui_TForm1.h"

namespace {

// The room the control leaves for its text.
int textRoom(QWidget& control)
{
    if (auto* spin = qobject_cast<QSpinBox*>(&control)) {
        QLineEdit& edit = *spin->findChild<QLineEdit*>();
        const QMargins margins = edit.textMargins();
        // QLineEdit keeps a 2-pixel horizontal margin inside its frame.
        return edit.width() - margins.left() - margins.right() - 2 * 2;
    }
    if (auto* list = qobject_cast<QComboBox*>(&control)) {
        QStyleOptionComboBox option;
        option.initFrom(list);
        option.editable = false;
        option.frame = list->hasFrame();
        return list->style()
            ->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, list)
            .width();
    }
    auto& button = static_cast<QPushButton&>(control);
    QStyleOptionButton option;
    option.initFrom(&button);
    return button.style()->subElementRect(QStyle::SE_PushButtonContents, &option, &button).width();
}

TEST(EditorGeometry, ParameterEditorsSitInTheirPlacesAndShowTheirWidestTexts)
{
    harness::ScratchDir scratch;
    harness::ErrorBoxes errors;  // no port to open here
    TForm1 form;
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    Ui::TForm1& ui = *form.ui();

    struct Case {
        QWidget* control;
        QRect geometry;
        QString widestText;
    };
    const Case cases[] = {
        {ui.SpinEdit15, {8, 17, 105, 22}, QStringLiteral("406000")},
        {ui.SpeedButton1, {117, 17, 67, 22}, QStringLiteral("Сохранить")},
        {ui.SpinEdit1, {8, 17, 105, 22}, QStringLiteral("63")},
        {ui.SpeedButton3, {117, 17, 67, 22}, QStringLiteral("Сохранить")},
        // 110 wide: "ГЛОНАСС+GPS" does not fit the text field of a list 105
        // wide; its button moves right by as much.
        {ui.ComboBox16, {8, 17, 110, 22}, QStringLiteral("ГЛОНАСС+GPS")},
        {ui.SpeedButton2, {121, 17, 64, 22}, QStringLiteral("Сохранить")},
    };
    for (const Case& c : cases) {
        const std::string name = c.control->objectName().toStdString();
        EXPECT_EQ(c.control->geometry(), c.geometry) << name;
        EXPECT_GE(textRoom(*c.control), c.control->fontMetrics().horizontalAdvance(c.widestText))
            << name << " cuts \"" << c.widestText.toStdString() << "\"";
    }
    // Every entry of the navigation list, not only the first.
    for (int i = 0; i < ui.ComboBox16->count(); ++i)
        EXPECT_GE(textRoom(*ui.ComboBox16),
                  ui.ComboBox16->fontMetrics().horizontalAdvance(ui.ComboBox16->itemText(i)))
            << ui.ComboBox16->itemText(i).toStdString();
}

}  // namespace
