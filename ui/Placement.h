#pragma once
// Where the main window may open: its stored position only while the user
// can reach its title bar on some screen, otherwise the centre of the
// primary screen. Everything here is in screen twips, in the coordinates of
// the whole desktop (a screen left of or above the primary one has negative
// coordinates).

#include <QPoint>
#include <QRect>
#include <QSize>
#include <vector>

// The window's outer corner that centres it on screen (rounded as the
// stored defaults are: the difference to the nearest twip, halved toward 0).
QPoint CentredOn(const QRect &screen, QSize outer);

// True when a strip of the title bar (titleHeight high, across the top of
// the window at topLeft) lies on one screen far enough to be grabbed: its
// whole height, and a quarter of its width or more.
bool TitleBarReachable(QPoint topLeft, QSize outer, int titleHeight, const std::vector<QRect> &screens);
