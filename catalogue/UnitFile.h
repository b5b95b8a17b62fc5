#pragma once
// Reading series files.
//
// A series file is a sequence of items separated by commas or line ends: a
// count, then count records of name, factor, offset, grouping flag and
// exponent flag. Files are CP932 (UTF-8 when they carry a byte-order mark or
// are valid UTF-8 throughout); LF and CRLF line ends read alike.
//
// LoadUnitFile is what the program uses. ReadUnitFile gives the same records
// together with what a checker wants to know about how the file read.

#include "catalogue/UnitRecord.h"

#include <QByteArray>
#include <QString>
#include <vector>

// Decodes the bytes of a series file to text (CP932 or UTF-8, see above).
// Bytes that do not decode become U+FFFD.
QString DecodeSeriesText(const QByteArray &bytes);

// How one number field of one record read.
struct FieldIssue {
    int record = 0;      // index of the record, from 0
    int field = 0;       // 1 factor, 2 offset, 3 grouping flag, 4 exponent flag
    QString itemText;    // the item as it stood in the file
    enum Kind { NotANumber, OutOfRange } kind = NotANumber;
};

struct UnitFileContents {
    bool opened = false;          // the file could be opened and read
    bool countRead = false;       // the first item read as a count in the 16-bit range
    long long declaredCount = 0;  // the count as written (0 when it did not read)
    int recordsPresent = 0;       // records whose five items were all present in the file
    bool trailingItems = false;   // items follow the last counted record
    UnitArray units;              // count records (blank ones past the end of the file)
    std::vector<FieldIssue> issues;
};

UnitFileContents ReadUnitFile(const QString &path);

// Replaces units by the series in the file at path and returns the index of
// its last record: count - 1, so -1 when the file yields no unit (missing,
// unreadable, a count of 0, negative or out of range). Never reports an error.
qint16 LoadUnitFile(const QString &path, UnitArray &units);
