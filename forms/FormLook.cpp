#include "forms/FormLook.h"

#include <QFont>
#include <QFontMetricsF>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QPalette>
#include <QTextLayout>
#include <QWidget>
#include <QtMath>

namespace {

constexpr double kTwipsPerInch = 1440.0;

// The letters whose mean width is a font's average character width, as
// dialog units count it.
const QString kAverageSample = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");

struct FontSize {
    double width = 0;   // average character width
    double height = 0;  // line height
};

FontSize MeasureFont(const QFont &font, const QWidget *widget)
{
    const QFontMetricsF metrics(font, widget);
    return {metrics.horizontalAdvance(kAverageSample) / kAverageSample.size(), metrics.height()};
}

}  // namespace

QFont DesignFont()
{
    return QFont(QStringLiteral("Sans Serif"), 9);
}

FontScale FontScaleOf(const QWidget *widget)
{
    // The design font is measured once per resolution: the window's own font
    // is usually the same one, and both are cheap once Qt has loaded them.
    struct Cached {
        int dpiX = 0;
        int dpiY = 0;
        FontSize design;
    };
    static Cached cached;
    // A style sheet (the program's -stylesheet option, a desktop's theme)
    // sets the font when the widget is polished, which is otherwise at its
    // first show: after the layout. Polish now to measure the font it shows.
    widget->ensurePolished();
    if (cached.dpiX != widget->logicalDpiX() || cached.dpiY != widget->logicalDpiY())
        cached = {widget->logicalDpiX(), widget->logicalDpiY(), MeasureFont(DesignFont(), widget)};
    const FontSize used = MeasureFont(widget->font(), widget);
    FontScale scale;
    if (cached.design.width > 0 && used.width > 0)
        scale.x = used.width / cached.design.width;
    if (cached.design.height > 0 && used.height > 0)
        scale.y = used.height / cached.design.height;
    return scale;
}

TwipsLayout::TwipsLayout(const QWidget *window) : TwipsLayout(window, FontScaleOf(window)) {}

TwipsLayout::TwipsLayout(const QWidget *window, FontScale scale)
    : m_x(window->logicalDpiX() / kTwipsPerInch * scale.x), m_y(window->logicalDpiY() / kTwipsPerInch * scale.y),
      m_scale(scale)
{
}

int TwipsLayout::x(int twips) const
{
    return qRound(twips * m_x);
}

int TwipsLayout::y(int twips) const
{
    return qRound(twips * m_y);
}

int TwipsLayout::scaledX(int designPixels) const
{
    return qRound(designPixels * m_scale.x);
}

int TwipsLayout::scaledY(int designPixels) const
{
    return qRound(designPixels * m_scale.y);
}

QRect TwipsLayout::rect(int left, int top, int width, int height) const
{
    return QRect(QPoint(x(left), y(top)), QPoint(x(left + width) - 1, y(top + height) - 1));
}

QSize TwipsLayout::size(int width, int height) const
{
    return QSize(x(width), y(height));
}

void TwipsLayout::place(QWidget *widget, const TwipsBox &box) const
{
    widget->setGeometry(rect(box));
}

void PutCaptionOnFrameLine(QGroupBox *frame, const TwipsLayout &layout)
{
    frame->setStyleSheet(
        QStringLiteral("QGroupBox { border: 1px solid palette(mid); border-radius: 3px; margin-top: %1px; }"
                       "QGroupBox::title { subcontrol-origin: margin; subcontrol-position: top left;"
                       " left: %2px; padding: 0 %3px; top: -1px; }")
            .arg(layout.scaledY(7))
            .arg(layout.scaledX(6))
            .arg(layout.scaledX(2)));
}

QFrame *MakeRuleLine(QWidget *parent, const QString &name, const QColor &colour, const QRect &geometry)
{
    auto *line = new QFrame(parent);
    line->setObjectName(name);
    line->setFrameShape(QFrame::NoFrame);
    line->setAutoFillBackground(true);
    QPalette palette = line->palette();
    palette.setColor(QPalette::Window, colour);
    line->setPalette(palette);
    line->setAttribute(Qt::WA_TransparentForMouseEvents);
    line->setGeometry(geometry);
    return line;
}

QSize CaptionSize(const QWidget *widget, const QString &caption)
{
    widget->ensurePolished();  // the font a style sheet gives it
    qreal width = 0;
    qreal height = 0;
    for (const QString &text : caption.split(QLatin1Char('\n'))) {
        QTextLayout layout(text, widget->font());
        layout.beginLayout();
        QTextLine line = layout.createLine();
        line.setLineWidth(1e6);
        layout.endLayout();
        width = qMax(width, line.naturalTextWidth());
        height += line.height();
    }
    return QSize(qCeil(width), qCeil(height));
}

void GrowToFitCaption(QWidget *widget, const QString &caption, Grow how, int rightLimit)
{
    QRect rect = widget->geometry();
    const QSize hint = widget->sizeHint();
    const int width = qMax(hint.width(), rect.width());
    rect.setWidth(rightLimit > 0 ? qMax(rect.width(), qMin(width, rightLimit - rect.x())) : width);
    const int extra = qMax(CaptionSize(widget, caption).height(), hint.height()) - rect.height();
    if (extra > 0) {
        if (how == Grow::AboutTheMiddle)
            rect.translate(0, -(extra / 2));
        rect.setHeight(rect.height() + extra);
    }
    widget->setGeometry(rect);
}

bool IsDarkPalette(const QPalette &palette)
{
    return palette.color(QPalette::Window).lightnessF() < palette.color(QPalette::WindowText).lightnessF();
}

QColor DesignedColour(const QPalette &palette, const QColor &designed, QPalette::ColorRole onDark)
{
    return IsDarkPalette(palette) ? palette.color(onDark) : designed;
}

void NameControl(QLabel *label, QWidget *control, const QString &name)
{
    control->setAccessibleName(name);
    label->setBuddy(control);
    label->setAccessibleName(name);
}
