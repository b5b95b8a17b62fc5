#include "convert/Conversion.h"

#include "convert/CompoundText.h"
#include "convert/NumberText.h"
#include "convert/ValueParser.h"

#include <charconv>
#include <cmath>
#include <initializer_list>
#include <limits>
#include <new>
#include <optional>
#include <string>
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
    // A reciprocal unit without a usable constant has no values at all, not
    // even in itself. (Its 0 is 0 in itself: ∞ in the base unit and back.)
    if (target.Reciprocal && !HasUsableConstant(target))
        Fail(FailureKind::Other);
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

// The answers at the ends of a reciprocal unit, K / x taken to its limit:
// 0 into or out of a reciprocal unit is infinite (an infinite pace at
// standstill, infinite distance on no fuel), and an infinite value (a kept
// result) is 0 there. Nothing for any other value, or for a reciprocal unit
// without a usable constant (ReciprocalResult refuses those).
std::optional<double> LimitResult(double v, const UnitRecord &source, const UnitRecord &target)
{
    if ((source.Reciprocal && !HasUsableConstant(source)) || (target.Reciprocal && !HasUsableConstant(target)))
        return std::nullopt;
    const double infinity = std::numeric_limits<double>::infinity();
    double base = 0.0;  // 0 or infinite
    if (source.Reciprocal) {
        if (v == 0.0)
            base = infinity;
        else if (std::isinf(v))
            base = 0.0;
        else
            return std::nullopt;
    } else if (std::isinf(v) && source.Factor != 0.0) {
        base = source.Factor > 0.0 ? v : -v;
    } else if (target.Reciprocal && v - source.Offset == 0.0) {
        base = 0.0;
    } else {
        return std::nullopt;
    }
    if (target.Reciprocal)
        return base == 0.0 ? infinity : 0.0;
    if (target.Factor == 0.0)
        return std::nullopt;
    if (std::isinf(base))
        return target.Factor > 0.0 ? base : -base;
    return target.Offset;
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
    if (const std::optional<double> limit = LimitResult(v, source, target))
        return *limit;
    if (source.Reciprocal || target.Reciprocal)
        return ReciprocalResult(v, source, target);
    return FromBase(ToBase(v, source), target);
}

double ValueToConvert(const ConversionRequest &request)
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
    UnitRecord baseUnit;
    baseUnit.Factor = 1.0;
    const double base = LinearResult(ValueToConvert(request), source, baseUnit);
    outcome.resultValue = LinearResult(ValueToConvert(request), source, *parts.back());
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
    value = LinearResult(ValueToConvert(request), source, target);
    return StyledResultText(value, target, request.style, request.placeNum, request.sigDigits);
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

void AppendStyledResultText(std::string *out, double r, const UnitRecord &target, ResultStyle style, int placeNum,
                            int sigDigits)
{
    if (std::isinf(r)) {
        if (r < 0)
            *out += '-';
        *out += "\xE2\x88\x9E";  // kInfinityText in UTF-8
        return;
    }
    // Each style starts from r rounded to the significant digits (15 at
    // most), as PlainText writes it. They format r itself: the same digits,
    // and no detour through a text that may not read back (r near the
    // largest double rounds beyond it).
    switch (StyleFor(target, style)) {
    case Style::Grouped: {
        const std::size_t start = out->size();
        if (InGroupedRange(r, placeNum) && BelowPowerOfTen(r, placeNum, sigDigits))
            AppendGroupedText(out, r, sigDigits);
        else
            AppendPlainText(out, r, sigDigits);
        if (out->size() > start && out->back() == '.')
            out->pop_back();  // no final point
        return;
    }
    case Style::Scientific: AppendScientificText(out, r, sigDigits); return;
    case Style::Plain: break;
    }
    AppendPlainText(out, r, sigDigits);
}

QString StyledResultText(double r, const UnitRecord &target, ResultStyle style, int placeNum, int sigDigits)
{
    std::string text;
    AppendStyledResultText(&text, r, target, style, placeNum, sigDigits);
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

bool AppendLinearResultText(const ConversionRequest &request, const UnitArray &units, std::string *out)
{
    const auto inRange = [&](int pos) { return pos >= 0 && std::size_t(pos) < units.size(); };
    if (request.numberBase || request.formulas || request.keptValue || !request.targetParts.empty()
        || request.sourcePos == request.targetPos || !inRange(request.sourcePos) || !inRange(request.targetPos))
        return false;
    const UnitRecord &source = units[std::size_t(request.sourcePos)];
    const UnitRecord &target = units[std::size_t(request.targetPos)];
    // The grouped style shows the source value grouped too.
    if (StyleFor(target, request.style) == Style::Grouped)
        return false;
    double r = 0.0;
    try {
        r = LinearResult(ReadNumber(request.typedText), source, target);
    } catch (const ConversionFailure &) {
        return false;
    }
    AppendStyledResultText(out, r, target, request.style, request.placeNum, request.sigDigits);
    return true;
}

ResultStyle ResultStyleOf(int showAns)
{
    switch (showAns) {
    case 1: return ResultStyle::Grouped;
    case 2: return ResultStyle::Scientific;
    default: return ResultStyle::Plain;
    }
}

namespace {

// The source value of the result line, by the (last) target unit's flag in
// every series. A kept value's text is a result as it was shown, and a
// formula is shown as typed: both stay so.
QString ShownSource(const ConversionRequest &typedRequest, const ConversionRequest &request, const UnitRecord &target,
                    bool isFormula)
{
    if (isFormula || request.keptValue)
        return typedRequest.typedText;
    return StyleFor(target, request.style) == Style::Grouped ? GroupedTyped(request.typedText, request.placeNum)
                                                             : request.typedText;
}

}  // namespace

ConversionOutcome ConvertRequest(const ConversionRequest &typedRequest, const UnitArray &units)
{
    ConversionOutcome outcome;
    try {
        // A formula is converted as the number it comes to and shown as
        // typed; a text that reads as a number goes the plain way, unchanged.
        ConversionRequest formula;
        const bool isFormula = typedRequest.formulas && !typedRequest.numberBase && !typedRequest.keptValue
            && !IsNumberText(typedRequest.typedText);
        if (isFormula) {
            formula = typedRequest;
            formula.typedText = NumberTextOf(ReadValue(typedRequest.typedText));
        }
        const ConversionRequest &request = isFormula ? formula : typedRequest;
        const UnitRecord &source = UnitAt(units, request.sourcePos);
        const bool numberBase = request.numberBase;
        outcome.resultValue = std::numeric_limits<double>::quiet_NaN();
        if (!request.targetParts.empty()) {
            if (numberBase || request.targetParts.size() < 2)
                Fail(FailureKind::Other);
            CompoundResult(request, source, units, outcome);
            outcome.resultWritten = true;
            const UnitRecord &last = UnitAt(units, request.targetParts.back());
            outcome.shownSource = ShownSource(typedRequest, request, last, isFormula);
            return outcome;
        }
        const UnitRecord &target = UnitAt(units, request.targetPos);
        QString result;
        if (request.sourcePos == request.targetPos) {
            result = SameUnitResult(request, target, numberBase);
            if (!numberBase && (request.keptValue || IsNumberText(request.typedText)))
                outcome.resultValue = ValueToConvert(request);
        } else if (numberBase) {
            result = NumberBaseResult(request, source, target);
        } else {
            result = LinearResultText(request, source, target, outcome.resultValue);
        }
        outcome.resultWritten = true;
        outcome.resultText = std::move(result);

        outcome.shownSource = ShownSource(typedRequest, request, target, isFormula);
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
