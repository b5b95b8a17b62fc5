#include "convert/ValueParser.h"

#include "convert/NumberText.h"

#include <QStringList>
#include <QTextBoundaryFinder>
#include <QVarLengthArray>

#include <algorithm>
#include <cfloat>
#include <charconv>
#include <functional>
#include <cmath>
#include <optional>
#include <string>

using namespace Qt::StringLiterals;

namespace {

// No number the program meets needs more bits than this; a power or a
// product beyond it is out of range long before it is computed.
constexpr std::size_t kMaxBits = 1u << 17;
// A literal of a larger decimal order is out of range; of a smaller one, 0.
constexpr long kMaxDecimalOrder = 4000;
// Parentheses and powers nested deeper than this are refused.
constexpr int kMaxDepth = 100;

// ---------------------------------------------------------------------------
// Characters

// The plain form of a character, one UTF-16 unit for one: full-width ASCII,
// the other blanks, minus and slash signs.
char16_t fold(char16_t u)
{
    if (u >= 0xFF01 && u <= 0xFF5E)
        return char16_t(u - 0xFEE0);
    switch (u) {
    case 0x3000:
    case 0x00A0:
    case 0x2009:
    case 0x202F: return u' ';
    case 0x2212:
    case 0xFE63: return u'-';
    case 0x2044:
    case 0x2215:
    case 0x00F7: return u'/';
    case 0x00D7: return u'*';
    case 0xFF65: return u'・';
    case 0xFF70: return u'ー';
    case 0x00B2: return u'2';
    case 0x00B3: return u'3';
    case 0x00B5: return u'μ';
    default: return u;
    }
}

bool isBlank(char16_t c)
{
    return c == u' ' || c == u'\t';
}

bool isDigit(char16_t c)
{
    return c >= u'0' && c <= u'9';
}

bool isAsciiLetter(char16_t c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

int kanjiDigit(char16_t c)
{
    switch (c) {
    case u'〇':
    case u'零': return 0;
    case u'一': return 1;
    case u'二': return 2;
    case u'三': return 3;
    case u'四': return 4;
    case u'五': return 5;
    case u'六': return 6;
    case u'七': return 7;
    case u'八': return 8;
    case u'九': return 9;
    default: return -1;
    }
}

// 十 百 千 as powers of ten.
int smallMultiplier(char16_t c)
{
    switch (c) {
    case u'十': return 1;
    case u'百': return 2;
    case u'千': return 3;
    default: return 0;
    }
}

// 万 億 兆 as powers of ten thousand.
int largeMultiplier(char16_t c)
{
    switch (c) {
    case u'万':
    case u'萬': return 1;
    case u'億': return 2;
    case u'兆': return 3;
    default: return 0;
    }
}

struct Fraction {
    int num = 0;
    int den = 0;
};

Fraction vulgarFraction(char16_t c)
{
    switch (c) {
    case u'½': return {1, 2};
    case u'⅓': return {1, 3};
    case u'⅔': return {2, 3};
    case u'¼': return {1, 4};
    case u'¾': return {3, 4};
    case u'⅕': return {1, 5};
    case u'⅖': return {2, 5};
    case u'⅗': return {3, 5};
    case u'⅘': return {4, 5};
    case u'⅙': return {1, 6};
    case u'⅚': return {5, 6};
    case u'⅐': return {1, 7};
    case u'⅛': return {1, 8};
    case u'⅜': return {3, 8};
    case u'⅝': return {5, 8};
    case u'⅞': return {7, 8};
    case u'⅑': return {1, 9};
    case u'⅒': return {1, 10};
    default: return {};
    }
}

mpq_class powerOfTen(unsigned long n)
{
    mpz_class p;
    mpz_ui_pow_ui(p.get_mpz_t(), 10, n);
    return mpq_class(p);
}

std::size_t bitsOf(const mpq_class &v)
{
    return std::max(mpz_sizeinbase(v.get_num_mpz_t(), 2), mpz_sizeinbase(v.get_den_mpz_t(), 2));
}

// The number of characters the user sees in text[0, end).
int visibleCount(QStringView text, qsizetype end)
{
    const QString copy = text.toString();
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, copy);
    int count = 0;
    qsizetype at = 0;
    while (at < end && at >= 0) {
        at = finder.toNextBoundary();
        ++count;
    }
    return count;
}

// The character the user sees at text[at].
QString visibleAt(QStringView text, qsizetype at)
{
    const QString copy = text.toString();
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, copy);
    finder.setPosition(at);
    qsizetype end = finder.toNextBoundary();
    if (end < 0)
        end = text.size();
    return copy.mid(at, end - at);
}

QString trimmedText(QStringView text)
{
    qsizetype b = 0;
    qsizetype e = text.size();
    while (b < e && isBlank(fold(text[b].unicode())))
        ++b;
    while (e > b && isBlank(fold(text[e - 1].unicode())))
        --e;
    return text.mid(b, e - b).toString();
}

