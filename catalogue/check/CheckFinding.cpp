// The printed form of a checker finding.
#include "catalogue/check/CheckFinding.h"

QString CheckFinding::text() const
{
    QString out = file;
    if (line > 0)
        out += QLatin1Char(':') + QString::number(line);
    out += QStringLiteral(": ");
    if (unit >= 0) {
        out += QStringLiteral("単位 %1").arg(unit + 1);
        if (!unitName.isEmpty())
            out += QStringLiteral("「%1」").arg(unitName);
        out += QStringLiteral(": ");
    }
    return out + message;
}
