#pragma once
// The look of the frames of the main window and the settings dialog: the
// caption sits on the frame's top line, as the layouts in twips expect, so
// the first row of a frame starts just below that line.

#include <QGroupBox>
#include <QString>

inline void PutCaptionOnFrameLine(QGroupBox *frame)
{
    frame->setStyleSheet(QStringLiteral(
        "QGroupBox { border: 1px solid palette(mid); border-radius: 3px; margin-top: 7px; }"
        "QGroupBox::title { subcontrol-origin: margin; subcontrol-position: top left;"
        " left: 6px; padding: 0 2px; top: -1px; }"));
}
