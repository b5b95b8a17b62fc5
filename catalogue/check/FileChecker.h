#pragma once
// Checking one series file, read as the program reads it (the same choice
// of encoding, the same items, the same numbers) but as a stream: the bytes
// are weighed for their encoding in one pass, then decoded and split into
// items in a second. The records go to RecordCheck, the lines after them to
// LinesAfterRecords; what concerns the file itself is checked here: a file
// that does not open, NUL bytes, bytes that did not decode, control
// characters, unclosed quotes and a UTF-8 file without its mark.

#include "catalogue/SeriesText.h"
#include "catalogue/UnitFile.h"
#include "catalogue/check/FindingList.h"
#include "catalogue/check/LinesAfterRecords.h"
#include "catalogue/check/RecordCheck.h"

#include <QChar>
#include <QFile>
#include <QString>
#include <QStringView>

class FileChecker {
public:
    // seriesName decides whether the file is the number-base series.
    FileChecker(const QString &path, const QString &seriesName, const FindingSink &sink);

    // Checks the file, sending the findings to the sink.
    void run();

private:
    bool weigh(QFile &file, SeriesEncodingChoice &choice, qint64 &size);
    bool read(QFile &file, const SeriesEncodingChoice &choice, qint64 size);
    void onItem(const SeriesItemView &item);
    void finishFile(const SeriesEncodingChoice &choice);
    static QString Utf8ReadingOf(const QString &text);
    void scanCharacters(QStringView text, qsizetype end, const SeriesItemView *item);
    void scanCharacter(char16_t c, const SeriesItemView *item);
    void flushLine(int unit);

    QString m_path;
    bool m_numberBase;
    FindingList m_findings;
    RecordCheck m_records;
    LinesAfterRecords m_afterRecords;

    long long m_itemsRead = 0;
    int m_lastItemUnit = -1;          // record of the last item read
    bool m_previousEndedLine = true;  // the item before ended its line

    // Characters.
    qsizetype m_scanFrom = 0;
    int m_line = 1;
    bool m_nul = false, m_invalid = false;
    QChar m_control;
    int m_katakanaLine = 0;
    int m_katakanaUnit = -1;
    QString m_katakanaText;
};