template<typename List>
QString seriesList(const List &series)
{
    QStringList quoted;
    for (const QString &s : series)
        quoted << u"「%1」"_s.arg(s);
    return quoted.join(u"、"_s);
}

[[noreturn]] void failOutOfRange(QStringView shown)
{
    throw ValueFailure(ValueFault::OutOfRange, u"値「%1」は扱える範囲 (±1.79E+308) を超えています"_s.arg(shown),
                       shown.toString());
}

// ---------------------------------------------------------------------------
// Reading one value

// Reads a value from text[pos] on. In a query it stops before the first
// thing that cannot continue the value (a unit name); alone, the whole text
// must be the value.
class ValueReader {
public:
    // isUnitAt: in a query, whether a unit name starts at an index (used only
    // to word a failure); nullptr when the text is one value.
    using UnitTest = std::function<bool(qsizetype)>;

    ValueReader(QStringView text, const QString &folded, qsizetype start, UnitTest isUnitAt)
        : m_text(text), m_folded(folded), m_pos(start), m_start(start), m_isUnitAt(std::move(isUnitAt))
    {
    }

    mpq_class read()
    {
        mpq_class v = expression(true);
        if (!m_isUnitAt) {
            skipBlanks();
            if (m_pos < size())
                failAt(m_pos);
        }
        return v;
    }

    qsizetype position() const { return m_pos; }

    // The value as the messages quote it, up to the end of the word at `at`.
    QString shown(qsizetype at) const
    {
        if (!m_isUnitAt)
            return m_text.toString();
        qsizetype end = std::min(at, size());
        while (end < size() && !isBlank(c(end)))
            ++end;
        return trimmedText(m_text.mid(m_start, end - m_start));
    }

    [[noreturn]] void failAt(qsizetype at) const
    {
        qsizetype next = at;
        while (next < size() && isBlank(c(next)))
            ++next;
        if (next >= size() || (m_isUnitAt && m_isUnitAt(next))) {
            const QString value = m_isUnitAt ? trimmedText(m_text.mid(m_start, at - m_start)) : m_text.toString();
            throw ValueFailure(ValueFault::Unfinished, u"値「%1」は途中で終わっています"_s.arg(value), value);
        }
        fail(ValueFault::Unreadable, at, u"値「%1」の %2 文字目「%3」が読めません"_s);
    }

private:
    qsizetype size() const { return m_folded.size(); }
    char16_t c(qsizetype i) const { return i < size() ? m_folded[i].unicode() : u'\0'; }

    // A failure at text[at]: pattern %1 the value, %2 the position, %3 the character.
    [[noreturn]] void fail(ValueFault fault, qsizetype at, const QString &pattern) const
    {
        const QString value = shown(at);
        const qsizetype origin = m_isUnitAt ? m_start : 0;
        // The quoted value starts at the first non-blank from origin.
        qsizetype first = origin;
        if (m_isUnitAt)
            while (first < size() && isBlank(c(first)))
                ++first;
        const int position = visibleCount(m_text.mid(first), at - first + 1);
        const QString character = visibleAt(m_text, at);
        throw ValueFailure(fault, pattern.arg(value, QString::number(position), character), value, position, character);
    }

    void skipBlanks()
    {
        while (m_pos < size() && isBlank(c(m_pos)))
            ++m_pos;
    }

    void check(const mpq_class &v) const
    {
        if (bitsOf(v) > kMaxBits)
            failOutOfRange(shown(m_pos));
    }

    bool numberStartsAt(qsizetype i) const
    {
        const char16_t u = c(i);
        return isDigit(u) || u == u'.' || u == u'(' || kanjiDigit(u) >= 0 || smallMultiplier(u) > 0
            || vulgarFraction(u).den > 0;
    }

    // "ー" is a minus only right before a number.
    bool operandStartsAt(qsizetype i) const
    {
        const char16_t u = c(i);
        return numberStartsAt(i) || u == u'+' || u == u'-' || (u == u'ー' && numberStartsAt(i + 1));
    }

    mpq_class expression(bool top)
    {
        skipBlanks();
        const qsizetype first = m_pos;
        m_literalStart = -1;
        mpq_class v = product();
        // A number followed at once by a sign and nothing more: ReadNumber's
        // trailing sign ("5-" is -5).
        if (top && m_literalStart == first && m_literalEnd == m_pos && (c(m_pos) == u'-' || c(m_pos) == u'+')) {
            qsizetype after = m_pos + 1;
            while (after < size() && isBlank(c(after)))
                ++after;
            if (!operandStartsAt(after)) {
                if (c(m_pos) == u'-')
                    v = -v;
                ++m_pos;
                return v;
            }
        }
        for (;;) {
            const qsizetype save = m_pos;
            skipBlanks();
            const char16_t op = c(m_pos);
            if (op != u'+' && op != u'-') {
                m_pos = save;
                return v;
            }
            ++m_pos;
            const mpq_class r = product();
            if (op == u'+')
                v += r;
            else
                v -= r;
            check(v);
        }
    }

