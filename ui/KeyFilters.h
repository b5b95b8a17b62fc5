#pragma once
// The main window's two key filters: Enter seen by the window before the
// focused control, and the value box taking only the characters a number of
// the current series can hold.

#include <QObject>
#include <functional>

class QKeyEvent;
class QWidget;

// What a key press types into the value box, as the character code the entry
// filter judges: Backspace 8, Enter 13, Ctrl+A to Ctrl+Z 1 to 26, otherwise
// the key's text. -1 for a key that types nothing and keeps its own editing
// function (arrows, Home, Delete, Tab, ... without Ctrl; a modifier alone).
int TypedCharCode(int key, Qt::KeyboardModifiers modifiers, const QString &text);

// Installed on the application: sees every key before its receiver and runs
// onEnter(withShift) for Enter pressed in window, once, on its first delivery
// (to the focus widget), while no modal window is open. That key goes no
// further: no control of the window handles Enter itself. Other keys go on
// to their receiver.
class EnterPreview : public QObject {
public:
    EnterPreview(QWidget *window, std::function<void(bool withShift)> onEnter);
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidget *m_window;
    std::function<void(bool)> m_onEnter;
};

// Installed on the value box: discards every key whose character accepts()
// refuses, and refuses the box's own Ctrl+letter editing shortcuts so that
// the window's shortcuts get them; Ctrl+A still selects the whole value.
// The box tells the input method that it takes no input (Qt's line edit
// says it does whatever its attributes say), and text an input method
// commits all the same passes the same judgement, character by character,
// full-width digits and signs as their ASCII forms; its preedit is dropped.
class ValueBoxFilter : public QObject {
public:
    ValueBoxFilter(QObject *parent, std::function<bool(unsigned code)> accepts);
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    std::function<bool(unsigned)> m_accepts;
};
