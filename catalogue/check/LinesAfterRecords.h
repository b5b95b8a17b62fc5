#pragma once
// The lines after the counted records of a series file, read as the program
// reads them: lines of the extension (a first item in quotes starting with
// "#") are kept and checked by CheckExtensionLines at the end of the file;
// items on other lines are extra items, which the program does not read.
// Also reports an extension line that stands among the records.

#include "catalogue/UnitFile.h"
#include "catalogue/check/FindingList.h"

#include <QString>
#include <vector>

class LinesAfterRecords {
public:
    // numberBase: the series is the number-base one ("進数").
    LinesAfterRecords(bool numberBase, FindingList &findings);

    // An item of the records (of record), startsLine when the item before
    // it ended its line: reports the first that opens an extension line.
    void checkInRecords(const SeriesItemView &item, int record, bool startsLine);
    // An item after the counted records; startsLine for the first of them
    // and for one after a line end.
    void readItem(const SeriesItemView &item, bool startsLine);
    // At the end of the file, with the series' records: count read, their
    // names and factors, the count as written, and whether a comma in a name shifted
    // the records (then the extra items are its consequence, not reported).
    void finish(int count, std::vector<QString> names, const std::vector<double> &factors, long long declaredCount,
                bool shifted);

private:
    void endLine();

    bool m_numberBase;
    FindingList &m_findings;
    bool m_inRecordsFound = false;

    bool m_extension = false;  // the current line is one of the extension
    int m_lineFirst = 0;       // where the current line starts
    bool m_lineHasContent = false;
    bool m_lineOpen = false;  // a comma ended the last item read there
    int m_lineItems = 0;      // items after the first of the current line
    int m_extraLine = 0;      // the first line of extra items; 0 when there is none
    std::vector<ExtensionLine> m_extensionLines;
};
