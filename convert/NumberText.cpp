#include "convert/NumberText.h"

#include "convert/ConversionFailure.h"

#include <algorithm>
#include <array>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>

namespace {

constexpr int kSignificant = 15;

[[noreturn]] void Fail(FailureKind kind)
{
    throw ConversionFailure(kind);
}

bool IsBlank(QChar c)
{
    const char16_t u = c.unicode();
    return u == u' ' || u == u'\t' || u == u'\u3000';
}

QStringView Trimmed(QStringView text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && IsBlank(text[begin]))
        ++begin;
    while (end > begin && IsBlank(text[end - 1]))
        --end;
    return text.mid(begin, end - begin);
}

bool IsDigit(char16_t u)
{
    return u >= u'0' && u <= u'9';
}

// ---------------------------------------------------------------------------
// Reading

enum class ReadStatus { Ok, Invalid, Overflow };

struct ReadResult {
    ReadStatus status = ReadStatus::Invalid;
    double value = 0.0;
};

ReadResult Read(QStringView text)
{
    QStringView s = Trimmed(text);
    bool negative = false;
    if (!s.isEmpty() && (s.front() == u'+' || s.front() == u'-')) {
        negative = s.front() == u'-';
        s = s.mid(1);
    } else if (!s.isEmpty() && (s.back() == u'+' || s.back() == u'-')) {
        negative = s.back() == u'-';
        s.chop(1);
    }

    // Significant digits (leading zeros dropped) and the power of ten that
    // scales them: value = digits * 10^scale.
    // Kept between calls: reading a column of values allocates nothing.
    static thread_local std::string digits;
    digits.clear();
    if (digits.capacity() > 4096)
        digits.shrink_to_fit();
    digits.reserve(std::min<qsizetype>(s.size(), 800) + 16);
    std::int64_t scale = 0;
    std::int64_t droppedZeros = 0;  // trailing zeros not stored yet
    bool anyDigit = false;
    auto addDigit = [&](char16_t u, bool fraction) {
        anyDigit = true;
        if (fraction)
            --scale;
        if (u == u'0') {
            if (!digits.empty())
                ++droppedZeros;
            return;
        }
        if (droppedZeros > 0) {
            digits.append(static_cast<std::size_t>(droppedZeros), '0');
            droppedZeros = 0;
        }
        digits.push_back(static_cast<char>(u));
    };

    qsizetype i = 0;
    const qsizetype n = s.size();
    for (; i < n; ++i) {
        const char16_t u = s[i].unicode();
        if (IsDigit(u))
            addDigit(u, false);
        else if (u != u',')
            break;
    }
    if (i < n && s[i] == u'.') {
        for (++i; i < n && IsDigit(s[i].unicode()); ++i)
            addDigit(s[i].unicode(), true);
    }
    if (!anyDigit)
        return {};
    std::int64_t exponent = 0;
    if (i < n && (s[i] == u'E' || s[i] == u'e')) {
        ++i;
        bool expNegative = false;
        if (i < n && (s[i] == u'+' || s[i] == u'-')) {
            expNegative = s[i] == u'-';
            ++i;
        }
        if (i == n || !IsDigit(s[i].unicode()))
            return {};
        for (; i < n && IsDigit(s[i].unicode()); ++i) {
            if (exponent < 1'000'000'000)
                exponent = exponent * 10 + (s[i].unicode() - u'0');
        }
        if (expNegative)
            exponent = -exponent;
    }
    if (i != n)
        return {};

    ReadResult result;
    result.status = ReadStatus::Ok;
    const double zero = negative ? -0.0 : 0.0;
    if (digits.empty()) {
        result.value = zero;
        return result;
    }
    scale += droppedZeros + exponent;
    // The value lies in [10^order, 10^(order + 1)).
    const std::int64_t order = static_cast<std::int64_t>(digits.size()) - 1 + scale;
    if (order > 309) {
        result.status = ReadStatus::Overflow;
        return result;
    }
    if (order < -400) {
        result.value = zero;
        return result;
    }
    // Up to 15 digits and a power of ten up to 10^22 are exact doubles, and
    // one multiplication or division rounds them correctly: the nearest
    // double without a detour through text.
    if (digits.size() <= 15 && scale >= -22 && scale <= 22) {
        static constexpr double kPowers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                             1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
        std::uint64_t whole = 0;
        for (const char c : digits)
            whole = whole * 10 + std::uint64_t(c - '0');
        const double magnitude = scale < 0 ? double(whole) / kPowers[-scale] : double(whole) * kPowers[scale];
        result.value = negative ? -magnitude : magnitude;
        return result;
    }
    digits.push_back('e');
    char expText[24];
    const auto expEnd = std::to_chars(expText, expText + sizeof expText, scale).ptr;
    digits.append(expText, expEnd);
    double magnitude = 0.0;
    const auto [ptr, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), magnitude);
    Q_UNUSED(ptr);
    if (ec == std::errc::result_out_of_range) {
        if (order >= 308) {
            result.status = ReadStatus::Overflow;
            return result;
        }
        magnitude = 0.0;
    } else if (ec != std::errc() || std::isinf(magnitude)) {
        result.status = ReadStatus::Overflow;
        return result;
    }
    result.value = negative ? -magnitude : magnitude;
    return result;
}