    mpq_class product()
    {
        mpq_class v = unary();
        for (;;) {
            const qsizetype save = m_pos;
            skipBlanks();
            const char16_t op = c(m_pos);
            if (op != u'*' && op != u'/') {
                m_pos = save;
                return v;
            }
            const qsizetype at = m_pos;
            ++m_pos;
            // "3/4 1/2" is not 3 over 4½.
            m_mixedAllowed = op == u'*';
            const mpq_class r = unary();
            m_mixedAllowed = true;
            if (op == u'*') {
                v *= r;
            } else {
                if (r == 0)
                    divisionByZero(at);
                v /= r;
            }
            check(v);
        }
    }

    [[noreturn]] void divisionByZero(qsizetype at) const
    {
        const QString value = shown(at);
        throw ValueFailure(ValueFault::DivisionByZero, u"値「%1」は 0 で割っているため計算できません"_s.arg(value),
                           value);
    }

    mpq_class unary()
    {
        bool negative = false;
        for (;;) {
            skipBlanks();
            const char16_t u = c(m_pos);
            if (u != u'-' && u != u'+' && !(u == u'ー' && operandStartsAt(m_pos + 1)))
                break;
            negative = negative != (u != u'+');
            ++m_pos;
        }
        mpq_class v = power();
        if (negative)
            v = -v;
        return v;
    }

    // Parentheses and powers nest; a text nested deeper than any value needs
    // is refused at the place it goes too deep, before the stack runs out.
    void enter(qsizetype at)
    {
        if (++m_depth > kMaxDepth)
            failAt(at);
    }

    mpq_class power()
    {
        mpq_class base = primary();
        const qsizetype save = m_pos;
        skipBlanks();
        if (c(m_pos) != u'^') {
            m_pos = save;
            return base;
        }
        const qsizetype at = m_pos;
        enter(at);
        ++m_pos;
        m_mixedAllowed = false;
        const mpq_class exponent = unary();
        m_mixedAllowed = true;
        --m_depth;
        return raise(base, exponent, at);
    }

    mpq_class raise(const mpq_class &base, const mpq_class &exponent, qsizetype at) const
    {
        if (exponent.get_den() != 1)
            fail(ValueFault::NotWholePower, at, u"値「%1」の %2 文字目「%3」のべき指数が整数ではありません"_s);
        if (base == 0) {
            if (exponent < 0)
                divisionByZero(at);
            return exponent == 0 ? mpq_class(1) : mpq_class(0);
        }
        const mpz_class &e = exponent.get_num();
        if (abs(base) == 1)
            return (base > 0 || mpz_even_p(e.get_mpz_t())) ? mpq_class(1) : mpq_class(-1);
        if (!mpz_fits_slong_p(e.get_mpz_t()))
            failOutOfRange(shown(m_pos));
        const long n = e.get_si();
        const unsigned long magnitude = n < 0 ? 0ul - static_cast<unsigned long>(n) : static_cast<unsigned long>(n);
        if (bitsOf(base) > kMaxBits / std::max(magnitude, 1ul))
            failOutOfRange(shown(m_pos));
        mpz_class num;
        mpz_class den;
        mpz_pow_ui(num.get_mpz_t(), base.get_num_mpz_t(), magnitude);
        mpz_pow_ui(den.get_mpz_t(), base.get_den_mpz_t(), magnitude);
        mpq_class result = n < 0 ? mpq_class(den, num) : mpq_class(num, den);
        result.canonicalize();
        return result;
    }

    mpq_class primary()
    {
        skipBlanks();
        const char16_t u = c(m_pos);
        if (u == u'(') {
            enter(m_pos);
            ++m_pos;
            const bool mixedAllowed = m_mixedAllowed;
            m_mixedAllowed = true;
            mpq_class v = expression(false);
            skipBlanks();
            if (c(m_pos) != u')')
                failAt(m_pos);
            ++m_pos;
            m_mixedAllowed = mixedAllowed;
            --m_depth;
            return v;
        }
        const Fraction f = vulgarFraction(u);
        if (f.den > 0) {
            ++m_pos;
            return mpq_class(f.num, f.den);
        }
        if (isDigit(u) || u == u'.' || u == u',' || kanjiDigit(u) >= 0 || smallMultiplier(u) > 0)
            return number();
        failAt(m_pos);
    }

    // ---- numbers

    struct Literal {
        mpq_class value;
        bool whole = false;  // digits only (and ","), no point, no exponent
    };

