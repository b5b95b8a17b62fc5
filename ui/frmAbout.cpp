#include "ui/frmAbout.h"

#include "forms/FormLook.h"
#include "ui/Services.h"

#include <QEvent>
#include <QFont>
#include <QFrame>
#include <QLabel>
#include <QMouseEvent>
#include <QPalette>
#include <QPixmap>
#include <QPushButton>
#include <QtGlobal>

#ifndef TOVEL_VERSION
#error "TOVEL_VERSION must be defined by the build"
#endif
#ifndef TOVEL_AUTHOR_MAIL
#error "TOVEL_AUTHOR_MAIL must be defined by the build"
#endif
#ifndef TOVEL_AUTHOR_URL
#error "TOVEL_AUTHOR_URL must be defined by the build"
#endif

namespace {

// The window as designed, in twips (15 twips make one pixel at 96 dpi).
constexpr int kClientWidth = 4530;
constexpr int kClientHeight = 1905;

constexpr TwipsBox kImage1{240, 420, 480, 480};
constexpr TwipsBox kLabel3{960, 120, 3195, 375};
constexpr TwipsBox kLblMail{960, 660, 375, 195};
constexpr TwipsBox kLabel1{1560, 660, 1995, 225};
constexpr TwipsBox kLblURL{960, 1020, 375, 195};
constexpr TwipsBox kLabel2{1560, 1020, 2475, 225};
constexpr TwipsBox kCmdOK{1680, 1500, 1245, 345};
// The etched separator: a white line and a grey one a pixel below it.
constexpr int kLineLeft = 60;
constexpr int kLineRight = 4500;
constexpr int kLine0Top = 1380;
constexpr int kLine1Top = 1395;

}  // namespace

