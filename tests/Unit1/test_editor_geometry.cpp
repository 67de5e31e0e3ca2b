// The parameter editors and their buttons on the operator page: where they
// sit, and that the widest text each shows fits inside it in the window's
// own font and style, so a narrower layout that cuts a text is caught; and
// that the font the window gets is Arial or a face of Arial's widths, in
// which every editor has the height to draw its line.

#include <gtest/gtest.h>

#include <algorithm>

#include <QComboBox>
#include <QFontInfo>
#include <QFontMetrics>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStyleOptionComboBox>
#include <QStyleOptionFrame>
#include <QTest>

#include "Unit1/TForm1.h"
#include "Unit1/window_font.h"
#include "support/window_harness.h"
#include "ui_TForm1.h"

using Unit1::TForm1;
namespace windowfont = Unit1::windowfont;

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

// The height a line edit draws its text line in: its contents less its
// frame and text margins, as QLineEdit measures it before it centres the
// line there and clips to it.
int lineRoom(QLineEdit& edit)
{
    QStyleOptionFrame option;
    option.initFrom(&edit);
    option.rect = edit.contentsRect();
    option.lineWidth =
        edit.hasFrame() ? edit.style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, &edit) : 0;
    option.state |= QStyle::State_Sunken;
    if (edit.isReadOnly())
        option.state |= QStyle::State_ReadOnly;
    const QRect contents = edit.style()->subElementRect(QStyle::SE_LineEditContents, &option, &edit);
    return contents.marginsRemoved(edit.textMargins()).height();
}

// The height QLineEdit gives a text's line: the taller of the font's line
// and the text's box, which Windows' font engine takes from the face's own
// line box (for a maths face several times the letters' height).
int lineHeight(const QLineEdit& edit, const QString& text)
{
    const QFontMetrics metrics = edit.fontMetrics();
    return std::max(metrics.boundingRect(text).height(), metrics.height());
}

TEST(EditorGeometry, WindowFontIsArialOrAFaceOfItsWidthsAndEveryEditorHasRoomForItsLine)
{
    harness::ScratchDir scratch;
    harness::ErrorBoxes errors;  // no port to open here
    TForm1 form;
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    Ui::TForm1& ui = *form.ui();

    // Not a stand-in the system picked: Arial itself or one of its twins.
    const QString face = QFontInfo(form.font()).family();
    QStringList wanted = windowfont::arialTwins();
    wanted.prepend(QStringLiteral("Arial"));
    EXPECT_TRUE(wanted.contains(face, Qt::CaseInsensitive)) << "the window got " << face.toStdString();
    EXPECT_EQ(form.font().families().value(0), QStringLiteral("Arial"))
        << "Arial stays the face asked for first";
    EXPECT_EQ(form.font().pointSize(), 8);

    // Every character the editors show: digits, sign, decimal comma and
    // the date's dots.
    const QString shown = QStringLiteral("-0123456789,.");
    QWidget* const editors[] = {ui.Edit1, ui.Edit2, ui.Edit3,      ui.Edit4,
                                ui.Edit5, ui.Edit6, ui.SpinEdit15, ui.SpinEdit1};
    for (QWidget* editor : editors) {
        // A spin box draws its text in a line edit of its own.
        auto* edit = qobject_cast<QLineEdit*>(editor);
        if (!edit)
            edit = editor->findChild<QLineEdit*>();
        ASSERT_NE(edit, nullptr) << editor->objectName().toStdString();
        EXPECT_LE(lineHeight(*edit, shown), lineRoom(*edit))
            << editor->objectName().toStdString() << ": the text's line is taller than the editor";
    }
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