    // A number as ReadNumber writes it, without its sign.
    std::optional<Literal> literal()
    {
        std::string digits;
        qsizetype i = m_pos;
        long fractionDigits = 0;
        bool any = false;
        bool whole = true;
        for (; isDigit(c(i)) || c(i) == u','; ++i) {
            if (c(i) != u',') {
                digits.push_back(char(c(i)));
                any = true;
            }
        }
        if (c(i) == u'.') {
            whole = false;
            for (++i; isDigit(c(i)); ++i) {
                digits.push_back(char(c(i)));
                ++fractionDigits;
                any = true;
            }
        }
        if (!any)
            return std::nullopt;
        long exponent = 0;
        if (c(i) == u'e' || c(i) == u'E') {
            qsizetype j = i + 1;
            bool negative = false;
            if (c(j) == u'+' || c(j) == u'-') {
                negative = c(j) == u'-';
                ++j;
            }
            if (isDigit(c(j))) {
                whole = false;
                for (; isDigit(c(j)); ++j)
                    if (exponent < 1'000'000'000)
                        exponent = exponent * 10 + (c(j) - u'0');
                if (negative)
                    exponent = -exponent;
                i = j;
            }
        }
        const qsizetype start = m_pos;
        m_pos = i;
        Literal result;
        result.whole = whole;
        const auto nonZero = digits.find_first_not_of('0');
        if (nonZero == std::string::npos)
            return result;
        digits.erase(0, nonZero);
        const long scale = exponent - fractionDigits;
        const long order = static_cast<long>(digits.size()) - 1 + scale;
        if (order > kMaxDecimalOrder)
            failOutOfRange(shown(start));
        if (order < -kMaxDecimalOrder)
            return result;
        if (digits.size() <= 18 && scale >= -18 && scale <= 0) {
            // The everyday case, without a detour through big numbers.
            unsigned long n = 0;
            for (const char d : digits)
                n = n * 10 + static_cast<unsigned long>(d - '0');
            unsigned long den = 1;
            for (long k = 0; k < -scale; ++k)
                den *= 10;
            mpq_set_ui(result.value.get_mpq_t(), n, den);
            if (den != 1)
                result.value.canonicalize();
            return result;
        }
        mpz_class n(digits, 10);
        result.value = mpq_class(n);
        if (scale > 0)
            result.value *= powerOfTen(static_cast<unsigned long>(scale));
        else if (scale < 0)
            result.value /= powerOfTen(static_cast<unsigned long>(-scale));
        return result;
    }

    // Kanji digits: positional ("二〇二六"), with a point ("〇・五").
    std::optional<mpq_class> kanjiNumber()
    {
        if (kanjiDigit(c(m_pos)) < 0)
            return std::nullopt;
        mpz_class n = 0;
        for (; kanjiDigit(c(m_pos)) >= 0; ++m_pos)
            n = n * 10 + kanjiDigit(c(m_pos));
        mpq_class v(n);
        if ((c(m_pos) == u'・' || c(m_pos) == u'.') && kanjiDigit(c(m_pos + 1)) >= 0) {
            ++m_pos;
            mpq_class scale = 1;
            for (; kanjiDigit(c(m_pos)) >= 0; ++m_pos) {
                scale /= 10;
                v += scale * kanjiDigit(c(m_pos));
            }
        }
        return v;
    }

    // One piece before a multiplier, or the last piece of a group.
    std::optional<mpq_class> piece(bool *plainWhole)
    {
        const qsizetype start = m_pos;
        if (auto k = kanjiNumber())
            return k;
        if (isDigit(c(m_pos)) || c(m_pos) == u'.' || c(m_pos) == u',') {
            if (auto l = literal()) {
                *plainWhole = l->whole;
                m_literalStart = start;
                m_literalEnd = m_pos;
                return std::move(l->value);
            }
            m_pos = start;
        }
        return std::nullopt;
    }

    // Below ten thousand: pieces with 千 百 十 in falling order, the last
    // piece bare ("二千五百", "5千300", "十五").
    std::optional<mpq_class> group(bool *plainWhole)
    {
        mpq_class g = 0;
        int last = 4;
        bool found = false;
        for (;;) {
            const qsizetype start = m_pos;
            bool whole = false;
            std::optional<mpq_class> p = piece(&whole);
            const int m = smallMultiplier(c(m_pos));
            if (m > 0) {
                if (m >= last)
                    failAt(m_pos);
                ++m_pos;
                g += (p ? *p : mpq_class(1)) * powerOfTen(static_cast<unsigned long>(m));
                last = m;
                found = true;
                continue;
            }
            if (p) {
                g += *p;
                *plainWhole = whole && !found && start == m_literalStart;
                found = true;
            }
            break;
        }
        if (!found)
            return std::nullopt;
        return g;
    }

    // A number with 万 億 兆 ("3億2000万", "1.5万", "一万二千").
    mpq_class number()
    {
        const qsizetype start = m_pos;
        // A plain number without 十 百 千 万 億 兆 after it.
        if (isDigit(c(m_pos)) || c(m_pos) == u'.' || c(m_pos) == u',') {
            if (std::optional<Literal> l = literal()) {
                if (smallMultiplier(c(m_pos)) == 0 && largeMultiplier(c(m_pos)) == 0) {
                    m_literalStart = start;
                    m_literalEnd = m_pos;
                    if (l->whole && m_mixedAllowed)
                        l->value += mixedFraction();
                    return std::move(l->value);
                }
            }
            m_pos = start;
        }
        mpq_class total = 0;
        int last = 4;
        bool any = false;
        bool plainWhole = false;
        for (;;) {
            bool whole = false;
            std::optional<mpq_class> g = group(&whole);
            const int m = largeMultiplier(c(m_pos));
            if (m > 0 && g) {
                if (m >= last)
                    failAt(m_pos);
                ++m_pos;
                total += *g * powerOfTen(static_cast<unsigned long>(4 * m));
                last = m;
                any = true;
                continue;
            }
            if (g) {
                total += *g;
                plainWhole = whole && !any;
                any = true;
            }
            break;
        }
        if (!any)
            failAt(m_pos);
        if (m_literalStart != start || m_literalEnd != m_pos)
            m_literalStart = -1;  // not a plain number
        if (plainWhole && m_mixedAllowed)
            total += mixedFraction();
        return total;
    }

    // After a whole number: "½" or " ½", " 1/2" (1 1/2 is one and a half).
    mpq_class mixedFraction()
    {
        const qsizetype save = m_pos;
        const Fraction f = vulgarFraction(c(m_pos));
        if (f.den > 0) {
            ++m_pos;
            m_literalStart = -1;
            return mpq_class(f.num, f.den);
        }
        if (!isBlank(c(m_pos)))
            return 0;
        skipBlanks();
        const Fraction g = vulgarFraction(c(m_pos));
        if (g.den > 0) {
            ++m_pos;
            m_literalStart = -1;
            return mpq_class(g.num, g.den);
        }
        if (isDigit(c(m_pos))) {
            const qsizetype literalStart = m_literalStart;
            const qsizetype literalEnd = m_literalEnd;
            std::optional<Literal> num = literal();
            if (num && num->whole) {
                skipBlanks();
                if (c(m_pos) == u'/') {
                    const qsizetype slash = m_pos;
                    ++m_pos;
                    skipBlanks();
                    if (isDigit(c(m_pos))) {
                        std::optional<Literal> den = literal();
                        if (den && den->whole) {
                            if (den->value == 0)
                                divisionByZero(slash);
                            m_literalStart = -1;
                            return num->value / den->value;
                        }
                    }
                }
            }
            m_literalStart = literalStart;
            m_literalEnd = literalEnd;
        }
        m_pos = save;
        return 0;
    }

    QStringView m_text;
    const QString &m_folded;
    qsizetype m_pos;
    qsizetype m_start;
    UnitTest m_isUnitAt;
    // The last plain number read (ReadNumber's form), for the trailing sign.
    qsizetype m_literalStart = -1;
    qsizetype m_literalEnd = -1;
    int m_depth = 0;
    bool m_mixedAllowed = true;  // false for a divisor or an exponent
};

QString foldedText(QStringView text)
{
    QString folded(text.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < text.size(); ++i)
        folded[i] = QChar(fold(text[i].unicode()));
    return folded;
}

}  // namespace

