#include "convert/Conversion.h"

#include "convert/CompoundText.h"
#include "convert/NumberText.h"

#include <cmath>
#include <limits>
#include <new>

namespace {

using Style = ResultStyle;

[[noreturn]] void Fail(FailureKind kind)
{
    throw ConversionFailure(kind);
}

// The style the settings ask for, if the target unit permits it.
Style StyleFor(const UnitRecord &target, Style wanted)
{
    if (target.SeparatorOK == 1 && wanted == Style::Grouped)
        return Style::Grouped;
    if (target.ExponentOK == 1 && wanted == Style::Scientific)
        return Style::Scientific;
    return Style::Plain;
}

bool InGroupedRange(double value, int placeNum)
{
    return value >= 1.0 && BelowPowerOfTen(value, placeNum);
}

QString WithoutFinalPoint(const QString &text)
{
    return text.endsWith(u'.') ? DropLastChar(text) : text;
}

// The typed text as the grouped style shows it: grouped when its value lies
// between 1 and the digit limit, as typed otherwise; no final point.
QString GroupedTyped(const QString &typed, int placeNum)
{
    const double v = ReadNumber(typed);
    return WithoutFinalPoint(InGroupedRange(v, placeNum) ? GroupedText(typed) : typed);
}

// The radix of a number-base unit: its factor rounded to a 16-bit integer.
int RadixOf(const UnitRecord &unit)
{
    return RoundToInt16(unit.Factor);
}

QString SameUnitResult(const ConversionRequest &request, const UnitRecord &target, bool numberBase)
{
    if (numberBase)
        return request.typedText;
    if (request.keptValue)
        return StyledResultText(*request.keptValue, target, request.style, request.placeNum, request.sigDigits);
    if (request.sigDigits < MaxSigDigits && IsNumberText(request.typedText))
        return StyledResultText(ReadNumber(request.typedText), target, request.style, request.placeNum,
                                request.sigDigits);
    switch (StyleFor(target, request.style)) {
    case Style::Grouped: return GroupedTyped(request.typedText, request.placeNum);
    case Style::Scientific: return ScientificText(request.typedText);
    case Style::Plain: break;
    }
    return PlainText(ReadNumber(request.typedText));
}

QString NumberBaseResult(const ConversionRequest &request, const UnitRecord &source, const UnitRecord &target)
{
    const int sourceRadix = RadixOf(source);
    const mpz_class base = FromRadixTextExact(request.typedText, sourceRadix);
    const int targetRadix = RadixOf(target);
    return ToRadixTextExact(base, targetRadix);
}

// K / x for a reciprocal unit of constant K. A K of 0 (a unit that the file
// left without one) has no values at all; x of 0 would need a division by 0.
double Reciprocal(double k, double x)
{
    if (k == 0.0 || x == 0.0)
        Fail(FailureKind::Other);
    const double result = k / x;
    if (!std::isfinite(result))
        Fail(FailureKind::Overflow);
    return result;
}

// 0 in a reciprocal unit of a constant K > 0 is infinite in the base unit,
// and an infinite value is 0 in it: K / x taken to its limit. Other values
// go through Reciprocal.
double ReciprocalOrLimit(double k, double x)
{
    if (k > 0.0 && x == 0.0)
        return std::numeric_limits<double>::infinity();
    if (k > 0.0 && std::isinf(x))
        return 0.0;
    return Reciprocal(k, x);
}

double ToBase(double v, const UnitRecord &source)
{
    if (source.Reciprocal)
        return ReciprocalOrLimit(source.Factor, v);
    if (std::isinf(v))
        return v;  // a kept infinite result
    const double shifted = v - source.Offset;
    if (!std::isfinite(shifted))
        Fail(FailureKind::Overflow);
    const double base = shifted * source.Factor;
    if (!std::isfinite(base))
        Fail(FailureKind::Overflow);
    return base;
}

double FromBase(double base, const UnitRecord &target)
{
    if (target.Reciprocal)
        return ReciprocalOrLimit(target.Factor, base);
    if (std::isinf(base) && target.Factor > 0.0)
        return base;
    if (target.Factor == 0.0)
        Fail(base == 0.0 ? FailureKind::Overflow : FailureKind::Other);
    const double scaled = base / target.Factor;
    if (!std::isfinite(scaled))
        Fail(FailureKind::Overflow);
    const double result = scaled + target.Offset;
    if (!std::isfinite(result))
        Fail(FailureKind::Overflow);
    return result;
}

// Every unit meets the others in the base unit.
double LinearResult(double v, const UnitRecord &source, const UnitRecord &target)
{
    return FromBase(ToBase(v, source), target);
}

double SourceValue(const ConversionRequest &request)
{
    return request.keptValue ? *request.keptValue : ReadNumber(request.typedText);
}

const UnitRecord &UnitAt(const UnitArray &units, int pos);

// A value in several units: from the base value, the parts as CompoundParts
// splits them.
void CompoundResult(const ConversionRequest &request, const UnitRecord &source, const UnitArray &units,
                    ConversionOutcome &outcome)
{
    std::vector<const UnitRecord *> parts;
    for (const int pos : request.targetParts)
        parts.push_back(&UnitAt(units, pos));
    const double base = ToBase(SourceValue(request), source);
    CompoundStyle style{request.style, request.placeNum, request.sigDigits};
    const std::vector<CompoundPart> split = CompoundParts(base, parts, style);
    QStringList names;
    for (const CompoundPart &part : split) {
        outcome.partTexts << part.text;
        outcome.partUnits.push_back(request.targetParts[size_t(part.index)]);
        names << parts[size_t(part.index)]->UnitName;
    }
    outcome.resultText = CompoundResultText(outcome.partTexts, names);
}

QString LinearResultText(const ConversionRequest &request, const UnitRecord &source, const UnitRecord &target,
                         double &value)
{
    value = LinearResult(SourceValue(request), source, target);
    return StyledResultText(value, target, request.style, request.placeNum, request.sigDigits);
}

const UnitRecord &UnitAt(const UnitArray &units, int pos)
{
    if (pos < 0 || static_cast<std::size_t>(pos) >= units.size())
        Fail(FailureKind::Other);
    return units[static_cast<std::size_t>(pos)];
}

}  // namespace

