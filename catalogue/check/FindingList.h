#pragma once
// The findings of one series file while it is checked. A finding waits
// until the record it may name is read whole, then the waiting findings go
// out in the order of their lines; a finding about the record being read
// (or read last) carries that record's name as shown.

#include "catalogue/check/CheckFinding.h"

#include <QString>
#include <functional>
#include <vector>

// Receives each finding as it goes out.
using FindingSink = std::function<void(CheckFinding &&)>;

class FindingList {
public:
    FindingList(const QString &path, const FindingSink &sink);

    // The record being read, from its first item on, and its name as shown
    // once read.
    void setRecord(int record);
    void setRecordName(const QString &shown) { m_recordName = shown; }

    // A finding about the file at line (unit -1 for none), without a unit name.
    CheckFinding finding(FindingKind kind, int line, int unit, const QString &message) const;
    // Adds a finding, with the unit name when it is about the current record.
    void add(FindingKind kind, int line, int unit, const QString &message);
    // Adds a finding as it is.
    void add(CheckFinding &&finding);

    // Sends the waiting findings out, in the order of their lines.
    void emitPending();

private:
    QString m_path;
    const FindingSink &m_sink;
    std::vector<CheckFinding> m_pending;
    int m_record = -1;
    QString m_recordName;
};