// ---------------------------------------------------------------------------

ValueFailure::ValueFailure(ValueFault fault, QString message, QString text, int position, QString character)
    : m_fault(fault), m_message(std::move(message)), m_text(std::move(text)), m_position(position),
      m_character(std::move(character)), m_utf8(m_message.toUtf8())
{
}

FailureKind ValueFailure::kind() const
{
    return m_fault == ValueFault::OutOfRange || m_fault == ValueFault::DivisionByZero ? FailureKind::Overflow
                                                                                      : FailureKind::InvalidInput;
}

const char *ValueFailure::what() const noexcept
{
    return m_utf8.constData();
}

double NearestDouble(const mpq_class &value, QStringView shown)
{
    const int sign = sgn(value);
    if (sign == 0)
        return 0.0;
    const mpz_class &den = value.get_den();
    constexpr std::size_t kExactBits = 53;
    if (mpz_sizeinbase(value.get_num_mpz_t(), 2) <= kExactBits && mpz_sizeinbase(den.get_mpz_t(), 2) <= kExactBits)
        return value.get_num().get_d() / den.get_d();  // both exact: one correctly rounded division
    mpz_class num = abs(value.get_num());
    // q = floor(num * 2^k / den) with at least 55 bits, and a sticky bit.
    const long k = 55
        - (static_cast<long>(mpz_sizeinbase(num.get_mpz_t(), 2))
           - static_cast<long>(mpz_sizeinbase(den.get_mpz_t(), 2)));
    if (k > 0)
        num <<= static_cast<mp_bitcnt_t>(k);
    mpz_class scaledDen = den;
    if (k < 0)
        scaledDen <<= static_cast<mp_bitcnt_t>(-k);
    mpz_class q;
    mpz_class r;
    mpz_tdiv_qr(q.get_mpz_t(), r.get_mpz_t(), num.get_mpz_t(), scaledDen.get_mpz_t());
    bool sticky = r != 0;
    // value = (q + sticky) * 2^-k; its leading bit has weight 2^top.
    const long bits = static_cast<long>(mpz_sizeinbase(q.get_mpz_t(), 2));
    const long top = bits - 1 - k;
    if (top > 1023)
        failOutOfRange(shown);
    // Keep 53 bits, fewer below the normal range; the last kept bit's weight
    // is 2^(top - 52), at least 2^-1074.
    const long lastWeight = std::max(top - 52, -1074L);
    const long drop = lastWeight + k;  // bits of q below the last kept one
    if (drop > bits + 1)
        return sign < 0 ? -0.0 : 0.0;
    mpz_class kept = q;
    bool half = false;
    if (drop > 0) {
        kept = q >> static_cast<mp_bitcnt_t>(drop);
        half = mpz_tstbit(q.get_mpz_t(), static_cast<mp_bitcnt_t>(drop - 1));
        if (!sticky && drop > 1)
            sticky = mpz_scan1(q.get_mpz_t(), 0) < static_cast<mp_bitcnt_t>(drop - 1);
    }
    if (half && (sticky || mpz_odd_p(kept.get_mpz_t())))
        ++kept;
    const double magnitude = std::ldexp(kept.get_d(), static_cast<int>(lastWeight));
    if (!std::isfinite(magnitude) || magnitude > DBL_MAX)
        failOutOfRange(shown);
    return sign < 0 ? -magnitude : magnitude;
}