// ---------------------------------------------------------------------------
// Decimal form rounded to 15 significant digits

// A finite value as d1.d2d3... x 10^exponent with at most 15 significant
// digits, trailing zeros removed. A zero has count 0.
struct Decimal {
    bool negative = false;
    std::array<char, kSignificant + 1> digits{};
    int count = 0;
    int exponent = 0;
};

void TrimZeros(Decimal &d)
{
    while (d.count > 0 && d.digits[d.count - 1] == '0')
        --d.count;
}

// Keeps the first `keep` significant digits, rounding half away from zero on
// the next one. keep may be 0 (the value rounds to 10^(exponent+1) or to 0)
// or negative (the value is 0).
void RoundAt(Decimal &d, int keep, bool roundUp)
{
    if (keep < 0 || (keep == 0 && !roundUp)) {
        d.count = 0;
        return;
    }
    d.count = keep;
    if (roundUp) {
        int i = keep - 1;
        while (i >= 0 && d.digits[i] == '9') {
            d.digits[i] = '0';
            --i;
        }
        if (i >= 0) {
            ++d.digits[i];
        } else {
            d.digits[0] = '1';
            d.count = 1;
            ++d.exponent;
        }
    }
    TrimZeros(d);
}

void RoundDecimal(Decimal &d, int keep)
{
    if (keep >= d.count)
        return;
    const bool up = keep >= 0 && d.digits[keep] >= '5';
    RoundAt(d, keep, up);
}

int ParseExponent(const char *p, const char *end)
{
    int value = 0;
    std::from_chars(p[0] == '+' ? p + 1 : p, end, value);
    return value;
}

// Unsigned integers of 128 bits, and their powers of ten.
using Wide = unsigned __int128;

constexpr int kWideDigits = 38;  // 10^38 < 2^128 < 10^39

constexpr std::array<Wide, kWideDigits + 1> kWidePowers = [] {
    std::array<Wide, kWideDigits + 1> powers{};
    Wide power = 1;
    for (Wide &p : powers) {
        p = power;
        power *= 10;
    }
    return powers;
}();

// The first 15 significant digits of a finite magnitude above 0, cut off
// (not rounded), in d.digits and d.exponent; up tells whether the rest is at
// least half a unit of the 15th digit. False where the numbers do not fit in
// 128 bits (below about 1.5E-08 or from 3.4E+38; most results lie between):
// FifteenDigitsOfText covers those. Exact integer arithmetic: the magnitude
// mantissa * 2^k times 10^(14 - e) is a quotient of 15 digits and a rest.
bool FifteenDigitsOfIntegers(double magnitude, Decimal &d, bool &up)
{
    std::uint64_t bits = 0;
    std::memcpy(&bits, &magnitude, sizeof bits);
    const int biased = int(bits >> 52);
    if (biased == 0)
        return false;  // below the smallest normal double
    const std::uint64_t mantissa = (bits & ((std::uint64_t(1) << 52) - 1)) | (std::uint64_t(1) << 52);
    const int k = biased - 1075;  // magnitude = mantissa * 2^k
    // Within these bounds scaled and divisor below fit in 128 bits: the
    // magnitude lies in [2^-26, 2^128), so e lies in [-8, 38].
    if (k < -78 || k > 75)
        return false;
    // The magnitude lies in [2^(k + 52), 2^(k + 53)): its decimal exponent
    // is floor((k + 52) * log10(2)) or one more. 78913 / 2^18 is log10(2)
    // closely enough for these exponents.
    int e = ((k + 52) * 78913) >> 18;
    for (;;) {
        Wide scaled = mantissa;  // magnitude * 10^(14 - e) = scaled / divisor
        Wide divisor = 1;
        if (k >= 0)
            scaled <<= k;
        else
            divisor <<= -k;
        if (e <= 14)
            scaled *= kWidePowers[std::size_t(14 - e)];
        else
            divisor *= kWidePowers[std::size_t(e - 14)];
        const Wide quotient = scaled / divisor;
        if (quotient >= kWidePowers[kSignificant]) {
            ++e;
            continue;
        }
        const Wide rest = scaled - quotient * divisor;
        up = rest >= divisor - rest;
        d.exponent = e;
        std::uint64_t digits = std::uint64_t(quotient);
        for (int i = kSignificant - 1; i >= 0; --i) {
            d.digits[std::size_t(i)] = char('0' + digits % 10);
            digits /= 10;
        }
        return true;
    }
}

