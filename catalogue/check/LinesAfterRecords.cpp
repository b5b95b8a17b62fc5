#include "catalogue/check/LinesAfterRecords.h"

#include "catalogue/check/CheckFinding.h"
#include "catalogue/check/ExtensionCheck.h"

LinesAfterRecords::LinesAfterRecords(bool numberBase, FindingList &findings)
    : m_numberBase(numberBase), m_findings(findings)
{
}

// A count larger than the records, or a record short of an item, made the
// line part of the records.
void LinesAfterRecords::checkInRecords(const SeriesItemView &item, int record, bool startsLine)
{
    if (m_inRecordsFound || !startsLine || !item.raw.startsWith(u'"') || !item.value.startsWith(u'#'))
        return;
    m_inRecordsFound = true;
    m_findings.add(FindingKind::ExtensionInRecords, item.line, record,
                   QStringLiteral("「%1」の行が単位の記録の中にあって、記録として読まれます。"
                                  "単位数か、その前の記録の項目の数を確かめてください。")
                       .arg(ShortenedText(item.value)));
}

void LinesAfterRecords::readItem(const SeriesItemView &item, bool startsLine)
{
    if (startsLine) {
        m_extension = item.raw.startsWith(u'"') && item.value.startsWith(u'#');
        m_lineFirst = item.line;
        m_lineHasContent = !item.raw.isEmpty();
        m_lineItems = 0;
        if (m_extension) {
            ExtensionLine line;
            line.line = item.line;
            line.keyword = item.value.toString();
            m_extensionLines.push_back(std::move(line));
        }
    } else {
        m_lineHasContent = true;  // a second item on the line
        // Only the first four items of an extension line are read by
        // their place; after them empty items mean nothing.
        if (m_extension && (m_lineItems < 4 || !item.value.isEmpty()))
            m_extensionLines.back().items.push_back({item.value.toString(), item.raw.startsWith(u'"'), item.line});
        ++m_lineItems;
    }
    m_lineOpen = !item.endsLine;
    if (item.endsLine)
        endLine();
}

// The end of a line after the records (or of the file, within one).
void LinesAfterRecords::endLine()
{
    if (!m_extension && m_lineHasContent && m_extraLine == 0)
        m_extraLine = m_lineFirst;
}

void LinesAfterRecords::finish(int count, std::vector<QString> names, const std::vector<double> &factors,
                               long long declaredCount, bool shifted)
{
    if (m_lineOpen)
        endLine();
    if (!m_extensionLines.empty()) {
        // The lines read into the series as the program reads them, and checked.
        UnitFileContents contents;
        contents.units.resize(size_t(count));
        for (size_t i = 0; i < names.size() && i < contents.units.size(); ++i)
            contents.units[i].UnitName = std::move(names[i]);
        for (size_t i = 0; i < factors.size() && i < contents.units.size(); ++i)
            contents.units[i].Factor = factors[i];
        names.clear();
        contents.extensionLines = std::move(m_extensionLines);
        if (!m_numberBase)
            ApplySeriesExtension(contents);
        CheckExtensionLines(contents, m_numberBase,
                            [this](FindingKind kind, int line, int unit, const QString &message) {
                                m_findings.add(kind, line, unit, message);
                            });
    }
    if (m_extraLine > 0 && !shifted) {
        m_findings.add(FindingKind::ExtraItems, m_extraLine, -1,
                       QStringLiteral("単位数 %1 より後ろにも項目があります。読まれません。").arg(declaredCount));
    }
}