QString StyledResultText(double r, const UnitRecord &target, ResultStyle style, int placeNum, int sigDigits)
{
    if (std::isinf(r))
        return r < 0 ? QStringLiteral("-") + QString::fromUtf16(kInfinityText) : QString::fromUtf16(kInfinityText);
    // Each style starts from r rounded to the significant digits (15 at
    // most), as PlainText writes it. They format r itself: the same digits,
    // and no detour through a text that may not read back (r near the
    // largest double rounds beyond it).
    switch (StyleFor(target, style)) {
    case Style::Grouped:
        return WithoutFinalPoint(InGroupedRange(r, placeNum) && BelowPowerOfTen(r, placeNum, sigDigits)
                                     ? GroupedText(r, sigDigits)
                                     : PlainText(r, sigDigits));
    case Style::Scientific: return ScientificText(r, sigDigits);
    case Style::Plain: break;
    }
    return PlainText(r, sigDigits);
}

ResultStyle ResultStyleOf(int showAns)
{
    switch (showAns) {
    case 1: return ResultStyle::Grouped;
    case 2: return ResultStyle::Scientific;
    default: return ResultStyle::Plain;
    }
}

ConversionOutcome ConvertRequest(const ConversionRequest &request, const UnitArray &units)
{
    ConversionOutcome outcome;
    try {
        const UnitRecord &source = UnitAt(units, request.sourcePos);
        const bool numberBase = request.numberBase;
        outcome.resultValue = std::numeric_limits<double>::quiet_NaN();
        if (!request.targetParts.empty()) {
            if (numberBase)
                Fail(FailureKind::Other);
            CompoundResult(request, source, units, outcome);
            outcome.resultWritten = true;
            const UnitRecord &last = UnitAt(units, request.targetParts.back());
            outcome.shownSource = StyleFor(last, request.style) == Style::Grouped && !request.keptValue
                ? GroupedTyped(request.typedText, request.placeNum)
                : request.typedText;
            return outcome;
        }
        const UnitRecord &target = UnitAt(units, request.targetPos);
        QString result;
        if (request.sourcePos == request.targetPos) {
            result = SameUnitResult(request, target, numberBase);
            if (!numberBase && (request.keptValue || IsNumberText(request.typedText)))
                outcome.resultValue = SourceValue(request);
        } else if (numberBase) {
            result = NumberBaseResult(request, source, target);
        } else {
            result = LinearResultText(request, source, target, outcome.resultValue);
        }
        outcome.resultWritten = true;
        outcome.resultText = result;

        // The source value of the result line; the test uses the target
        // unit's flag, in every series.
        // A kept value's text is a result as it was shown: it stays so.
        outcome.shownSource = StyleFor(target, request.style) == Style::Grouped && !request.keptValue
            ? GroupedTyped(request.typedText, request.placeNum)
            : request.typedText;
    } catch (const ConversionFailure &failure) {
        outcome.failed = true;
        outcome.failure = failure.kind();
    } catch (const std::bad_alloc &) {
        outcome.failed = true;
        outcome.failure = FailureKind::Other;
    }
    if (outcome.failed)
        outcome.shownSource.clear();
    return outcome;
}

QString ResultLine(const QString &shownSource, const QString &sourceUnit, const QString &resultText,
                   const QString &targetUnit)
{
    return shownSource + QStringLiteral(" (") + sourceUnit + QStringLiteral(") => ") + resultText + QStringLiteral(" (")
        + targetUnit + QStringLiteral(")\r\n");
}

QString CompoundResultText(const QStringList &partTexts, const QStringList &unitNames)
{
    QStringList words;
    for (qsizetype i = 0; i < partTexts.size() && i < unitNames.size(); ++i)
        words << partTexts[i] << unitNames[i];
    return words.join(u' ');
}

QString CompoundLineText(const QStringList &partTexts, const QStringList &unitNames)
{
    QStringList words;
    for (qsizetype i = 0; i < partTexts.size() && i < unitNames.size(); ++i)
        words << partTexts[i] + QStringLiteral(" (") + unitNames[i] + u')';
    return words.join(u' ');
}

QString ValueTextOfResult(const QString &resultText, bool numberBase)
{
    if (numberBase)
        return resultText;
    QString text = resultText;
    text.remove(u',');
    text = WithoutFinalPoint(text);
    return text.isEmpty() ? QStringLiteral("0") : text;
}
