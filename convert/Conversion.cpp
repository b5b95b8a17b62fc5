#include "convert/Conversion.h"

#include "convert/NumberText.h"
#include "convert/ValueParser.h"

#include <charconv>
#include <cmath>
#include <initializer_list>
#include <new>
#include <utility>

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

// A reciprocal unit's constant K: a finite number above 0. A K of 0 (a
// unit that the file left without one, or that did not read) or below 0
// gives the unit no values at all.
bool HasUsableConstant(const UnitRecord &unit)
{
    return std::isfinite(unit.Factor) && unit.Factor > 0.0;
}

QString SameUnitResult(const ConversionRequest &request, const UnitRecord &target, bool numberBase)
{
    if (numberBase)
        return request.typedText;
    // A reciprocal unit has no value 0, in any unit it is converted to, and
    // one without a usable constant no values at all, not even in itself.
    if (target.Reciprocal && (!HasUsableConstant(target) || ReadNumber(request.typedText) == 0.0))
        Fail(FailureKind::Other);
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

// The first of the ways to compute one quotient that stays within the
// range of a double all the way: 0 only when every way gives 0, a failure
// when none is finite.
double FirstInRange(std::initializer_list<double> ways)
{
    bool zero = false;
    for (const double way : ways) {
        if (std::isfinite(way) && way != 0.0)
            return way;
        zero = zero || way == 0.0;
    }
    if (!zero)
        Fail(FailureKind::Overflow);
    return 0.0;
}

// A conversion with a reciprocal unit on either side (value = K / base).
// The factors are put together in the order that keeps every step in
// range: 1e308 m/s is a pace of 1.7e-307 min/km although 1e308 m/s in km/h
// is beyond a double. The first way is the plain order, so results that
// were in range all along keep their last digit.
double ReciprocalResult(double v, const UnitRecord &source, const UnitRecord &target)
{
    if ((source.Reciprocal && !HasUsableConstant(source)) || (target.Reciprocal && !HasUsableConstant(target)))
        Fail(FailureKind::Other);
    if (source.Reciprocal && target.Reciprocal) {
        // K2 / (K1 / v)
        if (v == 0.0)
            Fail(FailureKind::Other);
        const double k1 = source.Factor;
        const double k2 = target.Factor;
        return FirstInRange({k2 / (k1 / v), v * (k2 / k1), (v / k1) * k2, (v * k2) / k1});
    }
    if (source.Reciprocal) {
        // (K / v) / f + offset
        if (v == 0.0)
            Fail(FailureKind::Other);
        const double k = source.Factor;
        const double f = target.Factor;
        if (f == 0.0)
            Fail(FailureKind::Other);
        const double scaled = FirstInRange({(k / v) / f, (k / f) / v, k / (v * f)});
        const double result = scaled + target.Offset;
        if (!std::isfinite(result))
            Fail(FailureKind::Overflow);
        return result;
    }
    // K / ((v - offset) * f)
    const double shifted = v - source.Offset;
    if (!std::isfinite(shifted))
        Fail(FailureKind::Overflow);
    const double k = target.Factor;
    const double f = source.Factor;
    if (shifted == 0.0 || f == 0.0)
        Fail(FailureKind::Other);
    return FirstInRange({k / (shifted * f), (k / f) / shifted, (k / shifted) / f});
}

double ToBase(double v, const UnitRecord &source)
{
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
    if (source.Reciprocal || target.Reciprocal)
        return ReciprocalResult(v, source, target);
    return FromBase(ToBase(v, source), target);
}

QString LinearResultText(const ConversionRequest &request, const UnitRecord &source, const UnitRecord &target)
{
    const double v = ReadNumber(request.typedText);
    const double r = LinearResult(v, source, target);
    // Both styles start from r cut to 15 significant digits, as PlainText
    // writes it. They format r itself: the same digits, and no detour
    // through a text that may not read back (r near the largest double
    // rounds beyond it at 15 digits).
    switch (StyleFor(target, request.style)) {
    case Style::Grouped: return WithoutFinalPoint(InGroupedRange(r, request.placeNum) ? GroupedText(r) : PlainText(r));
    case Style::Scientific: return ScientificText(r);
    case Style::Plain: break;
    }
    return PlainText(r);
}

// The shortest text that ReadNumber reads as value.
QString NumberTextOf(double value)
{
    char buf[32];
    const auto end = std::to_chars(buf, buf + sizeof buf, value).ptr;
    return QString::fromLatin1(buf, end - buf);
}

const UnitRecord &UnitAt(const UnitArray &units, int pos)
{
    if (pos < 0 || static_cast<std::size_t>(pos) >= units.size())
        Fail(FailureKind::Other);
    return units[static_cast<std::size_t>(pos)];
}

}  // namespace

ResultStyle ResultStyleOf(int showAns)
{
    switch (showAns) {
    case 1: return ResultStyle::Grouped;
    case 2: return ResultStyle::Scientific;
    default: return ResultStyle::Plain;
    }
}

ConversionOutcome ConvertRequest(const ConversionRequest &typedRequest, const UnitArray &units)
{
    ConversionOutcome outcome;
    try {
        // A formula is converted as the number it comes to and shown as
        // typed; a text that reads as a number goes the plain way, unchanged.
        ConversionRequest formula;
        const bool isFormula = typedRequest.formulas && !typedRequest.numberBase
            && !IsNumberText(typedRequest.typedText);
        if (isFormula) {
            formula = typedRequest;
            formula.typedText = NumberTextOf(ReadValue(typedRequest.typedText));
        }
        const ConversionRequest &request = isFormula ? formula : typedRequest;
        const UnitRecord &source = UnitAt(units, request.sourcePos);
        const UnitRecord &target = UnitAt(units, request.targetPos);
        const bool numberBase = request.numberBase;

        QString result;
        if (request.sourcePos == request.targetPos)
            result = SameUnitResult(request, target, numberBase);
        else if (numberBase)
            result = NumberBaseResult(request, source, target);
        else
            result = LinearResultText(request, source, target);
        outcome.resultWritten = true;
        outcome.resultText = std::move(result);

        // The source value of the result line; the test uses the target
        // unit's flag, in every series.
        if (isFormula)
            outcome.shownSource = typedRequest.typedText;
        else
            outcome.shownSource = StyleFor(target, request.style) == Style::Grouped
                ? GroupedTyped(request.typedText, request.placeNum)
                : request.typedText;
    } catch (const ConversionFailure &failure) {
        outcome.failed = true;
        outcome.failure = failure.kind();
    } catch (const ValueFailure &failure) {
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

QString ValueTextOfResult(const QString &resultText, bool numberBase)
{
    if (numberBase)
        return resultText;
    QString text = resultText;
    text.remove(u',');
    text = WithoutFinalPoint(text);
    return text.isEmpty() ? QStringLiteral("0") : text;
}
