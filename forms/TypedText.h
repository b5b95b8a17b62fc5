#pragma once
// Text that arrives through an input method rather than as keys: the
// full-width forms a Japanese input method commits for digits, letters and
// signs ("２０", "－", "．") read as the ASCII characters they stand for.

#include <QString>

// The ASCII character a full-width form stands for (U+FF01 to U+FF5E, and
// the ideographic space as a space); any other character unchanged.
QChar AsciiFormOf(QChar c);

// Every character of text by AsciiFormOf.
QString AsciiForms(const QString &text);
