// Number text on arbitrary text: reading a decimal number, the three styles
// of what was read, and digit strings of several radices. Beyond "no crash,
// no undefined behaviour", each result must read back consistently.
#include "convert/ConversionFailure.h"
#include "convert/NumberText.h"

#include <QString>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>

namespace {

void Check(bool condition)
{
    if (!condition)
        std::abort();
}

QString WithoutFinalPoint(const QString &text)
{
    return text.endsWith(u'.') ? DropLastChar(text) : text;
}

// The scientific text of a value reads back to itself. Below the smallest
// normal double that cannot hold everywhere: the doubles there lie
// 4.9e-324 apart, more than a step of the text's third digit in places, so
// "1.00E-321" reads as the nearest double 9.98e-322, whose text is
// "9.98E-322". There the text must still stand for the value: the double it
// reads as lies within half a step of its last digit plus half the spacing
// of the doubles.
void CheckScientificReadsBack(double value, const QString &scientific)
{
    const double back = ReadNumber(scientific);
    const double smallestNormal = std::numeric_limits<double>::min();
    if (std::fabs(value) >= smallestNormal && std::fabs(back) >= smallestNormal) {
        Check(ScientificText(back) == scientific);
        return;
    }
    // "d.ddE-xxx": the last digit is worth 10^(exponent - 2).
    const qsizetype e = scientific.indexOf(u'E');
    Check(e > 0);
    bool ok = false;
    const int exponent = scientific.mid(e + 1).toInt(&ok);
    Check(ok);
    const long double digitStep = std::pow(10.0L, exponent - 2);
    const long double gridStep = std::numeric_limits<double>::denorm_min();
    const long double allowed = (digitStep + gridStep) / 2 * 1.000001L;
    Check(std::fabs(static_cast<long double>(back) - static_cast<long double>(value)) <= allowed);
}

void FuzzDecimal(const QString &text)
{
    double value = 0;
    try {
        value = ReadNumber(text);
    } catch (const ConversionFailure &failure) {
        Check(failure.kind() != FailureKind::Other);
        // The text styles leave what does not read unchanged.
        Check(GroupedText(text) == text);
        Check(ScientificText(text) == text);
        return;
    }
    Check(std::isfinite(value));
    Check(IsNumberText(text));

    // The plain text reads back to the same 15-digit value, except at the
    // very top, where rounding to 15 digits goes beyond the largest double.
    const QString plain = PlainText(value);
    const bool readsBack = IsNumberText(plain);
    Check(readsBack || std::fabs(value) > 1.797693134862315e308);
    if (readsBack)
        Check(PlainText(ReadNumber(plain)) == plain);

    // From 1 upward the grouped text holds every one of the 15 digits.
    const QString grouped = GroupedText(value);
    Check(grouped.isEmpty() == (value == 0));
    if (readsBack && std::fabs(value) >= 1)
        Check(PlainText(ReadNumber(WithoutFinalPoint(grouped))) == plain);

    const QString scientific = ScientificText(value);
    Check(scientific.size() >= 8 && scientific.size() <= 10);
    if (IsNumberText(scientific))
        CheckScientificReadsBack(value, scientific);
    else
        Check(std::fabs(value) >= 1.795e308);  // 1.80E+308 is beyond the largest double
    Check(ScientificText(text) == scientific);
    Check(GroupedText(text) == grouped);
}

// The digits of a radix as they should come back: upper case, no blanks
// around them, no leading zeros.
QString Canonical(const QString &text)
{
    QString digits = text.toUpper();
    while (!digits.isEmpty() && (digits.front() == u' ' || digits.front() == u'\t' || digits.front() == u'\u3000'))
        digits.remove(0, 1);
    while (!digits.isEmpty() && (digits.back() == u' ' || digits.back() == u'\t' || digits.back() == u'\u3000'))
        digits.chop(1);
    while (digits.size() > 1 && digits.front() == u'0')
        digits.remove(0, 1);
    return digits.isEmpty() ? QStringLiteral("0") : digits;
}

void FuzzRadix(const QString &text, int radix)
{
    try {
        const mpz_class value = FromRadixTextExact(text, radix);
        Check(value >= 0);
        if (radix >= 2 && radix <= 36) {
            Check(ToRadixTextExact(value, radix) == Canonical(text));
            const double rounded = FromRadixText(text, qint16(radix));
            Check(std::isfinite(rounded) && rounded >= 0);
        } else {
            Check(value == 0);
        }
    } catch (const ConversionFailure &failure) {
        Check(failure.kind() != FailureKind::Other);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    // The first byte chooses how the rest becomes text and one more radix.
    const uint8_t mode = data[0];
    ++data;
    --size;
    QString text;
    if (mode & 1) {
        // Raw UTF-16 units, lone surrogates included.
        text = QString(reinterpret_cast<const QChar *>(data), static_cast<qsizetype>(size / 2));
    } else {
        text = QString::fromUtf8(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    }

    FuzzDecimal(text);
    for (const int radix : {2, 8, 10, 16, 36})
        FuzzRadix(text, radix);
    FuzzRadix(text, (mode >> 1) - 32);  // -32..95: inside and outside 2..36
    return 0;
}
