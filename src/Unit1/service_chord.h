// The service key chord that toggles the operator and the service pages:
// Ctrl, Alt and Shift held with the key that carries "K" on a US layout and
// "Л" on a Russian one. The key is matched by its physical position, so the
// chord works whatever layout is active.
#pragma once

#include <qnamespace.h>
#include <QtGlobal>

namespace Unit1::servicechord {

// X11 and Wayland keycode of the key (evdev KEY_K + 8).
inline constexpr quint32 kXkbKeycode = 45;
// Windows virtual-key code of the key.
inline constexpr quint32 kWindowsVirtualKey = 0x4B;

// True for the service key. Platforms that report no native codes (such
// as the offscreen one) fall back to the key's letter on either layout.
bool isServiceKey(int key, quint32 nativeScanCode, quint32 nativeVirtualKey);

// True when Ctrl, Alt and Shift are all held; other modifiers do not matter.
bool hasChordModifiers(Qt::KeyboardModifiers modifiers);

}  // namespace Unit1::servicechord
