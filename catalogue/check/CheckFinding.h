#pragma once
// One thing the series-file checker found: what kind of trouble, where it is
// (file, line, unit) and the message tovelcheck prints for it.

#include "catalogue/VisibleText.h"

#include <QString>
#include <QStringView>

enum class FindingKind {
    NoSeriesFiles,        // a folder without any "*.dat" file
    FileUnreadable,       // the file does not open
    NotASeriesFile,       // a folder, pipe, device or broken link named "*.dat": skipped, or listed as an empty series
    FileNameNotText,      // a file name whose bytes are not text: the program cannot open it
    InvalidBytes,         // bytes that do not decode: shown as U+FFFD
    NulByte,              // a NUL byte in the text
    ControlCharacter,     // another control character in the text (escape sequences, say)
    CountUnreadable,      // the first item is not a count from 0 to 32767
    EmptySeries,          // the count is 0: the series has no unit
    CountTooLarge,        // fewer records than the count: blank units at the end
    ExtraItems,           // items after the last counted record are never read
    NotANumber,           // a number field did not read as a number (it becomes 0)
    OutOfRange,           // a number field beyond the range of its type
    ValueOverflow,        // factors and offsets whose conversions overflow a double
    UnclosedQuote,        // a double quotation mark without its closing mark
    TextAfterQuote,       // text between a closing quotation mark and the next comma
    ZeroFactor,           // factor 0: converting into this unit fails
    BadFlag,              // a flag other than 0 or 1
    EmptyName,            // a unit without a name
    DuplicateName,        // two units of one series with the same name
    InvisibleCharacters,  // a name that differs from another only by characters that show as nothing
    CommaInName,          // an unquoted name with a comma shifted the fields
    RadixNotWhole,        // number-base series: a radix that is not a whole number
    RadixOutOfRange,      // number-base series: a radix outside 2 to 36
    RadixOrder,           // number-base series: radices not 2, 3, 4 ... in order
    Utf8WithoutMark,      // UTF-8 without its byte-order mark, read as CP932 half-width katakana
    // The lines after the counted records ("#逆数", "#別名"):
    ExtensionInRecords,     // such a line inside the counted records: they are shifted
    ExtensionInNumberBase,  // the number-base series reads none
    UnknownKeyword,         // a keyword the program does not know: the line is ignored
    ExtensionNamesNoUnit,   // an alias line for a unit that does not exist, a reciprocal line without a name
    ReciprocalConstant,     // a reciprocal constant of 0 or not a number: every conversion fails
    SharedAlias,            // one name for two units of a series
    CompoundUnits,  // a "#併記" line that does not read: a unit missing or reciprocal, fewer than two, out of order
};

struct CheckFinding {
    FindingKind kind = FindingKind::FileUnreadable;
    QString file;      // the path as given or found
    int line = 0;      // line of the file, from 1; 0 when the finding is about the whole file
    int unit = -1;     // index of the unit record, from 0; -1 for the whole file
    QString unitName;  // the unit's name as read, when unit >= 0
    QString message;

    // "file:line: 単位 n「name」: message", the form tovelcheck prints, with
    // every control character shown as an escape (see VisibleText).
    QString text() const;
};

// Whether the character shows as nothing in a list: zero-width spaces and
// joiners, the word joiner, the byte-order mark, soft hyphens, variation
// selectors, fillers and the other format characters.
bool IsInvisibleCharacter(char32_t c);

// The most characters of a name or an item that a finding shows.
constexpr qsizetype kShownCharacters = 200;

// The text cut to kShownCharacters characters, with "…" where it was cut
// (never between the two halves of a surrogate pair).
QString ShortenedText(QStringView text);
