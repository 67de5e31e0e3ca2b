#include "Unit1/window_colours.h"

#include <QApplication>
#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>

#include <functional>
#include <utility>

#include "Unit1/readable_colour.h"

namespace Unit1::windowcolours {
namespace {

const QString kKeeperName = QStringLiteral("handSetColours");

// The palette a widget would have without the colours set on it here:
// its parent's, from which it inherits every other role.
QPalette inherited(const QWidget& widget)
{
    const QWidget* parent = widget.parentWidget();
    return parent ? parent->palette() : QApplication::palette();
}

readablecolour::Rgb rgbOf(const QColor& colour)
{
    const QColor rgb = colour.toRgb();
    return {static_cast<std::uint8_t>(rgb.red()), static_cast<std::uint8_t>(rgb.green()),
            static_cast<std::uint8_t>(rgb.blue())};
}

// Sets the widget's colours again whenever its palette or its read-only
// state changes. Setting a palette equal to the one in place sends no
// change event, so the keeper's own setting does not come back to it.
class ColourKeeper : public QObject {
public:
    explicit ColourKeeper(QWidget& widget) : QObject(&widget), widget_(widget)
    {
        setObjectName(kKeeperName);
        widget.installEventFilter(this);
    }

    void setApply(std::function<void()> apply)
    {
        apply_ = std::move(apply);
        apply_();
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == &widget_ &&
            (event->type() == QEvent::PaletteChange || event->type() == QEvent::ReadOnlyChange) && apply_)
            apply_();
        return QObject::eventFilter(watched, event);
    }

private:
    QWidget& widget_;
    std::function<void()> apply_;
};

// Sets the widget's colours with apply, now and from now on.
void keep(QWidget& widget, std::function<void()> apply)
{
    auto* keeper =
        dynamic_cast<ColourKeeper*>(widget.findChild<QObject*>(kKeeperName, Qt::FindDirectChildrenOnly));
    if (!keeper)
        keeper = new ColourKeeper(widget);
    keeper->setApply(std::move(apply));
}

void applyVerdict(QLabel& label, bool crcGood)
{
    // The label paints no background of its own: what lies behind its text
    // is its parent's window colour.
    const QPalette theme = inherited(label);
    const readablecolour::Rgb colour = readablecolour::verdictColour(
        crcGood, rgbOf(theme.color(QPalette::Window)), rgbOf(theme.color(QPalette::WindowText)));
    QPalette palette = label.palette();
    palette.setColor(QPalette::WindowText, QColor(colour.r, colour.g, colour.b));
    label.setPalette(palette);
}

void applyEditMode(QLineEdit& editor)
{
    const QPalette theme = inherited(editor);
    const QPalette::ColorRole face = editor.isReadOnly() ? QPalette::Button : QPalette::Base;
    QPalette palette = editor.palette();
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        palette.setColor(group, QPalette::Base, theme.color(group, face));
    editor.setPalette(palette);
}

}  // namespace

void showVerdict(QLabel& packetNumber, bool crcGood)
{
    keep(packetNumber, [&packetNumber, crcGood] { applyVerdict(packetNumber, crcGood); });
}

void followEditMode(QLineEdit& editor)
{
    keep(editor, [&editor] { applyEditMode(editor); });
}

}  // namespace Unit1::windowcolours