mpq_class ReadValueExact(QStringView text)
{
    const QString folded = foldedText(text);
    if (std::all_of(folded.cbegin(), folded.cend(), [](QChar u) { return isBlank(u.unicode()); }))
        throw ValueFailure(ValueFault::NoValue, u"値がありません"_s, text.toString());
    ValueReader reader(text, folded, 0, nullptr);
    return reader.read();
}

double ReadValue(QStringView text)
{
    if (IsNumberText(text))
        return ReadNumber(text);
    return NearestDouble(ReadValueExact(text), text);
}

// ---------------------------------------------------------------------------
// Queries

namespace {

struct NameMatch {
    qsizetype length = 0;
    std::vector<UnitMatch> matches;
};

class QueryReader {
public:
    QueryReader(QStringView text, const UnitNameLookup &names)
        : m_text(text), m_folded(foldedText(text)), m_names(names)
    {
    }

    Query read()
    {
        Query query;
        skipBlanks();
        if (m_pos >= size())
            throw ValueFailure(ValueFault::NoValue, u"値がありません。"_s);
        if (!valueStartsAt(m_pos)) {
            const NameMatch m = unitAt(m_pos);
            if (m.length > 0) {
                const QString name = m_text.mid(m_pos, m.length).toString();
                throw ValueFailure(ValueFault::NoValue, u"単位「%1」の前に値がありません。"_s.arg(name), name);
            }
        }
        for (;;) {
            QueryTerm term = readTerm();
            query.terms.push_back(std::move(term));
            skipBlanks();
            if (m_pos >= size())
                return query;
            const qsizetype into = intoWordAt(m_pos);
            if (into == 0 && valueStartsAt(m_pos))
                continue;
            NameMatch unit = unitAt(m_pos);
            if (into > 0 && into >= unit.length) {
                m_pos += into;
                skipBlanks();
                readTarget(query, true);
            } else if (unit.length > 0) {
                readTarget(query, false, std::move(unit));
            } else {
                unknownUnit(m_pos);
            }
            return query;
        }
    }

private:
    qsizetype size() const { return m_folded.size(); }
    char16_t c(qsizetype i) const { return i < size() ? m_folded[i].unicode() : u'\0'; }

    void skipBlanks()
    {
        while (m_pos < size() && isBlank(c(m_pos)))
            ++m_pos;
    }

    bool valueStartsAt(qsizetype i) const
    {
        const char16_t u = c(i);
        return isDigit(u) || u == u'.' || u == u'(' || u == u'+' || u == u'-' || kanjiDigit(u) >= 0
            || smallMultiplier(u) > 0 || vulgarFraction(u).den > 0
            || (u == u'ー' && (isDigit(c(i + 1)) || kanjiDigit(c(i + 1)) >= 0));
    }

    // The length of the "into" word at i, 0 for none.
    qsizetype intoWordAt(qsizetype i) const
    {
        static const char16_t *const words[] = {u"into", u"to", u"in", u"as", u"->", u"=>",
                                                u"→",    u"=",  u"を", u"で", u"へ", u"に"};
        const char16_t first = c(i) | (isAsciiLetter(c(i)) ? 0x20 : 0);
        for (const char16_t *w : words) {
            const QStringView word(w);
            if (word.front().unicode() != first)
                continue;
            if (i + word.size() > size())
                continue;
            if (QStringView(m_folded).mid(i, word.size()).compare(word, Qt::CaseInsensitive) != 0)
                continue;
            if (isAsciiLetter(word.back().unicode()) && isAsciiLetter(c(i + word.size())))
                continue;
            return word.size();
        }
        return 0;
    }

