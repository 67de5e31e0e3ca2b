// The port selector: a drop-down list that tells the window just before its
// list opens, so that the window can refresh the ports first.
//
// Picking another entry closes the radiosonde's line and opens another
// port, so only a deliberate pick does it: an entry chosen from the opened
// list, or the keyboard while the selector has the focus. The mouse wheel,
// which a hand scrolling the window turns over the selector by chance,
// changes nothing.
#pragma once

#include <QComboBox>

class PortSelector : public QComboBox {
    Q_OBJECT

public:
    explicit PortSelector(QWidget* parent = nullptr);

    void showPopup() override;

signals:
    // Emitted before the list is shown; the entries may be replaced here.
    void aboutToShowPopup();

protected:
    void wheelEvent(QWheelEvent* event) override;
};
