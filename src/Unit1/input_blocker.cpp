#include "Unit1/input_blocker.h"

#include <QEvent>
#include <QWidget>

namespace Unit1 {

namespace {

void blockOne(QWidget* widget, InputBlocker* blocker)
{
    widget->setFocusPolicy(Qt::NoFocus);
    widget->installEventFilter(blocker);
}

bool isOperatorInput(QEvent::Type type)
{
    switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::Shortcut:
    case QEvent::ContextMenu:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd: return true;
    default: return false;
    }
}

}  // namespace

void InputBlocker::block(QWidget* root)
{
    blockOne(root, this);
    for (QWidget* child : root->findChildren<QWidget*>())
        blockOne(child, this);
}

bool InputBlocker::eventFilter(QObject* watched, QEvent* event)
{
    if (isOperatorInput(event->type())) {
        event->accept();
        return true;
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace Unit1