    std::vector<UnitMatch> lookUp(qsizetype from, qsizetype length) const
    {
        const QStringView raw = m_text.mid(from, length);
        std::vector<UnitMatch> matches = m_names.unitsCalled(raw);
        if (matches.empty()) {
            const QStringView plain = QStringView(m_folded).mid(from, length);
            if (plain != raw)
                matches = m_names.unitsCalled(plain);
        }
        return matches;
    }

    // The longest unit name at i. A name ending in a Latin letter does not
    // end inside a word ("in" is not found in "inch" or "into").
    NameMatch unitAt(qsizetype i) const
    {
        NameMatch result;
        const qsizetype limit = std::min(size(), i + std::max<qsizetype>(m_names.longestName(), 1));
        for (qsizetype end = limit; end > i; --end) {
            if (end < size() && m_text[end].isLowSurrogate())
                continue;
            const char16_t last = c(end - 1);
            if (isBlank(last))
                continue;
            if ((isAsciiLetter(last) || isDigit(last)) && isAsciiLetter(c(end)))
                continue;
            std::vector<UnitMatch> matches = lookUp(i, end - i);
            if (!matches.empty()) {
                result.length = end - i;
                result.matches = std::move(matches);
                return result;
            }
        }
        // Foot and inch marks typed as quotes: 5'11" and 5’11”.
        const char16_t u = c(i);
        const QStringView mark = (u == u'\'' || u == u'’') ? QStringView(u"′")
            : (u == u'"' || u == u'”')                     ? QStringView(u"″")
                                                           : QStringView();
        if (!mark.isEmpty()) {
            result.matches = m_names.unitsCalled(mark);
            if (!result.matches.empty())
                result.length = 1;
        }
        return result;
    }

    QString wordAt(qsizetype i) const
    {
        qsizetype end = i;
        while (end < size() && !isBlank(c(end)))
            ++end;
        return m_text.mid(i, end - i).toString();
    }

    [[noreturn]] void unknownUnit(qsizetype i) const
    {
        const QString word = wordAt(i);
        throw ValueFailure(ValueFault::UnknownUnit, u"単位「%1」が見つかりません。"_s.arg(word), word);
    }

    QueryTerm readTerm()
    {
        const qsizetype start = m_pos;
        ValueReader reader(m_text, m_folded, start, [this](qsizetype i) { return unitAt(i).length > 0; });
        QueryTerm term;
        term.value = reader.read();
        m_pos = reader.position();
        term.valueText = trimmedText(m_text.mid(start, m_pos - start));
        skipBlanks();
        NameMatch unit = unitAt(m_pos);
        if (unit.length == 0) {
            if (m_pos >= size())
                throw ValueFailure(ValueFault::NoUnit, u"値「%1」の後に単位がありません。"_s.arg(term.valueText),
                                   term.valueText);
            unknownUnit(m_pos);
        }
        term.name = m_text.mid(m_pos, unit.length).toString();
        term.matches = std::move(unit.matches);
        m_pos += unit.length;
        return term;
    }

    void readTarget(Query &query, bool afterInto, std::optional<NameMatch> found = std::nullopt)
    {
        NameMatch unit = found ? std::move(*found) : unitAt(m_pos);
        if (unit.length == 0) {
            if (m_pos >= size() && afterInto) {
                const QString into = trimmedText(m_text.left(m_pos));
                throw ValueFailure(ValueFault::NoTarget, u"「%1」の後に変換先の単位がありません。"_s.arg(into), into);
            }
            unknownUnit(m_pos);
        }
        query.targetName = m_text.mid(m_pos, unit.length).toString();
        query.targetMatches = std::move(unit.matches);
        m_pos += unit.length;
        skipBlanks();
        // A closing particle: "6畳を平方メートルで".
        if (m_pos < size() && (c(m_pos) == u'で' || c(m_pos) == u'に' || c(m_pos) == u'へ')) {
            ++m_pos;
            skipBlanks();
        }
        if (m_pos < size()) {
            const QString word = wordAt(m_pos);
            throw ValueFailure(ValueFault::Unreadable,
                               u"変換先「%1」の後の「%2」が読めません。"_s.arg(query.targetName, word), word);
        }
    }

