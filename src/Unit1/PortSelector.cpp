#include "PortSelector.h"

#include <QWheelEvent>

PortSelector::PortSelector(QWidget* parent) : QComboBox(parent)
{
    // A list takes the focus from a turn of the wheel by default; then the
    // next keys typed, meant for something else, would pick a port.
    setFocusPolicy(Qt::StrongFocus);
}

void PortSelector::showPopup()
{
    emit aboutToShowPopup();
    QComboBox::showPopup();
}

void PortSelector::wheelEvent(QWheelEvent* event)
{
    // Left to the controls around it, as if the selector were not there.
    event->ignore();
}
