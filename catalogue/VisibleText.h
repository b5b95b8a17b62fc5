#pragma once
// Text from a file or a command line made safe to print on a terminal:
// every character that could steer the terminal or reorder what it shows
// is written as a visible escape. tovelcheck and tovelconv print through it.

#include <QChar>
#include <QString>

// The text with every character that could steer a terminal or reorder what
// it shows written as a visible escape: C0 and C1 controls and DEL as \xHH,
// bidirectional controls, line and paragraph separators and lone surrogates
// as \uHHHH.
QString VisibleText(const QString &text);

// Whether VisibleText escapes c.
bool IsEscapedCharacter(QChar c);
