#include "catalogue/check/FindingList.h"

#include <algorithm>

FindingList::FindingList(const QString &path, const FindingSink &sink) : m_path(path), m_sink(sink) {}

void FindingList::setRecord(int record)
{
    m_record = record;
    m_recordName.clear();
}

CheckFinding FindingList::finding(FindingKind kind, int line, int unit, const QString &message) const
{
    CheckFinding f;
    f.kind = kind;
    f.file = m_path;
    f.line = line;
    f.unit = unit;
    f.message = message;
    return f;
}

void FindingList::add(FindingKind kind, int line, int unit, const QString &message)
{
    CheckFinding f = finding(kind, line, unit, message);
    if (unit >= 0 && unit == m_record)
        f.unitName = m_recordName;
    m_pending.push_back(std::move(f));
}

void FindingList::add(CheckFinding &&finding)
{
    m_pending.push_back(std::move(finding));
}

// Those known only at the end of the file come last, as far as the record
// being read allows.
void FindingList::emitPending()
{
    if (m_pending.empty())
        return;
    std::stable_sort(m_pending.begin(), m_pending.end(),
                     [](const CheckFinding &a, const CheckFinding &b) { return a.line < b.line; });
    for (CheckFinding &f : m_pending)
        m_sink(std::move(f));
    m_pending.clear();
}
