// The printed form of a checker finding.
#include "catalogue/check/CheckFinding.h"

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
