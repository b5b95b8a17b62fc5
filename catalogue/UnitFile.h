#pragma once
// Reading series files.
//
// A series file is a sequence of items separated by commas or line ends: a
// count, then count records of name, factor, offset, grouping flag and
// exponent flag. Files are CP932 or UTF-8, chosen per file (SeriesText.h);
// CR LF, LF and CR line ends read alike.
//
// LoadUnitFile is what the program uses. ReadUnitFile gives the same records
// together with what a checker wants to know about how the file read.

#include "catalogue/SeriesText.h"
#include "catalogue/UnitRecord.h"

#include <QByteArray>
#include <QString>
#include <vector>

// The items of one record, in the order the file holds them.
enum RecordField : int {
    NameField,          // UnitName
    FactorField,        // Factor
    OffsetField,        // Offset
    GroupingFlagField,  // SeparatorOK
    ExponentFlagField,  // ExponentOK
};
constexpr int kFieldsPerRecord = 5;

// The most units a series holds: the count is a 16-bit number.
constexpr int kMaxSeriesUnits = 32767;

// The largest series file the reader accepts; a larger file reads as an
// unreadable one, and is refused before it is read into memory.
//
// Only the count and the counted records are read, so no series needs more
// than the count line and 32,767 records of the largest useful size:
//   - the name: 256 characters (more than any unit list can show) of at most
//     4 bytes each in UTF-8 (2 in CP932), and its two quotation marks;
//   - factor and offset: any double written out exactly, every digit of its
//     binary value included, with sign, point and exponent; the longest is
//     the smallest denormal written positionally, "0." and 1,074 places;
//   - the two flags: "-32768" at most;
//   - four commas and CR LF.
// That is 3,198 bytes; a record of 4 KiB leaves the rest for blanks around
// the items, and one more record's worth holds the count line and a
// byte-order mark. 128 MiB in all, while the series files that ship with
// the program are under 1 KB each.
constexpr qint64 kMaxNameBytes = 2 + 256 * 4;
constexpr qint64 kMaxNumberBytes = 3 + 1074;
constexpr qint64 kMaxFlagBytes = 6;
constexpr qint64 kMaxSeparatorBytes = (kFieldsPerRecord - 1) + 2;
constexpr qint64 kMaxRecordBytes = 4096;
static_assert(kMaxNameBytes + 2 * kMaxNumberBytes + 2 * kMaxFlagBytes + kMaxSeparatorBytes <= kMaxRecordBytes);
constexpr qint64 kMaxSeriesFileBytes = kMaxRecordBytes * (kMaxSeriesUnits + 1);

// How one field of one record read, when it did not read cleanly.
//
// NotANumber and OutOfRange concern the number fields: the field became 0.
// (A number whose magnitude is too large for the field, or a factor or offset
// too small to be anything but 0, is OutOfRange.) The two quote kinds concern
// any field written between double quotation marks: TextAfterQuote when
// something other than blanks stood between the closing mark and the next
// comma or line end (it is ignored), UnclosedQuote when no closing mark
// followed, so that the item ran to the end of the file.
struct FieldIssue {
    int record = 0;  // index of the record, from 0
    RecordField field = NameField;
    QString itemText;  // the item as it stood in the file, quotation marks included
    enum Kind { NotANumber, OutOfRange, TextAfterQuote, UnclosedQuote } kind = NotANumber;
};

struct UnitFileContents {
    bool opened = false;          // the file could be opened and read
    bool countRead = false;       // the first item read as a count in the 16-bit range
    long long declaredCount = 0;  // the count as written (0 when it did not read)
    int recordsPresent = 0;       // records whose five items were all present in the file
    bool trailingItems = false;   // something other than blanks and line ends follows the last counted record
    UnitArray units;              // count records (blank ones past the end of the file)
    std::vector<FieldIssue> issues;
};

UnitFileContents ReadUnitFile(const QString &path);

// The decoded text of the series file at path; false when it is not an
// ordinary file, cannot be read, or is larger than kMaxSeriesFileBytes.
bool ReadSeriesFileText(const QString &path, QString *text);

// One item of a series file as the reader splits the text.
struct SeriesItem {
    QString text;  // without quotation marks
    bool quoted;   // written between double quotation marks
    int line;      // the line it starts on, from 1
};

// Every item of the text, in order, read exactly as ParseSeriesText reads them.
std::vector<SeriesItem> ScanSeriesItems(const QString &text);

// The same reading over text already decoded; opened is set.
UnitFileContents ParseSeriesText(const QString &text);

// Replaces units by the series in the file at path and returns the index of
// its last record: count - 1, so -1 when the file yields no unit (missing,
// unreadable, a count of 0, negative or out of range). Never reports an error.
qint16 LoadUnitFile(const QString &path, UnitArray &units);
