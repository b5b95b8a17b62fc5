#include "catalogue/VisibleText.h"

bool IsEscapedCharacter(QChar c)
{
    const char16_t u = c.unicode();
    return u < 0x20 || (u >= 0x7F && u <= 0x9F)  // C0, DEL, C1
        || u == 0x061C                           // Arabic letter mark
        || u == 0x200E || u == 0x200F            // left-to-right and right-to-left marks
        || (u >= 0x2028 && u <= 0x202E)          // line and paragraph separators, embeddings, overrides
        || (u >= 0x2066 && u <= 0x2069)          // isolates
        || c.isSurrogate();
}

QString VisibleText(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            out += c;
            out += text.at(++i);
        } else if (!IsEscapedCharacter(c)) {
            out += c;
        } else if (c.unicode() < 0x100) {
            out += QStringLiteral("\\x") + QString::number(c.unicode(), 16).toUpper().rightJustified(2, u'0');
        } else {
            out += QStringLiteral("\\u") + QString::number(c.unicode(), 16).toUpper().rightJustified(4, u'0');
        }
    }
    return out;
}
