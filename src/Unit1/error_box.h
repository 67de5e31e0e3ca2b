// The error box: what the operator sees of every error that escapes a
// handler. The program carries on after it has been closed.
#pragma once

#include <QString>

#include <functional>

namespace Unit1::errorbox {

// Caption of the error boxes and the application's title.
inline const QString& applicationTitle()
{
    static const QString title = QStringLiteral("КАЛВИ-7 (2018)");
    return title;
}

// The message as shown: a full stop is appended unless the message already
// ends in a character whose code is at most that of the full stop.
QString boxText(const QString& message);

// A message and, on a line of its own, why it happened: the message keeps
// its full stop, the reason comes as given. Without a reason, the message
// alone.
QString withReason(const QString& message, const QString& reason);

// Shows the modal box with the critical icon and one OK button, or hands
// the text to the capture hook when one is set.
void show(const QString& message);

// Tests set a hook to receive the box text instead of a modal box, which
// would block them; an empty function restores the box.
using Capture = std::function<void(const QString& text)>;
void setCaptureForTest(Capture capture);

}  // namespace Unit1::errorbox
