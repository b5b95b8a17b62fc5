#pragma once
// The About window: the program's name and version, a line on what it is,
// and two links to the author (e-mail and web page) opened through the
// desktop.
//
// A modal secondary window: always on top while open, no close button, and
// closed only by its OK button (also pressed by Enter and Esc). The links
// are blue, turn purple once the pointer has passed over them, and turn
// blue again when the pointer moves over the bare window surface (on a dark
// palette they take the palette's link colours).

#include "forms/SecondaryWindow.h"

#include <QColor>

class QEvent;
class QFrame;
class QLabel;
class QMouseEvent;
class QPushButton;
class Services;

class frmAbout : public SecondaryWindow {
    Q_OBJECT
public:
    frmAbout(Services &services, QWidget *owner);

    // Blue, a link not yet visited by the pointer, and purple, after the
    // pointer passed over it (on a dark palette: its link colours).
    QColor linkColour() const;
    QColor hoverColour() const;

    // The addresses behind the two links, as the labels show them.
    static QString mailAddress();
    static QString webAddress();

    // Load handling: always on top, Close taken away, both links blue.
    void Form_Load();

    void cmdOK_Click();
    void Label1_Click();
    void Label2_Click();
    void Label1_MouseMove();
    void Label2_MouseMove();
    void Form_MouseMove();

protected:
    void escapePressed() override;
    void mouseMoveEvent(QMouseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void setLinkColour(QLabel *label, const QColor &colour);

    Services &m_services;
    QLabel *Image1 = nullptr;
    QLabel *Label3 = nullptr;
    QLabel *lblMail = nullptr;
    QLabel *Label1 = nullptr;
    QLabel *lblURL = nullptr;
    QLabel *Label2 = nullptr;
    QFrame *Line1_0 = nullptr;
    QFrame *Line1_1 = nullptr;
    QPushButton *cmdOK = nullptr;
    QLabel *pressedLink = nullptr;  // the link a left button went down on
};