// The same for every finite magnitude above 0, from the digits the standard
// library writes (a slower way).
void FifteenDigitsOfText(double magnitude, Decimal &d, bool &up)
{
    // 17 significant digits, correctly rounded; "d.dddddddddddddddde+XX".
    char buf[40];
    const char *end = std::to_chars(buf, buf + sizeof buf, magnitude, std::chars_format::scientific, 16).ptr;
    std::array<char, 17> all{};
    all[0] = buf[0];
    std::memcpy(all.data() + 1, buf + 2, 16);
    d.exponent = ParseExponent(buf + 19, end);
    // Half away from zero needs the exact 16th digit. It differs from the
    // rounded one only when rounding carried into it, which leaves "50".
    up = all[15] >= '5';
    if (all[15] == '5' && all[16] == '0') {
        // Exact expansion: every double has at most 767 significant digits.
        static thread_local std::array<char, 800> exact;
        const char *exactEnd = std::to_chars(exact.data(), exact.data() + exact.size(), magnitude,
                                             std::chars_format::scientific, 770)
                                   .ptr;
        // exact: "d." then digits; the 16th significant digit is exact[16].
        up = exact[16] >= '5';
        // Rounding to 17 digits may have carried into the leading digits too
        // ("x4999...5" rounds to "x5000..."): take the first 15 exactly.
        all[0] = exact[0];
        std::memcpy(all.data() + 1, exact.data() + 2, 14);
        const char *e = static_cast<const char *>(
            std::memchr(exact.data(), 'e', static_cast<std::size_t>(exactEnd - exact.data())));
        d.exponent = ParseExponent(e + 1, exactEnd);
    }
    std::memcpy(d.digits.data(), all.data(), kSignificant);
}

Decimal ToDecimal(double value)
{
    Decimal d;
    d.negative = std::signbit(value);
    if (value == 0.0)
        return d;
    const double magnitude = std::fabs(value);
    bool up = false;
    if (!FifteenDigitsOfIntegers(magnitude, d, up))
        FifteenDigitsOfText(magnitude, d, up);
    d.count = kSignificant;
    RoundAt(d, kSignificant, up);
    return d;
}

// The 15-digit form of value rounded once more to significant digits.
Decimal ToDecimal(double value, int significant)
{
    Decimal d = ToDecimal(value);
    RoundDecimal(d, std::clamp(significant, 1, kSignificant));
    return d;
}

// ---------------------------------------------------------------------------
// Writing

// ASCII characters appended to a text of bytes.
class TextBuffer {
public:
    explicit TextBuffer(std::string *text) : m_text(*text) {}

    void put(char c) { m_text.push_back(c); }
    void put(const char *p, std::size_t n) { m_text.append(p, n); }
    void zeros(int n)
    {
        if (n > 0)
            m_text.append(static_cast<std::size_t>(n), '0');
    }
    void exponent(int e)
    {
        put('E');
        put(e < 0 ? '-' : '+');
        const int magnitude = e < 0 ? -e : e;
        if (magnitude < 10)
            put('0');
        char buf[8];
        const char *end = std::to_chars(buf, buf + sizeof buf, magnitude).ptr;
        put(buf, static_cast<std::size_t>(end - buf));
    }

private:
    std::string &m_text;
};

