#pragma once
// The look every window shares: designed geometry in twips turned into
// pixels, frame captions on the frame's top line, the etched rule, and
// captions that grow where the font in use needs more room than the design.

#include <QColor>
#include <QRect>
#include <QSize>
#include <QString>

class QFrame;
class QGroupBox;
class QWidget;

// Turns a window's designed twips (1/1440 inch) into pixels. Every window
// lays out its controls through one of these.
class TwipsLayout {
public:
    // At the window's logical resolution: 15 twips a pixel at 96 dpi.
    explicit TwipsLayout(const QWidget *window);
    TwipsLayout(double pixelsPerTwipX, double pixelsPerTwipY);

    int x(int twips) const;
    int y(int twips) const;
    QRect rect(int left, int top, int width, int height) const;
    QSize size(int width, int height) const;
    void place(QWidget *widget, int left, int top, int width, int height) const;

private:
    double m_x;
    double m_y;
};

// Draws a frame's caption on its top line, as the designed layouts expect:
// the first row of a frame starts just below that line.
void PutCaptionOnFrameLine(QGroupBox *frame);

// One line of an etched rule (a white line over a grey one): a filled strip
// that takes no mouse input.
QFrame *MakeRuleLine(QWidget *parent, const QString &name, const QColor &colour, const QRect &geometry);
inline QColor RuleLightColour() { return QColor(0xFF, 0xFF, 0xFF); }
inline QColor RuleShadowColour() { return QColor(0x80, 0x80, 0x80); }

// The room a caption needs in the widget's font, every line of it, Japanese
// drawn from a fallback font included (QFontMetrics knows only the primary
// font, so the text is laid out for real).
QSize CaptionSize(const QWidget *widget, const QString &caption);

enum class Grow {
    DownAndRight,     // labels: the top left corner stays
    AboutTheMiddle,   // options: the middle line stays
};
// Grows widget just enough for its caption (and its own size hint), never
// past rightLimit (a pixel x in the parent; 0 for none).
void GrowToFitCaption(QWidget *widget, const QString &caption, Grow how, int rightLimit = 0);
