#include "forms/TypedText.h"

QChar AsciiFormOf(QChar c)
{
    const char16_t code = c.unicode();
    if (code >= 0xFF01 && code <= 0xFF5E)
        return QChar(char16_t(code - 0xFF01 + 0x21));
    if (code == 0x3000)
        return QChar(u' ');
    return c;
}

QString AsciiForms(const QString &text)
{
    QString ascii = text;
    for (QChar &c : ascii)
        c = AsciiFormOf(c);
    return ascii;
}
