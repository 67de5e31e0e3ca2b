// The port selector: a drop-down list that tells the window just before its
// list opens, so that the window can refresh the ports first.
#pragma once

#include <QComboBox>

class PortSelector : public QComboBox {
    Q_OBJECT

public:
    using QComboBox::QComboBox;

    void showPopup() override;

signals:
    // Emitted before the list is shown; the entries may be replaced here.
    void aboutToShowPopup();
};