// What append writes, as a QString. Short texts are built without
// allocating anything but the QString; one buffer is in use at a time.
template<class Append>
QString TextOf(Append &&append)
{
    static thread_local std::string text;
    text.clear();
    if (text.capacity() > 4096)
        text.shrink_to_fit();
    append(&text);
    return text.empty() ? QString() : QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

void PutNonFinite(TextBuffer &out, double value)
{
    if (std::isnan(value))
        out.put("NaN", 3);
    else if (value < 0)
        out.put("-Infinity", 9);
    else
        out.put("Infinity", 8);
}

// Positional digits of d: the integer part (grouped by three with "," when
// asked), then "." and the fraction digits if there are any or if asked.
void PutPositional(TextBuffer &out, const Decimal &d, bool group, bool alwaysPoint)
{
    if (d.count == 0 || d.exponent < 0) {
        out.put('0');
    } else if (!group) {
        const int intDigits = d.exponent + 1;
        out.put(d.digits.data(), static_cast<std::size_t>(std::min(intDigits, d.count)));
        out.zeros(intDigits - d.count);
    } else {
        const int intDigits = d.exponent + 1;
        for (int i = 0; i < intDigits; ++i) {
            if (i > 0 && (intDigits - i) % 3 == 0)
                out.put(',');
            out.put(i < d.count ? d.digits[i] : '0');
        }
    }
    const int firstFraction = d.exponent + 1;  // index of the first fraction digit
    const bool hasFraction = d.count > 0 && d.count > firstFraction;
    if (hasFraction || alwaysPoint)
        out.put('.');
    if (!hasFraction)
        return;
    if (firstFraction < 0) {
        out.zeros(-firstFraction);
        out.put(d.digits.data(), static_cast<std::size_t>(d.count));
    } else {
        out.put(d.digits.data() + firstFraction, static_cast<std::size_t>(d.count - firstFraction));
    }
}

}  // namespace

// ---------------------------------------------------------------------------

double ReadNumber(QStringView text)
{
    const ReadResult r = Read(text);
    if (r.status == ReadStatus::Invalid)
        Fail(FailureKind::InvalidInput);
    if (r.status == ReadStatus::Overflow)
        Fail(FailureKind::Overflow);
    return r.value;
}

bool IsNumberText(QStringView text)
{
    return Read(text).status == ReadStatus::Ok;
}

void AppendPlainText(std::string *text, double value, int significant)
{
    TextBuffer out(text);
    if (!std::isfinite(value)) {
        PutNonFinite(out, value);
        return;
    }
    const Decimal d = ToDecimal(value, significant);
    if (d.count == 0) {
        out.put('0');
        return;
    }
    if (d.negative)
        out.put('-');
    if (d.exponent >= 15 || d.exponent <= -7) {
        out.put(d.digits[0]);
        if (d.count > 1) {
            out.put('.');
            out.put(d.digits.data() + 1, static_cast<std::size_t>(d.count - 1));
        }
        out.exponent(d.exponent);
    } else {
        PutPositional(out, d, false, false);
    }
}

QString PlainText(double value, int significant)
{
    return TextOf([&](std::string *text) { AppendPlainText(text, value, significant); });
}

void AppendGroupedText(std::string *text, double value, int significant)
{
    TextBuffer out(text);
    if (!std::isfinite(value)) {
        PutNonFinite(out, value);
        return;
    }
    if (value == 0.0)
        return;
    Decimal d = ToDecimal(value, significant);
    // At most 15 fraction digits: keep the digits down to 10^-15.
    RoundDecimal(d, d.exponent + 1 + 15);
    if (d.negative)
        out.put('-');
    PutPositional(out, d, true, true);
}

QString GroupedText(double value, int significant)
{
    return TextOf([&](std::string *text) { AppendGroupedText(text, value, significant); });
}

QString GroupedText(const QString &text)
{
    const ReadResult r = Read(text);
    return r.status == ReadStatus::Ok ? GroupedText(r.value) : text;
}

bool BelowPowerOfTen(double value, int n, int significant)
{
    if (std::isnan(value) || value == HUGE_VAL)
        return false;
    if (value <= 0.0)
        return true;
    // The rounded value is d.ddd x 10^exponent with a first digit of 1 to 9,
    // so it lies in [10^exponent, 10^(exponent + 1)).
    return ToDecimal(value, significant).exponent < n;
}

int DecimalExponent(double value)
{
    const Decimal d = ToDecimal(value);
    return d.count == 0 ? 0 : d.exponent;
}

void AppendScientificText(std::string *text, double value, int significant)
{
    TextBuffer out(text);
    if (!std::isfinite(value)) {
        PutNonFinite(out, value);
        return;
    }
    Decimal d = ToDecimal(value, significant);
    RoundDecimal(d, 3);
    if (d.count == 0) {
        out.put("0.00E+00", 8);
        return;
    }
    if (d.negative)
        out.put('-');
    out.put(d.digits[0]);
    out.put('.');
    out.put(d.count > 1 ? d.digits[1] : '0');
    out.put(d.count > 2 ? d.digits[2] : '0');
    out.exponent(d.exponent);
}