frmAbout::frmAbout(Services &services, QWidget *owner) : SecondaryWindow(owner), m_services(services)
{
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("バージョン情報"));

    const TwipsLayout layout(this);
    const int clientWidth = layout.x(kClientWidth);
    setFixedSize(layout.size(kClientWidth, kClientHeight));

    // A label keeps its designed place; where the system font needs more room
    // than the design gave, it grows to the right (within the window) and
    // downwards just enough for its text.
    auto placeLabel = [&](QLabel *label, const TwipsBox &box) {
        layout.place(label, box);
        GrowToFitCaption(label, label->text(), Grow::DownAndRight, clientWidth);
    };

    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    const QPixmap icon(QStringLiteral(":/icons/tovel-32.png"));
    if (!icon.isNull())
        Image1->setPixmap(icon);
    layout.place(Image1, kImage1);

    Label3 = new QLabel(QStringLiteral("Tovel v" TOVEL_VERSION "\n    いろいろな単位の換算ツール"), this);
    Label3->setObjectName(QStringLiteral("Label3"));
    Label3->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    placeLabel(Label3, kLabel3);

    lblMail = new QLabel(QStringLiteral("Mail"), this);
    lblMail->setObjectName(QStringLiteral("lblMail"));
    placeLabel(lblMail, kLblMail);

    lblURL = new QLabel(QStringLiteral("HP"), this);
    lblURL->setObjectName(QStringLiteral("lblURL"));
    {
        QPalette palette = lblURL->palette();
        palette.setColor(QPalette::WindowText, DesignedColour(palette, Qt::black, QPalette::WindowText));
        lblURL->setPalette(palette);
    }
    placeLabel(lblURL, kLblURL);

    // The links: underlined, in the Japanese font of the design when the
    // system has it, otherwise in the window's own (Japanese) font, at the
    // window's size (9 points at the design font).
    QFont linkFont = font();
    QStringList families{QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("MS PGothic")};
    families += linkFont.families().isEmpty() ? QStringList{linkFont.family()} : linkFont.families();
    linkFont.setFamilies(families);
    linkFont.setWeight(QFont::Normal);
    linkFont.setUnderline(true);

    Label1 = new QLabel(mailAddress(), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label2 = new QLabel(webAddress(), this);
    Label2->setObjectName(QStringLiteral("Label2"));
    for (QLabel *link : {Label1, Label2}) {
        link->setFont(linkFont);
        link->setCursor(Qt::PointingHandCursor);
        link->setMouseTracking(true);
        link->installEventFilter(this);
        setLinkColour(link, linkColour());
    }
    placeLabel(Label1, kLabel1);
    placeLabel(Label2, kLabel2);

    // The separator lines take no mouse input: the pointer over them is over
    // the bare window surface.
    auto makeLine = [&](const char *name, int top, const QColor &colour) {
        return MakeRuleLine(
            this, QString::fromLatin1(name), colour,
            QRect(layout.x(kLineLeft), layout.y(top), layout.x(kLineRight) - layout.x(kLineLeft) + 1, 1));
    };
    Line1_0 = makeLine("Line1_0", kLine0Top, RuleLightColour(palette()));
    Line1_1 = makeLine("Line1_1", kLine1Top, RuleShadowColour(palette()));

    cmdOK = new QPushButton(QStringLiteral("OK"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setDefault(true);
    cmdOK->setAutoDefault(true);
    layout.place(cmdOK, kCmdOK);
    connect(cmdOK, &QPushButton::clicked, this, &frmAbout::cmdOK_Click);

    // Pointer moves over the bare surface arrive without a button held down.
    setMouseTracking(true);
}

QColor frmAbout::linkColour() const
{
    return DesignedColour(palette(), QColor(0, 0, 255), QPalette::Link);
}

QColor frmAbout::hoverColour() const
{
    return DesignedColour(palette(), QColor(128, 0, 128), QPalette::LinkVisited);
}

QString frmAbout::mailAddress()
{
    return QStringLiteral(TOVEL_AUTHOR_MAIL);
}

QString frmAbout::webAddress()
{
    return QStringLiteral(TOVEL_AUTHOR_URL);
}

void frmAbout::Form_Load()
{
    setLinkColour(Label1, linkColour());
    setLinkColour(Label2, linkColour());
    cmdOK->setFocus();
}

void frmAbout::cmdOK_Click()
{
    unload();
}

void frmAbout::Label1_Click()
{
    // The window stays open; the desktop reports its own failures.
    m_services.openDocument(QStringLiteral("mailto:") + Label1->text());
}

void frmAbout::Label2_Click()
{
    m_services.openDocument(Label2->text());
}

void frmAbout::Label1_MouseMove()
{
    setLinkColour(Label1, hoverColour());
}

void frmAbout::Label2_MouseMove()
{
    setLinkColour(Label2, hoverColour());
}

void frmAbout::Form_MouseMove()
{
    setLinkColour(Label1, linkColour());
    setLinkColour(Label2, linkColour());
}

void frmAbout::escapePressed()
{
    cmdOK_Click();
}

void frmAbout::mouseMoveEvent(QMouseEvent *event)
{
    // Only the bare surface counts: a move that a control passed on (the
    // separator lines take none) changes nothing.
    if (!childAt(event->position().toPoint()))
        Form_MouseMove();
    SecondaryWindow::mouseMoveEvent(event);
}

bool frmAbout::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != Label1 && watched != Label2)
        return SecondaryWindow::eventFilter(watched, event);
    auto *label = static_cast<QLabel *>(watched);
    switch (event->type()) {
    case QEvent::Enter:
    case QEvent::MouseMove:
        if (label == Label1)
            Label1_MouseMove();
        else
            Label2_MouseMove();
        return event->type() == QEvent::MouseMove;
    case QEvent::MouseButtonPress: {
        auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->button() == Qt::LeftButton)
            pressedLink = label;
        return true;
    }
    case QEvent::MouseButtonRelease: {
        auto *mouse = static_cast<QMouseEvent *>(event);
        const bool click = mouse->button() == Qt::LeftButton && pressedLink == label
            && label->rect().contains(mouse->position().toPoint());
        if (mouse->button() == Qt::LeftButton)
            pressedLink = nullptr;
        if (click) {
            if (label == Label1)
                Label1_Click();
            else
                Label2_Click();
        }
        return true;
    }
    default: return false;
    }
}

void frmAbout::setLinkColour(QLabel *label, const QColor &colour)
{
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour);
    label->setPalette(palette);
}
