#include "convert/CompoundText.h"

#include "convert/ConversionFailure.h"
#include "convert/NumberText.h"

#include <algorithm>
#include <cmath>

namespace {

[[noreturn]] void Fail(FailureKind kind)
{
    throw ConversionFailure(kind);
}

// A ratio of two unit sizes that is a whole number but for the rounding of
// the sizes themselves (尺 to 寸 is (10/33) / (1/33)).
double Snapped(double ratio)
{
    const double whole = std::round(ratio);
    return whole > 0.0 && std::fabs(ratio - whole) <= whole * 1e-12 ? whole : ratio;
}

// The value as the significant digits write it, read back.
double RoundedAs(double value, int sigDigits)
{
    return ReadNumber(PlainText(value, sigDigits));
}

}  // namespace

std::vector<CompoundPart> CompoundParts(double base, const std::vector<const UnitRecord *> &units,
                                        const CompoundStyle &style)
{
    std::vector<CompoundPart> parts;
    const size_t n = units.size();
    if (n == 0)
        return parts;
    if (std::isinf(base)) {
        parts.push_back({0, StyledResultText(base, *units.front(), style.style, style.placeNum, style.sigDigits)});
        return parts;
    }
    const UnitRecord &last = *units.back();
    const double exact = std::fabs(base) / last.Factor;
    if (!std::isfinite(exact))
        Fail(FailureKind::Overflow);
    // The value in the last unit cut to the 15 digits a result has, so that
    // the parts split the digits shown and not the error of a size such as
    // 1/33 m: 1.6 m is 52.8 寸, not 52.800000000000004.
    const double total = RoundedAs(exact, MaxSigDigits);

    // Each unit's size in the last unit.
    std::vector<double> size(n, 1.0);
    for (size_t i = 0; i + 1 < n; ++i)
        size[i] = Snapped(units[i]->Factor / last.Factor);

    std::vector<double> whole(n, 0.0);
    double rest = total;
    for (size_t i = 0; i + 1 < n; ++i) {
        double w = std::floor(rest / size[i]);
        if (w * size[i] > rest)
            w -= 1.0;
        else if ((w + 1.0) * size[i] <= rest)
            w += 1.0;
        whole[i] = std::max(w, 0.0);
        rest = std::max(rest - whole[i] * size[i], 0.0);
    }

    // The last part keeps no digit finer than the total has.
    int sigDigits = std::clamp(style.sigDigits, MinSigDigits, MaxSigDigits);
    if (rest > 0.0) {
        const int finer = DecimalExponent(total) - DecimalExponent(rest);
        if (MaxSigDigits - finer < 1)
            rest = 0.0;
        else
            sigDigits = std::min(sigDigits, MaxSigDigits - finer);
    }
    double shown = rest > 0.0 ? RoundedAs(rest, sigDigits) : 0.0;

    // A last part that rounds up to a whole unit of the part before carries
    // into it, and so on upward.
    if (n >= 2 && shown >= size[n - 2]) {
        shown = RoundedAs(shown - size[n - 2], sigDigits);
        whole[n - 2] += 1.0;
        for (size_t i = n - 2; i > 0; --i) {
            const double ratio = Snapped(size[i - 1] / size[i]);
            if (whole[i] < ratio)
                break;
            whole[i] = std::max(std::round(whole[i] - ratio), 0.0);
            whole[i - 1] += 1.0;
        }
    }

    size_t first = 0;
    while (first + 1 < n && whole[first] == 0.0)
        ++first;
    // Whole parts are never written in the exponent form of the
    // scientific style.
    const ResultStyle wholeStyle = style.style == ResultStyle::Scientific ? ResultStyle::Plain : style.style;
    bool nonZero = shown != 0.0;
    for (size_t i = first; i + 1 < n; ++i) {
        parts.push_back({int(i), StyledResultText(whole[i], *units[i], wholeStyle, style.placeNum, MaxSigDigits)});
        nonZero = nonZero || whole[i] != 0.0;
    }
    parts.push_back({int(n - 1), StyledResultText(shown, last, style.style, style.placeNum, sigDigits)});
    if (base < 0.0 && nonZero)
        parts.front().text.prepend(u'-');
    return parts;
}
