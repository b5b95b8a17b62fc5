#pragma once
// The look every window shares: designed geometry in twips turned into
// pixels, frame captions on the frame's top line, the etched rule, and
// captions that grow where the font in use needs more room than the design.
//
// The windows were designed for Qt's default font, "Sans Serif" 9 pt. A
// desktop that sets a larger font (10 or 11 pt is common) gets the whole
// layout scaled the way dialog units work: horizontally by the font's
// average character width, vertically by its line height, both compared
// with the design font at the same resolution. At the design font nothing
// moves by a pixel.

#include <QColor>
#include <QPalette>
#include <QRect>
#include <QSize>
#include <QString>

class QFont;
class QFrame;
class QGroupBox;
class QLabel;
class QWidget;

// How much room the font in use takes next to the design font: x for the
// average width of a character, y for the height of a line.
struct FontScale {
    double x = 1.0;
    double y = 1.0;
};

// The font of widget (as its window will draw it) against the design font,
// both measured at the widget's resolution.
FontScale FontScaleOf(const QWidget *widget);
// The design font: Qt's own default, "Sans Serif" 9 pt.
QFont DesignFont();

// A control's place as designed, in twips. Each window states its design as
// constexpr TwipsBox tables and places its controls from them through a
// TwipsLayout.
struct TwipsBox {
    int left, top, width, height;
};

// Turns a window's designed twips (1/1440 inch) into pixels. Every window
// lays out its controls through one of these.
class TwipsLayout {
public:
    // At the window's logical resolution (15 twips a pixel at 96 dpi),
    // scaled by the window's font against the design font.
    explicit TwipsLayout(const QWidget *window);
    TwipsLayout(const QWidget *window, FontScale scale);

    int x(int twips) const;
    int y(int twips) const;
    // Edges are rounded, not lengths, so controls that touch in the design
    // still touch, and never overlap, at any scale.
    QRect rect(int left, int top, int width, int height) const;
    QRect rect(const TwipsBox &box) const { return rect(box.left, box.top, box.width, box.height); }
    QSize size(int width, int height) const;
    void place(QWidget *widget, const TwipsBox &box) const;
    // A length in design pixels (as at 96 dpi) scaled by the font.
    int scaledX(int designPixels) const;
    int scaledY(int designPixels) const;

private:
    double m_x;
    double m_y;
    FontScale m_scale;
};

// Draws a frame's caption on its top line, as the designed layouts expect:
// the first row of a frame starts just below that line. The margins follow
// the font as the layout does.
void PutCaptionOnFrameLine(QGroupBox *frame, const TwipsLayout &layout);

// One line of an etched rule (a white line over a grey one): a filled strip
// that takes no mouse input.
QFrame *MakeRuleLine(QWidget *parent, const QString &name, const QColor &colour, const QRect &geometry);

// The windows' fixed colours were chosen for a light desktop. A dark palette
// (its window colour darker than its text) gets the palette's own colour of
// the same purpose instead; a light one keeps the designed colour exactly.
bool IsDarkPalette(const QPalette &palette);
QColor DesignedColour(const QPalette &palette, const QColor &designed, QPalette::ColorRole onDark);
// The etched rule: a white line over a grey one (on a dark palette its
// light and mid colours).
inline QColor RuleLightColour(const QPalette &palette)
{
    return DesignedColour(palette, QColor(0xFF, 0xFF, 0xFF), QPalette::Light);
}
inline QColor RuleShadowColour(const QPalette &palette)
{
    return DesignedColour(palette, QColor(0x80, 0x80, 0x80), QPalette::Mid);
}

// Names control for assistive technology: by its own name and through
// label, which becomes the label tied to it (Qt on Linux names a list by
// its current entry and tells a screen reader what the list is only
// through such a label).
void NameControl(QLabel *label, QWidget *control, const QString &name);

// The room a caption needs in the widget's font, every line of it, Japanese
// drawn from a fallback font included (QFontMetrics knows only the primary
// font, so the text is laid out for real).
QSize CaptionSize(const QWidget *widget, const QString &caption);

enum class Grow {
    DownAndRight,    // labels: the top left corner stays
    AboutTheMiddle,  // options: the middle line stays
};
// Grows widget just enough for its caption (and its own size hint), never
// past rightLimit (a pixel x in the parent; 0 for none).
void GrowToFitCaption(QWidget *widget, const QString &caption, Grow how, int rightLimit = 0);