QString ScientificText(double value, int significant)
{
    return TextOf([&](std::string *text) { AppendScientificText(text, value, significant); });
}

QString ScientificText(const QString &text)
{
    const ReadResult r = Read(text);
    return r.status == ReadStatus::Ok ? ScientificText(r.value) : text;
}

QString DropLastChar(const QString &text)
{
    qsizetype n = text.size();
    if (n == 0)
        return text;
    if (n >= 2 && text[n - 1].isLowSurrogate() && text[n - 2].isHighSurrogate())
        n -= 2;
    else
        n -= 1;
    return text.left(n);
}

double IntegerPart(double value)
{
    return std::trunc(value);
}

qint16 RoundToInt16(double value)
{
    if (std::isnan(value))
        Fail(FailureKind::Overflow);
    double rounded = std::round(value);  // half away from zero
    if (std::fabs(value - std::trunc(value)) == 0.5)
        rounded = 2.0 * std::round(value / 2.0);  // tie: to even
    if (rounded < -32768.0 || rounded > 32767.0)
        Fail(FailureKind::Overflow);
    return static_cast<qint16>(rounded);
}

QString ToRadixText(double value, qint16 radix)
{
    if (radix < 2 || radix > 36)
        return QStringLiteral("0");
    if (!std::isfinite(value))
        Fail(FailureKind::Overflow);
    mpz_class whole;
    mpz_set_d(whole.get_mpz_t(), IntegerPart(value));
    return ToRadixTextExact(whole, radix);
}

QString ToRadixTextExact(const mpz_class &value, int radix)
{
    if (radix < 2 || radix > 36)
        return QStringLiteral("0");
    // mpz_sizeinbase may exceed the true length by one; add the sign and NUL.
    std::string buf(mpz_sizeinbase(value.get_mpz_t(), radix) + 2, '\0');
    mpz_get_str(buf.data(), -radix, value.get_mpz_t());  // negative base: upper case
    return QString::fromLatin1(buf.data(), static_cast<qsizetype>(std::strlen(buf.data())));
}

// Not a digit string of the radix: refused, not read as 0, so no slip passes as 0. Blanks around: ignored (pastes).
mpz_class FromRadixTextExact(QStringView text, int radix)
{
    mpz_class result;
    if (radix < 2 || radix > 36)
        return result;
    const QStringView s = Trimmed(text);
    std::string digits;
    digits.reserve(static_cast<std::size_t>(s.size()) + 1);
    for (const QChar c : s) {
        const char16_t u = c.unicode();
        int value = 36;
        if (u >= u'0' && u <= u'9')
            value = u - u'0';
        else if (u >= u'A' && u <= u'Z')
            value = u - u'A' + 10;
        else if (u >= u'a' && u <= u'z')
            value = u - u'a' + 10;
        if (value >= radix)
            Fail(FailureKind::InvalidInput);
        if (value == 0 && digits.empty())
            continue;  // leading zeros change nothing
        digits.push_back(static_cast<char>(value < 10 ? '0' + value : 'A' + value - 10));
    }
    if (digits.empty())
        return result;
    // Quick bound before the exact conversion: each digit carries at most
    // log2(radix) bits, so a string longer than this is beyond 2^1024 at once.
    const double bitsPerDigit = std::log2(static_cast<double>(radix));
    if ((static_cast<double>(digits.size()) - 1) * bitsPerDigit > 1030.0)
        Fail(FailureKind::Overflow);
    mpz_set_str(result.get_mpz_t(), digits.c_str(), radix);
    static const mpz_class largest(DBL_MAX);
    if (result > largest)
        Fail(FailureKind::Overflow);
    return result;
}

double FromRadixText(const QString &text, qint16 radix)
{
    const mpz_class exact = FromRadixTextExact(text, radix);
    const mpz_srcptr z = exact.get_mpz_t();
    const std::size_t bits = mpz_sizeinbase(z, 2);
    if (bits <= 53)
        return mpz_get_d(z);
    // Keep 54 bits and a sticky bit, then round half to even to 53 bits.
    const std::size_t shift = bits - 54;
    mpz_class top;
    mpz_fdiv_q_2exp(top.get_mpz_t(), z, shift);
    const bool sticky = mpz_scan1(z, 0) < shift;
    std::uint64_t mantissa = mpz_get_ui(top.get_mpz_t());
    const bool half = mantissa & 1u;
    mantissa >>= 1;
    if (half && (sticky || (mantissa & 1u)))
        ++mantissa;
    return std::ldexp(static_cast<double>(mantissa), static_cast<int>(shift + 1));
}
