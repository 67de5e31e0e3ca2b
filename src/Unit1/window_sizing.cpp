#include "Unit1/window_sizing.h"

#include <QGuiApplication>
#include <QRect>
#include <QScreen>
#include <QWidget>

namespace Unit1::windowsizing {

QMargins frameMargins(const QWidget& window)
{
    const QRect outer = window.frameGeometry();
    const QRect client = window.geometry();
    return {client.left() - outer.left(), client.top() - outer.top(), outer.right() - client.right(),
            outer.bottom() - client.bottom()};
}

void setOuterSize(QWidget& window, QSize outer)
{
    const QMargins m = frameMargins(window);
    window.setFixedSize(outer.width() - m.left() - m.right(), outer.height() - m.top() - m.bottom());
}

void centreOnScreen(QWidget& window)
{
    QScreen* screen = window.screen() ? window.screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->availableGeometry();
    const QSize outer = window.frameGeometry().size();
    window.move(area.left() + (area.width() - outer.width()) / 2,
                area.top() + (area.height() - outer.height()) / 2);
}

}  // namespace Unit1::windowsizing
