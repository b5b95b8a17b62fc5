// The printed form of a checker finding.
#include "catalogue/check/CheckFinding.h"

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

bool IsInvisibleCharacter(char32_t c)
{
    if (QChar::category(c) == QChar::Other_Format)  // U+00AD, U+200B to U+200F, U+2060 to U+2064, U+FEFF ...
        return true;
    return c == 0x034F                      // combining grapheme joiner
        || c == 0x115F || c == 0x1160       // Hangul fillers
        || c == 0x3164 || c == 0xFFA0       // Hangul fillers
        || (c >= 0x180B && c <= 0x180F)     // Mongolian variation selectors and vowel separator
        || (c >= 0xFE00 && c <= 0xFE0F)     // variation selectors
        || (c >= 0xE0100 && c <= 0xE01EF);  // variation selectors supplement
}

QString ShortenedText(QStringView text)
{
    if (text.size() <= kShownCharacters)
        return text.toString();
    qsizetype cut = kShownCharacters;
    if (text.at(cut - 1).isHighSurrogate())
        --cut;
    return text.first(cut).toString() + QStringLiteral("…");
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

QString CheckFinding::text() const
{
    QString out = file;
    if (line > 0)
        out += QLatin1Char(':') + QString::number(line);
    out += QStringLiteral(": ");
    if (unit >= 0) {
        out += QStringLiteral("単位 %1").arg(unit + 1);
        if (!unitName.isEmpty())
            out += QStringLiteral("「%1」").arg(unitName);
        out += QStringLiteral(": ");
    }
    return VisibleText(out + message);
}