    QStringView m_text;
    QString m_folded;
    const UnitNameLookup &m_names;
    qsizetype m_pos = 0;
};

// The series a name is found in; seldom more than a few.
using SeriesSet = QVarLengthArray<QString, 4>;

SeriesSet seriesOf(const std::vector<UnitMatch> &matches)
{
    SeriesSet series;
    for (const UnitMatch &m : matches)
        if (!series.contains(m.series))
            series.append(m.series);
    return series;
}

SeriesSet common(const SeriesSet &a, const SeriesSet &b)
{
    SeriesSet both;
    for (const QString &s : a)
        if (b.contains(s))
            both.append(s);
    return both;
}

QString unitIn(const std::vector<UnitMatch> &matches, const QString &series)
{
    for (const UnitMatch &m : matches)
        if (m.series == series)
            return m.unit;
    return {};
}

// The one series every name of the query is in.
void Settle(Query &query, QStringView onlySeries)
{
    SeriesSet shared = seriesOf(query.terms.front().matches);
    for (std::size_t i = 1; i < query.terms.size(); ++i) {
        const SeriesSet next = seriesOf(query.terms[i].matches);
        const SeriesSet both = common(shared, next);
        if (both.isEmpty()) {
            const QueryTerm &a = query.terms.front();
            const QueryTerm &b = query.terms[i];
            throw ValueFailure(ValueFault::MixedSeries,
                               u"単位「%1」(単位系 %2) と単位「%3」(単位系 %4) は単位系が違うため足せません。"_s.arg(
                                   a.name, seriesList(seriesOf(a.matches)), b.name, seriesList(next)));
        }
        shared = both;
    }
    if (!onlySeries.isEmpty()) {
        const QString only = onlySeries.toString();
        for (const QueryTerm &term : query.terms)
            if (!seriesOf(term.matches).contains(only))
                throw ValueFailure(ValueFault::WrongSeries,
                                   u"単位「%1」は単位系「%2」にありません。"_s.arg(term.name, only), term.name);
        shared.clear();
        shared.append(only);
    }
    if (!query.targetName.isEmpty()) {
        const SeriesSet targetSeries = seriesOf(query.targetMatches);
        const SeriesSet both = common(shared, targetSeries);
        if (both.isEmpty())
            throw ValueFailure(ValueFault::WrongSeries,
                               u"単位「%1」は単位系 %2 にありません。"_s.arg(query.targetName, seriesList(shared)),
                               query.targetName);
        if (both.size() > 1)
            throw ValueFailure(ValueFault::Ambiguous,
                               u"単位「%1」と「%2」は複数の単位系 %3 にあります。"_s.arg(
                                   query.terms.front().name, query.targetName, seriesList(both)),
                               query.terms.front().name);
        shared = both;
    } else if (shared.size() > 1) {
        throw ValueFailure(
            ValueFault::Ambiguous,
            u"単位「%1」は複数の単位系 %2 にあります。"_s.arg(query.terms.front().name, seriesList(shared)),
            query.terms.front().name);
    }
    query.series = shared.front();
    for (QueryTerm &term : query.terms)
        term.unit = unitIn(term.matches, query.series);
    if (!query.targetName.isEmpty())
        query.target = unitIn(query.targetMatches, query.series);
}

int PositionOf(const UnitArray &units, const QString &name)
{
    for (std::size_t i = 0; i < units.size(); ++i)
        if (units[i].UnitName == name)
            return static_cast<int>(i);
    return -1;
}

QString ShortestText(double value)
{
    char buf[32];
    const auto end = std::to_chars(buf, buf + sizeof buf, value).ptr;
    return QString::fromLatin1(buf, end - buf);
}

}  // namespace

Query ParseQuery(QStringView text, const UnitNameLookup &names, QStringView onlySeries)
{
    Query query = QueryReader(text, names).read();
    Settle(query, onlySeries);
    return query;
}

SourceValue SumTerms(const Query &query, const UnitArray &units)
{
    SourceValue result;
    for (const QueryTerm &term : query.terms)
        if (PositionOf(units, term.unit) < 0)
            throw ValueFailure(ValueFault::WrongSeries,
                               u"単位「%1」は単位系「%2」にありません。"_s.arg(term.name, query.series), term.name);
    const QueryTerm &last = query.terms.back();
    result.unit = PositionOf(units, last.unit);
    if (query.terms.size() == 1) {
        result.value = NearestDouble(last.value, last.valueText);
    } else {
        mpq_class base = 0;
        for (const QueryTerm &term : query.terms) {
            const UnitRecord &unit = units[static_cast<std::size_t>(PositionOf(units, term.unit))];
            if (unit.Reciprocal || unit.Factor == 0.0 || !std::isfinite(unit.Factor) || !std::isfinite(unit.Offset))
                throw ValueFailure(ValueFault::CannotSum, u"単位「%1」の値は他の値と足せません。"_s.arg(term.name),
                                   term.name);
            base += (term.value - mpq_class(unit.Offset)) * mpq_class(unit.Factor);
        }
        const UnitRecord &target = units[static_cast<std::size_t>(result.unit)];
        const mpq_class inLast = base / mpq_class(target.Factor) + mpq_class(target.Offset);
        QStringList typed;
        for (const QueryTerm &term : query.terms)
            typed << term.valueText + term.name;
        result.value = NearestDouble(inLast, typed.join(u' '));
    }
    result.text = ShortestText(result.value);
    return result;
}
