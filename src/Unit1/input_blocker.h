// Makes widgets deaf to the operator while they keep the look of enabled
// ones. A disabled group box must block mouse and keyboard for everything
// inside it, but Qt's own disabled state greys the contents, and the boxes
// hold display fields that must stay readable as they are.
#pragma once

#include <QObject>

class QWidget;

namespace Unit1 {

class InputBlocker : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;

    // Blocks input to root and to every widget inside it, and takes them out
    // of the focus chain. The program can still change them.
    void block(QWidget* root);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

}  // namespace Unit1
