#include "Unit1/window_font.h"

namespace Unit1::windowfont {

QStringList arialTwins() { return {QStringLiteral("Liberation Sans"), QStringLiteral("Arimo")}; }

QFont withArialTwins(QFont font)
{
    QStringList families = font.families();
    for (const QString& twin : arialTwins())
        if (!families.contains(twin, Qt::CaseInsensitive))
            families.append(twin);
    font.setFamilies(families);
    return font;
}

}  // namespace Unit1::windowfont
