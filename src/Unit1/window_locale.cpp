#include "Unit1/window_locale.h"

namespace Unit1::windowlocale {

QLocale numbers()
{
    QLocale locale(QLocale::Russian, QLocale::Russia);
    locale.setNumberOptions(QLocale::OmitGroupSeparator | QLocale::RejectGroupSeparator);
    return locale;
}

}  // namespace Unit1::windowlocale
