#include "Unit1/service_chord.h"

namespace Unit1::servicechord {

bool isServiceKey(int key, quint32 nativeScanCode, quint32 nativeVirtualKey)
{
#ifdef Q_OS_WIN
    if (nativeVirtualKey != 0)
        return nativeVirtualKey == kWindowsVirtualKey;
#else
    if (nativeScanCode != 0)
        return nativeScanCode == kXkbKeycode;
#endif
    Q_UNUSED(nativeScanCode);
    Q_UNUSED(nativeVirtualKey);
    constexpr int cyrillicEl = 0x041B;       // "Л"
    constexpr int cyrillicSmallEl = 0x043B;  // "л"
    return key == Qt::Key_K || key == cyrillicEl || key == cyrillicSmallEl;
}

bool hasChordModifiers(Qt::KeyboardModifiers modifiers)
{
    constexpr Qt::KeyboardModifiers chord = Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier;
    return (modifiers & chord) == chord;
}

}  // namespace Unit1::servicechord
