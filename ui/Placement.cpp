#include "ui/Placement.h"

#include "settings/SettingsValues.h"

#include <QtGlobal>

QPoint CentredOn(const QRect &screen, QSize outer)
{
    return screen.topLeft()
        + QPoint(CentredPosition(screen.width(), outer.width()), CentredPosition(screen.height(), outer.height()));
}

bool TitleBarReachable(QPoint topLeft, QSize outer, int titleHeight, const std::vector<QRect> &screens)
{
    const QRect title(topLeft, QSize(qMax(outer.width(), 1), qMax(titleHeight, 1)));
    const int enough = qMax(title.width() / 4, 1);
    for (const QRect &screen : screens) {
        const QRect seen = title.intersected(screen);
        if (seen.height() == title.height() && seen.width() >= enough)
            return true;
    }
    return false;
}
