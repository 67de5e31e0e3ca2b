#include "PortSelector.h"

void PortSelector::showPopup()
{
    emit aboutToShowPopup();
    QComboBox::showPopup();
}
