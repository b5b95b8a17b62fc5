#pragma once
// Reading series files.
//
// A series file is a sequence of items separated by commas or line ends: a
// count, then count records of name, factor, offset, grouping flag and
// exponent flag. Files are CP932 or UTF-8, chosen per file (SeriesText.h);
// CR LF, LF and CR line ends read alike.
//
// Whatever follows the last counted record is not part of the records. Lines
// there whose first item is a quoted keyword beginning with "#" extend the
// series (a reader that knows only the records never sees them):
//   "#逆数",NAME,K,SEP,EXP   a reciprocal unit NAME: v in it is K / v in the
//                            base unit; SEP and EXP are the two flags;
//   "#別名",NAME,ALIAS,...   further names by which the unit NAME is found;
//   "#併記",NAME,UNIT1,UNIT2[,UNIT3...]
//                            a target NAME that shows a value in the units
//                            UNIT1, UNIT2, ... of the file, largest first
//                            (CompoundUnit.h).
// Each such line is one line of items: its line end ends it. A keyword not
// known here is ignored, so that later ones can be added. The number-base
// series does not read these lines.
//
// LoadUnitFile is what the program uses. ReadUnitFile gives the same records
// together with what a checker wants to know about how the file read.

#include "catalogue/CompoundUnit.h"
#include "catalogue/SeriesText.h"
#include "catalogue/UnitRecord.h"

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QStringView>
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
// the program are under 1 KB each. The extension lines after the records
// share this room: a series of fewer or shorter records leaves it to them.
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

// The extension keywords this reader knows.
inline constexpr char16_t kReciprocalKeyword[] = u"#逆数";
inline constexpr char16_t kAliasKeyword[] = u"#別名";
inline constexpr char16_t kCompoundKeyword[] = u"#併記";

// Opens the series file at path for reading as ReadSeriesFileText does;
// false for what ReadSeriesFileText refuses before reading. Whoever reads
// it reads no more than kMaxSeriesFileBytes.
bool OpenSeriesFile(const QString &path, QFile &file);

// One item as SeriesItemReader splits the text. The views point into the
// reader's text: valid until the reader is given more text or drops what it
// has read.
struct SeriesItemView {
    QStringView value;     // without quotation marks
    QStringView raw;       // the item as it stood, quotation marks included
    int line = 1;          // the line the item starts on, from 1
    bool endsLine = true;  // a line end or the end of the file follows it, not a comma
    bool textAfterQuote = false;
    bool unclosedQuote = false;  // no closing mark followed: the item runs to the end of the file
};

// Reads the items of a series file one after another. Items are separated by
// a comma or a line end (CR LF, LF or CR alike), so an empty line is one
// empty item and a comma right after a comma gives an empty item as well.
// The text may come whole or in pieces (append, then finish after the last
// piece); the items are the same either way.
class SeriesItemReader {
public:
    SeriesItemReader() = default;
    explicit SeriesItemReader(const QString &text);  // the whole text

    void append(QStringView more);
    void finish();

    enum Step {
        Item,      // item holds the next item
        NeedMore,  // the text so far ends within the next item: append more
        End,       // there is no further item
    };
    Step next(SeriesItemView &item);

    // The text held, and where the next item starts in it. The text before
    // that has been read and may be dropped.
    QStringView text() const { return m_text; }
    qsizetype position() const { return m_pos; }
    void dropRead();

private:
    QString m_text;
    qsizetype m_pos = 0;
    int m_line = 1;
    bool m_final = false;
};

// The count at the head of a series file, read from its item.
struct SeriesCount {
    bool read = false;       // it read as a count in the 16-bit range (or was empty)
    long long declared = 0;  // the count as written (0 when it did not read)
    qint16 count = 0;        // the records the reader reads: 0 when it did not read
};
SeriesCount ReadSeriesCount(QStringView item);

// Reads the item (the value, without quotation marks) into its field of unit
// as the loader does. False when a number field did not read: then issue is
// NotANumber or OutOfRange, and tooLarge whether the number is too large (not
// too close to 0) for its field.
bool ReadRecordField(UnitRecord &unit, RecordField field, QStringView item, FieldIssue::Kind *issue = nullptr,
                     bool *tooLarge = nullptr);

// One item of a series file as the reader splits the text.
struct SeriesItem {
    QString text;  // without quotation marks
    bool quoted;   // written between double quotation marks
    int line;      // the line it starts on, from 1
};

// A line after the counted records whose first item is a quoted "#" keyword.
struct ExtensionLine {
    int line = 0;                   // where it starts, from 1
    QString keyword;                // the first item, "#" included
    std::vector<SeriesItem> items;  // the items after the keyword
    // The unit it declares ("#逆数") or names ("#別名") as an index into the
    // loaded series (counted units, then reciprocal ones); -1 when it was not
    // read, names no unit, or the keyword is not known.
    int unit = -1;
};

struct UnitFileContents {
    bool opened = false;          // the file could be opened and read
    bool countRead = false;       // the first item read as a count in the 16-bit range
    long long declaredCount = 0;  // the count as written (0 when it did not read)
    int recordsPresent = 0;       // records whose five items were all present in the file
    bool trailingItems = false;   // something other than blanks, line ends and extension lines follows the records
    int trailingLine = 0;         // the line where the first such item starts
    UnitArray units;              // count records (blank ones past the end of the file), with their aliases
    UnitArray reciprocalUnits;    // the "#逆数" units in file order, with their aliases; they follow units
    CompoundArray compoundUnits;  // the "#併記" lines that read, in file order
    std::vector<ExtensionLine> extensionLines;  // in file order, read or not
    std::vector<FieldIssue> issues;
};

// Whether a series reads the extension lines: every series but "進数".
enum class SeriesExtension { Read, Skip };

// The most units a loaded series holds, counted and reciprocal ones
// together; reciprocal units beyond it are not read.
constexpr int kMaxLoadedUnits = kMaxSeriesUnits;

UnitFileContents ReadUnitFile(const QString &path, SeriesExtension extension = SeriesExtension::Read);

// The decoded text of the series file at path; false when it is not an
// ordinary file, cannot be read, or is larger than kMaxSeriesFileBytes.
bool ReadSeriesFileText(const QString &path, QString *text);

// Reads the reciprocal units, the aliases and the compound units of
// contents.extensionLines into contents, as ParseSeriesText does with
// SeriesExtension::Read.
void ApplySeriesExtension(UnitFileContents &contents);

// Every item of the text, in order, read exactly as ParseSeriesText reads them.
std::vector<SeriesItem> ScanSeriesItems(const QString &text);

// The same reading over text already decoded; opened is set.
UnitFileContents ParseSeriesText(const QString &text, SeriesExtension extension = SeriesExtension::Read);

// Replaces units by the series in the file at path, the counted records
// followed by the reciprocal units (the file name tells whether it is
// "進数", which reads no extension), and returns the index of its last unit:
// -1 when the file yields no unit (missing, unreadable, a count of 0,
// negative or out of range). Never reports an error.
qint16 LoadUnitFile(const QString &path, UnitArray &units);
// The same, and the compound units of the file into compounds.
qint16 LoadUnitFile(const QString &path, UnitArray &units, CompoundArray &compounds);
