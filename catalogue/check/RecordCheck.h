#pragma once
// Checking the count and the counted records of a series file, each record
// as soon as it is read: a count that does not read, numbers that do not,
// a factor of 0, flags other than 0 or 1, empty names, names used twice or
// differing only by invisible characters, a name whose comma shifted the
// fields, conversions whose result overflows, and the radices of the
// number-base series. Of each name only a hash is kept, and the name itself
// for the lines after the records, which may name the unit.

#include "catalogue/UnitFile.h"
#include "catalogue/UnitRecord.h"
#include "catalogue/check/FindingList.h"

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <array>
#include <optional>
#include <vector>

class RecordCheck {
public:
    // numberBase: the series is the number-base one ("進数").
    RecordCheck(bool numberBase, FindingList &findings);

    // The first item of the file.
    void readCount(const SeriesItemView &item);
    // Item index of the file (1 for the first item of the first record,
    // up to 5 * count()).
    void readItem(long long index, const SeriesItemView &item);
    // Checks the record read last, once the line of the item after it is
    // known (0 when there is none).
    void finishRecord(int nextItemLine);
    // What is known once every record is read; only when count() > 0.
    void finish();

    // The records the program reads, and the count as written.
    int count() const { return m_count; }
    long long declaredCount() const { return m_declaredCount; }
    // The record item index belongs to; -1 for the count and for items after
    // the last counted record.
    int recordOfItem(long long index) const;
    // Whether a record is read but not yet checked.
    bool isRecordOpen() const { return m_recordOpen; }
    // Whether a comma in a name shifted the fields of the records.
    bool isShifted() const { return m_shiftedAt >= 0; }
    // The names of the records read, for the lines after the records.
    std::vector<QString> takeNames() { return std::move(m_names); }
    // Their factors as read (a record cut short has none).
    std::vector<double> takeFactors() { return std::move(m_factors); }

private:
    // One field of the record being read: what its findings show.
    struct Field {
        int line = 0;
        bool quoted = false;
        QString shown;        // the item as written, shortened
        bool failed = false;  // a number that did not read (it became 0)
        FieldIssue::Kind issue = FieldIssue::NotANumber;
        bool tooLarge = false;
        bool textAfterQuote = false;
    };

    // A unit that takes part in conversions, for the check of their range.
    struct Linear {
        int unit;
        int line;  // of its factor
        double factor;
        double offset;
        QString name;  // shortened
    };

    void startRecord(int r);
    void readField(int f, const SeriesItemView &item);
    void readVisibleName(QStringView name);
    bool isShifted(int nextItemLine) const;
    void checkRecord();
    void checkName();
    static QString outOfRangeMessage(int field, const Field &f);
    void checkFlag(int field, qint16 value);
    void checkRange();
    static double BaseOfOne(const Linear &u) { return (1.0 - u.offset) * u.factor; }
    void checkRanges();
    void checkRadix();

    bool m_numberBase;
    FindingList &m_findings;

    int m_countLine = 0;
    long long m_declaredCount = 0;
    int m_count = 0;  // records the program reads
    int m_recordsPresent = 0;
    std::vector<QString> m_names;  // of the counted records, for the extension lines
    std::vector<double> m_factors;
    int m_shiftedAt = -1;

    // The record being read.
    int m_record = -1;
    bool m_recordOpen = false;
    UnitRecord m_unit;
    std::array<Field, kFieldsPerRecord> m_fields;
    QString m_nameShown;
    QByteArray m_nameKey, m_visibleKey;
    QStringList m_invisibleShown;
    bool m_visibleEmpty = false;

    // Over all records.
    QHash<QByteArray, int> m_firstWithName;
    QHash<QByteArray, int> m_firstLookingAlike;
    std::vector<Linear> m_linear;
    std::optional<size_t> m_highest, m_lowest;
    bool m_radixOrderReported = false;
};
