#include "settings/forms/FormLook.h"

#include <QFrame>
#include <QGroupBox>
#include <QPalette>
#include <QTextLayout>
#include <QWidget>
#include <QtMath>

namespace {

constexpr double kTwipsPerInch = 1440.0;

} // namespace

TwipsLayout::TwipsLayout(const QWidget *window)
    : TwipsLayout(window->logicalDpiX() / kTwipsPerInch, window->logicalDpiY() / kTwipsPerInch)
{
}

TwipsLayout::TwipsLayout(double pixelsPerTwipX, double pixelsPerTwipY)
    : m_x(pixelsPerTwipX), m_y(pixelsPerTwipY)
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

QRect TwipsLayout::rect(int left, int top, int width, int height) const
{
    return QRect(x(left), y(top), x(width), y(height));
}

QSize TwipsLayout::size(int width, int height) const
{
    return QSize(x(width), y(height));
}

void TwipsLayout::place(QWidget *widget, int left, int top, int width, int height) const
{
    widget->setGeometry(rect(left, top, width, height));
}

void PutCaptionOnFrameLine(QGroupBox *frame)
{
    frame->setStyleSheet(QStringLiteral(
        "QGroupBox { border: 1px solid palette(mid); border-radius: 3px; margin-top: 7px; }"
        "QGroupBox::title { subcontrol-origin: margin; subcontrol-position: top left;"
        " left: 6px; padding: 0 2px; top: -1px; }"));
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
