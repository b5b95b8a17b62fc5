#pragma once
// Text forms of numbers: reading a typed value, the three result styles
// (plain, grouped with ",", scientific), dropping a final character, and the
// digit strings of the number-base series (radix 2 to 36, digits "0"-"9" then
// "A"-"Z").
//
// Every function here is pure: no locale, no settings, no window. The decimal
// point is always "." and the group separator always ",", whatever the
// platform's locale says. Failures are raised as ConversionFailure.
//
// Rounding. The result styles work from the value rounded to 15 significant
// digits, computed from the double's exact binary value and rounded half away
// from zero. The grouped style then rounds its last fraction digit (the 15th
// after the point), and the scientific style its third significant digit,
// half away from zero on that 15-digit form: 9.995 (stored as
// 9.99499999999999957...) is 9.99500000000000 at 15 digits and so shows as
// 1.00E+01.
//
// Where PlainText uses the exponent form. After the rounding to 15 digits a
// value whose decimal exponent is 15 or more (1E+15 and up), or -7 or less
// (below 0.000001), is written as mantissa, "E", sign and at least two
// exponent digits: 1E+15, 1.5E-07. Everything between is positional:
// 123456789012345, 0.001, 0.000001, 0.0000015.
//
// Radix digit strings are converted exactly with GMP integers. The largest
// value a digit string may have is the largest finite double,
// DBL_MAX = (2^53 - 1) * 2^971 (309 decimal digits); DBL_MAX + 1 and beyond
// are an overflow. Text that is not a digit string of its radix (after
// dropping blanks around it) is invalid input; the empty text is 0.

#include <QString>
#include <QStringView>
#include <QtGlobal>
#include <gmpxx.h>
#include <string>

// Reads a decimal number: blanks around it, one optional sign "+"/"-" before
// the number or directly after it, digits with "," allowed anywhere in the
// integer part, an optional "." (at least one digit in all), an optional
// exponent "E"/"e" with optional sign and at least one digit. Anything else,
// including currency signs, parentheses and "&H"/"&O" prefixes, is
// InvalidInput. A magnitude beyond the largest double is Overflow; one below
// the smallest denormal reads as a (signed) zero. Returns the nearest double.
// Blanks are the space, the tab and the ideographic space U+3000.
double ReadNumber(QStringView text);

// True when ReadNumber would return a value (no failure).
bool IsNumberText(QStringView text);

// The shortest text of the value rounded to 15 significant digits: no group
// separators, "-" for negative values, "0" for either zero, leading "0" below
// 1 (0.5). Exponent form as described above. Infinities and NaN, which the
// conversion never formats, give "Infinity", "-Infinity" and "NaN".
//
// The double overloads of the three styles take the number of significant
// digits a result keeps, 1 to 15 (others count as the nearest of the two):
// the 15-digit form is rounded once more, half away from zero, to that many
// digits before the style writes it, so 3 digits write 3.30578512396694 as
// 3.31 and 123456 as 123000. 15 changes nothing.
constexpr int kMaxSignificantDigits = 15;
QString PlainText(double value, int significant = kMaxSignificantDigits);

// The pattern "#,##0.###############;-#,##0.###############;#;0": the integer
// part grouped by three with ",", then "." (always written, even with no
// fraction digit: 5 gives "5."), then at most 15 fraction digits without
// trailing zeros. Zero (either sign) gives the empty text. The text overload
// reads its argument like ReadNumber and returns a text that does not read as
// a number unchanged.
QString GroupedText(double value, int significant = kMaxSignificantDigits);
QString GroupedText(const QString &text);

// Whether the value, rounded to 15 significant digits as the styles write
// it, is below 10 raised to n, compared exactly: 1E+23 is not below 10^23
// (a double power of ten may be off by one unit in the last place, and
// 999999999999999.9 is written "1,000,000,000,000,000." with 16 digits, so
// is not below 10^15 either). NaN and +Infinity are not below any power.
// With fewer significant digits the value is compared as rounded to them.
bool BelowPowerOfTen(double value, int n, int significant = kMaxSignificantDigits);

// The power of ten of the first digit of value rounded to 15 significant
// digits (2 for 123.4, -3 for 0.0012); 0 for zero. value must be finite.
int DecimalExponent(double value);

// The pattern "0.00E+00": 1234.5 gives "1.23E+03", 0 gives "0.00E+00",
// 1E+100 gives "1.00E+100". The text overload reads its argument like
// ReadNumber and returns a text that does not read as a number unchanged.
QString ScientificText(double value, int significant = kMaxSignificantDigits);
QString ScientificText(const QString &text);

// The texts of the double overloads of the three styles as ASCII bytes,
// appended to text: for a caller that writes bytes anyway, without a
// QString in between.
void AppendPlainText(std::string *text, double value, int significant = kMaxSignificantDigits);
void AppendGroupedText(std::string *text, double value, int significant = kMaxSignificantDigits);
void AppendScientificText(std::string *text, double value, int significant = kMaxSignificantDigits);

// The text without its last character (a surrogate pair counts as one).
QString DropLastChar(const QString &text);

// The value truncated toward zero (2.75 gives 2, -2.75 gives -2).
double IntegerPart(double value);

// Rounds to the nearest 16-bit integer, ties to even; a value outside
// -32768..32767 after rounding, or NaN, is Overflow.
qint16 RoundToInt16(double value);

// The radix conversion works on exact integers: ToRadixTextExact and
// FromRadixTextExact. The double versions are not called by the program;
// they stay as what the tests of the exact versions compare against (the
// digits of a double, the nearest double of a digit string).
//
// Digit string of the whole part of value ("-" before negative values);
// "0" for a radix outside 2..36. A non-finite value is Overflow. Exact for
// every finite double.
QString ToRadixText(double value, qint16 radix);
QString ToRadixTextExact(const mpz_class &value, int radix);

// The value of a digit string of the radix: blanks around it are ignored,
// letters may be of either case, the empty text is 0. Any other character,
// or a digit not below the radix, is InvalidInput; a value beyond DBL_MAX is
// Overflow. A radix outside 2..36 gives 0 without looking at the text.
// The double overload rounds the exact value to the nearest double.
double FromRadixText(const QString &text, qint16 radix);
mpz_class FromRadixTextExact(QStringView text, int radix);
