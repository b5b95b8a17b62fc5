#pragma once
// Values as people write them, and whole queries such as "5尺3寸 cm": the one
// reader that the window, tovelconv and the desktop search use for a value.
//
// A value (ReadValue, ReadValueExact):
//   - a number as ReadNumber reads it; such a text keeps that meaning, "5-"
//     is -5 and "1+" is 1;
//   - arithmetic: + - * / × ÷ and ^ (whole powers), parentheses, the usual
//     precedence, unary minus; "2^3^2" is 2^9;
//   - fractions and mixed numbers: "1/3", "1 1/2" (one and a half), "1½",
//     and the vulgar fractions ½ ⅓ ⅔ ¼ ¾ ⅕ ⅖ ⅗ ⅘ ⅙ ⅚ ⅐ ⅛ ⅜ ⅝ ⅞ ⅑ ⅒;
//   - full-width forms read as plain ones ("１２．５", "－", "（）"), U+3000
//     as a blank, "−" (U+2212) and "ー" before a number as minus;
//   - Japanese numbers: 万 億 兆 after a number ("1.5万", "3億2000万"), 十 百
//     千 after a digit ("5千"), kanji numerals ("三", "十五", "二千五百",
//     "一万二千", "〇・五", positional "二〇二六").
// The value is computed exactly in rationals and then rounded to the nearest
// double, so a plain number gives the same double as ReadNumber.
//
// A query (ParseQuery): one or more value terms, each a value and a unit name
// ("5尺3寸", "5 ft 11 in", "5'11\"", "1時間30分"), then optionally an "into"
// word (to in into as → -> => = を で へ に) and the target unit name, and
// optionally a closing particle (で に へ): "6畳を平方メートルで",
// "30 mpg in L/100km", "6 畳 m2", "1/3 尺 cm". Unit names come from the
// caller through UnitNameLookup; the longest name that matches wins, so
// "L/100km" and "km/h" are names, not divisions. "in" and "to" right after a
// value are unit names (inch, 斗); after a unit name they are "into" words.
// When a name is held by several series, the other names settle which one is
// meant (every term and the target must share the series).
//
// Wiring, in short:
//     const Query q = ParseQuery(text, lookup);          // may throw ValueFailure
//     session.LoadSeries(dir, entryOf(q.series));        // the settled series
//     const SourceValue v = SumTerms(q, session.units()); // may throw ValueFailure
//     convert v.text (reads back as v.value) from unit v.unit into q.target
//     (empty: every unit); show `text` as typed in the result line.
// A value box: double v = ReadValue(text);  // may throw ValueFailure
// The number-base series "進数" has digit strings, not values: its texts go
// to the radix conversion as they are, never through this reader. A query's
// plain value and unit names ("6 畳 平方メートル", "-40 セルシウス度
// ファーレンハイト度") read as the separate words did before, so tovelconv's
// arguments may be joined with blanks and parsed as one query. The lookup is asked for candidate names of every length up
// to longestName() at each place a name may start, so it should answer a
// miss without allocating where it can.
//
// ValueFailure::message() is Japanese and names the place of a fault:
// "値「1//2」の 3 文字目「/」が読めません". Positions count the characters the
// user sees, from 1. The message quotes the user's text as typed: pass it
// through a control-character escape before writing it to a terminal.

#include "catalogue/UnitRecord.h"
#include "convert/ConversionFailure.h"

#include <QString>
#include <QStringView>
#include <exception>
#include <gmpxx.h>
#include <vector>

// Why a value or a query was refused.
enum class ValueFault {
    Unreadable,      // a character that cannot stand there
    Unfinished,      // the value stops where more is needed ("1*", "(2")
    DivisionByZero,  // x/0, 0^-1
    OutOfRange,      // beyond the double range, or a power too large to compute
    NotWholePower,   // "2^0.5"
    NoUnit,          // a value without a unit name in a query
    NoValue,         // an empty value, or a query that does not start with a value
    UnknownUnit,     // a name that no series holds
    NoTarget,        // an "into" word with no unit after it
    MixedSeries,     // terms of different series
    WrongSeries,     // the target (or the chosen series) holds none of the terms' units
    Ambiguous,       // the names stay in several series
    CannotSum        // several terms with a reciprocal unit or a factor of 0 among them
};

class ValueFailure : public std::exception {
public:
    ValueFailure(ValueFault fault, QString message, QString text = {}, int position = 0, QString character = {});
    ValueFault fault() const { return m_fault; }
    // The whole message, in Japanese, without a final line break.
    const QString &message() const { return m_message; }
    // The value or name the message quotes, its failing character and its
    // position in it (from 1; 0 when the fault has no single place).
    const QString &text() const { return m_text; }
    int position() const { return m_position; }
    const QString &character() const { return m_character; }
    // The kind the window's message box shows: OutOfRange and
    // DivisionByZero are Overflow, the rest InvalidInput.
    FailureKind kind() const;
    const char *what() const noexcept override;

private:
    ValueFault m_fault;
    QString m_message;
    QString m_text;
    int m_position;
    QString m_character;
    QByteArray m_utf8;
};

// The value of a text, rounded to the nearest double (ReadNumber's reading is
// tried first). Throws ValueFailure.
double ReadValue(QStringView text);
// The exact value. Throws ValueFailure.
mpq_class ReadValueExact(QStringView text);

// The rational nearest double, ties to even; beyond the largest double it
// throws ValueFailure (OutOfRange) quoting `shown`.
double NearestDouble(const mpq_class &value, QStringView shown = {});

// ---------------------------------------------------------------------------
// Queries

// A unit that answers to a name: its series and its own name there.
struct UnitMatch {
    QString series;
    QString unit;
    bool operator==(const UnitMatch &) const = default;
};

// The caller's index of unit names (own names and aliases of every series).
class UnitNameLookup {
public:
    virtual ~UnitNameLookup() = default;
    // Every unit that answers to exactly this name, in every series; empty
    // when none does. Called for many candidate names: a miss must be cheap.
    virtual std::vector<UnitMatch> unitsCalled(QStringView name) const = 0;
    // The length in UTF-16 units of the longest name; longer candidates are
    // not asked for.
    virtual qsizetype longestName() const { return 64; }
};

struct QueryTerm {
    mpq_class value;                 // exact
    QString valueText;               // the value as typed
    QString name;                    // the unit name as typed
    std::vector<UnitMatch> matches;  // every unit answering to the name
    QString unit;                    // the unit's own name in the settled series
};

struct Query {
    std::vector<QueryTerm> terms;  // at least one
    QString targetName;            // as typed; empty: no target given
    std::vector<UnitMatch> targetMatches;
    QString target;  // own name in the settled series; empty: none
    QString series;  // the settled series
};

// Splits and reads a query, and settles its series: the one series holding
// every term's unit and the target, restricted to `onlySeries` when that is
// not empty. Throws ValueFailure.
Query ParseQuery(QStringView text, const UnitNameLookup &names, QStringView onlySeries = {});

// The query's value as one value of one unit of the loaded series `units`:
// the terms summed exactly in the base unit and given in the last term's unit
// ("5尺3寸" as 53 寸, "5 ft 11 in" as 71 in); a single term as it is.
struct SourceValue {
    int unit = -1;     // position of the unit in `units`
    double value = 0;  // nearest double of the exact value
    QString text;      // shortest text that ReadNumber reads as `value`
};
SourceValue SumTerms(const Query &query, const UnitArray &units);
