#include "Unit1/error_box.h"

#include <QMessageBox>

namespace Unit1::errorbox {
namespace {

Capture& capture()
{
    static Capture hook;
    return hook;
}

}  // namespace

QString boxText(const QString& message)
{
    if (!message.isEmpty() && message.back().unicode() <= u'.')
        return message;
    return message + u'.';
}

QString withReason(const QString& message, const QString& reason)
{
    if (reason.isEmpty())
        return message;
    return boxText(message) + u'\n' + reason;
}

void show(const QString& message)
{
    const QString text = boxText(message);
    if (capture()) {
        capture()(text);
        return;
    }
    QMessageBox box(QMessageBox::Critical, applicationTitle(), text, QMessageBox::Ok);
    box.exec();
}

void setCaptureForTest(Capture hook) { capture() = std::move(hook); }

}  // namespace Unit1::errorbox
