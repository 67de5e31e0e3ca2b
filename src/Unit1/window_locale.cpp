#include "window_locale.h"

namespace windowlocale {

QLocale numbers()
{
    QLocale locale(QLocale::Russian, QLocale::Russia);
    locale.setNumberOptions(QLocale::OmitGroupSeparator | QLocale::RejectGroupSeparator);
    return locale;
}

}  // namespace windowlocale
